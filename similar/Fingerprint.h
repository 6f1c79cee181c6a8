// What a photo shows, reduced to about a kilobyte that survives resizing, recompression, a change
// of format, edited metadata and a small change of brightness: its upright luminance squeezed to a
// 32 × 32 square and normalised, with the lowest 16 × 16 frequencies of that square.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <variant>

namespace quillmere::similar {

/// Changes whenever the way fingerprints are computed changes, so that cached ones are dropped.
inline constexpr std::uint32_t fingerprintVersion = 1;

/// Photos whose fingerprints are at most this far apart, and no pixel of which changed by more
/// than maxLocalChange, show the same picture. Both chosen on the benchmark in bench/similar: the
/// first takes in every resized, recompressed, converted, turned, brightened or slightly cropped
/// copy; the second keeps apart frames of one scene a moment apart.
inline constexpr double defaultThreshold = 0.06;
inline constexpr double maxLocalChange = 1.5;

/// Largest picture decoded, in pixels; anything larger is passed over unread, so that a file
/// claiming enormous dimensions cannot exhaust memory or time.
inline constexpr std::int64_t maxPixels = 250'000'000;

struct Fingerprint {
    static constexpr int side = 16;
    using Coefficients = std::array<std::int8_t, side * side>;
    /// Coefficient of horizontal frequency u and vertical frequency v at [v * side + u], scaled so
    /// that the largest magnitude is 127; the average (u = v = 0) is always 0. All zero for a
    /// picture without any detail.
    Coefficients coefficients{};
    static constexpr int square = 32;
    /// The 32 × 32 luminance less its mean, in 1/32 of its standard deviation (clamped to ±127),
    /// row by row.
    std::array<std::int8_t, square * square> pixels{};

    friend bool operator==(const Fingerprint&, const Fingerprint&) = default;
};

/// A decoded photo: its pixel size as shown (orientation applied) and its fingerprint.
struct Picture {
    std::int32_t width = 0;
    std::int32_t height = 0;
    Fingerprint fingerprint;

    std::int64_t pixels() const { return std::int64_t(width) * height; }
    friend bool operator==(const Picture&, const Picture&) = default;
};

/// A quarter turn of the pixels, in one direction.
enum class Turn { none, quarter, half, threeQuarters };

namespace Fingerprints {

/// The picture of an image, or the reason it cannot be read. Safe to call from many threads.
std::variant<Picture, std::string> fromFile(const std::string& path);

/// The same for an image held in memory.
std::variant<Picture, std::string> fromBytes(std::string_view bytes);

/// The fingerprint of the picture turned by `turn`; exact, since a turn only moves and negates
/// frequencies.
Fingerprint turned(const Fingerprint& fingerprint, Turn turn);

/// One minus the cosine of the angle between the two, in [0, 2]; 2 when either has no detail.
double distance(const Fingerprint& a, const Fingerprint& b);

/// The largest change of a pixel between the two that no shift of up to one pixel explains, in
/// standard deviations of the luminance: a person who walked into the picture, not a crop.
double localChange(const Fingerprint& a, const Fingerprint& b);

/// Whether localChange(a, b) <= limit; gives up on the rest of the picture as soon as it is not.
bool locallyAlike(const Fingerprint& a, const Fingerprint& b, double limit);

/// Sign bits of the lowest 8 × 8 frequencies, for finding candidates quickly.
std::uint64_t signature(const Fingerprint& fingerprint);

} // namespace Fingerprints
} // namespace quillmere::similar
