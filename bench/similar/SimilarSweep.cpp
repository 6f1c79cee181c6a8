// Decodes photos once and prints, for every pair whose fingerprints are near, the measures the
// similar-photo grouping decides on: "distance localChange pathA pathB", tab-separated.
#include "Fingerprint.h"
#include "scan/ParallelFor.h"

#include <cstdio>
#include <optional>
#include <string>
#include <variant>
#include <vector>

using namespace quillmere;
using namespace quillmere::similar;

int main(int argc, char** argv) {
    std::vector<std::string> paths(argv + 1, argv + argc);
    std::vector<std::optional<Picture>> pictures(paths.size());
    parallelFor(std::int64_t(paths.size()), [&](std::int64_t i) {
        auto decoded = Fingerprints::fromFile(paths[std::size_t(i)]);
        if (auto* picture = std::get_if<Picture>(&decoded))
            pictures[std::size_t(i)] = *picture;
    });
    for (std::size_t i = 0; i < paths.size(); ++i)
        for (std::size_t j = i + 1; j < paths.size(); ++j) {
            if (!pictures[i] || !pictures[j])
                continue;
            double best = 3, change = 0;
            for (const Turn turn : {Turn::none, Turn::quarter, Turn::half, Turn::threeQuarters}) {
                const Fingerprint turned = Fingerprints::turned(pictures[i]->fingerprint, turn);
                const double distance = Fingerprints::distance(turned, pictures[j]->fingerprint);
                if (distance < best) {
                    best = distance;
                    change = Fingerprints::localChange(turned, pictures[j]->fingerprint);
                }
            }
            if (best <= 0.4)
                std::printf("%.4f\t%.3f\t%s\t%s\n", best, change, paths[i].c_str(),
                            paths[j].c_str());
        }
}
