// Arbitrary bytes as the journal of a set-aside that did not finish. Decoding either fails with an
// Error or yields a manifest with at most one record per destination that, written again as a
// journal, reads back unchanged; and every record the undo would act on names a place inside the
// review folder of the journal's root.
#include "Actionable.h"
#include "Check.h"
#include "Error.h"
#include "move/MoveJournal.h"

#include <cstdint>
#include <set>
#include <string>
#include <string_view>

using quillmere::fuzz::checkActionable;
using quillmere::fuzz::require;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    quillmere::MoveManifest manifest;
    try {
        manifest = quillmere::MoveJournal::decode(text);
    } catch (const quillmere::Error& error) {
        require(*error.what() != '\0', "a refused journal says why");
        return 0;
    }
    std::set<std::string> destinations;
    for (const auto& record : manifest.records)
        require(destinations.insert(record.to).second, "one record per destination");
    std::string written;
    try {
        written = quillmere::MoveManifest{manifest.root, manifest.createdAt, {}}.encode(
                      quillmere::MoveManifest::Layout::singleLine) +
                  "\n";
        for (const auto& record : manifest.records)
            written += quillmere::MoveManifest::encodeRecord(record) + "\n";
    } catch (const quillmere::Error&) {
        require(false, "a decoded journal can be written again");
    }
    try {
        require(quillmere::MoveJournal::decode(written) == manifest,
                "a decoded journal reads back unchanged once written");
    } catch (const quillmere::Error&) {
        require(false, "a written journal can be read");
    }
    checkActionable(manifest);
    return 0;
}
