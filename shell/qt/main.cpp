// The program entry: the command line, the window (or, without a display, the console), the
// printer object and the message loop.
#include <unistd.h>
#include <QApplication>
#include <QMessageBox>
#include <QSocketNotifier>
#include <QTimer>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <memory>
#include <string>

#include "platform/control_channel.h"
#include "platform/errors.h"
#include "platform/folder_lock.h"
#include "printers/cups/cups_directory.h"
#include "printers/cups/cups_jobs.h"
#include "printers/cups/cups_printers.h"
#include "shell/command_line.h"
#include "shell/control.h"
#include "shell/feedback.h"
#include "shell/printer_chain.h"
#include "shell/qt/console_view.h"
#include "shell/qt/main_window.h"
#include "shell/text_settings.h"
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

// True when the variable is unset or empty.
bool unset(const char* name) {
    const char* value = std::getenv(name);
    return !value || !*value;
}

// True when no windowing system is reachable and none was chosen explicitly.
bool noDisplay() {
    return unset("DISPLAY") && unset("WAYLAND_DISPLAY") && unset("QT_QPA_PLATFORM");
}

// Lets Qt fall back to no screen at all when the display named cannot be opened, instead of
// aborting; true when that fallback was armed (the platform was not chosen by the user).
bool armDisplayFallback() {
    if (!unset("QT_QPA_PLATFORM")) return false;
    ::setenv("QT_QPA_PLATFORM",
             unset("WAYLAND_DISPLAY") ? "xcb;offscreen" : "wayland;xcb;offscreen", 1);
    // Our own one-line notice says what happened; Qt's plugin diagnostics would say it thrice.
    if (unset("QT_LOGGING_RULES")) ::setenv("QT_LOGGING_RULES", "qt.qpa.*=false", 1);
    return true;
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

// True when folder (with its trailing separator) is the folder the program is installed into.
bool installed(const std::string& folder) {
    return folder == std::string(ZELMO_INSTALL_BINDIR) + "/";
}

// The folder every file of the monitor lives in, with a trailing separator; created, when
// create is set, if the user named one that does not exist yet. Throws filesystem_error when
// it cannot be.
std::string monitorFolder(const zelmo::CommandLine& line, const std::string& exe, bool create) {
    const std::string own = exe.substr(0, exe.find_last_of('/') + 1);
    std::string chosen = line.folder;
    if (chosen.empty()) {
        // An installed program's folder is the system's, not a place for jobs and settings: the
        // user's own folder stands in for it.
        const char* home = std::getenv("HOME");
        if (!installed(own) || !home || !*home) return own;
        chosen = std::string(home) + "/" + zelmo::texts::kHomeFolderName;
    }
    namespace fs = std::filesystem;
    const fs::path folder = fs::absolute(chosen).lexically_normal();
    if (create) fs::create_directories(folder);
    std::string text = folder.string();
    if (text.empty() || text.back() != '/') text += '/';
    return text;
}

// Serves the control channel on the window thread while the message loop runs: at once when a
// client knocks, and every second for the deadlines of clients that went quiet.
class ControlHook {
  public:
    ControlHook(zelmo::ControlServer* server, zelmo::MainForm& form) : service_(form) {
        if (!server) return;
        const auto serve = [this, server] {
            server->serve([this](const std::string& request) { return service_.answer(request); },
                          zelmo::ControlClock::now());
        };
        notifier_ = std::make_unique<QSocketNotifier>(static_cast<qintptr>(server->handle()),
                                                      QSocketNotifier::Read);
        QObject::connect(notifier_.get(), &QSocketNotifier::activated, serve);
        QObject::connect(&timer_, &QTimer::timeout, serve);
        timer_.start(1000);
    }

  private:
    zelmo::ControlService service_;
    std::unique_ptr<QSocketNotifier> notifier_;
    QTimer timer_;
};

// The folder's control channel, made before any other thread runs (the socket's mode depends
// on it); the monitor runs without one, saying so, when it cannot be made.
std::unique_ptr<zelmo::ControlServer> openControl(const std::string& folder,
                                                  const zelmo::FolderLock& lock) {
    try {
        return zelmo::openControlServer(folder, lock.channel());
    } catch (const zelmo::PlatformError& error) {
        std::cerr << "Zelmo: " << zelmo::texts::kControlUnavailable << error.what() << std::endl;
        return nullptr;
    }
}

// Runs the form with view V until the message loop ends; the form chooses the printer.
// The monitor works by path: a folder moved away and made again under it is locked in its
// place, so that no second Zelmo takes it; one another Zelmo holds already is told once.
void followFolder(QTimer& timer, zelmo::FolderLock& lock, const std::string& folder) {
    QObject::connect(&timer, &QTimer::timeout, [&lock, folder, told = false]() mutable {
        if (lock.follow() || told) return;
        told = true;
        std::cerr << "Zelmo: " << zelmo::texts::kAlreadyRunning << folder << std::endl;
    });
    timer.start(2000);
}

template <typename View, typename App>
int run(App& app, const std::string& exe, const std::string& folder, const std::string& printer,
        zelmo::ControlServer* control, zelmo::FolderLock& lock) {
    zelmo::CupsDirectory directory(folder + zelmo::texts::kPdfFolderName,
                                   zelmo::readPdfSheet(folder + zelmo::texts::kSettingsFileName));
    zelmo::PrinterChain chain(directory, folder);
    View view(chain.archiving, exe, folder);
    view.form().usePrinters(directory, chain.printers, printer);
    view.form().useSubmittedLookup([](const std::string&, int64_t job) {
        return zelmo::followCupsJob(static_cast<int>(job));
    });
    view.start();
    const ControlHook hook(control, view.form());
    QTimer lockWatch;
    followFolder(lockWatch, lock, folder);
    const int code = app.exec();
    view.finish();
    return code;
}

// The console mode: no window, no tray; Qt still draws the PDF pages, on no screen at all.
int runHeadless(int argc, char** argv, const std::string& exe, const std::string& folder,
                const std::string& printer, zelmo::ControlServer* control,
                zelmo::FolderLock& lock) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QGuiApplication app(argc, argv);
    zelmo::installToolkitLanguage(app);
    quitOnSignals(app);
    return run<zelmo::ConsoleView>(app, exe, folder, printer, control, lock);
}

