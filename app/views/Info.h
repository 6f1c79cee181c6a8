// What the app says about itself in the about window: its version and build as stamped by the
// build system, its notice, web site and support mailbox, and its icon.
#pragma once

#include <QIcon>
#include <QString>
#include <QUrl>
#include <optional>

namespace quillmere::Info {

/// The values the build stamped into this program; absent when the build gave none.
struct Bundle {
    std::optional<QString> shortVersion;
    std::optional<QString> buildNumber;
    std::optional<QString> copyright;
};

/// This program's stamped values.
Bundle bundle();

/// The short version, or "dev" when absent.
QString version(const Bundle& bundle = Info::bundle());
/// The build number, or "—" when absent.
QString build(const Bundle& bundle = Info::bundle());
/// The stamped notice, or a fixed copyright line when absent.
QString copyright(const Bundle& bundle = Info::bundle());

/// The product's web site.
QUrl website();
/// The support mailbox, as an address.
QString supportMail();

/// The application's own icon, drawn at several sizes.
QIcon applicationIcon();

} // namespace quillmere::Info
