// The program entry on Windows: the command line, the folder's lock, the printers to choose
// from, MainForm and the message loop.
#include <windows.h>
// After windows.h, which they need.
#include <objbase.h>
#include <shellapi.h>
#include <shlobj.h>

#include <exception>
#include <memory>
#include <string>
#include <vector>

#include "platform/control_channel.h"
#include "platform/folder_lock.h"
#include "platform/win32/wide.h"
#include "printers/pdf/pdf_printers.h"
#include "printers/win32/spooler_jobs.h"
#include "printers/win32/win32_directory.h"
#include "shell/command_line.h"
#include "shell/control.h"
#include "shell/feedback.h"
#include "shell/printer_chain.h"
#include "shell/text_settings.h"
#include "shell/texts.h"
#include "shell/win32/main_window.h"

namespace {

// The running program's own file, however long its path.
std::string executablePath() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (n < path.size()) {
            path.resize(n);
            return zelmo::win32::narrow(path);
        }
        path.resize(path.size() * 2);
    }
}

// The arguments as Windows splits them (quotes, backslashes before quotes), in UTF-8, the
// program's name first.
std::vector<std::string> arguments() {
    int count = 0;
    LPWSTR* wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    std::vector<std::string> args;
    for (int i = 0; wide && i < count; ++i)
        args.push_back(zelmo::win32::narrow(wide[i]));
    if (wide) ::LocalFree(wide);
    if (args.empty()) args.emplace_back("Zelmo.exe");
    return args;
}

// The text with its first letter in upper case, as a message box opens a sentence.
std::string sentence(std::string text) {
    if (!text.empty() && text[0] >= 'a' && text[0] <= 'z')
        text[0] = static_cast<char>(text[0] - 32);
    return text;
}

// Says text where its reader looks. A window program started from a console gets no console
// output: the prompt is back before it writes. So the text goes into a file or pipe its caller
// redirected the stream to (a script's `Zelmo.exe --version > out.txt`), else into a box.
void tell(DWORD stream, const std::string& text, UINT icon) {
    HANDLE handle = ::GetStdHandle(stream);
    const DWORD type = handle && handle != INVALID_HANDLE_VALUE ? ::GetFileType(handle) : 0;
    if (type == FILE_TYPE_DISK || type == FILE_TYPE_PIPE) {
        DWORD written = 0;
        if (::WriteFile(handle, text.data(), static_cast<DWORD>(text.size()), &written, nullptr))
            return;
    }
    ::MessageBoxW(nullptr, zelmo::win32::widen(sentence(text)).c_str(), L"Zelmo", icon | MB_OK);
}

// Writes text to the console of the program that started this one (a script's or a user's
// cmd.exe), where there is one; false otherwise.
bool toParentConsole(const std::string& text) {
    // Attached once; a second attempt fails, as the process has its console then.
    static const bool attached = ::AttachConsole(ATTACH_PARENT_PROCESS) != 0;
    if (!attached) return false;
    HANDLE console = ::CreateFileW(L"CONOUT$", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                   nullptr, OPEN_EXISTING, 0, nullptr);
    if (console == INVALID_HANDLE_VALUE) return false;
    const std::wstring wide = zelmo::win32::widen(text);
    DWORD written = 0;
    const BOOL done =
        ::WriteConsoleW(console, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr);
    ::CloseHandle(console);
    return done;
}

