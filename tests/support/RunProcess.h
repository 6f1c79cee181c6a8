// Runs a program as a child process with given arguments, environment, working folder and
// standard input: to its end (runProcess), or step by step (InteractiveProcess: wait until it has
// written a text, answer on its standard input, send it a signal, then collect the rest).
#pragma once

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <poll.h>
#include <stdexcept>
#include <string>
#include <string_view>
#include <sys/wait.h>
#include <termios.h>
#include <tuple>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace quillmere::testing {

/// Standard input: /dev/null, or a pseudo-terminal without echo, where "\x04" (Ctrl-D) at the start
/// of a line ends the input.
enum class InputKind { none, terminal };

struct ProcessOptions {
    /// Variables set on top of this process's environment.
    std::map<std::string, std::string> environment{};
    /// Working folder of the child; empty keeps this process's.
    std::string workingFolder{};
    InputKind inputKind = InputKind::none;
};

struct ProcessResult {
    int exitCode = -1; ///< -1 when the child was ended by a signal
    std::string out, err;
};

class InteractiveProcess {
  public:
    enum class Stream { out, err };

    /// Starts `program` (a path, or a name looked up on PATH) with `args`.
    InteractiveProcess(const std::string& program, const std::vector<std::string>& args,
                       const ProcessOptions& options) {
        std::vector<std::string> argv{program}, envp;
        argv.insert(argv.end(), args.begin(), args.end());
        for (char** entry = environ; *entry; ++entry) {
            const std::string text(*entry);
            if (!options.environment.contains(text.substr(0, text.find('='))))
                envp.push_back(text);
        }
        for (const auto& [name, value] : options.environment)
            envp.push_back(name + "=" + value);
        std::vector<char*> argvPointers = pointers(argv), envpPointers = pointers(envp);

        int outPipe[2], errPipe[2];
        if (::pipe2(outPipe, O_CLOEXEC) != 0 || ::pipe2(errPipe, O_CLOEXEC) != 0)
            fail("pipe");
        int childInput = -1;
        if (options.inputKind == InputKind::terminal)
            std::tie(input_, childInput) = openTerminal();
        else
            childInput = ::open("/dev/null", O_RDONLY | O_CLOEXEC);

        pid_ = ::fork();
        if (pid_ < 0)
            fail("fork");
        if (pid_ == 0) {
            // Only async-signal-safe calls between fork and exec.
            ::signal(SIGPIPE, SIG_DFL);
            ::dup2(childInput, STDIN_FILENO);
            ::dup2(outPipe[1], STDOUT_FILENO);
            ::dup2(errPipe[1], STDERR_FILENO);
            if (options.workingFolder.empty() || ::chdir(options.workingFolder.c_str()) == 0)
                ::execvpe(program.c_str(), argvPointers.data(), envpPointers.data());
            ::_exit(127);
        }
        for (const int fd : {childInput, outPipe[1], errPipe[1]})
            ::close(fd);
        std::tie(out_, err_) = std::tie(outPipe[0], errPipe[0]);
        // A child that stops reading must not kill the test with SIGPIPE.
        ::signal(SIGPIPE, SIG_IGN);
    }
    ~InteractiveProcess() {
        if (pid_ > 0 && !reaped_) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
        for (int* fd : {&input_, &out_, &err_})
            release(*fd);
    }
    InteractiveProcess(const InteractiveProcess&) = delete;
    InteractiveProcess& operator=(const InteractiveProcess&) = delete;

