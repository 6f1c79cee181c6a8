// The three tree profiles. Each builds an archive of dated event folders spread over two roots
// (a laptop folder and a backup drive), then adds copies of some originals under copy-style names,
// same-size files with other content, and, for "media", the traps a scan must not fall into.
#include "TreePlan.h"

#include "ContentStream.h"
#include "Random.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <functional>
#include <memory>
#include <unordered_set>

namespace quillmere::benchtree {

namespace {

constexpr std::int64_t KiB = 1024;
constexpr std::int64_t MiB = 1024 * KiB;
// A scan signs the first and last 128 KiB of larger files; a stretch altered between them leaves
// the signature unchanged and is only found by the full comparison.
constexpr std::int64_t signedEdge = 128 * KiB;

const std::string laptop = "Laptop";
const std::string backup = "Backup";

const std::string& otherRoot(const std::string& root) {
    return root == laptop ? backup : laptop;
}

struct PathParts {
    std::string folder; // everything before the last "/"
    std::string stem;
    std::string extension; // with its dot, or empty
};

PathParts split(const std::string& path) {
    const auto slash = path.rfind('/');
    const std::string name = path.substr(slash + 1);
    const auto dot = name.rfind('.');
    if (dot == std::string::npos || dot == 0)
        return {path.substr(0, slash), name, ""};
    return {path.substr(0, slash), name.substr(0, dot), name.substr(dot)};
}

std::string rootOf(const std::string& path) {
    return path.substr(0, path.find('/'));
}
std::string belowRoot(const std::string& path) {
    return path.substr(path.find('/') + 1);
}

template <typename... Args> std::string format(const char* pattern, Args... args) {
    char text[256];
    std::snprintf(text, sizeof text, pattern, args...);
    return text;
}

// Walks forward through the days of a ten-year archive.
class Calendar {
  public:
    explicit Calendar(int year) : year_(year) {}

    void advance(std::int64_t days) {
        for (; days > 0; --days)
            if (++day_ > daysIn(month_)) {
                day_ = 1;
                if (++month_ > 12) {
                    month_ = 1;
                    ++year_;
                }
            }
    }

    int year() const { return year_; }
    std::string folder() const { return format("%04d/%02d-%02d", year_, month_, day_); }
    std::string isoDate() const { return format("%04d-%02d-%02d", year_, month_, day_); }

  private:
    int daysIn(int month) const {
        static constexpr std::array<int, 12> days = {31, 28, 31, 30, 31, 30,
                                                     31, 31, 30, 31, 30, 31};
        const bool leap = (year_ % 4 == 0 && year_ % 100 != 0) || year_ % 400 == 0;
        return month == 2 && leap ? 29 : days[static_cast<std::size_t>(month - 1)];
    }

    int year_;
    int month_ = 1;
    int day_ = 1;
};

// A file the archive generator is about to place: its name and size; the folder comes from the
// event it belongs to.
struct NewFile {
    std::string name;
    std::int64_t size;
};

using NameAndSize = std::function<NewFile(Random&, const Calendar&)>;

enum class CopyStyle { mirror, renamed, elsewhere };

struct ArchiveShape {
    std::int64_t originals;
    std::int64_t filesPerFolderMin;
    std::int64_t filesPerFolderMax;
    double duplicatedShare;                 // originals that get extra copies
    std::array<double, 3> extraCopyWeights; // 1, 2 or 3 extra copies
    std::array<double, 3> copyStyleWeights; // CopyStyle order
    double sizeTwinShare;                   // originals that get a same-size, other-content file
};

class Planner {
  public:
    explicit Planner(std::uint64_t seed) : random_(seed) {}

    Random& random() { return random_; }
    Content newContent() { return {nextId_++, -1}; }
    const PlannedFile& file(std::size_t index) const { return files_[index]; }
    std::size_t fileCount() const { return files_.size(); }

