// Handing files to the desktop: showing one selected in the file manager, opening one with its
// default application.
#pragma once

#include <QString>

namespace quillmere::FileManager {

/// Shows the file selected in a window of the file manager (the freedesktop.org FileManager1
/// D-Bus interface); when no file manager answers, opens the folder that holds it instead. Returns
/// at once: the file manager is asked without waiting on the GUI thread.
void reveal(const QString& path);

/// Opens the file with the application the desktop associates with it; false when none could.
bool open(const QString& path);

} // namespace quillmere::FileManager
