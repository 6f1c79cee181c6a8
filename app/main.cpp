// Quillmere, the desktop app: reviews duplicate photos and videos side by side.
#include "QuillmereApp.h"
#include "views/Info.h"

#include <QApplication>
#include <QMediaPlayer>

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quillmere"));
    QApplication::setApplicationVersion(quillmere::Info::version());
    // Matches the installed .desktop entry, so desktops pair the window with its launcher.
    QGuiApplication::setDesktopFileName(QStringLiteral("quillmere"));
    QApplication::setWindowIcon(quillmere::Info::applicationIcon());
    {
        // The media framework starts with the first player made, which takes about half a
        // second on the GUI thread; made here, before there is a window, that wait does not
        // fall on the first video pair the user looks at.
        QMediaPlayer warmUp;
    }
    quillmere::QuillmereApp app;
    return application.exec();
}
