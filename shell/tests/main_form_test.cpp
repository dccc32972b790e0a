// TMainForm with a fake view: start-up, settings and their file, panel modes, pause, the test
// items, and one job from the monitored file to the simulated printer.
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
#include "platform/portable/simulated_printer.h"
#include "platform/printer_directory.h"
#include "platform/printer_switch.h"
#include "shell/Main.h"
#include "shell/feedback.h"
#include "shell/login_start.h"
#include "shell/number_text.h"
#include "shell/printer_choice.h"
#include "shell/queue_view.h"
#include "shell/texts.h"
#include "shell/tray_menu.h"
#include "tools/job_builder.h"

namespace zelmo {
namespace {

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
        (edit == FocusTarget::Edit_Y ? editY : editX) = text;
    }
    std::string editText(FocusTarget edit) const override {
        return edit == FocusTarget::Edit_Y ? editY : editX;
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
    // FormCreate.
    void create(const std::string& ini = "") {
        if (!ini.empty()) std::ofstream(settingsPath()) << ini;
        form = std::make_unique<TMainForm>(view, printer, display, dir + "/zelmo");
        form->FormCreate();
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
        form->BtnClick();
        view.editX = x;
        view.editY = y;
        form->BtnClick();
    }

    std::string dir;
    FakeView view;
    SimulatedPrinter printer;
    RecordingDisplay display;
    std::unique_ptr<TMainForm> form;
};

TEST_F(MainFormTest, FirstRunShowsDefaultsAndSavingCreatesTheFile) {
    create();
    EXPECT_EQ(view.minimizePosts, 1);
    EXPECT_EQ(form->programDir(), dir + "/");
    EXPECT_EQ(view.labelSearch, dir + "/Wydruk.prn");
    EXPECT_EQ(view.monitorStatus, "Monitorowanie pliku:");
    EXPECT_TRUE(view.timer);
    EXPECT_FALSE(view.pauseChecked);
    EXPECT_EQ(view.trayHint.substr(0, view.trayHint.find('\n')),
              "Kalvister II - Monitor Wydruków (wersja 3.1.0)");
    EXPECT_EQ(view.editX, "0.0");
    EXPECT_EQ(view.editY, "0.0");
    EXPECT_EQ(view.engine, 0);
    EXPECT_FALSE(view.single);
    EXPECT_FALSE(view.settingsEnabled);
    EXPECT_EQ(view.button, "&Modyfikuj");
    EXPECT_FALSE(fs::exists(settingsPath()));

    form->BtnClick();
    EXPECT_EQ(form->panelMode(), PanelMode::editMode);
    EXPECT_TRUE(view.settingsEnabled);
    EXPECT_EQ(view.button, "&Zapisz");
    EXPECT_EQ(view.focus, FocusTarget::Edit_X);
    form->BtnClick();
    EXPECT_EQ(form->panelMode(), PanelMode::displayMode);
    EXPECT_EQ(view.focus, FocusTarget::MainPanel);
    EXPECT_EQ(settingsText(), "[User]\nUserX=0\nUserY=0\nUserPE=0\nUserSM=0\n");
}

struct SavedOffset {
    char separator;
    std::string typed;
    int32_t tenths;
    std::string shown;
};

TEST_F(MainFormTest, TypedOffsetsAreSavedInTenthsAndShownWithOneDecimal) {
    const SavedOffset cases[] = {
        {'.', "209.9", 2099, "209.9"},
        {'.', "-209.9", -2099, "-209.9"},
        {'.', "0.25", 2, "0.2"},
        {'.', "0.75", 8, "0.8"},
        {'.', "-0.25", -2, "-0.2"},
        {'.', "12.34", 123, "12.3"},
        {'.', " 5 ", 50, "5.0"},
        {'.', ".5", 5, "0.5"},
        {'.', "1e2", 1000, "100.0"},
        {',', "0,75", 8, "0,8"},
        {',', "-209,94", -2099, "-209,9"},
        {'.', "-0.04", 0, "0.0"},
        // The other mark is taken too, and shown as the system's.
        {'.', "1,5", 15, "1.5"},
        {',', "-0.25", -2, "-0,2"},
    };
    create();
    for (const SavedOffset& c : cases) {
        SCOPED_TRACE(c.typed);
        view.separator = c.separator;
        save(c.typed, c.typed);
        EXPECT_EQ(form->offsetX(), c.tenths);
        EXPECT_EQ(form->offsetY(), c.tenths);
        EXPECT_EQ(view.editX, c.shown);
        EXPECT_NE(settingsText().find("UserX=" + std::to_string(c.tenths) + "\n"),
                  std::string::npos);
        EXPECT_TRUE(view.warnings.empty());
    }
}

TEST_F(MainFormTest, AnUnparsableValueKeepsEditModeAndStoresNothing) {
    struct Case {
        std::string x, y;
        FocusTarget focus;
    };
    const Case cases[] = {
        {"abc", "1", FocusTarget::Edit_X},   {"", "1", FocusTarget::Edit_X},
        {"1.2.3", "1", FocusTarget::Edit_X}, {"0,5.1", "1", FocusTarget::Edit_X},
        {"-", "1", FocusTarget::Edit_X},     {"1", "2x", FocusTarget::Edit_Y},
        {"1", "1e", FocusTarget::Edit_Y},
    };
    create("[User]\nUserX=15\n");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.x + " / " + c.y);
        view.warnings.clear();
        save(c.x, c.y);
        EXPECT_EQ(form->panelMode(), PanelMode::editMode);
        EXPECT_EQ(view.focus, c.focus);
        ASSERT_EQ(view.warnings.size(), 1u);
        EXPECT_EQ(view.warnings[0],
                  c.focus == FocusTarget::Edit_X
                      ? "Kalvister II - Monitor Wydruków: Nieprawidłowa wartość. Przesunięcie w "
                        "poziomie: podaj liczbę milimetrów, np. 1.5."
                      : "Kalvister II - Monitor Wydruków: Nieprawidłowa wartość. Przesunięcie w "
                        "pionie: podaj liczbę milimetrów, np. 1.5.");
        EXPECT_EQ(form->offsetX(), 15);
        EXPECT_EQ(settingsText(), "[User]\nUserX=15\n");
        form->TrayIcon1Minimize();  // back to displayMode for the next case
    }
}

