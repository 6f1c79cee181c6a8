#include "scan/MediaKind.h"

#include "scan/Text.h"

#include <algorithm>
#include <string>

namespace quillmere::MediaKinds {

namespace {

bool contains(const auto& table, std::string_view lowered) {
    return std::find(table.begin(), table.end(), lowered) != table.end();
}

} // namespace

std::optional<MediaKind> fromExtension(std::string_view extension) {
    // The longest extension in either table has five letters.
    if (extension.empty() || extension.size() > 5)
        return std::nullopt;
    const std::string lowered = Text::lowercased(extension);
    if (contains(photoExtensions, lowered))
        return MediaKind::photo;
    if (contains(videoExtensions, lowered))
        return MediaKind::video;
    return std::nullopt;
}

std::optional<MediaKind> fromPath(std::string_view path) {
    const auto slash = path.rfind('/');
    const std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
    const auto dot = name.rfind('.');
    if (dot == std::string_view::npos)
        return std::nullopt;
    return fromExtension(name.substr(dot + 1));
}

std::string_view rawValue(MediaKind kind) {
    return kind == MediaKind::photo ? "photo" : "video";
}

std::optional<MediaKind> fromRawValue(std::string_view raw) {
    if (raw == "photo")
        return MediaKind::photo;
    if (raw == "video")
        return MediaKind::video;
    return std::nullopt;
}

} // namespace quillmere::MediaKinds
