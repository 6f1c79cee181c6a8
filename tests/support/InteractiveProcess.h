// A child process driven step by step: wait until it has written a text, answer on its standard
// input, send it a signal, then collect the rest and its exit status. Standard input is a pipe or
// a pseudo-terminal; standard output and standard error are pipes.
#pragma once

#include "RunProcess.h"

#include <algorithm>
#include <chrono>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

namespace quillmere::testing {

class InteractiveProcess {
  public:
    enum class Stream { out, err };

    /// Starts `program` (a path) with `args`. `options.input` is not used: answers are sent with
    /// send(). An input kind of none reads from /dev/null.
    InteractiveProcess(const std::string& program, const std::vector<std::string>& args,
                       const ProcessOptions& options) {
        std::vector<std::string> argv{program};
        argv.insert(argv.end(), args.begin(), args.end());
        std::vector<std::string> envp = detail::childEnvironment(options);
        std::vector<char*> argvPointers = detail::pointers(argv);
        std::vector<char*> envpPointers = detail::pointers(envp);

        int outPipe[2], errPipe[2];
        if (::pipe2(outPipe, O_CLOEXEC) != 0 || ::pipe2(errPipe, O_CLOEXEC) != 0)
            detail::throwSystemError("pipe");
        int childInput = -1;
        switch (options.inputKind) {
        case InputKind::none:
            childInput = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
            break;
        case InputKind::pipe: {
            int inPipe[2];
            if (::pipe2(inPipe, O_CLOEXEC) != 0)
                detail::throwSystemError("pipe");
            childInput = inPipe[0];
            input_ = inPipe[1];
            break;
        }
        case InputKind::terminal:
            std::tie(input_, childInput) = detail::openTerminal();
            inputIsTerminal_ = true;
            break;
        }

        pid_ = ::fork();
        if (pid_ < 0)
            detail::throwSystemError("fork");
        if (pid_ == 0) {
            // Only async-signal-safe calls between fork and exec.
            ::signal(SIGPIPE, SIG_DFL);
            ::dup2(childInput, STDIN_FILENO);
            ::dup2(outPipe[1], STDOUT_FILENO);
            ::dup2(errPipe[1], STDERR_FILENO);
            if (!options.workingFolder.empty() && ::chdir(options.workingFolder.c_str()) != 0)
                ::_exit(127);
            ::execve(program.c_str(), argvPointers.data(), envpPointers.data());
            ::_exit(127);
        }
        ::close(childInput);
        ::close(outPipe[1]);
        ::close(errPipe[1]);
        out_ = outPipe[0];
        err_ = errPipe[0];
        ::signal(SIGPIPE, SIG_IGN);
    }

    ~InteractiveProcess() {
        if (pid_ > 0 && !reaped_) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
        for (const int fd : {input_, out_, err_})
            if (fd >= 0)
                ::close(fd);
    }
    InteractiveProcess(const InteractiveProcess&) = delete;
    InteractiveProcess& operator=(const InteractiveProcess&) = delete;

    /// Reads the stream until everything written to it so far contains `text`; the other stream
    /// is read meanwhile so that the child never blocks on it. False when the stream ended first,
    /// or when nothing came for a minute: that only breaks a deadlock (a child waiting for input
    /// it was never asked for), it measures no speed.
    bool waitFor(Stream stream, std::string_view text) {
        const std::string& seen = stream == Stream::out ? result_.out : result_.err;
        while (seen.find(text) == std::string::npos) {
            if (!readSome(stream, std::chrono::minutes(1)))
                return false;
        }
        return true;
    }

    /// Reads only `stream` until `text` has appeared on it, leaving the other stream unread, so
    /// that a child writing more to that one blocks once its pipe is full. False as for waitFor.
    bool waitForOnly(Stream stream, std::string_view text) {
        const std::string& seen = stream == Stream::out ? result_.out : result_.err;
        while (seen.find(text) == std::string::npos) {
            if (!readSome(stream, std::chrono::minutes(1), false))
                return false;
        }
        return true;
    }

