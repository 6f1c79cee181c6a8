// Texts of the main window.
#include "views/ReviewTexts.h"

#include "report/ReportWriter.h"

#include <QLocale>
#include <QStringList>

namespace quillmere::ReviewTexts {

namespace {

QString number(std::int64_t value) {
    return QString::number(value);
}

QString size(std::int64_t bytes) {
    return QString::fromStdString(ReportWriter::humanSize(bytes));
}

QString choice(std::string_view label, std::int64_t count) {
    return QString::fromUtf8(label.data(), qsizetype(label.size())) + QStringLiteral("  (") +
           number(count) + QStringLiteral(")");
}

// "s" unless the count is one.
QString plural(std::int64_t count) {
    return count == 1 ? QString() : QStringLiteral("s");
}

} // namespace

QString filterChoice(ReviewSession::Filter filter, std::int64_t count) {
    return choice(ReviewSession::label(filter), count);
}

QString mediaChoice(ReviewSession::MediaFilter filter, std::int64_t count) {
    return choice(ReviewSession::label(filter), count);
}

QString mediaSymbol(ReviewSession::MediaFilter filter) {
    switch (filter) {
    case ReviewSession::MediaFilter::photos:
        return QStringLiteral("photo");
    case ReviewSession::MediaFilter::videos:
        return QStringLiteral("film");
    case ReviewSession::MediaFilter::all:
        break;
    }
    return QStringLiteral("square.on.square");
}

QString applyButtonTitle(std::int64_t discards, std::int64_t keeps) {
    if (discards == 0)
        return QStringLiteral("Apply ") + number(keeps) + QStringLiteral(" decision") +
               plural(keeps);
    return QStringLiteral("Remove ") + number(discards) + QStringLiteral(" file") +
           plural(discards) + QStringLiteral("…");
}

ApplyAlert applyAlert(bool offersRemoval, std::int64_t discards, std::int64_t reclaimableBytes,
                      std::int64_t parkedKeeps, ReviewSession::Kind kind) {
    QStringList paragraphs;
    if (offersRemoval && discards > 0 && kind == ReviewSession::Kind::similar)
        paragraphs << number(discards) + QStringLiteral(" similar photo") + plural(discards) +
                          QStringLiteral(" — ") + size(reclaimableBytes) +
                          QStringLiteral(" — go to the Trash, and stay recoverable from there "
                                         "until you empty it. Each one goes only if neither it "
                                         "nor the photo being kept has changed since the scan.");
    else if (offersRemoval && discards > 0)
        // "duplicate(s)" stays as it is whatever the count.
        paragraphs << number(discards) + QStringLiteral(" duplicate(s) — ") +
                          size(reclaimableBytes) +
                          QStringLiteral(" — go to the Trash, and stay recoverable from there "
                                         "until you empty it. Each one is re-checked byte for "
                                         "byte against the copy being kept immediately before "
                                         "it goes.");
    if (parkedKeeps > 0) {
        const bool one = parkedKeeps == 1;
        paragraphs << number(parkedKeeps) +
                          (one ? QStringLiteral(" file goes back to its")
                               : QStringLiteral(" files go back to their")) +
                          QStringLiteral(" original folder") + plural(parkedKeeps) +
                          QStringLiteral(".");
    }
    if (offersRemoval)
        return {QStringLiteral("Move to Trash?"), QStringLiteral("Move to Trash"), true,
                paragraphs.join(QStringLiteral("\n\n"))};
    return {QStringLiteral("Apply decisions?"), QStringLiteral("Apply"), false,
            paragraphs.join(QStringLiteral("\n\n"))};
}

Notice emptyFilterNotice(ReviewSession::MediaFilter mediaFilter, bool mediaFilterIsResponsible,
                         std::int64_t total, std::int64_t undecided, ReviewSession::Kind kind) {
    if (mediaFilterIsResponsible && kind == ReviewSession::Kind::similar)
        return {QStringLiteral("No similar videos"), QStringLiteral("film"),
                QStringLiteral("The search for similar pictures looks at photos only. Choose All "
                               "media to see them.")};
    if (mediaFilterIsResponsible) {
        const bool videos = mediaFilter == ReviewSession::MediaFilter::videos;
        const QString other =
            (videos ? QStringLiteral("photo") : QStringLiteral("video")) + plural(total);
        return {videos ? QStringLiteral("No duplicate videos")
                       : QStringLiteral("No duplicate photos"),
                videos ? QStringLiteral("film") : QStringLiteral("photo"),
                QStringLiteral("This scan found no duplicate ") +
                    (videos ? QStringLiteral("videos") : QStringLiteral("photos")) +
                    QStringLiteral(" — only ") + number(total) + QStringLiteral(" duplicate ") +
                    other + QStringLiteral(". Choose All media to see them.")};
    }
    const QString title = QStringLiteral("Nothing in this filter");
    const QString symbol = QStringLiteral("line.3.horizontal.decrease.circle");
    if (undecided == 0)
        return {title, symbol,
                QStringLiteral("Every pair has a decision. Press Apply to carry them out.")};
    return {title, symbol,
            number(undecided) + QStringLiteral(" pair") + plural(undecided) +
                QStringLiteral(" still need") + (undecided == 1 ? QStringLiteral("s") : QString()) +
                QStringLiteral(" a decision — switch the filter to \"To review\".")};
}

QString scanningCaption(double elapsed) {
    if (elapsed < 1)
        return QStringLiteral("Read-only — nothing is changed by scanning.");
    return number(std::int64_t(elapsed)) +
           QStringLiteral("s elapsed · read-only, nothing is changed");
}

QString checkedSummary(std::int64_t filesScanned, const std::string& folderName,
                       ReviewSession::Kind kind) {
    return QStringLiteral("Checked ") + QLocale().toString(qlonglong(filesScanned)) +
           (kind == ReviewSession::Kind::similar ? QStringLiteral(" photos in ")
                                                 : QStringLiteral(" photos and videos in ")) +
           QString::fromStdString(folderName) + QStringLiteral(".");
}

QString nothingFound(ReviewSession::Kind kind) {
    return kind == ReviewSession::Kind::similar ? QStringLiteral("No similar photos found")
                                                : QStringLiteral("No duplicates found");
}

QString tookSummary(double seconds) {
    // asprintf formats without the locale, so the decimal point is always ".".
    return QString::asprintf("Took %.1fs. Nothing was changed.", seconds);
}

QString allDealtWith(std::int64_t count, ReviewSession::Kind kind) {
    return QStringLiteral("All ") + number(count) +
           (kind == ReviewSession::Kind::similar ? QStringLiteral(" similar photos")
                                                 : QStringLiteral(" duplicates")) +
           QStringLiteral(" from this scan have been dealt with.");
}

QString toReview(std::int64_t count) {
    return number(count) + QStringLiteral(" to review");
}

QString toDelete(std::int64_t count) {
    return number(count) + QStringLiteral(" to delete");
}

QString toKeep(std::int64_t count) {
    return number(count) + QStringLiteral(" to keep");
}

QString reclaimable(std::int64_t bytes) {
    return size(bytes) + QStringLiteral(" reclaimable");
}

} // namespace quillmere::ReviewTexts
