#include "model/MediaKindHelper.h"

#include <QString>

namespace quillmere::MediaKindHelper {

bool isVideo(const QString& path) {
    return MediaKinds::fromPath(path.toStdString()) == MediaKind::video;
}

} // namespace quillmere::MediaKindHelper
