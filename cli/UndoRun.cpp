#include "UndoRun.h"

#include "Error.h"

namespace quillmere::cli {

int runUndo(const std::string&, const Console&) {
    throw Error("--undo is not available yet");
}

} // namespace quillmere::cli
