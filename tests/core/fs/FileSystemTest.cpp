#include "fs/FileSystem.h"

#include "Error.h"
#include "TempDir.h"

#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <optional>
#include <pwd.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = quillmere::FileSystem;
using quillmere::testing::readFile;
using quillmere::testing::TempDir;

namespace {

// Sets an environment variable for one scope and puts the old value back.
class ScopedEnv {
  public:
    /// Sets the variable, or removes it when `value` is nullopt.
    ScopedEnv(const char* name, const std::optional<std::string>& value) : name_(name) {
        if (const char* old = std::getenv(name))
            old_ = old;
        if (value)
            ::setenv(name, value->c_str(), 1);
        else
            ::unsetenv(name);
    }
    ~ScopedEnv() {
        if (old_)
            ::setenv(name_, old_->c_str(), 1);
        else
            ::unsetenv(name_);
    }

  private:
    const char* name_;
    std::optional<std::string> old_;
};

// Changes the working folder for one scope.
class ScopedWorkingFolder {
  public:
    explicit ScopedWorkingFolder(const std::string& folder)
        : old_(std::filesystem::current_path()) {
        std::filesystem::current_path(folder);
    }
    ~ScopedWorkingFolder() { std::filesystem::current_path(old_); }

  private:
    std::filesystem::path old_;
};

std::string realPath(const std::string& path) {
    return std::filesystem::canonical(path).string();
}

std::size_t entriesIn(const std::string& folder) {
    return static_cast<std::size_t>(std::distance(std::filesystem::directory_iterator(folder),
                                                  std::filesystem::directory_iterator()));
}

} // namespace

TEST(FileSystemTest, ResolveExpandsTildeFromHome) {
    ScopedEnv home("HOME", "/home/someone");
    EXPECT_EQ(fs::resolve("~"), "/home/someone");
    EXPECT_EQ(fs::resolve("~/"), "/home/someone/");
    EXPECT_EQ(fs::resolve("~/Pictures/2024"), "/home/someone/Pictures/2024");
}

TEST(FileSystemTest, ResolveDoesNotDoubleTheSlashAfterAHomeEndingInOne) {
    ScopedEnv home("HOME", "/home/someone/");
    EXPECT_EQ(fs::resolve("~/x"), "/home/someone/x");
    ScopedEnv rootHome("HOME", "/");
    EXPECT_EQ(fs::resolve("~/x"), "/x");
}

TEST(FileSystemTest, ResolveTakesTheHomeFromThePasswordDatabaseWithoutHome) {
    const passwd* self = getpwuid(getuid());
    ASSERT_NE(self, nullptr);
    const std::string home = self->pw_dir;
    ScopedEnv unset("HOME", std::nullopt);
    EXPECT_EQ(fs::resolve("~/x"), fs::join(home, "x"));
}

TEST(FileSystemTest, ResolveExpandsTildeUserFromThePasswordDatabase) {
    const passwd* root = getpwnam("root");
    ASSERT_NE(root, nullptr);
    const std::string home = root->pw_dir;
    EXPECT_EQ(fs::resolve("~root"), home);
    EXPECT_EQ(fs::resolve("~root/a b/c.jpg"), fs::join(home, "a b/c.jpg"));
}

TEST(FileSystemTest, ResolveLeavesAnUnknownUserAsARelativeName) {
    TempDir dir;
    ScopedWorkingFolder cwd(dir.path());
    const std::string here = realPath(dir.path());
    EXPECT_EQ(fs::resolve("~no-such-user-quillmere/x"), here + "/~no-such-user-quillmere/x");
}

TEST(FileSystemTest, ResolveMakesRelativePathsAbsoluteAgainstTheWorkingFolder) {
    TempDir dir;
    ScopedWorkingFolder cwd(dir.path());
    const std::string here = realPath(dir.path());
    EXPECT_EQ(fs::resolve("photos"), here + "/photos");
    EXPECT_EQ(fs::resolve("./photos/../photos"), here + "/./photos/../photos");
    EXPECT_EQ(fs::resolve("-x"), here + "/-x");
    EXPECT_EQ(fs::resolve(""), here);
    EXPECT_EQ(fs::resolve("/already/absolute/../x"), "/already/absolute/../x");
    EXPECT_EQ(fs::resolve("a~b"), here + "/a~b");
}

