// Arbitrary bytes as a manifest file. Decoding either fails with an Error or yields a manifest
// that encodes and decodes back to itself; and every record the undo would act on names, as the
// system calls see it, a place inside the review folder of the manifest's root.
#include "Actionable.h"
#include "Check.h"
#include "Error.h"
#include "move/MoveManifest.h"
#include "move/Mover.h"

#include <cstdint>
#include <string>
#include <string_view>

using quillmere::fuzz::checkActionable;
using quillmere::fuzz::require;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view json(reinterpret_cast<const char*>(data), size);
    quillmere::MoveManifest manifest;
    try {
        manifest = quillmere::MoveManifest::decode(json);
    } catch (const quillmere::Error& error) {
        require(*error.what() != '\0', "a refused manifest says why");
        return 0;
    }
    std::string encoded;
    try {
        encoded = manifest.encode();
    } catch (const quillmere::Error&) {
        require(false, "a decoded manifest can be written again");
    }
    try {
        require(quillmere::MoveManifest::decode(encoded) == manifest,
                "a decoded manifest reads back unchanged once written");
    } catch (const quillmere::Error&) {
        require(false, "a written manifest can be read");
    }
    checkActionable(manifest);
    return 0;
}
