// The open panels of the main window: the folder chooser that starts a scan (for identical files or
// for similar photos), which lets the user pick several folders at once, and the chooser for a
// drive, review folder or manifest file. Each shows its message above a file panel and reports what
// was chosen.
#pragma once

#include <QDialog>
#include <QString>
#include <QStringList>

class QFileDialog;
class QLabel;
class QPushButton;

namespace quillmere {

class Chooser : public QDialog {
    Q_OBJECT

  public:
    enum class Kind {
        /// Folders only, several at once; the prompt is "Scan".
        foldersToScan,
        /// The same, for a scan for similar photos.
        foldersForSimilar,
        /// One folder or one file, JSON files listed first; the prompt is "Open".
        manifest,
    };

    /// Starts in `folder`, or in the home folder when it is empty. Deletes itself once closed.
    Chooser(Kind kind, QWidget* parent, const QString& folder = {});

    Kind kind() const { return kind_; }
    /// The embedded file panel.
    QFileDialog& panel();
    /// The text above the panel.
    QString message() const;
    /// "Scan" or "Open": confirms what is selected in the panel, or the folder it shows when
    /// nothing is.
    QPushButton& promptButton() { return *prompt_; }

  signals:
    /// The user confirmed with at least one location, given in the panel's order.
    void chosen(const QStringList& locations);

  private:
    class Panel;

    Kind kind_;
    QLabel* message_;
    Panel* panel_;
    QPushButton* prompt_;
};

} // namespace quillmere
