// The PCL 5 interpreter: the byte loop, the escape sequences, the cursor, page layout, rules,
// patterns and raster graphics, onto a whole sheet sent once per copy when a page ends.
//
// Positions are kept in units of 1/7200 inch, the common multiple of every unit a job moves
// in (dots, decipoints, columns and rows), so no move rounds until a mark is placed.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "output/page_output.h"
#include "pcl/pcl5.h"
#include "pcl/pcl5_raster.h"
#include "pcl/pcl5_sheet.h"
#include "pcl/pcl5_text.h"
#include "platform/errors.h"
#include "platform/printer.h"

namespace zelmo {
namespace {

constexpr uint8_t kEsc = 0x1B;
constexpr int64_t kInch = 7200;
constexpr int64_t kDot = kInch / 300;
constexpr int64_t kDefaultVmi = kInch / 6;
constexpr int64_t kTopMargin = kInch / 2;
constexpr int kStackDepth = 20;  // positions a job may push, as a LaserJet keeps
// No coordinate a job sends may take the cursor past this (about 35 m): arithmetic stays exact.
constexpr int64_t kMaxCoordinate = int64_t{1} << 40;
constexpr int32_t kMaxRasterPixels = 65536;
// The sheet's pixel steps of the logical page's x and y axes, by orientation.
constexpr int32_t kAlongRow[4][2] = {{1, 0}, {0, -1}, {-1, 0}, {0, 1}};
constexpr int32_t kAcrossRows[4][2] = {{0, 1}, {1, 0}, {0, -1}, {-1, 0}};

// A parameter: its value as sent (sign kept, fraction included) and its letter.
struct Parameter {
    double value = 0.0;
    bool signedValue = false;  // a + or - came: a relative move
    uint8_t letter = 0;        // as sent (lower case continues the group)
};

// The logical page's left offset in portrait on a sheet of that width: a quarter inch on
// American paper, 71 dots at 300 dpi on ISO A sizes (80 columns of Courier fit on A4).
int64_t portraitOffset(int64_t width) {
    for (const int64_t mm : {148, 210, 297})
        if (std::llabs(width - mm * kInch * 10 / 254) <= kInch / 25) return 71 * kInch / 300;
    return kInch / 4;
}

// Page sizes of ESC&l#A, in units: the ones such programs send.
bool pageSizeUnits(int32_t code, int64_t& width, int64_t& height) {
    switch (code) {
        case 1:
            width = 7 * kInch + kInch / 4, height = 10 * kInch + kInch / 2;
            return true;
        case 2:
            width = 8 * kInch + kInch / 2, height = 11 * kInch;
            return true;
        case 3:
            width = 8 * kInch + kInch / 2, height = 14 * kInch;
            return true;
        // ISO sizes in whole dots at 300 dpi, as a LaserJet takes them (A4 2480 x 3508): a
        // landscape page's positions count from the sheet's far edge and must not move by
        // the millimetres' fraction of a dot.
        case 25:
            width = 1748 * kDot, height = 2480 * kDot;
            return true;
        case 26:
            width = 2480 * kDot, height = 3508 * kDot;
            return true;
        case 27:
            width = 3508 * kDot, height = 4961 * kDot;
            return true;
        default:
            return false;
    }
}

class Pcl5Job : private RasterRowSink {
  public:
    Pcl5Job(PclState& s, const JobEnv& env, const Pcl5Survey& survey)
        : s_(s), env_(env), text_(env.request.codePage) {
        sheetWidth_ = unitsOf(env.metrics.physWidth, env.metrics.dpiX);
        sheetHeight_ = unitsOf(env.metrics.physHeight, env.metrics.dpiY);
        pageDpi_ = survey.pageDpi;
    }

    // Interprets the job from its start to its end; the last page is sent when marked.
    void run() {
        const int32_t w = pixelsOf(sheetWidth_), h = pixelsOf(sheetHeight_);
        if (!sheet_.create(w, h, pageDpi_)) throw JobError(JobError::Reason::PageTooLarge);
        resetPrinter();
        skipJobHeader();
        std::size_t nextCheck = s_.readPos;
        while (s_.readPos < s_.jobEnd && !s_.stoppedByTermination) {
            if (s_.readPos >= nextCheck) {
                if (terminated()) return stop();
                nextCheck = s_.readPos + kBytesBetweenChecks;
            }
            step(s_.job[s_.readPos++]);
        }
        if (!s_.stoppedByTermination && sheet_.marked()) sendPage();
    }

