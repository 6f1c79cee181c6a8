// The manifest's JSON: exact layout when written, strict but tolerant reading.
#include "move/MoveManifest.h"

#include "Error.h"

#include <gtest/gtest.h>

using namespace quillmere;
using namespace std::chrono;

namespace {

system_clock::time_point at(year_month_day date, seconds time) {
    return sys_days{date} + time;
}

MoveManifest sample() {
    return {"/Volumes/A",
            at(2026y / 12 / 5, 18h + 53min + 13s),
            {{"/Volumes/A/2024/IMG 1.jpg", "/Volumes/A/_duplicates_review/2024/IMG 1.jpg", 1234,
              "/Volumes/A/keep/IMG 1.jpg"},
             {"/Volumes/A/b.mov", "/Volumes/A/_duplicates_review/b.mov", 9000000000,
              "/Volumes/A/a.mov"}}};
}

// The message of the Error that decoding `json` throws, or "" when it does not throw.
std::string decodeError(std::string_view json) {
    try {
        MoveManifest::decode(json);
    } catch (const Error& error) {
        return error.what();
    }
    return "";
}

std::string withRecord(std::string_view record) {
    return R"({"createdAt": "2026-12-05T18:53:13Z", "root": "/r", "records": [)" +
           std::string(record) + "]}";
}

const std::string goodRecord =
    R"({"from": "/r/a.jpg", "sizeBytes": 5, "to": "/r/_duplicates_review/a.jpg", "verifiedAgainst": "/r/k.jpg"})";

} // namespace

TEST(MoveManifestTest, EncodesSortedKeysPrettyPrintedWithEscapedSlashes) {
    auto manifest = sample();
    manifest.createdAt += 700ms;
    manifest.records.pop_back();
    EXPECT_EQ(manifest.encode(), R"({
  "createdAt": "2026-12-05T18:53:13Z",
  "records": [
    {
      "from": "\/Volumes\/A\/2024\/IMG 1.jpg",
      "sizeBytes": 1234,
      "to": "\/Volumes\/A\/_duplicates_review\/2024\/IMG 1.jpg",
      "verifiedAgainst": "\/Volumes\/A\/keep\/IMG 1.jpg"
    }
  ],
  "root": "\/Volumes\/A"
})");
}

TEST(MoveManifestTest, EmptyRecordsAreWrittenAndReadBack) {
    MoveManifest manifest{"/r", at(2001y / 1 / 2, 3h + 4min + 5s), {}};
    const auto json = manifest.encode();
    EXPECT_NE(json.find(R"("records": [])"), std::string::npos) << json;
    EXPECT_EQ(MoveManifest::decode(json), manifest);
}

TEST(MoveManifestTest, RoundTripKeepsValuesAndTruncatesTimeToWholeSeconds) {
    auto manifest = sample();
    const auto whole = manifest.createdAt;
    manifest.createdAt += 999ms;
    auto decoded = MoveManifest::decode(manifest.encode());
    EXPECT_EQ(decoded.createdAt, whole);
    decoded.createdAt = manifest.createdAt;
    EXPECT_EQ(decoded, manifest);
}

TEST(MoveManifestTest, RoundTripOfAwkwardPaths) {
    // Spaces, non-ASCII, quotes, backslashes (one right before a slash), control characters.
    const std::vector<std::string> paths = {
        "/r/with space/Ünïcødé 写真 😀.heic", "/r/quote\"d/a.jpg",    "/r/back\\slash\\/x.jpg",
        "/r/tab\there/new\nline.jpg",        "/r//double//slashes/", "\\/"};
    for (const auto& path : paths) {
        const MoveManifest manifest{
            path, at(1999y / 12 / 31, 23h + 59min + 59s), {{path, path + "/to", 0, path}}};
        EXPECT_EQ(MoveManifest::decode(manifest.encode()), manifest) << path;
    }
}

TEST(MoveManifestTest, EncodingRefusesPathsThatAreNotUtf8) {
    const MoveManifest manifest{
        "/r", {}, {{"/r/\xff.jpg", "/r/_duplicates_review/\xff.jpg", 1, "/r/k"}}};
    EXPECT_THROW(manifest.encode(), Error);
}

TEST(MoveManifestTest, DecodingToleratesKeyOrderExtraKeysWhitespaceAndBothSlashForms) {
    const std::string json = R"({"zzz": {"nested": [1, [2, {"x": null}], "\/"]},
        "records": [{"verifiedAgainst": "\/r\/k.jpg", "extra": [true, false, 1.5, {}],
                     "to": "/r/_duplicates_review/a.jpg", "sizeBytes": 5, "from": "/r/a.jpg"}],
        "root": "\/r", "createdAt": "2026-12-05T18:53:13Z", "aaa": -1})";
    const MoveManifest expected{"/r",
                                at(2026y / 12 / 5, 18h + 53min + 13s),
                                {{"/r/a.jpg", "/r/_duplicates_review/a.jpg", 5, "/r/k.jpg"}}};
    EXPECT_EQ(MoveManifest::decode(json), expected);
    // Compact form, as another writer might produce.
    EXPECT_EQ(
        MoveManifest::decode(R"({"root":"/r","createdAt":"2026-12-05T18:53:13Z","records":[]})")
            .root,
        "/r");
}

