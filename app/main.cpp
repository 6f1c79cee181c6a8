// Quillmere, the desktop app: reviews duplicate photos and videos side by side.
#include "QuillmereApp.h"
#include "views/Info.h"

#include <QApplication>

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quillmere"));
    QApplication::setApplicationVersion(quillmere::Info::version());
    // Matches the installed .desktop entry, so desktops pair the window with its launcher.
    QGuiApplication::setDesktopFileName(QStringLiteral("quillmere"));
    QApplication::setWindowIcon(quillmere::Info::applicationIcon());
    quillmere::QuillmereApp app;
    return application.exec();
}
