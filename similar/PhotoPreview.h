// A photo decoded for showing when the app's own image reader does not know its format (HEIC),
// through the same libvips decoders the fingerprints use: scaled while decoding, upright.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace quillmere::similar {

struct PhotoPreview {
    std::int32_t width = 0;
    std::int32_t height = 0;
    /// 8-bit sRGB, three bytes a pixel, rows one after another without padding.
    std::vector<std::uint8_t> rgb;
};

namespace PhotoPreviews {

/// The photo fitted within maxPixel × maxPixel (never enlarged), its orientation applied; nothing
/// when it cannot be read or decoded, or is too large to decode safely. Safe from many threads.
std::optional<PhotoPreview> fromFile(const std::string& path, int maxPixel);

} // namespace PhotoPreviews
} // namespace quillmere::similar
