// The built quillmere tool ($QUILLMERE_CLI) run in a working folder of its own, with its home,
// locale and time zone set, as this user or an unprivileged one; and a snapshot of a folder tree
// to show that a run changed exactly what it should.
#pragma once

#include "RunProcess.h"
#include "TempDir.h"

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>

namespace quillmere::testing {

struct ToolUnderTest {
    TempDir work, home;
    /// The working folder with links resolved, as the tool prints it.
    std::string base = std::filesystem::canonical(work.path()).string();

    std::string at(const std::string& relative) const { return base + "/" + relative; }

    ProcessResult run(const std::vector<std::string>& args, ProcessOptions options = {}) const {
        return runProcess(program(), args, prepared(std::move(options)));
    }
    /// Starts the tool to be driven step by step.
    std::unique_ptr<InteractiveProcess> start(const std::vector<std::string>& args,
                                              ProcessOptions options = {}) const {
        return std::make_unique<InteractiveProcess>(program(), args, prepared(std::move(options)));
    }

    /// Why permissions cannot be tested here, or nothing. Root reads and writes everything, so a
    /// test run as root (as CI is) runs the tool as the user nobody through setpriv.
    static std::optional<std::string> whyNoUnprivilegedRun() {
        if (::geteuid() == 0 && !std::filesystem::exists(setpriv))
            return std::string(setpriv) + " is needed to drop root privileges";
        return std::nullopt;
    }

    /// start as an unprivileged user: nobody when this process is root, else this user. The
    /// working folder is opened to everyone so that the tool can write its reports there.
    std::unique_ptr<InteractiveProcess> startUnprivileged(const std::vector<std::string>& args,
                                                          ProcessOptions options = {}) const {
        std::filesystem::permissions(work.path(), std::filesystem::perms::all);
        std::vector<std::string> command{program()};
        if (::geteuid() == 0)
            command = {setpriv, "--reuid=65534", "--regid=65534", "--clear-groups", program()};
        command.insert(command.end(), args.begin(), args.end());
        return std::make_unique<InteractiveProcess>(command.front(),
                                                    std::vector(command.begin() + 1, command.end()),
                                                    prepared(std::move(options)));
    }

  private:
    static constexpr const char* setpriv = "/usr/bin/setpriv";

    static std::string program() {
        const char* cli = std::getenv("QUILLMERE_CLI");
        if (!cli)
            throw std::runtime_error("QUILLMERE_CLI is not set");
        return cli;
    }

    ProcessOptions prepared(ProcessOptions options) const {
        options.environment.insert(
            {{"LC_ALL", "C.UTF-8"}, {"LANG", "C.UTF-8"}, {"TZ", "UTC"}, {"HOME", home.path()}});
        if (options.workingFolder.empty())
            options.workingFolder = work.path();
        return options;
    }
};

/// Relative path → contents of every file below `folder`; folders read "<folder>" and symbolic
/// links "-> " and their target.
inline std::map<std::string, std::string> snapshot(const std::string& folder) {
    std::map<std::string, std::string> entries;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
        const std::string relative = std::filesystem::relative(entry.path(), folder).string();
        if (entry.is_symlink())
            entries[relative] = "-> " + std::filesystem::read_symlink(entry.path()).string();
        else if (entry.is_directory())
            entries[relative] = "<folder>";
        else
            entries[relative] = readFile(entry.path().string());
    }
    return entries;
}

} // namespace quillmere::testing
