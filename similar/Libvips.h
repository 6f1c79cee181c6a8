// libvips as this library uses it: set up once per process, photos opened the way the scan opens
// files, and every object released by its owner.
#pragma once

#include "scan/FileReading.h"

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vips/vips.h>

namespace quillmere::similar::Libvips {

struct Unref {
    void operator()(gpointer object) const { g_object_unref(object); }
};
using Image = std::unique_ptr<VipsImage, Unref>;
using Source = std::unique_ptr<VipsSource, Unref>;

inline constexpr std::string_view unsupported = "not an image in a format that can be read";
inline constexpr std::string_view damagedHeader = "damaged image: its header cannot be read";

/// Safe to call from any thread, as often as wanted.
void initialise();

/// A photo open for reading and the libvips source that reads it.
struct OpenPhoto {
    FileReading::Descriptor file;
    Source source;
};

/// Opens a photo through a descriptor, not by name: given a name, libvips lets every loader probe
/// the file, and OpenSlide's probe alone opens each photo several times over, as a database too.
/// Links are not followed and access times stay as they were. Or why it cannot be read.
std::variant<OpenPhoto, std::string> open(const std::string& path);

/// Why the picture a header describes must not be decoded (no pixels, or more than maxPixels),
/// or nothing when it may be.
std::optional<std::string> refusal(const VipsImage& header);

} // namespace quillmere::similar::Libvips
