// Which file name extensions count as photos and videos.
#pragma once

#include <array>
#include <optional>
#include <string_view>

namespace quillmere {

enum class MediaKind { photo, video };

namespace MediaKinds {

inline constexpr std::array<std::string_view, 18> photoExtensions = {
    "jpg",  "jpeg", "png", "heic", "heif", "gif", "tiff", "tif", "bmp",
    "webp", "dng",  "cr2", "cr3",  "nef",  "arw", "raf",  "orf", "rw2"};

inline constexpr std::array<std::string_view, 13> videoExtensions = {
    "mov", "mp4", "m4v", "avi", "mkv", "mts", "m2ts", "3gp", "mpg", "mpeg", "wmv", "webm", "insv"};

/// The kind of an extension (no leading dot, any letter case); photos are looked up first.
std::optional<MediaKind> fromExtension(std::string_view extension);

/// The kind of a path or file name, from the text after the last "." of its last component.
std::optional<MediaKind> fromPath(std::string_view path);

/// "photo" or "video".
std::string_view rawValue(MediaKind kind);

/// Exact, case-sensitive inverse of rawValue.
std::optional<MediaKind> fromRawValue(std::string_view raw);

} // namespace MediaKinds
} // namespace quillmere
