// The app's own facts. QUILLMERE_VERSION, QUILLMERE_BUILD and QUILLMERE_COPYRIGHT come from the
// build system; an empty or missing one counts as absent.
#include "views/Info.h"

// Resources compiled into a static library must be registered by name, outside any namespace.
static void registerResources() {
    Q_INIT_RESOURCE(quillmere);
}

namespace quillmere::Info {

namespace {

std::optional<QString> stamped(const char* value) {
    const QString text = QString::fromUtf8(value);
    return text.isEmpty() ? std::nullopt : std::optional<QString>(text);
}

} // namespace

Bundle bundle() {
    Bundle result;
#ifdef QUILLMERE_VERSION
    result.shortVersion = stamped(QUILLMERE_VERSION);
#endif
#ifdef QUILLMERE_BUILD
    result.buildNumber = stamped(QUILLMERE_BUILD);
#endif
#ifdef QUILLMERE_COPYRIGHT
    result.copyright = stamped(QUILLMERE_COPYRIGHT);
#endif
    return result;
}

QString version(const Bundle& bundle) {
    return bundle.shortVersion.value_or(QStringLiteral("dev"));
}

QString build(const Bundle& bundle) {
    return bundle.buildNumber.value_or(QStringLiteral("—"));
}

QString copyright(const Bundle& bundle) {
    return bundle.copyright.value_or(QStringLiteral("© 2025 The Quillmere developers"));
}

QUrl website() {
    return QUrl(QStringLiteral("https://quillmere.app"));
}

QString supportMail() {
    return QStringLiteral("support@quillmere.app");
}

QIcon applicationIcon() {
    static const bool registered = (registerResources(), true);
    Q_UNUSED(registered);
    QIcon icon;
    for (const int size : {16, 32, 48, 64, 128, 256, 512})
        icon.addFile(QStringLiteral(":/icons/quillmere-%1.png").arg(size), QSize(size, size));
    return icon;
}

} // namespace quillmere::Info
