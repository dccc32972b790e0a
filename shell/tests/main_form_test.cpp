// MainForm with a fake view: start-up, settings and their file, panel modes, pause, the log,
// and jobs from the monitored file to the simulated printer.
#include "shell/tests/main_form_fixture.h"
#include "zelmo_version.h"

namespace zelmo {
namespace {

using namespace shell_test;

TEST_F(MainFormTest, FirstRunShowsDefaultsAndSavingCreatesTheFile) {
    create();
    EXPECT_EQ(view.minimizePosts, 1);
    EXPECT_EQ(form->programDir(), dir + "/");
    EXPECT_EQ(view.labelSearch, dir + "/Wydruk.prn");
    EXPECT_EQ(view.monitorStatus, "Monitorowanie pliku:");
    EXPECT_TRUE(view.timer);
    EXPECT_FALSE(view.pauseChecked);
    EXPECT_EQ(view.trayHint.substr(0, view.trayHint.find('\n')),
              "Kalvister II - Monitor Wydruków (wersja " ZELMO_VERSION ")");
    EXPECT_EQ(view.editX, "0.0");
    EXPECT_EQ(view.editY, "0.0");
    EXPECT_EQ(view.engine, 0);
    EXPECT_FALSE(view.single);
    EXPECT_FALSE(view.settingsEnabled);
    EXPECT_EQ(view.button, "&Modyfikuj");
    EXPECT_FALSE(fs::exists(settingsPath()));

    form->modifyClick();
    EXPECT_EQ(form->panelMode(), PanelMode::editMode);
    EXPECT_TRUE(view.settingsEnabled);
    EXPECT_EQ(view.button, "&Zapisz");
    EXPECT_EQ(view.focus, FocusTarget::OffsetXEdit);
    form->modifyClick();
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
        {"abc", "1", FocusTarget::OffsetXEdit},   {"", "1", FocusTarget::OffsetXEdit},
        {"1.2.3", "1", FocusTarget::OffsetXEdit}, {"0,5.1", "1", FocusTarget::OffsetXEdit},
        {"-", "1", FocusTarget::OffsetXEdit},     {"1", "2x", FocusTarget::OffsetYEdit},
        {"1", "1e", FocusTarget::OffsetYEdit},
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
                  c.focus == FocusTarget::OffsetXEdit
                      ? "Kalvister II - Monitor Wydruków: Nieprawidłowa wartość. Przesunięcie w "
                        "poziomie: podaj liczbę milimetrów, np. 1.5."
                      : "Kalvister II - Monitor Wydruków: Nieprawidłowa wartość. Przesunięcie w "
                        "pionie: podaj liczbę milimetrów, np. 1.5.");
        EXPECT_EQ(form->offsetX(), 15);
        EXPECT_EQ(settingsText(), "[User]\nUserX=15\n");
        form->minimizeToTray();  // back to displayMode for the next case
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
        {'.', "5000", "0", FocusTarget::OffsetXEdit,
         "w poziomie wyprowadza stronę poza arkusz: podaj od -209.9 do 209.9"},
        {'.', "0", "297", FocusTarget::OffsetYEdit,
         "w pionie wyprowadza stronę poza arkusz: podaj od -296.9 do 296.9"},
        {',', "-209,95", "0", FocusTarget::OffsetXEdit,
         "w poziomie wyprowadza stronę poza arkusz: podaj od -209,9 do 209,9"},
        {'.', "1", "-1e9", FocusTarget::OffsetYEdit,
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
        form->minimizeToTray();
    }
}

TEST_F(MainFormTest, MinimisingWhileEditingDiscardsTheEdits) {
    create("[User]\nUserX=-25\nUserY=30\nUserPE=1\nUserSM=1\n");
    form->modifyClick();
    view.editX = "7";
    view.engine = 2;
    view.single = false;
    form->minimizeToTray();
    EXPECT_EQ(form->panelMode(), PanelMode::displayMode);
    EXPECT_EQ(view.editX, "-2.5");
    EXPECT_EQ(view.editY, "3.0");
    EXPECT_EQ(view.engine, 1);
    EXPECT_TRUE(view.single);
    EXPECT_FALSE(view.settingsEnabled);
    EXPECT_EQ(form->offsetX(), -25);
    // In displayMode minimising changes nothing.
    form->minimizeToTray();
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
        MainForm other(fresh, printer, display, dir + "/zelmo");
        other.startUp();
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
        form->timerTick();
    }
    EXPECT_EQ(form->offsetX(), -30);
    EXPECT_EQ(settingNotices(), 1);
    const std::string settings = settingsText();
    form->PauseItemClick();
    ASSERT_TRUE(form->paused());
    EXPECT_EQ(settingsText(), settings);
    form->shutDown();
    form.reset();
    create();
    EXPECT_TRUE(form->paused());
    EXPECT_EQ(view.monitorStatus, texts::kMonitoringPaused);
    form->PauseItemClick();
    form->shutDown();
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
    form->modifyClick();
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
    form->timerTick();
    ASSERT_NE(form->handOver(), nullptr);
    EXPECT_EQ(form->handOver()->PrintRequest.engine, 7);
    EXPECT_EQ(form->handOver()->PrintRequest.singleMode, 1);
    // Saving without choosing an engine stores what the list shows: none.
    save("0");
    EXPECT_EQ(form->engine(), -1);
    EXPECT_NE(settingsText().find("UserPE=-1"), std::string::npos);
}

