// Keep selection by name rules. The patterns are ICU regular expressions, where \d is any decimal
// digit; "\z" is the end of the text (ICU's "$" would also match before a final line break).
#include "scan/KeepSelector.h"

#include "scan/Text.h"

#include <array>
#include <memory>
#include <set>
#include <unicode/regex.h>
#include <unicode/unistr.h>

namespace quillmere::KeepSelector {

namespace {

std::unique_ptr<icu::RegexPattern> compile(const char* pattern, uint32_t flags = 0) {
    UErrorCode status = U_ZERO_ERROR;
    UParseError parseError;
    std::unique_ptr<icu::RegexPattern> compiled(icu::RegexPattern::compile(
        icu::UnicodeString::fromUTF8(pattern), flags, parseError, status));
    if (U_FAILURE(status))
        std::abort(); // The patterns are constants; a failure here is a programming error.
    return compiled;
}

struct Patterns {
    std::array<std::unique_ptr<icu::RegexPattern>, 4> copy = {
        compile(R"( \d{1,2}\z)"),
        compile(R"([ _-]?\(\d{1,2}\)\z)"),
        compile(R"([ _-]cop(y|ie)([ _-]\d{1,2})?\z)"),
        compile(R"(^\d{1,2}_)"),
    };
    std::unique_ptr<icu::RegexPattern> sibling = compile(
        R"([ _-]\(?\d{1,3}\)?\z|[ _-]?cop(y|ie)([ _-]\d{1,3})?\z)", UREGEX_CASE_INSENSITIVE);
    std::unique_ptr<icu::RegexPattern> datePrefix = compile(R"(^\d{6,8}[-_])");
};

const Patterns& patterns() {
    static const Patterns compiled;
    return compiled;
}

// Start of the first match in code units of `text`, or -1.
int32_t firstMatch(const icu::RegexPattern& pattern, const icu::UnicodeString& text) {
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::RegexMatcher> matcher(pattern.matcher(text, status));
    if (U_FAILURE(status) || !matcher->find(status) || U_FAILURE(status))
        return -1;
    return matcher->start(status);
}

std::string_view nameOf(std::string_view path) {
    const auto slash = path.rfind('/');
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

// The name without the text after its last "."; a leading dot does not start an extension.
std::string_view stemOf(std::string_view name) {
    const auto dot = name.rfind('.');
    return dot == std::string_view::npos || dot == 0 ? name : name.substr(0, dot);
}

icu::UnicodeString loweredStem(std::string_view filename) {
    return icu::UnicodeString::fromUTF8(Text::lowercased(stemOf(filename)));
}

struct Candidate {
    const std::string* path;
    bool copyLike;
    bool renamed;
    std::size_t nameLength;
    std::size_t pathLength;
};

bool isSiblingCopy(const icu::UnicodeString& stem, const std::set<icu::UnicodeString>& stems) {
    const int32_t start = firstMatch(*patterns().sibling, stem);
    if (start <= 0)
        return false;
    const icu::UnicodeString base(stem, 0, start);
    return base != stem && stems.count(base) > 0;
}

// True when `challenger` beats `current` by the first rule that tells them apart.
bool beats(const Candidate& challenger, const Candidate& current) {
    if (challenger.copyLike != current.copyLike)
        return !challenger.copyLike;
    if (challenger.renamed != current.renamed)
        return challenger.renamed;
    if (challenger.nameLength != current.nameLength)
        return challenger.nameLength > current.nameLength;
    if (challenger.pathLength != current.pathLength)
        return challenger.pathLength > current.pathLength;
    return Text::less(*challenger.path, *current.path);
}

} // namespace

bool looksLikeCopy(std::string_view filename) {
    const icu::UnicodeString stem = loweredStem(filename);
    for (const auto& pattern : patterns().copy)
        if (firstMatch(*pattern, stem) >= 0)
            return true;
    return false;
}

bool looksRenamed(std::string_view filename) {
    return firstMatch(*patterns().datePrefix, icu::UnicodeString::fromUTF8(stemOf(filename))) >= 0;
}

std::string chooseKeep(const std::vector<std::string>& paths) {
    std::set<icu::UnicodeString> stems;
    for (const auto& path : paths)
        stems.insert(loweredStem(nameOf(path)));

    auto describe = [&](const std::string& path) {
        const std::string_view name = nameOf(path);
        return Candidate{&path, looksLikeCopy(name) || isSiblingCopy(loweredStem(name), stems),
                         looksRenamed(name), Text::characterCount(name),
                         Text::characterCount(path)};
    };

    Candidate best = describe(paths.front());
    for (std::size_t i = 1; i < paths.size(); ++i) {
        const Candidate challenger = describe(paths[i]);
        if (beats(challenger, best))
            best = challenger;
    }
    return *best.path;
}

} // namespace quillmere::KeepSelector
