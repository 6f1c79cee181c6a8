// Throughput of the content signature and of the byte-for-byte comparison, on files small enough
// to be hashed whole, at the head-plus-tail threshold, and well past it.
#include "TempDir.h"
#include "scan/ContentSignature.h"

#include <algorithm>
#include <benchmark/benchmark.h>
#include <cstdint>
#include <map>
#include <string>
#include <utility>

namespace ContentSignature = quillmere::ContentSignature;
using quillmere::testing::TempDir;

namespace {

// Files of each benchmarked size, made once and removed when the program ends.
class Files {
  public:
    /// A file of `size` pseudo-random bytes; `copy` 0 and 1 hold the same bytes.
    const std::string& of(std::int64_t size, int copy) {
        const auto key = std::make_pair(size, copy);
        auto found = paths_.find(key);
        if (found == paths_.end()) {
            const std::string bytes =
                quillmere::testing::randomBytes(static_cast<std::size_t>(size), 42);
            const std::string name = std::to_string(size) + "-" + std::to_string(copy) + ".jpg";
            found = paths_.emplace(key, dir_.write(name, bytes)).first;
        }
        return found->second;
    }

  private:
    TempDir dir_;
    std::map<std::pair<std::int64_t, int>, std::string> paths_;
};

Files& files() {
    static Files instance;
    return instance;
}

void Compute(benchmark::State& state) {
    const std::int64_t size = state.range(0);
    const std::string& path = files().of(size, 0);
    for (auto _ : state)
        benchmark::DoNotOptimize(ContentSignature::compute(path, size));
    // At most the head and the tail are read, whatever the size.
    const std::int64_t hashed = std::min(size, ContentSignature::largeFileThreshold);
    state.SetBytesProcessed(state.iterations() * hashed);
}

void VerifyIdentical(benchmark::State& state) {
    const std::int64_t size = state.range(0);
    const std::string& a = files().of(size, 0);
    const std::string& b = files().of(size, 1);
    for (auto _ : state) {
        if (!ContentSignature::verifyIdentical(a, b))
            state.SkipWithError("identical files compared as different");
    }
    state.SetBytesProcessed(state.iterations() * size * 2);
}

} // namespace

BENCHMARK(Compute)->Arg(4 << 10)->Arg(256 << 10)->Arg(4 << 20)->Arg(64 << 20);
BENCHMARK(VerifyIdentical)->Arg(4 << 10)->Arg(256 << 10)->Arg(4 << 20)->Arg(64 << 20);
