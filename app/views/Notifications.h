// The process-wide notifications through which menu commands reach the main window's own
// panels. One object per process, owned by the application and handed to each main window.
#pragma once

#include <QObject>

namespace quillmere {

class Notifications : public QObject {
    Q_OBJECT

  public:
    using QObject::QObject;

  signals:
    /// "Quillmere.scanFolders": open the folder chooser that starts a scan.
    void scanFolders();
    /// "Quillmere.openManifest": open the chooser for a drive, review folder or manifest.
    void openManifest();
    /// Open the folder chooser that starts a scan for similar photos.
    void findSimilarPhotos();
};

} // namespace quillmere