// An offset that would move the whole page off the sheet (A4 at 300 dpi here: 2480 x 3508
// pixels) is refused with the range that stays on it, never saved clamped.
TEST_F(MainFormTest, AnOffsetOffTheSheetIsRefusedWithItsRange) {
    struct Case {
        char separator;
        std::string x, y;
        FocusTarget focus;
        std::string range;
    };
    const Case cases[] = {
        {'.', "5000", "0", FocusTarget::Edit_X,
         "w poziomie wyprowadza stronę poza arkusz: podaj od -209.9 do 209.9"},
        {'.', "0", "297", FocusTarget::Edit_Y,
         "w pionie wyprowadza stronę poza arkusz: podaj od -296.9 do 296.9"},
        {',', "-209,95", "0", FocusTarget::Edit_X,
         "w poziomie wyprowadza stronę poza arkusz: podaj od -209,9 do 209,9"},
        {'.', "1", "-1e9", FocusTarget::Edit_Y,
         "w pionie wyprowadza stronę poza arkusz: podaj od -296.9 do 296.9"},
    };
    create("[User]\nUserX=15\n");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.x + " / " + c.y);
        view.separator = c.separator;
        view.warnings.clear();
        save(c.x, c.y);
        EXPECT_EQ(form->panelMode(), PanelMode::editMode);
        EXPECT_EQ(view.focus, c.focus);
        ASSERT_EQ(view.warnings.size(), 1u);
        EXPECT_EQ(view.warnings[0],
                  "Kalvister II - Monitor Wydruków: Nieprawidłowa wartość. "
                  "Przesunięcie " +
                      c.range + " mm.");
        EXPECT_EQ(form->offsetX(), 15);
        EXPECT_EQ(settingsText(), "[User]\nUserX=15\n");
        form->TrayIcon1Minimize();
    }
}

TEST_F(MainFormTest, MinimisingWhileEditingDiscardsTheEdits) {
    create("[User]\nUserX=-25\nUserY=30\nUserPE=1\nUserSM=1\n");
    form->BtnClick();
    view.editX = "7";
    view.engine = 2;
    view.single = false;
    form->TrayIcon1Minimize();
    EXPECT_EQ(form->panelMode(), PanelMode::displayMode);
    EXPECT_EQ(view.editX, "-2.5");
    EXPECT_EQ(view.editY, "3.0");
    EXPECT_EQ(view.engine, 1);
    EXPECT_TRUE(view.single);
    EXPECT_FALSE(view.settingsEnabled);
    EXPECT_EQ(form->offsetX(), -25);
    // In displayMode minimising changes nothing.
    form->TrayIcon1Minimize();
    EXPECT_EQ(form->panelMode(), PanelMode::displayMode);
}

// A value that is not understood keeps its default and is told once, in the log and in a
// notification, with its key; a comment after a value is not part of it.
TEST_F(MainFormTest, SettingsAreReadAsTheFileHoldsThem) {
    struct Case {
        std::string ini;
        int32_t x, y, engine;
        bool single;
        std::vector<std::string> ignored;
    };
    const Case cases[] = {
        {"[User]\nUserX=99999\nUserY=-99999\n", 9999, -9999, 0, false, {}},
        {"[user]\nuserx=-12\nUSERY=7\nUserPE=2\nUserSM=5\n", -12, 7, 2, true, {}},
        {"[User]\nUserX=abc\nUserY=0x10\nUserPE=-1\nUserSM=0\n", 0, 16, -1, false, {"UserX=abc"}},
        {"[User]\nUserX=x1\n[Zelmo]\nPaper=A5\n", 0, 0, 0, false, {"UserX=x1", "Paper=A5"}},
        {"[Zelmo]\nPaper=letter\n", 0, 0, 0, false, {}},
        {"[Other]\nUserX=5\n", 0, 0, 0, false, {}},
        {"[User]\nUserPE=7\n", 0, 0, 7, false, {}},
        {"[User]\nUserX=15 ; 1,5 mm\nUserSM=1#on\n[Text]\nCodePage=Mazovia ; comment\n",
         15,
         0,
         0,
         false,
         {"UserSM=1#on"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.ini);
        std::ofstream(settingsPath()) << c.ini;
        fs::remove(dir + "/Zelmo.log");
        FakeView fresh;
        TMainForm other(fresh, printer, display, dir + "/zelmo");
        other.FormCreate();
        EXPECT_EQ(other.offsetX(), c.x);
        EXPECT_EQ(other.offsetY(), c.y);
        EXPECT_EQ(other.engine(), c.engine);
        EXPECT_EQ(other.singleMode(), c.single);
        std::vector<std::string> told;
        for (const std::string& notice : fresh.notices)
            if (notice.rfind(texts::kSettingCaption, 0) == 0) told.push_back(notice);
        // All of them in one notification, none hiding another.
        ASSERT_EQ(told.size(), c.ignored.empty() ? 0u : 1u);
        std::ifstream in(dir + "/Zelmo.log");
        const std::string log((std::istreambuf_iterator<char>(in)), {});
        for (std::size_t i = 0; i < c.ignored.size(); ++i) {
            EXPECT_NE(told[0].find(c.ignored[i]), std::string::npos) << told[0];
            EXPECT_NE(log.find(c.ignored[i]), std::string::npos) << log;
        }
    }
}

// Zelmo.ini edited while Zelmo runs is read at the next tick, a value not understood told once
// however often the file changes; a pause outlives the run (kept in the journal, not in the
// settings the user did not save).
TEST_F(MainFormTest, SettingsEditedWhileRunningAnswerAndAPauseOutlivesTheRun) {
    create("[User]\nUserX=5\n");
    const auto settingNotices = [&] {
        int n = 0;
        for (const std::string& notice : view.notices)
            n += notice.rfind(texts::kSettingCaption, 0) == 0;
        return n;
    };
    for (const char* ini : {"[User]\nUserX=25\n[Zelmo]\nPaper=A5\n",
                            "[User]\nUserX=-30\n[Zelmo]\nPaper=A5\n; edited again\n"}) {
        std::ofstream(settingsPath()) << ini;
        form->TimerTimer();
    }
    EXPECT_EQ(form->offsetX(), -30);
    EXPECT_EQ(settingNotices(), 1);
    const std::string settings = settingsText();
    form->PauseItemClick();
    ASSERT_TRUE(form->paused());
    EXPECT_EQ(settingsText(), settings);
    form->FormDestroy();
    form.reset();
    create();
    EXPECT_TRUE(form->paused());
    EXPECT_EQ(view.monitorStatus, texts::kMonitoringPaused);
    form->PauseItemClick();
    form->FormDestroy();
    form.reset();
    create();
    EXPECT_FALSE(form->paused());
}

TEST_F(MainFormTest, SavingKeepsTheFilesOtherSectionsKeysAndComments) {
    create(
        "; Zelmo settings\n[Paths]\nSpool=/var/tmp\n\n[User]\n; offsets in tenths\nUserX=3\n"
        "Extra=keep me\n");
    save("1.5", "-2");
    const std::string text = settingsText();
    for (const char* kept : {"; Zelmo settings", "[Paths]", "Spool=/var/tmp", "; offsets in tenths",
                             "Extra=keep me", "UserX=15", "UserY=-20", "UserPE=0", "UserSM=0"})
        EXPECT_NE(text.find(kept), std::string::npos) << kept << " missing from\n" << text;
    EXPECT_EQ(text.find("UserX=3"), std::string::npos);
}

// A full disk stood in for by a file size limit: the save fails, says so, leaves the old file
// whole and nothing beside it, and stays in editMode; once there is room it goes through.
TEST_F(MainFormTest, AFailedSaveIsReportedAndLeavesTheOldFileWhole) {
    const std::string old = "; " + std::string(200, '#') + "\n[User]\nUserX=3\n";
    create(old);
    struct rlimit before {};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &before), 0);
    struct rlimit small = before;
    small.rlim_cur = 64;
    signal(SIGXFSZ, SIG_IGN);
    const auto names = [this] {
        std::vector<std::string> out;
        for (const auto& entry : fs::directory_iterator(dir))
            out.push_back(entry.path().filename());
        std::sort(out.begin(), out.end());
        return out;
    };
    const std::vector<std::string> filesBefore = names();
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    save("1.5");
    setrlimit(RLIMIT_FSIZE, &before);
    ASSERT_EQ(view.warnings.size(), 1u);
    EXPECT_NE(view.warnings[0].find(texts::kSettingsNotSaved), std::string::npos);
    EXPECT_EQ(settingsText(), old);
    EXPECT_EQ(names(), filesBefore);
    EXPECT_EQ(view.button, texts::kSave);
    form->BtnClick();
    EXPECT_EQ(view.button, texts::kModify);
    EXPECT_NE(settingsText().find("UserX=15"), std::string::npos);
}

