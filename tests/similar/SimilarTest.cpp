// Similar photos: fingerprints of generated pictures and their copies, bad input, grouping that
// cannot chain, and the scan with its cache.
#include "FingerprintCache.h"
#include "PhotoPreview.h"
#include "SimilarGrouping.h"
#include "SimilarScanner.h"
#include "TempDir.h"
#include "TestPictures.h"

#include <cmath>
#include <filesystem>
#include <gtest/gtest.h>
#include <random>

namespace quillmere::similar {
namespace {

using testing::Copy, testing::readFile, testing::TempDir, testing::writePicture;
namespace fs = std::filesystem;

FingerprintedPhoto photoOf(const std::string& path) {
    const auto decoded = Fingerprints::fromFile(path);
    const auto* picture = std::get_if<Picture>(&decoded);
    if (!picture) {
        ADD_FAILURE() << path << ": " << std::get<std::string>(decoded);
        return {};
    }
    return {{path, std::int64_t(fs::file_size(path)), picture->width, picture->height},
            picture->fingerprint};
}

// A JPEG whose header claims another size (its SOF0 segment rewritten).
std::string withClaimedSize(std::string jpeg, int width, int height) {
    const auto sof = jpeg.find("\xFF\xC0");
    jpeg[sof + 5] = char(height >> 8), jpeg[sof + 6] = char(height & 0xff);
    jpeg[sof + 7] = char(width >> 8), jpeg[sof + 8] = char(width & 0xff);
    return jpeg;
}

TEST(FingerprintTest, CopiesOfAPictureAreSimilarAndAnotherPictureIsNot) {
    const TempDir dir;
    writePicture(dir.path("original.jpg"), 1);
    const FingerprintedPhoto original = photoOf(dir.path("original.jpg"));
    struct Row {
        const char* name;
        int seed;
        Copy copy;
        bool similar;
        int width, height;
    };
    for (const auto& row : std::vector<Row>{{"quarter.jpg", 1, Copy::quarterSize, true, 160, 120},
                                            {"low.jpg", 1, Copy::lowQuality, true, 640, 480},
                                            {"format.png", 1, Copy::same, true, 640, 480},
                                            {"format.webp", 1, Copy::same, true, 640, 480},
                                            {"turned.jpg", 1, Copy::turnedPixels, true, 480, 640},
                                            {"flag.jpg", 1, Copy::orientationFlag, true, 640, 480},
                                            {"brighter.jpg", 1, Copy::brighter, true, 640, 480},
                                            {"later.jpg", 1, Copy::laterMoment, false, 640, 480},
                                            {"other.jpg", 2, Copy::same, false, 640, 480}}) {
        SCOPED_TRACE(row.name);
        writePicture(dir.path(row.name), row.seed, row.copy);
        const FingerprintedPhoto copy = photoOf(dir.path(row.name));
        EXPECT_EQ(copy.photo.width, row.width);
        EXPECT_EQ(copy.photo.height, row.height);
        EXPECT_EQ(SimilarGrouping::similar(original, copy, defaultThreshold), row.similar);
        EXPECT_EQ(SimilarGrouping::similar(copy, original, defaultThreshold), row.similar);
    }
}

TEST(FingerprintTest, BadInputIsPassedOverWithItsReason) {
    const TempDir dir;
    writePicture(dir.path("good.jpg"), 3);
    const std::string jpeg = readFile(dir.path("good.jpg"));
    const std::vector<std::pair<std::string, std::string>> rows = {
        {jpeg.substr(0, jpeg.size() / 2),
         "damaged or truncated image: its pixels cannot be decoded"},
        {"plain text, not a picture", "not an image in a format that can be read"},
        {withClaimedSize(jpeg, 0, 0), "damaged image: its header cannot be read"},
        {withClaimedSize(jpeg, 60000, 60000),
         "image too large to decode safely (60000 × 60000 pixels)"},
    };
    for (const auto& [bytes, reason] : rows) {
        SCOPED_TRACE(reason);
        const auto inMemory = Fingerprints::fromBytes(bytes);
        ASSERT_TRUE(std::holds_alternative<std::string>(inMemory));
        EXPECT_EQ(std::get<std::string>(inMemory), reason);
        const auto onDisk = Fingerprints::fromFile(dir.write("bad.jpg", bytes));
        EXPECT_EQ(std::get<std::string>(onDisk), reason);
    }
}

TEST(PhotoPreviewTest, ShownUprightWithinTheSizeAskedAndNothingForWhatCannotBeDecoded) {
    const TempDir dir;
    writePicture(dir.path("same.png"), 4);
    const auto upright = PhotoPreviews::fromFile(dir.path("same.png"), 100);
    ASSERT_TRUE(upright);
    EXPECT_EQ(PhotoPreviews::fromFile(dir.path("same.png"), 1000)->width, 640) << "never enlarged";
    for (const auto& [name, copy] :
         {std::pair("same.heic", Copy::same), std::pair("flag.jpg", Copy::orientationFlag)}) {
        SCOPED_TRACE(name);
        writePicture(dir.path(name), 4, copy);
        const auto preview = PhotoPreviews::fromFile(dir.path(name), 100);
        ASSERT_TRUE(preview);
        ASSERT_EQ(std::pair(preview->width, preview->height), std::pair(100, 75));
        ASSERT_EQ(preview->rgb.size(), upright->rgb.size());
        double difference = 0;
        for (std::size_t i = 0; i < preview->rgb.size(); ++i)
            difference += std::abs(preview->rgb[i] - upright->rgb[i]);
        EXPECT_LT(difference / preview->rgb.size(), 8);
    }
    const std::string jpeg = readFile(dir.path("flag.jpg"));
    for (const auto& bytes : {std::string("not a picture"), withClaimedSize(jpeg, 60000, 60000)})
        EXPECT_FALSE(PhotoPreviews::fromFile(dir.write("bad.jpg", bytes), 100));
}

TEST(FingerprintTest, LocalCheckStopsEarlyWithTheFullMeasuresAnswer) {
    // On a flat picture one pixel raised or lowered by v changes it locally by exactly v / 32.
    struct Row {
        int pixel, value;
        bool alike;
    };
    for (const auto& row : std::vector<Row>{{0, 48, true},
                                            {0, 49, false},
                                            {1023, 49, false},
                                            {500, -48, true},
                                            {500, -49, false}}) {
        SCOPED_TRACE(row.pixel * 1000 + row.value);
        Fingerprint flat, changed;
        changed.pixels[row.pixel] = std::int8_t(row.value);
        EXPECT_EQ(Fingerprints::localChange(flat, changed), std::abs(row.value) / 32.0);
        EXPECT_EQ(Fingerprints::locallyAlike(flat, changed, maxLocalChange), row.alike);
        EXPECT_EQ(Fingerprints::locallyAlike(changed, flat, maxLocalChange), row.alike);
    }
}

// Fingerprints at angles in one plane: 0 and 15 degrees are within the threshold, 0 and 30 not.
FingerprintedPhoto atAngle(const std::string& path, double degrees, std::int32_t width,
                           std::int64_t size = 1000) {
    FingerprintedPhoto photo{{path, size, width, width * 3 / 4}, {}};
    photo.fingerprint.coefficients[1] = std::int8_t(std::lround(100 * std::cos(degrees / 57.2958)));
    photo.fingerprint.coefficients[2] = std::int8_t(std::lround(100 * std::sin(degrees / 57.2958)));
    return photo;
}

TEST(SimilarGroupingTest, EveryMemberIsCloseToItsKeeperAndTiesGoByTheNameRules) {
    const auto group = [](std::vector<FingerprintedPhoto> photos) {
        const auto groups = SimilarGrouping::group(photos, defaultThreshold);
        std::reverse(photos.begin(), photos.end());
        EXPECT_EQ(SimilarGrouping::group(photos, defaultThreshold), groups);
        std::vector<std::vector<std::string>> paths;
        for (const auto& g : groups) {
            paths.push_back({g.keep.path});
            for (const auto& photo : g.similar)
                paths.back().push_back(photo.path);
        }
        return paths;
    };
    using Paths = std::vector<std::vector<std::string>>;
    // A chain a ~ b ~ c: with a the largest, c is close to no keeper and stays out.
    EXPECT_EQ(group({atAngle("/a", 0, 800), atAngle("/b", 15, 400), atAngle("/c", 30, 200)}),
              (Paths{{"/a", "/b"}}));
    EXPECT_EQ(group({atAngle("/a", 0, 400), atAngle("/b", 15, 800), atAngle("/c", 30, 200)}),
              (Paths{{"/b", "/a", "/c"}}));
    // Same pixels, same bytes: the name rules keep the original, not the earlier "copy".
    EXPECT_EQ(group({atAngle("/p/IMG_1 copy.jpg", 0, 400), atAngle("/p/IMG_1.jpg", 10, 400),
                     atAngle("/p/IMG_2.jpg", 60, 400, 900), atAngle("/p/IMG_3.jpg", 65, 200)}),
              (Paths{{"/p/IMG_1.jpg", "/p/IMG_1 copy.jpg"}, {"/p/IMG_2.jpg", "/p/IMG_3.jpg"}}));
}

TEST(SimilarGroupingTest, PairSearchFindsEveryPairTheFullCheckAccepts) {
    // Most of the detail above the lowest frequencies, where the search's quick bound is weakest;
    // signs of the lowest ones kept, so that copies meet in the signature index.
    std::mt19937 random(5);
    const auto noise = [&](int range) { return int(random() % (2 * range + 1)) - range; };
    std::vector<FingerprintedPhoto> photos;
    for (int base = 0; base < 6; ++base) {
        Fingerprint::Coefficients coefficients{};
        for (int k = 1; k < Fingerprint::side * Fingerprint::side; ++k)
            coefficients[k] = std::int8_t(k % 16 < 8 && k < 128 ? 20 * (noise(1) | 1) : noise(60));
        for (int copy = 0; copy < 8; ++copy) {
            FingerprintedPhoto photo{{"/" + std::to_string(photos.size()), 1000, 400, 300}, {}};
            for (int k = 1; k < Fingerprint::side * Fingerprint::side; ++k)
                photo.fingerprint.coefficients[k] = std::int8_t(coefficients[k] + noise(copy * 3));
            photos.push_back(photo);
        }
    }
    std::vector<std::pair<std::uint32_t, std::uint32_t>> expected;
    for (std::uint32_t i = 0; i < photos.size(); ++i)
        for (std::uint32_t j = i + 1; j < photos.size(); ++j)
            if (SimilarGrouping::similar(photos[i], photos[j], defaultThreshold))
                expected.emplace_back(i, j);
    EXPECT_GT(expected.size(), 20u);
    EXPECT_LT(expected.size(), 6u * 28);
    EXPECT_EQ(SimilarGrouping::similarPairs(photos, defaultThreshold), expected);
}

TEST(SimilarScannerTest, ListsEachContentOnceAndDecodesOnlyWhatTheCacheCannotVouchFor) {
    const TempDir dir;
    dir.mkdir("A");
    writePicture(dir.path("A/original.jpg"), 1);
    writePicture(dir.path("A/small.jpg"), 1, Copy::quarterSize);
    writePicture(dir.path("A/other.png"), 2);
    fs::copy_file(dir.path("A/original.jpg"), dir.path("A/original copy.jpg"));
    dir.write("A/broken.jpg", readFile(dir.path("A/other.png")).substr(0, 300));
    const std::string cache = dir.path("cache/Quillmere/fingerprints");
    const auto scan = [&] { return SimilarScanner({{dir.path("A")}, {}}, cache).scan(); };

    const SimilarResult first = scan();
    EXPECT_EQ(first.photosScanned, 5);
    EXPECT_EQ(first.fromCache, 0);
    EXPECT_EQ(first.identicalCopies, 1);
    ASSERT_EQ(first.groups.size(), 1u);
    EXPECT_EQ(first.groups[0].keep.path, dir.path("A/original.jpg"));
    ASSERT_EQ(first.groups[0].similar.size(), 1u);
    EXPECT_EQ(first.groups[0].similar[0].path, dir.path("A/small.jpg"));
    ASSERT_EQ(first.skipped.size(), 1u);
    EXPECT_EQ(first.skipped[0].path, dir.path("A/broken.jpg"));
    EXPECT_EQ(first.skipped[0].reason, "damaged or truncated image: its pixels cannot be decoded");

    // The cache gives back every picture as decoded.
    FingerprintCache written;
    const auto decoded = std::get<Picture>(Fingerprints::fromFile(dir.path("A/small.jpg")));
    written.insert({1, 2, 3, 4}, decoded);
    written.save(dir.path("other/cache"));
    const FingerprintCache reread = FingerprintCache::load(dir.path("other/cache"));
    ASSERT_TRUE(reread.find({1, 2, 3, 4}));
    EXPECT_EQ(*reread.find({1, 2, 3, 4}), decoded);

    const SimilarResult second = scan();
    EXPECT_EQ(second.fromCache, 4);
    EXPECT_EQ(second.groups, first.groups);

    // A file written again, even within the same second, is decoded again.
    const auto small = dir.path("A/small.jpg");
    fs::last_write_time(small, fs::last_write_time(small) + std::chrono::nanoseconds(1));
    EXPECT_EQ(scan().fromCache, 3);
    EXPECT_EQ(FingerprintCache::load(cache).size(), 4u) << "the older version's entry is gone";

    // One damaged byte and the whole cache is distrusted.
    std::string bytes = readFile(cache);
    bytes[bytes.size() / 2] ^= 1;
    dir.write("cache/Quillmere/fingerprints", bytes);
    EXPECT_EQ(FingerprintCache::load(cache).size(), 0u);
    const SimilarResult rebuilt = scan();
    EXPECT_EQ(rebuilt.fromCache, 0);
    EXPECT_EQ(rebuilt.groups, first.groups);
}

} // namespace
} // namespace quillmere::similar