TEST(MoveManifestTest, DecodingAcceptsInternetDateTimesWithOffsets) {
    const auto expected = at(2026y / 12 / 5, 18h + 53min + 13s);
    for (const std::string date : {"2026-12-05T18:53:13Z", "2026-12-05T19:53:13+01:00",
                                   "2026-12-05T13:23:13-05:30", "2026-12-05t18:53:13z"}) {
        const auto json = R"({"root": "/r", "records": [], "createdAt": ")" + date + "\"}";
        EXPECT_EQ(MoveManifest::decode(json).createdAt, expected) << date;
    }
    const auto leapDay = MoveManifest::decode(
        R"({"root": "/r", "records": [], "createdAt": "2024-02-29T00:00:00Z"})");
    EXPECT_EQ(leapDay.createdAt, at(2024y / 2 / 29, 0s));
}

TEST(MoveManifestTest, MissingKeysAreRejectedWithTheirName) {
    EXPECT_EQ(decodeError(R"({"createdAt": "2026-12-05T18:53:13Z", "records": []})"),
              "missing key \"root\"");
    EXPECT_EQ(decodeError(R"({"root": "/r", "records": []})"), "missing key \"createdAt\"");
    EXPECT_EQ(decodeError(R"({"root": "/r", "createdAt": "2026-12-05T18:53:13Z"})"),
              "missing key \"records\"");
    // A record without "verifiedAgainst" fails the whole manifest, not just the record.
    EXPECT_EQ(
        decodeError(withRecord(
            goodRecord +
            R"(, {"from": "/r/b.jpg", "sizeBytes": 5, "to": "/r/_duplicates_review/b.jpg"})")),
        "missing key \"verifiedAgainst\" in record 2");
    EXPECT_EQ(decodeError(withRecord(R"({"sizeBytes": 5, "to": "/t", "verifiedAgainst": "/k"})")),
              "missing key \"from\" in record 1");
    // A key of a record does not count at the top level, nor the other way round.
    EXPECT_EQ(decodeError(R"({"root": "/r", "records": [], "from": "2026-12-05T18:53:13Z"})"),
              "missing key \"createdAt\"");
}

TEST(MoveManifestTest, WrongTypesAreRejectedSayingWhatWasFound) {
    EXPECT_EQ(decodeError("[]"), "the manifest is an array, not a JSON object");
    EXPECT_EQ(decodeError("\"text\""), "the manifest is a string, not a JSON object");
    EXPECT_EQ(decodeError(R"({"root": 5, "createdAt": "2026-12-05T18:53:13Z", "records": []})"),
              "\"root\" is a number, not a string");
    EXPECT_EQ(decodeError(R"({"root": "/r", "createdAt": null, "records": []})"),
              "\"createdAt\" is null, not a string");
    EXPECT_EQ(decodeError(R"({"root": "/r", "createdAt": "2026-12-05T18:53:13Z", "records": {}})"),
              "\"records\" is an object, not an array");
    EXPECT_EQ(decodeError(withRecord(goodRecord + ", \"/r/a.jpg\"")),
              "record 2 is a string, not an object");
    EXPECT_EQ(decodeError(withRecord(
                  R"({"from": ["/r/a"], "sizeBytes": 5, "to": "/t", "verifiedAgainst": "/k"})")),
              "\"from\" in record 1 is an array, not a string");
    EXPECT_EQ(decodeError(withRecord(
                  R"({"from": "/r/a", "sizeBytes": "5", "to": "/t", "verifiedAgainst": "/k"})")),
              "\"sizeBytes\" in record 1 is a string, not an integer");
    EXPECT_EQ(decodeError(withRecord(
                  R"({"from": "/r/a", "sizeBytes": 5, "to": true, "verifiedAgainst": "/k"})")),
              "\"to\" in record 1 is a boolean, not a string");
}

