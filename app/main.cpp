// Entry of the panel: one panel per computer, one main window, the event loop.

#include "cmainwindow.h"

#include <QApplication>
#include <QDebug>
#include <QSharedMemory>
#include <QSocketNotifier>
#include <QSystemSemaphore>

#include <clocale>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// A panel ended by the session (SIGTERM) or by Ctrl+C (SIGINT) leaves its event
// loop like a closed window, so the instance guard is released in order. The
// handler only writes a byte; the event loop does the rest.
int g_aQuitPipe[2] = {-1, -1};

void OnQuitSignal(int)
{
    const char c = 1;
    const ssize_t n = ::write(g_aQuitPipe[0], &c, 1);
    (void)n;
}

void QuitOnTerminationSignals(QApplication& app)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, g_aQuitPipe) != 0)
        return;
    auto* pNotifier = new QSocketNotifier(g_aQuitPipe[1], QSocketNotifier::Read, &app);
    QObject::connect(pNotifier, &QSocketNotifier::activated, &app, [pNotifier] {
        pNotifier->setEnabled(false);
        QApplication::quit();
    });
    struct sigaction action = {};
    action.sa_handler = OnQuitSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGTERM, &action, nullptr);
    ::sigaction(SIGINT, &action, nullptr);
}

// True when the panel would open on X11 (no other platform chosen by
// QT_QPA_PLATFORM or -platform) and DISPLAY names none.
bool NoDisplay(int argc, char* argv[])
{
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "-platform") == 0 || std::strcmp(argv[i], "--platform") == 0)
            return false;
    }
    const QByteArray platform = qgetenv("QT_QPA_PLATFORM");
    return (platform.isEmpty() || platform.startsWith("xcb")) && qEnvironmentVariableIsEmpty("DISPLAY");
}

} // namespace

int main(int argc, char* argv[])
{
    // The panel paints with QPainter only: without its OpenGL integration the
    // xcb platform keeps about 50 MB less resident for a panel left open for
    // months. A value the user set still wins.
    if (!qEnvironmentVariableIsSet("QT_XCB_GL_INTEGRATION"))
        qputenv("QT_XCB_GL_INTEGRATION", "none");
    // Without a display the X11 platform aborts inside QApplication with advice
    // to reinstall; say what is missing instead and fail like any program.
    if (NoDisplay(argc, argv)) {
        std::fprintf(stderr, "TellurixPanel: no display to open the window on: DISPLAY is not set.\n"
                             "Start the panel inside a desktop session, or set DISPLAY.\n");
        return 1;
    }
    // Must be set before the application object exists.
    QCoreApplication::setAttribute(Qt::AA_EnableHighDpiScaling, true);
    QApplication app(argc, argv);
    // QApplication took the user's locale for everything; numbers printed with
    // the C library keep the decimal point whatever the language.
    setlocale(LC_NUMERIC, "C");
    // Wayland compositors and docks match the window to the installed desktop
    // entry (its icon and name) by this id.
    QGuiApplication::setDesktopFileName(QStringLiteral("com.brightfen.TellurixPanel"));

    // The semaphore makes the create-or-fail test atomic between two panels
    // that start at the same moment.
    QSystemSemaphore semaphore(QStringLiteral("MY_APP_KEY"), 1, QSystemSemaphore::Open);
    semaphore.acquire();

    // A panel that crashed leaves its segment behind with no process attached.
    // Attaching and detaching removes such a segment (the last detach deletes
    // it); a live panel stays attached, so its segment survives and the create
    // below fails as it should.
    {
        QSharedMemory probe(QStringLiteral("TELLURIX_PANEL_APP_ID"));
        if (probe.attach())
            probe.detach();
    }

    // Holding this segment marks the running panel; nothing is written into it.
    QSharedMemory sharedMemory(QStringLiteral("TELLURIX_PANEL_APP_ID"), nullptr);
    if (!sharedMemory.create(1, QSharedMemory::ReadWrite)) {
        qDebug() << "MY_APP Error An instance has already been running.";
        semaphore.release(1);
        return 0;
    }
    semaphore.release(1);

    QuitOnTerminationSignals(app);

    CMainWindow window;
    window.show();
    return app.exec();
}
