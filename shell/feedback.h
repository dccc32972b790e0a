// What the user learns of jobs without opening the window: the tray icon's variant, its hint
// (state, printer, jobs waiting, the last job and its outcome) and notifications, all from the
// pipeline's job events. Toolkit-neutral: it speaks through MainView.
#pragma once

#include <string>

#include "pipeline/job_events.h"
#include "pipeline/job_queue.h"
#include "shell/main_form.h"

namespace zelmo {

// The room the folder takes in the hint, in UTF-16 units (Windows allows 127 for all of it).
inline constexpr std::size_t kHintFolderRoom = 40;

class Feedback : public JobEventSink {
  public:
    explicit Feedback(MainView& view) : view_(view) {}

    // Notifications can be switched off in Zelmo.ini; the hint and icon always follow.
    void setNotifications(bool on) { notifications_ = on; }
    void setPaused(bool paused);
    void setPrinter(const std::string& name);
    // The monitored folder, named in the hint so that two monitors' icons tell apart.
    void setFolder(const std::string& folder);
    void setWaiting(int count);
    // The jobs set aside and still on disk: the icon stays red until the user acts on them.
    void setSetAside(int count);
    void jobEvent(const JobEvent& event) override;

    // The tray hint as it stands: the caption first, then one line per fact.
    std::string hint() const;
    TrayIconKind icon() const;

  private:
    void jobPrintedOrFailed(const JobEvent& e);
    void blankSheetsTold(const JobEvent& e, const std::string& job);
    void jobSetAside(const JobEvent& e);
    void workerEvent(const JobEvent& e);
    void printerEvent(const JobEvent& e);
    void jobHandedOver(const JobEvent& e);
    void folderEvent(const JobEvent& e);
    void notify(const char* title, const std::string& text, bool warning);
    void show();

    MainView& view_;
    bool notifications_ = true;
    bool paused_ = false;
    bool error_ = false;  // the last thing that happened to a job went wrong
    // Set-aside jobs waiting for the user, as the monitor counts them: the mark stays until the
    // user acts, however many jobs print meanwhile.
    int setAside_ = 0;
    bool printerAway_ = false;  // the printer takes no jobs: the queue waits for it
    std::string printer_;
    std::string folder_;
    int waiting_ = 0;
    std::string last_;  // the last job and its outcome
    std::string shownHint_;
    TrayIconKind shownIcon_ = TrayIconKind::Monitoring;
    bool shown_ = false;
};

// Our text, then the system's message on a line of its own after "Komunikat systemu: " when
// there is one: the technician's part comes last.
std::string withSystemMessage(std::string text, const std::string& message);
// Why a job was set aside, in the user's words, without a full stop.
std::string asideWhy(SetAsideReason reason, const std::string& message);
// What a failed job was given up with, as a sentence of ours.
std::string failureReason(const JobEvent& e);

// What went wrong, as one plain sentence.
const char* troubleText(PrintTrouble trouble);

// Where a queue file stands, as the queue window says it.
std::string queueStateText(const QueueFileInfo& file);

// A time of day as the hint and the notifications show it (local, HH:MM:SS).
std::string clockTime(WallTime when);
// The hint for a tray that holds at most room UTF-16 units (Windows: 127): whole when it fits,
// else without the caption line, and if still too long cut on a character boundary with an
// ellipsis, so the facts come before the program's name and no character is split.
std::string fitHint(const std::string& hint, size_t room);

// A message box's text that names a path: the sentence (its trailing ": " dropped), then the path
// on a line of its own with no-break spaces, so that no box breaks it ("C:" never ends a line
// with the rest of the path on the next).
std::string boxedPath(const std::string& sentence, const std::string& path);

// The room a word (a path, say) has in a box's line, in characters: a longer one keeps its
// beginning and its end around an ellipsis, so that no box grows past the screen or breaks it
// anywhere. The log keeps it whole.
inline constexpr std::size_t kBoxWordRoom = 60;
std::string shortenLongWords(const std::string& text, std::size_t room);

// A local time in a strftime format, for the window thread only.
std::string localTimeText(WallTime when, const char* format);

}  // namespace zelmo
