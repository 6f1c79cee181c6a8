#include "ContentStream.h"

#include "Random.h"

#include <algorithm>
#include <cstring>

namespace quillmere::benchtree::ContentStream {

namespace {

// Word 0 is the id itself, so two contents with different ids differ in their first bytes however
// the hash falls; every later word is a hash of the id and the word's index (counter mode), which
// lets a block at any offset be produced without the ones before it.
std::uint64_t word(std::uint64_t id, std::uint64_t index) {
    return index == 0 ? id : mix64(mix64(id) + index);
}

} // namespace

void fill(const Content& content, std::int64_t offset, std::span<std::byte> out) {
    auto index = static_cast<std::uint64_t>(offset) / 8;
    std::size_t skip = static_cast<std::size_t>(offset) % 8;
    std::size_t done = 0;
    while (done < out.size()) {
        const std::uint64_t value = word(content.id, index++);
        std::byte bytes[8];
        for (int b = 0; b < 8; ++b)
            bytes[b] = static_cast<std::byte>(value >> (8 * b));
        const std::size_t take = std::min<std::size_t>(8 - skip, out.size() - done);
        std::memcpy(out.data() + done, bytes + skip, take);
        done += take;
        skip = 0;
    }

    if (content.alteredAt < 0)
        return;
    const std::int64_t end = offset + static_cast<std::int64_t>(out.size());
    const std::int64_t from = std::max(offset, content.alteredAt);
    const std::int64_t to = std::min(end, content.alteredAt + alteredLength);
    for (std::int64_t at = from; at < to; ++at)
        out[static_cast<std::size_t>(at - offset)] ^= std::byte{0xff};
}

} // namespace quillmere::benchtree::ContentStream
