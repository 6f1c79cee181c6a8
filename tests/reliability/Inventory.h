// The promises checked after every fault: each file is still there, unchanged, at its path or where
// a manifest records it, and every recorded move set aside a copy of its keeper. And the faults,
// and the library they are met in.
#pragma once

#include "ToolUnderTest.h"
#include "move/Mover.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <map>
#include <optional>
#include <sys/stat.h>

namespace quillmere::testing {

/// The content of a regular file (links are not followed), or nothing.
inline std::optional<std::string> contentOf(const std::string& path) {
    const bool regular = std::filesystem::is_regular_file(std::filesystem::symlink_status(path));
    return regular ? std::optional(readFile(path)) : std::nullopt;
}

/// The regular files below some folders, each with its content.
struct Inventory {
    std::map<std::string, std::string> files;

    static Inventory of(const std::vector<std::string>& folders) {
        Inventory inventory;
        for (const auto& folder : folders)
            for (const auto& entry : std::filesystem::recursive_directory_iterator(folder))
                inventory.settle(entry.path().string());
        return inventory;
    }
    /// A test changed, made or removed the file on purpose: what is there now must survive.
    void settle(const std::string& path) {
        if (const auto content = contentOf(path))
            files[path] = *content;
        else
            files.erase(path);
    }
};

/// A manifest or journal, or its temporary file when a run was killed while writing it.
inline bool isRecordFile(const std::filesystem::path& path) {
    const std::string name = path.filename().string();
    return name.find("_quillmere_manifest_") != std::string::npos ||
           name.find("_quillmere_journal_") != std::string::npos;
}

/// The manifests, and the journals of set-asides that did not finish, in each root's review folder.
inline std::vector<std::string> manifestsUnder(const std::vector<std::string>& roots) {
    std::vector<std::string> manifests;
    std::error_code none;
    for (const auto& root : roots)
        for (const auto& entry :
             std::filesystem::directory_iterator(root + "/_duplicates_review", none))
            if (isRecordFile(entry.path()) && !entry.path().filename().string().starts_with("."))
                manifests.push_back(entry.path().string());
    return manifests;
}

struct Accounting {
    std::vector<MoveRecord> records; ///< of every manifest under the roots
    std::string broken;              ///< every broken promise, one per line
};

/// Accounts for every file of `before` under `roots` (the roots the set-asides ran on).
inline Accounting account(const Inventory& before, const std::vector<std::string>& roots) {
    namespace fs = std::filesystem;
    Accounting result;
    std::map<std::string, std::string> destinationOf, fromOf;
    for (const auto& manifest : manifestsUnder(roots))
        for (const auto& record : Mover::readManifest(manifest).records) {
            result.records.push_back(record);
            // Set aside, back and again: the record whose destination holds the file counts.
            if (!destinationOf.contains(record.from) || fs::exists(record.to))
                destinationOf[record.from] = record.to;
            fromOf[fs::weakly_canonical(record.to).string()] = record.from;
            const auto setAside = contentOf(fs::exists(record.to) ? record.to : record.from);
            if (setAside && setAside != contentOf(record.verifiedAgainst))
                result.broken += "not a copy of its keeper: " + record.from + "\n";
        }
    for (const auto& [path, content] : before.files) {
        const auto moved = destinationOf.find(path);
        const bool atPath = fs::exists(fs::symlink_status(path)) || moved == destinationOf.end();
        const auto now = contentOf(atPath ? path : moved->second);
        if (now != content)
            result.broken += (now ? "changed: " : "lost: ") + path + "\n";
    }
    std::error_code none; // a root without a review folder
    for (const auto& root : roots)
        for (const auto& entry :
             fs::recursive_directory_iterator(root + "/_duplicates_review", none))
            if (entry.is_regular_file() && !before.files.contains(entry.path().string()) &&
                !fromOf.contains(fs::weakly_canonical(entry.path()).string()) &&
                !isRecordFile(entry.path()))
                result.broken += "in no manifest: " + entry.path().string() + "\n";
    return result;
}

using Reasons = std::map<std::string, std::string>;

/// The skipped paths and reasons, each cut to the length of the reason `as` gives for its path.
inline Reasons reasons(const std::vector<SkippedMove>& skipped, const Reasons& as) {
    Reasons result;
    for (const auto& [path, reason] : skipped)
        result[path] = reason.substr(0, as.contains(path) ? as.at(path).size() : reason.size());
    return result;
}

enum class Change { shrink, grow, editFirst, editMid, editLast, remove, pipe, link, twin, folder };

/// Rewrites the file at `path` (a byte shorter, longer, or changed; made if need be), or puts a
/// named pipe, a link to `other`, a second name (hard link) of `other` or a folder in its place.
inline void change(Change what, const std::string& path, const std::string& other = "") {
    namespace fs = std::filesystem;
    if (what < Change::remove) {
        std::string content = readFile(path);
        if (what == Change::shrink)
            content.pop_back();
        else if (what == Change::grow)
            content += "more";
        else
            content[(content.size() - 1) * std::size_t(int(what) - int(Change::editFirst)) / 2] ^=
                1;
        fs::create_directories(fs::path(path).parent_path());
        std::ofstream(path, std::ios::binary) << content;
        return;
    }
    fs::remove(path);
    if (what == Change::pipe)
        ::mkfifo(path.c_str(), 0644);
    else if (what == Change::link)
        fs::create_symlink(other, path);
    else if (what == Change::twin)
        fs::create_hard_link(other, path);
    else if (what == Change::folder)
        fs::create_directory(path);
}

/// The run ended with `exitCode` and printed `saying`.
inline ::testing::AssertionResult endsWith(const ProcessResult& run, int exitCode,
                                           const std::string& saying) {
    if (run.exitCode == exitCode && (run.out + run.err).find(saying) != std::string::npos)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "exit " << run.exitCode << "\n" << run.out << run.err;
}

/// Two roots with `count` photos kept in A and a copy of each in A/Copies and in B; returns the
/// roots.
inline std::vector<std::string> writeLibrary(const ToolUnderTest& tool, int count) {
    for (int index = 0; index < count; ++index) {
        const std::string content = randomBytes(100 + std::size_t(index), std::uint32_t(index + 9));
        const std::string name = "IMG_" + std::to_string(1000 + index);
        for (const auto& path :
             {"A/" + name + ".JPG", "A/Copies/" + name + " copy.JPG", "B/" + name + ".JPG"})
            tool.work.write(path, content);
    }
    return {tool.at("A"), tool.at("B")};
}

} // namespace quillmere::testing
