// Manifest encoding and strict decoding. The reader is a streaming (SAX) decoder that fills the
// records directly, so a large or hostile file never becomes a document tree in memory, and it
// stops at the first problem with a message that says what and where.
#include "move/MoveManifest.h"

#include "Error.h"
#include "scan/Text.h"

#include <cstdint>
#include <cstdio>
#include <limits>
#include <nlohmann/json.hpp>
#include <optional>

namespace quillmere {

namespace {

using Json = nlohmann::json;
using namespace std::chrono;

// RFC 3339 internet date-time in UTC, whole seconds.
std::string formatDateTime(system_clock::time_point time) {
    const auto seconds = floor<std::chrono::seconds>(time);
    const auto day = floor<days>(seconds);
    const year_month_day date{day};
    const hh_mm_ss clock{seconds - day};
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02u-%02uT%02d:%02d:%02dZ", int(date.year()),
                  unsigned(date.month()), unsigned(date.day()), int(clock.hours().count()),
                  int(clock.minutes().count()), int(clock.seconds().count()));
    return text;
}

std::optional<int> digitsAt(std::string_view text, std::size_t position, std::size_t count) {
    int value = 0;
    for (std::size_t i = position; i < position + count; ++i) {
        if (text[i] < '0' || text[i] > '9')
            return std::nullopt;
        value = value * 10 + (text[i] - '0');
    }
    return value;
}

// RFC 3339 date-time: yyyy-MM-ddTHH:mm:ss then "Z" or a "+hh:mm"/"-hh:mm" offset. Fractional
// seconds and leap seconds are refused.
std::optional<system_clock::time_point> parseDateTime(std::string_view text) {
    if (text.size() != 20 && text.size() != 25)
        return std::nullopt;
    if (text[4] != '-' || text[7] != '-' || (text[10] != 'T' && text[10] != 't') ||
        text[13] != ':' || text[16] != ':')
        return std::nullopt;
    const auto yearValue = digitsAt(text, 0, 4), monthValue = digitsAt(text, 5, 2),
               dayValue = digitsAt(text, 8, 2), hour = digitsAt(text, 11, 2),
               minute = digitsAt(text, 14, 2), second = digitsAt(text, 17, 2);
    if (!yearValue || !monthValue || !dayValue || !hour || !minute || !second)
        return std::nullopt;
    const year_month_day date{year{*yearValue}, month{unsigned(*monthValue)},
                              day{unsigned(*dayValue)}};
    if (!date.ok() || *hour > 23 || *minute > 59 || *second > 59)
        return std::nullopt;

    minutes offset{0};
    if (text.size() == 20) {
        if (text[19] != 'Z' && text[19] != 'z')
            return std::nullopt;
    } else {
        const auto offsetHours = digitsAt(text, 20, 2), offsetMinutes = digitsAt(text, 23, 2);
        if ((text[19] != '+' && text[19] != '-') || text[22] != ':' || !offsetHours ||
            !offsetMinutes || *offsetHours > 23 || *offsetMinutes > 59)
            return std::nullopt;
        offset = hours{*offsetHours} + minutes{*offsetMinutes};
        if (text[19] == '-')
            offset = -offset;
    }
    const sys_seconds utc =
        sys_days{date} + hours{*hour} + minutes{*minute} + seconds{*second} - offset;
    // The clock counts nanoseconds in 64 bits, so only the years from about 1678 to 2262 fit.
    using Clock = system_clock::time_point;
    if (utc < ceil<seconds>(Clock::min()) || utc > floor<seconds>(Clock::max()))
        return std::nullopt;
    return Clock(utc);
}

// A value is quoted in a message only when short, so that a huge one cannot swamp it.
std::string shown(std::string_view value) {
    return value.size() <= 64 ? ": " + std::string(value) : std::string();
}

// Reads a whole manifest, or with `singleRecord` one record object alone.
class ManifestReader final : public nlohmann::json_sax<Json> {
  public:
    explicit ManifestReader(bool singleRecord)
        : place_(singleRecord ? Place::records : Place::start), singleRecord_(singleRecord) {}

    MoveManifest manifest;

    bool null() override { return scalar("null"); }
    bool boolean(bool) override { return scalar("a boolean"); }
    bool binary(binary_t&) override { return scalar("binary data"); }

