// The progress reports of a scan. Hashing and verifying reports come from worker threads, possibly
// at the same time and out of order; every consumer must accept that.
#pragma once

#include <cstdint>
#include <functional>
#include <variant>

namespace quillmere {

namespace scanphase {
struct Enumerating {
    std::int64_t filesFound = 0;
    friend bool operator==(const Enumerating&, const Enumerating&) = default;
};
struct Hashing {
    std::int64_t done = 0;
    std::int64_t total = 0;
    friend bool operator==(const Hashing&, const Hashing&) = default;
};
struct Grouping {
    friend bool operator==(const Grouping&, const Grouping&) = default;
};
struct Verifying {
    std::int64_t done = 0;
    std::int64_t total = 0;
    friend bool operator==(const Verifying&, const Verifying&) = default;
};
} // namespace scanphase

using ScanPhase = std::variant<scanphase::Enumerating, scanphase::Hashing, scanphase::Grouping,
                               scanphase::Verifying>;

using ScanProgress = std::function<void(const ScanPhase&)>;

} // namespace quillmere
