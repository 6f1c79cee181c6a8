// A stand-in for libFuzzer's driver where it is not available: runs the fuzz target once on the
// empty input and once on every file named on the command line or found directly in a folder named
// there, in name order. A finding aborts, so the replay fails as libFuzzer's would.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);
extern "C" __attribute__((weak)) int LLVMFuzzerInitialize(int* argc, char*** argv);

namespace {

std::vector<std::filesystem::path> inputsOf(const std::filesystem::path& argument) {
    if (!std::filesystem::is_directory(argument))
        return {argument};
    std::vector<std::filesystem::path> files;
    for (const auto& entry : std::filesystem::directory_iterator(argument))
        if (entry.is_regular_file())
            files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    return files;
}

void run(const std::string& bytes) {
    LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
}

} // namespace

int main(int argc, char** argv) {
    if (LLVMFuzzerInitialize)
        LLVMFuzzerInitialize(&argc, &argv);
    run({});
    std::size_t count = 1;
    for (int index = 1; index < argc; ++index) {
        for (const auto& file : inputsOf(argv[index])) {
            std::ifstream in(file, std::ios::binary);
            if (!in) {
                std::fprintf(stderr, "cannot read %s\n", file.c_str());
                return 1;
            }
            run(std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()));
            ++count;
        }
    }
    std::printf("replayed %zu inputs\n", count);
    return 0;
}