    /// Everything read from the stream so far.
    const std::string& seen(Stream stream) const {
        return stream == Stream::out ? result_.out : result_.err;
    }

    /// Writes to the child's standard input (the terminal's keyboard side).
    void send(std::string_view text) {
        while (!text.empty()) {
            const ssize_t written = ::write(input_, text.data(), text.size());
            if (written < 0 && errno != EINTR)
                detail::throwSystemError("write to the child");
            if (written > 0)
                text.remove_prefix(static_cast<std::size_t>(written));
        }
    }

    void signal(int number) const { ::kill(pid_, number); }

    /// Stops reading the stream, as a reader that goes away does: the child's next write to it
    /// fails with SIGPIPE or EPIPE.
    void close(Stream stream) {
        int& fd = stream == Stream::out ? out_ : err_;
        if (fd >= 0)
            ::close(fd);
        fd = -1;
    }

    /// Ends piped input, reads both streams to their end and waits for the child. A terminal
    /// stays open until the child has ended: closing it hangs the terminal up, which may discard
    /// an answer the child has not read yet.
    ProcessResult finish() {
        if (input_ >= 0 && !inputIsTerminal_) {
            ::close(input_);
            input_ = -1;
        }
        while (readSome(Stream::out, std::chrono::minutes(-1)) ||
               readSome(Stream::err, std::chrono::minutes(-1))) {
        }
        int status = 0;
        while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
        }
        reaped_ = true;
        if (WIFEXITED(status))
            result_.exitCode = WEXITSTATUS(status);
        else if (WIFSIGNALED(status))
            result_.signal = WTERMSIG(status);
        return result_;
    }

  private:
    // Waits (a negative limit: without limit) until `wanted` or, when `both`, the other stream
    // has data, and reads what is there. False when `wanted` has ended or the limit passed.
    bool readSome(Stream wanted, std::chrono::milliseconds limit, bool both = true) {
        const int& wantedFd = wanted == Stream::out ? out_ : err_;
        const int& otherFd = wanted == Stream::out ? err_ : out_;
        const auto deadline = std::chrono::steady_clock::now() + limit;
        for (;;) {
            if (wantedFd < 0)
                return false;
            pollfd fds[2] = {{wantedFd, POLLIN, 0}, {both ? otherFd : -1, POLLIN, 0}};
            int timeout = -1;
            if (limit.count() >= 0)
                timeout = int(
                    std::max<std::int64_t>(0, std::chrono::duration_cast<std::chrono::milliseconds>(
                                                  deadline - std::chrono::steady_clock::now())
                                                  .count()));
            const int ready = ::poll(fds, 2, timeout);
            if (ready < 0 && errno == EINTR)
                continue;
            if (ready < 0)
                detail::throwSystemError("poll");
            if (ready == 0)
                return false;
            if (fds[1].revents)
                drain(wanted == Stream::out ? Stream::err : Stream::out);
            if (fds[0].revents)
                return drain(wanted);
        }
    }

    // Reads once from the stream; false when it has ended.
    bool drain(Stream stream) {
        int& fd = stream == Stream::out ? out_ : err_;
        char buffer[65536];
        ssize_t count;
        do
            count = ::read(fd, buffer, sizeof buffer);
        while (count < 0 && errno == EINTR);
        if (count <= 0) {
            ::close(fd);
            fd = -1;
            return false;
        }
        (stream == Stream::out ? result_.out : result_.err)
            .append(buffer, static_cast<std::size_t>(count));
        return true;
    }

    pid_t pid_ = -1;
    bool reaped_ = false;
    int input_ = -1;
    bool inputIsTerminal_ = false;
    int out_ = -1;
    int err_ = -1;
    ProcessResult result_;
};

} // namespace quillmere::testing
