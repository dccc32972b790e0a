// The tray's icon, hint and notifications as job events arrive.
#include <gtest/gtest.h>

#include <cctype>
#include <regex>
#include <set>
#include <sstream>
#include <vector>

#include "shell/feedback.h"
#include "shell/job_log.h"
#include "shell/queue_rows.h"
#include "shell/texts.h"
#include "zelmo_version.h"

namespace zelmo {
namespace {

// Keeps what the feedback shows; the window's controls are not its business.
class TrayView : public MainView {
  public:
    std::string hint;
    TrayIconKind icon = TrayIconKind::Monitoring;
    std::vector<std::string> notices;
    std::vector<std::string> boxes;

    void showFailure(const std::string& text) override { boxes.push_back(text); }
    // One box at a time, as the windows keep it: the job it is about and what it says.
    std::string boxJob, box;
    void showJobFailure(const std::string& job, const std::string& text) override {
        if (box.empty() || boxJob == job) boxJob = job, box = text;
        boxes.push_back(text);
    }
    void followFailure(const std::string& job, const std::string& text) override {
        if (!box.empty() && boxJob == job) box = text;
    }
    void setTrayHint(const std::string& text) override { hint = text; }
    void setTrayIcon(TrayIconKind kind) override { icon = kind; }
    void notify(const std::string& title, const std::string& text, bool warning) override {
        notices.push_back((warning ? "! " : "") + title + ": " + text);
    }
    void postMinimize() override {}
    void restoreWindow() override {}
    void closeWindow() override {}
    void setTimerEnabled(bool) override {}
    void setPauseChecked(bool) override {}
    void setMonitorStatus(const std::string&) override {}
    void setLabelWithHint(HintLabel, const std::string&) override {}
    void setEditText(FocusTarget, const std::string&) override {}
    std::string editText(FocusTarget) const override { return {}; }
    void setEngineIndex(int32_t) override {}
    int32_t engineIndex() const override { return 0; }
    void setSingleModeChecked(bool) override {}
    bool singleModeChecked() const override { return false; }
    void setSettingsEnabled(bool) override {}
    void setButtonCaption(const std::string&) override {}
    void setFocus(FocusTarget) override {}
    void showWarning(const std::string&, const std::string&) override {}
    bool askYesNo(const std::string&, const std::string&) override { return false; }
    char decimalSeparator() const override { return '.'; }
};

// An event about Zelmo3.Prn.
JobEvent about(JobEventKind kind) {
    JobEvent e;
    e.kind = kind;
    e.queueName = "Zelmo3.Prn";
    e.printer = "Biuro";
    e.pages = 2;
    e.attempt = 1;
    e.message = "Create-Job: Invalid argument.";
    e.trouble = PrintTrouble::Refused;
    e.reason = SetAsideReason::TooManyFailures;
    return e;
}

TEST(Feedback, IconHintAndNotificationsFollowTheJobs) {
    struct Case {
        std::vector<JobEventKind> events;
        bool paused;
        TrayIconKind icon;
        const char* lastLine;  // the hint's last line begins so
        std::vector<std::string> notices;
    };
    using K = JobEventKind;
    const Case cases[] = {
        {{K::Printed},
         false,
         TrayIconKind::Monitoring,
         "Ostatni wydruk: Zelmo3.Prn, ",
         {"Wydrukowano: Zelmo3.Prn: 2 str. na Biuro"}},
        {{K::Failed},
         false,
         TrayIconKind::Error,
         "Ostatni wydruk: Zelmo3.Prn, ",
         {"! Błąd wydruku: Nie udało się wydrukować zadania nr 3 (próba 1). Drukarka odrzuciła "
          "zadanie. Zadanie odłożono: plik zachowano i można go wydrukować ponownie z okna "
          "„Kolejka wydruków”.\nKomunikat systemu: Create-Job: Invalid argument."}},
        // An error outweighs a pause; a later print clears it.
        {{K::SetAside},
         true,
         TrayIconKind::Error,
         "Ostatni wydruk: Zelmo3.Prn, ",
         {"! Wydruk odłożony: Zelmo3.Prn: nie udało się go wydrukować mimo wielu prób. Plik "
          "zachowano; można go wydrukować ponownie z okna „Kolejka wydruków”.\n"
          "Komunikat systemu: Create-Job: Invalid argument."}},
        {{K::Failed, K::Printed}, true, TrayIconKind::Paused, "Ostatni wydruk: Zelmo3.Prn, ", {}},
        {{K::Captured, K::Resumed}, false, TrayIconKind::Monitoring, "Oczekujące wydruki: 0", {}},
        // A printer away holds the queue: told once, red until it is back.
        {{K::PrinterWaiting},
         false,
         TrayIconKind::Error,
         "Oczekujące wydruki: 0",
         {"! Drukarka niedostępna: Drukarka odrzuciła zadanie. Wydruki czekają, aż drukarka "
          "Biuro znów będzie dostępna.\nKomunikat systemu: Create-Job: Invalid argument."}},
        {{K::PrinterWaiting, K::PrinterBack},
         false,
         TrayIconKind::Monitoring,
         "Oczekujące wydruki: 0",
         {}},
        // In the printer's queue is not printed; sent where nobody can say is not printed either.
        {{K::Submitted}, false, TrayIconKind::Monitoring, "Ostatni wydruk: Zelmo3.Prn, ", {}},
        {{K::Sent},
         false,
         TrayIconKind::Monitoring,
         "Ostatni wydruk: Zelmo3.Prn, ",
         {"Wysłano do drukarki: Zelmo3.Prn: 2 str. na Biuro"}},
    };
    for (const Case& c : cases) {
        TrayView view;
        Feedback feedback(view);
        feedback.setPaused(c.paused);
        for (K kind : c.events)
            feedback.jobEvent(about(kind));
        EXPECT_EQ(view.icon, c.icon);
        EXPECT_EQ(view.hint.substr(view.hint.rfind('\n') + 1).rfind(c.lastLine, 0), 0u)
            << view.hint;
        EXPECT_EQ(view.hint.rfind(
                      std::string("Kalvister II - Monitor Wydruków (wersja " ZELMO_VERSION ")\n") +
                          (c.paused ? "Drukowanie: wstrzymane" : "Monitorowanie: włączone"),
                      0),
                  0u);
        if (c.events.size() == 1) {
            EXPECT_EQ(view.notices, c.notices);
        }
    }
}

// An empty job is simply deleted: no warning, no red icon. Numbered jobs are named by number.
TEST(Feedback, AnEmptyJobIsNoErrorAndJobsAreToldByNumber) {
    TrayView view;
    Feedback feedback(view);
    JobEvent empty = about(JobEventKind::NothingPrinted);
    empty.reason = SetAsideReason::None;
    empty.job = 17;
    feedback.jobEvent(empty);
    EXPECT_TRUE(view.notices.empty());
    EXPECT_EQ(view.icon, TrayIconKind::Monitoring);
    EXPECT_NE(view.hint.find("nr 17 (Zelmo3.Prn)"), std::string::npos) << view.hint;
    JobEvent junk = empty;
    junk.reason = SetAsideReason::NothingPrinted;
    feedback.jobEvent(junk);
    EXPECT_EQ(view.icon, TrayIconKind::Error);
    ASSERT_EQ(view.notices.size(), 1u);
    EXPECT_EQ(view.notices[0].rfind("! Pusty wydruk: nr 17 (Zelmo3.Prn): ", 0), 0u);
}

// The words of a text, without the punctuation around them.
std::vector<std::string> wordsOf(const std::string& text) {
    std::vector<std::string> words;
    std::istringstream in(text);
    for (std::string word; in >> word;) {
        const auto first = word.find_first_not_of(",.:;()—");
        const auto last = word.find_last_not_of(",.:;()—");
        if (first != std::string::npos) words.push_back(word.substr(first, last - first + 1));
    }
    return words;
}

// Every state text the queue window can show, for every state, reason, failure count and
// system message, and every history row: no two words glued together. A word the program's
// own texts do not have is two of them run together.
TEST(QueueRows, EveryTextTheQueueWindowShowsKeepsItsWordsApart) {
    const std::string message = "Create-Job: Invalid argument";
    std::set<std::string> vocabulary;
    for (const char* text :
         {texts::kStateWaiting,       texts::kStateWaitingEnd,    texts::kStatePrinting,
          texts::kStateHeld,          texts::kStateNoPrinter,     texts::kStateRetrying,
          texts::kStateFailures,      texts::kStateSetAside,      texts::kStateLeftover,
          texts::kSetAsideReasons[1], texts::kSetAsideReasons[2], texts::kSetAsideReasons[3],
          texts::kSetAsideReasons[4], texts::kSetAsideReasons[5], texts::kSetAsideReasons[6],
          texts::kHistoryPrinted,     texts::kHistoryPdf,         texts::kHistoryEmpty,
          texts::kHistoryDeleted,     texts::kHistoryPages,       texts::kHistorySent,
          texts::kHistorySavedPdf,    texts::kSystemMessage,      texts::kLooksLike,
          "Biuro /srv/Wydruki"})
        for (const std::string& word : wordsOf(text))
            vocabulary.insert(word);
    for (const std::string& word : wordsOf(message))
        vocabulary.insert(word);
    std::vector<std::string> shown;
    for (int state = 0; state <= static_cast<int>(QueueFileState::Held); ++state)
        for (int reason = 0; reason <= static_cast<int>(SetAsideReason::NotText); ++reason)
            for (int attempt : {0, 3}) {
                QueueFileInfo file;
                file.state = static_cast<QueueFileState>(state);
                file.reason = static_cast<SetAsideReason>(reason);
                file.attempt = attempt;
                file.position = 1;
                file.message = attempt ? message : "";
                shown.push_back(queueRowCells(file, ',').back());
            }
    for (int outcome = 0; outcome <= static_cast<int>(HistoryEntry::Outcome::Sent); ++outcome) {
        HistoryEntry entry;
        entry.outcome = static_cast<HistoryEntry::Outcome>(outcome);
        entry.printer = "Biuro";
        entry.pdf = "/srv/Wydruki";
        const RowCells cells = historyRowCells(entry);
        shown.push_back(cells[3] + " " + cells[4]);
    }
    // A stop or colon before a letter, a lower-case letter before an upper-case one.
    static const std::regex glued("[.,:;][^ 0-9/]|[a-z][A-Z]");
    for (const std::string& text : shown) {
        EXPECT_FALSE(std::regex_search(text, glued)) << text;
        for (const std::string& word : wordsOf(text)) {
            const bool number = word.find_first_not_of("0123456789:") == std::string::npos;
            EXPECT_TRUE(number || vocabulary.count(word)) << "\"" << word << "\" in: " << text;
        }
    }
}

TEST(Feedback, NotificationsSwitchedOffLeaveTheHintAndIcon) {
    TrayView view;
    Feedback feedback(view);
    feedback.setNotifications(false);
    feedback.setWaiting(4);
    feedback.jobEvent(about(JobEventKind::Failed));
    EXPECT_TRUE(view.notices.empty());
    EXPECT_EQ(view.icon, TrayIconKind::Error);
    EXPECT_NE(view.hint.find("Oczekujące wydruki: 4"), std::string::npos);
}

// A tray hint too long for the tray drops the caption before any fact, and a cut never
// splits a character (a split pair shows as a stray box, split UTF-8 as garbage).
TEST(Feedback, HintFitsTheTrayWholeCharactersFirst) {
    const std::string facts = "Monitorowanie: włączone\nDrukarka: Księgowość";
    struct Case {
        std::string hint;
        size_t room;
        std::string fitted;
    } cases[] = {
        {"Zelmo\n" + facts, 100, "Zelmo\n" + facts},
        {"Kalvister II - Monitor\n" + facts, 45, facts},
        {"Zelmo\nDrukarka: Księgowość", 14, "Drukarka: Ksi\u2026"},
        {"Zelmo\nDrukarka: ab\U0001F5A8cd", 14, "Drukarka: ab\u2026"},
        {"Zelmo\nDrukarka: abc\U0001F5A8d", 15, "Drukarka: abc\u2026"},
        {"Zelmo\nDrukarka: abc\U0001F5A8de", 16, "Drukarka: abc\U0001F5A8\u2026"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(fitHint(c.hint, c.room), c.fitted) << c.hint << " in " << c.room;
}

// Two monitors' icons tell apart by their folders; a long path keeps its last names whole.
TEST(Feedback, HintNamesTheFolderByItsLastNames) {
    const std::string longName(40, 'a');
    const std::pair<std::string, std::string> cases[] = {
        {"C:\\Kalvister\\Księgowość\\", "Folder: C:\\Kalvister\\Księgowość\n"},
        {"/srv/" + longName + "/Biuro/Kasa 2/", "Folder: \u2026/Biuro/Kasa 2\n"},
        {"/" + longName + "ąę", "Folder: \u2026" + longName.substr(3) + "ąę\n"},
    };
    for (const auto& [folder, line] : cases) {
        TrayView view;
        Feedback feedback(view);
        feedback.setFolder(folder);
        EXPECT_NE(view.hint.find("\n" + line), std::string::npos) << view.hint;
    }
}

// A path in a box stands on its own line with nowhere to break: every space a no-break space;
// putting the spaces back gives the path.
TEST(Feedback, MessageBoxKeepsAPathWholeOnItsOwnLine) {
    for (const std::string path : {"C:\\Program Files\\Kasa 2\\", "/home/ala/Księgowość/"}) {
        const std::string text = boxedPath("ten folder jest już monitorowany: ", path);
        const std::string head = "Ten folder jest już monitorowany:\n";
        ASSERT_EQ(text.compare(0, head.size(), head), 0) << text;
        std::string shown = text.substr(head.size());
        EXPECT_EQ(shown.find_first_of(" \n"), std::string::npos) << shown;
        for (std::size_t at; (at = shown.find("\u00a0")) != std::string::npos;)
            shown.replace(at, 2, " ");
        EXPECT_EQ(shown, path);
    }
}

}  // namespace
const WallTime kCaptured = std::chrono::system_clock::from_time_t(1700000000);
const WallTime kNext = kCaptured + std::chrono::minutes(3);

// A failure names the job by number and capture time, says what went wrong and what comes
// next, and only then gives the system's message.
TEST(Feedback, FailureTellsJobTroubleAndNextStep) {
    JobEvent e = about(JobEventKind::Failed);
    e.captured = kCaptured;
    e.nextAttempt = kNext;
    e.attempt = 2;
    e.reason = SetAsideReason::None;  // not the last attempt
    e.trouble = PrintTrouble::DiskFull;
    TrayView view;
    Feedback feedback(view);
    feedback.jobEvent(e);
    ASSERT_EQ(view.notices.size(), 1u);
    EXPECT_EQ(view.notices[0],
              "! Błąd wydruku: Nie udało się wydrukować zadania nr 3 (pobranego o " +
                  clockTime(kCaptured) + ", próba 2). Dysk jest pełny. " + "Następna próba o " +
                  clockTime(kNext) + ".\nKomunikat systemu: Create-Job: Invalid argument.");
}

// Whether text has a lower-case letter glued to a capital, or punctuation glued to a word:
// the mark of texts joined without their space. File names are the only dots inside a word.
bool glued(std::string text) {
    for (const std::string name : {"Zelmo3.Prn", "Wydruk.prn", "Zelmo.ini", "Zelmo.log"})
        for (size_t at = text.find(name); at != std::string::npos; at = text.find(name))
            text.replace(at, name.size(), "Plik");
    for (size_t i = 1; i < text.size(); ++i) {
        const char a = text[i - 1], b = text[i];
        if (std::islower(static_cast<unsigned char>(a)) &&
            std::isupper(static_cast<unsigned char>(b)))
            return true;
        if ((a == '.' || a == ',' || a == ':' || a == ';' || a == ')') &&
            std::isalpha(static_cast<unsigned char>(b)))
            return true;
    }
    return false;
}

// Whether text holds an English word of the kind the print systems' messages carry.
bool english(const std::string& text) {
    for (const char* word :
         {" the ", "failed", "Cannot", "error", "Error", "printer", " job", "Invalid"})
        if (text.find(word) != std::string::npos) return true;
    return false;
}

// Every warning of ours, for every event and every trouble, is Polish and ends as a sentence;
// the system's own (English) message comes after it, on a line of its own.
TEST(Feedback, EveryWarningIsPolishSentences) {
    using K = JobEventKind;
    for (K kind : {K::Failed, K::RetryScheduled, K::SetAside, K::NothingPrinted, K::PrinterMissing,
                   K::PrinterWaiting, K::PrinterBack, K::Submitted, K::Sent, K::CaptureImpossible,
                   K::ArchiveFailed, K::LogTrouble}) {
        for (int trouble = 0; trouble <= static_cast<int>(PrintTrouble::NoPermission); ++trouble) {
            for (int failure = 0; failure <= static_cast<int>(JobFailure::Unexpected); ++failure) {
                JobEvent e = about(kind);
                e.trouble = static_cast<PrintTrouble>(trouble);
                e.failure = static_cast<JobFailure>(failure);
                e.captured = kCaptured;
                e.nextAttempt = kNext;
                e.message = "Create-Job: The printer failed with an error";
                // The archive's copy given up, or its copies waiting to be moved.
                if (trouble % 2) e.folder = "/srv/Zelmo/Archiwum-do-wyslania/";
                // The log words its own trouble (one sentence each for its two kinds).
                if (kind == K::LogTrouble)
                    e.message = withSystemMessage(
                        trouble % 2 ? texts::kLogUnwritable : texts::kLogNotRotated, e.message);
                TrayView view;
                Feedback feedback(view);
                feedback.jobEvent(e);
                for (const std::string& box : view.boxes)
                    view.notices.push_back("! " + box);
                for (const std::string& notice : view.notices) {
                    if (notice.rfind("! ", 0) != 0) continue;
                    const std::string ours = notice.substr(0, notice.find("\nKomunikat systemu: "));
                    EXPECT_EQ(ours.back(), '.') << ours;
                    EXPECT_FALSE(glued(ours)) << ours;
                    EXPECT_FALSE(english(ours)) << ours;
                    EXPECT_EQ(ours.find("  "), std::string::npos) << ours;
                }
            }
        }
    }
}

// The failure box tells what the notification tells: the job by number and capture time, what
// went wrong in plain words, what Zelmo does next, the system's message last. Only an error the
// worker caught raises it, whether notifications are on or not.
TEST(Feedback, FailureBoxTellsTheJobAndWhatComesNext) {
    struct Case {
        JobEventKind kind;
        JobFailure failure;
        SetAsideReason reason;
        WallTime next;
        std::string box;  // after "Nie udało się wydrukować zadania nr 17 (pobranego o …"
    };
    const std::string setAside =
        "Zadanie odłożono: plik zachowano i można go wydrukować ponownie z okna „Kolejka "
        "wydruków”.";
    const std::string system = "\nKomunikat systemu: Create-Job: Invalid argument.";
    const Case cases[] = {
        {JobEventKind::Failed, JobFailure::Error, SetAsideReason::None, kNext,
         ", próba 1). Drukarka odrzuciła zadanie. Następna próba o " + clockTime(kNext) + "." +
             system},
        {JobEventKind::Failed,
         JobFailure::OutOfMemory,
         SetAsideReason::TooManyFailures,
         {},
         ", próba 1). Zabrakło pamięci do wydrukowania zadania. " + setAside + system},
        {JobEventKind::SetAside,
         JobFailure::PageTooLarge,
         SetAsideReason::PastLimits,
         {},
         ", próba 1). Strona zadania jest zbyt duża, by ją wydrukować. " + setAside + system},
        // The print system failed it after taking it: no error of ours, so no box.
        {JobEventKind::Failed, JobFailure::None, SetAsideReason::None, {}, ""},
    };
    for (const Case& c : cases) {
        JobEvent e = about(c.kind);
        e.job = 17;
        e.failure = c.failure;
        e.reason = c.reason;
        e.nextAttempt = c.next;
        e.captured = kCaptured;
        TrayView view;
        Feedback feedback(view);
        feedback.setNotifications(false);
        feedback.jobEvent(e);
        if (c.box.empty()) {
            EXPECT_TRUE(view.boxes.empty());
            continue;
        }
        ASSERT_EQ(view.boxes.size(), 1u);
        EXPECT_EQ(view.boxes[0], "Nie udało się wydrukować zadania nr 17 (pobranego o " +
                                     clockTime(kCaptured) + c.box);
    }
}

// The box follows its job until the user acts: a job set aside no longer promises a next
// attempt, one printed, sent or deleted takes its box away; another job's news leaves it be.
TEST(Feedback, FailureBoxFollowsItsJob) {
    using K = JobEventKind;
    struct Step {
        K kind;
        const char* queueName;
        int attempt;
    };
    struct Case {
        std::vector<Step> steps;
        const char* says;  // empty: no box left open
        const char* never;
    };
    const Case cases[] = {
        {{{K::Failed, "Zelmo3.Prn", 1}, {K::SetAside, "Zelmo3.Prn", 10}},
         "próba 10). Drukarka odrzuciła zadanie. Zadanie odłożono",
         "Następna próba"},
        {{{K::Failed, "Zelmo3.Prn", 1}, {K::Failed, "Zelmo3.Prn", 2}}, "próba 2)", "próba 1)"},
        {{{K::Failed, "Zelmo3.Prn", 1}, {K::SetAside, "Zelmo4.Prn", 10}},
         "Następna próba",
         "odłożono"},
        {{{K::Failed, "Zelmo3.Prn", 1}, {K::Printed, "Zelmo3.Prn", 2}}, "", ""},
        {{{K::Failed, "Zelmo3.Prn", 1}, {K::Submitted, "Zelmo3.Prn", 2}}, "", ""},
        {{{K::Failed, "Zelmo3.Prn", 1}, {K::Deleted, "Zelmo3.Prn", 0}}, "", ""},
        {{{K::Failed, "Zelmo3.Prn", 1}, {K::Printed, "Zelmo4.Prn", 1}}, "Następna próba", ""},
    };
    for (const Case& c : cases) {
        TrayView view;
        Feedback feedback(view);
        for (const Step& step : c.steps) {
            JobEvent e = about(step.kind);
            e.queueName = step.queueName;
            e.attempt = step.attempt;
            e.failure = step.kind == K::Failed ? JobFailure::Error : JobFailure::None;
            e.nextAttempt = step.kind == K::Failed ? kNext : WallTime{};
            if (step.kind == K::Failed) e.reason = SetAsideReason::None;
            feedback.jobEvent(e);
        }
        SCOPED_TRACE(view.box);
        if (!*c.says) {
            EXPECT_EQ(view.box, "");
            continue;
        }
        EXPECT_NE(view.box.find(c.says), std::string::npos);
        if (*c.never) {
            EXPECT_EQ(view.box.find(c.never), std::string::npos);
        }
    }
}

// A path too long for a box's line keeps its beginning and its file name around an ellipsis,
// never splitting a character; the words around it and shorter ones stay as they are.
TEST(Feedback, BoxShortensOnlyTheWordsTooLongForALine) {
    const std::string folder = "C:\\Kalvister\\Księgowość\\" + std::string(40, 'x');
    const std::pair<std::string, std::string> cases[] = {
        {"Komunikat systemu: C:\\Kalvister\\Wydruki\\a.pdf: Odmowa dostępu.",
         "Komunikat systemu: C:\\Kalvister\\Wydruki\\a.pdf: Odmowa dostępu."},
        {"Plik " + folder + "\\Zelmo1.Prn: brak.",
         "Plik C:\\Kalvister\\Księgow\u2026" + std::string(27, 'x') + "\\Zelmo1.Prn: brak."},
        {std::string(60, 'a'), std::string(60, 'a')},
        {"\n" + std::string(61, 'a') + "\n",
         "\n" + std::string(20, 'a') + "\u2026" + std::string(39, 'a') + "\n"},
    };
    for (const auto& [text, shown] : cases)
        EXPECT_EQ(shortenLongWords(text, 60), shown);
}

namespace {

// One vocabulary for what happened, in the log and the notification alike: a PDF is saved, not
// printed; a spooler that cannot tell is "sent"; a set-aside job says what it looks like in a
// sentence of ours; the system's words only after "Komunikat systemu:".
TEST(Feedback, EachOutcomeIsToldInTheSameWordsByTheLogAndTheNotification) {
    struct Case {
        JobEventKind kind;
        std::string pdf, message;
        SetAsideReason reason;
        std::string log, notice;
    };
    using K = JobEventKind;
    const std::string sys = "Komunikat systemu: Create-Job: Invalid argument.";
    const Case cases[] = {
        {K::Printed,
         "/srv/Wydruki/a.pdf",
         "",
         {},
         "Zapisano jako PDF Zelmo3.Prn, stron: 2, plik: /srv/Wydruki/a.pdf",
         "Zapisano jako PDF: Zelmo3.Prn: 2 str. w pliku /srv/Wydruki/a.pdf"},
        {K::Printed,
         "",
         "",
         {},
         "Wydrukowano Zelmo3.Prn, stron: 2, drukarka: Biuro",
         "Wydrukowano: Zelmo3.Prn: 2 str. na Biuro"},
        {K::Sent,
         "",
         "",
         {},
         "Wysłano do drukarki Zelmo3.Prn, stron: 2, drukarka: Biuro",
         "Wysłano do drukarki: Zelmo3.Prn: 2 str. na Biuro"},
        {K::SetAside, "", "plik PDF", SetAsideReason::NotText,
         "Odłożono Zelmo3.Prn: to nie jest wydruk PCL ani tekst, lecz plik PDF",
         "! Wydruk odłożony: Zelmo3.Prn: to nie jest wydruk PCL ani tekst, lecz plik PDF. Plik "
         "zachowano; można go wydrukować ponownie z okna „Kolejka wydruków”."},
        {K::PrinterWaiting,
         "",
         "Create-Job: Invalid argument.",
         {},
         "Kolejka czeka na drukarkę Biuro: Drukarka odrzuciła zadanie. " + sys,
         "! Drukarka niedostępna: Drukarka odrzuciła zadanie. Wydruki czekają, aż drukarka Biuro "
         "znów będzie dostępna.\n" +
             sys},
    };
    for (const Case& c : cases) {
        JobEvent e = about(c.kind);
        e.pdf = c.pdf;
        e.message = c.message;
        e.reason = c.reason;
        EXPECT_EQ(JobLog::describe(e), c.log);
        TrayView view;
        Feedback feedback(view);
        feedback.jobEvent(e);
        ASSERT_EQ(view.notices.size(), 1u) << c.log;
        EXPECT_EQ(view.notices[0], c.notice);
    }
}

// A set-aside job keeps the red mark while later jobs print, until the monitor no longer
// counts it (the user printed it again or deleted it).
TEST(Feedback, ASetAsideJobKeepsTheMarkUntilTheUserActs) {
    using K = JobEventKind;
    // Each step is an event and the monitor's count of set-aside jobs after it.
    const struct {
        std::vector<std::pair<K, int>> steps;
        TrayIconKind icon;
    } cases[] = {
        {{{K::SetAside, 1}, {K::Printed, 1}, {K::Printed, 1}}, TrayIconKind::Error},
        {{{K::SetAside, 1}, {K::Printed, 1}, {K::PrintAgain, 0}, {K::Printed, 0}},
         TrayIconKind::Monitoring},
        {{{K::SetAside, 1}, {K::Deleted, 0}, {K::Printed, 0}}, TrayIconKind::Monitoring},
        {{{K::Failed, 0}, {K::Printed, 0}}, TrayIconKind::Monitoring},
    };
    for (const auto& c : cases) {
        TrayView view;
        Feedback feedback(view);
        for (const auto& [kind, aside] : c.steps) {
            JobEvent e = about(kind);
            // Each printed job is another job; the one set aside is Zelmo3.Prn.
            if (kind == K::Printed) e.queueName = "Zelmo4.Prn";
            feedback.jobEvent(e);
            feedback.setSetAside(aside);
        }
        EXPECT_EQ(view.icon, c.icon) << c.steps.size();
    }
}

}  // namespace
}  // namespace zelmo
