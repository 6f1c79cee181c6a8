// The app's own user guide: a fixed scrolling page of seven sections on scanning, how matches are
// proven, reviewing with the keyboard, applying, photo libraries, saved progress and the
// command-line tool.
#pragma once

#include <QScrollArea>
#include <QString>

namespace quillmere {

class HelpView : public QScrollArea {
    Q_OBJECT

  public:
    /// The page is this many points wide and high; longer content scrolls.
    static constexpr int pageWidth = 620;
    static constexpr int pageHeight = 560;

    explicit HelpView(QWidget* parent = nullptr);

    /// Inline Markdown (**bold**, *italic*, `code`) as rich text, every other character escaped.
    /// A marker without its closing partner stays as it is.
    static QString inlineMarkdownToHtml(const QString& markdown);
};

} // namespace quillmere
