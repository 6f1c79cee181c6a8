// The per-user Trash: one request per file, each answering with its own error. A small layer so
// that tests can put a fake in its place.
#pragma once

#include <optional>
#include <string>

namespace quillmere {

class Trash {
  public:
    virtual ~Trash() = default;

    /// Moves one file (or link, or folder) to the Trash. Nothing on success; otherwise the
    /// platform's description of the error, and the file is where it was. Never deletes, and is
    /// safe to call from several worker threads at once.
    virtual std::optional<std::string> moveToTrash(const std::string& path) const = 0;

    /// The desktop's Trash, as the freedesktop.org Trash rules lay it out.
    static const Trash& platform();
};

} // namespace quillmere
