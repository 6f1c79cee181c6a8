#include "Arguments.h"

#include "Error.h"
#include "fs/FileSystem.h"

#include <string_view>

namespace quillmere::cli::Arguments {

namespace {

// The value of an option that takes one: the very next argument, whatever it looks like.
const std::string& valueAfter(const std::vector<std::string>& args, std::size_t& index,
                              std::string_view missingMessage) {
    ++index;
    if (index >= args.size())
        throw Error(std::string(missingMessage));
    return args[index];
}

} // namespace

CommandLine parse(const std::vector<std::string>& args) {
    CommandLine commandLine;
    for (std::size_t index = 0; index < args.size(); ++index) {
        const std::string& argument = args[index];
        if (argument == "-h" || argument == "--help") {
            commandLine.helpRequested = true;
            return commandLine;
        }
        if (argument == "--move")
            commandLine.shouldMove = true;
        else if (argument == "--yes")
            commandLine.assumeYes = true;
        else if (argument == "--quiet")
            commandLine.quiet = true;
        else if (argument == "--similar")
            commandLine.similar = true;
        else if (argument == "--undo")
            commandLine.undoManifest = valueAfter(args, index, "--undo needs a manifest path");
        else if (argument == "--include")
            commandLine.includes.push_back(
                valueAfter(args, index, "--include needs a subdirectory name"));
        else if (argument == "--out")
            commandLine.outPath = valueAfter(args, index, "--out needs a path");
        else if (argument.starts_with('-'))
            throw Error("unknown option " + argument);
        else
            commandLine.roots.push_back(argument);
    }
    return commandLine;
}

RunConfig validate(const CommandLine& commandLine) {
    // Photos that are alike are not the same: setting one aside is for a person looking at both.
    if (commandLine.similar && (commandLine.shouldMove || commandLine.undoManifest))
        throw Error("--similar only reports: it cannot be used with --move or --undo");
    if (commandLine.undoManifest)
        return UndoRunConfig{FileSystem::resolve(*commandLine.undoManifest), commandLine.quiet};

    if (commandLine.roots.empty())
        throw Error("no folder given");

    ScanRunConfig config;
    for (const auto& root : commandLine.roots)
        config.scan.roots.push_back(FileSystem::standardize(FileSystem::resolve(root)));
    for (const auto& root : config.scan.roots)
        if (!FileSystem::isDirectory(root))
            throw Error("not a folder: " + root);
    for (const auto& root : config.scan.roots) {
        for (const auto& include : commandLine.includes) {
            const std::string path = FileSystem::join(root, include);
            if (!FileSystem::exists(path))
                throw Error("--include path does not exist: " + path);
        }
    }
    config.scan.includes = commandLine.includes;
    config.reportPath = FileSystem::resolve(commandLine.outPath);
    config.csvPath = csvPathFor(config.reportPath);
    config.shouldMove = commandLine.shouldMove;
    config.assumeYes = commandLine.assumeYes;
    config.quiet = commandLine.quiet;
    config.similar = commandLine.similar;
    return config;
}

std::string csvPathFor(const std::string& reportPath) {
    const std::string_view extension = FileSystem::extension(reportPath);
    std::string base = reportPath;
    if (!extension.empty() && base.ends_with(extension))
        base.resize(base.size() - extension.size() - 1);
    return base + ".csv";
}

} // namespace quillmere::cli::Arguments
