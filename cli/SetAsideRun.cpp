#include "SetAsideRun.h"

#include "Error.h"

namespace quillmere::cli {

int runSetAside(const ScanResult&, const ScanRunConfig&, const Console&) {
    throw Error("--move is not available yet");
}

} // namespace quillmere::cli
