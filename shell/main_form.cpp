// Unit Main: start-up, shutdown, settings, panel modes, pause and the test items of the window.
#include "shell/main_form.h"

#include <cmath>

#include "pcl/interpreter.h"
#include "platform/errors.h"
#include "platform/files.h"
#include "platform/settings.h"
#include "printers/printer_switch.h"
#include "shell/feedback.h"
#include "shell/printer_choice.h"
#include "shell/texts.h"

namespace zelmo {
// The text the exception display shows.
std::string exceptionMessage(const std::string& what) {
    // The application's exception display ends every message with punctuation.
    if (!what.empty() && static_cast<unsigned char>(what.back()) > '.') return what + ".";
    return what;
}

// The message for error, worded for the user when the system itself gave up the job.
std::string exceptionMessage(const ZelmoError& error) {
    const auto* job = dynamic_cast<const JobError*>(&error);
    if (const auto* printer = dynamic_cast<const PrinterError*>(&error))
        return std::string(troubleText(printer->trouble())) + "\n" + texts::kSystemMessage +
               exceptionMessage(std::string(error.what()));
    if (!job) return exceptionMessage(std::string(error.what()));
    std::string why;
    switch (job->reason()) {
        case JobError::Reason::OutOfMemory:
            why = texts::kJobOutOfMemory;
            break;
        case JobError::Reason::PageTooLarge:
            why = texts::kJobPageTooLarge;
            break;
        case JobError::Reason::TooManySheets:
            why = texts::kJobTooManySheets + std::to_string(kMaxSheetsPerJob) + ".";
            break;
        case JobError::Reason::Unexpected:
            why = std::string(texts::kJobUnexpected) +
                  (job->detail().empty() ? "." : exceptionMessage(": " + job->detail()));
            break;
    }
    return why + " " + texts::kJobKept;
}

namespace {

// While nothing waits to print, the print system is asked for its default this seldom (ticks).
constexpr int kPrinterLookTicks = 4;
// How long the window waits for the print system's answer before it goes on without it.
constexpr std::chrono::milliseconds kLookWait(1000);

// The directory of path with a trailing separator.
std::string directoryOf(const std::string& path) {
    // Windows paths may use either separator.
    const auto slash = path.find_last_of("/\\");
    return slash == std::string::npos ? "./" : path.substr(0, slash + 1);
}

}  // namespace

// The question before the capture ends, naming the jobs left waiting when there are any.
std::string closeQuestion(int32_t waiting) {
    std::string text = texts::kCloseQuestion;
    if (waiting <= 0) return text;
    // Polish: 1 wydruk; 2-4, 22-24, ... wydruki (but 12-14 wydruków); the rest wydruków.
    const bool few =
        waiting % 10 >= 2 && waiting % 10 <= 4 && (waiting % 100 < 12 || waiting % 100 > 14);
    text += few ? texts::kCloseWaitingFew : texts::kCloseWaitingMany;
    text += std::to_string(waiting);
    text += waiting == 1 ? texts::kCloseJobOne : few ? texts::kCloseJobsFew : texts::kCloseJobsMany;
    return text + texts::kCloseJobsKept;
}

// Binds the form to its window, printer and exception display; nothing starts yet.
MainForm::MainForm(MainView& view, Printer& printer, ExceptionDisplay& display,
                   std::string executablePath, std::string folder)
    : view_(view),
      printer_(printer),
      display_(display),
      executablePath_(std::move(executablePath)),
      folder_(std::move(folder)),
      feedback_(std::make_unique<Feedback>(view)) {
    events_.add(*feedback_);
}

// Shuts the pipeline down if the window did not.
MainForm::~MainForm() {
    if (created_) shutDown();
}

// The folder given, else the program's own.
std::string MainForm::monitoredFolder() const {
    return folder_.empty() ? directoryOf(executablePath_) : folder_;
}

// Start-up, in the order the window has always done it.
void MainForm::startUp() {
    view_.postMinimize();
    const std::string dir = monitoredFolder();
    state_ = std::make_unique<HandOver>();
    // The worker ends in shutDown, before the view or the form can go.
    state_->WorkerIdleNotice = [this] { view_.postWorkerFinished(); };
    monitor_ = std::make_unique<SpoolMonitor>(dir, *state_, printer_, metrics_);
    worker_ = std::make_unique<PrintWorker>(*state_, printer_, metrics_, display_);
    created_ = true;
    offsetX_ = offsetY_ = engine_ = 0;
    singleMode_ = false;
    state_->TestMode = TestPage::None;
    programDir_ = dir;
    SettingsFile_ = programDir_ + texts::kSettingsFileName;
    MonitoredFile_ = programDir_ + texts::kMonitoredFileName;
    view_.setLabelWithHint(HintLabel::Label_Search, MonitoredFile_);
    PauseItemClick();
    view_.setTrayHint(texts::kCaption);
    loadSettings();
    enterDisplayMode();
    startJobTracking();
    // A pause outlives the run (the journal keeps it): what the user held back must not print
    // at the next login.
    if (monitor_->held() && !paused_) PauseItemClick();
    settingsStamp_ = settingsStamp();
}

// The log, the journal of the last run, the printer and the folder watch.
void MainForm::startJobTracking() {
    log_ = std::make_unique<JobLog>(programDir_ + texts::kLogFileName, JobLog::kDefaultMaxBytes,
                                    &events_);
    events_.add(*log_);
    monitor_->setEventSink(events_);
    monitor_->setSubmittedLookup(lookup_);
    JobEvent started;
    started.kind = JobEventKind::Started;
    started.message = programDir_;
    monitor_->report(started);
    reportIgnoredSettings();
    if (directory_) {
        lookout_ = std::make_unique<PrinterLookout>();
        lookout_->ask(printerQuestion());
        takeLook(kLookWait);
        if (!printerKnown_ && lookout_->asking()) standInForFirstPrinter();
    }
    feedback_->setPrinter(printerWords(printer_.printerName()));
    feedback_->setFolder(programDir_);
    // The documents' names keep the job numbers should the journal be lost.
    monitor_->continueNumbersAfter(programDir_ + texts::kPdfFolderName);
    monitor_->continueNumbersAfter(text_.archiveFolder);
    // Jobs still waiting when the last run ended print again; files it does not know of stay
    // where they are until the user asks for them.
    monitor_->resume();
    watch_ = watchFolder(programDir_, texts::kMonitoredFileName);
    if (watch_) view_.watchHandle(watch_->handle());
}

// Captures at once what the watch saw, paused or not.
void MainForm::FolderChanged() {
    if (!created_ || !watch_) return;
    if (watch_->takeEvents() && timerEnabled_) timerTick();
}

// Retires what the worker finished and hands over the next job, as a tick would without its
// capture.
void MainForm::WorkerFinished() {
    if (!created_ || !timerEnabled_ || !monitor_->retireFinished()) return;
    // The user hears of the job before the print system is asked about the next one.
    feedback_->setWaiting(monitor_->queue().pendingCount + monitor_->inPrinterQueue());
    feedback_->setSetAside(monitor_->setAsideCount());
    followPrinter();
    monitor_->showPrinter(*this);
    monitor_->handOver(currentRequest());
    reportArchiveFailures();
}

// Shutdown: the worker ends before the state it shares is freed.
void MainForm::shutDown() {
    if (!created_) return;
    created_ = false;
    setTimer(false);
    watch_.reset();
    // A look still waiting on the print system gives up before the printers it uses go.
    if (directory_) directory_->stopAsking();
    lookout_.reset();
    const bool workerEnded = monitor_->shutdown(*worker_);
    JobEvent stopped;
    stopped.kind = JobEventKind::Stopped;
    if (!workerEnded) stopped.message = texts::kStoppedWithoutWorker;
    monitor_->report(stopped);
    if (!workerEnded) return leaveNow_();
    // The worker has ended: the state it used can go.
    worker_.reset();
    monitor_.reset();
    state_.reset();
}

// One tick of the spool monitor with the settings in force now.
void MainForm::timerTick() {
    if (!created_) return;
    followSettingsFile();
    followPrinter();
    monitor_->superviseWorker(worker_, [this] {
        return std::make_unique<PrintWorker>(*state_, printer_, metrics_, display_);
    });
    monitor_->tick(currentRequest(), *this);
    feedback_->setWaiting(monitor_->queue().pendingCount + monitor_->inPrinterQueue());
    feedback_->setSetAside(monitor_->setAsideCount());
    reportArchiveFailures();
}

// The settings in force now, as a hand-over carries them.
PrintRequest MainForm::currentRequest() const {
    PrintRequest settings;
    settings.offsetX = offsetX_;
    settings.offsetY = offsetY_;
    settings.engine = engine_;
    settings.singleMode = singleMode_ ? 1 : 0;
    settings.codePage = static_cast<int32_t>(text_.codePage);
    settings.plainText = text_.plainText;
    return settings;
}

// Stores the folder first, so a folder that cannot be saved is not used either.
void MainForm::ArchiveFolderChosen(const std::string& folder) {
    try {
        writeArchiveFolder(SettingsFile_, folder);
    } catch (const ZelmoError& error) {
        view_.showWarning(exceptionMessage(error.what()), texts::kMessageCaption);
        return;
    }
    text_.archiveFolder = folder;
    applyArchiveFolder(printer_, folder);
    monitor_->continueNumbersAfter(folder);
    userEvent(JobEventKind::ArchiveFolderChanged, folder);
}

// The archive's failures, told like the pipeline's own events: logged and notified.
void MainForm::reportArchiveFailures() {
    for (ArchiveFailure& failure : takeArchiveFailures(printer_)) {
        JobEvent event;
        event.kind = JobEventKind::ArchiveFailed;
        event.message = std::move(failure.message);
        event.folder = std::move(failure.waitingIn);
        monitor_->report(event);
    }
}

// The values of Zelmo.ini not understood, each told once in a run, all of them in one
// sentence: a setting silently replaced by its default would look like one that does not work,
// and a second notification would hide the first.
void MainForm::reportIgnoredSettings() {
    std::vector<std::string> fresh;
    for (const std::string& ignored : ignoredSettings_)
        if (reportedSettings_.insert(ignored).second) fresh.push_back(ignored);
    if (fresh.empty()) return;
    std::string values;
    for (const std::string& value : fresh)
        values += (values.empty() ? "" : ", ") + value;
    JobEvent event;
    event.kind = JobEventKind::SettingIgnored;
    event.message = fresh.size() == 1
                        ? texts::kSettingIgnored + values + texts::kSettingDefaultUsed
                        : texts::kSettingsIgnored + values + texts::kSettingDefaultsUsed;
    monitor_->report(event);
}

// Modyfikuj enters editMode; Zapisz validates, stores and saves the settings.
void MainForm::modifyClick() {
    if (panelMode_ == PanelMode::displayMode) {
        enterEditMode();
        return;
    }
    const char separator = view_.decimalSeparator();
    double x = 0;
    double y = 0;
    for (auto [edit, value] :
         {std::pair{FocusTarget::OffsetXEdit, &x}, {FocusTarget::OffsetYEdit, &y}}) {
        if (!offsets::parseDecimal(view_.editText(edit), separator, *value)) {
            view_.setFocus(edit);
            const int field = edit == FocusTarget::OffsetXEdit ? 0 : 1;
            view_.showWarning(std::string(texts::kInvalidValue) + " " +
                                  texts::kOffsetFields[field] + texts::kOffsetExample + separator +
                                  texts::kOffsetExampleEnd,
                              texts::kMessageCaption);
            return;
        }
    }
    if (offsetOffSheet(FocusTarget::OffsetXEdit, x) || offsetOffSheet(FocusTarget::OffsetYEdit, y))
        return;
    offsetX_ = offsets::millimetresToTenths(x);
    offsetY_ = offsets::millimetresToTenths(y);
    engine_ = view_.engineIndex();
    singleMode_ = view_.singleModeChecked();
    const int32_t page = view_.codePageIndex();
    const CodePage codePage = page >= 0 && page < static_cast<int32_t>(std::size(kCodePages))
                                  ? kCodePages[page]
                                  : text_.codePage;
    // The values are in force either way; editMode stays so that the save can be tried again.
    const bool saved = saveSettings(codePage);
    text_.codePage = codePage;
    settingsStamp_ = settingsStamp();
    if (!saved) return;
    userEvent(JobEventKind::SettingsSaved, settingsSummary());
    enterDisplayMode();
}

// An offset that would move every mark off the sheet (or past what the settings hold) is
// refused with its range, rather than saved clamped: the pages would come out blank.
bool MainForm::offsetOffSheet(FocusTarget edit, double millimetres) {
    const bool across = edit == FocusTarget::OffsetXEdit;
    // The worker reads them on its first job; before that they are read here, only while it is
    // idle, as a printer switch does.
    if (!metrics_.metricsValid.load() && state_->workerIdle())
        queryDeviceMetrics(metrics_, printer_);
    const bool known = metrics_.metricsValid.load();
    const int32_t limit =
        offsets::sheetLimitTenths(known ? (across ? metrics_.physWidth : metrics_.physHeight) : 0,
                                  known ? (across ? metrics_.dpiX : metrics_.dpiY) : 0);
    if (std::fabs(std::nearbyint(millimetres * 10)) <= limit) return false;
    const char separator = view_.decimalSeparator();
    view_.setFocus(edit);
    view_.showWarning(std::string(texts::kInvalidValue) + " " +
                          texts::kOffsetFields[across ? 0 : 1] + texts::kOffsetOffSheet +
                          offsets::formatTenths(-limit, separator) + texts::kOffsetOffSheetTo +
                          offsets::formatTenths(limit, separator) + texts::kOffsetOffSheetEnd,
                      texts::kMessageCaption);
    return true;
}

// Toggles the pause. The timer keeps running while paused: printouts go on being captured
// and queued, only nothing is handed to the printer, so a paused monitor loses none.
void MainForm::PauseItemClick() {
    // Start-up turns monitoring on through here.
    const bool starting = !timerEnabled_;
    const bool pause = timerEnabled_ && !paused_;
    if (starting) setTimer(true);
    paused_ = pause;
    view_.setPauseChecked(pause);
    view_.setMonitorStatus(pause ? texts::kMonitoringPaused : texts::kMonitoring);
    if (monitor_) monitor_->setHeld(pause);
    // The hint follows from the start on; the caption alone is shown until then.
    if (created_ && state_) {
        feedback_->setPaused(pause);
        userEvent(pause ? JobEventKind::MonitoringPaused : JobEventKind::MonitoringResumed);
    }
}

// What tells a change of Zelmo.ini made by someone else: its size and time.
std::string MainForm::settingsStamp() const {
    files::FileInfo info;
    if (!files::fileInfo(SettingsFile_, info)) return {};
    return std::to_string(info.size) + "@" + std::to_string(info.modifiedSeconds);
}

// Zelmo.ini edited while Zelmo runs is read again at once; the settings panel, when being
// edited, keeps the user's edits until saved or left.
void MainForm::followSettingsFile() {
    const std::string stamp = settingsStamp();
    if (stamp == settingsStamp_) return;
    settingsStamp_ = stamp;
    loadSettings();
    if (panelMode_ == PanelMode::displayMode) enterDisplayMode();
    reportIgnoredSettings();
}

// "Otwórz": brings the window back from the tray.
void MainForm::SettingsItemClick() {
    view_.restoreWindow();
}

// "Zakończ": closing the window ends the program, once the user agrees.
void MainForm::exitClick() {
    if (mayClose(CloseReason::ExitItem)) view_.closeWindow();
}

// Ending stops the capture, so the user decides it: the close box is easily hit by mistake and
// always asks; "Zakończ" is deliberate and asks only when jobs would be left waiting. The system
// ending the session never asks: the journal keeps the waiting jobs for the next start.
bool MainForm::mayClose(CloseReason reason) {
    if (reason == CloseReason::SessionEnd) return true;
    const int32_t waiting = monitor_ ? monitor_->queue().pendingCount : 0;
    if (reason == CloseReason::ExitItem && waiting == 0) return true;
    return view_.askYesNo(closeQuestion(waiting), texts::kMessageCaption);
}

// Asks for the vector test page at the next idle tick.
void MainForm::vectorTestClick() {
    requestTest(TestPage::Vector);
}

// Asks for the bitmap test page at the next idle tick.
void MainForm::bitmapTestClick() {
    requestTest(TestPage::Bitmap);
}

// Asks for the bitmap DI test page at the next idle tick.
void MainForm::bitmapDiTestClick() {
    requestTest(TestPage::BitmapDi);
}

// "Kolejka wydruków": the queue window.
void MainForm::QueueItemClick() {
    view_.showQueueWindow();
}

// Going to the tray discards unsaved edits.
void MainForm::minimizeToTray() {
    if (panelMode_ == PanelMode::editMode) enterDisplayMode();
}

// Printer choice and switching; without a directory the printer given at creation stays.
void MainForm::usePrinters(PrinterDirectory& directory, PrinterSwitch& printers,
                           std::string choice) {
    directory_ = &directory;
    printers_ = &printers;
    commandLinePrinter_ = std::move(choice);
}

// Every printer of the print system, for the submenu.
// As the last look found them: the menu never waits on the print system.
std::vector<std::string> MainForm::printerDestinations() {
    return destinations_;
}

// The user's choice from the tray, remembered for the next runs too.
void MainForm::choosePrinter(const std::string& choice) {
    printerChoice_ = choice;
    writeProfileString(SettingsFile_, texts::kOwnSection, texts::kPrinterKey, choice);
    JobEvent event;
    event.kind = JobEventKind::PrinterChosen;
    event.printer = choice;
    if (monitor_) monitor_->report(std::move(event));
    // Looked at on the next tick, before any job is handed over.
    ticksSincePrinterLook_ = kPrinterLookTicks;
}

// Finds the printer again while the worker is idle: before a job is handed over, else now and
// then, so a default changed in the print system is followed. The print system is asked on the
// lookout's thread; an answer that takes longer than a moment is taken at a later tick.
void MainForm::followPrinter() {
    if (!directory_ || !state_->workerIdle()) return;
    if (lookout_->asking()) return takeLook(std::chrono::milliseconds(0));
    const JobQueue& queue = monitor_->queue();
    // A job waiting out its retry pause is not about to be handed over.
    const bool pausing = queue.retryPending && std::chrono::system_clock::now() < queue.nextAttempt;
    const bool jobAhead = (queue.pendingCount > 0 && !pausing) ||
                          state_->TestMode.load() != TestPage::None ||
                          files::exists(MonitoredFile_);
    if (!jobAhead && ++ticksSincePrinterLook_ < kPrinterLookTicks) return;
    ticksSincePrinterLook_ = 0;
    lookout_->ask(printerQuestion());
    takeLook(kLookWait);
}

// The question the lookout asks, with what the window knows now: which printer the choice
// leads to, and that printer opened when it is not the one in use.
PrinterLookout::Question MainForm::printerQuestion() const {
    return [directory = directory_, choice = printerChoice_, inUse = printerInUse_,
            known = printerKnown_, present = printerPresent_, sheetChanged = sheetChanged_] {
        PrinterLook look;
        look.target = resolvePrinter(*directory, choice, inUse);
        look.destinations = directory->destinations();
        look.silent = directory->takeSilence();
        if (look.silent) return look;
        look.unchanged = known && look.target.name == inUse && look.target.present == present &&
                         !(sheetChanged && look.target.name.empty());
        if (!look.unchanged && look.target.present)
            look.printer = directory->open(look.target.name);
        // A print system that lists no printer at all is taken as not running (cupsd or the
        // spooler stopped), else the printer itself is away.
        look.absence =
            look.destinations.empty() ? PrintTrouble::NoService : PrintTrouble::Unreachable;
        look.silent = directory->takeSilence();
        return look;
    };
}

// Takes the lookout's answer if it comes within wait. A print system that did not answer is
// the printer's wait: nothing it said can be trusted, and no job goes anywhere else meanwhile.
void MainForm::takeLook(std::chrono::milliseconds wait) {
    std::optional<PrinterLook> look = lookout_->answer(wait);
    if (!look) return;
    if (look->silent) return printerSilent();
    destinations_ = std::move(look->destinations);
    if (look->unchanged) return;
    switchPrinter(std::move(*look));
}

// The print system did not answer: until it does, the printer in use is waited for, and a
// first look that got no answer puts none in place of the PDF folder the switch began with.
void MainForm::printerSilent() {
    if (!printerKnown_) standInForFirstPrinter();
    printerPresent_ = false;
    monitor_->printerUnavailable(printers_->printerName(), texts::kPrintSystemSilent,
                                 PrintTrouble::Unreachable);
}

// Until the print system first answers, a stand-in with no device holds the jobs: the PDF
// folder the switch began with must not print them in place of a printer that is there.
void MainForm::standInForFirstPrinter() {
    const std::string shown = printerChoice_.empty() ? texts::kDefaultPrinter : printerChoice_;
    if (!printers_->replace(std::make_unique<AbsentPrinter>(shown))) return;
    metrics_.metricsValid = false;
    queryDeviceMetrics(metrics_, *printers_);
}

// Puts the target printer (empty name: the PDF folder) in place, reads its metrics and says
// so. A printer that is away is waited for: the queue holds its jobs until it is back.
void MainForm::switchPrinter(PrinterLook look) {
    PrinterTarget& target = look.target;
    const bool sameName = printerKnown_ && target.name == printerInUse_;
    // The printer object in use stays while its printer is away: its own failures, and the
    // print system listing it again, tell when it is back.
    if (!target.present && sameName) {
        printerPresent_ = false;
        monitor_->printerUnavailable(target.name, {}, look.absence);
        return;
    }
    std::unique_ptr<Printer> printer = std::move(look.printer);
    if (!printer && target.name.empty()) printer = directory_->open(target.name);
    if (!printer && !target.name.empty()) {
        // Gone, or listed but not usable (its details cannot be read): waited for.
        target.present = false;
        printer = std::make_unique<AbsentPrinter>(target.name);
    }
    if (!printer || !printers_->replace(std::move(printer))) return;
    const bool first = !printerKnown_;
    const bool wasPdf = printerInUse_.empty();
    printerKnown_ = true;
    printerInUse_ = target.name;
    printerPresent_ = target.present;
    if (target.name.empty()) sheetChanged_ = false;
    metrics_.metricsValid = false;
    queryDeviceMetrics(metrics_, *printers_);
    const std::string name = printers_->printerName();
    if (!first || !target.present)
        view_.setLabelWithHint(HintLabel::Label_Printer, printerWords(name));
    if (!target.present) {
        monitor_->printerUnavailable(name, {}, look.absence);
        return;
    }
    // The PDF folder when no printer is configured is told once per spell, and only if not
    // chosen; the printer waited for coming back is told by the queue.
    if (target.name.empty() && printerChoice_ != kPdfFolderChoice && (first || !wasPdf))
        printerEvent(true, name);
    else if (!first && !sameName)
        printerEvent(false, name);
    monitor_->printerReplaced();
}

// Through the feedback, like the pipeline's own events.
void MainForm::printerEvent(bool missing, const std::string& name) {
    JobEvent event;
    event.kind = missing ? JobEventKind::PrinterMissing : JobEventKind::PrinterChanged;
    event.printer = name;
    monitor_->report(event);
}

// What the queue window lists.
std::vector<QueueFileInfo> MainForm::queueSnapshot() const {
    return monitor_ ? monitor_->snapshot() : std::vector<QueueFileInfo>();
}

// What the queue window lists below the waiting files.
std::deque<HistoryEntry> MainForm::history() const {
    return monitor_ ? monitor_->history() : std::deque<HistoryEntry>();
}

// "Drukuj ponownie": the file joins the end of the queue.
bool MainForm::printAgain(const std::string& queueName) {
    return monitor_ && monitor_->printAgain(queueName);
}

// A finished job comes back into the queue only while the store keeps its file.
SpoolMonitor::AgainResult MainForm::printAgainFinished(int64_t job) {
    return monitor_ ? monitor_->printAgainFinished(job) : SpoolMonitor::AgainResult::Failed;
}

std::set<int64_t> MainForm::keptJobs() const {
    return monitor_ ? monitor_->printedStore().jobs() : std::set<int64_t>();
}

// "Usuń", once the user has confirmed it.
bool MainForm::deleteQueueFile(const std::string& queueName) {
    return monitor_ && monitor_->deleteQueueFile(queueName);
}

// Label_Printer shows the printer once the monitor knows it.
void MainForm::showPrinterName(const std::string& name) {
    view_.setLabelWithHint(HintLabel::Label_Printer, printerWords(name));
}

// The PDF folder printer goes by what it is, not by its folder's path: a bookkeeper reads a
// path where a printer's name should be as something gone wrong.
std::string MainForm::printerWords(const std::string& name) const {
    const std::string folder = programDir_ + texts::kPdfFolderName;
    const bool pdf = name == folder || name == folder + "/" || name == folder + "\\";
    return pdf ? texts::kPdfPrinterWords : name;
}

// Reads section "User" (offsets clamped, engine and single mode taken as read), then our own
// section: the printer chosen, unless the command line named one, and the notifications switch.
void MainForm::loadSettings() {
    ignoredSettings_.clear();
    const auto readInt = [this](const char* key, int32_t fallback,
                                const char* section = texts::kSettingsSection) {
        const std::string text = readProfileString(SettingsFile_, section, key, std::string());
        int32_t value = fallback;
        if (!text.empty() && !offsets::readProfileInt(text, value))
            ignoredSettings_.push_back(std::string(key) + "=" + text);
        return value;
    };
    offsetX_ = offsets::millimetresToTenths(readInt("UserX", 0) * 0.1);
    offsetY_ = offsets::millimetresToTenths(readInt("UserY", 0) * 0.1);
    engine_ = readInt("UserPE", 0);
    singleMode_ = readInt("UserSM", 0) != 0;
    printerChoice_ = commandLinePrinter_.empty()
                         ? readProfileString(SettingsFile_, texts::kOwnSection, texts::kPrinterKey,
                                             std::string())
                         : commandLinePrinter_;
    feedback_->setNotifications(readInt(texts::kNotificationsKey, 1, texts::kOwnSection) != 0);
    text_ = readTextSettings(SettingsFile_);
    followPdfSheet(readPdfSheet(SettingsFile_));
    ignoredSettings_.insert(ignoredSettings_.end(), text_.ignored.begin(), text_.ignored.end());
    applyArchiveFolder(printer_, text_.archiveFolder);
}

// "Paper=" changed while Zelmo runs is taken up, not left for a restart: the PDF folder is
// opened again with the new sheet before the next job, between jobs as any printer switch.
void MainForm::followPdfSheet(const PrinterGeometry& sheet) {
    const bool same = sheet.width == pdfSheet_.width && sheet.height == pdfSheet_.height &&
                      sheet.dpiX == pdfSheet_.dpiX && sheet.dpiY == pdfSheet_.dpiY;
    if (same || !directory_) return;
    pdfSheet_ = sheet;
    directory_->setPdfSheet(sheet);
    // Before the first look the PDF folder is opened with it anyway.
    if (printerKnown_) sheetChanged_ = true;
    ticksSincePrinterLook_ = kPrinterLookTicks;
}

// Writes the four keys, in their order, as integers, in one step, then the code page when the
// user changed it (a file that never named one keeps to the default); false, with the user
// told, when the save failed.
bool MainForm::saveSettings(CodePage page) {
    try {
        writeProfileStrings(SettingsFile_, texts::kSettingsSection,
                            {{"UserX", std::to_string(offsetX_)},
                             {"UserY", std::to_string(offsetY_)},
                             {"UserPE", std::to_string(engine_)},
                             {"UserSM", singleMode_ ? "1" : "0"}});
        if (page != text_.codePage) writeCodePage(SettingsFile_, page);
        return true;
    } catch (const PlatformError& error) {
        view_.showWarning(std::string(texts::kSettingsNotSaved) + " (" + error.what() + ")",
                          texts::kMessageCaption);
        return false;
    }
}

// Shows the stored settings in disabled controls.
void MainForm::enterDisplayMode() {
    panelMode_ = PanelMode::displayMode;
    const char separator = view_.decimalSeparator();
    view_.setEditText(FocusTarget::OffsetXEdit, offsets::formatTenths(offsetX_, separator));
    view_.setEditText(FocusTarget::OffsetYEdit, offsets::formatTenths(offsetY_, separator));
    view_.setEngineIndex(engine_);
    view_.setSingleModeChecked(singleMode_);
    view_.setCodePageIndex(codePageIndex(text_.codePage));
    view_.setSettingsEnabled(false);
    view_.setButtonCaption(texts::kModify);
    view_.setFocus(FocusTarget::MainPanel);
}

// Enables the controls as they are, for the user to change.
void MainForm::enterEditMode() {
    panelMode_ = PanelMode::editMode;
    view_.setSettingsEnabled(true);
    view_.setButtonCaption(texts::kSave);
    view_.setFocus(FocusTarget::OffsetXEdit);
}

// Timer's enabled state, kept here and carried out by the view.
void MainForm::setTimer(bool enabled) {
    timerEnabled_ = enabled;
    view_.setTimerEnabled(enabled);
}

// Stores a test request in TestMode for the monitor to hand over.
void MainForm::requestTest(TestPage mode) {
    if (!state_) return;
    state_->TestMode = mode;
    static constexpr const char* kNames[] = {texts::kVectorTest, texts::kBitmapTest,
                                             texts::kBitmapDiTest};
    userEvent(JobEventKind::TestPageRequested, kNames[testPageIndex(mode)]);
}

// What the user did, logged like the pipeline's events once the monitor runs.
void MainForm::userEvent(JobEventKind kind, const std::string& message) {
    if (!monitor_) return;
    JobEvent event;
    event.kind = kind;
    event.message = message;
    monitor_->report(std::move(event));
}

// The saved panel, as the log lists it.
std::string MainForm::settingsSummary() const {
    const char separator = view_.decimalSeparator();
    const bool known = engine_ >= 0 && engine_ < static_cast<int32_t>(std::size(texts::kEngines));
    return texts::kLogOffsetX + offsets::formatTenths(offsetX_, separator) + texts::kLogOffsetY +
           offsets::formatTenths(offsetY_, separator) + texts::kLogMm +
           (known ? texts::kEngines[engine_] : std::to_string(engine_)) + texts::kLogSingleMode +
           (singleMode_ ? texts::kLogYes : texts::kLogNo) + texts::kLogCodePage +
           codePageName(text_.codePage);
}

}  // namespace zelmo
