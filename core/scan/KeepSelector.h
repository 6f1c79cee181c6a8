// Chooses which of a group of identical files stays: names that look like copies lose, names that
// start with a date win, then the longer name, the longer path and the smaller text.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace quillmere::KeepSelector {

/// The path to keep; `paths` is not empty.
std::string chooseKeep(const std::vector<std::string>& paths);

/// The lower-cased stem matches one of the copy patterns ("x copy", "x (1)", "x 2", "1_x").
bool looksLikeCopy(std::string_view filename);

/// The stem starts with six to eight digits and "-" or "_".
bool looksRenamed(std::string_view filename);

} // namespace quillmere::KeepSelector
