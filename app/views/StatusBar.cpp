// The main window's status bar.
#include "views/StatusBar.h"

#include "model/ReviewSession.h"
#include "views/Controls.h"
#include "views/Labels.h"
#include "views/ReviewTexts.h"
#include "views/TextStyle.h"

#include <QHBoxLayout>

namespace quillmere {

namespace {

using Role = Palette::Role;

Role strength(std::int64_t count) {
    return count > 0 ? Role::primary : Role::secondary;
}

} // namespace

StatusBar::StatusBar(const ReviewSession& session, QWidget* parent)
    : QWidget(parent), session_(session) {
    const QFont callout = TextStyles::font(TextStyle::callout);
    toReview_ = new SymbolLabel(QStringLiteral("tray"), {}, callout, Role::primary, this);
    toDelete_ = new SymbolLabel(QStringLiteral("trash"), {}, callout, Role::secondary, this);
    toKeep_ =
        new SymbolLabel(QStringLiteral("arrow.uturn.backward"), {}, callout, Role::secondary, this);
    reclaimable_ = new SymbolLabel({}, {}, callout, Role::secondary, this);
    spinner_ = new Spinner(16, this);
    apply_ = Buttons::prominent({}, this);
    apply_->setFont(TextStyles::font(TextStyle::callout, QFont::Medium));

    Palette::setBackground(*this, Palette::bar(palette()));
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(16, 10, 16, 10);
    layout->setSpacing(16);
    layout->addWidget(toReview_);
    layout->addWidget(toDelete_);
    layout->addWidget(toKeep_);
    layout->addWidget(reclaimable_);
    layout->addStretch(1);
    layout->addWidget(spinner_);
    layout->addWidget(apply_);

    connect(apply_, &QPushButton::clicked, this, &StatusBar::applyRequested);
    refresh();
}

void StatusBar::refresh() {
    const auto discards = std::int64_t(session_.markedForDiscard().size());
    const auto keeps = std::int64_t(session_.markedForKeep().size());
    toReview_->set(toReview_->symbol(), ReviewTexts::toReview(session_.undecidedCount()),
                   Role::primary);
    toDelete_->set(toDelete_->symbol(), ReviewTexts::toDelete(discards), strength(discards));
    toKeep_->set(toKeep_->symbol(), ReviewTexts::toKeep(keeps), strength(keeps));
    reclaimable_->set({}, ReviewTexts::reclaimable(session_.reclaimableBytes()), Role::secondary);
    spinner_->setVisible(session_.isApplying());
    apply_->setText(ReviewTexts::applyButtonTitle(discards, keeps));
    apply_->setEnabled(!session_.isApplying() && (discards > 0 || keeps > 0));
}

} // namespace quillmere
