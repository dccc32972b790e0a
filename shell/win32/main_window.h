// MainForm as a plain Win32 window: the panel, both group boxes and their controls, PopupMenu,
// the tray icon and the 500 ms timer, all driven by the toolkit-neutral MainForm.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "shell/login_start.h"
#include "shell/main_form.h"
#include "shell/tray_menu.h"
#include "shell/win32/controls.h"
#include "shell/win32/failure_box.h"
#include "shell/win32/queue_window.h"

namespace zelmo {

class Printer;

namespace win32 {

// The application's exception display: the failure box on the window's thread, whichever thread
// the exception came from; the worker does not wait for it.
class WindowExceptionDisplay : public ExceptionDisplay {
  public:
    void attach(HWND window) { window_ = window; }
    void showException(const ZelmoError& error) override;

  private:
    HWND window_ = nullptr;
};

class MainWindow : public MainView, private TrayDialogs {
  public:
    // folder: see MainForm; empty for the program's folder.
    MainWindow(Printer& printer, const std::string& executablePath, const std::string& folder = {});
    ~MainWindow() override;
    MainWindow(const MainWindow&) = delete;
    MainWindow& operator=(const MainWindow&) = delete;

    // Creates the window and runs startUp; false when the window cannot be made.
    bool start();
    // The message loop, until the window is closed.
    int run();
    MainForm& form() { return *form_; }

    // MainView
    void postMinimize() override;
    void restoreWindow() override;
    void closeWindow() override;
    void setTimerEnabled(bool enabled) override;
    void setPauseChecked(bool checked) override;
    void setMonitorStatus(const std::string& text) override;
    void setLabelWithHint(HintLabel label, const std::string& text) override;
    void setTrayHint(const std::string& text) override;
    void setEditText(FocusTarget edit, const std::string& text) override;
    std::string editText(FocusTarget edit) const override;
    void setEngineIndex(int32_t index) override;
    int32_t engineIndex() const override;
    void setSingleModeChecked(bool checked) override;
    bool singleModeChecked() const override;
    void setCodePageIndex(int32_t index) override;
    int32_t codePageIndex() const override;
    void setSettingsEnabled(bool enabled) override;
    void setButtonCaption(const std::string& caption) override;
    void setFocus(FocusTarget target) override;
    void showWarning(const std::string& text, const std::string& caption) override;
    bool askYesNo(const std::string& text, const std::string& caption) override;
    char decimalSeparator() const override;
    void notify(const std::string& title, const std::string& text, bool warning) override;
    void watchHandle(intptr_t handle) override;
    void postWorkerFinished() override;
    void setTrayIcon(TrayIconKind kind) override;
    void showQueueWindow() override;
    // The one failure box; while it is open, a failure is only in the log and the notification.
    void showFailure(const std::string& message) override;
    void showJobFailure(const std::string& job, const std::string& message) override;
    void followFailure(const std::string& job, const std::string& message) override;

  private:
    static LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM w, LPARAM l);
    static LRESULT CALLBACK panelProc(HWND window, UINT message, WPARAM w, LPARAM l);
    static LRESULT CALLBACK groupProc(HWND window, UINT message, WPARAM w, LPARAM l);
    LRESULT handle(HWND window, UINT message, WPARAM w, LPARAM l);
    void menuOpening(HMENU menu);
    void closeBox();
    void trayMessage(LPARAM mouse);
    void failureArrived(LPARAM text);
    void destroyed();
    void registerClasses(HINSTANCE instance);
    bool createWindow(HINSTANCE instance);
    int titleWidth() const;

    void createFonts();
    void createControls();
    RECT boundsOf(const ControlLayout& layout, const std::wstring& text, HFONT font) const;
    HWND createControl(const ControlLayout& layout, const wchar_t* className, DWORD style,
                       const char* text, HFONT font);
    static int commandOf(TrayItem id);
    void changeDpi(int dpi, const RECT& suggested);
    void createPopupMenu();
    void renderMenu(HMENU menu, const std::vector<TrayEntry>& entries);
    void fillPrinterMenu();
    void refreshMenu();
    bool chooseFolder(const std::string& caption, std::string& folder) override;
    bool trayCommand(int id);
    void createTrayIcon();
    void createTrayIcons();
    void removeTrayIcon();
    void addHint(HWND label);
    void command(int id);
    void showPopupMenu();
    void minimizeToTray();
    LRESULT colourControl(HDC dc, HWND control);
    void measureItem(MEASUREITEMSTRUCT& item) const;
    void drawListItem(const DRAWITEMSTRUCT& item) const;
    void toggleSingleMode();
    // Runs an event handler; what escapes it goes to the exception display.
    void guarded(const std::function<void()>& handler);
    HWND control(ControlId id) const;
    HWND edit(FocusTarget target) const;

    struct Resources;
    HWND window_ = nullptr;
    int dpi_ = 96;                   // the DPI the window is laid out for
    bool settingsUnlocked_ = false;  // the settings are being edited
    int panelShift_ = 0;             // the panel's move right in a window widened for its title
    HMENU popupMenu_ = nullptr;
    HMENU printerMenu_ = nullptr;            // owned by popupMenu_
    std::vector<std::string> menuPrinters_;  // the printers the submenu lists, in its order
    std::string executablePath_;
    HWND tooltip_ = nullptr;
    bool hasTray_ = false;
    TrayIconKind trayIcon_ = TrayIconKind::Monitoring;  // the variant the tray shows
    HANDLE watched_ = nullptr;  // the folder watch's handle, owned by the form
    std::unique_ptr<Resources> resources_;
    WindowExceptionDisplay display_;
    FailureBox failureBox_;
    // Declared before the form so that it outlives it: the form's job events reach it.
    std::unique_ptr<QueueWindow> queue_;
    std::unique_ptr<MainForm> form_;
    std::unique_ptr<LoginStart> loginStart_;
    std::unique_ptr<TrayMenu> trayMenu_;
};

}  // namespace win32
}  // namespace zelmo
