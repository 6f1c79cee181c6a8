// Where the marks of a review are remembered, and the format of that file: one JSON object
// mapping each marked duplicate's path to "discard" or "keep". Every failure here is silent; its
// only effect is that marks are not remembered.
#pragma once

#include "model/ReviewItem.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace quillmere::ReviewState {

using SavedDecisions = std::unordered_map<std::string, ReviewItem::Decision>;

/// Larger files are not read: a state file holds one short member per marked pair.
inline constexpr std::int64_t maxFileBytes = std::int64_t(64) << 20;

/// Name of the state file kept beside an opened manifest.
inline constexpr std::string_view manifestStateFileName = "_quillmere_review_state.json";

/// A folder used instead of the application-support folder, process-wide; none by default.
void setStateDirectoryOverride(std::optional<std::string> folder);
const std::optional<std::string>& stateDirectoryOverride();

/// The override, or "Quillmere" in the user's data folder ($XDG_DATA_HOME, by default
/// ~/.local/share), created when missing. Nothing when no data folder can be had.
std::optional<std::string> stateDirectory();

/// The state file of a scan of `roots`: "scan-" + 16 hex digits of the SHA-256 of the root paths
/// in ascending text order joined by line feeds + ".json", so any order of the same roots gives
/// the same file. Nothing when there is no state directory.
std::optional<std::string> stateFileForScan(const std::vector<std::string>& roots);

/// The state file of a scan of `roots` for similar photos: the same name as stateFileForScan but
/// beginning "similar-", so that neither review of the same folders takes the other's marks.
std::optional<std::string> stateFileForSimilar(const std::vector<std::string>& roots);

/// The state file beside a manifest, in the folder that holds it.
std::string stateFileForManifest(const std::string& manifestPath);

/// Every item with a decision other than undecided, pretty-printed with sorted keys. Throws
/// Error when a path cannot be written as JSON text.
std::string encode(const std::vector<ReviewItem>& items);

/// The decisions of a state file, or nothing unless it is one JSON object whose values are all
/// decision raw values. Never builds more than that object, whatever the input.
std::optional<SavedDecisions> decode(std::string_view json);

/// Reads and decodes a state file; nothing when it is missing, not a regular file, larger than
/// maxFileBytes or not valid.
std::optional<SavedDecisions> read(const std::string& path);

/// Replaces the file atomically with decisions as encode() gives them; a failure leaves it as it
/// was and is otherwise ignored.
void write(const std::string& path, const std::string& encoded);

} // namespace quillmere::ReviewState
