// Groups photos whose fingerprints are close, so that every member of a group is close to the
// group's keeper: a chain of pictures each a little different from the next never forms a group.
#pragma once

#include "Fingerprint.h"
#include "SimilarResult.h"

#include <cstdint>
#include <utility>
#include <vector>

namespace quillmere::similar {

struct FingerprintedPhoto {
    SimilarPhoto photo;
    Fingerprint fingerprint;
};

namespace SimilarGrouping {

/// Whether a and b show the same picture: under some turn, shapes that agree, fingerprints within
/// `threshold` and no local change beyond maxLocalChange.
bool similar(const FingerprintedPhoto& a, const FingerprintedPhoto& b, double threshold);

/// Every pair (i < j) of similar photos, each once, in ascending order. Finds candidates through
/// an index of fingerprint signatures, so it does not compare every photo with every other: only
/// pairs whose signatures (under some turn) share a 16-bit quarter within one bit are judged.
std::vector<std::pair<std::uint32_t, std::uint32_t>>
similarPairs(const std::vector<FingerprintedPhoto>& photos, double threshold);

/// The groups of two or more, keepers chosen first: the photo with most pixels, then the larger
/// file, then the earlier path, takes every similar photo not already taken; among members as
/// large as the keeper in pixels and bytes and similar to all the others, the name rules decide.
/// Groups come with most similar bytes first.
std::vector<SimilarGroup> group(const std::vector<FingerprintedPhoto>& photos, double threshold);

} // namespace SimilarGrouping
} // namespace quillmere::similar