  private:
    bool terminated() const { return env_.terminated.load(std::memory_order_relaxed); }
    void stop() {
        s_.readPos = s_.jobEnd;
        s_.stoppedByTermination = true;
    }
    static int64_t unitsOf(int32_t pixels, int32_t dpi) {
        return dpi > 0 ? int64_t{pixels} * kInch / dpi : 0;
    }
    // Units to sheet pixels, an exact half rounded down, as a LaserJet-class interpreter does;
    // a position far off the sheet stays far off it without overflowing.
    int32_t pixelsOf(int64_t units) const {
        const double pixels = std::ceil(double(units) * pageDpi_ / kInch - 0.5);
        return static_cast<int32_t>(std::clamp(pixels, -1e9, 1e9));
    }
    static int64_t clampUnits(double v) {
        return static_cast<int64_t>(
            std::clamp(std::nearbyint(v), -double(kMaxCoordinate), double(kMaxCoordinate)));
    }

    // ---- Page layout --------------------------------------------------------------------

    // ESC E and the job's start: every setting back to the printer's defaults.
    void resetPrinter() {
        orientation_ = 0;
        if (!pageSizeUnits(pageSizeCode_, pageWidth_, pageHeight_))
            pageWidth_ = sheetWidth_, pageHeight_ = sheetHeight_;
        hmi_ = kInch / 10;
        vmi_ = kDefaultVmi;
        lineTermination_ = 0;
        wrap_ = false;
        perforationSkip_ = true;
        unit_ = kInch / 300;
        paint_ = Paint{};
        underline_ = false;
        text_.reset();
        rasterResolution_ = 75;
        compression_ = 0;
        rasterWidth_ = rasterHeight_ = 0;
        presentation_ = 3;
        stackSize_ = 0;
        resetLayout();
    }

    // The orientation's logical page and default margins; the cursor to the first line.
    void resetLayout() {
        const bool landscape = orientation_ & 1;
        logicalWidth_ = landscape ? pageHeight_ : pageWidth_;
        logicalLength_ = landscape ? pageWidth_ : pageHeight_;
        logicalOffset_ = landscape ? kInch / 5 : portraitOffset(pageWidth_);
        logicalWidth_ -= 2 * logicalOffset_;
        leftMargin_ = 0;
        rightMargin_ = logicalWidth_;
        topMargin_ = kTopMargin;
        defaultTextLength();
        homeCursor();
    }

    // The text length that leaves half an inch at the bottom.
    void defaultTextLength() {
        textLength_ = std::max<int64_t>(logicalLength_ - topMargin_ - kInch / 2, vmi_);
    }

    void homeCursor() {
        x_ = leftMargin_;
        y_ = homeY_ = topMargin_ + vmi_ * 3 / 4;
    }

    // A cursor still at the page's first line follows a new VMI or top margin there.
    void followHome() {
        if (y_ == homeY_) y_ = homeY_ = topMargin_ + vmi_ * 3 / 4;
    }

    // A logical point (units) on the sheet (pixels), by the orientation.
    void toSheet(int64_t lx, int64_t ly, int64_t& sx, int64_t& sy) const {
        const int64_t px = lx + logicalOffset_;
        switch (orientation_ & 3) {
            case 0:
                sx = px, sy = ly;
                break;
            case 1:
                sx = ly, sy = pageHeight_ - px;
                break;
            case 2:
                sx = pageWidth_ - px, sy = pageHeight_ - ly;
                break;
            default:
                sx = pageWidth_ - ly, sy = px;
                break;
        }
    }

    // A logical rectangle (units) painted on the sheet.
    void fillLogical(int64_t lx, int64_t ly, int64_t w, int64_t h, const Paint& paint) {
        int64_t ax, ay, bx, by;
        toSheet(lx, ly, ax, ay);
        toSheet(lx + w, ly + h, bx, by);
        sheet_.fillRect(pixelsOf(std::min(ax, bx)), pixelsOf(std::min(ay, by)),
                        pixelsOf(std::max(ax, bx)), pixelsOf(std::max(ay, by)), paint);
    }

    // ---- The byte loop --------------------------------------------------------------------

    void step(uint8_t b) {
        switch (b) {
            case kEsc:
                escape();
                return;
            case '\r':
                carriageReturn();
                return;
            case '\n':
                lineFeed();
                return;
            case '\f':
                formFeed();
                return;
            case '\b':
                x_ = std::max<int64_t>(x_ - hmi_, 0);
                return;
            case '\t':
                tab();
                return;
            case 0x0E:
                text_.shift(true);
                return;
            case 0x0F:
                text_.shift(false);
                return;
            default:
                if (b >= 0x20) character(b);
        }
    }

    void carriageReturn() {
        x_ = leftMargin_;
        if (lineTermination_ == 1 || lineTermination_ == 3) lineFeed();
    }

