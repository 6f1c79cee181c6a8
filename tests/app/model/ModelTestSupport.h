// Helpers shared by the review model's tests: waiting on the real event loop, duplicate groups
// written into a temporary folder, and stand-ins for the Trash and the cloud drive.
#pragma once

#include "TempDir.h"
#include "model/ReviewItem.h"
#include "model/ReviewSession.h"
#include "model/Trash.h"
#include "scan/CloudStatus.h"
#include "scan/ScanResult.h"

#include <QTest>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <mutex>
#include <ostream>
#include <set>
#include <string>
#include <vector>

namespace quillmere {

inline void PrintTo(ReviewItem::State state, std::ostream* out) {
    constexpr const char* names[] = {"pending", "trashed", "restored", "kept", "gone", "failed"};
    *out << names[int(state)];
}

inline void PrintTo(ReviewItem::Decision decision, std::ostream* out) {
    *out << Decisions::rawValue(decision);
}

namespace testing {

/// Runs the event loop until `condition` holds. The minute is a guard against a hang, not a
/// speed requirement.
inline bool waitUntil(const std::function<bool()>& condition) {
    return QTest::qWaitFor(condition, 60000);
}

/// A group of identical files written under `dir`: `keep` and each of `removes` hold `content`.
inline DuplicateGroup writeGroup(const TempDir& dir, const std::string& keep,
                                 const std::vector<std::string>& removes,
                                 const std::string& content) {
    DuplicateGroup group;
    group.size = std::int64_t(content.size());
    group.keep = dir.write(keep, content);
    for (const auto& remove : removes)
        group.remove.push_back(dir.write(remove, content));
    return group;
}

inline ScanResult resultOf(std::vector<DuplicateGroup> groups) {
    ScanResult result;
    result.groups = std::move(groups);
    return result;
}

/// Starts an apply and waits until it has written its last outcome.
inline void applyAndWait(ReviewSession& session, bool removing) {
    session.apply(removing);
    ASSERT_TRUE(waitUntil([&] { return !session.isApplying(); }));
}

/// A Trash that moves files into a folder of the test's, refusing the paths it is told to.
class FolderTrash final : public Trash {
  public:
    explicit FolderTrash(std::string folder) : folder_(std::move(folder)) {}

    std::optional<std::string> moveToTrash(const std::string& path) const override {
        std::lock_guard lock(mutex_);
        requests_.push_back(path);
        if (refused_.count(path))
            return "refused by the test";
        std::error_code error;
        std::filesystem::rename(path, folder_ + "/" + std::to_string(requests_.size()), error);
        if (error)
            return error.message();
        return std::nullopt;
    }

    void refuse(const std::string& path) {
        std::lock_guard lock(mutex_);
        refused_.insert(path);
    }

    std::vector<std::string> requests() const {
        std::lock_guard lock(mutex_);
        return requests_;
    }

  private:
    std::string folder_;
    mutable std::mutex mutex_;
    mutable std::vector<std::string> requests_;
    std::set<std::string> refused_;
};

/// A cloud drive on which the listed files are placeholders without a local copy.
class FakeCloud final : public CloudStatus {
  public:
    std::set<std::string> placeholders;

    std::optional<CloudAttributes> attributes(const std::string& path) const override {
        if (placeholders.count(path))
            return CloudAttributes{true, false};
        return CloudAttributes{};
    }
};

} // namespace testing
} // namespace quillmere
