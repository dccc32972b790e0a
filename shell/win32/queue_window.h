// The queue window ("Kolejka wydruków") on Win32: every queue file in the folder with its
// number, time, size and state in a report list view, and the user's actions on them: print
// again, delete, open the folder; below them the finished jobs, whose PDF can be opened.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "pipeline/job_events.h"
#include "shell/queue_view.h"

namespace zelmo {

class MainForm;

namespace win32 {

class QueueWindow : public JobEventSink, private QueueDialogs {
  public:
    // separator: the decimal separator of the sizes; font: the window's, owned by the caller.
    QueueWindow(MainForm& form, char separator, HFONT font);
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
    void openPdfSelected();
    void openFolder();
    void updateButtons();
    void hide();
    // The selected row, or -1 when none is selected.
    int selectedRow() const;
    const QueueRow* selected() const;
    bool confirm(const std::string& text, const std::string& caption) override;
    void warn(const std::string& text, const std::string& caption) override;
    bool openDocument(const std::string& path) override;

    MainForm& form_;
    QueueView view_;
    HFONT font_;
    HWND window_ = nullptr;
    HWND list_ = nullptr;
};

}  // namespace win32
}  // namespace zelmo