// A settings file that is a FIFO is not waited on: start-up takes the defaults, and a save
// refuses to replace what it could not read.
TEST_F(MainFormTest, ASettingsFileThatIsAFifoNeitherHangsNorIsReplaced) {
    ASSERT_EQ(mkfifo(settingsPath().c_str(), 0600), 0);
    create();
    EXPECT_EQ(view.editX, "0.0");
    save("1");
    EXPECT_EQ(view.warnings.size(), 1u);
    EXPECT_TRUE(fs::is_fifo(settingsPath()));
}

TEST_F(MainFormTest, AnEngineOutsideTheListIsKeptAndHandedToTheWorker) {
    create("[User]\nUserPE=7\nUserSM=1\n");
    EXPECT_EQ(form->engine(), 7);
    EXPECT_EQ(view.engine, -1);  // the list shows nothing selected
    std::ofstream(dir + "/Wydruk.prn") << "\f";
    form->TimerTimer();
    ASSERT_NE(form->handOver(), nullptr);
    EXPECT_EQ(form->handOver()->PrintRequest.engine, 7);
    EXPECT_EQ(form->handOver()->PrintRequest.singleMode, 1);
    // Saving without choosing an engine stores what the list shows: none.
    save("0");
    EXPECT_EQ(form->engine(), -1);
    EXPECT_NE(settingsText().find("UserPE=-1"), std::string::npos);
}

// A login entry that is only a flag, or fails as the desktop's file would.
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

// The texts of entries, "-" for a separator, a submenu's in brackets after its item.
std::string menuText(const std::vector<TrayEntry>& entries) {
    std::string text;
    for (const TrayEntry& e : entries) {
        text += (text.empty() ? "" : "|") + (e.id == TrayItem::Separator ? "-" : e.text);
        if (e.checked) text += "*";
        if (!e.submenu.empty()) text += "[" + menuText(e.submenu) + "]";
    }
    return text;
}

TEST_F(MainFormTest, TheTrayMenuListsItsItemsInOrderAndEachReachesTheForm) {
    create();
    FakeLoginStart login;
    FakeDialogs dialogs;
    TrayMenu menu(*form, view, login);
    EXPECT_EQ(menuText(menu.entries()),
              "Otwórz|&Wstrzymaj|Test[Wektorowy|Bitmapowy|Bitmapowy DI]|Kolejka wydruków|"
              "Drukarka|Folder archiwum...|Uruchamiaj przy logowaniu|-|Zakończ");
    EXPECT_TRUE(menu.entries()[0].isDefault);
    EXPECT_EQ(menuText(menu.printerEntries()),
              "Domyślna drukarka systemu*|-|Pliki PDF (folder Wydruki)");
    const std::pair<TrayItem, int> tests[] = {
        {TrayItem::VectorTest, 1}, {TrayItem::BitmapTest, 2}, {TrayItem::BitmapDiTest, 3}};
    for (auto [item, mode] : tests) {
        menu.choose(item, "", dialogs);
        EXPECT_EQ(form->handOver()->TestMode.load(), mode);
    }
    menu.choose(TrayItem::Pause, "", dialogs);
    EXPECT_TRUE(view.pauseChecked);
    EXPECT_TRUE(menu.entries()[1].checked);
    menu.choose(TrayItem::PdfFolderPrinter, kPdfFolderChoice, dialogs);
    EXPECT_EQ(form->printerChoice(), kPdfFolderChoice);
    EXPECT_EQ(menuText(menu.printerEntries()),
              "Domyślna drukarka systemu|-|Pliki PDF (folder Wydruki)*");
    menu.choose(TrayItem::Open, "", dialogs);
    // Nothing waits: "Zakończ" ends at once; the close box still asks.
    menu.choose(TrayItem::Exit, "", dialogs);
    EXPECT_EQ(view.restores, 1);
    EXPECT_EQ(view.closes, 1);
    EXPECT_TRUE(view.questions.empty());
    EXPECT_FALSE(form->mayClose(CloseReason::CloseBox));
    EXPECT_EQ(view.questions, std::vector<std::string>{closeQuestion(0)});
}

TEST_F(MainFormTest, TheArchiveAndLoginItemsToggleAndSayWhyWhenTheyCannot) {
    create();
    FakeLoginStart login;
    FakeDialogs dialogs;
    TrayMenu menu(*form, view, login);
    const auto entry = [&menu](TrayItem id) {
        for (const TrayEntry& e : menu.entries())
            if (e.id == id) return e;
        return TrayEntry{};
    };
    // A cancelled dialog changes nothing; a chosen folder is checked and shown as the hint;
    // choosing the checked item stops archiving without asking.
    menu.choose(TrayItem::Archive, "", dialogs);
    EXPECT_FALSE(entry(TrayItem::Archive).checked);
    dialogs.folder = dir + "/archiwum";
    menu.choose(TrayItem::Archive, "", dialogs);
    EXPECT_TRUE(entry(TrayItem::Archive).checked);
    EXPECT_EQ(entry(TrayItem::Archive).hint, dir + "/archiwum");
    menu.choose(TrayItem::Archive, "", dialogs);
    EXPECT_FALSE(entry(TrayItem::Archive).checked);
    EXPECT_EQ(dialogs.asked, 2);

    menu.choose(TrayItem::LoginStart, "", dialogs);
    EXPECT_TRUE(entry(TrayItem::LoginStart).checked);
    login.on = false;  // removed by other means: the mark follows the entry
    EXPECT_FALSE(entry(TrayItem::LoginStart).checked);
    login.fails = true;
    menu.choose(TrayItem::LoginStart, "", dialogs);
    EXPECT_FALSE(entry(TrayItem::LoginStart).checked);
    ASSERT_EQ(view.warnings.size(), 1u);
    EXPECT_EQ(view.warnings[0], std::string("Kalvister II - Monitor Wydruków: ") +
                                    texts::kAutostartFailed + "\nPermission denied");
}

// Answers the delete question as told and keeps what it was shown.
class FakeQueueDialogs : public QueueDialogs {
  public:
    bool answer = false;
    std::vector<std::string> shown;
    bool confirm(const std::string& text, const std::string& caption) override {
        shown.push_back(caption + ": " + text);
        return answer;
    }
    void warn(const std::string& text, const std::string& caption) override {
        shown.push_back(caption + ": " + text);
    }
    bool viewerWorks = true;
    std::vector<std::string> opened;
    bool openDocument(const std::string& path) override {
        opened.push_back(path);
        return viewerWorks;
    }
};

