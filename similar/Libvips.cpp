#include "Libvips.h"

#include "Fingerprint.h"
#include "fs/FileSystem.h"

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <glib.h>
#include <mutex>
// vector.h needs the declarations of vips.h before it.
#include <vips/vector.h>

namespace quillmere::similar::Libvips {

// No operation cache (every file is opened once), one thread per decode (callers already run one
// decode per core), no loaders marked unsafe for untrusted files, and its warnings about damaged
// files kept off the tool's standard error. Its ORC vector code is off: libvips compiles fresh
// ORC programs for the resampling of every photo, and Debian 12's liborc crashed freeing them
// after some 60,000 photos; without them a 32 × 32 thumbnail costs less CPU, not more.
void initialise() {
    static std::once_flag once;
    std::call_once(once, [] {
        if (VIPS_INIT("quillmere") != 0)
            std::abort(); // Without its type system libvips cannot run at all.
        vips_cache_set_max(0);
        vips_concurrency_set(1);
        vips_block_untrusted_set(TRUE);
        vips_vector_set_enabled(FALSE);
        g_log_set_handler(
            "VIPS", static_cast<GLogLevelFlags>(G_LOG_LEVEL_WARNING | G_LOG_LEVEL_MESSAGE),
            [](const gchar*, GLogLevelFlags, const gchar*, gpointer) {}, nullptr);
    });
}

std::variant<OpenPhoto, std::string> open(const std::string& path) {
    errno = 0;
    FileReading::Descriptor file(FileReading::open(path, FileReading::Access::sequential));
    if (!file.valid())
        return errno != 0 ? "cannot be read: " + FileSystem::describeErrno(errno)
                          : std::string("not a regular file");
    initialise();
    Source source(vips_source_new_from_descriptor(file.get()));
    if (!source)
        return std::string(unsupported);
    return OpenPhoto{std::move(file), std::move(source)};
}

std::optional<std::string> refusal(const VipsImage& header) {
    const std::int64_t width = header.Xsize, height = header.Ysize;
    if (width < 1 || height < 1)
        return std::string(damagedHeader);
    if (width * height > maxPixels)
        return "image too large to decode safely (" + std::to_string(width) + " × " +
               std::to_string(height) + " pixels)";
    return std::nullopt;
}

} // namespace quillmere::similar::Libvips
