// The queue window ("Kolejka wydruków") on Win32: every queue file in the folder with its
// number, time, size and state in a report list view, and the user's actions on them: print
// again, delete, open the folder.
#pragma once

#include <windows.h>

#include <array>
#include <string>
#include <vector>

#include "pipeline/job_events.h"
#include "pipeline/job_queue.h"

namespace zelmo {

class TMainForm;

namespace win32 {

class QueueWindow : public JobEventSink {
  public:
    // separator: the decimal separator of the sizes; font: the window's, owned by the caller.
    QueueWindow(TMainForm& form, char separator, HFONT font);
    ~QueueWindow() override;
    QueueWindow(const QueueWindow&) = delete;
    QueueWindow& operator=(const QueueWindow&) = delete;

    // Shows the window in front, its list fresh; made at the first call.
    void open();
    // Reads the folder again and keeps the selection where it can.
    void refresh();
    // Every change of a job shows at once while the window is open.
    void jobEvent(const JobEvent& event) override;
    // The window, or null before the first open().
    HWND window() const { return window_; }

  private:
    static LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM w, LPARAM l);
    LRESULT handle(HWND window, UINT message, WPARAM w, LPARAM l);
    bool create();
    void createControls();
    void placeControls();
    void fitColumns();
    void command(int id);
    void printAgainSelected();
    void deleteSelected();
    void openFolder();
    void updateButtons();
    void hide();
    // The selected row's file, or null when none is selected.
    const QueueFileInfo* selected() const;
    void tell(const char* format, const std::string& name, UINT icon) const;

    TMainForm& form_;
    char separator_;
    HFONT font_;
    HWND window_ = nullptr;
    HWND list_ = nullptr;
    using Row = std::array<std::string, 5>;  // the texts of a row, column by column
    std::vector<QueueFileInfo> files_;       // the rows' files, in the list's order
    std::vector<Row> rows_;                  // what the list shows
};

}  // namespace win32
}  // namespace zelmo
