// One pair under review: a duplicate (or, in a review of similar photos, a photo that shows the
// same picture) beside the copy that is kept, the user's mark for it and what has happened to it so
// far.
#pragma once

#include "FingerprintCache.h"
#include "move/MoveManifest.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

namespace quillmere {

struct ReviewItem {
    /// The user's mark; stored in review state files as its raw value.
    enum class Decision { undecided, discard, keep };

    /// What has happened to the duplicate. Only pending items are acted on by an apply.
    enum class State { pending, trashed, restored, kept, gone, failed };

    /// The duplicate is where the scan found it.
    struct InPlace {
        friend bool operator==(const InPlace&, const InPlace&) = default;
    };
    /// The duplicate was set aside by an earlier run; the whole record is kept to put it back.
    struct Parked {
        MoveRecord record;
        friend bool operator==(const Parked&, const Parked&) = default;
    };
    /// The photo shows the same picture as the kept one but is another file, found by a scan for
    /// similar photos. Both files as the scan found them: neither may have changed when the
    /// photo goes, since no byte comparison can vouch for a pair that differs by definition.
    struct Similar {
        similar::FileStamp keep;
        similar::FileStamp candidate;
        friend bool operator==(const Similar&, const Similar&) = default;
    };
    using Origin = std::variant<InPlace, Parked, Similar>;

    /// The duplicate's path, unique within one review.
    std::string id;
    /// The copy that is kept.
    std::string keepURL;
    /// The duplicate under judgement (the same path as id).
    std::string candidateURL;
    std::int64_t sizeBytes = 0;
    Origin origin;
    Decision decision = Decision::undecided;
    State state = State::pending;
    /// Why an apply left the duplicate alone; empty unless the state is failed.
    std::string failureReason;

    /// The set-aside record, or nothing for a duplicate in place.
    const MoveRecord* parkedRecord() const {
        const auto* parked = std::get_if<Parked>(&origin);
        return parked ? &parked->record : nullptr;
    }
    /// The scan's record of both files for a similar photo, or nothing.
    const Similar* similarOrigin() const { return std::get_if<Similar>(&origin); }

    friend bool operator==(const ReviewItem&, const ReviewItem&) = default;
};

namespace Decisions {

/// "undecided", "discard" or "keep".
constexpr std::string_view rawValue(ReviewItem::Decision decision) {
    switch (decision) {
    case ReviewItem::Decision::discard:
        return "discard";
    case ReviewItem::Decision::keep:
        return "keep";
    case ReviewItem::Decision::undecided:
        break;
    }
    return "undecided";
}

/// Exact, case-sensitive inverse of rawValue.
constexpr std::optional<ReviewItem::Decision> fromRawValue(std::string_view raw) {
    for (const auto decision : {ReviewItem::Decision::undecided, ReviewItem::Decision::discard,
                                ReviewItem::Decision::keep})
        if (rawValue(decision) == raw)
            return decision;
    return std::nullopt;
}

} // namespace Decisions
} // namespace quillmere