// A login entry that is only a flag, or fails as the desktop's file would.

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
    form->timerTick();
    EXPECT_EQ(view.icon, TrayIconKind::Error);
    ASSERT_TRUE(form->deleteQueueFile("Zelmo1.Prn"));
    form->timerTick();
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
    form->shutDown();
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

// Ending while the print system holds the worker in a call: the end does not wait for ever, it
// says so in the log and leaves the job in the queue.
TEST_F(MainFormTest, EndingWhileThePrintSystemHangsLeavesTheJobQueued) {
    create();
    // Owned by the hook: the worker may still be in it after this test's frame is gone.
    const auto inside = std::make_shared<std::atomic<bool>>(false);
    const auto hangs = std::make_shared<std::atomic<bool>>(true);
    printer.setStartDocHook([inside, hangs](int) {
        inside->store(true);
        while (hangs->load())
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
    });
    std::ofstream(dir + "/Wydruk.prn") << "\x1b*t300R\x1b*b0M\x1b*b2W\xff\x0f\f";
    form->FolderChanged();
    ASSERT_TRUE(eventually([&] { return inside->load(); }));
    bool left = false;
    form->useLeaveNow([&] { left = true; });
    form->shutDown();
    EXPECT_TRUE(left);
    EXPECT_TRUE(fs::exists(dir + "/Zelmo1.Prn"));
    std::ifstream log(dir + "/Zelmo.log");
    std::string last;
    for (std::string line; std::getline(log, line);)
        last = line.substr(20);
    EXPECT_EQ(last, std::string(texts::kLogStopped) + ": " + texts::kStoppedWithoutWorker);
    hangs->store(false);
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
        form->shutDown();
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
        form->timerTick();
        ASSERT_TRUE(fs::exists(dir + queued)) << queued;
    }
    for (int i = 0; i < 20; ++i) {
        form->timerTick();
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
    form->bitmapTestClick();
    save("1.5", "-2");
    form->choosePrinter("Biuro");
    form->choosePrinter("");
    fs::create_directory(dir + "/archiwum");
    form->ArchiveFolderChosen(dir + "/archiwum");
    form->ArchiveFolderChosen("");
    form->shutDown();
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
                          "Mechanizm Wydruku, tryb pojedyńczy: nie, kodowanie tekstu: CP852",
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
    form->shutDown();
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
