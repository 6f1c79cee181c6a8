// Atomic whole-file writes and the reasons of failures, on real folders.
#include "fs/FileSystem.h"

#include "Error.h"
#include "TempDir.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace fs = quillmere::FileSystem;
using quillmere::testing::TempDir;

namespace {

std::size_t entriesIn(const std::string& folder) {
    return std::size_t(std::distance(std::filesystem::directory_iterator(folder), {}));
}

TEST(FileSystemTest, WriteAtomicallyReplacesWholeFilesOrFailsSayingWhyAndLeavesNothingBehind) {
    TempDir dir;
    const std::string target = dir.path("report.txt");
    const mode_t oldMask = ::umask(022);
    fs::writeAtomically(target, "first");
    ::umask(oldMask);
    struct stat info {};
    ASSERT_EQ(::stat(target.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0644u);
    fs::writeAtomically(target, std::string(300000, 'z'));
    EXPECT_EQ(fs::readAll(target), std::string(300000, 'z'));
    fs::writeAtomically(dir.path(std::string(255, 'r')), "a name at the length limit");
    EXPECT_EQ(entriesIn(dir.path()), 2u) << "no temporary file may be left behind";
    EXPECT_EQ(fs::parent("/b.jpg"), "/");

    // Failures name the path and the reason, and leave nothing behind.
    dir.write("folder/keep.jpg", "precious");
    const auto errorOf = [](auto action) {
        try {
            action();
        } catch (const quillmere::Error& error) {
            return std::string(error.what());
        }
        return std::string("no error");
    };
    const auto in = [&](const char* name) { return dir.path(name); };
    EXPECT_EQ(errorOf([&] { fs::writeAtomically(in("folder"), "x"); }),
              in("folder") + ": Is a directory");
    EXPECT_EQ(errorOf([&] { fs::writeAtomically(in("no/r.txt"), "x"); }),
              in("no/r.txt") + ": No such file or directory");
    EXPECT_EQ(errorOf([&] { fs::createDirectories(dir.path("report.txt/sub")); }),
              dir.path("report.txt/sub") + ": Not a directory");
    EXPECT_EQ(entriesIn(dir.path()), 3u);
    EXPECT_EQ(quillmere::testing::readFile(in("folder/keep.jpg")), "precious");
}

} // namespace
