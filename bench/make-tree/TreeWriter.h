// Writes a planned tree to disk, then its manifest: one line per file with its role, size,
// content and signature class, so that a benchmark knows what a correct scan must report and
// which bytes a byte-exact tool has to read.
#pragma once

#include "TreePlan.h"

#include <cstdint>
#include <string>

namespace quillmere::benchtree {

/// Name of the manifest inside the tree's folder. It is written last: a tree without it is
/// incomplete.
inline constexpr const char* manifestName = "manifest.tsv";

struct TreeOrigin {
    Profile profile;
    double scale;
    std::uint64_t seed;
};

/// Bytes the plan needs on disk, with a block of slack per file.
std::int64_t plannedDiskBytes(const Plan& plan);

/// Writes every file of `plan` under `folder`, which must not exist yet or be empty. Never
/// replaces anything: each file is created new. Throws quillmere::Error on the first failure.
void writeTree(const Plan& plan, const std::string& folder, const TreeOrigin& origin);

/// The manifest text for `plan`.
std::string manifest(const Plan& plan, const TreeOrigin& origin);

} // namespace quillmere::benchtree
