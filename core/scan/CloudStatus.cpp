#include "scan/CloudStatus.h"

namespace quillmere {

namespace {

// Linux has no cloud drive with placeholder files that the file system reports.
class LocalOnly final : public CloudStatus {
  public:
    std::optional<CloudAttributes> attributes(const std::string&) const override {
        return CloudAttributes{};
    }
};

} // namespace

bool CloudStatus::isPlaceholder(const std::string& path) const {
    const auto attributes = this->attributes(path);
    if (!attributes || !attributes->isCloudItem)
        return false;
    return !attributes->isCurrent.value_or(false);
}

const CloudStatus& CloudStatus::platform() {
    static const LocalOnly instance;
    return instance;
}

} // namespace quillmere