TEST_F(MainFormTest, TheQueueViewFormatsRowsAndDeletesOnlyWhatTheUserConfirmed) {
    std::ofstream(dir + "/Zelmo7.Prn") << std::string(1536, 'x');
    std::ofstream(dir + "/Zelmo9.Prn") << "\f";
    HistoryEntry done;
    done.job = 4;
    done.pages = 2;
    done.queueName = "Zelmo1.Prn";
    done.printer = "Biuro";
    std::ofstream(dir + "/" + kHistoryName) << formatHistory({done});
    create();
    QueueView queue(*form, ',');
    ASSERT_TRUE(queue.refresh());
    EXPECT_FALSE(queue.refresh());  // nothing changed
    ASSERT_EQ(queue.rows().size(), 3u);
    // A finished job is listed below the files, and nothing can be done to it.
    const QueueRow& finished = queue.rows()[2];
    EXPECT_EQ(finished.cells[ColNumber], "4");
    EXPECT_EQ(finished.cells[ColName], "Zelmo1.Prn");
    EXPECT_FALSE(finished.canPrintAgain || finished.canDelete);
    const QueueRow& row = queue.rows()[0];
    EXPECT_EQ(row.cells[ColNumber], "7");
    EXPECT_EQ(row.cells[ColName], "Zelmo7.Prn");
    EXPECT_EQ(row.cells[ColTime].size(), 19u);
    EXPECT_EQ(row.cells[ColSize], "1,5 kB");
    EXPECT_EQ(row.cells[ColState], "z poprzedniego uruchomienia (niedrukowany)");
    EXPECT_TRUE(row.canPrintAgain);
    EXPECT_TRUE(row.canDelete);
    EXPECT_EQ(queue.rows()[1].cells[ColSize], "1 B");

    FakeQueueDialogs dialogs;
    queue.remove(queue.find("Zelmo9.Prn"), dialogs);
    EXPECT_TRUE(fs::exists(dir + "/Zelmo9.Prn"));
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0],
              "Kolejka wydruków: Usunąć plik Zelmo9.Prn? Tego wydruku nie "
              "będzie można już wydrukować.");
    dialogs.answer = true;
    queue.remove(queue.find("Zelmo9.Prn"), dialogs);
    EXPECT_FALSE(fs::exists(dir + "/Zelmo9.Prn"));
    // Gone by other means meanwhile: the user is told it could not be deleted.
    fs::remove(dir + "/Zelmo7.Prn");
    queue.remove(queue.find("Zelmo7.Prn"), dialogs, true);
    EXPECT_EQ(dialogs.shown.back(), "Kolejka wydruków: Nie można usunąć pliku Zelmo7.Prn.");
    EXPECT_EQ(dialogs.shown.size(), 3u);
}

// "Otwórz PDF" is offered for a finished job only while its PDF is still a file where it was
// written; a click on one that went meanwhile, or that no viewer takes, is told.
// Numbers are never reused, whatever became of the journal: the history and the names of the
// PDFs and archived copies ("nr 57") carry them too.
TEST_F(MainFormTest, JobNumbersGoOnAfterTheHistoryAndTheDocumentsWhateverTheJournal) {
    struct Case {
        const char* what;
        const char* journal;  // nullptr: deleted
        int64_t historyJob;   // 0: no history
        std::vector<std::string> pdfs, archived;
        int64_t next;
    };
    const Case cases[] = {
        {"history, journal deleted", nullptr, 41, {}, {}, 42},
        {"PDFs, journal emptied",
         "",
         0,
         {"2026-12-07 11-49-04 Zelmo3 nr 57.pdf",
          "2026-12-07 11-50-00 Zelmo1 nr 9 ponownie (2).pdf",
          "2026-12-07 11-51-00 Zelmo2 nr 99x.pdf", "2026-12-07 11-52-00 Zelmo4 nr 9999999999.pdf"},
         {},
         58},
        {"archive",
         nullptr,
         5,
         {"2026-12-07 11-52-00 Test Wektorowy.pdf"},
         {"2026-12-07 11-49-04 Zelmo2 nr 63 ponownie.pdf"},
         64},
        {"journal ahead of all", "next 70\n", 41, {"2026-12-07 11-49-04 Zelmo3 nr 57.pdf"}, {}, 70},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove_all(dir);
        fs::create_directories(dir + "/Wydruki");
        fs::create_directories(dir + "/Archiwum");
        if (c.journal) std::ofstream(dir + "/" + kJournalName) << c.journal;
        if (c.historyJob > 0) {
            HistoryEntry done;
            done.job = c.historyJob;
            done.queueName = "Zelmo1.Prn";
            std::ofstream(dir + "/" + kHistoryName) << formatHistory({done});
        }
        for (const std::string& name : c.pdfs)
            std::ofstream(dir + "/Wydruki/" + name) << "%PDF-1.4";
        for (const std::string& name : c.archived)
            std::ofstream(dir + "/Archiwum/" + name) << "%PDF-1.4";
        create("[Archive]\nFolder=Archiwum\n");
        EXPECT_EQ(form->monitor()->nextJob(), c.next);
        form.reset();
    }
}

TEST_F(MainFormTest, AFinishedJobOpensItsPdfOnlyWhileThePdfIsThere) {
    std::ofstream(dir + "/Zelmo9.Prn") << "\f";  // a waiting file: never a PDF to open
    fs::create_directory(dir + "/folder.pdf");
    const struct {
        int64_t job;
        std::string pdf;
        bool there;
    } cases[] = {{1, dir + "/Wydruki/kept.pdf", true},
                 {2, dir + "/Wydruki/gone.pdf", false},
                 {3, "", false},
                 {4, dir + "/folder.pdf", false}};
    fs::create_directory(dir + "/Wydruki");
    std::deque<HistoryEntry> history;
    for (const auto& c : cases) {
        HistoryEntry entry;
        entry.job = c.job;
        entry.queueName = "Zelmo" + std::to_string(c.job) + ".Prn";
        entry.finished = WallTime{} + std::chrono::seconds(c.job);
        entry.pdf = c.pdf;
        if (c.there) std::ofstream(c.pdf) << "%PDF-1.4";
        history.push_back(entry);
    }
    std::ofstream(dir + "/" + kHistoryName) << formatHistory(history);
    create();
    QueueView queue(*form, ',');
    queue.refresh();
    ASSERT_EQ(queue.rows().size(), 5u);
    EXPECT_FALSE(queue.rows()[0].canOpenPdf);  // Zelmo9.Prn
    FakeQueueDialogs dialogs;
    for (const auto& c : cases) {
        const int row = 5 - static_cast<int>(c.job);  // the newest first, below the file
        EXPECT_EQ(queue.rows()[row].canOpenPdf, c.there) << c.job;
        queue.openPdf(row, dialogs);
    }
    EXPECT_EQ(dialogs.opened, std::vector<std::string>{cases[0].pdf});
    ASSERT_EQ(dialogs.shown.size(), 2u);
    EXPECT_EQ(dialogs.shown[0], "Kolejka wydruków: Pliku " + cases[1].pdf +
                                    " już nie ma: został usunięty lub przeniesiony.");
    EXPECT_EQ(dialogs.shown[1], "Kolejka wydruków: Pliku " + cases[3].pdf +
                                    " już nie ma: został usunięty lub przeniesiony.");
    // Gone after the row was read: told, never handed to the viewer; the refresh follows.
    fs::remove(cases[0].pdf);
    queue.openPdf(4, dialogs);
    EXPECT_EQ(dialogs.opened.size(), 1u);
    EXPECT_EQ(dialogs.shown.size(), 3u);
    EXPECT_TRUE(queue.refresh());
    EXPECT_FALSE(queue.rows()[4].canOpenPdf);
    // A viewer that does not start is said so too.
    std::ofstream(cases[0].pdf) << "%PDF-1.4";
    queue.refresh();
    dialogs.viewerWorks = false;
    queue.openPdf(4, dialogs);
    EXPECT_EQ(dialogs.shown.back(),
              "Kolejka wydruków: Nie można otworzyć pliku " + cases[0].pdf +
                  ". Czy jest zainstalowany program do przeglądania plików PDF?");
}

