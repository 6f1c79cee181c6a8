// Text rules shared by the whole system: equality is Unicode canonical equivalence, ascending order
// compares NFC-normalised texts code point by code point, and lengths count user-perceived
// characters (grapheme clusters).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace quillmere::Text {

/// Canonical composition (NFC) of UTF-8 text; text that is not valid UTF-8 comes back unchanged.
std::string nfc(std::string_view text);

/// Ascending text order: code-point order of the NFC forms (byte order for ASCII). Text that is
/// not valid UTF-8 takes part by its bytes, so two different ill-formed names never compare equal.
bool less(std::string_view a, std::string_view b);

/// Canonical equivalence.
bool equal(std::string_view a, std::string_view b);

/// Number of grapheme clusters.
std::size_t characterCount(std::string_view text);

/// Lower-cased text (full Unicode case mapping, root locale); in text that is not valid UTF-8
/// only the ASCII letters change.
std::string lowercased(std::string_view text);

bool isValidUtf8(std::string_view text);

} // namespace quillmere::Text
