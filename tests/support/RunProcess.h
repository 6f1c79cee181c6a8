// Runs a program as a child process with given arguments, environment, working folder and
// standard input, and captures its standard output, standard error and exit status.
#pragma once

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <optional>
#include <poll.h>
#include <stdexcept>
#include <string>
#include <string_view>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace quillmere::testing {

enum class InputKind {
    /// Standard input reads from /dev/null.
    none,
    /// Standard input is a pipe that delivers `input` and then ends.
    pipe,
    /// Standard input is a terminal (a pseudo-terminal without echo) that delivers `input`;
    /// write "\x04" (Ctrl-D) at the start of a line to end the input.
    terminal,
};

struct ProcessOptions {
    /// Variables set (a value) or removed (nullopt) on top of this process's environment.
    std::map<std::string, std::optional<std::string>> environment;
    /// Working folder of the child; empty keeps this process's.
    std::string workingFolder;
    InputKind inputKind = InputKind::none;
    std::string input;
};

struct ProcessResult {
    /// The exit code, or -1 when the child was ended by a signal.
    int exitCode = -1;
    /// The signal that ended the child, or 0.
    int signal = 0;
    std::string out;
    std::string err;
};

namespace detail {

inline void throwSystemError(const std::string& what) {
    throw std::runtime_error(what + ": " + std::strerror(errno));
}

inline std::vector<std::string> childEnvironment(const ProcessOptions& options) {
    std::map<std::string, std::string> variables;
    for (char** entry = environ; *entry; ++entry) {
        const std::string_view text(*entry);
        const auto equals = text.find('=');
        if (equals != std::string_view::npos)
            variables[std::string(text.substr(0, equals))] = std::string(text.substr(equals + 1));
    }
    for (const auto& [name, value] : options.environment) {
        if (value)
            variables[name] = *value;
        else
            variables.erase(name);
    }
    std::vector<std::string> result;
    for (const auto& [name, value] : variables)
        result.push_back(name + "=" + value);
    return result;
}

inline std::vector<char*> pointers(std::vector<std::string>& texts) {
    std::vector<char*> result;
    for (auto& text : texts)
        result.push_back(text.data());
    result.push_back(nullptr);
    return result;
}

// Opens a pseudo-terminal pair with echo off; returns {master, slave}.
inline std::pair<int, int> openTerminal() {
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0)
        throwSystemError("cannot open a pseudo-terminal");
    char name[256];
    if (::ptsname_r(master, name, sizeof name) != 0)
        throwSystemError("ptsname_r");
    const int slave = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (slave < 0)
        throwSystemError("cannot open " + std::string(name));
    termios settings{};
    ::tcgetattr(slave, &settings);
    settings.c_lflag &= ~static_cast<tcflag_t>(ECHO);
    ::tcsetattr(slave, TCSANOW, &settings);
    return {master, slave};
}

} // namespace detail

/// Runs `program` (a path, or a name looked up on PATH) with `args` and waits for it to end.
inline ProcessResult runProcess(const std::string& program, const std::vector<std::string>& args,
                                const ProcessOptions& options = {}) {
    std::vector<std::string> argv{program};
    argv.insert(argv.end(), args.begin(), args.end());
    std::vector<std::string> envp = detail::childEnvironment(options);
    std::vector<char*> argvPointers = detail::pointers(argv);
    std::vector<char*> envpPointers = detail::pointers(envp);

    int outPipe[2], errPipe[2], inPipe[2] = {-1, -1};
    if (::pipe2(outPipe, O_CLOEXEC) != 0 || ::pipe2(errPipe, O_CLOEXEC) != 0)
        detail::throwSystemError("pipe");
    int childInput = -1;
    int inputWriter = -1;
    switch (options.inputKind) {
    case InputKind::none:
        childInput = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
        break;
    case InputKind::pipe:
        if (::pipe2(inPipe, O_CLOEXEC) != 0)
            detail::throwSystemError("pipe");
        childInput = inPipe[0];
        inputWriter = inPipe[1];
        break;
    case InputKind::terminal: {
        const auto [master, slave] = detail::openTerminal();
        childInput = slave;
        inputWriter = master;
        break;
    }
    }

    const pid_t pid = ::fork();
    if (pid < 0)
        detail::throwSystemError("fork");
    if (pid == 0) {
        // Only async-signal-safe calls between fork and exec.
        ::signal(SIGPIPE, SIG_DFL);
        ::dup2(childInput, STDIN_FILENO);
        ::dup2(outPipe[1], STDOUT_FILENO);
        ::dup2(errPipe[1], STDERR_FILENO);
        if (!options.workingFolder.empty() && ::chdir(options.workingFolder.c_str()) != 0)
            ::_exit(127);
        if (program.find('/') == std::string::npos)
            ::execvpe(program.c_str(), argvPointers.data(), envpPointers.data());
        else
            ::execve(program.c_str(), argvPointers.data(), envpPointers.data());
        ::_exit(127);
    }

    ::close(childInput);
    ::close(outPipe[1]);
    ::close(errPipe[1]);
    // A child that stops reading must not kill the test with SIGPIPE.
    ::signal(SIGPIPE, SIG_IGN);

    // Never block on input while the child may be blocked on output we have not read yet.
    if (inputWriter >= 0)
        ::fcntl(inputWriter, F_SETFL, ::fcntl(inputWriter, F_GETFL) | O_NONBLOCK);

    ProcessResult result;
    std::string_view pending = options.input;
    const bool keepInputOpen = options.inputKind == InputKind::terminal;
    if (inputWriter >= 0 && pending.empty() && !keepInputOpen) {
        ::close(inputWriter);
        inputWriter = -1;
    }
    bool outOpen = true, errOpen = true;
    while (outOpen || errOpen) {
        pollfd fds[3] = {{outOpen ? outPipe[0] : -1, POLLIN, 0},
                         {errOpen ? errPipe[0] : -1, POLLIN, 0},
                         {pending.empty() ? -1 : inputWriter, POLLOUT, 0}};
        if (::poll(fds, 3, -1) < 0) {
            if (errno == EINTR)
                continue;
            detail::throwSystemError("poll");
        }
        char buffer[65536];
        for (int i = 0; i < 2; ++i) {
            if (!(fds[i].revents & (POLLIN | POLLHUP | POLLERR)))
                continue;
            const ssize_t count = ::read(fds[i].fd, buffer, sizeof buffer);
            if (count > 0)
                (i == 0 ? result.out : result.err).append(buffer, static_cast<std::size_t>(count));
            else if (count == 0 || errno != EINTR)
                (i == 0 ? outOpen : errOpen) = false;
        }
        if (fds[2].fd >= 0 && (fds[2].revents & (POLLOUT | POLLERR | POLLHUP))) {
            const ssize_t written = ::write(inputWriter, pending.data(), pending.size());
            if (written > 0)
                pending.remove_prefix(static_cast<std::size_t>(written));
            else if (errno != EINTR && errno != EAGAIN)
                pending = {};
            if (pending.empty() && !keepInputOpen) {
                ::close(inputWriter);
                inputWriter = -1;
            }
        }
    }
    ::close(outPipe[0]);
    ::close(errPipe[0]);

    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (inputWriter >= 0)
        ::close(inputWriter);
    if (WIFEXITED(status))
        result.exitCode = WEXITSTATUS(status);
    else if (WIFSIGNALED(status))
        result.signal = WTERMSIG(status);
    return result;
}

} // namespace quillmere::testing
