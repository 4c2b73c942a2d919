// The desktop trash through GIO, which keeps freedesktop.org's trash layout (the home trash, and a
// volume's own .Trash-UID folder for other volumes).
#include <gio/gio.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "platform/posix/services.h"

namespace kelvora::platform::services {

bool trashWithGio(const std::string& path, bool& noTrash, std::string& reason) {
    noTrash = false;
    GFile* file = g_file_new_for_path(path.c_str());
    GError* error = nullptr;
    const gboolean trashed = g_file_trash(file, nullptr, &error);
    g_object_unref(file);
    if (trashed)
        return true;
    noTrash = error && error->domain == G_IO_ERROR && error->code == G_IO_ERROR_NOT_SUPPORTED;
    reason = error ? error->message : std::strerror(EIO);
    if (error)
        g_error_free(error);
    return false;
}

}  // namespace kelvora::platform::services
