// Pictures for the similar-photo tests, made with libvips: smooth random blobs (another seed,
// another picture) and the copies of one that a photo archive collects.
#pragma once

#include <stdexcept>
#include <string>
#include <vips/vips8>

namespace quillmere::testing {

enum class Copy {
    same,
    quarterSize,
    lowQuality,
    turnedPixels,
    orientationFlag,
    brighter,
    laterMoment
};

/// Writes picture `seed`, 640 × 480 as shown, at `path` in the format its extension names,
/// changed as `copy` says.
inline void writePicture(const std::string& path, int seed, Copy copy = Copy::same) {
    using vips::VImage;
    if (VIPS_INIT("quillmere-test") != 0)
        throw std::runtime_error("libvips cannot start");
    VImage image =
        VImage::gaussnoise(
            16, 12, VImage::option()->set("seed", seed)->set("sigma", 50.0)->set("mean", 128.0))
            .resize(40)
            .cast(VIPS_FORMAT_UCHAR);
    std::string options;
    switch (copy) {
    case Copy::same:
        break;
    case Copy::quarterSize:
        image = image.resize(0.25);
        break;
    case Copy::lowQuality:
        options = "[Q=40]";
        break;
    case Copy::turnedPixels:
        image = image.rot(VIPS_ANGLE_D90);
        break;
    case Copy::orientationFlag:
        // Pixels stored a quarter turn back, with the EXIF flag that turns them upright.
        image = image.rot(VIPS_ANGLE_D270).copy();
        image.set("orientation", 6);
        break;
    case Copy::brighter:
        image = (image * 1.08).cast(VIPS_FORMAT_UCHAR);
        break;
    case Copy::laterMoment:
        // Someone walked in: a small dark figure, everything else as it was.
        image = image.copy();
        image.draw_rect(std::vector<double>{0}, 300, 200, 40, 80,
                        vips::VImage::option()->set("fill", true));
        break;
    }
    image.write_to_file((path + options).c_str());
}

} // namespace quillmere::testing
