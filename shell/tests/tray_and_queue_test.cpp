// The tray menu's items, the queue window's rows and actions, job numbers, a finished job's PDF
// and printing it again, as the main form offers them to both windows.
#include "shell/tests/main_form_fixture.h"

namespace zelmo {
namespace {

using namespace shell_test;

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
    const std::pair<TrayItem, TestPage> tests[] = {{TrayItem::VectorTest, TestPage::Vector},
                                                   {TrayItem::BitmapTest, TestPage::Bitmap},
                                                   {TrayItem::BitmapDiTest, TestPage::BitmapDi}};
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

}  // namespace
}  // namespace zelmo
