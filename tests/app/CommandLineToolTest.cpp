// Linking the bundled tool into a folder standing in for /usr/local/bin, and the alert texts.
#include "model/CommandLineTool.h"

#include "QtPrinting.h"
#include "TempDir.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace quillmere;
using namespace quillmere::CommandLineTool;
using quillmere::testing::TempDir;
namespace fs = std::filesystem;

namespace {

/// A temporary app folder holding an executable quillmere-cli, and a link folder beside it.
struct Fixture {
    TempDir dir;
    Locations locations{QString::fromStdString(dir.path("App")),
                        QString::fromStdString(dir.path("bin"))};

    explicit Fixture(bool withTool = true, fs::perms toolPermissions = fs::perms(0755)) {
        dir.mkdir("App");
        if (withTool) {
            const std::string tool = dir.write("App/quillmere-cli", "#!/bin/sh\n");
            fs::permissions(tool, toolPermissions);
        }
    }

    std::string linkPath() const { return locations.linkPath().toStdString(); }
    std::string toolPath() const { return locations.toolPath().toStdString(); }
};

QString readLink(const std::string& path) {
    return QString::fromStdString(fs::read_symlink(path).string());
}

} // namespace

TEST(CommandLineToolTest, StandardLocationsAreTheAppFolderAndUsrLocalBin) {
    const Locations standard = Locations::standard();
    EXPECT_EQ(standard.linkDirectory, "/usr/local/bin");
    EXPECT_EQ(standard.linkPath(), "/usr/local/bin/quillmere");
    EXPECT_EQ(standard.toolFolder, QCoreApplication::applicationDirPath());
    EXPECT_EQ(standard.toolPath(), QCoreApplication::applicationDirPath() + "/quillmere-cli");
}

TEST(CommandLineToolTest, WithoutAnExecutableToolNothingIsInstalled) {
    const QString message = "This copy of Quillmere does not contain the command-line tool.";
    for (const bool withTool : {false, true}) {
        Fixture fixture(withTool, fs::perms(0644));
        EXPECT_FALSE(bundledTool(fixture.locations));
        const Outcome outcome = install(fixture.locations);
        EXPECT_EQ(outcome, Outcome(Failed{message, QString()}));
        EXPECT_FALSE(fs::exists(fixture.dir.path("bin")));

        const Alert alert = alertFor(outcome);
        EXPECT_EQ(alert.title, "Quillmere cannot install it for you");
        EXPECT_EQ(alert.text, message);
        EXPECT_EQ(alert.buttons, QStringList{"OK"});
        EXPECT_TRUE(alert.commandToCopy.isEmpty());
    }
}

TEST(CommandLineToolTest, AFolderNamedLikeTheToolIsNotATool) {
    Fixture fixture(false);
    fixture.dir.mkdir("App/quillmere-cli");
    EXPECT_FALSE(bundledTool(fixture.locations));
}

TEST(CommandLineToolTest, InstallsALinkCreatingTheFolder) {
    Fixture fixture;
    EXPECT_EQ(bundledTool(fixture.locations), fixture.locations.toolPath());
    EXPECT_EQ(install(fixture.locations), Outcome(Installed{}));
    EXPECT_TRUE(fs::is_symlink(fixture.linkPath()));
    EXPECT_EQ(readLink(fixture.linkPath()), fixture.locations.toolPath());

    const Alert alert = alertFor(Installed{});
    EXPECT_EQ(alert.title, "Command line tool installed");
    EXPECT_EQ(alert.text, "Open a new terminal window and run `quillmere --help`.");
    EXPECT_EQ(alert.buttons, QStringList{"OK"});
    EXPECT_TRUE(alert.commandToCopy.isEmpty());
}

