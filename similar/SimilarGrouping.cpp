// Pair finding and keeper-first grouping of similar photos. Candidates come from a multi-index of
// the 64-bit signatures: four tables on 16-bit quarters, each probed at its own quarter and at
// every quarter one bit away, so any two signatures at most 7 bits apart meet in some table.
// Each candidate is then judged on a compact outline of its fingerprint, which rules out most of
// them without reading the rest, and only then on its full fingerprint.
#include "SimilarGrouping.h"

#include "scan/KeepSelector.h"
#include "scan/ParallelFor.h"
#include "scan/Text.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numeric>

namespace quillmere::similar {

namespace {

constexpr std::array<Turn, 4> turns = {Turn::none, Turn::quarter, Turn::half, Turn::threeQuarters};

// Widths and heights this far apart in ratio still count as one shape: a few percent cropped off
// one side stays within it.
constexpr double shapeTolerance = 1.10;

// Width over height, as shown and turned a quarter.
struct Shape {
    double ratio;
    double turnedRatio;
};

Shape shapeOf(const SimilarPhoto& photo) {
    return {double(photo.width) / photo.height, double(photo.height) / photo.width};
}

bool sameShape(const Shape& a, const Shape& b, Turn turn) {
    const bool swap = turn == Turn::quarter || turn == Turn::threeQuarters;
    const double ratioB = swap ? b.turnedRatio : b.ratio;
    return std::max(a.ratio, ratioB) <= shapeTolerance * std::min(a.ratio, ratioB);
}

// What the candidate search reads of each photo besides its signature, in one cache line: its
// shape, the lowest frequencies (u + v < 8, where most of a picture's detail lies; a turn only
// moves and negates them), and the lengths of the whole fingerprint and of the rest of it. From
// these alone it bounds the closeness of two photos from above (Cauchy–Schwarz on the rest), so
// that most candidates are ruled out without reading their full fingerprints and no pair the
// full check would accept is ever ruled out.
struct alignas(64) Outline {
    static constexpr int reach = 8;
    Shape shape{};
    float length = 0;
    float restLength = 0;
    std::array<std::int8_t, 40> low{};
};
static_assert(Outline::reach * (Outline::reach + 1) / 2 <=
              int(std::tuple_size_v<decltype(Outline::low)>));
static_assert(sizeof(Outline) == 64);

Outline outlineOf(const Fingerprint& fingerprint) {
    Outline outline;
    std::int64_t all = 0, low = 0;
    std::size_t next = 0;
    for (int v = 0; v < Fingerprint::side; ++v)
        for (int u = 0; u < Fingerprint::side; ++u) {
            const int value = fingerprint.coefficients[v * Fingerprint::side + u];
            all += value * value;
            if (u + v < Outline::reach) {
                outline.low[next++] = static_cast<std::int8_t>(value);
                low += value * value;
            }
        }
    outline.length = static_cast<float>(std::sqrt(double(all)));
    outline.restLength = static_cast<float>(std::sqrt(double(all - low)));
    return outline;
}

// False only when the two cannot be within `threshold` of each other.
bool mayBeClose(const Outline& a, const Outline& b, double threshold) {
    int lowDot = 0;
    for (std::size_t k = 0; k < a.low.size(); ++k)
        lowDot += a.low[k] * b.low[k];
    // The slack covers the rounding of the lengths to floats: the bound must never fall below the
    // true product.
    const double largestDot = lowDot + double(a.restLength) * b.restLength * (1 + 1e-5) + 1e-3;
    return largestDot >= (1 - threshold) * double(a.length) * b.length * (1 - 1e-5);
}

// a, already turned, against b.
bool close(const Fingerprint& turnedA, const Fingerprint& b, double threshold) {
    return Fingerprints::distance(turnedA, b) <= threshold &&
           Fingerprints::locallyAlike(turnedA, b, maxLocalChange);
}

class SignatureIndex {
  public:
    explicit SignatureIndex(const std::vector<std::uint64_t>& signatures) {
        for (std::size_t table = 0; table < tables; ++table) {
            auto& offsets = offsets_[table];
            offsets.assign(buckets + 1, 0);
            for (const auto signature : signatures)
                ++offsets[quarter(signature, table) + 1];
            std::partial_sum(offsets.begin(), offsets.end(), offsets.begin());
            auto& entries = entries_[table];
            entries.resize(signatures.size());
            std::vector<std::uint32_t> next(offsets.begin(), offsets.end() - 1);
            for (std::uint32_t i = 0; i < signatures.size(); ++i)
                entries[next[quarter(signatures[i], table)]++] = i;
        }
    }

