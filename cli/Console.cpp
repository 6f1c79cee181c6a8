#include "Console.h"

#include "Usage.h"

#include <cerrno>
#include <cstdlib>
#include <string>
#include <unistd.h>

namespace quillmere::cli {

namespace {

// One write(2) for the whole text; only an interruption or a short write makes a second one.
void writeToStandardError(std::string_view text) {
    while (!text.empty()) {
        const ssize_t written = ::write(STDERR_FILENO, text.data(), text.size());
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return;
        }
        text.remove_prefix(static_cast<std::size_t>(written));
    }
}

} // namespace

void Console::log(std::string_view text) const {
    if (quiet_)
        return;
    std::string line(text);
    line += '\n';
    writeToStandardError(line);
}

void Console::status(std::string_view text) const {
    if (quiet_)
        return;
    std::string line = "\r\x1b[K";
    line += text;
    writeToStandardError(line);
}

void Console::fail(std::string_view message) {
    std::string text = "error: ";
    text += message;
    text += "\n\n";
    text += usageText;
    text += '\n';
    writeToStandardError(text);
    std::exit(2);
}

} // namespace quillmere::cli
