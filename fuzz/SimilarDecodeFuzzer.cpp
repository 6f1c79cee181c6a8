// Arbitrary bytes as a photo for the similar-photo fingerprint: decoding answers a picture or a
// reason, never crashes, never decodes more pixels than allowed, and a picture with detail is at
// distance 0 from itself under no turn and within rounding of it under a full turn.
#include "Check.h"
#include "Fingerprint.h"

#include <cstdint>
#include <string_view>
#include <variant>

using namespace quillmere::similar;
using quillmere::fuzz::require;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto decoded =
        Fingerprints::fromBytes(std::string_view(reinterpret_cast<const char*>(data), size));
    if (const auto* reason = std::get_if<std::string>(&decoded)) {
        require(!reason->empty(), "a photo passed over has a reason");
        return 0;
    }
    const Picture& picture = std::get<Picture>(decoded);
    require(picture.width >= 1 && picture.height >= 1 && picture.pixels() <= maxPixels,
            "a decoded picture has a size within the limit");
    const Fingerprint& fingerprint = picture.fingerprint;
    const Fingerprint round = Fingerprints::turned(
        Fingerprints::turned(
            Fingerprints::turned(Fingerprints::turned(fingerprint, Turn::quarter), Turn::quarter),
            Turn::half),
        Turn::none);
    require(round == fingerprint, "a full turn gives the fingerprint back");
    const double self = Fingerprints::distance(fingerprint, fingerprint);
    require(self == 2.0 || self < 1e-9, "a fingerprint is at distance 0 from itself");
    return 0;
}
