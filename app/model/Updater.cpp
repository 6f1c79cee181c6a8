#include "model/Updater.h"

namespace quillmere {

Updater::Updater(QObject* parent) : QObject(parent) {}

void Updater::checkForUpdates() {
    // Without an update framework there is nothing to ask; the menu command is disabled anyway.
}

} // namespace quillmere
