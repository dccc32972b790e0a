// Unit Main: the main window's logic, free of any toolkit. MainForm starts and stops the print
// pipeline, keeps the settings and their file, and drives the window's controls through
// MainView, which the Qt window, a headless console and the tests implement.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <deque>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "output/device_metrics.h"
#include "pipeline/handover.h"
#include "pipeline/job_events.h"
#include "pipeline/job_queue.h"
#include "pipeline/print_worker.h"
#include "platform/folder_watch.h"
#include "shell/job_log.h"
#include "shell/offsets.h"
#include "shell/printer_choice.h"
#include "shell/printer_lookout.h"
#include "shell/text_settings.h"

namespace zelmo {

class Feedback;
class Printer;
class PrinterDirectory;
class PrinterSwitch;

// The labels that show a text with the same text as hint.
enum class HintLabel { Label_Search, Label_Printer };
// The controls that can take the focus.
enum class FocusTarget { MainPanel, OffsetXEdit, OffsetYEdit };
// The tray icon's variants.
enum class TrayIconKind { Monitoring, Paused, Error };

// What MainForm needs of its window. Texts are UTF-8.
class MainView {
  public:
    virtual ~MainView() = default;
    // Posts a minimise command to the window, acted on once the message loop runs.
    virtual void postMinimize() = 0;
    virtual void restoreWindow() = 0;
    virtual void closeWindow() = 0;
    virtual void setTimerEnabled(bool enabled) = 0;
    virtual void setPauseChecked(bool checked) = 0;
    virtual void setMonitorStatus(const std::string& text) = 0;  // Label_MonSta
    virtual void setLabelWithHint(HintLabel label, const std::string& text) = 0;
    virtual void setTrayHint(const std::string& text) = 0;
    virtual void setEditText(FocusTarget edit, const std::string& text) = 0;
    virtual std::string editText(FocusTarget edit) const = 0;
    // Selects an item of PrintEngine; an index it does not have leaves nothing selected.
    virtual void setEngineIndex(int32_t index) = 0;
    virtual int32_t engineIndex() const = 0;  // -1 when nothing is selected
    virtual void setSingleModeChecked(bool checked) = 0;
    virtual bool singleModeChecked() const = 0;
    // Selects an item of the code page list (kCodePages' order).
    virtual void setCodePageIndex(int32_t /*index*/) {}
    // The code page list's selection; -1 when the view has none, which keeps the code page.
    virtual int32_t codePageIndex() const { return -1; }
    // Enables or disables OffsetXEdit, OffsetYEdit, PrintEngine, SingleMode and the code page
    // list together.
    virtual void setSettingsEnabled(bool enabled) = 0;
    virtual void setButtonCaption(const std::string& caption) = 0;
    virtual void setFocus(FocusTarget target) = 0;
    // A message box with an exclamation icon and an OK button.
    virtual void showWarning(const std::string& text, const std::string& caption) = 0;
    // A question with the standard Yes and No buttons, No the default; true for Yes.
    virtual bool askYesNo(const std::string& text, const std::string& caption) = 0;
    // The system's decimal separator.
    virtual char decimalSeparator() const = 0;

