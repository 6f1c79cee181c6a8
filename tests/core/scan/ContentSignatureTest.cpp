// Signatures and the byte-for-byte comparison.
#include "scan/ContentSignature.h"

#include "TempDir.h"
#include "scan/DuplicateScanner.h"

#include <algorithm>
#include <filesystem>
#include <gtest/gtest.h>
#include <random>

using namespace quillmere;
using quillmere::testing::randomBytes;
using quillmere::testing::TempDir;

TEST(ContentSignatureTest, KnownAnswerOfSmallFile) {
    TempDir dir;
    const auto path = dir.write("abc.jpg", "abc");
    EXPECT_EQ(ContentSignature::compute(path, 3),
              "851ca7a5e2d4bce908ced2c566ce1ef6f1cc1921fcb4c270353cbc81f2e3b59c");
    // The size given is part of the hash input, whatever the file holds.
    EXPECT_NE(ContentSignature::compute(path, 3), ContentSignature::compute(path, 2));
}

TEST(ContentSignatureTest, SmallFilesAreHashedWholeLargeOnesHeadAndTail) {
    TempDir dir;
    std::string whole = randomBytes(262144, 1);
    std::string changed = whole;
    changed[131072] ^= 1;
    EXPECT_NE(ContentSignature::compute(dir.write("a", whole), 262144),
              ContentSignature::compute(dir.write("b", changed), 262144));

    std::string large = randomBytes(262145, 2);
    std::string middle = large;
    middle[131072] ^= 1;
    EXPECT_EQ(ContentSignature::compute(dir.write("c", large), 262145),
              ContentSignature::compute(dir.write("d", middle), 262145));
    middle[262144] ^= 1;
    EXPECT_NE(ContentSignature::compute(dir.write("c", large), 262145),
              ContentSignature::compute(dir.write("d", middle), 262145));
}

TEST(ContentSignatureTest, ShrunkFileHasNoSignatureGrownFileIsSignedOverItsOldSize) {
    TempDir dir;
    const std::string content = randomBytes(400000, 3);
    const auto original = dir.write("original", content);
    EXPECT_EQ(ContentSignature::compute(original, 500000), std::nullopt);
    EXPECT_EQ(ContentSignature::compute(dir.path("missing"), 10), std::nullopt);

    const auto grown = dir.write("grown", content + "appended");
    EXPECT_EQ(ContentSignature::compute(grown, 400000),
              ContentSignature::compute(original, 400000));
    const auto small = dir.write("small", content.substr(0, 1000));
    const auto smallGrown = dir.write("smallGrown", content.substr(0, 1000) + "x");
    EXPECT_EQ(ContentSignature::compute(smallGrown, 1000), ContentSignature::compute(small, 1000));
}

TEST(ContentSignatureTest, VerifyIdenticalComparesEveryByte) {
    TempDir dir;
    const std::string content = randomBytes(10'000'000, 4);
    std::string middle = content;
    middle[5'000'000] ^= 0x40;
    const auto a = dir.write("a.mov", content);
    const auto copy = dir.write("copy.mov", content);
    const auto different = dir.write("different.mov", middle);
    const auto longer = dir.write("longer.mov", content + "!");

    EXPECT_TRUE(ContentSignature::verifyIdentical(a, copy));
    EXPECT_FALSE(ContentSignature::verifyIdentical(a, different));
    EXPECT_EQ(ContentSignature::compute(a, 10'000'000),
              ContentSignature::compute(different, 10'000'000));
    EXPECT_FALSE(ContentSignature::verifyIdentical(a, longer));
    EXPECT_FALSE(ContentSignature::verifyIdentical(longer, a));
    EXPECT_FALSE(ContentSignature::verifyIdentical(a, dir.path("missing")));
    EXPECT_TRUE(ContentSignature::verifyIdentical(dir.write("e1", ""), dir.write("e2", "")));
    EXPECT_TRUE(ContentSignature::verifyIdentical(dir.path("missing"), dir.path("missing")));
}

TEST(ContentSignatureTest, PartitionByContentKeepsInputOrder) {
    TempDir dir;
    const auto content = randomBytes(3000, 5);
    const MediaFile a{dir.write("a.jpg", content), 3000, MediaKind::photo};
    const MediaFile b{dir.write("b.jpg", randomBytes(3000, 6)), 3000, MediaKind::photo};
    const MediaFile a2{dir.write("a2.jpg", content), 3000, MediaKind::photo};
    const MediaFile c{dir.write("c.jpg", randomBytes(3000, 7)), 3000, MediaKind::photo};
    const MediaFile missing{dir.path("gone.jpg"), 3000, MediaKind::photo};

    using Buckets = std::vector<std::vector<MediaFile>>;
    EXPECT_EQ(DuplicateScanner::partitionByContent({a, b, a2, c}), (Buckets{{a, a2}, {b}, {c}}));
    EXPECT_EQ(DuplicateScanner::partitionByContent({missing, missing}),
              (Buckets{{missing, missing}}));
    EXPECT_EQ(DuplicateScanner::partitionByContent({a, missing, a2}),
              (Buckets{{a, a2}, {missing}}));
}

namespace {

// Each file joins the first bucket whose first member is the same path or byte-identical.
std::vector<std::vector<MediaFile>> pairwisePartition(const std::vector<MediaFile>& files) {
    std::vector<std::vector<MediaFile>> buckets;
    for (const auto& file : files) {
        auto match = std::find_if(buckets.begin(), buckets.end(), [&](const auto& bucket) {
            return ContentSignature::verifyIdentical(bucket.front().path, file.path);
        });
        if (match != buckets.end())
            match->push_back(file);
        else
            buckets.push_back({file});
    }
    return buckets;
}

} // namespace

TEST(ContentSignatureTest, PartitionMatchesPairwiseComparisonOnMixedClusters) {
    TempDir dir;
    std::mt19937 random(42);
    // Variants of one content differing at the start, across a block boundary, in the last byte,
    // or in length; unreadable and repeated entries; clusters small and beyond the open-file limit.
    const std::int64_t size = 3 * 1048576 + 17;
    const std::string base = randomBytes(static_cast<std::size_t>(size), 9);
    std::vector<std::string> variants{base};
    for (std::size_t at : {std::size_t{0}, std::size_t{1048576}, std::size_t{2097151},
                           static_cast<std::size_t>(size - 1)}) {
        std::string changed = base;
        changed[at] ^= 0x5a;
        variants.push_back(changed);
    }
    variants.push_back(base.substr(0, static_cast<std::size_t>(size - 1)));
    variants.push_back(base + "x");

    for (int members : {2, 7, 70}) {
        std::vector<MediaFile> files;
        for (int i = 0; i < members; ++i) {
            const std::string name = std::to_string(members) + "/" + std::to_string(i) + ".mov";
            const auto pick = random() % (variants.size() + 2);
            if (pick == variants.size())
                files.push_back({dir.path(name), size, MediaKind::video}); // never written
            else if (pick == variants.size() + 1 && !files.empty())
                files.push_back(files[random() % files.size()]);
            else
                files.push_back(
                    {dir.write(name, variants[pick % variants.size()]), size, MediaKind::video});
        }
        EXPECT_EQ(DuplicateScanner::partitionByContent(files), pairwisePartition(files))
            << members << " members";
    }
}
