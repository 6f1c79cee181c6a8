// Why an apply left a duplicate where it is: the fixed reasons of the checks made just before a
// file goes, and which of them say that the pair's two files are no longer the same.
#pragma once

#include <string_view>

namespace quillmere::ApplyFailure {

constexpr std::string_view keeperMissing = "the copy it duplicates is missing";
constexpr std::string_view notDownloaded = "cloud storage has not downloaded this file yet — open "
                                           "it once in the file manager, then use Retry failed";
constexpr std::string_view notIdentical = "no longer byte-identical to the copy being kept";
constexpr std::string_view sameFile =
    "this is the same file as the copy being kept, not a second copy of it";

/// The reasons of a similar photo, which goes only while neither file has changed since the scan.
constexpr std::string_view similarKeeperMissing = "the photo being kept is missing";
constexpr std::string_view similarKeeperChanged = "the photo being kept has changed since the scan";
constexpr std::string_view similarChanged = "this photo has changed or moved since the scan";

/// Whether the reason says that the files differ or that one of them is gone, after which the
/// pair can no longer be presented as verified identical.
constexpr bool contradictsMatch(std::string_view reason) {
    return reason == keeperMissing || reason == notIdentical;
}

} // namespace quillmere::ApplyFailure
