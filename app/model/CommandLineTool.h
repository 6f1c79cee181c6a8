// Links the command-line tool that ships beside the app onto the shell's command path, and builds
// the alert that reports how that went. A link, never a copy, so updating the app updates the
// command too. Without permission for the link folder the app shows a shell command instead of
// asking for a password itself.
#pragma once

#include <QString>
#include <QStringList>
#include <optional>
#include <variant>

namespace quillmere::CommandLineTool {

/// Where the tool is and where its link goes.
struct Locations {
    /// The folder holding the bundled `quillmere-cli` (the folder of the app's executable).
    QString toolFolder;
    /// The folder on the command path that receives the link.
    QString linkDirectory = QStringLiteral("/usr/local/bin");

    /// The app's own executable folder and /usr/local/bin.
    static Locations standard();

    /// linkDirectory + "/quillmere".
    QString linkPath() const;
    /// toolFolder + "/quillmere-cli", whether or not it exists.
    QString toolPath() const;
};

// What is found at the link path.
/// No item at all, not even a broken link.
struct Nothing {
    friend bool operator==(const Nothing&, const Nothing&) = default;
};
/// A link whose stored destination text is exactly the tool's path.
struct OurLink {
    friend bool operator==(const OurLink&, const OurLink&) = default;
};
/// A link to anything else, broken ones included.
struct OtherLink {
    /// The stored destination; empty when it could not be read.
    QString destination;
    friend bool operator==(const OtherLink&, const OtherLink&) = default;
};
/// A file or folder that is not a link.
struct NotALink {
    friend bool operator==(const NotALink&, const NotALink&) = default;
};
using Existing = std::variant<Nothing, OurLink, OtherLink, NotALink>;

// The result of an installation.
/// The link was created or replaced.
struct Installed {
    friend bool operator==(const Installed&, const Installed&) = default;
};
/// The link already points at this copy; nothing changed.
struct AlreadyInstalled {
    friend bool operator==(const AlreadyInstalled&, const AlreadyInstalled&) = default;
};
/// Nothing was installed.
struct Failed {
    /// Why, in words for the user.
    QString message;
    /// A shell command the user can run instead; empty when there is none.
    QString command;
    friend bool operator==(const Failed&, const Failed&) = default;
};
using Outcome = std::variant<Installed, AlreadyInstalled, Failed>;

/// The modal alert that reports an outcome.
struct Alert {
    QString title;
    QString text;
    /// Button titles, the default first.
    QStringList buttons;
    /// Put on the clipboard when the first button is chosen; empty when nothing is copied.
    QString commandToCopy;

    friend bool operator==(const Alert&, const Alert&) = default;
};

/// The tool's path when an executable file is there; absent otherwise.
std::optional<QString> bundledTool(const Locations& locations);

/// What is at `linkPath`, judged against the link destination `wanting`.
Existing existing(const QString& linkPath, const QString& wanting);

/// The command that makes the link with administrator rights, for the user to run.
QString fallbackCommand(const Locations& locations);

/// Creates (or replaces another) link to the tool. Never throws; an item that is not a link is
/// never touched.
Outcome install(const Locations& locations = Locations::standard());

/// The title, text and buttons that report `outcome`.
Alert alertFor(const Outcome& outcome);

} // namespace quillmere::CommandLineTool