TEST(CommandLineToolTest, SecondInstallChangesNothing) {
    Fixture fixture;
    ASSERT_EQ(install(fixture.locations), Outcome(Installed{}));
    struct stat before {};
    ASSERT_EQ(::lstat(fixture.linkPath().c_str(), &before), 0);

    EXPECT_EQ(install(fixture.locations), Outcome(AlreadyInstalled{}));
    struct stat after {};
    ASSERT_EQ(::lstat(fixture.linkPath().c_str(), &after), 0);
    EXPECT_EQ(before.st_ino, after.st_ino);

    const Alert alert = alertFor(AlreadyInstalled{});
    EXPECT_EQ(alert.title, "Already installed");
    EXPECT_EQ(alert.text, "`quillmere` already points at this copy of Quillmere.");
    EXPECT_EQ(alert.buttons, QStringList{"OK"});
}

TEST(CommandLineToolTest, LinksToOtherCopiesAreReplacedTheirTargetsKept) {
    Fixture fixture;
    const std::string older = fixture.dir.write("Old/quillmere-cli", "older");
    fixture.dir.mkdir("bin");
    fs::create_symlink(older, fixture.linkPath());

    EXPECT_EQ(existing(fixture.locations.linkPath(), fixture.locations.toolPath()),
              Existing(OtherLink{QString::fromStdString(older)}));
    EXPECT_EQ(install(fixture.locations), Outcome(Installed{}));
    EXPECT_EQ(readLink(fixture.linkPath()), fixture.locations.toolPath());
    EXPECT_EQ(quillmere::testing::readFile(older), "older");
}

TEST(CommandLineToolTest, BrokenLinkIsReplaced) {
    Fixture fixture;
    fixture.dir.mkdir("bin");
    fs::create_symlink("/Applications/Gone.app/quillmere-cli", fixture.linkPath());

    EXPECT_EQ(existing(fixture.locations.linkPath(), fixture.locations.toolPath()),
              Existing(OtherLink{"/Applications/Gone.app/quillmere-cli"}));
    EXPECT_EQ(install(fixture.locations), Outcome(Installed{}));
    EXPECT_EQ(readLink(fixture.linkPath()), fixture.locations.toolPath());
}

TEST(CommandLineToolTest, ALinkIsOursOnlyWhenItsTextIsTheToolPathExactly) {
    Fixture fixture;
    fixture.dir.mkdir("bin");
    // Resolves to the tool, but is spelled differently.
    fs::create_symlink(fixture.dir.path("App/../App/quillmere-cli"), fixture.linkPath());
    EXPECT_TRUE(std::holds_alternative<OtherLink>(
        existing(fixture.locations.linkPath(), fixture.locations.toolPath())));

    fs::remove(fixture.linkPath());
    fs::create_symlink(fixture.toolPath(), fixture.linkPath());
    EXPECT_EQ(existing(fixture.locations.linkPath(), fixture.locations.toolPath()),
              Existing(OurLink{}));
}

TEST(CommandLineToolTest, NothingAtTheLinkPath) {
    Fixture fixture;
    EXPECT_EQ(existing(fixture.locations.linkPath(), fixture.locations.toolPath()),
              Existing(Nothing{}));
}

TEST(CommandLineToolTest, FileOrFolderAtTheLinkPathIsLeftAlone) {
    for (const bool folder : {false, true}) {
        Fixture fixture;
        if (folder)
            fixture.dir.write("bin/quillmere/inside", "kept");
        else
            fixture.dir.write("bin/quillmere", "a user's own script");

        EXPECT_EQ(existing(fixture.locations.linkPath(), fixture.locations.toolPath()),
                  Existing(NotALink{}));
        const Outcome outcome = install(fixture.locations);
        const QString message = "Something that is not a Quillmere link already exists at " +
                                fixture.locations.linkPath() + ". It has been left alone.";
        EXPECT_EQ(outcome, Outcome(Failed{message, QString()}));
        EXPECT_EQ(alertFor(outcome),
                  (Alert{"Quillmere cannot install it for you", message, {"OK"}, QString()}));
        if (folder)
            EXPECT_EQ(quillmere::testing::readFile(fixture.dir.path("bin/quillmere/inside")),
                      "kept");
        else
            EXPECT_EQ(quillmere::testing::readFile(fixture.linkPath()), "a user's own script");
    }
}