    /// Adds the file unless its path is taken; answers whether it did.
    bool tryAdd(PlannedFile file) {
        if (!used_.insert(file.path).second)
            return false;
        files_.push_back(std::move(file));
        return true;
    }

    /// Adds the file in its folder under the first free copy-style name of the given family.
    void addRenamed(PlannedFile file, std::size_t family) {
        const PathParts parts = split(file.path);
        for (int n = 1;; ++n) {
            file.path = parts.folder + "/" + renamed(parts.stem, family, n) + parts.extension;
            if (tryAdd(file))
                return;
        }
    }

    /// Places one copy of files_[original] in the given style, falling back to the others.
    void addCopy(std::size_t original, CopyStyle style) {
        PlannedFile copy = files_[original];
        if (style == CopyStyle::mirror) {
            copy.path = otherRoot(rootOf(copy.path)) + "/" + belowRoot(copy.path);
            if (tryAdd(copy))
                return;
            style = CopyStyle::elsewhere;
        }
        if (style == CopyStyle::elsewhere) {
            const std::string root = random_.chance(0.5) ? laptop : backup;
            const PathParts parts = split(copy.path);
            std::string folder = belowRoot(parts.folder);
            std::replace(folder.begin(), folder.end(), '/', '-');
            copy.path =
                random_.chance(0.6) ? root + "/Imports/" + folder : root + "/Desktop/Export";
            copy.path += "/" + parts.stem + parts.extension;
            if (tryAdd(copy))
                return;
            copy = files_[original];
        }
        addRenamed(std::move(copy), static_cast<std::size_t>(random_.between(0, 2)));
    }

    Plan finish() && { return Plan{std::move(files_)}; }

  private:
    // The names file managers and people give copies: "IMG_1 copy.JPG", "IMG_1 (1).JPG",
    // "IMG_1-2.JPG", and their later numbers.
    static std::string renamed(const std::string& stem, std::size_t family, int n) {
        switch (family) {
        case 0:
            return n == 1 ? stem + " copy" : stem + " copy " + std::to_string(n);
        case 1:
            return stem + " (" + std::to_string(n) + ")";
        default:
            return stem + "-" + std::to_string(n + 1);
        }
    }

