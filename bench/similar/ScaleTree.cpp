// Writes a large tree of small distinct photos for the similar-photo scale run: COUNT JPEGs of
// 160 × 120 cut at random places and sizes from the source photos, 1,000 to a folder. The same
// count, sources and seed give the same tree.
//
//   quillmere-similar-scale-tree COUNT FOLDER SOURCE...
#include <cstdio>
#include <filesystem>
#include <random>
#include <string>
#include <vector>
#include <vips/vips8>

using vips::VImage;

int main(int argc, char** argv) {
    if (argc < 4 || VIPS_INIT(argv[0]) != 0) {
        std::fprintf(stderr, "usage: quillmere-similar-scale-tree COUNT FOLDER SOURCE...\n");
        return 2;
    }
    const long count = std::stol(argv[1]);
    const std::string folder = argv[2];
    std::vector<VImage> sources;
    for (int i = 3; i < argc; ++i)
        sources.push_back(VImage::thumbnail(argv[i], 1200).copy_memory());
    std::mt19937 random(7);
    for (long n = 0; n < count; ++n) {
        const std::string sub = folder + "/" + std::to_string(n / 1000);
        if (n % 1000 == 0)
            std::filesystem::create_directories(sub);
        const VImage& source = sources[random() % sources.size()];
        const int width = 160 + int(random() % std::uint32_t(source.width() / 2));
        const int height = std::min(source.height(), width * 3 / 4);
        const int left = int(random() % std::uint32_t(source.width() - width + 1));
        const int top = int(random() % std::uint32_t(source.height() - height + 1));
        source.extract_area(left, top, width, height)
            .thumbnail_image(160, VImage::option()->set("height", 120))
            .jpegsave((sub + "/IMG_" + std::to_string(n) + ".jpg").c_str(),
                      VImage::option()->set("Q", 80));
    }
    return 0;
}
