// Arbitrary command lines: the input split at NUL bytes into arguments. Parsing and validation
// either fail with an Error whose message names the problem or produce a configuration whose
// paths are what the run relies on. Validation only looks at the file system; it runs in a
// sandbox folder of its own (working folder and home), so relative paths and "~" meet nothing of
// the machine's.
#include "Arguments.h"
#include "Check.h"
#include "Error.h"
#include "fs/FileSystem.h"

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <variant>
#include <vector>

using namespace quillmere;
using quillmere::fuzz::require;

namespace {

// A working folder with two roots and an include, removed when the fuzzer exits.
class Sandbox {
  public:
    Sandbox() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "quillmere-fuzz-XXXXXX").string();
        require(::mkdtemp(pattern.data()) != nullptr, "the sandbox can be created");
        path_ = pattern;
        std::filesystem::create_directories(path_ + "/A/Photos");
        std::filesystem::create_directories(path_ + "/B/Photos");
        ::setenv("HOME", path_.c_str(), 1);
        require(::chdir(path_.c_str()) == 0, "the sandbox can be entered");
    }
    ~Sandbox() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    Sandbox(const Sandbox&) = delete;
    Sandbox& operator=(const Sandbox&) = delete;

  private:
    std::string path_;
};

std::vector<std::string> argumentsOf(std::string_view bytes) {
    std::vector<std::string> args;
    std::size_t start = 0;
    while (start <= bytes.size() && args.size() < 64) {
        const auto end = std::min(bytes.find('\0', start), bytes.size());
        args.emplace_back(bytes.substr(start, end - start));
        start = end + 1;
    }
    return args;
}

void checkScan(const cli::ScanRunConfig& config, const cli::CommandLine& commandLine) {
    require(config.scan.roots.size() == commandLine.roots.size(), "every root is kept");
    for (const auto& root : config.scan.roots) {
        require(root.starts_with('/'), "a root is absolute");
        require(FileSystem::standardize(root) == root, "a root is standardised");
        require(FileSystem::isDirectory(root), "a root is a folder");
    }
    require(config.scan.includes == commandLine.includes, "includes are kept as typed");
    require(config.reportPath.starts_with('/'), "the report path is absolute");
    require(config.csvPath == cli::Arguments::csvPathFor(config.reportPath) &&
                config.csvPath.ends_with(".csv"),
            "the CSV sits beside the report");
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    static const Sandbox sandbox;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto args = argumentsOf(std::string_view(reinterpret_cast<const char*>(data), size));
    cli::CommandLine commandLine;
    try {
        commandLine = cli::Arguments::parse(args);
    } catch (const Error& error) {
        require(*error.what() != '\0', "a refused command line says why");
        return 0;
    }
    if (commandLine.helpRequested)
        return 0;
    try {
        const cli::RunConfig config = cli::Arguments::validate(commandLine);
        if (const auto* undo = std::get_if<cli::UndoRunConfig>(&config))
            require(commandLine.undoManifest && undo->manifestPath.starts_with('/'),
                    "an undo names an absolute manifest path");
        else
            checkScan(std::get<cli::ScanRunConfig>(config), commandLine);
    } catch (const Error& error) {
        require(*error.what() != '\0', "a refused run says why");
    }
    return 0;
}
