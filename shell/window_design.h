// The main window's facts, in one place for both faces, their tests and the Wine window check
// (which reads the numbers out of this file): where each control sits, the colours, the tick
// and the edits' length. Plain constants, no toolkit: a change here moves both windows.
#pragma once

namespace zelmo::window {

// The controls; the Win32 window numbers its child windows with these, the Qt window names its
// widgets after them.
enum ControlId : int {
    MainPanel = 100,
    StatusGroup,
    Label_MonSta,
    Label_Search,
    PrintsToLabel,
    Label_Printer,
    SettingsGroup,
    OffsetsLabel,
    XLabel,
    OffsetXEdit,
    YLabel,
    OffsetYEdit,
    ModifyButton,
    SingleMode,
    PrintEngine,
    CodePageLabel,
    CodePageList,
};

// Bounds in pixels at 96 DPI, relative to the parent. A width of 0 is the text's; a height of
// 0 is a label's line or, for a drop-down list, the system's.
struct ControlLayout {
    ControlId id;
    ControlId parent;  // MainPanel's parent is the window itself
    const char* name;
    int left, top, width, height;
};

// One line per control: the Wine window check finds a control's numbers by its quoted name.
inline constexpr ControlLayout kLayout[] = {
    {MainPanel, MainPanel, "MainPanel", 5, 5, 382, 205},
    {StatusGroup, MainPanel, "StatusGroup", 10, 7, 361, 92},
    {Label_MonSta, StatusGroup, "Label_MonSta", 8, 17, 0, 0},
    {Label_Search, StatusGroup, "Label_Search", 17, 33, 321, 13},
    {PrintsToLabel, StatusGroup, "PrintsToLabel", 8, 55, 0, 0},
    {Label_Printer, StatusGroup, "Label_Printer", 17, 71, 321, 13},
    {SettingsGroup, MainPanel, "SettingsGroup", 10, 105, 361, 89},
    {OffsetsLabel, SettingsGroup, "OffsetsLabel", 8, 20, 0, 0},
    {XLabel, SettingsGroup, "XLabel", 16, 41, 0, 0},
    {OffsetXEdit, SettingsGroup, "OffsetXEdit", 32, 37, 48, 21},
    {YLabel, SettingsGroup, "YLabel", 16, 63, 0, 0},
    {OffsetYEdit, SettingsGroup, "OffsetYEdit", 32, 59, 48, 21},
    {ModifyButton, SettingsGroup, "ModifyButton", 278, 15, 75, 21},
    {SingleMode, SettingsGroup, "SingleMode", 153, 40, 128, 17},
    {PrintEngine, SettingsGroup, "PrintEngine", 153, 59, 200, 0},
    // The code page shares the button's row: the window keeps the size offices know it by. Its
    // label has room for its text in whichever font draws it.
    {CodePageLabel, SettingsGroup, "CodePageLabel", 116, 20, 66, 13},
    {CodePageList, SettingsGroup, "CodePageList", 184, 15, 90, 0},
};

inline constexpr int kClientWidth = 392;
inline constexpr int kClientHeight = 215;

// The height of a label sized to its text, and how far a drop-down list opens.
inline constexpr int kLabelHeight = 13;
inline constexpr int kDropDownHeight = 200;
// The window's font: "MS Sans Serif" this many pixels high, or the nearest sans serif.
inline constexpr int kFontPixels = 11;

struct Colour {
    int red, green, blue;
};
inline constexpr Colour kPanelColour{180, 180, 169};  // 11121844 as a Windows colour
inline constexpr Colour kValueColour{0, 64, 128};     // 8404992
// Greyed settings are drawn in this, not the system's light grey: on the panel's grey the
// system's colour can hardly be read, and a locked value must still be read.
inline constexpr Colour kLockedColour{64, 64, 64};

// The spool monitor's tick, in milliseconds.
inline constexpr int kTimerInterval = 500;
// The offset edits take at most this many characters.
inline constexpr int kMaxEditLength = 6;

// The layout entry of a control.
constexpr const ControlLayout& layoutOf(ControlId id) {
    for (const ControlLayout& layout : kLayout)
        if (layout.id == id) return layout;
    return kLayout[0];
}

}  // namespace zelmo::window