    Random random_;
    std::uint64_t nextId_ = 1;
    std::unordered_set<std::string> used_;
    std::vector<PlannedFile> files_;
};

std::int64_t scaled(std::int64_t count, double scale) {
    return std::max<std::int64_t>(1, std::llround(static_cast<double>(count) * scale));
}

// Older events live mostly on the backup drive, recent ones mostly on the laptop.
const std::string& homeRoot(Random& random, int year) {
    return year < 2020 ? (random.chance(0.8) ? backup : laptop)
                       : (random.chance(0.75) ? laptop : backup);
}

// Adds the originals in event folders spread over ten years and returns their indices.
// `sideFile`, when set, may add a file of another role beside each original.
std::vector<std::size_t>
addArchive(Planner& planner, const ArchiveShape& shape, const NameAndSize& nextFile,
           const std::function<void(Planner&, std::size_t)>& sideFile = {}) {
    Random& random = planner.random();
    const double perFolder =
        static_cast<double>(shape.filesPerFolderMin + shape.filesPerFolderMax) / 2;
    const double days = 3650.0 * perFolder / static_cast<double>(shape.originals);
    // Capped at a year so that a scaled-down archive still spans dates that look real.
    const auto maxGap = std::clamp<std::int64_t>(std::llround(2 * days) - 1, 1, 365);

    Calendar calendar(2015);
    std::vector<std::size_t> originals;
    while (static_cast<std::int64_t>(originals.size()) < shape.originals) {
        calendar.advance(random.between(1, maxGap));
        const std::string folder = homeRoot(random, calendar.year()) + "/" + calendar.folder();
        const std::int64_t inFolder =
            std::min(random.between(shape.filesPerFolderMin, shape.filesPerFolderMax),
                     shape.originals - static_cast<std::int64_t>(originals.size()));
        for (std::int64_t i = 0; i < inFolder; ++i) {
            NewFile next = nextFile(random, calendar);
            PlannedFile file{folder + "/" + next.name, next.size, planner.newContent(),
                             Role::media};
            if (!planner.tryAdd(std::move(file)))
                continue; // a camera counter that wrapped onto a name in use: take the next one
            originals.push_back(planner.fileCount() - 1);
            if (sideFile)
                sideFile(planner, originals.back());
        }
    }
    return originals;
}

void addDuplicates(Planner& planner, const ArchiveShape& shape,
                   const std::vector<std::size_t>& originals) {
    Random& random = planner.random();
    for (const std::size_t original : originals) {
        if (!random.chance(shape.duplicatedShare))
            continue;
        const std::size_t extra = random.weighted(shape.extraCopyWeights) + 1;
        for (std::size_t c = 0; c < extra; ++c)
            planner.addCopy(original,
                            static_cast<CopyStyle>(random.weighted(shape.copyStyleWeights)));
    }
}

// A file of exactly the original's size but other content, next to it under a fresh name.
void addSizeTwins(Planner& planner, const ArchiveShape& shape,
                  const std::vector<std::size_t>& originals, const NameAndSize& nextFile) {
    Random& random = planner.random();
    const Calendar anyDay(2015); // only screenshot names show the day
    for (const std::size_t original : originals) {
        if (!random.chance(shape.sizeTwinShare))
            continue;
        const PlannedFile& model = planner.file(original);
        PlannedFile twin{split(model.path).folder + "/" + nextFile(random, anyDay).name, model.size,
                         planner.newContent(), Role::media};
        if (!planner.tryAdd(twin))
            planner.addRenamed(std::move(twin), 1);
    }
}

// `count` entries of `from` drawn at random; an entry may come more than once.
std::vector<std::size_t> pick(Random& random, const std::vector<std::size_t>& from,
                              std::int64_t count) {
    std::vector<std::size_t> picked;
    for (std::int64_t i = 0; i < count && !from.empty(); ++i)
        picked.push_back(from[static_cast<std::size_t>(
            random.between(0, static_cast<std::int64_t>(from.size()) - 1))]);
    return picked;
}

std::string hexName(Random& random, int digits) {
    static constexpr char hex[] = "0123456789abcdef";
    std::string name;
    for (int i = 0; i < digits; ++i)
        name += hex[random.next() % 16];
    return name;
}

// Cameras number their pictures with a counter that wraps after 9999.
class CameraCounter {
  public:
    explicit CameraCounter(Random& random) : value_(random.between(1, 9999)) {}
    int next() { return value_ = value_ % 9999 + 1; }

