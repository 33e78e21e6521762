// velmora [PATH...]: the desktop application. PATHs (take files and folders)
// are imported at start as if dropped onto the take list.
#include "Velmora.h"
#include "VelmoraLook.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLoggingCategory>
#include <QTimer>

#include "FileListManagement.h"

#include <cstdio>
#include <cstring>

Q_LOGGING_CATEGORY(lcApp, "velmora.app", QtWarningMsg)

namespace
{
const char kUsage[] =
    "usage: velmora [--recorder-port PORT [--control-mode]] [PATH...]\n"
    "Opens the take files and folders given (a folder brings its take\n"
    "files, one level) in the take list.\n"
    "  --recorder-port PORT  use PORT (a serial device or r9k-sim's terminal) as a\n"
    "                        plugged-in recorder, whatever the port list says\n"
    "  --control-mode        start in control mode with the recorder's windows open\n";

#ifdef Q_OS_LINUX
// Without a display the toolkit cannot start; say so instead of aborting.
bool haveDisplay()
{
    return !qEnvironmentVariableIsEmpty("DISPLAY") ||
           !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") ||
           !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM");
}
#endif
} // namespace

int main(int argc, char* argv[])
{
    QElapsedTimer clock;
    clock.start();
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::fputs(kUsage, stdout);
            return 0;
        }
    }
#ifdef Q_OS_LINUX
    if (!haveDisplay()) {
        std::fputs("velmora: no display to open a window on (DISPLAY and WAYLAND_DISPLAY are "
                   "not set)\n",
                   stderr);
        return 1;
    }
#endif

    Q_INIT_RESOURCE(Velmora);
    QApplication app(argc, argv);
    // Ties the window to the installed .desktop file (its icon and name).
    QGuiApplication::setDesktopFileName(QStringLiteral(VELMORA_APP_ID));
    VelmoraLook::apply(app);

    // Developer option: writes the shipped layouts from the window's default
    // arrangement (see README, "Window layouts").
    if (argc == 3 && std::strcmp(argv[1], "--write-default-layouts") == 0) {
        Velmora window;
        QString error;
        if (!window.writeDefaultLayouts(QString::fromLocal8Bit(argv[2]), &error)) {
            std::fprintf(stderr, "velmora: %s\n", qPrintable(error));
            return 1;
        }
        return 0;
    }

    Velmora window;
    QObject::connect(&app, &QApplication::lastWindowClosed, &app, &QApplication::quit);
    window.show();
    qCInfo(lcApp) << "window shown after" << clock.elapsed() << "ms";

    QStringList paths = app.arguments().mid(1);
    const int portAt = int(paths.indexOf(QStringLiteral("--recorder-port")));
    if (portAt >= 0) {
        if (portAt + 1 >= paths.size()) {
            std::fputs("velmora: --recorder-port needs a PORT\n", stderr);
            return 2;
        }
        window.setRecorderPort(paths.at(portAt + 1));
        paths.remove(portAt, 2);
    }
    if (paths.removeAll(QStringLiteral("--control-mode")) > 0) {
        // After the start-up scan, which is queued first.
        QTimer::singleShot(0, &window, [&window] { window.startInControlMode(); });
    }
    if (!paths.isEmpty()) {
        // Start-up time to a populated window, for the log (velmora.app.info).
        QObject::connect(
            window.editor(), &FileListManagement::importFinished, &window,
            [&clock](int takes, int) {
                QTimer::singleShot(0, [&clock, takes] {
                    qCInfo(lcApp) << takes << "takes listed after" << clock.elapsed() << "ms";
                });
            },
            Qt::SingleShotConnection);
        window.openPaths(paths);
    }
    return app.exec();
}
