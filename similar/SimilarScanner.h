// Turns a scan configuration into groups of similar photos: the photos are found as the identical
// scan finds them, fingerprinted (from the cache where it holds them, else decoded on every core),
// byte-identical copies are set aside for the identical scan, and the rest are grouped. Only reads
// the photos; writes nothing but the fingerprint cache.
#pragma once

#include "Fingerprint.h"
#include "SimilarResult.h"
#include "scan/ScanConfig.h"

#include <cstdint>
#include <functional>
#include <stop_token>
#include <string>

namespace quillmere::similar {

/// Photos fingerprinted so far of those that needed decoding; called from worker threads.
using FingerprintProgress = std::function<void(std::int64_t done, std::int64_t total)>;

class SimilarScanner {
  public:
    /// `cachePath` empty: no cache is read or written.
    SimilarScanner(ScanConfig config, std::string cachePath, FingerprintProgress progress = {},
                   double threshold = defaultThreshold, std::stop_token stop = {});

    /// Runs the whole scan on the calling thread (plus workers). Never throws; per-file problems
    /// become skipped entries of the result.
    SimilarResult scan();

  private:
    ScanConfig config_;
    std::string cachePath_;
    FingerprintProgress progress_;
    double threshold_;
    std::stop_token stop_;
};

} // namespace quillmere::similar
