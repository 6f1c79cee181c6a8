// The desktop's Trash through GIO. g_file_trash follows the freedesktop.org Trash rules:
// it creates the home trash under $XDG_DATA_HOME when missing, uses a volume's .Trash-$uid where
// the home trash is on another device, and refuses cleanly where no trash can exist, leaving the
// file in place. (QFile::moveToTrash is not used: with a missing data folder it moves the file
// under the working folder and reports success.)
#include "model/Trash.h"

#include <gio/gio.h>

namespace quillmere {

namespace {

class GioTrash final : public Trash {
  public:
    std::optional<std::string> moveToTrash(const std::string& path) const override {
        GFile* file = g_file_new_for_path(path.c_str());
        GError* error = nullptr;
        const bool trashed = g_file_trash(file, nullptr, &error);
        g_object_unref(file);
        if (trashed)
            return std::nullopt;
        std::string reason = error ? error->message : "the file could not be moved to the Trash";
        g_clear_error(&error);
        return reason;
    }
};

} // namespace

const Trash& Trash::platform() {
    static const GioTrash instance;
    return instance;
}

} // namespace quillmere