    // The next line; below the text area (or the page) it goes on at the next page's top.
    void lineFeed() {
        if (lineTermination_ >= 2) x_ = leftMargin_;
        y_ += vmi_;
        const int64_t bottom = perforationSkip_ ? topMargin_ + textLength_ : logicalLength_;
        if (y_ > bottom) {
            sendPage();
            homeCursor();
            x_ = lineTermination_ >= 2 ? leftMargin_ : x_;
        }
    }

    // A form feed always ends the page, blank or not, as the printer ejects it.
    void formFeed() {
        if (terminated()) return stop();
        sendPage();
        const int64_t x = x_;
        homeCursor();
        if (lineTermination_ < 2) x_ = x;
    }

    void tab() {
        const int64_t stop = hmi_ * 8;
        if (stop > 0) x_ = leftMargin_ + ((x_ - leftMargin_) / stop + 1) * stop;
    }

    // A printable byte in the current font; past the right margin it wraps or is dropped.
    void character(uint8_t code) {
        s_.holdsText = true;
        const int64_t advance = text_.advance(code, hmi_, pageDpi_);
        if (x_ + advance > rightMargin_ && x_ > leftMargin_) {
            if (!wrap_) return;
            carriageReturn();
            lineFeed();
        }
        drawCharacter(code, advance);
        x_ += advance;
    }

    void drawCharacter(uint8_t code, int64_t advance) {
        if (code != ' ') sheet_.mark();
        if (underline_) fillLogical(x_, y_ + kInch / 60, advance, kInch / 100, Paint{});
        int64_t sx, sy;
        toSheet(x_, y_, sx, sy);
        text_.draw(code, sheet_, pixelsOf(sx), pixelsOf(sy), orientation_, paint_);
    }

    // ---- Escape sequences -----------------------------------------------------------------

    // readPos is past the ESC.
    void escape() {
        if (s_.readPos >= s_.jobEnd) return;
        const uint8_t c = s_.job[s_.readPos];
        if (c >= 48 && c <= 126) {
            ++s_.readPos;
            twoCharacter(c);
            return;
        }
        if (c < 33 || c > 47) return;  // a lone ESC: the byte after it is ordinary
        ++s_.readPos;
        uint8_t group = 0;
        if (s_.readPos < s_.jobEnd && s_.job[s_.readPos] >= 96 && s_.job[s_.readPos] <= 126)
            group = s_.job[s_.readPos++];
        Parameter p;
        while (readParameter(p)) {
            command(c, group, p);
            if (p.letter < 'a' || p.letter > 'z' || s_.stoppedByTermination) break;
        }
    }

    void twoCharacter(uint8_t c) {
        if (c == 'E') {
            if (sheet_.marked()) sendPage();
            resetPrinter();
        } else if (c == '9') {
            leftMargin_ = 0;
            rightMargin_ = logicalWidth_;
        } else if (c == '=') {
            y_ += vmi_ / 2;
        }
    }

    // The value and letter at readPos, parsed without the locale; false when the sequence
    // breaks off (its bytes then read as ordinary bytes).
    bool readParameter(Parameter& p) {
        const uint8_t* at = s_.job;
        std::size_t pos = s_.readPos;
        p = Parameter{};
        bool negative = false;
        if (pos < s_.jobEnd && (at[pos] == '+' || at[pos] == '-')) {
            negative = at[pos++] == '-';
            p.signedValue = true;
        }
        double value = 0.0, scale = 0.0;
        for (; pos < s_.jobEnd; ++pos) {
            const uint8_t b = at[pos];
            if (b >= '0' && b <= '9') {
                if (scale == 0.0)
                    value = std::min(value * 10 + (b - '0'), 1e12);
                else
                    value += (b - '0') * (scale /= 10);
            } else if (b == '.' && scale == 0.0) {
                scale = 1.0;
            } else {
                break;
            }
        }
        if (pos >= s_.jobEnd || at[pos] < 64 || at[pos] > 126 || (at[pos] > 94 && at[pos] < 96))
            return false;
        p.value = negative ? -value : value;
        p.letter = at[pos];
        s_.readPos = pos + 1;
        return true;
    }

