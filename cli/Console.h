// The tool's standard-error channel: a rewritable progress line, plain log lines and fatal errors.
// Each call is one unbuffered write, so lines written from worker threads are never torn.
#pragma once

#include <string_view>

namespace quillmere::cli {

class Console {
  public:
    /// When `quiet`, log and status write nothing; fail always writes.
    explicit Console(bool quiet) : quiet_(quiet) {}

    /// The text and a line feed.
    void log(std::string_view text) const;

    /// Carriage return and erase-to-end-of-line, then the text without a line feed.
    void status(std::string_view text) const;

    /// "error: ", the message, an empty line and the usage text; then exits with code 2.
    [[noreturn]] static void fail(std::string_view message);

  private:
    bool quiet_;
};

} // namespace quillmere::cli
