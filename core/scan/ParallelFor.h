// Runs n independent iterations on one worker per online processor core and returns when all are
// done. Iterations are handed out one at a time, so long and short ones balance across workers.
#pragma once

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <thread>
#include <unistd.h>
#include <vector>

namespace quillmere {

inline unsigned onlineCores() {
    const long cores = ::sysconf(_SC_NPROCESSORS_ONLN);
    return cores > 0 ? static_cast<unsigned>(cores) : 1u;
}

template <typename Body> void parallelFor(std::int64_t n, Body&& body) {
    if (n <= 0)
        return;
    const auto workers = static_cast<std::int64_t>(std::min<std::int64_t>(onlineCores(), n));
    std::atomic<std::int64_t> next{0};
    auto work = [&] {
        for (std::int64_t i = next.fetch_add(1); i < n; i = next.fetch_add(1))
            body(i);
    };
    std::vector<std::jthread> threads;
    threads.reserve(static_cast<std::size_t>(workers));
    for (std::int64_t w = 0; w < workers; ++w)
        threads.emplace_back(work);
}

} // namespace quillmere
