// The about window's content: what the app is, which version runs, the promise that every match is
// proven byte for byte, and links to the web site and to support.
#pragma once

#include "views/Info.h"

#include <QWidget>

namespace quillmere {

class AboutView : public QWidget {
    Q_OBJECT

  public:
    /// Shows this program's own version and notice.
    explicit AboutView(QWidget* parent = nullptr);
    /// Shows the version and notice of the given stamped values.
    explicit AboutView(const Info::Bundle& bundle, QWidget* parent = nullptr);

    /// "Version " + version + " (" + build + ")".
    static QString versionText(const Info::Bundle& bundle);
};

} // namespace quillmere