    bool number_integer(number_integer_t value) override {
        if (skipping(false))
            return true;
        if (field_ != Field::sizeBytes)
            wrongType("a number");
        if (value < 0)
            fail(quotedField() + " is negative" + shown(std::to_string(value)));
        record_.sizeBytes = value;
        return taken();
    }

    bool number_unsigned(number_unsigned_t value) override {
        if (value <= number_unsigned_t(std::numeric_limits<std::int64_t>::max()))
            return number_integer(number_integer_t(value));
        if (skipping(false))
            return true;
        if (field_ != Field::sizeBytes)
            wrongType("a number");
        fail(quotedField() + " is too large" + shown(std::to_string(value)));
    }

    bool number_float(number_float_t, const string_t& text) override {
        if (skipping(false))
            return true;
        if (field_ != Field::sizeBytes)
            wrongType("a number");
        fail(quotedField() + " is not an integer" + shown(text));
    }

    bool string(string_t& value) override {
        if (skipping(false))
            return true;
        switch (field_) {
        case Field::root:
            manifest.root = std::move(value);
            break;
        case Field::createdAt: {
            const auto time = parseDateTime(value);
            if (!time)
                fail("\"createdAt\" is not an ISO 8601 date-time in whole seconds such as "
                     "2026-12-05T18:53:13Z" +
                     shown(value));
            manifest.createdAt = *time;
            break;
        }
        case Field::from:
            record_.from = std::move(value);
            break;
        case Field::to:
            record_.to = std::move(value);
            break;
        case Field::verifiedAgainst:
            record_.verifiedAgainst = std::move(value);
            break;
        default:
            wrongType("a string");
        }
        return taken();
    }

    bool start_object(std::size_t) override {
        if (skipping(true))
            return true;
        if (place_ == Place::start) {
            place_ = Place::top;
        } else if (place_ == Place::records) {
            place_ = Place::record;
            record_ = MoveRecord{};
            recordSeen_ = 0;
            ++recordNumber_;
        } else {
            wrongType("an object");
        }
        return true;
    }

    bool key(string_t& name) override {
        if (skip_ > 0)
            return true;
        field_ = Field::unknown;
        for (const auto& entry : fieldNames)
            if (entry.inRecord == (place_ == Place::record) && name == entry.text)
                field_ = entry.field;
        return true;
    }

    bool end_object() override {
        if (skip_ > 0) {
            --skip_;
            return true;
        }
        if (place_ == Place::record) {
            requireAll(true, recordSeen_, where());
            manifest.records.push_back(std::move(record_));
            place_ = Place::records;
            field_ = Field::none;
        } else {
            requireAll(false, topSeen_, "");
        }
        return true;
    }

    bool start_array(std::size_t) override {
        if (skipping(true))
            return true;
        if (place_ != Place::top || field_ != Field::records)
            wrongType("an array");
        topSeen_ |= bit(Field::records);
        manifest.records.clear();
        recordNumber_ = 0;
        place_ = Place::records;
        field_ = Field::none;
        return true;
    }

    bool end_array() override {
        if (skip_ > 0) {
            --skip_;
            return true;
        }
        place_ = Place::top;
        return true;
    }

    bool parse_error(std::size_t, const std::string&,
                     const nlohmann::detail::exception& error) override {
        // Drop the library's "[json.exception.parse_error.101] " tag; the rest says where.
        std::string_view message = error.what();
        if (const auto end = message.find("] ");
            !message.empty() && message[0] == '[' && end != std::string_view::npos)
            message.remove_prefix(end + 2);
        fail("not valid JSON: " + std::string(message));
    }

  private:
    enum class Place { start, top, records, record };
    enum class Field {
        none,
        unknown,
        root,
        createdAt,
        records,
        from,
        to,
        sizeBytes,
        verifiedAgainst
    };

    struct FieldName {
        std::string_view text;
        Field field;
        bool inRecord;
    };
    // In the order a missing key is reported.
    static constexpr FieldName fieldNames[] = {{"createdAt", Field::createdAt, false},
                                               {"records", Field::records, false},
                                               {"root", Field::root, false},
                                               {"from", Field::from, true},
                                               {"sizeBytes", Field::sizeBytes, true},
                                               {"to", Field::to, true},
                                               {"verifiedAgainst", Field::verifiedAgainst, true}};

    static unsigned bit(Field field) { return 1u << unsigned(field); }

