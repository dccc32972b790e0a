// The program entry on Windows: the printer object over the default printer, MainForm and the
// message loop.
#include <windows.h>

#include <exception>
#include <string>

#include "platform/win32/wide.h"
#include "platform/win32/win32_printer.h"
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

}  // namespace

// Creates the window and runs the message loop; what escapes is shown as the exception display
// shows it.
int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    try {
        zelmo::Win32Printer printer;
        zelmo::win32::MainWindow window(printer, executablePath());
        if (!window.start()) {
            // Without a window there is no tray icon either: the box is all the user will see.
            const std::string detail = zelmo::win32::systemMessage(::GetLastError());
            ::MessageBoxW(nullptr,
                          zelmo::win32::widen(std::string(zelmo::texts::kWindowCreateError) +
                                              (detail.empty() ? "" : "\n\n" + detail))
                              .c_str(),
                          L"Zelmo", MB_ICONERROR | MB_OK);
            return 1;
        }
        return window.run();
    } catch (const std::exception& error) {
        ::MessageBoxW(nullptr, zelmo::win32::widen(zelmo::exceptionMessage(error.what())).c_str(),
                      L"Zelmo", MB_ICONERROR | MB_OK);
        return 1;
    }
}
