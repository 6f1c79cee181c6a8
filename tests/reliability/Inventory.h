// The promises checked after every fault: each file that was there before is still there with the
// same content, at its own path or at the place a manifest records for it; nothing sits in a
// review folder without a record; and every recorded move set aside a true copy of the file it
// was verified against. Contents are compared by SHA-256 digests taken before the run.
#pragma once

#include "move/Mover.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <map>
#include <openssl/evp.h>
#include <set>
#include <string>
#include <vector>

namespace quillmere::testing {

/// SHA-256 (FIPS 180-4) of a file's content in hex, or "" when it is not a readable file.
inline std::string contentDigest(const std::string& path) {
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error))
        return "";
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return "";
    const std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    EVP_Digest(bytes.data(), bytes.size(), digest, &length, EVP_sha256(), nullptr);
    static constexpr char hex[] = "0123456789abcdef";
    std::string text;
    for (unsigned int i = 0; i < length; ++i) {
        text += hex[digest[i] >> 4];
        text += hex[digest[i] & 0x0f];
    }
    return text;
}

/// The regular files below some folders (links are not followed), each with its content digest.
class Inventory {
  public:
    static Inventory of(const std::vector<std::string>& folders) {
        Inventory inventory;
        for (const auto& folder : folders)
            for (const auto& entry : std::filesystem::recursive_directory_iterator(folder))
                if (entry.is_regular_file() && !entry.is_symlink())
                    inventory.files_[entry.path().string()] = contentDigest(entry.path().string());
        return inventory;
    }

    /// A test changed or created the file on purpose: its present content is what must survive.
    void update(const std::string& path) { files_[path] = contentDigest(path); }
    /// A test removed the file on purpose.
    void forget(const std::string& path) { files_.erase(path); }

    const std::map<std::string, std::string>& files() const { return files_; }

  private:
    std::map<std::string, std::string> files_;
};

/// Where every file of an inventory ended up, and what breaks a promise.
struct Accounting {
    /// Every record of every manifest and journal in the review folders of the roots.
    std::vector<MoveRecord> records;
    /// Files neither at their path nor at a recorded destination.
    std::vector<std::string> lost;
    /// Files whose content at their path or recorded destination is not what it was.
    std::vector<std::string> changed;
    /// Files in a review folder that no manifest records.
    std::vector<std::string> unrecorded;
    /// Records whose moved file differs from the file it was verified against.
    std::vector<std::string> falseDuplicates;
};

/// A manifest, or the journal of a set-aside that did not finish.
inline bool isManifestFile(const std::filesystem::path& path) {
    const std::string name = path.filename().string();
    return name.starts_with("_quillmere_manifest_") || name.starts_with("_quillmere_journal_");
}

/// A manifest or journal, or one being written when a run was killed.
inline bool isRecordFile(const std::filesystem::path& path) {
    const std::string name = path.filename().string();
    return name.find("_quillmere_manifest_") != std::string::npos ||
           name.find("_quillmere_journal_") != std::string::npos;
}

/// The manifests and journals in the review folder of each root, oldest name first.
inline std::vector<std::string> manifestsUnder(const std::vector<std::string>& roots) {
    std::vector<std::string> manifests;
    for (const auto& root : roots) {
        const std::string folder = root + "/_duplicates_review";
        std::vector<std::string> names;
        if (std::filesystem::is_directory(folder))
            for (const auto& entry : std::filesystem::directory_iterator(folder))
                if (entry.is_regular_file() && isManifestFile(entry.path()))
                    names.push_back(entry.path().string());
        std::sort(names.begin(), names.end());
        manifests.insert(manifests.end(), names.begin(), names.end());
    }
    return manifests;
}

/// Accounts for every file of `before` under `roots` (the roots the set-asides ran on).
inline Accounting account(const Inventory& before, const std::vector<std::string>& roots) {
    Accounting result;
    for (const auto& manifest : manifestsUnder(roots)) {
        const auto records = Mover::readManifest(manifest).records;
        result.records.insert(result.records.end(), records.begin(), records.end());
    }
    // A file set aside, put back and set aside again has a record per run; the one whose
    // destination holds it counts.
    std::map<std::string, const MoveRecord*> recordOf;
    std::set<std::string> recordedPlaces;
    for (const auto& record : result.records) {
        if (!recordOf.contains(record.from) || std::filesystem::exists(record.to))
            recordOf[record.from] = &record;
        recordedPlaces.insert(std::filesystem::weakly_canonical(record.to).string());
        // A file gone from both places is counted as lost below, if it was to be kept.
        const std::string setAside = contentDigest(
            std::filesystem::exists(record.to) ? record.to : std::string(record.from));
        if (!setAside.empty() && setAside != contentDigest(record.verifiedAgainst))
            result.falseDuplicates.push_back(record.from);
    }

    for (const auto& [path, digest] : before.files()) {
        std::string place = path;
        if (!std::filesystem::exists(path)) {
            const auto record = recordOf.find(path);
            if (record == recordOf.end() || !std::filesystem::exists(record->second->to)) {
                result.lost.push_back(path);
                continue;
            }
            place = record->second->to;
        }
        if (contentDigest(place) != digest)
            result.changed.push_back(path);
    }

    for (const auto& root : roots) {
        const std::string folder = root + "/_duplicates_review";
        if (!std::filesystem::is_directory(folder))
            continue;
        for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
            if (!entry.is_regular_file() || isRecordFile(entry.path()))
                continue;
            const std::string place = std::filesystem::weakly_canonical(entry.path()).string();
            if (!recordedPlaces.contains(place) && !before.files().contains(entry.path().string()))
                result.unrecorded.push_back(entry.path().string());
        }
    }
    return result;
}

inline std::string listed(const char* what, const std::vector<std::string>& paths) {
    std::string text;
    for (const auto& path : paths)
        text += std::string(what) + ": " + path + "\n";
    return text;
}

/// Every promise holds: nothing lost, changed, unrecorded or set aside without being a copy of
/// its keeper.
inline ::testing::AssertionResult promisesHold(const Accounting& accounting) {
    const std::string broken = listed("lost", accounting.lost) +
                               listed("changed", accounting.changed) +
                               listed("in no manifest", accounting.unrecorded) +
                               listed("not a copy of its keeper", accounting.falseDuplicates);
    if (broken.empty())
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << broken;
}

} // namespace quillmere::testing
