#include "model/CommandLineTool.h"

#include "Error.h"
#include "fs/FileSystem.h"

#include <QCoreApplication>
#include <QFile>
#include <QRegularExpression>
#include <filesystem>
#include <system_error>
#include <unistd.h>

namespace fs = std::filesystem;

namespace quillmere::CommandLineTool {

namespace {

const QString linkName = QStringLiteral("quillmere");
const QString toolName = QStringLiteral("quillmere-cli");

fs::path nativePath(const QString& path) {
    return fs::path(QFile::encodeName(path).toStdString());
}

std::string nativeString(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

/// One shell word in single quotes; an embedded quote becomes '\'' so a path such as
/// /home/o'brien cannot end the word early.
QString singleQuoted(QString text) {
    return QLatin1Char('\'') + text.replace(QLatin1Char('\''), QStringLiteral("'\\''")) +
           QLatin1Char('\'');
}

/// The path as it stands when the shell would read it as one plain word, quoted otherwise.
QString shellWord(const QString& path) {
    static const QRegularExpression plain(QStringLiteral("^[A-Za-z0-9_./+,:@%=-]+$"));
    return plain.match(path).hasMatch() ? path : singleQuoted(path);
}

Outcome needsAdministrator(const Locations& locations) {
    return Failed{locations.linkDirectory + QStringLiteral(" needs administrator permission."),
                  fallbackCommand(locations)};
}

} // namespace

Locations Locations::standard() {
    return Locations{QCoreApplication::applicationDirPath()};
}

QString Locations::linkPath() const {
    return linkDirectory + QLatin1Char('/') + linkName;
}

QString Locations::toolPath() const {
    return toolFolder + QLatin1Char('/') + toolName;
}

std::optional<QString> bundledTool(const Locations& locations) {
    const QString tool = locations.toolPath();
    std::error_code error;
    if (!fs::is_regular_file(nativePath(tool), error) ||
        ::access(nativeString(tool).c_str(), X_OK) != 0)
        return std::nullopt;
    return tool;
}

Existing existing(const QString& linkPath, const QString& wanting) {
    const fs::path link = nativePath(linkPath);
    std::error_code error;
    const fs::path destination = fs::read_symlink(link, error);
    const bool readDestination = !error;
    const bool itemExists = FileSystem::exists(link.string());
    const bool isLink = fs::symlink_status(link, error).type() == fs::file_type::symlink && !error;

    if (isLink) {
        const QString text = readDestination ? QFile::decodeName(destination.c_str()) : QString();
        if (readDestination && text == wanting)
            return OurLink{};
        return OtherLink{text};
    }
    return itemExists ? Existing{NotALink{}} : Existing{Nothing{}};
}

QString fallbackCommand(const Locations& locations) {
    return QStringLiteral("sudo mkdir -p ") + shellWord(locations.linkDirectory) +
           QStringLiteral(" && sudo ln -sf ") + singleQuoted(locations.toolPath()) +
           QLatin1Char(' ') + singleQuoted(locations.linkPath());
}

Outcome install(const Locations& locations) {
    const std::optional<QString> tool = bundledTool(locations);
    if (!tool)
        return Failed{
            QStringLiteral("This copy of Quillmere does not contain the command-line tool."),
            QString()};

    const QString linkPath = locations.linkPath();
    const Existing found = existing(linkPath, *tool);
    if (std::holds_alternative<OurLink>(found))
        return AlreadyInstalled{};
    if (std::holds_alternative<NotALink>(found))
        return Failed{QStringLiteral("Something that is not a Quillmere link already exists at ") +
                          linkPath + QStringLiteral(". It has been left alone."),
                      QString()};

    const std::string folder = nativeString(locations.linkDirectory);
    if (!FileSystem::exists(folder)) {
        try {
            FileSystem::createDirectories(folder);
        } catch (const Error&) {
            return needsAdministrator(locations);
        }
    }

    // Only a link is ever removed: should a file have appeared since the check, it stays.
    const fs::path link = nativePath(linkPath);
    std::error_code error;
    if (fs::symlink_status(link, error).type() == fs::file_type::symlink)
        fs::remove(link, error);

    fs::create_symlink(nativePath(*tool), link, error);
    if (error)
        return needsAdministrator(locations);
    return Installed{};
}

Alert alertFor(const Outcome& outcome) {
    const QString ok = QStringLiteral("OK");
    if (std::holds_alternative<Installed>(outcome))
        return Alert{QStringLiteral("Command line tool installed"),
                     QStringLiteral("Open a new terminal window and run `quillmere --help`."),
                     {ok},
                     QString()};
    if (std::holds_alternative<AlreadyInstalled>(outcome))
        return Alert{QStringLiteral("Already installed"),
                     QStringLiteral("`quillmere` already points at this copy of Quillmere."),
                     {ok},
                     QString()};

    const Failed& failed = std::get<Failed>(outcome);
    const QString title = QStringLiteral("Quillmere cannot install it for you");
    if (failed.command.isEmpty())
        return Alert{title, failed.message, {ok}, QString()};
    return Alert{title,
                 failed.message + QStringLiteral("\n\nRun this in Terminal:\n\n") + failed.command,
                 {QStringLiteral("Copy Command"), QStringLiteral("Cancel")},
                 failed.command};
}

} // namespace quillmere::CommandLineTool
