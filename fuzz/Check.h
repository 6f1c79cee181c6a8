// The one way a fuzz target reports a finding: a broken property aborts, which libFuzzer and the
// replay main both treat as a crash, with the property named on standard error.
#pragma once

#include <cstdio>
#include <cstdlib>

namespace quillmere::fuzz {

inline void require(bool holds, const char* property) {
    if (holds)
        return;
    std::fprintf(stderr, "property broken: %s\n", property);
    std::abort();
}

} // namespace quillmere::fuzz
