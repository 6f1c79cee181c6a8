// Renders a scan result as the human-readable report and as the CSV sidecar, and formats sizes and
// counts for the whole system.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>

namespace quillmere {

struct ScanResult;

namespace ReportWriter {

/// The whole text report; every line ends with a line feed.
std::string text(const ScanResult& result);

/// The CSV table (RFC 4180 quoting), one row per file of every group, header first.
std::string csv(const ScanResult& result);

/// One CSV field, quoted as RFC 4180 asks when it holds a separator, a quote or a line break.
std::string csvField(std::string_view field);

/// "%.1f" and B, KB, MB, GB, TB in steps of 1024, then PB; the decimal point is always ".".
std::string humanSize(std::int64_t bytes);

/// The integer with the current locale's grouping separators (1,234,567 in English).
std::string grouped(std::int64_t value);

/// The time in the local zone with the pattern "yyyy-MM-dd HH:mm:ss".
std::string localTimestamp(std::chrono::system_clock::time_point time);

} // namespace ReportWriter
} // namespace quillmere
