// The failure box of the Win32 window: at most one at a time, and no modal loop of its own.
#pragma once

#include <windows.h>

#include <string>

namespace zelmo::win32 {

// MessageBoxW runs a modal loop inside whatever loop called it: failures in a row stacked one
// box inside the previous one's loop, and the timer and the worker's messages were handled
// inside them. This box is an ordinary window of the message loop: printing and the timer go
// on while it is open, and it stays until its user closes it.
class FailureBox {
  public:
    FailureBox() = default;
    ~FailureBox();
    FailureBox(const FailureBox&) = delete;
    FailureBox& operator=(const FailureBox&) = delete;

    // Shows text with the given caption; false, showing nothing, while a box is open (or when
    // none can be made). job, when given, is the queue file the box is about: a box open for
    // the same job says text instead.
    bool show(const std::string& caption, const std::string& text, const std::string& job = {});
    // The job's box, if open, says text instead, or closes when text is empty.
    void follow(const std::string& job, const std::string& text);
    // The box on screen, or null.
    HWND window() const { return box_; }

  private:
    static LRESULT CALLBACK boxProc(HWND window, UINT message, WPARAM w, LPARAM l);
    void placeControls(const std::wstring& text);

    HWND box_ = nullptr;
    HFONT font_ = nullptr;
    std::string job_;  // the job the open box is about; empty for none
};

}  // namespace zelmo::win32