    // Feedback beyond the window's controls; a view without a tray may ignore it.
    virtual void setTrayIcon(TrayIconKind) {}
    // A notification (the tray's balloon or the desktop's notification service).
    virtual void notify(const std::string& /*title*/, const std::string& /*text*/,
                        bool /*warning*/) {}
    // The failure box: a job given up with an error, told with what comes next. One at a time:
    // a face with a box open drops it (the notification and the log still have it).
    virtual void showFailure(const std::string& /*text*/) {}
    // The failure box about a job (its queue file name): a box open for the same job says text
    // instead of what it said; one open for another job stays as it is.
    virtual void showJobFailure(const std::string& /*job*/, const std::string& text) {
        showFailure(text);
    }
    // The job has moved on (set aside, printed, deleted): its box, if one is open, says text
    // instead, or closes when text is empty. A box must not promise a next attempt that will
    // never come.
    virtual void followFailure(const std::string& /*job*/, const std::string& /*text*/) {}
    // Opens the queue window, in front.
    virtual void showQueueWindow() {}
    // Asks the window's event loop to call MainForm::FolderChanged whenever handle (a file
    // descriptor on Linux) becomes readable; a view without such a loop keeps to the timer.
    virtual void watchHandle(intptr_t /*handle*/) {}
    // Called on the print worker's thread when it has finished a hand-over: the view queues a
    // call of MainForm::WorkerFinished on its own thread. A view that does not keeps to the
    // timer.
    virtual void postWorkerFinished() {}
};

enum class PanelMode { displayMode = 0, editMode = 1 };

// What is ending the program: the user (the window's close box, "Zakończ") or the system
// (shutdown, log-off, an installer).
enum class CloseReason { CloseBox, ExitItem, SessionEnd };
// The question asked before the capture ends, counting the jobs that would be left waiting.
std::string closeQuestion(int32_t waiting);

// The message the application's exception display shows: the exception's text, with a full
// stop added when it does not end in punctuation.
std::string exceptionMessage(const std::string& what);
// The message for error: a job the system gave up (JobError) in the user's words, any other
// error by its own text.
std::string exceptionMessage(const ZelmoError& error);

class MainForm : private PrinterNameDisplay {
  public:
    // executablePath is the program's own file; the printer and display outlive the form.
    // folder, when given, replaces the program's folder as the home of every file the monitor
    // uses (it ends with a path separator).
    MainForm(MainView& view, Printer& printer, ExceptionDisplay& display,
             std::string executablePath, std::string folder = {});
    ~MainForm() override;
    MainForm(const MainForm&) = delete;
    MainForm& operator=(const MainForm&) = delete;

    void startUp();
    void shutDown();
    void timerTick();
    void modifyClick();
    void PauseItemClick();
    void SettingsItemClick();
    void exitClick();
    void vectorTestClick();
    void bitmapTestClick();
    void bitmapDiTestClick();
    void minimizeToTray();
    // Whether the program may end now, asking the user where that is the rule; a face calls it
    // before ending, and on false leaves everything as it was.
    bool mayClose(CloseReason reason);
    // The archive folder chosen from the tray menu (empty: no archive); saved and used from the
    // next document.
    void ArchiveFolderChosen(const std::string& folder);
    const TextSettings& textSettings() const { return text_; }

    void QueueItemClick();

    // The printers to choose from and the switch that puts one in place between jobs, given
    // before startUp; the switch is the printer the form was made with. choice, when not
    // empty, is the printer named on the command line: it wins over Zelmo.ini for this run.
    void usePrinters(PrinterDirectory& directory, PrinterSwitch& printers, std::string choice);
    // How the print system is asked after a job the last run left in its queue; given before
    // startUp (without it such a job is set aside).
    void useSubmittedLookup(SpoolMonitor::SubmittedLookup lookup) { lookup_ = std::move(lookup); }
    // What shutDown does when the worker stays inside a print system that hangs, after the
    // journal and the log are written: by default the process ends at once, since what the
    // worker still uses must not be destroyed under it.
    void useLeaveNow(std::function<void()> leave) { leaveNow_ = std::move(leave); }
    // The print system's printers, for the tray's printer submenu.
    std::vector<std::string> printerDestinations();
    // The choice in force: a printer's name, kPdfFolderChoice, or empty for the system default.
    const std::string& printerChoice() const { return printerChoice_; }
    // Chooses a printer from the tray submenu and keeps the choice in Zelmo.ini; it takes
    // effect before the next job.
    void choosePrinter(const std::string& choice);
    // The queue window's view of the folder and its actions (see SpoolMonitor); empty or
    // false outside startUp..shutDown.
    std::vector<QueueFileInfo> queueSnapshot() const;
    // The finished jobs, oldest first (empty outside startUp..shutDown).
    std::deque<HistoryEntry> history() const;
    bool printAgain(const std::string& queueName);
    // "Drukuj ponownie" for a finished job of the history, from its kept file.
    SpoolMonitor::AgainResult printAgainFinished(int64_t job);
    // The finished jobs whose files are kept, which can be printed again.
    std::set<int64_t> keptJobs() const;
    bool deleteQueueFile(const std::string& queueName);

    // The folder watch fired: a finished job file is captured at once.
    void FolderChanged();
    // The worker has finished a hand-over: its job is retired and the next one handed over at
    // once, unless paused; capture stays with the tick and the folder watch.
    void WorkerFinished();
    // Where job events go besides the log; add sinks before startUp.
    JobEventFanOut& jobEvents() { return events_; }

