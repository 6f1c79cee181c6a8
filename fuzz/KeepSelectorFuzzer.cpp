// Arbitrary file names for the keep selector: the input split at line feeds into the paths of one
// group (any bytes, valid UTF-8 or not). The keeper is always one of the paths, and which one does
// not depend on the order the paths come in (up to canonically equivalent texts, which the order
// of text cannot tell apart).
#include "Check.h"
#include "scan/KeepSelector.h"
#include "scan/Text.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

using namespace quillmere;
using quillmere::fuzz::require;

namespace {

std::vector<std::string> pathsOf(std::string_view bytes) {
    std::vector<std::string> paths;
    std::size_t start = 0;
    while (start <= bytes.size() && paths.size() < 32) {
        const auto end = std::min(bytes.find('\n', start), bytes.size());
        paths.emplace_back(bytes.substr(start, end - start));
        start = end + 1;
    }
    return paths;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::vector<std::string> paths =
        pathsOf(std::string_view(reinterpret_cast<const char*>(data), size));
    for (const auto& path : paths) {
        KeepSelector::looksLikeCopy(path);
        KeepSelector::looksRenamed(path);
    }

    const std::string keep = KeepSelector::chooseKeep(paths);
    require(std::find(paths.begin(), paths.end(), keep) != paths.end(),
            "the keeper is one of the paths");

    std::reverse(paths.begin(), paths.end());
    const std::string reversed = KeepSelector::chooseKeep(paths);
    std::rotate(paths.begin(), paths.begin() + std::ptrdiff_t(paths.size() / 2), paths.end());
    const std::string rotated = KeepSelector::chooseKeep(paths);
    require(Text::equal(keep, reversed) && Text::equal(keep, rotated),
            "the keeper does not depend on the order of the paths");
    return 0;
}
