// The texts of the main window that depend on the review: picker choices with their counts, the
// apply button and its confirmation, the scanning caption, the summaries and the notice shown when
// a filter lists nothing. Free functions of counts, so every wording rule can be checked alone.
#pragma once

#include "model/ReviewSession.h"

#include <QString>
#include <cstdint>
#include <string>

namespace quillmere::ReviewTexts {

/// The confirmation alert of an apply.
struct ApplyAlert {
    /// "Move to Trash?" or "Apply decisions?".
    QString title;
    /// "Move to Trash" (destructive) or "Apply".
    QString confirmButton;
    bool destructive = false;
    /// Up to two paragraphs joined by an empty line; may be empty.
    QString message;

    friend bool operator==(const ApplyAlert&, const ApplyAlert&) = default;
};

/// A notice in place of an empty list: a title with a symbol, and a description.
struct Notice {
    QString title;
    QString symbol;
    QString message;

    friend bool operator==(const Notice&, const Notice&) = default;
};

/// A status filter's label, two spaces and the count in parentheses: "To review  (12)".
QString filterChoice(ReviewSession::Filter filter, std::int64_t count);
/// A media filter's label, two spaces and the count in parentheses: "Photos  (3)".
QString mediaChoice(ReviewSession::MediaFilter filter, std::int64_t count);
/// The symbol beside a media filter's segment.
QString mediaSymbol(ReviewSession::MediaFilter filter);

/// "Remove 1 file…" while anything is marked for removal, otherwise "Apply 3 decisions".
QString applyButtonTitle(std::int64_t discards, std::int64_t keeps);

/// The alert for `discards` pairs marked for removal of `reclaimableBytes` together, of which the
/// removal variant is shown when `offersRemoval`, and `parkedKeeps` set-aside pairs marked keep.
/// A review of similar photos says what is checked before a similar photo goes instead.
ApplyAlert applyAlert(bool offersRemoval, std::int64_t discards, std::int64_t reclaimableBytes,
                      std::int64_t parkedKeeps,
                      ReviewSession::Kind kind = ReviewSession::Kind::scan);

/// The notice for a filter that lists nothing, among `total` pairs of which `undecided` have no
/// mark. `mediaFilterIsResponsible`: the media filter alone leaves nothing to list.
Notice emptyFilterNotice(ReviewSession::MediaFilter mediaFilter, bool mediaFilterIsResponsible,
                         std::int64_t total, std::int64_t undecided,
                         ReviewSession::Kind kind = ReviewSession::Kind::scan);

/// The caption under the scanning progress, from the seconds since the scan started.
QString scanningCaption(double elapsed);
/// "Checked 1,234 photos and videos in Photos.", the count grouped as the locale does; "photos"
/// alone after a scan for similar photos.
QString checkedSummary(std::int64_t filesScanned, const std::string& folderName,
                       ReviewSession::Kind kind = ReviewSession::Kind::scan);
/// "No duplicates found", or "No similar photos found".
QString nothingFound(ReviewSession::Kind kind);
/// "Took 4.2s. Nothing was changed."
QString tookSummary(double seconds);
/// "All 12 duplicates from this scan have been dealt with." ("similar photos" for their review).
QString allDealtWith(std::int64_t count, ReviewSession::Kind kind = ReviewSession::Kind::scan);

/// The counts of the status bar: "3 to review", "2 to delete", "1 to keep", "1.5 MB reclaimable".
QString toReview(std::int64_t count);
QString toDelete(std::int64_t count);
QString toKeep(std::int64_t count);
QString reclaimable(std::int64_t bytes);

} // namespace quillmere::ReviewTexts
