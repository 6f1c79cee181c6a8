#include "scan/SkipRules.h"

#include "scan/Text.h"

#include <algorithm>
#include <string>

namespace quillmere::SkipRules {

namespace {

bool isIn(const auto& table, std::string_view name) {
    return std::find(table.begin(), table.end(), name) != table.end();
}

bool endsWith(std::string_view text, std::string_view suffix) {
    return text.size() >= suffix.size() && text.substr(text.size() - suffix.size()) == suffix;
}

} // namespace

bool shouldPrune(std::string_view name) {
    if (isIn(systemDirectoryNames, name) || isIn(toolingDirectoryNames, name))
        return true;
    if (!name.empty() && name.front() == '.' && name != "." && name != "..")
        return true;
    const std::string lowered = Text::lowercased(name);
    return std::any_of(managedLibrarySuffixes.begin(), managedLibrarySuffixes.end(),
                       [&](std::string_view suffix) { return endsWith(lowered, suffix); });
}

bool shouldSkip(std::string_view name) {
    return name.starts_with("._");
}

} // namespace quillmere::SkipRules