// The window and tray; the console when the display cannot be opened after all.
int runWindow(int argc, char** argv, const std::string& exe, const std::string& folder,
              const std::string& printer, zelmo::ControlServer* control, zelmo::FolderLock& lock) {
    const bool fallback = armDisplayFallback();
    QApplication app(argc, argv);
    zelmo::installToolkitLanguage(app);
    quitOnSignals(app);
    if (fallback && QGuiApplication::platformName() == QLatin1String("offscreen")) {
        std::cerr << "Zelmo: " << zelmo::texts::kNoDisplay << std::endl;
        return run<zelmo::ConsoleView>(app, exe, folder, printer, control, lock);
    }
    QApplication::setQuitOnLastWindowClosed(false);
    // Lets the desktop match the window to the menu entry and its icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("zelmo"));
    return run<zelmo::MainWindow>(app, exe, folder, printer, control, lock);
}

// Says that another Zelmo monitors the folder, on standard error; with a display, its window
// is brought to the front, or where it cannot be asked to, a box says so.
int reportAlreadyRunning(int argc, char** argv, const std::string& folder, bool headless) {
    const std::string message = zelmo::texts::kAlreadyRunning + folder;
    std::cerr << "Zelmo: " << message << std::endl;
    if (headless || zelmo::askToShow(folder)) return 1;
    armDisplayFallback();
    QApplication app(argc, argv);
    if (QGuiApplication::platformName() != QLatin1String("offscreen"))
        QMessageBox::information(
            nullptr, QString::fromUtf8(zelmo::texts::kMessageCaption),
            QString::fromStdString(zelmo::boxedPath(zelmo::texts::kAlreadyRunning, folder)));
    return 1;
}

// The control command: the monitor of the folder is asked, the folder is never created.
int runControl(const zelmo::CommandLine& line, const std::string& exe) {
    const zelmo::ControlOutcome outcome =
        zelmo::runControlCommand(monitorFolder(line, exe, false), line);
    std::cout << outcome.out << std::flush;
    if (!outcome.err.empty()) std::cerr << "zelmo: " << outcome.err << std::flush;
    return outcome.exitCode;
}

}  // namespace

// Reads the command line, takes the folder, chooses window or console, runs the message loop.
int main(int argc, char** argv) {
    zelmo::texts::installPlatformTexts();
    const zelmo::CommandLine line = zelmo::parseCommandLine(argc, argv);
    switch (line.action) {
        case zelmo::CommandLine::Action::Help:
            std::cout << zelmo::usageText();
            return 0;
        case zelmo::CommandLine::Action::Version:
            std::cout << zelmo::versionText();
            return 0;
        case zelmo::CommandLine::Action::Invalid:
            std::cerr << "zelmo: " << line.error << "\n\n" << zelmo::usageText();
            return 2;
        case zelmo::CommandLine::Action::Control:
        case zelmo::CommandLine::Action::Run:
            break;
    }
    const std::string exe = executablePath(argv[0]);
    const bool headless = line.headless || noDisplay();
    try {
        if (line.action == zelmo::CommandLine::Action::Control) return runControl(line, exe);
        const std::string folder = monitorFolder(line, exe, true);
        zelmo::FolderLock lock(folder);
        if (!lock.held()) return reportAlreadyRunning(argc, argv, folder, headless);
        const std::unique_ptr<zelmo::ControlServer> control = openControl(folder, lock);
        return headless ? runHeadless(argc, argv, exe, folder, line.printer, control.get(), lock)
                        : runWindow(argc, argv, exe, folder, line.printer, control.get(), lock);
    } catch (const std::filesystem::filesystem_error& error) {
        std::cerr << "Zelmo: " << zelmo::texts::kNoFolder << line.folder << " ("
                  << error.code().message() << ")" << std::endl;
        return 1;
    } catch (const std::exception& error) {
        std::cerr << "Zelmo: " << zelmo::exceptionMessage(error.what()) << std::endl;
        return 1;
    }
}
