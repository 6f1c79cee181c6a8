// Arbitrary bytes as a manifest file. Decoding either fails with an Error or yields a manifest
// that encodes and decodes back to itself; and every record the undo would act on names, as the
// system calls see it, a place inside the review folder of the manifest's root.
#include "Check.h"
#include "Error.h"
#include "fs/FileSystem.h"
#include "move/MoveManifest.h"
#include "move/Mover.h"
#include "scan/SkipRules.h"

#include <cstdint>
#include <string>
#include <string_view>

using quillmere::fuzz::require;

namespace {

// The path a system call receives for `path`: its text up to the first NUL.
std::string_view asSeenBySystem(const std::string& path) {
    return path.c_str();
}

void checkActionable(const quillmere::MoveRecord& record, const std::string& root) {
    const std::string folder =
        quillmere::FileSystem::join(root, quillmere::SkipRules::reviewDirectoryName) + "/";
    const std::string_view to = asSeenBySystem(record.to);
    require(to.starts_with(asSeenBySystem(folder)) && to.size() > asSeenBySystem(folder).size(),
            "an accepted record's destination lies inside the review folder");
    require(asSeenBySystem(record.from).starts_with('/') &&
                asSeenBySystem(record.from).size() == record.from.size(),
            "an accepted record's original path is one absolute path");
}

} // namespace

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
    for (const auto& record : manifest.records)
        if (!quillmere::Mover::recordRefusal(record, manifest.root))
            checkActionable(record, manifest.root);
    return 0;
}
