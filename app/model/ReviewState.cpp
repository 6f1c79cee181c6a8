// Review state files: their place, their name and their JSON (RFC 8259). Reading goes through a
// streaming parser that accepts exactly one flat object of decision texts and stops at anything
// else, so a corrupt, hostile or deeply nested file costs no more than its bytes.
#include "model/ReviewState.h"

#include "Error.h"
#include "fs/FileSystem.h"
#include "scan/Text.h"

#include <QByteArray>
#include <QCryptographicHash>
#include <QStandardPaths>
#include <algorithm>
#include <map>
#include <nlohmann/json.hpp>
#include <sys/stat.h>

namespace quillmere::ReviewState {

namespace {

using Json = nlohmann::json;

std::optional<std::string>& overrideFolder() {
    static std::optional<std::string> folder;
    return folder;
}

bool createFolder(const std::string& path) {
    try {
        FileSystem::createDirectories(path);
        return true;
    } catch (const Error&) {
        return false;
    }
}

// Accepts {"path": "discard", ...} and nothing else: any other value, nesting or a second
// top-level value ends the parse.
class DecisionReader final : public nlohmann::json_sax<Json> {
  public:
    SavedDecisions decisions;
    bool sawObject = false;

    bool start_object(std::size_t) override {
        if (sawObject)
            return false;
        sawObject = true;
        return true;
    }
    bool key(string_t& name) override {
        key_ = std::move(name);
        return true;
    }
    bool string(string_t& value) override {
        const auto decision = Decisions::fromRawValue(value);
        if (!sawObject || !decision)
            return false;
        decisions.insert_or_assign(std::move(key_), *decision);
        return true;
    }
    bool end_object() override { return true; }

    bool null() override { return false; }
    bool boolean(bool) override { return false; }
    bool number_integer(number_integer_t) override { return false; }
    bool number_unsigned(number_unsigned_t) override { return false; }
    bool number_float(number_float_t, const string_t&) override { return false; }
    bool binary(binary_t&) override { return false; }
    bool start_array(std::size_t) override { return false; }
    bool end_array() override { return false; }
    bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception&) override {
        return false;
    }

  private:
    std::string key_;
};

} // namespace

void setStateDirectoryOverride(std::optional<std::string> folder) {
    overrideFolder() = std::move(folder);
}

const std::optional<std::string>& stateDirectoryOverride() {
    return overrideFolder();
}

std::optional<std::string> stateDirectory() {
    if (const auto& folder = overrideFolder()) {
        createFolder(*folder);
        return folder;
    }
    const std::string dataFolder =
        QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation).toStdString();
    if (dataFolder.empty() || !createFolder(dataFolder))
        return std::nullopt;
    const std::string folder = FileSystem::join(dataFolder, "Quillmere");
    createFolder(folder);
    return folder;
}

namespace {

// prefix + 16 hex digits of the SHA-256 of the sorted roots + ".json" in the state directory.
std::optional<std::string> stateFileForRoots(std::string_view prefix,
                                             const std::vector<std::string>& roots) {
    const auto folder = stateDirectory();
    if (!folder)
        return std::nullopt;
    std::vector<std::string> sorted = roots;
    std::sort(sorted.begin(), sorted.end(),
              [](const std::string& a, const std::string& b) { return Text::less(a, b); });
    QByteArray joined;
    for (std::size_t i = 0; i < sorted.size(); ++i) {
        if (i > 0)
            joined += '\n';
        joined += QByteArray::fromStdString(sorted[i]);
    }
    const QByteArray digest = QCryptographicHash::hash(joined, QCryptographicHash::Sha256);
    const std::string name = std::string(prefix) + digest.first(8).toHex().toStdString() + ".json";
    return FileSystem::join(*folder, name);
}

} // namespace

std::optional<std::string> stateFileForScan(const std::vector<std::string>& roots) {
    return stateFileForRoots("scan-", roots);
}

std::optional<std::string> stateFileForSimilar(const std::vector<std::string>& roots) {
    return stateFileForRoots("similar-", roots);
}

std::string stateFileForManifest(const std::string& manifestPath) {
    return FileSystem::join(FileSystem::parent(manifestPath), manifestStateFileName);
}

std::string encode(const std::vector<ReviewItem>& items) {
    // A std::map keeps the keys in ascending byte order, which for UTF-8 is code-point order.
    std::map<std::string, std::string> members;
    for (const auto& item : items)
        if (item.decision != ReviewItem::Decision::undecided)
            members.emplace(item.id, std::string(Decisions::rawValue(item.decision)));
    try {
        return Json(members).dump(2);
    } catch (const Json::exception&) {
        throw Error("a path is not valid UTF-8 and cannot be saved");
    }
}

std::optional<SavedDecisions> decode(std::string_view json) {
    DecisionReader reader;
    if (!Json::sax_parse(json.begin(), json.end(), &reader) || !reader.sawObject)
        return std::nullopt;
    return std::move(reader.decisions);
}

std::optional<SavedDecisions> read(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode) || info.st_size > maxFileBytes)
        return std::nullopt;
    try {
        const std::string contents = FileSystem::readAll(path);
        if (std::int64_t(contents.size()) > maxFileBytes)
            return std::nullopt;
        return decode(contents);
    } catch (const Error&) {
        return std::nullopt;
    }
}

void write(const std::string& path, const std::string& encoded) {
    try {
        FileSystem::writeAtomically(path, encoded);
    } catch (const Error&) {
        // Marks are then not remembered; the review itself goes on.
    }
}

} // namespace quillmere::ReviewState