    [[noreturn]] static void fail(const std::string& message) { throw Error(message); }

    // Inside a value of an unknown key everything is passed over; `opens` tells whether the
    // value starts an object or array whose end must be found.
    bool skipping(bool opens) {
        if (skip_ == 0 && field_ != Field::unknown)
            return false;
        if (opens)
            ++skip_;
        return true;
    }

    bool scalar(const char* what) {
        if (!skipping(false))
            wrongType(what);
        return true;
    }

    bool taken() {
        (place_ == Place::record ? recordSeen_ : topSeen_) |= bit(field_);
        return true;
    }

    std::string where() const {
        return place_ == Place::record && !singleRecord_
                   ? " in record " + std::to_string(recordNumber_)
                   : "";
    }

    std::string quotedField() const {
        for (const auto& entry : fieldNames)
            if (entry.field == field_)
                return "\"" + std::string(entry.text) + "\"" + where();
        return {};
    }

    [[noreturn]] void wrongType(const char* got) const {
        if (place_ == Place::start)
            fail(std::string("the manifest is ") + got + ", not a JSON object");
        if (place_ == Place::records && singleRecord_)
            fail(std::string("the record is ") + got + ", not an object");
        if (place_ == Place::records)
            fail("record " + std::to_string(recordNumber_ + 1) + " is " + got + ", not an object");
        const char* wanted = field_ == Field::records     ? "an array"
                             : field_ == Field::sizeBytes ? "an integer"
                                                          : "a string";
        fail(quotedField() + " is " + got + ", not " + wanted);
    }

    static void requireAll(bool inRecord, unsigned seen, const std::string& where) {
        for (const auto& entry : fieldNames)
            if (entry.inRecord == inRecord && !(seen & bit(entry.field)))
                fail("missing key \"" + std::string(entry.text) + "\"" + where);
    }

    Place place_;
    bool singleRecord_;
    Field field_ = Field::none;
    std::int64_t skip_ = 0;
    unsigned topSeen_ = 0;
    unsigned recordSeen_ = 0;
    std::int64_t recordNumber_ = 0;
    MoveRecord record_;
};

Json recordJson(const MoveRecord& record) {
    return {{"from", record.from},
            {"sizeBytes", record.sizeBytes},
            {"to", record.to},
            {"verifiedAgainst", record.verifiedAgainst}};
}

// `indent` as nlohmann's dump takes it: -1 for a single line.
std::string dumped(const Json& document, int indent) {
    std::string text;
    try {
        text = document.dump(indent);
    } catch (const Json::exception&) {
        throw Error("a path is not valid UTF-8 and cannot be recorded");
    }
    // The escaped form of "/" is what other readers of these files expect. In these documents a
    // "/" can only stand inside a string (structure, numbers and the date hold none), and the
    // dump never escapes it itself, so each one is escaped here.
    std::string json;
    json.reserve(text.size() + text.size() / 8);
    for (const char c : text) {
        if (c == '/')
            json += '\\';
        json += c;
    }
    return json;
}

void checkText(std::string_view json) {
    if (json.empty())
        throw Error("the file is empty");
    if (!Text::isValidUtf8(json))
        throw Error("the file is not valid UTF-8 text");
}

} // namespace

std::string MoveManifest::encode(Layout layout) const {
    Json recordsJson = Json::array();
    for (const auto& record : records)
        recordsJson.push_back(recordJson(record));
    // nlohmann's object keeps its keys in a std::map, so they come out in ascending order.
    const Json document = {
        {"createdAt", formatDateTime(createdAt)}, {"records", recordsJson}, {"root", root}};
    return dumped(document, layout == Layout::pretty ? 2 : -1);
}

std::string MoveManifest::encodeRecord(const MoveRecord& record) {
    return dumped(recordJson(record), -1);
}

MoveManifest MoveManifest::decode(std::string_view json) {
    checkText(json);
    ManifestReader reader(false);
    // Every handler either accepts or throws, so a return means a complete manifest.
    Json::sax_parse(json.begin(), json.end(), &reader);
    return std::move(reader.manifest);
}

MoveRecord MoveManifest::decodeRecord(std::string_view json) {
    checkText(json);
    ManifestReader reader(true);
    Json::sax_parse(json.begin(), json.end(), &reader);
    return std::move(reader.manifest.records.front());
}

} // namespace quillmere
