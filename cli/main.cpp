// quillmere: parse the command line, validate it, run one job, and decide the exit code here.
#include "Arguments.h"
#include "Console.h"
#include "Error.h"
#include "ScanRun.h"
#include "SetAsideRun.h"
#include "SimilarRun.h"
#include "UndoRun.h"
#include "Usage.h"
#include "scan/ScanResult.h"

#include <csignal>
#include <iostream>
#include <string>
#include <vector>

using namespace quillmere;
using namespace quillmere::cli;

namespace {

int run(const std::vector<std::string>& args) {
    const CommandLine commandLine = Arguments::parse(args);
    if (commandLine.helpRequested) {
        std::cout << usageText << '\n' << std::flush;
        return 0;
    }
    const RunConfig config = Arguments::validate(commandLine);
    const Console console(commandLine.quiet);
    if (const auto* undo = std::get_if<UndoRunConfig>(&config))
        return runUndo(undo->manifestPath, console);

    const auto& scan = std::get<ScanRunConfig>(config);
    if (scan.similar) {
        SimilarRun(scan, console).run();
        return 0;
    }
    const ScanResult result = ScanRun(scan, console).run();
    return scan.shouldMove ? runSetAside(result, scan, console) : 0;
}

} // namespace

int main(int argc, char** argv) {
    // A reader that goes away (`quillmere … | head`) must not kill the run between two writes of
    // the report or two moves: writes to a closed pipe just fail.
    std::signal(SIGPIPE, SIG_IGN);
    try {
        return run(std::vector<std::string>(argv + 1, argv + argc));
    } catch (const Error& error) {
        Console::fail(error.what());
    }
}
