// Whether a file's content is on the local disk. Cloud drives keep some files as placeholders whose
// first read downloads them; such files are counted and never opened.
#pragma once

#include <optional>
#include <string>

namespace quillmere {

struct CloudAttributes {
    /// The file lives in the user's cloud drive.
    bool isCloudItem = false;
    /// The cloud drive holds a current local copy. Absent when the drive reports no status.
    std::optional<bool> isCurrent;
};

class CloudStatus {
  public:
    virtual ~CloudStatus() = default;

    /// The file's cloud attributes, or nothing when they cannot be read.
    virtual std::optional<CloudAttributes> attributes(const std::string& path) const = 0;

    /// True when the file is a cloud item without a current local copy. A file whose attributes
    /// cannot be read counts as local.
    bool isPlaceholder(const std::string& path) const;

    /// The platform's cloud status. On Linux no file is a cloud item.
    static const CloudStatus& platform();
};

} // namespace quillmere