// Says a control command's answer: into a redirected stream, else the parent's console, else a
// box (started from Explorer's Run, say).
void answer(DWORD stream, const std::string& text) {
    if (text.empty()) return;
    HANDLE handle = ::GetStdHandle(stream);
    const DWORD type = handle && handle != INVALID_HANDLE_VALUE ? ::GetFileType(handle) : 0;
    DWORD written = 0;
    const auto write = [&] {
        return ::WriteFile(handle, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    };
    if ((type == FILE_TYPE_DISK || type == FILE_TYPE_PIPE) && write()) return;
    if (toParentConsole(text)) return;
    if (type == FILE_TYPE_CHAR && write()) return;
    tell(stream, text, stream == STD_ERROR_HANDLE ? MB_ICONERROR : MB_ICONINFORMATION);
}

// A box with the error's text and, when there is one, the system's reason after it.
int failed(const std::string& text, DWORD error) {
    const std::string detail = error ? zelmo::win32::systemMessage(error) : std::string();
    tell(STD_ERROR_HANDLE, text + (detail.empty() ? "" : "\n\n" + detail) + "\n", MB_ICONERROR);
    return 1;
}

// The folder every file of the monitor lives in, with a trailing separator: the program's own,
// or the one the user named, made full and, when create is set, created when missing. Empty,
// with error set, when it cannot be had.
std::string monitorFolder(const zelmo::CommandLine& line, const std::string& exe, bool create,
                          DWORD& error) {
    error = 0;
    if (line.folder.empty()) return exe.substr(0, exe.find_last_of("\\/") + 1);
    const std::wstring given = zelmo::win32::widen(line.folder);
    const DWORD size = ::GetFullPathNameW(given.c_str(), 0, nullptr, nullptr);
    std::wstring full(size, L'\0');
    const DWORD n = size ? ::GetFullPathNameW(given.c_str(), size, full.data(), nullptr) : 0;
    if (n == 0 || n >= size) {
        error = ::GetLastError();
        return {};
    }
    full.resize(n);
    if (!create) {
        if (full.back() != L'\\' && full.back() != L'/') full += L'\\';
        return zelmo::win32::narrow(full);
    }
    const int made = ::SHCreateDirectoryExW(nullptr, full.c_str(), nullptr);
    const DWORD attributes = ::GetFileAttributesW(full.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        error = made == ERROR_SUCCESS || made == ERROR_ALREADY_EXISTS ? ERROR_DIRECTORY
                                                                      : static_cast<DWORD>(made);
        return {};
    }
    if (full.back() != L'\\' && full.back() != L'/') full += L'\\';
    return zelmo::win32::narrow(full);
}

// The control channel and its service, for the thread timer that serves them.
zelmo::ControlServer* controlServer = nullptr;
zelmo::ControlService* controlService = nullptr;
constexpr UINT kControlPollMs = 100;

// The thread timer's call, on the window's thread: the pipe is polled, never waited on.
void CALLBACK serveControl(HWND, UINT, UINT_PTR, DWORD) {
    if (!controlServer || !controlService) return;
    try {
        controlServer->serve(
            [](const std::string& request) { return controlService->answer(request); },
            zelmo::ControlClock::now());
    } catch (const std::exception&) {
        // A command that failed is the client's to hear of; the window goes on.
    }
}

// Serves the control channel while the message loop runs.
class ControlHook {
  public:
    ControlHook(zelmo::ControlServer* server, zelmo::MainForm& form) : service_(form) {
        if (!server) return;
        controlServer = server;
        controlService = &service_;
        timer_ = ::SetTimer(nullptr, 0, kControlPollMs, serveControl);
    }
    ~ControlHook() {
        if (timer_) ::KillTimer(nullptr, timer_);
        controlServer = nullptr;
        controlService = nullptr;
    }

  private:
    zelmo::ControlService service_;
    UINT_PTR timer_ = 0;
};

// The folder's control channel; the monitor runs without one when it cannot be made.
std::unique_ptr<zelmo::ControlServer> openControl(const std::string& folder) {
    try {
        return zelmo::openControlServer(folder);
    } catch (const zelmo::ZelmoError&) {
        return nullptr;
    }
}

// The control command: the monitor of the folder is asked, the folder is never created.
int runControl(const zelmo::CommandLine& line, const std::string& exe) {
    DWORD error = 0;
    const std::string folder = monitorFolder(line, exe, false, error);
    if (folder.empty()) return failed(zelmo::texts::kNoFolder + line.folder, error);
    const zelmo::ControlOutcome outcome = zelmo::runControlCommand(folder, line);
    answer(STD_OUTPUT_HANDLE, outcome.out);
    answer(STD_ERROR_HANDLE, outcome.err.empty() ? "" : "Zelmo.exe: " + outcome.err);
    return outcome.exitCode;
}

// The window over the printer switch, the default followed unless the user chose a printer;
// every document also goes to the archive folder, when one is set.
int runWindow(const std::string& exe, const std::string& folder, const std::string& printer,
              zelmo::ControlServer* control) {
    zelmo::Win32PrinterDirectory directory(
        folder + zelmo::texts::kPdfFolderName,
        zelmo::readPdfSheet(folder + zelmo::texts::kSettingsFileName));
    zelmo::PrinterChain chain(directory, folder);
    zelmo::win32::MainWindow window(chain.archiving, exe, folder);
    window.form().usePrinters(directory, chain.printers, printer);
    window.form().useSubmittedLookup([](const std::string& name, int64_t job) {
        return zelmo::followSpoolerJob(zelmo::win32::widen(name), static_cast<DWORD>(job));
    });
    if (!window.start()) {
        // Without a window there is no tray icon either: the box is all the user will see.
        return failed(zelmo::texts::kWindowCreateError, ::GetLastError());
    }
    const ControlHook hook(control, window.form());
    return window.run();
}

}  // namespace

