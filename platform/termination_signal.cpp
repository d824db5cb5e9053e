#include "platform/termination_signal.h"

#include <QApplication>
#include <QSocketNotifier>
#include <QWidget>

#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>
#include <csignal>

namespace gearloft {
namespace {

// A signal handler may do almost nothing: it writes one byte into a socket
// pair, and the event loop, woken by the other end, closes the windows.
int g_signalSockets[2] = {-1, -1};

void OnSignal(int /*signal*/) {
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(g_signalSockets[0], &byte, 1);
}

}  // namespace

bool CloseWindowsOnTermination() {
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, g_signalSockets) != 0) {
        return false;
    }
    ::fcntl(g_signalSockets[0], F_SETFL, O_NONBLOCK);
    auto* notifier = new QSocketNotifier(g_signalSockets[1], QSocketNotifier::Read, qApp);
    QObject::connect(notifier, &QSocketNotifier::activated, qApp, [] {
        char bytes[16];
        [[maybe_unused]] const ssize_t read = ::read(g_signalSockets[1], bytes, sizeof bytes);
        // Each open window closes as the user would close it; then every
        // event loop is told to end, so that no dialog opened afterwards
        // (the next step of start-up, a message) waits for an answer.
        for (QWidget* window : QApplication::topLevelWidgets()) {
            if (window->isVisible()) {
                window->close();
            }
        }
        QCoreApplication::exit(0);
    });

    struct sigaction action = {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
        if (::sigaction(signal, &action, nullptr) != 0) {
            return false;
        }
    }
    return true;
}

}  // namespace gearloft
