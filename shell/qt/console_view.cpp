// The console that stands in for the window where there is no display.
#include "shell/qt/console_view.h"

#include <QCoreApplication>
#include <chrono>
#include <iostream>

#include "shell/feedback.h"
#include "shell/texts.h"
#include "shell/window_design.h"

namespace zelmo {

// The form with a timer and no window.
ConsoleView::ConsoleView(Printer& printer, const std::string& executablePath,
                         const std::string& folder) {
    Timer.setInterval(window::kTimerInterval);
    connect(&Timer, &QTimer::timeout, this, [this] {
        try {
            form_->timerTick();
        } catch (const ZelmoError& error) {
            showException(error);
        }
    });
    form_ = std::make_unique<MainForm>(*this, printer, *this, executablePath, folder);
}

// The folder watch wakes the form between ticks.
void ConsoleView::watchHandle(intptr_t handle) {
    notifyOnReadable(this, handle, [this] {
        try {
            form_->FolderChanged();
        } catch (const ZelmoError& error) {
            showException(error);
        }
    });
}

// Queued to the loop's thread; dropped if the view is gone by then.
void ConsoleView::postWorkerFinished() {
    QMetaObject::invokeMethod(
        this,
        [this] {
            try {
                form_->WorkerFinished();
            } catch (const ZelmoError& error) {
                showException(error);
            }
        },
        Qt::QueuedConnection);
}

// Makes sure the pipeline is down.
ConsoleView::~ConsoleView() {
    finish();
}

// Runs startUp.
void ConsoleView::start() {
    form_->startUp();
}

// Stops the timer and runs shutDown.
void ConsoleView::finish() {
    Timer.stop();
    if (form_) form_->shutDown();
}

// The exception display as a line on standard error.
void ConsoleView::showException(const ZelmoError& error) {
    std::cerr << "Zelmo: " << exceptionMessage(error) << std::endl;
}

// A failed job, with what comes next, on standard error.
void ConsoleView::showFailure(const std::string& text) {
    std::cerr << "Zelmo: " << text << std::endl;
}

// Ends the message loop.
void ConsoleView::closeWindow() {
    QCoreApplication::quit();
}

// Starts or stops the 500 ms timer.
void ConsoleView::setTimerEnabled(bool enabled) {
    if (enabled)
        Timer.start();
    else
        Timer.stop();
}

// The monitored file and the printer name, once each, on standard output.
void ConsoleView::setLabelWithHint(HintLabel label, const std::string& text) {
    const char* caption =
        label == HintLabel::Label_Search ? texts::kMonitoredFile : texts::kPrintsTo;
    std::cout << caption << ' ' << text << std::endl;
}

// Keeps an offset text as the edit would.
void ConsoleView::setEditText(FocusTarget edit, const std::string& text) {
    (edit == FocusTarget::OffsetYEdit ? editY_ : editX_) = text;
}

// The kept offset text.
std::string ConsoleView::editText(FocusTarget edit) const {
    return edit == FocusTarget::OffsetYEdit ? editY_ : editX_;
}

// A notification as a line on standard output, with the time it happened.
void ConsoleView::notify(const std::string& title, const std::string& text, bool) {
    std::string line = text;
    for (char& c : line)
        if (c == '\n') c = ' ';
    std::cout << '[' << clockTime(std::chrono::system_clock::now()) << "] " << title << ": " << line
              << std::endl;
}

// A message box as a line on standard error.
void ConsoleView::showWarning(const std::string& text, const std::string& caption) {
    std::cerr << caption << ": " << text << std::endl;
}

// The system's decimal separator.
char ConsoleView::decimalSeparator() const {
    return systemDecimalSeparator();
}

}  // namespace zelmo
