// The app's view of media kinds: which files take the video path for details and previews.
#pragma once

#include "scan/MediaKind.h"

class QString;

namespace quillmere::MediaKindHelper {

/// The same table the scan uses, so the app and the scan never disagree about what a video is.
inline constexpr const auto& videoExtensions = MediaKinds::videoExtensions;

/// Whether the lower-cased text after the last "." of the file name is a video extension;
/// everything else is treated as a photo.
bool isVideo(const QString& path);

} // namespace quillmere::MediaKindHelper
