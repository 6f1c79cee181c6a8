// The deterministic, incompressible bytes of a planned file, produced at any offset so that a file
// can be written in large blocks and its copies regenerated instead of read back.
#pragma once

#include "TreePlan.h"

#include <cstddef>
#include <cstdint>
#include <span>

namespace quillmere::benchtree::ContentStream {

/// Length of the stretch inverted by Content::alteredAt.
inline constexpr std::int64_t alteredLength = 4096;

/// Writes the bytes of `content` from file offset `offset` into `out`.
void fill(const Content& content, std::int64_t offset, std::span<std::byte> out);

} // namespace quillmere::benchtree::ContentStream
