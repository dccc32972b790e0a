// The Qt window of MainForm: MainForm's controls, PopupMenu, the tray icon and the timer.
#pragma once

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <map>
#include <memory>
#include <string>

#include "shell/login_start.h"
#include "shell/main_form.h"
#include "shell/qt/event_loop.h"
#include "shell/qt/queue_window.h"
#include "shell/tray_menu.h"
#include "shell/window_design.h"

namespace zelmo {

class Printer;

// The application's standard exception display: a message box on the window's thread, whichever
// thread the exception came from; the worker does not wait for it.
//
// At most one box is open: while it is, further failures are only logged and notified. The box
// is not modal and runs no event loop of its own, so it stays until its user closes it.
class QtExceptionDisplay : public QObject, public ExceptionDisplay {
    Q_OBJECT
  public:
    void showException(const ZelmoError& error) override;
    // Shows what an event handler let escape, on the calling (window) thread; job, when given,
    // is the queue file the box is about: a box open for it takes the new message.
    void showNow(const std::string& message, const std::string& job = {});
    // The job's box, if open, says message instead, or closes when message is empty.
    void follow(const std::string& job, const std::string& message);
    // The box on screen, if one is.
    QMessageBox* openBox() const { return box_.data(); }

  private:
    QPointer<QMessageBox> box_;
    std::string boxJob_;  // the job the open box is about; empty for none
};

class MainWindow : public QWidget, public MainView, private TrayDialogs {
    Q_OBJECT
  public:
    // folder: see MainForm; empty for the program's folder.
    MainWindow(Printer& printer, const std::string& executablePath, const std::string& folder = {});
    ~MainWindow() override;

    // startUp, then the window is shown unless it went to the tray.
    void start();
    // shutDown; the window is not used afterwards.
    void finish();

    MainForm& form() { return *form_; }
    bool hasTray() const { return tray_ != nullptr; }
    void watchHandle(intptr_t handle) override;
    void postWorkerFinished() override;

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
    void setTrayIcon(TrayIconKind kind) override;
    void notify(const std::string& title, const std::string& text, bool warning) override;
    void showFailure(const std::string& text) override;
    void showJobFailure(const std::string& job, const std::string& text) override;
    void followFailure(const std::string& job, const std::string& text) override;

    void showQueueWindow() override;

    QtExceptionDisplay& exceptionDisplay() { return display_; }
    QueueWindow& queueWindow() { return *queueWindow_; }

  protected:
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

  private:
    void createStatusGroup();
    void createSettingsGroup();
    void createPopupMenu();
    void renderMenu(QMenu* menu, const std::vector<TrayEntry>& entries);
    void renderSubmenu(QMenu* menu, const TrayEntry& entry);
    void applyEntry(QAction* action, const TrayEntry& entry);
    void refreshMenu();
    QAction* trayAction(TrayItem id) const;
    bool chooseFolder(const std::string& caption, std::string& folder) override;
    void createTrayIcon();
    void watchSessionEnd();
    template <typename Items>
    void fitList(QComboBox* list, const Items& items);
    // Runs an event handler; what escapes it goes to the exception display.
    void guarded(const std::function<void()>& handler);
    void minimizeToTray();
    QLineEdit* edit(FocusTarget target) const;

    QtExceptionDisplay display_;
    QFrame* MainPanel = nullptr;
    QGroupBox* StatusGroup = nullptr;
    QLabel* Label_MonSta = nullptr;
    QLabel* Label_Search = nullptr;
    QLabel* PrintsToLabel = nullptr;
    QLabel* Label_Printer = nullptr;
    QGroupBox* SettingsGroup = nullptr;
    QLabel* OffsetsLabel = nullptr;
    QLabel* XLabel = nullptr;
    QLineEdit* OffsetXEdit = nullptr;
    QLabel* YLabel = nullptr;
    QLineEdit* OffsetYEdit = nullptr;
    QPushButton* ModifyButton = nullptr;
    QCheckBox* SingleMode = nullptr;
    QComboBox* PrintEngine = nullptr;
    QLabel* CodePageLabel = nullptr;
    QComboBox* CodePageList = nullptr;
    QMenu* PopupMenu = nullptr;
    std::map<TrayItem, QAction*> trayActions_;  // PopupMenu's own actions, by their entries' ids
    QSystemTrayIcon* tray_ = nullptr;
    QTimer Timer;
    bool sessionEnding_ = false;
    // Its own top-level window, so that hiding MainForm in the tray leaves it be.
    std::string executablePath_;
    std::unique_ptr<QueueWindow> queueWindow_;
    std::unique_ptr<MainForm> form_;
    std::unique_ptr<LoginStart> loginStart_;
    std::unique_ptr<TrayMenu> trayMenu_;
};

}  // namespace zelmo
