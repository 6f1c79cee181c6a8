// Unicode text rules on UTF-8, through ICU. Paths are compared in sorts over hundreds of thousands
// of entries, so plain ASCII and already-composed text are compared in place, without allocating.
#include "scan/Text.h"

#include "Error.h"

#include <memory>
#include <unicode/brkiter.h>
#include <unicode/bytestream.h>
#include <unicode/locid.h>
#include <unicode/normalizer2.h>
#include <unicode/unistr.h>
#include <unicode/utext.h>
#include <unicode/utf8.h>

namespace quillmere::Text {

namespace {

bool isAscii(std::string_view text) {
    // A branch-free reduction, so the compiler can vectorise it.
    unsigned char bits = 0;
    for (const char c : text)
        bits |= static_cast<unsigned char>(c);
    return bits < 0x80;
}

const icu::Normalizer2& nfcNormalizer() {
    UErrorCode status = U_ZERO_ERROR;
    const icu::Normalizer2* normalizer = icu::Normalizer2::getNFCInstance(status);
    if (U_FAILURE(status) || normalizer == nullptr)
        throw Error(std::string("Unicode normalisation data is unavailable: ") +
                    u_errorName(status));
    return *normalizer;
}

bool isNfc(std::string_view validUtf8) {
    UErrorCode status = U_ZERO_ERROR;
    const bool normalized = nfcNormalizer().isNormalizedUTF8(
        icu::StringPiece(validUtf8.data(), static_cast<int32_t>(validUtf8.size())), status);
    return U_SUCCESS(status) && normalized;
}

// The form that order and equality compare: the NFC form of valid UTF-8, and the bytes themselves
// for anything else. Replacing ill-formed bytes would make different names compare equal. A
// valid NFC form can never equal ill-formed bytes, so the two kinds never collide.
std::string_view comparisonForm(std::string_view text, std::string& storage) {
    if (isAscii(text) || !isValidUtf8(text) || isNfc(text))
        return text;
    storage = nfc(text);
    return storage;
}

} // namespace

std::string nfc(std::string_view text) {
    if (isAscii(text) || !isValidUtf8(text))
        return std::string(text);
    std::string result;
    result.reserve(text.size());
    icu::StringByteSink<std::string> sink(&result);
    UErrorCode status = U_ZERO_ERROR;
    nfcNormalizer().normalizeUTF8(
        0, icu::StringPiece(text.data(), static_cast<int32_t>(text.size())), sink, nullptr, status);
    if (U_FAILURE(status))
        return std::string(text);
    return result;
}

bool less(std::string_view a, std::string_view b) {
    // UTF-8 byte order is code-point order, so after composition a byte comparison suffices.
    if (isAscii(a) && isAscii(b))
        return a < b;
    std::string storageA;
    std::string storageB;
    return comparisonForm(a, storageA) < comparisonForm(b, storageB);
}

bool equal(std::string_view a, std::string_view b) {
    if (a == b)
        return true;
    if (isAscii(a) && isAscii(b))
        return false;
    std::string storageA;
    std::string storageB;
    return comparisonForm(a, storageA) == comparisonForm(b, storageB);
}

std::size_t characterCount(std::string_view text) {
    if (isAscii(text)) {
        // Every ASCII character is a cluster of its own, except that CR LF is one.
        std::size_t count = text.size();
        for (std::size_t i = 1; i < text.size(); ++i)
            if (text[i - 1] == '\r' && text[i] == '\n')
                --count;
        return count;
    }
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::BreakIterator> clusters(
        icu::BreakIterator::createCharacterInstance(icu::Locale::getRoot(), status));
    UText* utext = utext_openUTF8(nullptr, text.data(), static_cast<int64_t>(text.size()), &status);
    if (U_FAILURE(status) || !clusters) {
        utext_close(utext);
        throw Error(std::string("Unicode character data is unavailable: ") + u_errorName(status));
    }
    clusters->setText(utext, status);
    std::size_t count = 0;
    if (U_SUCCESS(status)) {
        clusters->first();
        while (clusters->next() != icu::BreakIterator::DONE)
            ++count;
    }
    utext_close(utext);
    if (U_FAILURE(status))
        throw Error(std::string("Unicode character data is unavailable: ") + u_errorName(status));
    return count;
}

std::string lowercased(std::string_view text) {
    if (isAscii(text) || !isValidUtf8(text)) {
        // Ill-formed bytes are kept as they are rather than replaced: only ASCII letters change.
        std::string result(text);
        for (char& c : result)
            if (c >= 'A' && c <= 'Z')
                c = static_cast<char>(c - 'A' + 'a');
        return result;
    }
    icu::UnicodeString unicode = icu::UnicodeString::fromUTF8(
        icu::StringPiece(text.data(), static_cast<int32_t>(text.size())));
    unicode.toLower(icu::Locale::getRoot());
    std::string result;
    unicode.toUTF8String(result);
    return result;
}

bool isValidUtf8(std::string_view text) {
    // U8_NEXT rejects overlong forms, surrogates, values above U+10FFFF and truncated sequences.
    const auto* bytes = reinterpret_cast<const uint8_t*>(text.data());
    const auto length = static_cast<int64_t>(text.size());
    int64_t i = 0;
    while (i < length) {
        if (bytes[i] < 0x80) {
            ++i;
            continue;
        }
        UChar32 c;
        U8_NEXT(bytes, i, length, c);
        if (c < 0)
            return false;
    }
    return true;
}

} // namespace quillmere::Text
