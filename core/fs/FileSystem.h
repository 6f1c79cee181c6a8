// File-system operations shared by the tool, the mover and the app: path resolution, existence
// tests and atomic whole-file writes. Failures of whole operations throw quillmere::Error.
#pragma once

#include <string>
#include <string_view>

namespace quillmere::FileSystem {

/// Expands a leading "~" or "~user" as a shell would and makes a relative path absolute against
/// the working folder. Nothing else is changed.
std::string resolve(std::string_view path);

/// Removes "." and ".." components and repeated slashes, lexically; links are not resolved.
std::string standardize(std::string_view absolutePath);

/// Resolves every symbolic link and standardises; for a path that does not exist, the longest
/// existing prefix is resolved and the rest appended.
std::string resolveLinks(std::string_view absolutePath);

/// Something (of any type, a broken link included) is at the path.
bool existsNoFollow(const std::string& path);
/// Something is at the path, following links.
bool exists(const std::string& path);
bool isDirectory(const std::string& path);

/// The last component of a path.
std::string_view lastComponent(std::string_view path);
/// The folder part of a path ("/" for a file directly in the root).
std::string parent(std::string_view path);
/// The text after the last "." of the last component, or empty.
std::string_view extension(std::string_view path);
/// `folder` + "/" + `relative`, without doubling a slash that already ends `folder`.
std::string join(std::string_view folder, std::string_view relative);

/// Creates the folder and every missing parent. Throws Error with the system's reason.
void createDirectories(const std::string& path);

/// Writes `contents` to a temporary file in the target's folder, flushes it to disk and renames
/// it over `path`. Throws Error with the system's reason; the target is then unchanged.
void writeAtomically(const std::string& path, std::string_view contents);

/// Creates the file at `path` in the folder open as `folderFd` (never through a link, never
/// replacing anything), writes `contents` and flushes them to disk. Throws Error with the system's
/// reason; the file is then removed.
void writeNewFile(int folderFd, const std::string& path, std::string_view contents);

/// Reads a whole file. Throws Error with the system's reason.
std::string readAll(const std::string& path);

/// strerror text of an errno value, in the "C" locale's wording.
std::string describeErrno(int error);

} // namespace quillmere::FileSystem
