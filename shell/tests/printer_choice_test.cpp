// Which printer the main form prints on: the system's default followed while Zelmo runs, one
// chosen by name, and a print system that does not answer.
#include "shell/tests/main_form_fixture.h"

namespace zelmo {
namespace {

using namespace shell_test;

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
    // The PDF folder's sheet: its width stands for it.
    std::atomic<int> pdfWidth{300};
    void setPdfSheet(const PrinterGeometry& sheet) override { pdfWidth = sheet.width; }
    std::unique_ptr<Printer> open(const std::string& name) override {
        SimulatedPrinterConfig config;
        config.name = name.empty() ? "PDF" : name;
        config.width = name == "Dom" ? 200 : name.empty() ? pdfWidth.load() : 300;
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
        form = std::make_unique<MainForm>(view, *switcher, display, dir + "/zelmo");
        form->usePrinters(directory, *switcher, commandLine);
        form->startUp();
    }
    // A few idle ticks: enough for the form to look at the print system again.
    void idle() {
        for (int i = 0; i < 5; ++i)
            form->timerTick();
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

// "Paper=" edited while Zelmo runs is taken up before the next job: the PDF folder is opened
// again on the new sheet; a printer of the system is left as it is.
TEST_F(PrinterChoiceTest, APaperChangedWhileRunningReachesThePdfFolder) {
    createWith("[Zelmo]\nPrinter=Wydruki\n");
    const int a4 = PdfFolderPrinter::a4().width, letter = PdfFolderPrinter::letter().width;
    const auto width = [&] {
        return switcher->deviceContext()->deviceCaps(DeviceCap::PhysicalWidth);
    };
    EXPECT_EQ(width(), a4);
    const std::pair<const char*, int> steps[] = {
        {"[Zelmo]\nPrinter=Wydruki\nPaper=Letter\n", letter},
        {"[Zelmo]\nPrinter=Wydruki\nPaper=A4\n", a4},
        {"[Zelmo]\nPrinter=Biuro\nPaper=Letter\n", 300},
    };
    for (const auto& [ini, expected] : steps) {
        SCOPED_TRACE(ini);
        std::ofstream(settingsPath()) << ini;
        ASSERT_TRUE(tickUntil(*form, [&] { return width() == expected; }));
    }
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
    form = std::make_unique<MainForm>(view, switcher, display, dir + "/zelmo");
    form->usePrinters(directory, switcher, {});
    form->startUp();
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
    form = std::make_unique<MainForm>(view, switcher, display, dir + "/zelmo");
    form->usePrinters(directory, switcher, {});
    form->startUp();
    EXPECT_EQ(switcher.printerName(), "domyślna");
    std::ofstream(dir + "/Wydruk.prn") << "\x1b*t300R\x1b*b0M\x1b*b2W\xff\x0f\f";
    ASSERT_TRUE(tickUntil(*form, [&] { return fs::exists(dir + "/Zelmo1.Prn"); }));
    directory.released.store(true);
    ASSERT_TRUE(tickUntil(*form, [&] { return form->monitor()->queue().pendingCount == 0; }));
    // The PDF printer the form began with was given up for the stand-in (and destroyed) before
    // the job came: the job's one sheet on Biuro is its only print.
    EXPECT_EQ(directory.opened["Biuro"]->memory().printedSheets().size(), 1u);
}

}  // namespace
}  // namespace zelmo