    void command(uint8_t parameterized, uint8_t group, const Parameter& p) {
        const uint8_t letter = static_cast<uint8_t>(p.letter & ~0x20);
        const uint16_t key = static_cast<uint16_t>(parameterized << 8 | group);
        switch (key) {
            case '&' << 8 | 'l':
                pageControl(letter, p);
                break;
            case '&' << 8 | 'a':
                position(letter, p);
                break;
            case '&' << 8 | 'k':
                motion(letter, p);
                break;
            case '&' << 8 | 'f':
                pushPop(letter, p);
                break;
            case '&' << 8 | 'd':
                underline_ = letter == 'D';
                break;
            case '&' << 8 | 's':
                if (letter == 'C') wrap_ = p.value == 0;
                break;
            case '&' << 8 | 'u':
                if (letter == 'D' && p.value > 0) unit_ = clampUnits(kInch / p.value);
                break;
            case '&' << 8 | 'p':
                if (letter == 'X') transparentData(p);
                break;
            case '*' << 8 | 'p':
                dotPosition(letter, p);
                break;
            case '*' << 8 | 'c':
                ruleOrPattern(letter, p);
                break;
            case '*' << 8 | 'v':
                transparency(letter, p);
                break;
            case '*' << 8 | 't':
                if (letter == 'R') rasterResolution_ = int32_t(std::clamp(p.value, 1.0, 7200.0));
                break;
            case '*' << 8 | 'r':
                rasterControl(letter, p);
                break;
            case '*' << 8 | 'b':
                rasterData(letter, p);
                break;
            case '%' << 8:
                percent(letter, p);
                break;
            default:
                if (parameterized == '(' || parameterized == ')')
                    fontCommand(parameterized, group, letter, p);
                else
                    skipData(letter, p);
        }
    }

    // A data block of a command the interpreter does not carry out.
    void skipData(uint8_t letter, const Parameter& p) {
        if (letter == 'W') skipBytes(p.value);
    }
    void skipBytes(double count) {
        const double left = double(s_.jobEnd - s_.readPos);
        s_.readPos += static_cast<std::size_t>(std::clamp(count, 0.0, left));
    }

    // ESC&l: page size, orientation, margins, text length, lines per inch and VMI, copies.
    void pageControl(uint8_t letter, const Parameter& p) {
        const int32_t v = static_cast<int32_t>(std::clamp(p.value, -1e9, 1e9));
        switch (letter) {
            case 'A':
                if (sheet_.marked()) sendPage();
                pageSizeCode_ = v;
                if (!pageSizeUnits(v, pageWidth_, pageHeight_))
                    pageWidth_ = sheetWidth_, pageHeight_ = sheetHeight_;
                resetLayout();
                break;
            case 'O':
                if (v < 0 || v > 3) break;
                if (sheet_.marked()) sendPage();
                orientation_ = v;
                resetLayout();
                break;
            case 'E':
                if (v < 0 || v * vmi_ > logicalLength_) break;
                topMargin_ = v * vmi_;
                defaultTextLength();
                followHome();
                break;
            case 'F':
                if (v > 0) textLength_ = std::min<int64_t>(v * vmi_, logicalLength_ - topMargin_);
                break;
            case 'C':
                if (p.value >= 0) vmi_ = clampUnits(p.value * kInch / 48);
                followHome();
                break;
            case 'D':
                if (p.value >= 0) vmi_ = p.value > 0 ? clampUnits(kInch / p.value) : 0;
                followHome();
                break;
            case 'L':
                perforationSkip_ = v != 0;
                break;
            case 'X':
                setCopiesCommand(s_, env_, v);
                break;
            default:
                break;
        }
    }

    // ESC&a: columns and rows, decipoints, margins by column.
    void position(uint8_t letter, const Parameter& p) {
        switch (letter) {
            case 'C':
                moveX(p, double(hmi_));
                break;
            case 'H':
                moveX(p, kInch / 720.0);
                break;
            case 'R':
                if (p.signedValue)
                    y_ = clampUnits(y_ + p.value * vmi_);
                else
                    y_ = clampUnits(topMargin_ + p.value * vmi_ + vmi_ * 3 / 4);
                break;
            case 'V':
                moveY(p, kInch / 720.0);
                break;
            case 'L':
                leftMargin_ = std::clamp<int64_t>(clampUnits(p.value * hmi_), 0, rightMargin_);
                break;
            case 'M':
                rightMargin_ = std::clamp<int64_t>(clampUnits((p.value + 1) * hmi_), leftMargin_,
                                                   logicalWidth_);
                break;
            default:
                break;
        }
    }

    void moveX(const Parameter& p, double unit) {
        x_ = std::max<int64_t>(clampUnits((p.signedValue ? x_ : 0) + p.value * unit), 0);
    }
    // Vertical positions count from the top margin.
    void moveY(const Parameter& p, double unit) {
        y_ = clampUnits((p.signedValue ? y_ : topMargin_) + p.value * unit);
        y_ = std::max<int64_t>(y_, 0);
    }

