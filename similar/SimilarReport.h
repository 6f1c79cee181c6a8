// Renders a similar-photo scan as a text report and a CSV file with the columns of the identical
// scan's: KEEP for the suggested keeper and SIMILAR for the others.
#pragma once

#include <cstdint>
#include <string>

namespace quillmere::similar {

struct SimilarResult;

namespace SimilarReport {

/// The whole text report; each photo's line shows its pixel size beside its byte size.
std::string text(const SimilarResult& result);

/// "group,type,size_bytes,size_human,action,full_path", then one row per photo of every group.
std::string csv(const SimilarResult& result);

/// "4032×3024".
std::string pixelSize(std::int32_t width, std::int32_t height);

} // namespace SimilarReport
} // namespace quillmere::similar
