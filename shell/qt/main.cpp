// The program entry: the window (or, without a display, the console), the printer object and
// the message loop.
#include <unistd.h>
#include <QApplication>
#include <QSocketNotifier>
#include <csignal>
#include <cstdlib>
#include <iostream>
#include <memory>
#include <string>

#include "platform/archiving_printer.h"
#include "platform/qt/qt_printers.h"
#include "shell/qt/main_window.h"
#include "shell/texts.h"

namespace {

int signalPipe[2] = {-1, -1};

// The path of the running executable, so that the program's files sit beside it wherever it
// was started from.
std::string executablePath(const char* argv0) {
    std::string path(4096, '\0');
    const ssize_t n = ::readlink("/proc/self/exe", path.data(), path.size() - 1);
    if (n <= 0) return argv0;
    path.resize(static_cast<size_t>(n));
    return path;
}

// True when no windowing system is reachable and none was chosen explicitly.
bool noDisplay() {
    const auto unset = [](const char* name) {
        const char* value = std::getenv(name);
        return !value || !*value;
    };
    return unset("DISPLAY") && unset("WAYLAND_DISPLAY") && unset("QT_QPA_PLATFORM");
}

// SIGINT and SIGTERM end the program through the message loop, so shutdown runs in order.
void onSignal(int) {
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = ::write(signalPipe[1], &byte, 1);
}

// Connects the termination signals to the application's quit.
void quitOnSignals(QCoreApplication& app) {
    if (::pipe(signalPipe) != 0) return;
    auto* notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, &app);
    QObject::connect(notifier, &QSocketNotifier::activated, &app, &QCoreApplication::quit);
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

// Runs the form with view V until the message loop ends.
template <typename View, typename App>
int run(App& app, zelmo::Printer& printer, const std::string& exe) {
    View view(printer, exe);
    view.start();
    const int code = app.exec();
    view.finish();
    return code;
}

}  // namespace

// Chooses window or console, opens the printer, runs the message loop.
int main(int argc, char** argv) {
    const std::string exe = executablePath(argv[0]);
    const std::string dir = exe.substr(0, exe.find_last_of('/') + 1);
    try {
        if (noDisplay()) {
            // Fonts for the PDF pages still need a GUI application, on no screen at all.
            ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
            QGuiApplication app(argc, argv);
            quitOnSignals(app);
            auto printer = zelmo::openDefaultPrinter(dir + zelmo::texts::kPdfFolderName);
            zelmo::ArchivingPrinter archiving(*printer, zelmo::openArchivePrinter);
            return run<zelmo::ConsoleView>(app, archiving, exe);
        }
        QApplication app(argc, argv);
        QApplication::setQuitOnLastWindowClosed(false);
        quitOnSignals(app);
        auto printer = zelmo::openDefaultPrinter(dir + zelmo::texts::kPdfFolderName);
        // Every document also goes to the archive folder, when one is set.
        zelmo::ArchivingPrinter archiving(*printer, zelmo::openArchivePrinter);
        return run<zelmo::MainWindow>(app, archiving, exe);
    } catch (const std::exception& error) {
        std::cerr << "Zelmo: " << zelmo::exceptionMessage(error.what()) << std::endl;
        return 1;
    }
}
