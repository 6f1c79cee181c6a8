// Opening a set-aside manifest as a review: finding the newest manifest (or journal of a set-aside
// that did not finish) of a root, turning its records into pairs of the set-aside file and its
// kept copy, and the manifest named at start.
#include "Error.h"
#include "fs/FileSystem.h"
#include "model/ReviewSession.h"
#include "model/ReviewState.h"
#include "move/MoveJournal.h"
#include "move/Mover.h"
#include "scan/SkipRules.h"

#include <QProcessEnvironment>
#include <algorithm>
#include <filesystem>

namespace quillmere {

namespace {

constexpr std::string_view manifestPrefix = "_quillmere_manifest_";
constexpr std::string_view manifestReadError = "Could not read that manifest: ";

// The time stamp and what follows it in the name of a manifest or a leftover journal.
std::string_view stampOf(std::string_view name) {
    return name.substr(name.starts_with(manifestPrefix) ? manifestPrefix.size()
                                                        : MoveJournal::namePrefix.size());
}

/// A file that is not JSON at all is said to be so in plain words, before the parser's detail.
std::string plainReason(std::string_view detail) {
    for (const std::string_view notJson :
         {"not valid JSON", "the file is empty", "the file is not valid UTF-8 text"})
        if (detail.starts_with(notJson))
            return "This file is not a manifest Quillmere wrote, or it is damaged. (" +
                   std::string(detail) + ")";
    return std::string(detail);
}

// Manifest and leftover journal file names in a folder, newest first: both names carry the time
// stamp of their run, which sorts by code point (UTF-8 byte order). A folder that cannot be listed
// has none.
std::vector<std::string> manifestNames(const std::string& folder) {
    std::vector<std::string> names;
    std::error_code error;
    for (std::filesystem::directory_iterator entry(folder, error), end; !error && entry != end;
         entry.increment(error)) {
        std::string name = entry->path().filename().string();
        if (name.starts_with(manifestPrefix) || MoveJournal::isJournalName(name))
            names.push_back(std::move(name));
    }
    std::sort(names.begin(), names.end(),
              [](const std::string& a, const std::string& b) { return stampOf(a) > stampOf(b); });
    return names;
}

// An absolute, standardised form of a path the user gave; as given when the working folder
// cannot be read.
std::string absolutePath(const std::string& path) {
    try {
        return FileSystem::standardize(FileSystem::resolve(path));
    } catch (const Error&) {
        return FileSystem::standardize(path);
    }
}

} // namespace

void ReviewSession::load(const std::string& manifestURL) {
    if (manifestURL.empty()) {
        setErrorMessage(std::string(manifestReadError) + "no manifest file was named");
        return;
    }
    const std::string path = absolutePath(manifestURL);
    MoveManifest manifest;
    try {
        manifest = Mover::readManifest(path);
    } catch (const std::exception& error) {
        setErrorMessage(std::string(manifestReadError) + plainReason(error.what()));
        return;
    }

    std::vector<ReviewItem> items;
    items.reserve(manifest.records.size());
    for (auto& record : manifest.records) {
        ReviewItem item;
        item.id = record.to;
        item.keepURL = record.verifiedAgainst;
        item.candidateURL = record.to;
        item.sizeBytes = record.sizeBytes;
        if (FileSystem::existsNoFollow(record.to))
            item.state = ReviewItem::State::pending;
        else if (FileSystem::existsNoFollow(record.from))
            item.state = ReviewItem::State::restored;
        else
            item.state = ReviewItem::State::gone;
        item.origin = ReviewItem::Parked{std::move(record)};
        items.push_back(std::move(item));
    }
    manifestRoot_ = manifest.root;
    install(Pairs(std::move(items)), ReviewState::stateFileForManifest(path));
    setSource(FileSystem::parent(path), std::nullopt, Kind::manifest);
    finishLoad();
}

void ReviewSession::loadManifest(const std::string& inRoot) {
    const std::string root = absolutePath(inRoot);
    const std::string folder = FileSystem::lastComponent(root) == SkipRules::reviewDirectoryName
                                   ? root
                                   : FileSystem::join(root, SkipRules::reviewDirectoryName);
    const auto names = manifestNames(folder);
    if (names.empty()) {
        setErrorMessage("No Quillmere manifest found in " + folder);
        return;
    }
    load(FileSystem::join(folder, names.front()));
}

void ReviewSession::loadStartupManifest(const QProcessEnvironment& environment) {
    const QString variable = QStringLiteral("QUILLMERE_MANIFEST");
    if (isLoaded_ || !environment.contains(variable))
        return;
    load(environment.value(variable).toStdString());
}

} // namespace quillmere
