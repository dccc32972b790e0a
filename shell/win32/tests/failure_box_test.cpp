// The failure box follows the job it is about, on the real (Wine's) window manager: the box is
// what a user reads, and a stale "next attempt" in it is a promise broken.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "platform/win32/wide.h"
#include "shell/win32/controls.h"
#include "shell/win32/failure_box.h"

namespace {

using zelmo::win32::FailureBox;
using zelmo::win32::narrow;

// The text of the box's label, "" when no box is open.
std::string shownText(const FailureBox& box) {
    if (!box.window()) return "";
    std::string text;
    for (HWND child = ::GetWindow(box.window(), GW_CHILD); child;
         child = ::GetWindow(child, GW_HWNDNEXT)) {
        wchar_t name[16] = {};
        wchar_t content[512] = {};
        ::GetClassNameW(child, name, 16);
        ::GetWindowTextW(child, content, 512);
        if (::lstrcmpiW(name, L"STATIC") == 0 && content[0]) text = narrow(content);
    }
    return text;
}

TEST(FailureBox, FollowsItsJobUntilTheJobMovesOn) {
    struct Step {
        bool show;  // show, else follow
        const char* job;
        const char* text;
        const char* shown;  // what the open box says afterwards; "" for no box
    };
    const Step steps[] = {
        {true, "Zelmo3.Prn", "próba 1. Następna próba o 10:00.",
         "próba 1. Następna próba o 10:00."},
        {true, "Zelmo4.Prn", "Zelmo4", "próba 1. Następna próba o 10:00."},
        {false, "Zelmo4.Prn", "", "próba 1. Następna próba o 10:00."},
        {true, "Zelmo3.Prn", "próba 2. Następna próba o 10:05.",
         "próba 2. Następna próba o 10:05."},
        {false, "Zelmo3.Prn", "Zadanie odłożono.", "Zadanie odłożono."},
        {false, "Zelmo3.Prn", "", ""},
        {true, "", "Błąd.", "Błąd."},
        {false, "", "", "Błąd."},
    };
    FailureBox box;
    for (const Step& step : steps) {
        SCOPED_TRACE(std::string(step.job) + " " + step.text);
        if (step.show)
            box.show("Zelmo", step.text, step.job);
        else
            box.follow(step.job, step.text);
        EXPECT_EQ(shownText(box), step.shown);
    }
}

}  // namespace