// "Drukuj ponownie" is offered for a finished job while the store keeps its file; one dropped
// after the row was read is said to be no longer kept, in words that give the store's bounds.
TEST_F(MainFormTest, AFinishedJobPrintsAgainWhileItsFileIsKept) {
    std::deque<HistoryEntry> history(2);
    history[0].job = 5;
    history[1].job = 6;
    std::ofstream(dir + "/" + kHistoryName) << formatHistory(history);
    fs::create_directory(dir + "/" + kPrintedStoreName);
    for (const char* kept : {"/5.prn", "/6.prn"})
        std::ofstream(dir + "/" + kPrintedStoreName + kept) << "\x1b"
                                                               "E";
    fs::remove(dir + "/" + kPrintedStoreName + "/6.prn");
    create();
    QueueView queue(*form, ',');
    queue.refresh();
    ASSERT_EQ(queue.rows().size(), 2u);
    EXPECT_FALSE(queue.rows()[0].canPrintAgain);  // job 6, newest first
    EXPECT_TRUE(queue.rows()[1].canPrintAgain);
    FakeQueueDialogs dialogs;
    queue.printAgain(1, &dialogs);
    EXPECT_EQ(form->monitor()->queue().pendingCount, 1);
    fs::remove(dir + "/" + kPrintedStoreName + "/5.prn");
    queue.printAgain(1, &dialogs);
    EXPECT_EQ(form->monitor()->queue().pendingCount, 1);
    EXPECT_EQ(dialogs.shown,
              std::vector<std::string>{
                  "Kolejka wydruków: Zadania nr 5 nie można już wydrukować ponownie: "
                  "jego plik nie jest już przechowywany. Zelmo przechowuje pliki "
                  "200 ostatnich wydruków, razem najwyżej 100 MB."});
}

TEST(QueueSize, BytesBelowAKilobyteThenKilobytesWithOneDecimal) {
    const std::pair<uint64_t, const char*> cases[] = {
        {0, "0 B"},
        {1023, "1023 B"},
        {1024, "1,0 kB"},
        {1075, "1,0 kB"},
        {1076, "1,1 kB"},
        {10485760, "10 240,0 kB"},
        {180275405, "176 050,2 kB"},
        // An exact half goes to the even tenth, as printf would round it.
        {1280, "1,2 kB"},
        {1792, "1,8 kB"}};
    for (auto [bytes, text] : cases)
        EXPECT_EQ(sizeText(bytes, ','), text) << bytes;
}

TEST(CloseQuestion, CountsTheWaitingJobsInTheirPolishForm) {
    const std::pair<int32_t, const char*> cases[] = {
        {1, "czeka 1 wydruk."},        {2, "czekają 2 wydruki."},    {4, "czekają 4 wydruki."},
        {5, "czeka 5 wydruków."},      {11, "czeka 11 wydruków."},   {12, "czeka 12 wydruków."},
        {14, "czeka 14 wydruków."},    {21, "czeka 21 wydruków."},   {22, "czekają 22 wydruki."},
        {104, "czekają 104 wydruki."}, {112, "czeka 112 wydruków."},
    };
    const std::string question = texts::kCloseQuestion;
    EXPECT_EQ(closeQuestion(0), question);
    for (auto [waiting, count] : cases) {
        const std::string text = closeQuestion(waiting);
        EXPECT_EQ(text.rfind(question, 0), 0u) << waiting;
        EXPECT_NE(text.find(std::string("W kolejce ") + count), std::string::npos) << text;
    }
}

TEST(TrayClick, OpensTheWindowAsThePlatformExpects) {
    EXPECT_TRUE(trayClickOpensWindow(TrayClick::Single, false));
    EXPECT_TRUE(trayClickOpensWindow(TrayClick::Double, false));
    EXPECT_FALSE(trayClickOpensWindow(TrayClick::Single, true));
    EXPECT_TRUE(trayClickOpensWindow(TrayClick::Double, true));
}

