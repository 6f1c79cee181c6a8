// The about window's content.
#include "views/AboutView.h"

#include "views/Labels.h"
#include "views/Palette.h"
#include "views/TextStyle.h"

#include <QDesktopServices>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QUrl>
#include <QVBoxLayout>

namespace quillmere {

namespace {

constexpr int viewWidth = 380;
constexpr int padding = 28;
constexpr int iconSize = 96;

QLabel* label(const QString& text, const QFont& font, Palette::Role colour, QWidget* parent) {
    auto* result = new QLabel(text, parent);
    result->setFont(font);
    result->setAlignment(Qt::AlignHCenter);
    Palette::setForeground(*result, colour);
    return result;
}

} // namespace

AboutView::AboutView(QWidget* parent) : AboutView(Info::bundle(), parent) {}

AboutView::AboutView(const Info::Bundle& bundle, QWidget* parent) : QWidget(parent) {
    setWindowTitle(QStringLiteral("About Quillmere"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(padding, padding, padding, padding);
    layout->setSpacing(14);

    auto* icon = new QLabel(this);
    icon->setObjectName(QStringLiteral("applicationIcon"));
    icon->setFixedSize(iconSize, iconSize);
    icon->setPixmap(Info::applicationIcon().pixmap(QSize(iconSize, iconSize), devicePixelRatioF()));
    layout->addWidget(icon, 0, Qt::AlignHCenter);

    auto* names = new QVBoxLayout;
    names->setSpacing(4);
    names->addWidget(label(QStringLiteral("Quillmere"),
                           TextStyles::font(TextStyle::title, QFont::DemiBold),
                           Palette::Role::primary, this));
    auto* version = label(versionText(bundle), TextStyles::font(TextStyle::callout),
                          Palette::Role::secondary, this);
    version->setObjectName(QStringLiteral("version"));
    names->addWidget(version);
    layout->addLayout(names);

    auto* summary = label(QStringLiteral("Finds duplicate photos and videos across any folders or "
                                         "drives you choose, and shows you each pair side by side "
                                         "before anything moves."),
                          TextStyles::font(TextStyle::callout), Palette::Role::secondary, this);
    summary->setWordWrap(true);
    summary->setFixedWidth(viewWidth - 2 * padding);
    layout->addWidget(summary, 0, Qt::AlignHCenter);

    layout->addWidget(new SymbolLabel(QStringLiteral("checkmark.seal.fill"),
                                      QStringLiteral("Every match is compared byte for byte"),
                                      TextStyles::font(TextStyle::callout, QFont::Medium),
                                      Palette::Role::green, this),
                      0, Qt::AlignHCenter);

    auto* divider = new QFrame(this);
    divider->setFrameShape(QFrame::HLine);
    divider->setFrameShadow(QFrame::Plain);
    divider->setFixedHeight(1);
    QPalette lines = divider->palette();
    lines.setColor(QPalette::WindowText, Palette::separator(lines));
    divider->setPalette(lines);
    layout->addSpacing(2);
    layout->addWidget(divider);
    layout->addSpacing(2);

    auto* links = new QHBoxLayout;
    links->setSpacing(14);
    const QFont callout = TextStyles::font(TextStyle::callout);
    auto* website = new LinkButton(QStringLiteral("Website"), callout, this);
    connect(website, &QPushButton::clicked, this,
            [] { QDesktopServices::openUrl(Info::website()); });
    auto* support = new LinkButton(QStringLiteral("Support"), callout, this);
    connect(support, &QPushButton::clicked, this, [] {
        QDesktopServices::openUrl(QUrl(QStringLiteral("mailto:") + Info::supportMail()));
    });
    links->addStretch(1);
    links->addWidget(website);
    links->addWidget(support);
    links->addStretch(1);
    layout->addLayout(links);

    auto* notice = label(Info::copyright(bundle), TextStyles::font(TextStyle::caption),
                         Palette::Role::tertiary, this);
    notice->setObjectName(QStringLiteral("copyright"));
    layout->addWidget(notice);

    // The window takes the size of its content: 380 points wide, as tall as the texts need.
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

QString AboutView::versionText(const Info::Bundle& bundle) {
    return QStringLiteral("Version ") + Info::version(bundle) + QStringLiteral(" (") +
           Info::build(bundle) + QStringLiteral(")");
}

} // namespace quillmere