TEST(FileSystemTest, StandardizeRemovesDotComponentsLexically) {
    EXPECT_EQ(fs::standardize("/a/./b/../c"), "/a/c");
    EXPECT_EQ(fs::standardize("/photos/../photos"), "/photos");
    EXPECT_EQ(fs::standardize("//a///b//"), "/a/b");
    EXPECT_EQ(fs::standardize("/.."), "/");
    EXPECT_EQ(fs::standardize("/a/../../b"), "/b");
    EXPECT_EQ(fs::standardize("/"), "/");
    EXPECT_EQ(fs::standardize("/a/.hidden/..x"), "/a/.hidden/..x");
}

TEST(FileSystemTest, StandardizeDoesNotFollowLinks) {
    TempDir dir;
    dir.mkdir("real/inner");
    std::filesystem::create_directory_symlink(dir.path("real/inner"), dir.path("link"));
    // Through the link, ".." would land in real/; lexically it is the temp folder.
    EXPECT_EQ(fs::standardize(dir.path("link/..")), fs::standardize(dir.path()));
}

TEST(FileSystemTest, ResolveLinksFollowsLinksAndKeepsTheMissingRest) {
    TempDir dir;
    const std::string base = realPath(dir.path());
    dir.mkdir("real/inner");
    std::filesystem::create_directory_symlink(base + "/real", dir.path("link"));
    EXPECT_EQ(fs::resolveLinks(base + "/link/inner"), base + "/real/inner");
    EXPECT_EQ(fs::resolveLinks(base + "/link/missing/x.jpg"), base + "/real/missing/x.jpg");
    EXPECT_EQ(fs::resolveLinks(base + "/link/./inner/../inner"), base + "/real/inner");
    // ".." after a link climbs from where the link points, as the kernel does.
    EXPECT_EQ(fs::resolveLinks(base + "/link/inner/../.."), base);
    EXPECT_EQ(fs::resolveLinks(base + "/missing/../real"), base + "/real");
}

TEST(FileSystemTest, ResolveLinksKeepsDanglingAndLoopingLinksAsTheyAre) {
    TempDir dir;
    const std::string base = realPath(dir.path());
    std::filesystem::create_symlink(base + "/nowhere", dir.path("dangling"));
    std::filesystem::create_symlink(base + "/loop", dir.path("loop"));
    EXPECT_EQ(fs::resolveLinks(base + "/dangling/x"), base + "/dangling/x");
    EXPECT_EQ(fs::resolveLinks(base + "/loop"), base + "/loop");
}

TEST(FileSystemTest, ExistenceTestsTellLinksFilesAndFolders) {
    TempDir dir;
    const std::string file = dir.write("a.jpg", "x");
    std::filesystem::create_symlink(dir.path("gone"), dir.path("dangling"));
    std::filesystem::create_symlink(dir.path(), dir.path("folderLink"));

    EXPECT_TRUE(fs::exists(file));
    EXPECT_FALSE(fs::isDirectory(file));
    EXPECT_TRUE(fs::isDirectory(dir.path()));
    EXPECT_TRUE(fs::isDirectory(dir.path("folderLink")));
    EXPECT_TRUE(fs::existsNoFollow(dir.path("dangling")));
    EXPECT_FALSE(fs::exists(dir.path("dangling")));
    EXPECT_FALSE(fs::existsNoFollow(dir.path("missing")));
}

TEST(FileSystemTest, PathPartsFollowTheLastComponent) {
    EXPECT_EQ(fs::lastComponent("/a/b.jpg"), "b.jpg");
    EXPECT_EQ(fs::lastComponent("/a/b/"), "b");
    EXPECT_EQ(fs::lastComponent("b"), "b");
    EXPECT_EQ(fs::lastComponent("/"), "/");

    EXPECT_EQ(fs::parent("/a/b.jpg"), "/a");
    EXPECT_EQ(fs::parent("/b.jpg"), "/");
    EXPECT_EQ(fs::parent("/a/b/"), "/a");
    EXPECT_EQ(fs::parent("b.jpg"), ".");

    EXPECT_EQ(fs::extension("/a/report.txt"), "txt");
    EXPECT_EQ(fs::extension("/a/a.b.txt"), "txt");
    EXPECT_EQ(fs::extension("/a.d/report"), "");
    EXPECT_EQ(fs::extension("/a/-x"), "");
    EXPECT_EQ(fs::extension("/a/.hidden"), "");
    EXPECT_EQ(fs::extension("/a/.hidden.jpg"), "jpg");

    EXPECT_EQ(fs::join("/a", "b/c"), "/a/b/c");
    EXPECT_EQ(fs::join("/", "b"), "/b");
    EXPECT_EQ(fs::join("/a/", "b"), "/a/b");
}