    // ESC*p: positions in PCL units (dots unless ESC&u#D set another unit).
    void dotPosition(uint8_t letter, const Parameter& p) {
        if (letter == 'X') moveX(p, double(unit_));
        if (letter == 'Y') moveY(p, double(unit_));
    }

    // ESC&k: HMI in 1/120 inch, line termination.
    void motion(uint8_t letter, const Parameter& p) {
        if (letter == 'H' && p.value >= 0) hmi_ = clampUnits(p.value * kInch / 120);
        if (letter == 'G' && p.value >= 0 && p.value <= 3) lineTermination_ = int(p.value);
        if (letter == 'S') text_.pitchMode(int(std::clamp(p.value, -1.0, 9.0)), hmi_);
    }

    // ESC&f#S: 0 pushes the cursor position, 1 pops it.
    void pushPop(uint8_t letter, const Parameter& p) {
        if (letter != 'S') return;
        if (p.value == 0 && stackSize_ < kStackDepth) stack_[stackSize_++] = {x_, y_};
        if (p.value == 1 && stackSize_ > 0) {
            x_ = stack_[--stackSize_][0];
            y_ = stack_[stackSize_][1];
        }
    }

    // ESC&p#X: the bytes that follow print as characters, control codes included.
    void transparentData(const Parameter& p) {
        const double left = double(s_.jobEnd - s_.readPos);
        const auto n = static_cast<std::size_t>(std::clamp(p.value, 0.0, left));
        const std::size_t end = s_.readPos + n;
        while (s_.readPos < end)
            character(s_.job[s_.readPos++]);
    }

    // ESC(...: symbol sets and fonts; ESC(s...: characteristics; W downloads are skipped.
    void fontCommand(uint8_t parameterized, uint8_t group, uint8_t letter, const Parameter& p) {
        const bool primary = parameterized == '(';
        if (letter == 'W') {
            download(primary, group, p.value);
            return;
        }
        if (group == 0 && letter == 'X')
            text_.selectById(primary, p.value);
        else if (group == 's')
            text_.characteristic(primary, letter, p.value);
        else if (group == 0)
            text_.symbolSet(primary, p.value, p.letter);
        if (primary) text_.applyPitch(hmi_);
    }

    // ESC(s#W and ESC)s#W: a character or a font header for the soft fonts.
    void download(bool primary, uint8_t group, double count) {
        const double left = double(s_.jobEnd - s_.readPos);
        const auto n = static_cast<std::size_t>(std::clamp(count, 0.0, left));
        const uint8_t* data = s_.job + s_.readPos;
        s_.readPos += n;
        if (group != 's') return;
        if (primary)
            text_.softFonts().character(data, n);
        else
            text_.softFonts().header(data, n);
    }

    // ESC*c: rule size, pattern id, fill; the soft fonts' ID, character code and control.
    void ruleOrPattern(uint8_t letter, const Parameter& p) {
        switch (letter) {
            case 'D':
                text_.softFonts().setFontId(p.value);
                break;
            case 'E':
                text_.softFonts().setCharCode(p.value);
                break;
            case 'F':
                text_.softFonts().control(int32_t(std::clamp(p.value, -1.0, 99.0)));
                break;
            case 'A':
                ruleWidth_ = clampUnits(std::max(p.value, 0.0) * unit_);
                break;
            case 'B':
                ruleHeight_ = clampUnits(std::max(p.value, 0.0) * unit_);
                break;
            case 'H':
                ruleWidth_ = clampUnits(std::max(p.value, 0.0) * kInch / 720);
                break;
            case 'V':
                ruleHeight_ = clampUnits(std::max(p.value, 0.0) * kInch / 720);
                break;
            case 'G':
                patternId_ = static_cast<int32_t>(std::clamp(p.value, 0.0, 1e6));
                break;
            case 'P':
                fillRule(int(std::clamp(p.value, -1.0, 9.0)));
                break;
            case 'W':
                skipBytes(p.value);
                break;
            default:
                break;
        }
    }

    // Paints the rule at the cursor: black, white, shading, cross-hatch or the current pattern.
    void fillRule(int kind) {
        Paint paint = paint_;
        switch (kind) {
            case 0:
                paint.pattern = PatternKind::Black;
                break;
            case 1:
                paint.pattern = PatternKind::White, paint.patternOpaque = true;
                break;
            case 2:
                paint.pattern = PatternKind::Shading, paint.id = patternId_;
                break;
            case 3:
                paint.pattern = PatternKind::CrossHatch, paint.id = patternId_;
                break;
            case 5:
                break;
            default:
                return;
        }
        fillLogical(x_, y_, ruleWidth_, ruleHeight_, paint);
    }

