#include "PhotoPreview.h"

#include "Libvips.h"

#include <cstring>

namespace quillmere::similar::PhotoPreviews {

namespace {

// Replaces `image` by what `operation` made of it; false when the operation failed.
template <typename Operation> bool step(Libvips::Image& image, Operation operation) {
    VipsImage* out = nullptr;
    if (operation(image.get(), &out) != 0)
        return false;
    image.reset(out);
    return true;
}

} // namespace

std::optional<PhotoPreview> fromFile(const std::string& path, int maxPixel) {
    if (maxPixel < 1)
        return std::nullopt;
    auto opened = Libvips::open(path);
    auto* photo = std::get_if<Libvips::OpenPhoto>(&opened);
    if (!photo)
        return std::nullopt;
    VipsSource* from = photo->source.get();
    const Libvips::Image header(
        vips_image_new_from_source(from, "", "access", VIPS_ACCESS_SEQUENTIAL, nullptr));
    if (!header || Libvips::refusal(*header))
        return std::nullopt;

    VipsImage* thumbnail = nullptr;
    if (vips_thumbnail_source(from, &thumbnail, maxPixel, "height", maxPixel, "size",
                              VIPS_SIZE_DOWN, nullptr) != 0)
        return std::nullopt;
    Libvips::Image image(thumbnail);
    const bool converted =
        step(image,
             [](VipsImage* in, VipsImage** out) {
                 return vips_colourspace(in, out, VIPS_INTERPRETATION_sRGB, nullptr);
             }) &&
        (!vips_image_hasalpha(image.get()) ||
         step(image,
              [](VipsImage* in, VipsImage** out) {
                  // Transparent parts on white, as image viewers show them.
                  VipsArrayDouble* white = vips_array_double_newv(1, 255.0);
                  const int result = vips_flatten(in, out, "background", white, nullptr);
                  vips_area_unref(VIPS_AREA(white));
                  return result;
              })) &&
        step(image,
             [](VipsImage* in, VipsImage** out) { return vips_cast_uchar(in, out, nullptr); });
    if (!converted || image->Bands != 3)
        return std::nullopt;

    std::size_t length = 0;
    void* pixels = vips_image_write_to_memory(image.get(), &length);
    if (!pixels)
        return std::nullopt;
    PhotoPreview preview{image->Xsize, image->Ysize, {}};
    preview.rgb.resize(length);
    std::memcpy(preview.rgb.data(), pixels, length);
    g_free(pixels);
    if (preview.rgb.size() != std::size_t(preview.width) * preview.height * 3)
        return std::nullopt;
    return preview;
}

} // namespace quillmere::similar::PhotoPreviews
