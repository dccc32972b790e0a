// The main form's test fixture: a fake view that keeps what the form shows, an exception
// display that records, a program folder of its own, and ticking the form until a condition holds.
#pragma once

#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <mutex>
#include <sstream>
#include <thread>

#include "pipeline/job_history.h"
#include "pipeline/printed_store.h"
#include "printers/printer_directory.h"
#include "printers/printer_switch.h"
#include "printers/simulated/simulated_printer.h"
#include "shell/feedback.h"
#include "shell/login_start.h"
#include "shell/main_form.h"
#include "shell/number_text.h"
#include "shell/printer_choice.h"
#include "shell/queue_view.h"
#include "shell/texts.h"
#include "shell/tray_menu.h"
#include "tests/support/eventually.h"
#include "tools/job_builder.h"

namespace zelmo {
namespace shell_test {

namespace fs = std::filesystem;

// A view that keeps what the form shows, behaving like the window's controls where it matters.
class FakeView : public MainView {
  public:
    char separator = '.';
    bool timer = false;
    bool pauseChecked = false;
    bool settingsEnabled = true;
    std::string monitorStatus, labelSearch, labelPrinter, trayHint, button;
    std::string editX, editY;
    int32_t engine = -1;
    bool single = false;
    FocusTarget focus = FocusTarget::MainPanel;
    std::vector<std::string> warnings;
    int minimizePosts = 0, restores = 0, closes = 0;

    void postMinimize() override { ++minimizePosts; }
    void restoreWindow() override { ++restores; }
    void closeWindow() override { ++closes; }
    void setTimerEnabled(bool enabled) override { timer = enabled; }
    void setPauseChecked(bool checked) override { pauseChecked = checked; }
    void setMonitorStatus(const std::string& text) override { monitorStatus = text; }
    void setLabelWithHint(HintLabel label, const std::string& text) override {
        (label == HintLabel::Label_Search ? labelSearch : labelPrinter) = text;
    }
    void setTrayHint(const std::string& text) override { trayHint = text; }
    void setEditText(FocusTarget edit, const std::string& text) override {
        (edit == FocusTarget::OffsetYEdit ? editY : editX) = text;
    }
    std::string editText(FocusTarget edit) const override {
        return edit == FocusTarget::OffsetYEdit ? editY : editX;
    }
    // A drop-down list of three items selects nothing for an index it does not have.
    void setEngineIndex(int32_t index) override { engine = index >= 0 && index < 3 ? index : -1; }
    int32_t engineIndex() const override { return engine; }
    void setSingleModeChecked(bool checked) override { single = checked; }
    bool singleModeChecked() const override { return single; }
    void setSettingsEnabled(bool enabled) override { settingsEnabled = enabled; }
    void setButtonCaption(const std::string& caption) override { button = caption; }
    void setFocus(FocusTarget target) override { focus = target; }
    void showWarning(const std::string& text, const std::string& caption) override {
        warnings.push_back(caption + ": " + text);
    }
    char decimalSeparator() const override { return separator; }
    bool askYesNo(const std::string& text, const std::string&) override {
        questions.push_back(text);
        return answer;
    }
    std::vector<std::string> questions;
    bool answer = false;
    void notify(const std::string& title, const std::string& text, bool) override {
        notices.push_back(title + ": " + text);
    }
    std::vector<std::string> notices;
    void setTrayIcon(TrayIconKind kind) override { icon = kind; }
    TrayIconKind icon = TrayIconKind::Monitoring;
    // The worker's notice, posted from its thread as the window's queue would take it.
    void postWorkerFinished() override {
        std::lock_guard<std::mutex> guard(workerLock);
        ++workerNotices;
        workerDone.notify_all();
    }
    // Waits (generously) for the worker's n-th notice.
    bool awaitWorkerNotice(int n) {
        std::unique_lock<std::mutex> guard(workerLock);
        return workerDone.wait_for(guard, std::chrono::seconds(30),
                                   [&] { return workerNotices >= n; });
    }
    std::mutex workerLock;
    std::condition_variable workerDone;
    int workerNotices = 0;
};

class RecordingDisplay : public ExceptionDisplay {
  public:
    void showException(const ZelmoError& error) override { messages.push_back(error.what()); }
    std::vector<std::string> messages;
};

// A temporary program folder with the form's program in it, removed afterwards.
class MainFormTest : public ::testing::Test {
  protected:
    void SetUp() override {
        char pattern[] = "/tmp/zelmo-shell-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir = pattern;
    }
    void TearDown() override {
        form.reset();
        fs::remove_all(dir);
    }
    // Creates the form (optionally over a settings file with the given text) and runs
    // startUp.
    void create(const std::string& ini = "") {
        if (!ini.empty()) std::ofstream(settingsPath()) << ini;
        form = std::make_unique<MainForm>(view, printer, display, dir + "/zelmo");
        form->startUp();
    }
    std::string settingsPath() const { return dir + "/Zelmo.ini"; }
    std::string settingsText() const {
        std::ifstream in(settingsPath());
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }
    // Types x and y into the edits and presses the button twice (edit, then save).
    void save(const std::string& x, const std::string& y = "0") {
        form->modifyClick();
        view.editX = x;
        view.editY = y;
        form->modifyClick();
    }

    std::string dir;
    FakeView view;
    SimulatedPrinter printer;
    RecordingDisplay display;
    std::unique_ptr<MainForm> form;
};

// Ticks the form until done() holds, for at most a generous while.
template <typename Done>
bool tickUntil(MainForm& form, Done done) {
    return eventually(
        done, [&] { form.timerTick(); }, std::chrono::seconds(30), std::chrono::milliseconds(10));
}

// A login start that keeps its state in memory, and can be made to fail.
class FakeLoginStart : public LoginStart {
  public:
    bool on = false;
    bool fails = false;
    bool enabled() const override { return on; }
    void enable(bool wanted) override {
        if (fails) throw ZelmoError("Permission denied");
        on = wanted;
    }
};

// A folder dialog that answers with folder, or is cancelled when it is empty.
class FakeDialogs : public TrayDialogs {
  public:
    std::string folder;
    int asked = 0;
    bool chooseFolder(const std::string&, std::string& chosen) override {
        ++asked;
        chosen = folder;
        return !folder.empty();
    }
};

}  // namespace shell_test
}  // namespace zelmo