    // ESC*v: source and pattern transparency, the current pattern.
    void transparency(uint8_t letter, const Parameter& p) {
        const int v = int(std::clamp(p.value, -1.0, 9.0));
        if (letter == 'N') paint_.sourceOpaque = v == 1;
        if (letter == 'O') paint_.patternOpaque = v == 1;
        if (letter == 'T') {
            if (v == 0) paint_.pattern = PatternKind::Black;
            if (v == 1) paint_.pattern = PatternKind::White;
            if (v == 2) paint_.pattern = PatternKind::Shading, paint_.id = patternId_;
            if (v == 3) paint_.pattern = PatternKind::CrossHatch, paint_.id = patternId_;
        }
    }

    // ESC%: the universal exit ends the PCL job (PJL may follow); HP-GL/2 is skipped whole.
    void percent(uint8_t letter, const Parameter& p) {
        if (letter == 'X' && p.value == -12345) {
            if (sheet_.marked()) sendPage();
            resetPrinter();
            skipJobHeader();
        } else if (letter == 'B') {
            skipHpgl();
        }
    }

    // Skips PJL lines (and the blank ones between them) at readPos.
    void skipJobHeader() {
        for (;;) {
            std::size_t pos = s_.readPos;
            while (pos < s_.jobEnd && (s_.job[pos] == '\r' || s_.job[pos] == '\n'))
                ++pos;
            if (s_.jobEnd - pos < 4 || std::memcmp(s_.job + pos, "@PJL", 4) != 0) return;
            const void* nl = std::memchr(s_.job + pos, '\n', s_.jobEnd - pos);
            s_.readPos = nl ? std::size_t(static_cast<const uint8_t*>(nl) - s_.job) + 1 : s_.jobEnd;
        }
    }

    // HP-GL/2 runs to the escape that leaves it (ESC%#A, ESC E or the universal exit).
    void skipHpgl() {
        while (s_.readPos + 1 < s_.jobEnd) {
            const void* esc = std::memchr(s_.job + s_.readPos, kEsc, s_.jobEnd - s_.readPos);
            if (!esc) break;
            s_.readPos = std::size_t(static_cast<const uint8_t*>(esc) - s_.job);
            const uint8_t next = s_.readPos + 1 < s_.jobEnd ? s_.job[s_.readPos + 1] : 0;
            if (next == '%' || next == 'E') return;
            ++s_.readPos;
        }
        s_.readPos = s_.jobEnd;
    }

    // ---- Raster graphics -------------------------------------------------------------------

    void rasterControl(uint8_t letter, const Parameter& p) {
        const double v = std::clamp(p.value, 0.0, double(kMaxRasterPixels));
        switch (letter) {
            case 'A':
                startRaster(v >= 1);
                break;
            case 'S':
                rasterWidth_ = int32_t(v);
                break;
            case 'T':
                rasterHeight_ = int32_t(v);
                break;
            case 'F':
                presentation_ = int32_t(v) == 0 ? 0 : 3;
                break;
            case 'B':
                rasterOn_ = false;
                break;
            case 'C':
                rasterOn_ = false, compression_ = 0;
                break;
            default:
                break;
        }
    }

    // The raster starts at the cursor's row, at the left edge or at the cursor's column.
    void startRaster(bool atCursor) {
        if (rasterOn_) return;
        rasterOn_ = true;
        if (!atCursor) x_ = 0;
        rasterLeft_ = x_;
        rowsDrawn_ = 0;
        rasterUnits_ = 0;
        anchorRaster();
        const int32_t res = std::max(rasterResolution_, 1);
        const int64_t fit = (logicalWidth_ + 2 * logicalOffset_ - x_) * res / kInch;
        const int64_t pixels =
            rasterWidth_ > 0 ? rasterWidth_ : std::clamp<int64_t>(fit, 8, kMaxRasterPixels);
        decoder_.start(static_cast<std::size_t>((pixels + 7) / 8));
        rowPixels_ = static_cast<int32_t>(pixels);
    }

    void rasterData(uint8_t letter, const Parameter& p) {
        if (letter == 'M') compression_ = int32_t(std::clamp(p.value, -1.0, 99.0));
        if (letter == 'Y') rasterOffset(p.value);
        if (letter == 'W' || letter == 'V') rasterTransfer(letter, p.value);
    }

    // ESC*b#Y: the next row that many rows down, the seed row blank.
    void rasterOffset(double rows) {
        if (!rasterOn_) startRaster(false);
        decoder_.clearSeed();
        skipRows(static_cast<std::size_t>(std::clamp(rows, 0.0, 1e6)));
    }