// Reads the command line, takes the folder, runs the window and its message loop; what escapes
// is shown as the exception display shows it.
int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    zelmo::texts::installPlatformTexts();
    const std::vector<std::string> args = arguments();
    std::vector<const char*> argv;
    for (const std::string& arg : args)
        argv.push_back(arg.c_str());
    zelmo::CommandLine line = zelmo::parseCommandLine(static_cast<int>(argv.size()), argv.data());
    if (line.action == zelmo::CommandLine::Action::Run && line.headless) {
        line.action = zelmo::CommandLine::Action::Invalid;
        line.error = zelmo::texts::kHeadlessOnWindows;
    }
    switch (line.action) {
        case zelmo::CommandLine::Action::Help:
            tell(STD_OUTPUT_HANDLE, zelmo::texts::kUsageWindows, MB_ICONINFORMATION);
            return 0;
        case zelmo::CommandLine::Action::Version:
            tell(STD_OUTPUT_HANDLE, zelmo::versionText(), MB_ICONINFORMATION);
            return 0;
        case zelmo::CommandLine::Action::Invalid:
            tell(STD_ERROR_HANDLE,
                 "Zelmo.exe: " + line.error + "\n\n" + zelmo::texts::kUsageWindows, MB_ICONERROR);
            return 2;
        case zelmo::CommandLine::Action::Control:
            return runControl(line, executablePath());
        case zelmo::CommandLine::Action::Run:
            break;
    }
    // The folder dialog of the archive item is a COM object of this (the window's) thread.
    const HRESULT com = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    struct ComUser {
        bool initialised;
        ~ComUser() {
            if (initialised) ::CoUninitialize();
        }
    } comUser{SUCCEEDED(com)};
    try {
        const std::string exe = executablePath();
        DWORD error = 0;
        const std::string folder = monitorFolder(line, exe, true, error);
        if (folder.empty())
            return failed(zelmo::boxedPath(zelmo::texts::kNoFolder, line.folder), error);
        const zelmo::FolderLock lock(folder);
        if (!lock.held()) {
            // The running monitor's window comes to the front instead, as Windows programs do.
            if (!zelmo::askToShow(folder))
                tell(STD_ERROR_HANDLE,
                     zelmo::boxedPath(zelmo::texts::kAlreadyRunning, folder) + "\n",
                     MB_ICONINFORMATION);
            return 1;
        }
        const std::unique_ptr<zelmo::ControlServer> control = openControl(folder);
        return runWindow(exe, folder, line.printer, control.get());
    } catch (const std::exception& error) {
        return failed(zelmo::exceptionMessage(error.what()), 0);
    }
}