TEST(FileSystemTest, CreateDirectoriesMakesEveryMissingParent) {
    TempDir dir;
    fs::createDirectories(dir.path("a/b/c"));
    EXPECT_TRUE(fs::isDirectory(dir.path("a/b/c")));
    fs::createDirectories(dir.path("a/b/c")); // already there: nothing to do
}

TEST(FileSystemTest, CreateDirectoriesFailsWithTheReasonWhenAFileIsInTheWay) {
    TempDir dir;
    dir.write("file", "x");
    try {
        fs::createDirectories(dir.path("file/sub"));
        FAIL() << "expected an error";
    } catch (const quillmere::Error& error) {
        EXPECT_EQ(std::string(error.what()), dir.path("file/sub") + ": Not a directory");
    }
    EXPECT_EQ(readFile(dir.path("file")), "x");
}

TEST(FileSystemTest, WriteAtomicallyCreatesAndReplacesWholeFiles) {
    TempDir dir;
    const std::string target = dir.path("report.txt");
    fs::writeAtomically(target, "first");
    EXPECT_EQ(readFile(target), "first");
    fs::writeAtomically(target, std::string(300000, 'z'));
    EXPECT_EQ(readFile(target), std::string(300000, 'z'));
    fs::writeAtomically(target, "");
    EXPECT_EQ(readFile(target), "");
    EXPECT_EQ(entriesIn(dir.path()), 1u) << "no temporary file may be left behind";
}

TEST(FileSystemTest, WriteAtomicallyGivesTheNewFileTheUsualPermissions) {
    TempDir dir;
    const mode_t old = ::umask(022);
    fs::writeAtomically(dir.path("report.txt"), "x");
    ::umask(old);
    struct stat info {};
    ASSERT_EQ(::stat(dir.path("report.txt").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0644u);
}

TEST(FileSystemTest, WriteAtomicallyInAMissingFolderFailsWithTheReasonAndLeavesNothing) {
    TempDir dir;
    const std::string target = dir.path("missing/report.txt");
    try {
        fs::writeAtomically(target, "x");
        FAIL() << "expected an error";
    } catch (const quillmere::Error& error) {
        EXPECT_EQ(std::string(error.what()), target + ": No such file or directory");
    }
    EXPECT_EQ(entriesIn(dir.path()), 0u);
}

TEST(FileSystemTest, WriteAtomicallyOverAFolderFailsAndRemovesItsTemporaryFile) {
    TempDir dir;
    dir.write("report.txt/keep.jpg", "precious");
    try {
        fs::writeAtomically(dir.path("report.txt"), "x");
        FAIL() << "expected an error";
    } catch (const quillmere::Error& error) {
        EXPECT_EQ(std::string(error.what()), dir.path("report.txt") + ": Is a directory");
    }
    EXPECT_EQ(entriesIn(dir.path()), 1u);
    EXPECT_EQ(readFile(dir.path("report.txt/keep.jpg")), "precious");
}

TEST(FileSystemTest, WriteAtomicallyHandlesANameAtTheLengthLimit) {
    TempDir dir;
    const std::string target = dir.path(std::string(255, 'r'));
    fs::writeAtomically(target, "long");
    EXPECT_EQ(readFile(target), "long");
    EXPECT_EQ(entriesIn(dir.path()), 1u);
}

TEST(FileSystemTest, ReadAllReturnsEveryByteOrTheReason) {
    TempDir dir;
    const std::string bytes = quillmere::testing::randomBytes(200000, 7);
    EXPECT_EQ(fs::readAll(dir.write("blob.bin", bytes)), bytes);
    try {
        fs::readAll(dir.path("missing"));
        FAIL() << "expected an error";
    } catch (const quillmere::Error& error) {
        EXPECT_EQ(std::string(error.what()), dir.path("missing") + ": No such file or directory");
    }
    EXPECT_THROW(fs::readAll(dir.path()), quillmere::Error);
}

TEST(FileSystemTest, DescribeErrnoGivesTheSystemsReason) {
    EXPECT_EQ(fs::describeErrno(ENOENT), "No such file or directory");
    EXPECT_EQ(fs::describeErrno(EACCES), "Permission denied");
}