    void rasterTransfer(uint8_t letter, double count) {
        if (terminated()) return stop();
        const double left = double(s_.jobEnd - s_.readPos);
        const auto n = static_cast<std::size_t>(std::clamp(count, 0.0, left));
        const uint8_t* data = s_.job + s_.readPos;
        s_.readPos += n;
        if (letter == 'V') return;  // colour planes: this printer is monochrome
        if (!rasterOn_) startRaster(false);
        decoder_.transfer(compression_, data, n, *this);
    }

    // The sheet pixel of the logical dot at the cursor, where the raster's first pixel lies,
    // and the sheet's steps along a row and from row to row: the logical page's in
    // presentation mode 0; in mode 3 along the sheet's short edge, landscape rows as portrait
    // ones and reverse landscape as reverse portrait, as a LaserJet prints them.
    void anchorRaster() {
        const int o = orientation_ & 3;
        int64_t sx, sy;
        toSheet(x_, y_, sx, sy);
        // Where a logical axis runs against the sheet's, the dot lies before the point.
        rasterAnchorX_ = pixelsOf(sx) - (o == 2 || o == 3 ? 1 : 0);
        rasterAnchorY_ = pixelsOf(sy) - (o == 1 || o == 2 ? 1 : 0);
        const int turn = presentation_ == 0 ? o : o & 2;
        rasterAlong_ = {kAlongRow[turn][0], kAlongRow[turn][1]};
        rasterAcross_ = {kAcrossRows[turn][0], kAcrossRows[turn][1]};
        // The cursor follows the rows: the logical axis that runs the way they advance.
        const std::array<int32_t, 2> logicalX{kAlongRow[o][0], kAlongRow[o][1]};
        const std::array<int32_t, 2> logicalY{kAcrossRows[o][0], kAcrossRows[o][1]};
        const std::array<int32_t, 2> back{-rasterAcross_[0], -rasterAcross_[1]};
        rasterCursorAxis_ = rasterAcross_ == logicalY || back == logicalY ? 1 : 0;
        rasterCursorSign_ = rasterAcross_ == logicalX || rasterAcross_ == logicalY ? 1 : -1;
    }

    // The cursor one raster row further, the way the rows advance.
    void advanceRasterCursor(int64_t units) {
        rasterUnits_ += units;
        int64_t& axis = rasterCursorAxis_ == 1 ? y_ : x_;
        axis = std::clamp(axis + rasterCursorSign_ * units, -kMaxCoordinate, kMaxCoordinate);
    }

    // One decoded row at the raster position, scaled to the sheet; the cursor moves one row.
    bool row(const uint8_t* bits, std::size_t) override {
        if (rasterHeight_ > 0 && rowsDrawn_ >= rasterHeight_) return false;
        const int32_t res = std::max(rasterResolution_, 1);
        const int64_t rowUnits = kInch / res;
        if ((orientation_ & 3) != 0) return turnedRow(bits, res, rowUnits);
        int64_t sx, sy;
        toSheet(rasterLeft_, y_, sx, sy);
        const int32_t x0 = pixelsOf(sx), y0 = pixelsOf(sy), y1 = pixelsOf(sy + rowUnits);
        ++rowsDrawn_;
        advanceRasterCursor(rowUnits);
        if (y0 >= sheet_.height()) return false;
        const int32_t outPixels = scaleRow(bits, res);
        for (int32_t y = std::max(y0, 0); y < y1; ++y)
            sheet_.drawRow(x0, y, scaled_.data(), outPixels, paint_);
        return true;
    }

    // A row on a turned page, pixel by pixel from the raster's anchor.
    bool turnedRow(const uint8_t* bits, int32_t res, int64_t rowUnits) {
        const int32_t a = pixelsOf(rasterUnits_), b = pixelsOf(rasterUnits_ + rowUnits);
        ++rowsDrawn_;
        advanceRasterCursor(rowUnits);
        const int32_t outPixels = scaleRow(bits, res);
        for (int64_t k = a; k < b; ++k) {
            const int64_t x = rasterAnchorX_ + k * rasterAcross_[0];
            const int64_t y = rasterAnchorY_ + k * rasterAcross_[1];
            for (int32_t d = 0; d < outPixels; ++d) {
                const bool ink = (scaled_[std::size_t(d) >> 3] >> (7 - (d & 7))) & 1;
                const int64_t px = x + d * rasterAlong_[0], py = y + d * rasterAlong_[1];
                if (px >= 0 && py >= 0 && px < sheet_.width() && py < sheet_.height())
                    sheet_.paintPixel(int32_t(px), int32_t(py), ink, paint_);
            }
        }
        return true;
    }