TEST(MoveManifestTest, SizesMustBeNonNegativeIntegersWithinRange) {
    const auto withSize = [](std::string_view size) {
        return withRecord(R"({"from": "/r/a", "to": "/t", "verifiedAgainst": "/k", "sizeBytes": )" +
                          std::string(size) + "}");
    };
    EXPECT_EQ(decodeError(withSize("1.5")), "\"sizeBytes\" in record 1 is not an integer: 1.5");
    EXPECT_EQ(decodeError(withSize("5.0")), "\"sizeBytes\" in record 1 is not an integer: 5.0");
    EXPECT_EQ(decodeError(withSize("1e3")), "\"sizeBytes\" in record 1 is not an integer: 1e3");
    EXPECT_EQ(decodeError(withSize("-1")), "\"sizeBytes\" in record 1 is negative: -1");
    EXPECT_EQ(decodeError(withSize("9223372036854775808")),
              "\"sizeBytes\" in record 1 is too large: 9223372036854775808");
    EXPECT_EQ(MoveManifest::decode(withSize("9223372036854775807")).records.at(0).sizeBytes,
              INT64_MAX);
    EXPECT_EQ(MoveManifest::decode(withSize("0")).records.at(0).sizeBytes, 0);
}

TEST(MoveManifestTest, DatesMustBeInternetDateTimesInWholeSeconds) {
    for (const std::string date :
         {"2026-12-05T18:53:13.5Z", "2026-12-05T18:53:13.000Z", "2026-12-05 18:53:13Z",
          "2026-12-05T18:53:13", "2026-12-05", "2026-02-30T00:00:00Z", "2025-02-29T00:00:00Z",
          "2026-13-01T00:00:00Z", "2026-00-10T00:00:00Z", "2026-12-05T24:00:00Z",
          "2026-12-05T18:60:00Z", "2026-12-31T23:59:60Z", "2026-12-05T18:53:13+0100",
          "2026-12-05T18:53:13+24:00", "+2026-12-05T18:53:13Z", "２026-12-05T18:53:13Z", ""}) {
        const auto json = R"({"root": "/r", "records": [], "createdAt": ")" + date + "\"}";
        const auto message = decodeError(json);
        EXPECT_TRUE(message.starts_with("\"createdAt\" is not an ISO 8601 date-time in whole "
                                        "seconds such as 2026-12-05T18:53:13Z"))
            << date << " -> " << message;
    }
}

TEST(MoveManifestTest, MalformedTextIsRejectedWithADescription) {
    const std::string complete = withRecord(goodRecord);
    ASSERT_EQ(decodeError(complete), "");
    EXPECT_EQ(decodeError(""), "the file is empty");
    // Every truncation of a valid manifest fails; none reads partially.
    for (std::size_t length = 1; length < complete.size(); ++length)
        EXPECT_NE(decodeError(complete.substr(0, length)), "") << length;
    const auto truncated = decodeError(complete.substr(0, 40));
    EXPECT_TRUE(truncated.starts_with("not valid JSON: parse error at line 1")) << truncated;
    EXPECT_TRUE(decodeError(complete + " {}").starts_with("not valid JSON: "));
    EXPECT_TRUE(decodeError("   \n").starts_with("not valid JSON: "));
    EXPECT_TRUE(decodeError("{\"root\": '/r'}").starts_with("not valid JSON: "));
    EXPECT_TRUE(decodeError("{\"root\": \"/r\",}").starts_with("not valid JSON: "));
}

TEST(MoveManifestTest, InvalidUtf8IsRejected) {
    EXPECT_EQ(decodeError(withRecord("{\"from\": \"/r/\xc3(.jpg\", \"sizeBytes\": 5, \"to\": "
                                     "\"/t\", \"verifiedAgainst\": \"/k\"}")),
              "the file is not valid UTF-8 text");
    EXPECT_EQ(decodeError("\xff" + withRecord(goodRecord)), "the file is not valid UTF-8 text");
    // An overlong encoding of "/" is not a slash.
    EXPECT_EQ(decodeError(R"({"root": ")"
                          "\xc0\xaf"
                          R"(", "createdAt": "2026-12-05T18:53:13Z", "records": []})"),
              "the file is not valid UTF-8 text");
}

TEST(MoveManifestTest, DeepNestingAndLargeValuesDoNotCrash) {
    const std::string deep = std::string(1'000'000, '[') + std::string(1'000'000, ']');
    // Passed over inside an unknown key, refused where a manifest value belongs.
    const auto skipped = MoveManifest::decode(
        R"({"root": "/r", "createdAt": "2026-12-05T18:53:13Z", "records": [], "x": )" + deep + "}");
    EXPECT_EQ(skipped.root, "/r");
    EXPECT_EQ(decodeError(R"({"root": )" + deep + "}"), "\"root\" is an array, not a string");
    // A huge bad value is not repeated in the message.
    const auto longDate = std::string(100000, '9');
    EXPECT_EQ(decodeError(R"({"root": "/r", "records": [], "createdAt": ")" + longDate + "\"}"),
              "\"createdAt\" is not an ISO 8601 date-time in whole seconds such as "
              "2026-12-05T18:53:13Z");
}
