// Open panels built on Qt's own (non-native) file dialog, embedded under a message. The native
// dialogs of Linux desktops cannot be relied on to return several folders, so the panel's views
// are switched to extended selection: Ctrl-click and Shift-click pick several folders, and the
// dialog returns every selected row. The chooser has buttons of its own because Qt's disable
// "Open" while no file is selected, where a folder (the one shown) is a valid choice here.
#include "views/Choosers.h"

#include "views/TextStyle.h"

#include <QAbstractItemView>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSplitter>
#include <QTreeView>
#include <QVBoxLayout>
#include <algorithm>

namespace quillmere {

// The panel itself. For the manifest chooser, confirming takes the selected folder or file as it
// is (Qt's dialog would open a selected folder instead), or the folder shown when nothing is
// selected.
class Chooser::Panel : public QFileDialog {
  public:
    Panel(Kind kind, QWidget* parent) : QFileDialog(parent), kind_(kind) {}

    QStringList confirmed;

    void accept() override {
        if (kind_ != Kind::manifest) {
            // Qt's answer is the highlighted rows whenever there are any, so a typed folder that
            // could not be highlighted (not listed, or misspelt) would be left out without a
            // word. Every folder in the name field is taken too, and each must exist.
            const QStringList folders = withTypedFolders(selectedFiles());
            for (const QString& folder : folders)
                if (!QFileInfo(folder).isDir()) {
                    auto* refusal = new QMessageBox(
                        QMessageBox::Warning, window()->windowTitle(),
                        QStringLiteral("“%1” is not a folder that can be scanned. Check the "
                                       "name, or choose the folder in the list.")
                            .arg(folder),
                        QMessageBox::Ok, this);
                    refusal->setAttribute(Qt::WA_DeleteOnClose);
                    refusal->open();
                    return;
                }
            confirmed = folders;
            QDialog::accept();
            return;
        }
        const QStringList files = selectedFiles();
        const QString location = files.isEmpty() ? directory().absolutePath() : files.first();
        if (!QFileInfo::exists(location)) {
            // Lets Qt say that the typed name does not exist.
            QFileDialog::accept();
            return;
        }
        confirmed = {location};
        QDialog::accept();
    }

  private:
    /// `selected` followed by the folders of the name field that are not among them. Names in
    /// the field are in double quotes when there are several (as Qt writes them); a relative
    /// name is that of a highlighted row, or else of an entry of the folder shown.
    QStringList withTypedFolders(QStringList selected) const {
        const auto* field = findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        const QString text = field ? field->text().trimmed() : QString();
        QStringList names;
        if (text.contains(QLatin1Char('"'))) {
            const QStringList parts = text.split(QLatin1Char('"'));
            for (qsizetype i = 1; i < parts.size(); i += 2)
                names << parts[i];
        } else if (!text.isEmpty()) {
            names << text;
        }
        const QStringList highlighted = selected;
        for (const QString& name : names) {
            const bool relative = QDir::isRelativePath(name);
            const QString path = QDir::cleanPath(directory().absoluteFilePath(name));
            const bool listed =
                std::any_of(highlighted.begin(), highlighted.end(), [&](const QString& chosen) {
                    return QDir::cleanPath(chosen) == path ||
                           (relative && QFileInfo(chosen).fileName() == name);
                });
            if (!listed)
                selected << path;
        }
        return selected;
    }

    Kind kind_;
};

Chooser::Chooser(Kind kind, QWidget* parent, const QString& folder)
    : QDialog(parent), kind_(kind), message_(new QLabel(this)), panel_(new Panel(kind, this)),
      prompt_(nullptr) {
    setAttribute(Qt::WA_DeleteOnClose);
    const bool scan = kind != Kind::manifest;
    switch (kind) {
    case Kind::foldersToScan:
        setWindowTitle(QStringLiteral("Scan Folders"));
        message_->setText(QStringLiteral("Choose one or more folders or drives to scan together "
                                         "for duplicate photos and videos."));
        break;
    case Kind::foldersForSimilar:
        setWindowTitle(QStringLiteral("Find Similar Photos"));
        message_->setText(QStringLiteral("Choose one or more folders or drives to search together "
                                         "for similar photos."));
        break;
    case Kind::manifest:
        setWindowTitle(QStringLiteral("Open an Earlier Scan's Manifest"));
        message_->setText(QStringLiteral("Choose the drive you scanned, or a Quillmere manifest."));
        break;
    }
    message_->setWordWrap(true);
    message_->setFont(TextStyles::font(TextStyle::body, QFont::DemiBold));

    panel_->setWindowFlags(Qt::Widget);
    panel_->setOption(QFileDialog::DontUseNativeDialog);
    panel_->setDirectory(folder.isEmpty() ? QDir::homePath() : folder);
    if (scan) {
        panel_->setFileMode(QFileDialog::Directory);
        panel_->setOption(QFileDialog::ShowDirsOnly);
        panel_->setLabelText(QFileDialog::FileName, QStringLiteral("Folders:"));
        for (auto* view : panel_->findChildren<QAbstractItemView*>())
            if (view->objectName() == QLatin1String("listView") ||
                view->objectName() == QLatin1String("treeView"))
                view->setSelectionMode(QAbstractItemView::ExtendedSelection);
    } else {
        panel_->setFileMode(QFileDialog::ExistingFile);
        // Every file is listed, as a manifest may have been renamed; the filter narrows it.
        panel_->setNameFilters({QStringLiteral("All files (*)"),
                                QStringLiteral("Quillmere manifests (*.json *.jsonl)")});
    }
    connect(panel_, &QDialog::finished, this, [this](int result) {
        if (result == QDialog::Accepted && !panel_->confirmed.isEmpty())
            emit chosen(panel_->confirmed);
        done(result);
    });

    if (auto* own = panel_->findChild<QDialogButtonBox*>(QStringLiteral("buttonBox")))
        own->hide();
    // Only folders can be chosen to scan, so there is no kind of file to pick.
    if (scan)
        for (const char* name : {"fileTypeCombo", "fileTypeLabel"})
            if (auto* row = panel_->findChild<QWidget*>(QLatin1String(name)))
                row->hide();
    // Room for the places' names and for every column of the detail view.
    if (auto* splitter = panel_->findChild<QSplitter*>(QStringLiteral("splitter")))
        splitter->setSizes({190, 730});
    if (auto* details = panel_->findChild<QTreeView*>(QStringLiteral("treeView"))) {
        QHeaderView* header = details->header();
        header->setStretchLastSection(false);
        header->setSectionResizeMode(0, QHeaderView::Stretch);
        for (int column = 1; column < header->count(); ++column)
            header->setSectionResizeMode(column, QHeaderView::ResizeToContents);
    }
    auto* buttons = new QDialogButtonBox(this);
    prompt_ = buttons->addButton(scan ? QStringLiteral("Scan") : QStringLiteral("Open"),
                                 QDialogButtonBox::AcceptRole);
    prompt_->setDefault(true);
    buttons->addButton(QStringLiteral("Cancel"), QDialogButtonBox::RejectRole);
    connect(buttons, &QDialogButtonBox::accepted, panel_, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, panel_, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(12, 12, 12, 12);
    layout->addWidget(message_);
    layout->addWidget(panel_, 1);
    layout->addWidget(buttons);
    resize(940, 580);
}

QFileDialog& Chooser::panel() {
    return *panel_;
}

QString Chooser::message() const {
    return message_->text();
}

} // namespace quillmere
