// An open folder, and the folders beneath it reached without ever following a symbolic link. The
// mover and the undo work through these handles, so that a link planted in a review folder, or a
// folder swapped for a link on the way to an original path, cannot lead a rename elsewhere.
#pragma once

#include <string>
#include <string_view>

namespace quillmere {

class Folder {
  public:
    enum class Missing { fail, create };

    /// Opens the folder at an absolute path; links in the path itself are followed. Throws Error.
    static Folder open(const std::string& path);

    /// The folder at `relative` (components without "." or ".."; empty for this one) beneath this
    /// one, reached without following a link and, with Missing::create, made with its missing
    /// parents. Throws Error whose message names a link found on the way.
    Folder beneath(std::string_view relative, Missing missing) const;

    /// Something (a broken link included) is at `name` directly in this folder.
    bool holds(const std::string& name) const;

    /// Makes the folder's entries (a rename, a new or removed file) durable.
    void sync() const;

    int fd() const { return fd_; }
    const std::string& path() const { return path_; }

    Folder(Folder&& other) noexcept;
    Folder& operator=(Folder&& other) noexcept;
    Folder(const Folder&) = delete;
    Folder& operator=(const Folder&) = delete;
    ~Folder();

  private:
    Folder(int fd, std::string path) : fd_(fd), path_(std::move(path)) {}

    int fd_ = -1;
    std::string path_;
};

} // namespace quillmere