    /// Reads the stream until all read from it contains `text`, and the other stream meanwhile
    /// unless `readOther` is false (a child writing more to that one then blocks once its pipe is
    /// full). False when the stream ended first, or after a silent minute: a deadlock breaker.
    bool waitFor(Stream stream, std::string_view text, bool readOther = true) {
        while (seen(stream).find(text) == std::string::npos)
            if (!readSome(stream, 60'000, readOther))
                return false;
        return true;
    }
    bool waitForOnly(Stream stream, std::string_view text) { return waitFor(stream, text, false); }

    /// Everything read from the stream so far.
    const std::string& seen(Stream stream) const {
        return stream == Stream::out ? result_.out : result_.err;
    }

    /// Writes to the child's standard input (the terminal's keyboard side); what a child that has
    /// closed its input would not read is dropped.
    void send(std::string_view text) {
        while (!text.empty()) {
            const ssize_t written = ::write(input_, text.data(), text.size());
            if (written < 0 && errno == EPIPE)
                return;
            if (written < 0 && errno != EINTR)
                fail("write to the child");
            text.remove_prefix(static_cast<std::size_t>(std::max<ssize_t>(written, 0)));
        }
    }

    void signal(int number) const { ::kill(pid_, number); }
    /// Stops reading the stream, as a reader that goes away does.
    void close(Stream stream) { release(stream == Stream::out ? out_ : err_); }

    /// Reads both streams to their end and waits for the child. The terminal stays open until the
    /// child has ended: hanging it up may discard an unread answer.
    ProcessResult finish() {
        while (readSome(Stream::out, -1, true) || readSome(Stream::err, -1, true)) {
        }
        int status = 0;
        while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
        }
        reaped_ = true;
        result_.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        return result_;
    }

  private:
    [[noreturn]] static void fail(const std::string& what) {
        throw std::runtime_error(what + ": " + std::strerror(errno));
    }
    static void release(int& fd) {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
    }
    static std::vector<char*> pointers(std::vector<std::string>& texts) {
        std::vector<char*> result;
        for (auto& text : texts)
            result.push_back(text.data());
        result.push_back(nullptr);
        return result;
    }

    // A pseudo-terminal pair with echo off: {master, slave}.
    static std::pair<int, int> openTerminal() {
        const int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        char name[256];
        if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0 ||
            ::ptsname_r(master, name, sizeof name) != 0)
            fail("cannot open a pseudo-terminal");
        const int slave = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (slave < 0)
            fail("cannot open " + std::string(name));
        termios settings{};
        ::tcgetattr(slave, &settings);
        settings.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        ::tcsetattr(slave, TCSANOW, &settings);
        return {master, slave};
    }

    // Waits up to `timeoutMs` (-1: without limit) until `wanted` or, when `both`, the other
    // stream has data, and reads what is there. False when `wanted` has ended or the time passed.
    bool readSome(Stream wanted, int timeoutMs, bool both) {
        const Stream other = wanted == Stream::out ? Stream::err : Stream::out;
        while (fd(wanted) >= 0) {
            pollfd fds[2] = {{fd(wanted), POLLIN, 0}, {both ? fd(other) : -1, POLLIN, 0}};
            const int ready = ::poll(fds, 2, timeoutMs);
            if (ready < 0 && errno != EINTR)
                fail("poll");
            if (ready == 0)
                return false;
            if (ready > 0 && fds[1].revents)
                drain(other);
            if (ready > 0 && fds[0].revents)
                return drain(wanted);
        }
        return false;
    }

    // Reads once from the stream; false when it has ended.
    bool drain(Stream stream) {
        char buffer[65536];
        ssize_t count;
        while ((count = ::read(fd(stream), buffer, sizeof buffer)) < 0 && errno == EINTR) {
        }
        if (count > 0)
            (stream == Stream::out ? result_.out : result_.err).append(buffer, std::size_t(count));
        else
            close(stream);
        return count > 0;
    }

    int fd(Stream stream) const { return stream == Stream::out ? out_ : err_; }

    pid_t pid_ = -1;
    bool reaped_ = false;
    int input_ = -1, out_ = -1, err_ = -1;
    ProcessResult result_;
};

/// Runs `program` (a path, or a name looked up on PATH) with `args` and waits for it to end.
inline ProcessResult runProcess(const std::string& program, const std::vector<std::string>& args,
                                const ProcessOptions& options = {}) {
    return InteractiveProcess(program, args, options).finish();
}

} // namespace quillmere::testing