TEST(CommandLineToolTest, FallbackCommandForTheStandardFolder) {
    const Locations locations{"/opt/Quillmere", "/usr/local/bin"};
    EXPECT_EQ(fallbackCommand(locations),
              "sudo mkdir -p /usr/local/bin && sudo ln -sf '/opt/Quillmere/quillmere-cli' "
              "'/usr/local/bin/quillmere'");
}

TEST(CommandLineToolTest, ReadOnlyFolderNeedsAdministrator) {
    if (::geteuid() == 0) {
        // Root writes anywhere: run this very test again as an unprivileged user.
        QProcess probe;
        probe.start("setpriv", {"--reuid=65534", "--regid=65534", "--clear-groups", "true"});
        if (!probe.waitForFinished(-1) || probe.exitStatus() != QProcess::NormalExit ||
            probe.exitCode() != 0)
            GTEST_SKIP() << "cannot run as an unprivileged user with setpriv";
        QProcess child;
        child.setProcessChannelMode(QProcess::MergedChannels);
        child.start("setpriv",
                    {"--reuid=65534", "--regid=65534", "--clear-groups",
                     QCoreApplication::applicationFilePath(),
                     "--gtest_filter=CommandLineToolTest.ReadOnlyFolderNeedsAdministrator"});
        ASSERT_TRUE(child.waitForFinished(-1));
        EXPECT_EQ(child.exitCode(), 0) << child.readAll().toStdString();
        return;
    }

    Fixture fixture;
    fixture.dir.mkdir("bin");
    fs::permissions(fixture.dir.path("bin"), fs::perms(0555));

    const QString linkFolder = fixture.locations.linkDirectory;
    const QString command = "sudo mkdir -p " + linkFolder + " && sudo ln -sf '" +
                            fixture.locations.toolPath() + "' '" + linkFolder + "/quillmere'";
    const Outcome outcome = install(fixture.locations);
    EXPECT_EQ(outcome, Outcome(Failed{linkFolder + " needs administrator permission.", command}));
    EXPECT_FALSE(fs::exists(fs::symlink_status(fixture.linkPath())));

    const Alert alert = alertFor(outcome);
    EXPECT_EQ(alert.title, "Quillmere cannot install it for you");
    EXPECT_EQ(alert.text, linkFolder +
                              " needs administrator permission.\n\nRun this in "
                              "Terminal:\n\n" +
                              command);
    EXPECT_EQ(alert.buttons, (QStringList{"Copy Command", "Cancel"}));
    EXPECT_EQ(alert.commandToCopy, command);
}

TEST(CommandLineToolTest, UncreatableFolderNeedsAdministrator) {
    Fixture fixture;
    // A file where a parent folder of the link folder would have to be.
    fixture.dir.write("blocked", "");
    fixture.locations.linkDirectory = QString::fromStdString(fixture.dir.path("blocked/bin"));
    const Outcome outcome = install(fixture.locations);
    ASSERT_TRUE(std::holds_alternative<Failed>(outcome));
    EXPECT_EQ(std::get<Failed>(outcome).message,
              fixture.locations.linkDirectory + " needs administrator permission.");
    EXPECT_EQ(std::get<Failed>(outcome).command, fallbackCommand(fixture.locations));
}

TEST(CommandLineToolTest, FallbackCommandSurvivesQuotesAndSpacesInPaths) {
    TempDir dir;
    const std::string tool = dir.write("Bob's Apps/quillmere-cli", "#!/bin/sh\n");
    fs::permissions(tool, fs::perms(0755));
    const Locations locations{QString::fromStdString(dir.path("Bob's Apps")),
                              QString::fromStdString(dir.path("local bin"))};
    const QString command = fallbackCommand(locations);

    // The user pastes the command into a shell; here sudo just runs what it is given.
    QProcess shell;
    shell.start("/bin/sh", {"-c", "sudo() { \"$@\"; }; " + command});
    ASSERT_TRUE(shell.waitForFinished(-1));
    ASSERT_EQ(shell.exitCode(), 0) << shell.readAllStandardError().toStdString();
    EXPECT_EQ(readLink(dir.path("local bin/quillmere")), QString::fromStdString(tool));
    EXPECT_FALSE(fs::exists(dir.path("local")));
}