// Ticks the form until done() holds, for at most a generous while.
template <typename Done>
bool tickUntil(TMainForm& form, Done done) {
    for (int i = 0; i < 3000 && !done(); ++i) {
        form.TimerTimer();
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return done();
}

// A job set aside keeps the icon red while it waits for the user, through later jobs that
// print; deleted (or printed again), it no longer does.
TEST_F(MainFormTest, ASetAsideJobKeepsTheIconRedUntilTheUserActs) {
    create();
    std::ofstream(dir + "/Wydruk.prn") << "%PDF-1.4\n%\xe2\xe3\n1 0 obj\n";
    ASSERT_TRUE(tickUntil(*form, [&] { return form->monitor()->setAsideCount() == 1; }));
    std::ofstream(dir + "/Wydruk.prn") << "\x1b*t300R\x1b*b0M\x1b*b2W\xff\x0f\f";
    ASSERT_TRUE(tickUntil(*form, [&] {
        return !fs::exists(dir + "/Wydruk.prn") && form->monitor()->queue().pendingCount == 0;
    }));
    ASSERT_EQ(printer.memory().printedSheets().size(), 1u);
    form->TimerTimer();
    EXPECT_EQ(view.icon, TrayIconKind::Error);
    ASSERT_TRUE(form->deleteQueueFile("Zelmo1.Prn"));
    form->TimerTimer();
    EXPECT_EQ(view.icon, TrayIconKind::Monitoring);
}

TEST_F(MainFormTest, AJobWrittenBesideTheProgramIsPrintedAndRetired) {
    create();
    std::ofstream(dir + "/Wydruk.prn") << "\x1b*t300R\x1b*b0M\x1b*b2W\xff\x0f\f";
    // The folder watch captures it at once, no tick needed.
    form->FolderChanged();
    ASSERT_TRUE(fs::exists(dir + "/Zelmo1.Prn"));
    // The worker's notice retires it at once, no tick needed either.
    ASSERT_TRUE(view.awaitWorkerNotice(1));
    form->WorkerFinished();
    EXPECT_EQ(form->monitor()->queue().pendingCount, 0);
    EXPECT_FALSE(fs::exists(dir + "/Zelmo1.Prn"));
    EXPECT_FALSE(fs::exists(dir + "/Wydruk.prn"));
    EXPECT_EQ(view.labelPrinter, printer.config().name);
    ASSERT_EQ(printer.memory().printedSheets().size(), 1u);
    EXPECT_EQ(printer.memory().documents.at(0).title, "Kalvister II - wydruk.prn");
    EXPECT_TRUE(display.messages.empty());
    form->FormDestroy();
    std::ifstream log(dir + "/Zelmo.log");
    std::vector<std::string> events;
    for (std::string line; std::getline(log, line);)
        events.push_back(line.substr(20));  // after the local time
    EXPECT_EQ(events,
              (std::vector<std::string>{
                  "Start monitorowania folderu: " + dir + "/",
                  "Przyjęto zadanie nr 1 (Zelmo1.Prn)",
                  "Wydrukowano nr 1 (Zelmo1.Prn), stron: 1, drukarka: " + printer.config().name,
                  "Koniec monitorowania",
              }));
}

// A job whose pages drew but whose marks all fell beside the sheet (offsets saved by an older
// version at their old limit) is told as a warning with its likely cause, never as printed.
TEST_F(MainFormTest, AJobWhoseMarksAllMissTheSheetIsToldAsBlankNotPrinted) {
    const std::pair<const char*, std::string> cases[] = {
        {"UserY=9999", "Puste strony nr 1 (Zelmo1.Prn), stron: 2, drukarka: " +
                           printer.config().name + ": nic nie trafiło na arkusz"},
        {"UserX=-9999", "Puste strony nr 1"},
        // The raster page's top reaches the sheet's foot, the text page does not: some mark.
        {"UserY=2900", "Wydrukowano nr 1"},
    };
    for (const auto& [offset, line] : cases) {
        SCOPED_TRACE(offset);
        fs::remove_all(dir);
        fs::create_directories(dir);
        view.workerNotices = 0;
        create(std::string("[User]\n") + offset + "\n");
        const std::vector<uint8_t> job = sampleJob();
        std::ofstream(dir + "/Wydruk.prn", std::ios::binary)
            .write(reinterpret_cast<const char*>(job.data()),
                   static_cast<std::streamsize>(job.size()));
        form->FolderChanged();
        ASSERT_TRUE(view.awaitWorkerNotice(1));
        form->WorkerFinished();
        form->FormDestroy();
        form.reset();
        std::ifstream log(dir + "/Zelmo.log");
        std::vector<std::string> events;
        for (std::string text; std::getline(log, text);)
            events.push_back(text.substr(20));
        ASSERT_GE(events.size(), 3u);
        EXPECT_EQ(events[2].rfind(line, 0), 0u) << events[2];
    }
}

// A pause holds printing, never capture: two printouts written while paused both wait, in
// order, and print once resumed.
TEST_F(MainFormTest, PausedPrintoutsAreCapturedAndPrintInOrderOnResume) {
    create();
    form->PauseItemClick();
    EXPECT_TRUE(view.timer);
    EXPECT_TRUE(view.pauseChecked);
    EXPECT_EQ(view.monitorStatus, "Drukowanie wstrzymane, monitorowany plik:");
    for (const char* queued : {"/Zelmo1.Prn", "/Zelmo2.Prn"}) {
        std::ofstream(dir + "/Wydruk.prn") << "\x1b*t300R\x1b*b0M\x1b*b1W\xff\f";
        form->FolderChanged();
        form->TimerTimer();
        ASSERT_TRUE(fs::exists(dir + queued)) << queued;
    }
    for (int i = 0; i < 20; ++i) {
        form->TimerTimer();
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    EXPECT_TRUE(printer.memory().documents.empty());
    EXPECT_NE(view.trayHint.find("Oczekujące wydruki: 2"), std::string::npos) << view.trayHint;
    const std::vector<QueueFileInfo> held = form->queueSnapshot();
    ASSERT_EQ(held.size(), 2u);
    EXPECT_EQ(queueStateText(held[1]), "wstrzymany (2. w kolejce)");

    form->PauseItemClick();
    EXPECT_EQ(view.monitorStatus, "Monitorowanie pliku:");
    ASSERT_TRUE(tickUntil(*form, [&] { return form->monitor()->queue().pendingCount == 0; }));
    EXPECT_EQ(printer.memory().printedSheets().size(), 2u);
    EXPECT_FALSE(fs::exists(dir + "/Zelmo1.Prn"));
}

// What the user does leaves a line each in the log, so the office can see afterwards who
// paused the monitor or changed the printer.
TEST_F(MainFormTest, TheUsersActionsLeaveALineInTheLog) {
    create();
    view.separator = ',';
    form->PauseItemClick();
    form->PauseItemClick();
    form->Bitmapowy1Click();
    save("1.5", "-2");
    form->choosePrinter("Biuro");
    form->choosePrinter("");
    fs::create_directory(dir + "/archiwum");
    form->ArchiveFolderChosen(dir + "/archiwum");
    form->ArchiveFolderChosen("");
    form->FormDestroy();
    std::ifstream log(dir + "/Zelmo.log");
    std::vector<std::string> events;
    for (std::string line; std::getline(log, line);)
        events.push_back(line.substr(20));  // after the local time
    EXPECT_EQ(events, (std::vector<std::string>{
                          "Start monitorowania folderu: " + dir + "/",
                          "Wstrzymano drukowanie (wydruki są nadal przyjmowane)",
                          "Wznowiono drukowanie",
                          "Zlecono stronę testową: Bitmapowy",
                          "Zapisano ustawienia: przesunięcie X 1,5 mm, Y -2,0 mm, Domyślny "
                          "Mechanizm Wydruku, tryb pojedyńczy: nie",
                          "Wybrano drukarkę: Biuro",
                          "Wybrano drukarkę: Domyślna drukarka systemu",
                          "Zmieniono folder archiwum: " + dir + "/archiwum",
                          "Zmieniono folder archiwum: brak (kopie nie są zapisywane)",
                          "Koniec monitorowania",
                      }));
}

TEST_F(MainFormTest, ExitingLeavesQueuedJobsOnDiskAndTheNextStartPrintsThem) {
    // The first job holds the worker inside its document until the test lets it go.
    std::mutex lock;
    std::condition_variable released;
    bool release = false;
    std::atomic<bool> printing{false};
    printer.setStartDocHook([&](int) {
        printing = true;
        std::unique_lock<std::mutex> guard(lock);
        released.wait(guard, [&] { return release; });
    });
    create();
    std::ofstream(dir + "/Wydruk.prn") << "\x1b*t300R\f";
    ASSERT_TRUE(tickUntil(*form, [&] { return printing.load(); }));
    for (const char* queued : {"/Zelmo2.Prn", "/Zelmo3.Prn"}) {
        std::ofstream(dir + "/Wydruk.prn") << "\x1b*t300R\f";
        ASSERT_TRUE(tickUntil(*form, [&] { return fs::exists(dir + queued); }));
    }
    // With jobs waiting, "Zakończ" asks too, and "Nie" keeps the capture going; the session's
    // end never asks.
    FakeLoginStart login;
    FakeDialogs dialogs;
    TrayMenu(*form, view, login).choose(TrayItem::Exit, "", dialogs);
    EXPECT_EQ(view.closes, 0);
    EXPECT_TRUE(view.timer);
    EXPECT_EQ(view.questions, std::vector<std::string>{closeQuestion(3)});
    view.answer = true;
    EXPECT_TRUE(form->mayClose(CloseReason::CloseBox));
    EXPECT_TRUE(form->mayClose(CloseReason::SessionEnd));
    EXPECT_EQ(view.questions.size(), 2u);
    {
        std::lock_guard<std::mutex> guard(lock);
        release = true;
    }
    released.notify_all();
    form->FormDestroy();
    EXPECT_FALSE(view.timer);
    EXPECT_EQ(form->handOver(), nullptr);
    EXPECT_TRUE(fs::exists(dir + "/Zelmo2.Prn"));
    EXPECT_TRUE(fs::exists(dir + "/Zelmo3.Prn"));

    const std::size_t before = printer.memory().printedSheets().size();
    create();
    ASSERT_TRUE(tickUntil(*form, [&] { return form->monitor()->queue().pendingCount == 0; }));
    EXPECT_EQ(printer.memory().printedSheets().size(), before + 2);
    EXPECT_FALSE(fs::exists(dir + "/Zelmo2.Prn"));
    EXPECT_FALSE(fs::exists(dir + "/Zelmo3.Prn"));
}

// A print system whose printers and default the test changes; every printer it opens is a
// simulated one, kept so the test can see what was printed on it.
class FakeDirectory : public PrinterDirectory {
  public:
    std::vector<std::string> printers{"Biuro", "Dom"};
    std::string defaultName;
    std::map<std::string, SimulatedPrinter*> opened;

    std::vector<std::string> destinations() override { return printers; }
    std::string defaultDestination() override { return defaultName; }
    bool exists(const std::string& name) override {
        return std::find(printers.begin(), printers.end(), name) != printers.end();
    }
    std::unique_ptr<Printer> open(const std::string& name) override {
        SimulatedPrinterConfig config;
        config.name = name.empty() ? "PDF" : name;
        config.width = name == "Dom" ? 200 : 300;
        config.height = 300;
        config.dpi = 100;
        auto printer = std::make_unique<SimulatedPrinter>(config);
        opened[config.name] = printer.get();
        return printer;
    }
};

class PrinterChoiceTest : public MainFormTest {
  protected:
    void createWith(const std::string& ini, const std::string& commandLine = {}) {
        if (!ini.empty()) std::ofstream(settingsPath()) << ini;
        switcher = std::make_unique<PrinterSwitch>(directory.open({}));
        form = std::make_unique<TMainForm>(view, *switcher, display, dir + "/zelmo");
        form->usePrinters(directory, *switcher, commandLine);
        form->FormCreate();
    }
    // A few idle ticks: enough for the form to look at the print system again.
    void idle() {
        for (int i = 0; i < 5; ++i)
            form->TimerTimer();
    }
    FakeDirectory directory;
    std::unique_ptr<PrinterSwitch> switcher;
};

TEST_F(PrinterChoiceTest, TheSystemDefaultIsFollowedWhileZelmoRuns) {
    createWith("");
    EXPECT_EQ(switcher->printerName(), "PDF");
    idle();
    ASSERT_EQ(view.notices.size(), 1u);  // told once, not at every look
    EXPECT_EQ(view.notices[0], "Brak drukarki: Wydruki trafiają jako pliki PDF do folderu PDF.");
    struct Step {
        const char* defaultName;
        const char* inUse;
        const char* notice;
    };
    // A default that goes away is kept, never replaced by the PDF folder.
    const Step steps[] = {
        {"Biuro", "Biuro", "Zmiana drukarki: Wydruki na: Biuro"},
        {"Dom", "Dom", "Zmiana drukarki: Wydruki na: Dom"},
        {"", "Dom", nullptr},
        {"Dom", "Dom", nullptr},
    };
    for (const Step& step : steps) {
        view.notices.clear();
        directory.defaultName = step.defaultName;
        idle();
        EXPECT_EQ(switcher->printerName(), step.inUse);
        EXPECT_EQ(view.labelPrinter, step.inUse);
        EXPECT_EQ(view.notices,
                  step.notice ? std::vector<std::string>{step.notice} : std::vector<std::string>{});
        EXPECT_NE(view.trayHint.find(std::string("Drukarka: ") + step.inUse), std::string::npos);
    }
    // The next job prints on the new default, at its size: its metrics were read again.
    std::ofstream(dir + "/Wydruk.prn") << "\x1b*t300R\x1b*b0M\x1b*b2W\xff\x0f\f";
    ASSERT_TRUE(tickUntil(*form, [&] { return fs::exists(dir + "/Zelmo1.Prn"); }));
    ASSERT_TRUE(tickUntil(*form, [&] { return form->monitor()->queue().pendingCount == 0; }));
    const auto sheets = directory.opened["Dom"]->memory().printedSheets();
    ASSERT_EQ(sheets.size(), 1u);
    EXPECT_EQ(sheets[0]->width, 200);
}

TEST_F(PrinterChoiceTest, APrinterIsChosenByNameInTheSettingsOnTheCommandLineOrFromTheMenu) {
    struct Case {
        const char* ini;
        const char* commandLine;
        const char* inUse;
    };
    const Case cases[] = {
        {"[Zelmo]\nPrinter=Dom\n", "", "Dom"},
        {"[Zelmo]\nPrinter=Dom\n", "Biuro", "Biuro"},
        {"[Zelmo]\nPrinter=Wydruki\n", "", "PDF"},
        {"[Zelmo]\nPrinter=Gone\n", "", "Gone"},  // a printer removed: waited for
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.ini + std::string(" / ") + c.commandLine);
        form.reset();
        directory.opened.clear();
        directory.defaultName = "Biuro";
        createWith(c.ini, c.commandLine);
        EXPECT_EQ(switcher->printerName(), c.inUse);
    }
    // The last case's printer is gone: its jobs wait for it, on no other printer.
    EXPECT_EQ(view.notices, std::vector<std::string>{
                                "Drukarka niedostępna: Drukarka nie odpowiada: może jest wyłączona "
                                "albo odłączona. Wydruki czekają, aż drukarka Gone znów będzie "
                                "dostępna."});
    std::ofstream(dir + "/Wydruk.prn") << "\x1b*t300R\x1b*b0M\x1b*b2W\xff\x0f\f";
    ASSERT_TRUE(tickUntil(*form, [&] { return fs::exists(dir + "/Zelmo1.Prn"); }));
    idle();
    // Looked at between two probes: a probe in flight shows the job printing.
    ASSERT_TRUE(tickUntil(*form, [&] { return form->handOver()->workerIdle(); }));
    EXPECT_EQ(form->queueSnapshot().at(0).state, QueueFileState::WaitingForPrinter);
    // Only the printer in use can print, and for the missing one that is a stand-in with no
    // device: the printers opened before it went with the switch, nothing was opened for it.
    EXPECT_EQ(switcher->printerName(), "Gone");
    EXPECT_EQ(directory.opened.count("Gone"), 0u);
    EXPECT_EQ(view.notices.size(), 1u);
    // Back in the print system: the job prints there, and the user hears the wait is over.
    directory.printers.push_back("Gone");
    ASSERT_TRUE(tickUntil(*form, [&] { return form->monitor()->queue().pendingCount == 0; }));
    EXPECT_EQ(directory.opened["Gone"]->memory().printedSheets().size(), 1u);
    EXPECT_EQ(view.notices.at(1), "Drukarka dostępna: Drukarka Gone znów przyjmuje wydruki.");
    view.notices.clear();
    form->choosePrinter(kPdfFolderChoice);
    idle();
    EXPECT_EQ(switcher->printerName(), "PDF");
    EXPECT_NE(settingsText().find("Printer=Wydruki"), std::string::npos);
    EXPECT_EQ(view.notices, std::vector<std::string>{"Zmiana drukarki: Wydruki na: PDF"});
    EXPECT_EQ(form->printerDestinations(), directory.printers);
}

// A print system that stops answering in the middle of a question, until the test lets it go
// on; then it owns up to the silence, as the CUPS directory does once its patience is spent.
class HangingDirectory : public FakeDirectory {
  public:
    std::string defaultDestination() override {
        if (hang.load()) {
            hanging.store(true);
            waitFor([this] { return released.load(); });
            silent.store(true);
            hang.store(false);
            hanging.store(false);
        }
        return FakeDirectory::defaultDestination();
    }
    bool takeSilence() override { return silent.exchange(false); }
    void stopAsking() override { released.store(true); }
    std::atomic<bool> hang{false}, hanging{false}, released{false}, silent{false};

  private:
    // Polls, with a limit far beyond any test, so that a test gone wrong still ends.
    static void waitFor(const std::function<bool()>& done) {
        for (int i = 0; i < 600000 && !done(); ++i)
            std::this_thread::sleep_for(std::chrono::microseconds(100));
    }
};

// While the print system hangs the window goes on: a printout written meanwhile is captured.
// Once the question is given up, the printer is waited for, told with the reason; when the
// print system answers again the wait is over.
class SilentPrintSystemTest : public MainFormTest {
  protected:
    void TearDown() override { form.reset(); }
    // Whether the user was told text.
    bool told(const std::string& text) const {
        return std::find(view.notices.begin(), view.notices.end(), text) != view.notices.end();
    }
    HangingDirectory directory;
    PrinterSwitch switcher{directory.open({})};
};

// While the print system hangs the window goes on: a printout written meanwhile is captured.
// Once the question is given up, the printer is waited for, told with the reason; when the
// print system answers again the wait is over.
TEST_F(SilentPrintSystemTest, APrintSystemThatDoesNotAnswerHoldsNeitherTheWindowNorTheCapture) {
    directory.defaultName = "Biuro";
    form = std::make_unique<TMainForm>(view, switcher, display, dir + "/zelmo");
    form->usePrinters(directory, switcher, {});
    form->FormCreate();
    ASSERT_EQ(switcher.printerName(), "Biuro");
    directory.hang.store(true);
    std::ofstream(dir + "/Wydruk.prn") << "\x1b*t300R\x1b*b0M\x1b*b2W\xff\x0f\f";
    ASSERT_TRUE(tickUntil(*form, [&] { return fs::exists(dir + "/Zelmo1.Prn"); }));
    EXPECT_TRUE(directory.hanging.load());
    directory.released.store(true);
    const std::string away =
        "Drukarka niedostępna: Drukarka nie odpowiada: może jest wyłączona albo odłączona. "
        "Wydruki czekają, aż drukarka Biuro znów będzie dostępna.\nKomunikat systemu: system "
        "drukowania nie odpowiada";
    ASSERT_TRUE(tickUntil(*form, [&] { return told(away); }))
        << ::testing::PrintToString(view.notices);
    ASSERT_TRUE(tickUntil(*form, [&] {
        return told("Drukarka dostępna: Drukarka Biuro znów przyjmuje wydruki.");
    })) << ::testing::PrintToString(view.notices);
}

// Silent from the start, the print system leaves no printer to print on: a job written
// meanwhile waits, never going to the PDF folder the switch began with, and prints on the
// default once the print system answers.
TEST_F(SilentPrintSystemTest, ASilentStartSendsNoJobToThePdfFolder) {
    directory.defaultName = "Biuro";
    directory.hang.store(true);
    form = std::make_unique<TMainForm>(view, switcher, display, dir + "/zelmo");
    form->usePrinters(directory, switcher, {});
    form->FormCreate();
    EXPECT_EQ(switcher.printerName(), "domyślna");
    std::ofstream(dir + "/Wydruk.prn") << "\x1b*t300R\x1b*b0M\x1b*b2W\xff\x0f\f";
    ASSERT_TRUE(tickUntil(*form, [&] { return fs::exists(dir + "/Zelmo1.Prn"); }));
    directory.released.store(true);
    ASSERT_TRUE(tickUntil(*form, [&] { return form->monitor()->queue().pendingCount == 0; }));
    // The PDF printer the form began with was given up for the stand-in (and destroyed) before
    // the job came: the job's one sheet on Biuro is its only print.
    EXPECT_EQ(directory.opened["Biuro"]->memory().printedSheets().size(), 1u);
}

TEST(ExceptionMessage, EndsWithPunctuation) {
    EXPECT_EQ(exceptionMessage("Printing in progress"), "Printing in progress.");
    EXPECT_EQ(exceptionMessage("Done."), "Done.");
    EXPECT_EQ(exceptionMessage("Why?"), "Why?.");
    EXPECT_EQ(exceptionMessage("Path /tmp/"), "Path /tmp/.");
    EXPECT_EQ(exceptionMessage(""), "");
}

// A job the system gave up is told in Polish, with what became of its file; a printer's own
// error keeps its text.
TEST(ExceptionMessage, JobFailuresAreWordedForTheUser) {
    using Reason = JobError::Reason;
    const std::string kept = " Zadanie przerwano, a jego plik zachowano w kolejce.";
    EXPECT_EQ(exceptionMessage(JobError(Reason::TooManySheets)),
              "Zadanie przekroczyło limit stron wydruku: 10000." + kept);
    EXPECT_EQ(exceptionMessage(JobError(Reason::Unexpected, "disk on fire")),
              "Nieoczekiwany błąd podczas drukowania zadania: disk on fire." + kept);
    EXPECT_EQ(exceptionMessage(JobError(Reason::Unexpected)),
              "Nieoczekiwany błąd podczas drukowania zadania." + kept);
    // The printer's own failures: what went wrong in plain words, then the system's message.
    EXPECT_EQ(exceptionMessage(PrinterError("Printing in progress")),
              "Wystąpił błąd drukowania.\nKomunikat systemu: Printing in progress.");
    EXPECT_EQ(exceptionMessage(
                  PrinterError("EndDoc failed: Brak miejsca na dysku", troubleOfWindowsError(112))),
              "Dysk jest pełny.\nKomunikat systemu: EndDoc failed: Brak miejsca na dysku.");
}

}  // namespace
}  // namespace zelmo
