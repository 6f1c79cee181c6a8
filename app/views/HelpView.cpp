// The help page, built from four blocks: titled sections, paragraphs with inline emphasis, the
// table of review keys and a selectable code line.
#include "views/HelpView.h"

#include "views/Palette.h"
#include "views/TextStyle.h"

#include <QGridLayout>
#include <QLabel>
#include <QPainter>
#include <QVBoxLayout>
#include <utility>
#include <vector>

namespace quillmere {

namespace {

/// A key shown as a keycap: centred in a rounded box on the text background.
class KeyCap : public QLabel {
  public:
    KeyCap(const QString& key, QWidget* parent) : QLabel(key, parent) {
        setObjectName(QStringLiteral("shortcutKey"));
        QFont font = TextStyles::font(TextStyle::caption, QFont::DemiBold, FontDesign::monospaced);
        // Arrow glyphs are drawn small beside letters of the same size; they get the size of a
        // letter's height.
        if (key == QStringLiteral("↑") || key == QStringLiteral("↓"))
            font.setPixelSize(font.pixelSize() * 3 / 2);
        setFont(font);
        setAlignment(Qt::AlignCenter);
        setFixedWidth(26);
        setContentsMargins(0, 3, 0, 3);
    }

  protected:
    void paintEvent(QPaintEvent* event) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        painter.setBrush(Palette::textBackground(palette()));
        painter.drawRoundedRect(QRectF(rect()), 5, 5);
        painter.end();
        QLabel::paintEvent(event);
    }
};

/// A line of code on the text background in a rounded box, as wide as the page.
class CodeBlock : public QWidget {
  public:
    CodeBlock(const QString& text, QWidget* parent) : QWidget(parent) {
        auto* label = new QLabel(text, this);
        label->setObjectName(QStringLiteral("codeBlock"));
        label->setTextFormat(Qt::PlainText);
        label->setFont(TextStyles::font(TextStyle::caption, std::nullopt, FontDesign::monospaced));
        label->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
        label->setCursor(Qt::IBeamCursor);
        auto* layout = new QVBoxLayout(this);
        layout->setContentsMargins(10, 7, 10, 7);
        layout->addWidget(label, 0, Qt::AlignLeft);
    }

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        painter.setBrush(Palette::textBackground(palette()));
        painter.drawRoundedRect(QRectF(rect()), 6, 6);
    }
};

QLabel* helpText(const QString& markdown) {
    auto* label = new QLabel(HelpView::inlineMarkdownToHtml(markdown));
    label->setObjectName(QStringLiteral("helpText"));
    label->setTextFormat(Qt::RichText);
    label->setWordWrap(true);
    label->setFont(TextStyles::font(TextStyle::callout));
    Palette::setForeground(*label, Palette::Role::secondary);
    return label;
}

QWidget* shortcutTable(const std::vector<std::pair<QString, QString>>& rows) {
    auto* table = new QWidget;
    table->setObjectName(QStringLiteral("shortcutTable"));
    auto* grid = new QGridLayout(table);
    grid->setContentsMargins(0, 2, 0, 0);
    grid->setHorizontalSpacing(14);
    grid->setVerticalSpacing(7);
    int row = 0;
    for (const auto& [key, meaning] : rows) {
        grid->addWidget(new KeyCap(key, table), row, 0, Qt::AlignLeft | Qt::AlignVCenter);
        auto* text = new QLabel(meaning, table);
        text->setFont(TextStyles::font(TextStyle::callout));
        Palette::setForeground(*text, Palette::Role::secondary);
        grid->addWidget(text, row, 1, Qt::AlignLeft | Qt::AlignVCenter);
        ++row;
    }
    grid->setColumnStretch(1, 1);
    return table;
}

/// A titled section; takes ownership of the blocks.
QWidget* section(const QString& title, std::initializer_list<QWidget*> blocks) {
    auto* widget = new QWidget;
    widget->setObjectName(QStringLiteral("helpSection"));
    auto* layout = new QVBoxLayout(widget);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(10);
    auto* heading = new QLabel(title, widget);
    heading->setObjectName(QStringLiteral("sectionTitle"));
    heading->setFont(TextStyles::font(TextStyle::headline));
    layout->addWidget(heading);
    for (QWidget* block : blocks)
        layout->addWidget(block);
    return widget;
}