  private:
    int value_;
};

// Mostly JPEGs of half a megabyte to a megabyte, some larger ones and RAW files up to 8 MiB, and
// about one video in a hundred files, 5 to 150 MiB and mostly short.
NameAndSize mediaCameras(Random& random) {
    auto phone = std::make_shared<CameraCounter>(random);
    auto camera = std::make_shared<CameraCounter>(random);
    auto action = std::make_shared<CameraCounter>(random);
    return [=](Random& r, const Calendar& calendar) {
        if (r.chance(0.010)) {
            const auto size =
                static_cast<std::int64_t>(5.0 * MiB * std::pow(30.0, std::pow(r.real(), 2.5)));
            if (r.chance(0.7))
                return NewFile{format("IMG_%04d.MOV", phone->next()), size};
            return NewFile{format("GOPR%04d.MP4", action->next()), size};
        }
        const double band = r.real();
        const std::int64_t size = band < 0.88   ? r.between(MiB / 2, MiB)
                                  : band < 0.98 ? r.between(MiB, 3 * MiB)
                                                : r.between(3 * MiB, 8 * MiB);
        const double style = r.real();
        if (style < 0.60)
            return NewFile{format("IMG_%04d.JPG", phone->next()), size};
        if (style < 0.75)
            return NewFile{format("IMG_%04d.HEIC", phone->next()), size};
        if (style < 0.85)
            return NewFile{format("DSC_%04d.JPG", camera->next()), size};
        if (style < 0.90)
            return NewFile{format("DSC_%04d.NEF", camera->next()), size};
        if (style < 0.95)
            return NewFile{format("IMG_%04d.jpg", phone->next()), size};
        return NewFile{format("Screenshot %s at %02d.%02d.%02d.png", calendar.isoDate().c_str(),
                              static_cast<int>(r.between(0, 23)),
                              static_cast<int>(r.between(0, 59)),
                              static_cast<int>(r.between(0, 59))),
                       size};
    };
}

// Sidecars that photo tools leave beside pictures: never photos or videos themselves.
void addSidecar(Planner& planner, std::size_t original) {
    Random& random = planner.random();
    const PathParts parts = split(planner.file(original).path);
    if (parts.stem.starts_with("DSC_") && random.chance(0.3))
        planner.tryAdd({parts.folder + "/" + parts.stem + ".xmp", random.between(2 * KiB, 8 * KiB),
                        planner.newContent(), Role::other});
    else if (parts.stem.starts_with("IMG_") && random.chance(0.05))
        planner.tryAdd({parts.folder + "/" + parts.stem + ".AAE", random.between(KiB, 2 * KiB),
                        planner.newContent(), Role::other});
}

// Media that a scan must never see: copies of real photos and files of their own inside a hidden
// cache, an application library package and a developer-tool folder.
void addSkippedFolders(Planner& planner, const std::vector<std::size_t>& originals, double scale) {
    Random& random = planner.random();
    auto copyInto = [&](const std::string& folder, std::size_t original, const std::string& name,
                        Role role) {
        PlannedFile copy = planner.file(original);
        copy.path = folder + "/" + name;
        copy.role = role;
        planner.tryAdd(std::move(copy));
    };
    auto ownFile = [&](const std::string& path, std::int64_t size, Role role) {
        planner.tryAdd({path, size, planner.newContent(), role});
    };

    const std::string cache = laptop + "/.cache/previews";
    for (const auto original : pick(random, originals, scaled(100, scale)))
        copyInto(cache, original, hexName(random, 16) + ".jpg", Role::hiddenFolder);
    for (std::int64_t i = 0; i < scaled(50, scale); ++i)
        ownFile(cache + "/" + hexName(random, 16) + ".jpg", random.between(20 * KiB, 200 * KiB),
                Role::hiddenFolder);

    const std::string library = laptop + "/Pictures/Family.photoslibrary";
    for (const auto original : pick(random, originals, scaled(120, scale))) {
        const std::string uuid = hexName(random, 8) + "-" + hexName(random, 4) + "-" +
                                 hexName(random, 4) + "-" + hexName(random, 12);
        copyInto(library + "/originals/" + uuid.substr(0, 1), original, uuid + ".jpeg",
                 Role::libraryFolder);
    }
    for (std::int64_t i = 0; i < scaled(60, scale); ++i)
        ownFile(library + "/resources/derivatives/" + hexName(random, 1) + "/" +
                    hexName(random, 24) + "_1_105_c.jpeg",
                random.between(50 * KiB, 400 * KiB), Role::libraryFolder);

    // Packages ship the same assets again and again.
    const std::string modules = backup + "/Projects/family-site/node_modules";
    std::vector<PlannedFile> assets;
    for (std::int64_t i = 0; i < scaled(20, scale); ++i)
        assets.push_back({format("icon-%02d.png", static_cast<int>(i)),
                          random.between(2 * KiB, 60 * KiB), planner.newContent(),
                          Role::toolingFolder});
    for (const char* package : {"gallery-kit", "lightbox", "photo-grid"})
        for (PlannedFile asset : assets) {
            asset.path = modules + "/" + package + "/assets/" + asset.path;
            planner.tryAdd(std::move(asset));
        }
    for (const auto original : pick(random, originals, scaled(10, scale)))
        copyInto(modules + "/gallery-kit/demo", original, "sample-" + hexName(random, 6) + ".jpg",
                 Role::toolingFolder);
}

// Files that are on the roots but must not count: "._" companions (most of them one of a few
// standard 4 KiB bodies, as copies from a Mac volume leave them), empty photos, and documents.
void addOddFiles(Planner& planner, double scale) {
    Random& random = planner.random();
    const std::array<Content, 3> appleDoubles = {planner.newContent(), planner.newContent(),
                                                 planner.newContent()};
    std::vector<std::size_t> onBackup;
    for (std::size_t i = 0; i < planner.fileCount(); ++i)
        if (planner.file(i).role == Role::media && planner.file(i).path.starts_with(backup + "/"))
            onBackup.push_back(i);
    for (const auto index : pick(random, onBackup, scaled(600, scale))) {
        const PathParts parts = split(planner.file(index).path);
        const bool standard = random.chance(0.9);
        planner.tryAdd({parts.folder + "/._" + parts.stem + parts.extension, 4096,
                        standard ? appleDoubles[random.next() % 3] : planner.newContent(),
                        Role::appleDouble});
    }

    for (std::int64_t i = 0; i < scaled(20, scale); ++i) {
        const std::string name = format("IMG_%04d.JPG", static_cast<int>(random.between(1, 9999)));
        planner.tryAdd({laptop + "/Recovered/" + name, 0, Content{}, Role::empty});
        planner.tryAdd({backup + "/Recovered/" + name, 0, Content{}, Role::empty});
    }

    for (std::int64_t i = 0; i < scaled(60, scale); ++i) {
        const char* extension = random.chance(0.5) ? "pdf" : "zip";
        PlannedFile document{format("%s/Documents/Scans/scan-%04d.%s", laptop.c_str(),
                                    static_cast<int>(i), extension),
                             random.between(100 * KiB, 5 * MiB), planner.newContent(), Role::other};
        if (random.chance(0.3)) {
            PlannedFile copy = document;
            copy.path = backup + "/" + belowRoot(copy.path);
            planner.tryAdd(std::move(copy));
        }
        planner.tryAdd(std::move(document));
    }
}

// Damaged or edited copies: same size, same first and last 128 KiB, a different stretch in the
// middle. Only a full comparison tells them from the original.
void addHeadTailVariants(Planner& planner, const std::vector<std::size_t>& originals,
                         double scale) {
    Random& random = planner.random();
    std::vector<std::size_t> large;
    for (const auto original : originals)
        if (planner.file(original).size > 4 * MiB)
            large.push_back(original);
    std::unordered_set<std::size_t> varied;
    for (const auto original : pick(random, large, scaled(40, scale))) {
        if (!varied.insert(original).second)
            continue;
        PlannedFile variant = planner.file(original);
        variant.content.alteredAt =
            random.between(signedEdge, variant.size - signedEdge - ContentStream::alteredLength);
        PlannedFile mirror = variant;
        mirror.path = otherRoot(rootOf(variant.path)) + "/" + belowRoot(variant.path);
        if (!planner.tryAdd(std::move(mirror)))
            planner.addRenamed(std::move(variant), 2);
    }
}

Plan planMedia(double scale, std::uint64_t seed) {
    Planner planner(seed);
    const ArchiveShape shape{scaled(7600, scale), 10,  50, 0.30, {0.5, 0.3, 0.2},
                             {0.45, 0.30, 0.25},  0.05};
    const NameAndSize cameras = mediaCameras(planner.random());
    const auto originals = addArchive(planner, shape, cameras, addSidecar);
    addDuplicates(planner, shape, originals);
    addSizeTwins(planner, shape, originals, cameras);
    addHeadTailVariants(planner, originals, scale);
    addSkippedFolders(planner, originals, scale);
    addOddFiles(planner, scale);
    return std::move(planner).finish();
}

// Many small pictures in many folders, with a hidden thumbnail cache beside them.
Plan planSmall(double scale, std::uint64_t seed) {
    Planner planner(seed);
    const ArchiveShape shape{scaled(120000, scale), 20, 80, 1.0 / 6, {0.6, 0.3, 0.1},
                             {0.6, 0.2, 0.2},       0.0};
    auto counter = std::make_shared<int>(0);
    const NameAndSize pictures = [counter](Random& random, const Calendar&) {
        static constexpr std::array<const char*, 5> extensions = {"jpg", "png", "gif", "webp",
                                                                  "heic"};
        static constexpr std::array<double, 5> weights = {0.6, 0.25, 0.05, 0.05, 0.05};
        return NewFile{format("img_%06d.%s", ++*counter, extensions[random.weighted(weights)]),
                       random.between(4 * KiB, 64 * KiB)};
    };
    const auto notes = [](Planner& p, std::size_t original) {
        if (p.random().chance(0.01))
            p.tryAdd({split(p.file(original).path).folder + "/notes.txt",
                      p.random().between(KiB, 8 * KiB), p.newContent(), Role::other});
    };
    const auto originals = addArchive(planner, shape, pictures, notes);
    addDuplicates(planner, shape, originals);

    Random& random = planner.random();
    const std::string thumbnails = laptop + "/.thumbnails/normal/";
    for (std::int64_t i = 0; i < scaled(1000, scale); ++i) {
        PlannedFile thumbnail{thumbnails + hexName(random, 32) + ".png",
                              random.between(4 * KiB, 16 * KiB), planner.newContent(),
                              Role::hiddenFolder};
        if (random.chance(0.5)) {
            const PlannedFile& model = planner.file(originals[static_cast<std::size_t>(
                random.between(0, static_cast<std::int64_t>(originals.size()) - 1))]);
            thumbnail.size = model.size;
            thumbnail.content = model.content;
        }
        planner.tryAdd(std::move(thumbnail));
    }
    return std::move(planner).finish();
}

// A million tiny pictures, for the memory a scan needs per file.
Plan planTiny(double scale, std::uint64_t seed) {
    Planner planner(seed);
    const ArchiveShape shape{scaled(800000, scale), 400, 600, 1.0 / 6, {0.6, 0.3, 0.1},
                             {0.6, 0.2, 0.2},       0.0};
    auto counter = std::make_shared<int>(0);
    const NameAndSize tiny = [counter](Random& random, const Calendar&) {
        // At least 8 bytes: shorter files could not all be told apart.
        return NewFile{format("t_%07d.jpg", ++*counter), random.between(8, 1024)};
    };
    const auto originals = addArchive(planner, shape, tiny);
    addDuplicates(planner, shape, originals);
    return std::move(planner).finish();
}

} // namespace

std::string_view roleName(Role role) {
    switch (role) {
    case Role::media:
        return "media";
    case Role::hiddenFolder:
        return "hidden-folder";
    case Role::toolingFolder:
        return "tooling-folder";
    case Role::libraryFolder:
        return "library-folder";
    case Role::appleDouble:
        return "apple-double";
    case Role::empty:
        return "empty";
    case Role::other:
        return "other";
    }
    return "other";
}

std::optional<Profile> profileNamed(std::string_view name) {
    for (const Profile profile : {Profile::media, Profile::small, Profile::tiny})
        if (profileName(profile) == name)
            return profile;
    return std::nullopt;
}

std::string_view profileName(Profile profile) {
    switch (profile) {
    case Profile::media:
        return "media";
    case Profile::small:
        return "small";
    case Profile::tiny:
        return "tiny";
    }
    return "media";
}

Plan makePlan(Profile profile, double scale, std::uint64_t seed) {
    switch (profile) {
    case Profile::media:
        return planMedia(scale, seed);
    case Profile::small:
        return planSmall(scale, seed);
    case Profile::tiny:
        return planTiny(scale, seed);
    }
    return planMedia(scale, seed);
}

} // namespace quillmere::benchtree
