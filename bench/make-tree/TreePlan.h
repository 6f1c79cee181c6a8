// What a benchmark tree holds: every file with its size, its content and the reason it is there,
// planned in full before anything is written so that one seed always yields the same tree.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillmere::benchtree {

/// Why a file is in the tree. Only `media` files are meant to be seen by a scan; the others
/// stand for what a scan must skip (or, for `other`, what it never considers).
enum class Role { media, hiddenFolder, toolingFolder, libraryFolder, appleDouble, empty, other };

/// "media", "hidden-folder", "tooling-folder", "library-folder", "apple-double", "empty", "other".
std::string_view roleName(Role role);

/// The bytes of a file: the stream of `id`, with one short stretch inverted at `alteredAt` when
/// that is not -1. Files of equal size and equal content are byte-identical; any other two differ.
struct Content {
    std::uint64_t id = 0;
    std::int64_t alteredAt = -1;
    friend bool operator==(const Content&, const Content&) = default;
};

struct PlannedFile {
    std::string path; ///< relative to the tree's folder, beginning with a root's name
    std::int64_t size = 0;
    Content content;
    Role role = Role::media;
};

enum class Profile { media, small, tiny };

std::optional<Profile> profileNamed(std::string_view name);
std::string_view profileName(Profile profile);

/// The files of a tree, in writing order. Their paths begin with one of the two roots, "Laptop"
/// and "Backup".
struct Plan {
    std::vector<PlannedFile> files;
};

/// Plans a tree. `scale` multiplies the number of files (1 is the full profile).
Plan makePlan(Profile profile, double scale, std::uint64_t seed);

} // namespace quillmere::benchtree