    const std::string& programDir() const { return programDir_; }
    // The folder the monitor runs in (programDir() once started), known from construction on:
    // the login entry must name it before the window starts.
    std::string monitoredFolder() const;
    const std::string& settingsFile() const { return SettingsFile_; }
    const std::string& monitoredFile() const { return MonitoredFile_; }
    int32_t offsetX() const { return offsetX_; }
    int32_t offsetY() const { return offsetY_; }
    int32_t engine() const { return engine_; }
    bool singleMode() const { return singleMode_; }
    PanelMode panelMode() const { return panelMode_; }
    bool timerEnabled() const { return timerEnabled_; }
    bool paused() const { return paused_; }
    // The pipeline, between startUp and shutDown (null outside).
    HandOver* handOver() { return state_.get(); }
    const SpoolMonitor* monitor() const { return monitor_.get(); }
    SpoolMonitor* monitor() { return monitor_.get(); }

  private:
    void showPrinterName(const std::string& name) override;
    void loadSettings();
    void followPdfSheet(const PrinterGeometry& sheet);
    bool saveSettings(CodePage page);
    // True, with the user told, when the offset typed into edit leaves the sheet.
    bool offsetOffSheet(FocusTarget edit, double millimetres);
    void enterDisplayMode();
    void enterEditMode();
    void setTimer(bool enabled);
    PrintRequest currentRequest() const;
    void requestTest(TestPage mode);
    void userEvent(JobEventKind kind, const std::string& message = {});
    std::string settingsSummary() const;
    void followPrinter();
    PrinterLookout::Question printerQuestion() const;
    void takeLook(std::chrono::milliseconds wait);
    void printerSilent();
    void standInForFirstPrinter();
    void switchPrinter(PrinterLook look);
    // Tells of the printer now in use; missing: no printer is configured, the PDF folder prints.
    void printerEvent(bool missing, const std::string& name);
    void reportArchiveFailures();
    void reportIgnoredSettings();
    std::string printerWords(const std::string& name) const;
    std::string settingsStamp() const;
    void followSettingsFile();
    void startJobTracking();

    MainView& view_;
    Printer& printer_;
    ExceptionDisplay& display_;
    std::string executablePath_;
    std::string folder_;
    std::string programDir_;
    std::string SettingsFile_;
    std::string MonitoredFile_;
    int32_t offsetX_ = 0;
    int32_t offsetY_ = 0;
    int32_t engine_ = 0;
    bool singleMode_ = false;
    TextSettings text_;
    PrinterGeometry pdfSheet_;                  // the PDF folder's sheet ("Paper="), as last read
    bool sheetChanged_ = false;                 // the PDF folder in use has the sheet read before
    std::vector<std::string> ignoredSettings_;  // "key=value" not understood, told at start
    std::set<std::string> reportedSettings_;    // those told already in this run
    std::string settingsStamp_;                 // Zelmo.ini as last read or written
    PanelMode panelMode_ = PanelMode::displayMode;
    bool timerEnabled_ = false;  // Timer is created disabled
    bool paused_ = false;        // printing held; capture goes on
    bool created_ = false;

    std::unique_ptr<Feedback> feedback_;
    PrinterDirectory* directory_ = nullptr;
    PrinterSwitch* printers_ = nullptr;
    std::string commandLinePrinter_;
    SpoolMonitor::SubmittedLookup lookup_;
    std::function<void()> leaveNow_ = [] { std::_Exit(0); };
    std::string printerChoice_;
    std::string printerInUse_;  // the destination printed to; empty for the PDF folder
    bool printerKnown_ = false;
    bool printerPresent_ = true;  // false while the printer in use is away and waited for
    int ticksSincePrinterLook_ = 0;
    std::vector<std::string> destinations_;    // as the last look found them
    std::unique_ptr<PrinterLookout> lookout_;  // asks the print system, off the window thread

    DeviceMetrics metrics_;
    JobEventFanOut events_;
    std::unique_ptr<JobLog> log_;
    std::unique_ptr<FolderWatch> watch_;
    std::unique_ptr<HandOver> state_;
    std::unique_ptr<SpoolMonitor> monitor_;
    std::unique_ptr<PrintWorker> worker_;
};

}  // namespace zelmo
