// Decoding through libvips: the header is read first and checked, then vips_thumbnail decodes
// with shrink-on-load (a JPEG at 1/8 scale through DCT scaling, HEIC and WebP at a reduced size),
// applies the EXIF orientation and squeezes the picture into 32 × 32 pixels. The fingerprint is
// the low-frequency corner of that square's DCT-II, whose mean is dropped and of which only the
// direction is compared, plus the square itself in units of its standard deviation: either way a
// uniform change of brightness or contrast is invisible. The frequencies say whether two pictures
// look alike overall; the pixels, compared with a pixel's worth of slack for crops and resampling,
// say whether something in the picture changed.
#include "Fingerprint.h"

#include "Libvips.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>
#include <numbers>

namespace quillmere::similar {

namespace {

constexpr int square = Fingerprint::square;
constexpr int side = Fingerprint::side;

using Libvips::Image;

const char* const damagedPixels = "damaged or truncated image: its pixels cannot be decoded";

// Row u of the orthonormal DCT-II of length 32.
const std::array<std::array<double, square>, side>& dctRows() {
    static const auto rows = [] {
        std::array<std::array<double, square>, side> table{};
        for (int u = 0; u < side; ++u) {
            const double scale = std::sqrt((u == 0 ? 1.0 : 2.0) / square);
            for (int x = 0; x < square; ++x)
                table[u][x] = scale * std::cos(std::numbers::pi * (2 * x + 1) * u / (2 * square));
        }
        return table;
    }();
    return rows;
}

Fingerprint fingerprintOf(const std::array<double, square * square>& luminance) {
    double mean = 0;
    for (const double value : luminance)
        mean += value;
    mean /= luminance.size();

    const auto& rows = dctRows();
    // Columns first: partial[v][x] = sum over y of rows[v][y] * (pixel(x, y) - mean).
    std::array<std::array<double, square>, side> partial{};
    for (int v = 0; v < side; ++v)
        for (int y = 0; y < square; ++y)
            for (int x = 0; x < square; ++x)
                partial[v][x] += rows[v][y] * (luminance[y * square + x] - mean);
    std::array<double, side * side> coefficients{};
    double largest = 0;
    for (int v = 0; v < side; ++v)
        for (int u = 0; u < side; ++u) {
            if (u == 0 && v == 0)
                continue;
            double sum = 0;
            for (int x = 0; x < square; ++x)
                sum += rows[u][x] * partial[v][x];
            coefficients[v * side + u] = sum;
            largest = std::max(largest, std::abs(sum));
        }

    Fingerprint fingerprint;
    double variance = 0;
    for (const double value : luminance)
        variance += (value - mean) * (value - mean);
    const double deviation = std::sqrt(variance / luminance.size());
    if (deviation > 1e-6)
        for (std::size_t i = 0; i < luminance.size(); ++i)
            fingerprint.pixels[i] = static_cast<std::int8_t>(
                std::clamp(std::lround((luminance[i] - mean) * 32 / deviation), -127l, 127l));
    // Below this the picture is one flat tone plus rounding noise: it has no detail to compare.
    if (largest < 1e-3)
        return fingerprint;
    for (std::size_t i = 0; i < coefficients.size(); ++i)
        fingerprint.coefficients[i] =
            static_cast<std::int8_t>(std::lround(coefficients[i] * 127.0 / largest));
    return fingerprint;
}

// The 32 × 32 luminance of a thumbnail, whatever its bands, alpha or sample format.
bool luminanceOf(VipsImage* thumbnail, std::array<double, square * square>& out) {
    VipsImage* raw = nullptr;
    Image current(thumbnail);
    g_object_ref(thumbnail);
    if (vips_image_hasalpha(current.get())) {
        if (vips_flatten(current.get(), &raw, nullptr) != 0)
            return false;
        current.reset(raw);
    }
    if (vips_colourspace(current.get(), &raw, VIPS_INTERPRETATION_B_W, nullptr) != 0)
        return false;
    current.reset(raw);
    if (current->Bands > 1) {
        if (vips_extract_band(current.get(), &raw, 0, nullptr) != 0)
            return false;
        current.reset(raw);
    }
    if (vips_cast(current.get(), &raw, VIPS_FORMAT_DOUBLE, nullptr) != 0)
        return false;
    current.reset(raw);
    if (current->Xsize != square || current->Ysize != square)
        return false;
    // Computed on the calling thread: writing the image out would hand every strip of the
    // decode to a libvips worker thread and back, which costs more than the work on a 32 × 32
    // square once the scan already keeps every core busy.
    const std::unique_ptr<VipsRegion, Libvips::Unref> region(vips_region_new(current.get()));
    VipsRect whole{0, 0, square, square};
    if (!region || vips_region_prepare(region.get(), &whole) != 0)
        return false;
    for (int y = 0; y < square; ++y)
        std::copy_n(reinterpret_cast<const double*>(VIPS_REGION_ADDR(region.get(), 0, y)), square,
                    out.data() + y * square);
    return true;
}

// Pixels as unsigned bytes (offset by 128), so that the minima and maxima below are single
// vector instructions even on the oldest x86-64.
using Row = std::array<std::uint8_t, square>;
using Rows = std::array<Row, square>;

// The smallest and the largest value of each pixel and its left and right neighbours.
void acrossRows(const Fingerprint& fingerprint, Rows& pixels, Rows& low, Rows& high) {
    for (int y = 0; y < square; ++y) {
        Row& row = pixels[y];
        for (int x = 0; x < square; ++x)
            row[x] = static_cast<std::uint8_t>(fingerprint.pixels[y * square + x] + 128);
        low[y][0] = std::min(row[0], row[1]);
        high[y][0] = std::max(row[0], row[1]);
        for (int x = 1; x < square - 1; ++x) {
            low[y][x] = std::min({row[x - 1], row[x], row[x + 1]});
            high[y][x] = std::max({row[x - 1], row[x], row[x + 1]});
        }
        low[y][square - 1] = std::min(row[square - 2], row[square - 1]);
        high[y][square - 1] = std::max(row[square - 2], row[square - 1]);
    }
}

// How far any pixel of one lies outside the range of the other's pixels in its 3 × 3
// neighbourhood (cut off at the edges), in 1/32 of a standard deviation. Row by row, so that a
// pair is given up on at the first row that goes past `stopAbove`; exact up to that bound.
int largestChange(const Fingerprint& a, const Fingerprint& b, int stopAbove) {
    Rows pixelsA, lowA, highA, pixelsB, lowB, highB;
    acrossRows(a, pixelsA, lowA, highA);
    acrossRows(b, pixelsB, lowB, highB);
    int largest = 0;
    for (int y = 0; y < square; ++y) {
        const int up = std::max(y - 1, 0), down = std::min(y + 1, square - 1);
        std::uint8_t rowLargest = 0;
        for (int x = 0; x < square; ++x) {
            const std::uint8_t aboveA = std::max({highA[up][x], highA[y][x], highA[down][x]});
            const std::uint8_t belowA = std::min({lowA[up][x], lowA[y][x], lowA[down][x]});
            const std::uint8_t aboveB = std::max({highB[up][x], highB[y][x], highB[down][x]});
            const std::uint8_t belowB = std::min({lowB[up][x], lowB[y][x], lowB[down][x]});
            const std::uint8_t valueA = pixelsA[y][x], valueB = pixelsB[y][x];
            // Saturating differences: zero where the pixel lies within the range.
            const auto past = [](std::uint8_t from, std::uint8_t to) {
                return static_cast<std::uint8_t>(from > to ? from - to : 0);
            };
            rowLargest = std::max({rowLargest, past(valueA, aboveB), past(belowB, valueA),
                                   past(valueB, aboveA), past(belowA, valueB)});
        }
        largest = std::max<int>(largest, rowLargest);
        if (largest > stopAbove)
            break;
    }
    return largest;
}

// The shared path of both entry points: `header` opens the image lazily (nothing decoded),
// `thumbnail` decodes it into the 32 × 32 square.
template <typename OpenHeader, typename Thumbnail, typename IsKnown>
std::variant<Picture, std::string> decode(OpenHeader openHeader, Thumbnail thumbnail,
                                          IsKnown isKnown) {
    Libvips::initialise();
    const Image header(openHeader());
    if (!header)
        return std::string(isKnown() ? Libvips::damagedHeader : Libvips::unsupported);
    if (auto refused = Libvips::refusal(*header))
        return *refused;
    const std::int32_t width = header->Xsize, height = header->Ysize;
    const bool swap = vips_image_get_orientation_swap(header.get());

    VipsImage* raw = nullptr;
    if (thumbnail(&raw) != 0)
        return std::string(damagedPixels);
    std::array<double, square * square> luminance{};
    if (!luminanceOf(Image(raw).get(), luminance))
        return std::string(damagedPixels);
    return Picture{swap ? height : width, swap ? width : height, fingerprintOf(luminance)};
}

} // namespace

namespace Fingerprints {

std::variant<Picture, std::string> fromFile(const std::string& path) {
    auto opened = Libvips::open(path);
    if (auto* reason = std::get_if<std::string>(&opened))
        return std::move(*reason);
    VipsSource* from = std::get<Libvips::OpenPhoto>(opened).source.get();
    return decode(
        [from] {
            return vips_image_new_from_source(from, "", "access", VIPS_ACCESS_SEQUENTIAL, "fail_on",
                                              VIPS_FAIL_ON_ERROR, nullptr);
        },
        [from](VipsImage** out) {
            // As for a buffer, libvips 8.14 hands the loader only the options in option_string.
            return vips_thumbnail_source(from, out, square, "height", square, "size",
                                         VIPS_SIZE_FORCE, "option_string", "fail_on=error",
                                         nullptr);
        },
        [from] { return vips_foreign_find_load_source(from) != nullptr; });
}

std::variant<Picture, std::string> fromBytes(std::string_view bytes) {
    // libvips reads the buffer without changing it; its interface is just not const.
    void* data = const_cast<char*>(bytes.data());
    const std::size_t size = bytes.size();
    return decode(
        [data, size] {
            return vips_image_new_from_buffer(data, size, "", "access", VIPS_ACCESS_SEQUENTIAL,
                                              "fail_on", VIPS_FAIL_ON_ERROR, nullptr);
        },
        [data, size](VipsImage** out) {
            // libvips 8.14 hands a buffer's loader only the options in option_string.
            return vips_thumbnail_buffer(data, size, out, square, "height", square, "size",
                                         VIPS_SIZE_FORCE, "option_string", "fail_on=error",
                                         nullptr);
        },
        [data, size] { return vips_foreign_find_load_buffer(data, size) != nullptr; });
}

Fingerprint turned(const Fingerprint& fingerprint, Turn turn) {
    // Mirroring the pixels left to right negates the odd horizontal frequencies, top to bottom
    // the odd vertical ones; swapping the axes swaps u and v. A half turn is both mirrors, a
    // quarter turn a swap followed by one mirror.
    const bool swap = turn == Turn::quarter || turn == Turn::threeQuarters;
    const bool mirrorU = turn == Turn::half || turn == Turn::quarter;
    const bool mirrorV = turn == Turn::half || turn == Turn::threeQuarters;
    Fingerprint result;
    for (int v = 0; v < side; ++v)
        for (int u = 0; u < side; ++u) {
            int value = fingerprint.coefficients[v * side + u];
            const int targetU = swap ? v : u, targetV = swap ? u : v;
            if ((mirrorU && targetU % 2 == 1) != (mirrorV && targetV % 2 == 1))
                value = -value;
            result.coefficients[targetV * side + targetU] = static_cast<std::int8_t>(value);
        }
    for (int y = 0; y < square; ++y)
        for (int x = 0; x < square; ++x) {
            const int mirroredX = mirrorU ? square - 1 - x : x;
            const int mirroredY = mirrorV ? square - 1 - y : y;
            const int sourceX = swap ? mirroredY : mirroredX,
                      sourceY = swap ? mirroredX : mirroredY;
            result.pixels[y * square + x] = fingerprint.pixels[sourceY * square + sourceX];
        }
    return result;
}

double distance(const Fingerprint& a, const Fingerprint& b) {
    std::int64_t dot = 0, normA = 0, normB = 0;
    for (std::size_t i = 0; i < a.coefficients.size(); ++i) {
        const int x = a.coefficients[i], y = b.coefficients[i];
        dot += x * y;
        normA += x * x;
        normB += y * y;
    }
    if (normA == 0 || normB == 0)
        return 2.0;
    return 1.0 - static_cast<double>(dot) / std::sqrt(double(normA) * double(normB));
}

double localChange(const Fingerprint& a, const Fingerprint& b) {
    return largestChange(a, b, std::numeric_limits<int>::max()) / 32.0;
}

bool locallyAlike(const Fingerprint& a, const Fingerprint& b, double limit) {
    const int bound = static_cast<int>(std::floor(limit * 32));
    return largestChange(a, b, bound) <= bound;
}

std::uint64_t signature(const Fingerprint& fingerprint) {
    std::uint64_t bits = 0;
    for (int v = 0; v < 8; ++v)
        for (int u = 0; u < 8; ++u)
            if (fingerprint.coefficients[v * side + u] > 0)
                bits |= std::uint64_t(1) << (v * 8 + u);
    return bits;
}

} // namespace Fingerprints
} // namespace quillmere::similar