QWidget* header() {
    auto* widget = new QWidget;
    auto* layout = new QVBoxLayout(widget);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(6);
    auto* title = new QLabel(QStringLiteral("Quillmere Help"), widget);
    title->setObjectName(QStringLiteral("helpTitle"));
    title->setFont(TextStyles::font(TextStyle::title2, QFont::DemiBold));
    auto* subtitle = new QLabel(
        QStringLiteral("Finding and removing duplicate photos and videos, safely."), widget);
    Palette::setForeground(*subtitle, Palette::Role::secondary);
    layout->addWidget(title);
    layout->addWidget(subtitle);
    return widget;
}

QWidget* page() {
    auto* content = new QWidget;
    auto* layout = new QVBoxLayout(content);
    layout->setContentsMargins(32, 32, 32, 32);
    layout->setSpacing(24);
    layout->addWidget(header());
    layout->addWidget(section(
        QStringLiteral("Scanning"),
        {helpText(QStringLiteral(
             "Choose **Scan Folders…** and pick one or more folders or drives. To select several "
             "at "
             "once, open a folder that contains them — your home folder, for example — then "
             "Ctrl-click each one before choosing Scan.")),
         helpText(QStringLiteral(
             "Passing more than one folder finds duplicates *across* all of them, not just within "
             "each one separately. A photo in your Pictures folder and the same photo on an "
             "external drive show up as one pair.")),
         helpText(
             QStringLiteral("Scanning only reads. Nothing is moved, changed, or deleted while a "
                            "scan runs.")),
         helpText(QStringLiteral(
             "Files kept in cloud storage but not downloaded to this computer are counted and "
             "skipped, never "
             "compared. Reading a single byte of one downloads the whole file, so a scan would "
             "otherwise pull your library back over the network just to look at it. To include "
             "them, download them in the file manager first and scan again."))}));
    layout->addWidget(section(
        QStringLiteral("How matches are found"),
        {helpText(QStringLiteral(
             "Files are grouped by exact byte size first, then by a signature read from the start "
             "and end of each file. Anything still grouped together is then compared in full — "
             "every byte.")),
         helpText(QStringLiteral(
             "Nothing is ever shown as a duplicate on the strength of the signature alone. Files "
             "that merely look alike are split apart by that final comparison and never presented "
             "as a pair. This is why Quillmere will not flag two similar photos from the same "
             "burst: they are different files."))}));
    layout->addWidget(section(
        QStringLiteral("Finding similar photos"),
        {helpText(QStringLiteral(
             "Choose **Find Similar Photos…** to look for one picture kept in different files: a "
             "smaller copy sent by a messenger, a re-saved JPEG, the HEIC beside the JPEG exported "
             "from it, a copy with its details stripped or turned upright.")),
         helpText(QStringLiteral(
             "This search is separate from the scan for duplicates. Files that are the same byte "
             "for byte are left to **Scan Folders…**, and photos of one scene taken a moment "
             "apart are not paired.")),
         helpText(QStringLiteral(
             "Each pair shows the photo with the most pixels on the left and, under each, its "
             "pixel size, file size, format and capture date, so you can see which copy is "
             "better. The header says *Similar, not identical*: look before you choose.")),
         helpText(QStringLiteral(
             "**D** marks the photo on the right for the Trash; **K** keeps both. When you apply, "
             "a photo goes only if neither it nor the photo being kept has changed since the "
             "search; otherwise it stays where it is and is listed under **Failed**. Marks are "
             "remembered apart from those of a scan of the same folders."))}));
    layout->addWidget(section(
        QStringLiteral("Reviewing pairs"),
        {helpText(QStringLiteral(
             "Each pair shows the copy being kept on the left and the duplicate under judgement on "
             "the right, with the full path of each so you can tell which is which. For videos, "
             "**Play both** starts the two clips together.")),
         helpText(
             QStringLiteral("Marking a pair changes nothing on disk. Decisions are only carried "
                            "out when you press the button at the bottom right.")),
         shortcutTable(
             {{QStringLiteral("D"), QStringLiteral("Mark the duplicate for removal")},
              {QStringLiteral("K"), QStringLiteral("Keep both, leave them where they are")},
              {QStringLiteral("U"), QStringLiteral("Clear the mark on this pair")},
              {QStringLiteral("↓"), QStringLiteral("Next pair")},
              {QStringLiteral("↑"), QStringLiteral("Previous pair")}})}));
    layout->addWidget(section(
        QStringLiteral("What happens when you apply"),
        {helpText(QStringLiteral(
             "Files marked for removal go to the **Trash**, never a direct delete — they stay "
             "recoverable from the Trash until you empty it.")),
         helpText(QStringLiteral(
             "Immediately before each file goes, it is compared byte for byte against the copy "
             "being kept one more time. If the copy being kept has gone missing, or the two no "
             "longer match, that file is left exactly where it is and reported under **Failed**.")),
         helpText(QStringLiteral(
             "Files stored in cloud storage that have not been downloaded yet are skipped rather "
             "than "
             "silently pulled down or removed from your other devices. Open one in the file "
             "manager, "
             "then use **Retry failed**."))}));
    layout->addWidget(section(
        QStringLiteral("Photo libraries are left alone"),
        {helpText(QStringLiteral(
             "Quillmere never looks inside a **Photos**, **Lightroom**, **Aperture** or **Final "
             "Cut "
             "Pro** library. Each of those keeps your originals and its own generated copies "
             "together under a database, so the copies are meant to be identical to files "
             "elsewhere — and removing one leaves the app pointing at a file that is no longer "
             "there. Photo applications advise not to alter a photo library's contents in the "
             "file manager at all.")),
         helpText(QStringLiteral(
             "For duplicates **inside** your Photos library, use Photos' own Duplicates view, in "
             "the sidebar under Utilities. It merges duplicates rather than deleting files, so "
             "keywords, albums and edits survive. Lightroom has duplicate-finding plugins that "
             "work "
             "the same way, through its catalogue.")),
         helpText(QStringLiteral(
             "Quillmere is for everything outside those libraries: exports, card dumps, backup "
             "drives, Downloads, a cloud-storage folder — where copies pile up and nothing is "
             "keeping "
             "track."))}));
    layout->addWidget(section(
        QStringLiteral("Your progress is saved"),
        {helpText(QStringLiteral("Marks are remembered per scan, so closing the window and coming "
                                 "back to a long review picks up where you left off."))}));
    layout->addWidget(section(
        QStringLiteral("Command line"),
        {helpText(QStringLiteral(
             "Quillmere ships a command-line tool for scripted or very large sweeps. It writes a "
             "text and CSV report and, with `--move`, sets duplicates aside in a review folder "
             "inside whichever drive each was found on — never deleting, and reversible with "
             "`--undo`.")),
         helpText(QStringLiteral(
             "It lives inside this app. To put it on your PATH, choose **Quillmere → Install "
             "Command Line Tool…**, which links it into `/usr/local/bin` and will ask for your "
             "password. Then open a new terminal window:")),
         new CodeBlock(QStringLiteral("quillmere ~/Pictures \"/media/$USER/Extreme Pro\""),
                       nullptr),
         helpText(QStringLiteral("Run `quillmere --help` for the full list of options."))}));
    layout->addStretch(1);
    return content;
}

