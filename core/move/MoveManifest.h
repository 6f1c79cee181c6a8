// The durable record of one set-aside run in one root: which file went where, how large it was and
// which kept file it was checked against just before the move.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quillmere {

struct MoveRecord {
    std::string from;
    std::string to;
    std::int64_t sizeBytes = 0;
    std::string verifiedAgainst;

    friend bool operator==(const MoveRecord&, const MoveRecord&) = default;
};

struct MoveManifest {
    enum class Layout { pretty, singleLine };

    std::string root;
    std::chrono::system_clock::time_point createdAt;
    std::vector<MoveRecord> records;

    friend bool operator==(const MoveManifest&, const MoveManifest&) = default;

    /// JSON (RFC 8259) with sorted keys, pretty-printed, "/" escaped as "\/", createdAt in UTC
    /// with "Z" and whole seconds. Throws Error when a path is not valid UTF-8.
    std::string encode(Layout layout = Layout::pretty) const;

    /// Strict decoding: every key present with its type, an integral sizeBytes and an ISO 8601
    /// date-time without fraction. Extra keys and key order are ignored. Throws Error, whose
    /// what() says what is wrong and where.
    static MoveManifest decode(std::string_view json);

    /// One record as a single line of JSON, in the form of the manifest's records.
    static std::string encodeRecord(const MoveRecord& record);
    /// Strict decoding of one record object, as decode() checks each record. Throws Error.
    static MoveRecord decodeRecord(std::string_view json);
};

} // namespace quillmere
