// quillmere-make-tree: writes a deterministic benchmark tree (two roots and a manifest) for one
// profile, or with --plan-only just says what it would write.
#include "Error.h"
#include "TreePlan.h"
#include "TreeWriter.h"
#include "fs/FileSystem.h"

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <map>
#include <string>
#include <sys/statvfs.h>
#include <tuple>
#include <vector>

using namespace quillmere;
using namespace quillmere::benchtree;

namespace {

constexpr const char* usage =
    "usage: quillmere-make-tree [--scale F] [--seed N] [--plan-only] media|small|tiny FOLDER\n"
    "Writes FOLDER/Laptop, FOLDER/Backup and FOLDER/manifest.tsv. FOLDER must be new or empty.\n";

struct Options {
    Profile profile = Profile::media;
    double scale = 1.0;
    std::uint64_t seed = 20240611;
    bool planOnly = false;
    std::string folder;
};

Options parse(const std::vector<std::string>& args) {
    Options options;
    std::vector<std::string> positional;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        auto value = [&]() -> const std::string& {
            if (++i == args.size())
                throw Error(arg + " needs a value");
            return args[i];
        };
        if (arg == "--scale") {
            options.scale = std::strtod(value().c_str(), nullptr);
            if (!(options.scale > 0 && options.scale <= 10))
                throw Error("--scale must be a number above 0 and at most 10");
        } else if (arg == "--seed") {
            options.seed = std::strtoull(value().c_str(), nullptr, 10);
        } else if (arg == "--plan-only") {
            options.planOnly = true;
        } else if (arg.starts_with("-")) {
            throw Error("unknown option " + arg);
        } else {
            positional.push_back(arg);
        }
    }
    if (positional.size() != 2)
        throw Error("give a profile and a folder");
    const auto profile = profileNamed(positional[0]);
    if (!profile)
        throw Error("unknown profile " + positional[0]);
    options.profile = *profile;
    options.folder = FileSystem::standardize(FileSystem::resolve(positional[1]));
    return options;
}

void printSummary(const Plan& plan) {
    std::map<std::string_view, std::pair<std::int64_t, std::int64_t>> byRole;
    std::map<std::tuple<std::int64_t, std::uint64_t, std::int64_t>, std::int64_t> copies;
    for (const auto& file : plan.files) {
        auto& [count, bytes] = byRole[roleName(file.role)];
        ++count;
        bytes += file.size;
        if (file.role == Role::media)
            ++copies[{file.size, file.content.id, file.content.alteredAt}];
    }
    std::int64_t groups = 0;
    std::int64_t redundant = 0;
    for (const auto& [content, count] : copies)
        if (count > 1) {
            ++groups;
            redundant += count - 1;
        }
    std::int64_t totalBytes = 0;
    for (const auto& [role, numbers] : byRole) {
        std::printf("%-15s %9lld files %10.2f GiB\n", std::string(role).c_str(),
                    static_cast<long long>(numbers.first), numbers.second / 1073741824.0);
        totalBytes += numbers.second;
    }
    std::printf("%-15s %9zu files %10.2f GiB\n", "all", plan.files.size(),
                totalBytes / 1073741824.0);
    std::printf("media duplicate groups %lld, redundant media files %lld\n",
                static_cast<long long>(groups), static_cast<long long>(redundant));
}

// Free bytes on the file system that will hold `folder` (its nearest existing ancestor).
std::int64_t freeBytes(std::string folder) {
    struct statvfs info;
    while (::statvfs(folder.c_str(), &info) != 0) {
        const std::string above = FileSystem::parent(folder);
        if (above == folder)
            return -1;
        folder = above;
    }
    return static_cast<std::int64_t>(info.f_bavail) * static_cast<std::int64_t>(info.f_frsize);
}

} // namespace

int main(int argc, char** argv) {
    try {
        const Options options = parse(std::vector<std::string>(argv + 1, argv + argc));
        const Plan plan = makePlan(options.profile, options.scale, options.seed);
        printSummary(plan);
        if (options.planOnly)
            return 0;
        const std::int64_t needed = plannedDiskBytes(plan);
        const std::int64_t available = freeBytes(options.folder);
        if (available >= 0 && needed + needed / 10 > available)
            throw Error("not enough free space for " + std::to_string(needed >> 20) + " MiB (" +
                        std::to_string(available >> 20) + " MiB free); use --scale");
        writeTree(plan, options.folder, {options.profile, options.scale, options.seed});
        std::printf("written to %s\n", options.folder.c_str());
        return 0;
    } catch (const Error& error) {
        std::cerr << "quillmere-make-tree: " << error.what() << "\n" << usage;
        return 2;
    }
}