    /// Calls visit(j) for every indexed photo j after `after` whose signature shares a quarter with
    /// `signature` or differs from it in one bit of a quarter; a photo may be visited more than
    /// once.
    template <typename Visit>
    void probe(std::uint64_t signature, std::uint32_t after, Visit visit) const {
        for (std::size_t table = 0; table < tables; ++table) {
            const std::uint32_t own = quarter(signature, table);
            const auto& offsets = offsets_[table];
            const std::uint32_t* entries = entries_[table].data();
            for (int bit = -1; bit < 16; ++bit) {
                const std::uint32_t key = bit < 0 ? own : own ^ (1u << bit);
                // A bucket lists its photos in ascending order.
                const std::uint32_t* end = entries + offsets[key + 1];
                for (const std::uint32_t* j = std::upper_bound(entries + offsets[key], end, after);
                     j != end; ++j)
                    visit(*j);
            }
        }
    }

  private:
    static constexpr std::size_t tables = 4;
    static constexpr std::size_t buckets = 1 << 16;
    static std::uint32_t quarter(std::uint64_t signature, std::size_t table) {
        return static_cast<std::uint32_t>(signature >> (16 * table)) & 0xffff;
    }
    std::array<std::vector<std::uint32_t>, tables> offsets_;
    std::array<std::vector<std::uint32_t>, tables> entries_;
};

} // namespace

bool SimilarGrouping::similar(const FingerprintedPhoto& a, const FingerprintedPhoto& b,
                              double threshold) {
    return std::any_of(turns.begin(), turns.end(), [&](Turn turn) {
        return sameShape(shapeOf(a.photo), shapeOf(b.photo), turn) &&
               close(Fingerprints::turned(a.fingerprint, turn), b.fingerprint, threshold);
    });
}

std::vector<std::pair<std::uint32_t, std::uint32_t>>
SimilarGrouping::similarPairs(const std::vector<FingerprintedPhoto>& photos, double threshold) {
    std::vector<std::uint64_t> signatures(photos.size());
    std::vector<Outline> outlines(photos.size());
    for (std::size_t i = 0; i < photos.size(); ++i) {
        signatures[i] = Fingerprints::signature(photos[i].fingerprint);
        outlines[i] = outlineOf(photos[i].fingerprint);
        outlines[i].shape = shapeOf(photos[i].photo);
    }
    const SignatureIndex index(signatures);

    // Slot i holds the partners j > i of photo i; each worker writes only the slots it takes. A
    // worker takes a run of photos at a time and marks the candidates of each in its own array
    // rather than sorting them; runs are long enough that clearing that array costs little.
    std::vector<std::vector<std::uint32_t>> partners(photos.size());
    const auto count = static_cast<std::int64_t>(photos.size());
    const std::int64_t run = std::max<std::int64_t>(1024, count / 64);
    constexpr std::size_t prefetchAhead = 8;
    parallelFor((count + run - 1) / run, [&](std::int64_t r) {
        std::vector<std::uint32_t> seenFor(photos.size(), std::uint32_t(-1));
        std::vector<std::uint32_t> candidates;
        for (auto i = static_cast<std::uint32_t>(r * run); i < std::min(count, (r + 1) * run);
             ++i) {
            std::array<Fingerprint, turns.size()> turned;
            std::array<Outline, turns.size()> turnedOutlines;
            candidates.clear();
            for (std::size_t t = 0; t < turns.size(); ++t) {
                turned[t] = Fingerprints::turned(photos[i].fingerprint, turns[t]);
                turnedOutlines[t] = outlineOf(turned[t]);
                index.probe(Fingerprints::signature(turned[t]), i, [&](std::uint32_t j) {
                    if (seenFor[j] != i) {
                        seenFor[j] = i;
                        candidates.push_back(j);
                    }
                });
            }
            for (std::size_t k = 0; k < candidates.size(); ++k) {
                // The outlines of candidates are scattered over megabytes: ask for those a few
                // candidates ahead while this one is judged.
                if (k + prefetchAhead < candidates.size()) {
                    const auto* ahead =
                        reinterpret_cast<const char*>(&outlines[candidates[k + prefetchAhead]]);
                    __builtin_prefetch(ahead);
                    __builtin_prefetch(ahead + sizeof(Outline) - 1);
                }
                const std::uint32_t j = candidates[k];
                for (std::size_t t = 0; t < turns.size(); ++t)
                    if (sameShape(outlines[i].shape, outlines[j].shape, turns[t]) &&
                        mayBeClose(turnedOutlines[t], outlines[j], threshold) &&
                        close(turned[t], photos[j].fingerprint, threshold)) {
                        partners[i].push_back(j);
                        break;
                    }
            }
            std::sort(partners[i].begin(), partners[i].end());
        }
    });

    std::vector<std::pair<std::uint32_t, std::uint32_t>> pairs;
    for (std::uint32_t i = 0; i < partners.size(); ++i)
        for (const std::uint32_t j : partners[i])
            pairs.emplace_back(i, j);
    return pairs;
}

std::vector<SimilarGroup> SimilarGrouping::group(const std::vector<FingerprintedPhoto>& photos,
                                                 double threshold) {
    std::vector<std::vector<std::uint32_t>> neighbours(photos.size());
    for (const auto& [i, j] : similarPairs(photos, threshold)) {
        neighbours[i].push_back(j);
        neighbours[j].push_back(i);
    }
    auto isNeighbour = [&](std::uint32_t a, std::uint32_t b) {
        return std::binary_search(neighbours[a].begin(), neighbours[a].end(), b);
    };
    for (auto& list : neighbours)
        std::sort(list.begin(), list.end());

    std::vector<std::uint32_t> order(photos.size());
    std::iota(order.begin(), order.end(), 0u);
    std::sort(order.begin(), order.end(), [&](std::uint32_t a, std::uint32_t b) {
        const SimilarPhoto &x = photos[a].photo, &y = photos[b].photo;
        if (x.pixels() != y.pixels())
            return x.pixels() > y.pixels();
        if (x.size != y.size)
            return x.size > y.size;
        return Text::less(x.path, y.path);
    });

    std::vector<bool> taken(photos.size(), false);
    std::vector<SimilarGroup> groups;
    for (const std::uint32_t keeper : order) {
        if (taken[keeper])
            continue;
        taken[keeper] = true;
        std::vector<std::uint32_t> members{keeper};
        for (const std::uint32_t other : neighbours[keeper])
            if (!taken[other]) {
                taken[other] = true;
                members.push_back(other);
            }
        if (members.size() < 2)
            continue;

        // Members as large as the keeper that every other member is close to could keep the
        // group just as well; the name rules choose among them.
        const SimilarPhoto& first = photos[keeper].photo;
        std::vector<std::string> ties;
        for (const std::uint32_t member : members) {
            const SimilarPhoto& photo = photos[member].photo;
            const bool closeToAll = std::all_of(members.begin(), members.end(), [&](auto m) {
                return m == member || isNeighbour(member, m);
            });
            if (photo.pixels() == first.pixels() && photo.size == first.size && closeToAll)
                ties.push_back(photo.path);
        }
        const std::string keep = ties.size() > 1 ? KeepSelector::chooseKeep(ties) : first.path;

        SimilarGroup group;
        for (const std::uint32_t member : members) {
            if (photos[member].photo.path == keep && group.keep.path.empty())
                group.keep = photos[member].photo;
            else
                group.similar.push_back(photos[member].photo);
        }
        std::sort(group.similar.begin(), group.similar.end(),
                  [](const SimilarPhoto& a, const SimilarPhoto& b) {
                      return Text::less(a.path, b.path);
                  });
        groups.push_back(std::move(group));
    }
    std::stable_sort(groups.begin(), groups.end(),
                     [](const SimilarGroup& a, const SimilarGroup& b) {
                         return a.similarBytes() > b.similarBytes();
                     });
    return groups;
}

std::int64_t SimilarGroup::similarBytes() const {
    std::int64_t bytes = 0;
    for (const auto& photo : similar)
        bytes += photo.size;
    return bytes;
}

} // namespace quillmere::similar