    void skipRows(std::size_t count) override {
        const int32_t res = std::max(rasterResolution_, 1);
        const int64_t n = static_cast<int64_t>(std::min<std::size_t>(count, 1u << 20));
        advanceRasterCursor(n * (kInch / res));
        rowsDrawn_ += static_cast<int32_t>(n);
    }

    // The row stretched from the raster's resolution to the sheet's: into scaled_, its pixels.
    int32_t scaleRow(const uint8_t* bits, int32_t res) {
        if (res == pageDpi_) {
            scaled_.assign(bits, bits + (rowPixels_ + 7) / 8);
            return rowPixels_;
        }
        const int32_t out = static_cast<int32_t>(int64_t{rowPixels_} * pageDpi_ / res);
        scaled_.assign(static_cast<std::size_t>(out + 7) / 8, 0);
        for (int32_t d = 0; d < out; ++d) {
            const int32_t src = static_cast<int32_t>(int64_t{d} * res / pageDpi_);
            if ((bits[src >> 3] >> (7 - (src & 7))) & 1)
                scaled_[std::size_t(d) >> 3] |= static_cast<uint8_t>(0x80 >> (d & 7));
        }
        return out;
    }

    // ---- Pages -------------------------------------------------------------------------------

    // Sends the sheet once per copy, placed on the printer's sheet, then clears it.
    void sendPage() {
        s_.drawsPages = true;
        for (int32_t copy = 0; copy < s_.copies; ++copy) {
            if (terminated()) return stop();
            beginCopy(s_, env_);
            if (PrinterCanvas* dc = env_.printer.deviceContext()) stretchSheet(*dc);
            endCopy(s_, env_);
        }
        sheet_.clear();
        text_.clearPage();
        rasterOn_ = false;
    }

    void stretchSheet(PrinterCanvas& dc) {
        const DeviceMetrics& m = env_.metrics;
        gdi::UniqueBitmap image(
            gdi::createBitmap(sheet_.width(), sheet_.height(), 1, 1, sheet_.bits()));
        if (!image) throw JobError(JobError::Reason::OutOfMemory);
        gdi::UniqueDc memory(gdi::createCompatibleDc(nullptr));
        gdi::selectObject(memory.get(), image.get());
        const int x = offsetPixels(m.dpiX, env_.request.offsetX) - m.physOffsetX;
        const int y = offsetPixels(m.dpiY, env_.request.offsetY) - m.physOffsetY;
        dc.stretchBlt(x, y, m.physWidth, m.physHeight, memory.get(), 0, 0, sheet_.width(),
                      sheet_.height(), Rop::SrcCopy);
        text_.sendLayer(dc, x, y, double(m.physWidth) / sheet_.width());
        memory.reset();
    }

    PclState& s_;
    const JobEnv& env_;
    Pcl5Sheet sheet_;
    RasterDecoder decoder_;
    Pcl5Text text_;
    int32_t pageDpi_ = 300;
    int64_t sheetWidth_ = 0, sheetHeight_ = 0;
    int32_t pageSizeCode_ = 0;
    int64_t pageWidth_ = 0, pageHeight_ = 0;
    int orientation_ = 0;
    int64_t logicalWidth_ = 0, logicalLength_ = 0, logicalOffset_ = 0;
    int64_t leftMargin_ = 0, rightMargin_ = 0, topMargin_ = 0, textLength_ = 0;
    int64_t hmi_ = 0, vmi_ = 0, unit_ = 24;
    int64_t x_ = 0, y_ = 0, homeY_ = 0;
    std::array<std::array<int64_t, 2>, kStackDepth> stack_{};
    int stackSize_ = 0;
    int lineTermination_ = 0;
    bool wrap_ = false, perforationSkip_ = true, underline_ = false;
    Paint paint_;
    int64_t ruleWidth_ = 0, ruleHeight_ = 0;
    int32_t patternId_ = 0;
    int32_t rasterResolution_ = 75, compression_ = 0, rasterWidth_ = 0, rasterHeight_ = 0;
    int32_t presentation_ = 3, rowsDrawn_ = 0, rowPixels_ = 0;
    bool rasterOn_ = false;
    int64_t rasterLeft_ = 0, rasterUnits_ = 0;
    int32_t rasterAnchorX_ = 0, rasterAnchorY_ = 0;
    std::array<int32_t, 2> rasterAlong_{}, rasterAcross_{};
    int rasterCursorAxis_ = 1, rasterCursorSign_ = 1;
    std::vector<uint8_t> scaled_;
};

}  // namespace

void runPcl5Job(PclState& s, const JobEnv& env, const Pcl5Survey& survey) {
    Pcl5Job(s, env, survey).run();
}

}  // namespace zelmo