/// The position of the closing `marker` after `from`, or -1. A single "*" never matches half of
/// a "**".
qsizetype closing(const QString& text, const QString& marker, qsizetype from) {
    for (qsizetype at = text.indexOf(marker, from); at >= 0; at = text.indexOf(marker, at + 1)) {
        if (marker != QLatin1String("*"))
            return at;
        if (text.mid(at, 2) != QLatin1String("**") && (at == 0 || text[at - 1] != u'*'))
            return at;
    }
    return -1;
}

} // namespace

HelpView::HelpView(QWidget* parent) : QScrollArea(parent) {
    setWindowTitle(QStringLiteral("Quillmere Help"));
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setWidgetResizable(true);
    setWidget(page());
    setFixedSize(pageWidth, pageHeight);
}

QString HelpView::inlineMarkdownToHtml(const QString& markdown) {
    QString html;
    for (qsizetype at = 0; at < markdown.size();) {
        if (markdown[at] == u'`') {
            const qsizetype end = closing(markdown, QStringLiteral("`"), at + 1);
            if (end > at + 1) {
                html += QStringLiteral("<code>") +
                        markdown.mid(at + 1, end - at - 1).toHtmlEscaped() +
                        QStringLiteral("</code>");
                at = end + 1;
                continue;
            }
        } else if (markdown.mid(at, 2) == QLatin1String("**")) {
            const qsizetype end = closing(markdown, QStringLiteral("**"), at + 2);
            if (end > at + 2) {
                html += QStringLiteral("<b>") +
                        inlineMarkdownToHtml(markdown.mid(at + 2, end - at - 2)) +
                        QStringLiteral("</b>");
                at = end + 2;
                continue;
            }
        } else if (markdown[at] == u'*') {
            const qsizetype end = closing(markdown, QStringLiteral("*"), at + 1);
            if (end > at + 1) {
                html += QStringLiteral("<i>") +
                        inlineMarkdownToHtml(markdown.mid(at + 1, end - at - 1)) +
                        QStringLiteral("</i>");
                at = end + 1;
                continue;
            }
        }
        html += QString(markdown[at]).toHtmlEscaped();
        ++at;
    }
    return html;
}

} // namespace quillmere
