// Unit Main: start-up, shutdown, settings, panel modes, pause and the test items of the window.
#include "shell/Main.h"

#include <charconv>
#include <cmath>
#include <cstdlib>

#include "platform/settings.h"
#include "shell/texts.h"

namespace zelmo {
namespace offsets {
namespace {

constexpr double kMaxMillimetres = 999.9;

// The text without the blanks around it.
std::string trimmed(const std::string& text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// True when text is digits only, at least one.
bool allDigits(const std::string& text) {
    return !text.empty() && text.find_first_not_of("0123456789") == std::string::npos;
}

}  // namespace

// Millimetres to tenths, clamped, halves to even.
int32_t millimetresToTenths(double millimetres) {
    if (millimetres < -kMaxMillimetres) millimetres = -kMaxMillimetres;
    if (millimetres > kMaxMillimetres) millimetres = kMaxMillimetres;
    // The default rounding mode rounds an exact half to the even neighbour.
    return static_cast<int32_t>(std::nearbyint(millimetres * 10));
}

// Tenths as millimetres, "0.0" with the given separator.
std::string formatTenths(int32_t tenths, char separator) {
    const int64_t magnitude = std::llabs(static_cast<int64_t>(tenths));
    std::string text = tenths < 0 ? "-" : "";
    text += std::to_string(magnitude / 10);
    text += separator;
    text += std::to_string(magnitude % 10);
    return text;
}

// A decimal number as the window accepts it, or false.
bool parseDecimal(const std::string& text, char separator, double& value) {
    std::string s = trimmed(text);
    std::size_t pos = 0;
    std::string sign;
    if (pos < s.size() && (s[pos] == '+' || s[pos] == '-')) sign = s[pos++] == '-' ? "-" : "";
    // Mantissa: digits with at most one separator, at least one digit; then an exponent.
    const std::size_t exponentAt = s.find_first_of("eE", pos);
    std::string mantissa =
        s.substr(pos, exponentAt == std::string::npos ? std::string::npos : exponentAt - pos);
    std::string exponent = exponentAt == std::string::npos ? "" : s.substr(exponentAt + 1);
    const std::size_t sepAt = mantissa.find(separator);
    std::string whole = mantissa.substr(0, sepAt);
    std::string fraction = sepAt == std::string::npos ? "" : mantissa.substr(sepAt + 1);
    if (!(allDigits(whole) || allDigits(fraction))) return false;
    if ((!whole.empty() && !allDigits(whole)) || (!fraction.empty() && !allDigits(fraction)))
        return false;
    if (exponentAt != std::string::npos) {
        const std::string digits = !exponent.empty() && (exponent[0] == '+' || exponent[0] == '-')
                                       ? exponent.substr(1)
                                       : exponent;
        if (!allDigits(digits)) return false;
    }
    // from_chars does not depend on the C locale, whose separator may differ from the view's.
    const std::string canonical = sign + (whole.empty() ? "0" : whole) + "." +
                                  (fraction.empty() ? "0" : fraction) +
                                  (exponentAt == std::string::npos ? "" : "e" + exponent);
    double parsed = 0;
    const auto result =
        std::from_chars(canonical.data(), canonical.data() + canonical.size(), parsed);
    if (result.ec != std::errc() || result.ptr != canonical.data() + canonical.size()) return false;
    value = parsed;
    return true;
}

// An INI integer as Windows reads it, or fallback.
int32_t parseProfileInt(const std::string& text, int32_t fallback) {
    std::string s = trimmed(text);
    bool negative = false;
    if (!s.empty() && (s[0] == '+' || s[0] == '-')) {
        negative = s[0] == '-';
        s.erase(0, 1);
    }
    int base = 10;
    if (s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
        base = 16;
        s.erase(0, 2);
    } else if (!s.empty() && s[0] == '$') {
        base = 16;
        s.erase(0, 1);
    }
    int64_t magnitude = 0;
    const auto result = std::from_chars(s.data(), s.data() + s.size(), magnitude, base);
    if (s.empty() || result.ec != std::errc() || result.ptr != s.data() + s.size()) return fallback;
    const int64_t value = negative ? -magnitude : magnitude;
    if (value < INT32_MIN || value > INT32_MAX) return fallback;
    return static_cast<int32_t>(value);
}

}  // namespace offsets

// The text the exception display shows.
std::string exceptionMessage(const std::string& what) {
    // The application's exception display ends every message with punctuation.
    if (!what.empty() && static_cast<unsigned char>(what.back()) > '.') return what + ".";
    return what;
}

namespace {

// The directory of path with a trailing separator.
std::string directoryOf(const std::string& path) {
    // Windows paths may use either separator.
    const auto slash = path.find_last_of("/\\");
    return slash == std::string::npos ? "./" : path.substr(0, slash + 1);
}

}  // namespace

// Binds the form to its window, printer and exception display; nothing starts yet.
TMainForm::TMainForm(MainView& view, Printer& printer, ExceptionDisplay& display,
                     std::string executablePath)
    : view_(view),
      printer_(printer),
      display_(display),
      executablePath_(std::move(executablePath)) {}

// Shuts the pipeline down if the window did not.
TMainForm::~TMainForm() {
    if (created_) FormDestroy();
}

// Start-up, in the order the window has always done it.
void TMainForm::FormCreate() {
    view_.postMinimize();
    const std::string dir = directoryOf(executablePath_);
    state_ = std::make_unique<HandOver>();
    monitor_ = std::make_unique<SpoolMonitor>(dir, *state_, printer_, metrics_);
    worker_ = std::make_unique<TPrintThread>(*state_, printer_, metrics_, display_);
    created_ = true;
    offsetX_ = offsetY_ = engine_ = 0;
    singleMode_ = false;
    state_->TestMode = 0;
    programDir_ = dir;
    SettingsFile_ = programDir_ + texts::kSettingsFileName;
    MonitoredFile_ = programDir_ + texts::kMonitoredFileName;
    view_.setLabelWithHint(HintLabel::Label_Search, MonitoredFile_);
    PauseItemClick();
    view_.setTrayHint(texts::kCaption);
    loadSettings();
    enterDisplayMode();
}

// Shutdown: the worker ends before the state it shares is freed.
void TMainForm::FormDestroy() {
    if (!created_) return;
    created_ = false;
    setTimer(false);
    monitor_->shutdown(*worker_);
    // The worker has ended: the state it used can go.
    worker_.reset();
    monitor_.reset();
    state_.reset();
}

// One tick of the spool monitor with the settings in force now.
void TMainForm::TimerTimer() {
    if (!created_) return;
    PrintRequest settings;
    settings.offsetX = offsetX_;
    settings.offsetY = offsetY_;
    settings.engine = engine_;
    settings.singleMode = singleMode_ ? 1 : 0;
    monitor_->tick(settings, *this);
}

// Modyfikuj enters editMode; Zapisz validates, stores and saves the settings.
void TMainForm::BtnClick() {
    if (panelMode_ == PanelMode::displayMode) {
        enterEditMode();
        return;
    }
    const char separator = view_.decimalSeparator();
    double x = 0;
    double y = 0;
    for (auto [edit, value] : {std::pair{FocusTarget::Edit_X, &x}, {FocusTarget::Edit_Y, &y}}) {
        if (!offsets::parseDecimal(view_.editText(edit), separator, *value)) {
            view_.setFocus(edit);
            view_.showWarning(texts::kInvalidValue, texts::kMessageCaption);
            return;
        }
    }
    offsetX_ = offsets::millimetresToTenths(x);
    offsetY_ = offsets::millimetresToTenths(y);
    engine_ = view_.engineIndex();
    singleMode_ = view_.singleModeChecked();
    saveSettings();
    enterDisplayMode();
}

// Toggles monitoring: only the timer stops, a job printing goes on.
void TMainForm::PauseItemClick() {
    if (timerEnabled_) {
        setTimer(false);
        view_.setPauseChecked(true);
        view_.setMonitorStatus(texts::kMonitoringPaused);
    } else {
        view_.setMonitorStatus(texts::kMonitoring);
        view_.setPauseChecked(false);
        setTimer(true);
    }
}

// "Otwórz": brings the window back from the tray.
void TMainForm::SettingsItemClick() {
    view_.restoreWindow();
}

// "Zakończ": closing the window ends the program.
void TMainForm::Wycz1Click() {
    view_.closeWindow();
}

// Asks for the vector test page at the next idle tick.
void TMainForm::Wektorowy1Click() {
    requestTest(1);
}

// Asks for the bitmap test page at the next idle tick.
void TMainForm::Bitmapowy1Click() {
    requestTest(2);
}

// Asks for the bitmap DI test page at the next idle tick.
void TMainForm::Bitmapowy181Click() {
    requestTest(3);
}

// Going to the tray discards unsaved edits.
void TMainForm::TrayIcon1Minimize() {
    if (panelMode_ == PanelMode::editMode) enterDisplayMode();
}

// Label_Printer shows the printer once the monitor knows it.
void TMainForm::showPrinterName(const std::string& name) {
    view_.setLabelWithHint(HintLabel::Label_Printer, name);
}

// Reads section "User"; offsets are clamped, engine and single mode are taken as read.
void TMainForm::loadSettings() {
    const auto readInt = [this](const char* key, int32_t fallback) {
        const std::string text =
            readProfileString(SettingsFile_, texts::kSettingsSection, key, std::string());
        return text.empty() ? fallback : offsets::parseProfileInt(text, fallback);
    };
    offsetX_ = offsets::millimetresToTenths(readInt("UserX", 0) * 0.1);
    offsetY_ = offsets::millimetresToTenths(readInt("UserY", 0) * 0.1);
    engine_ = readInt("UserPE", 0);
    singleMode_ = readInt("UserSM", 0) != 0;
}

// Writes the four keys, in their order, as integers.
void TMainForm::saveSettings() {
    const auto write = [this](const char* key, int32_t value) {
        writeProfileString(SettingsFile_, texts::kSettingsSection, key, std::to_string(value));
    };
    write("UserX", offsetX_);
    write("UserY", offsetY_);
    write("UserPE", engine_);
    write("UserSM", singleMode_ ? 1 : 0);
}

// Shows the stored settings in disabled controls.
void TMainForm::enterDisplayMode() {
    panelMode_ = PanelMode::displayMode;
    const char separator = view_.decimalSeparator();
    view_.setEditText(FocusTarget::Edit_X, offsets::formatTenths(offsetX_, separator));
    view_.setEditText(FocusTarget::Edit_Y, offsets::formatTenths(offsetY_, separator));
    view_.setEngineIndex(engine_);
    view_.setSingleModeChecked(singleMode_);
    view_.setSettingsEnabled(false);
    view_.setButtonCaption(texts::kModify);
    view_.setFocus(FocusTarget::MainPanel);
}

// Enables the controls as they are, for the user to change.
void TMainForm::enterEditMode() {
    panelMode_ = PanelMode::editMode;
    view_.setSettingsEnabled(true);
    view_.setButtonCaption(texts::kSave);
    view_.setFocus(FocusTarget::Edit_X);
}

// Timer's enabled state, kept here and carried out by the view.
void TMainForm::setTimer(bool enabled) {
    timerEnabled_ = enabled;
    view_.setTimerEnabled(enabled);
}

// Stores a test request in TestMode for the monitor to hand over.
void TMainForm::requestTest(int mode) {
    if (state_) state_->TestMode = mode;
}

}  // namespace zelmo
