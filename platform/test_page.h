// Which test page the user asked for, in place of a job; the values are those the menu's items
// and the tools' options have always used.
#pragma once

namespace zelmo {

enum class TestPage : int {
    None = 0,      // a job, not a test page
    Vector = 1,    // drawn with the printer's own lines and text
    Bitmap = 2,    // one memory bitmap stretched onto the page
    BitmapDi = 3,  // the same through a device-independent bitmap
};

// Test pages that print something, for loops and tables indexed from 0.
constexpr int kTestPageCount = 3;

// The test page of a number the user or a tool gave; out of range gives None.
constexpr TestPage testPageFromNumber(int number) {
    return number >= 1 && number <= kTestPageCount ? static_cast<TestPage>(number) : TestPage::None;
}

// Its place among the printing test pages (0 to 2); only for a page other than None.
constexpr int testPageIndex(TestPage page) {
    return static_cast<int>(page) - 1;
}

}  // namespace zelmo
