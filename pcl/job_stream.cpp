// The interpreter entry: job start, the byte loop, the escape recogniser and the command loop.
#include <algorithm>
#include <cstring>

#include "output/plain_text.h"
#include "pcl/bare_text.h"
#include "pcl/interpreter.h"
#include "pcl/pcl5.h"
#include "platform/printer.h"

namespace zelmo {
namespace {

constexpr uint8_t ESC = 0x1B;
constexpr uint8_t LF = 0x0A;
constexpr uint8_t CR = 0x0D;
constexpr uint8_t FF = 0x0C;

// The command groups the interpreter knows, by the two bytes after ESC.
enum class Group {
    None,
    RasterData,
    RasterResolution,
    PageControl,
    CharCode,
    GlyphDownload,
    FontHeader,
    MotionIndex,
    CursorPosition
};

Group groupOf(uint8_t first, uint8_t second) {
    switch (first) {
        case '*':
            if (second == 'b') return Group::RasterData;
            if (second == 't') return Group::RasterResolution;
            if (second == 'c') return Group::CharCode;
            if (second == 'p') return Group::CursorPosition;
            break;
        case '&':
            if (second == 'l') return Group::PageControl;
            if (second == 'k') return Group::MotionIndex;
            break;
        case '(':
            if (second == 's') return Group::GlyphDownload;
            break;
        case ')':
            if (second == 's') return Group::FontHeader;
            break;
    }
    return Group::None;
}

class JobStream {
  public:
    JobStream(PclState& s, const JobEnv& env) : s_(s), env_(env) {}

    // Walks the job from readPos to jobEnd, looking at the terminated flag every
    // kBytesBetweenChecks bytes and before every glyph drawn.
    void byteLoop() {
        while (s_.readPos < s_.jobEnd) {
            if (terminated()) {
                stop();
                return;
            }
            const std::size_t left = s_.jobEnd - s_.readPos;
            chunkLoop(s_.readPos + std::min(left, kBytesBetweenChecks));
        }
    }

    // Walks the job again for a job of bare text: each escape sequence is skipped whole, data
    // blocks included, by PCL's grammar (not the page path's rule, which takes two bytes after
    // every ESC and would eat the letter after ESC E); every other byte goes to the page.
    void plainLoop(PlainTextPrinter& out) {
        std::size_t nextCheck = s_.readPos;
        while (s_.readPos < s_.jobEnd) {
            if (s_.readPos >= nextCheck) {
                if (terminated()) {
                    stop();
                    return;
                }
                nextCheck = s_.readPos + kBytesBetweenChecks;
            }
            const uint8_t b = s_.job[s_.readPos];
            if (b == ESC) {
                plainEscape();
            } else {
                out.put(b);
                ++s_.readPos;
            }
        }
        if (!s_.stoppedByTermination) out.finish();
    }

  private:
    // Skips the escape sequence at readPos; of its commands only the page control group's
    // (the copies command) counts in bare text.
    void plainEscape() {
        const uint8_t* at = s_.job + s_.readPos;
        const EscapeSpan span = escapeSpan(at, s_.jobEnd - s_.readPos);
        const std::size_t end = s_.readPos + span.length;
        if (span.wellFormed && span.length > 3 && at[1] == '&' && at[2] == 'l') {
            s_.readPos += 3;
            commandLoop(Group::PageControl);
        }
        s_.readPos = end;
    }

    bool terminated() const { return env_.terminated.load(std::memory_order_relaxed); }

    // The byte loop up to chunkEnd (or further, when a command's data reaches past it).
    void chunkLoop(std::size_t chunkEnd) {
        while (s_.readPos < chunkEnd) {
            uint8_t b = s_.job[s_.readPos++];
            if (b >= 0x20) {
                if (b != 0x20) {
                    s_.holdsText = true;
                    if (const GlyphEntry* glyph = findGlyph(s_, b)) {
                        // One glyph may cover the whole page: a job repeating it must not
                        // hold a closing program for minutes.
                        if (terminated()) {
                            stop();
                            return;
                        }
                        drawGlyph(s_, *glyph);
                    }
                }
                s_.cursorX += s_.hmi;
            } else if (b == ESC) {
                escape();
            } else if (b == LF) {
                s_.cursorY += s_.vmi;
                if (s_.cursorY + s_.vmi > static_cast<double>(s_.surface.pageHeight)) formFeed();
            } else if (b == CR) {
                s_.cursorX = 0.0;
            } else if (b == FF) {
                formFeed();
            }
        }
    }

    // Stops interpreting: the termination checkpoints all end here.
    void stop() {
        s_.readPos = s_.jobEnd;
        s_.stoppedByTermination = true;
    }

    void formFeed() {
        if (terminated()) {
            stop();
            return;
        }
        emitPage(s_, env_);
        resetPagePosition(s_);
    }

    // readPos is at the byte after an ESC.
    void escape() {
        if (s_.jobEnd - s_.readPos < 2) {
            if (s_.jobEnd - s_.readPos == 1) ++s_.readPos;
            return;
        }
        uint8_t first = s_.job[s_.readPos];
        uint8_t second = s_.job[s_.readPos + 1];
        Group group = groupOf(first, second);
        if (group == Group::None && second == ESC) {
            // Drops a two-character sequence (ESC E) when another escape follows at once.
            ++s_.readPos;
            return;
        }
        s_.readPos += 2;
        commandLoop(group);
    }

    // Scans parameter after parameter; lower-case letters continue the group.
    void commandLoop(Group group) {
        int terminator;
        do {
            s_.readPos = scanParameter(s_, s_.readPos);
            terminator = s_.paramTerminator;
            if (terminator >= 0 && group != Group::None) {
                int letter = terminator >= 'a' && terminator <= 'z' ? terminator - 32 : terminator;
                command(group, letter);
            }
        } while (terminator >= 'a' && terminator <= 'z' && s_.readPos < s_.jobEnd);
    }

    // Carries out one command of the table; letter is upper case.
    void command(Group group, int letter) {
        switch (group) {
            case Group::RasterData:
                if (letter == 'M') s_.compression = static_cast<int16_t>(s_.paramValue);
                if (letter == 'W') rasterRow();
                break;
            case Group::RasterResolution:
                if (letter == 'R') {
                    s_.rasterDpi = s_.paramValue;
                    s_.rasterMode = true;
                    s_.drawsPages = true;
                    if (terminated())
                        stop();
                    else
                        createRasterPage(s_, env_.metrics, env_.request);
                }
                break;
            case Group::PageControl:
                if (letter == 'C') s_.vmi = double(s_.paramReal) * (1.0 / 48.0) * s_.textDpiY;
                if (letter == 'X') setCopiesCommand(s_, env_, s_.paramValue);
                break;
            case Group::CharCode:
                if (letter == 'E') s_.pendingCharCode = static_cast<uint8_t>(s_.paramValue);
                break;
            case Group::GlyphDownload:
                if (letter == 'W') downloadGlyph(s_, s_.readPos);
                break;
            case Group::FontHeader:
                if (letter == 'W') {
                    s_.rasterMode = false;
                    s_.drawsPages = true;
                    readFontHeader(s_, s_.readPos);
                    createTextPage(s_, env_.metrics);
                }
                break;
            case Group::MotionIndex:
                if (letter == 'H') s_.hmi = double(s_.paramReal) * (1.0 / 120.0) * s_.textDpiX;
                break;
            case Group::CursorPosition:
                if (letter == 'X') {
                    s_.rasterX = s_.paramValue;
                    s_.cursorX = s_.paramValue;
                }
                if (letter == 'Y') {
                    s_.rasterRow = s_.paramValue;
                    s_.cursorY = s_.paramValue;
                }
                break;
            case Group::None:
                break;
        }
    }

    void rasterRow() {
        if (terminated()) {
            stop();
            return;
        }
        if (!transferRasterRow(s_, s_.readPos)) s_.readPos = s_.jobEnd;
    }

    PclState& s_;
    const JobEnv& env_;
};

// Sets the per-job fields; the kept ones carry over from the previous job.
void startJob(PclState& s, const JobEnv& env) {
    s.job = env.job;
    s.readPos = 0;
    s.jobEnd = env.job ? env.jobLength : 0;
    s.cursorX = s.cursorY = 0.0;
    s.hmi = s.vmi = 0.0;
    s.textDpiX = s.textDpiY = 300;
    s.rasterDpi = 0;
    s.pendingCharCode = 0;
    s.copies = 1;
    s.pagesPrinted = 0;
    s.stoppedByTermination = false;
    s.stopRequest = &env.terminated;
    s.drawsPages = false;
    s.holdsText = false;
    s.markedPages = 0;
    s.blankPages = 0;
    s.content = ContentVerdict{};
    s.fontMetrics = FontMetrics{};
    s.glyphTable.glyphCount = 0;
    s.glyphTable.firstIndex.fill(kNoGlyph);
    s.glyphTable.bitmapBytes = 0;
    resetPagePosition(s);
}

// The clean-up when an exception leaves the job: surfaces released, an open document aborted.
void abandonJob(PclState& s, const JobEnv& env) noexcept {
    releasePageSurfaces(s);
    try {
        if (env.printer.printing()) env.printer.abort();
    } catch (...) {
        // The first failure is the one the user needs to see.
    }
}

// A job that sent no page and set up no page to draw on: if it holds text, it is a job of bare
// text meant for a printer's own font.
bool isPlainText(const PclState& s, const JobEnv& env) {
    return env.request.plainText && s.holdsText && !s.drawsPages && s.pagesPrinted == 0 &&
           !s.stoppedByTermination;
}

// Prints a job of bare text from its start; the copies command counts from its start again.
void printPlainText(PclState& s, const JobEnv& env) {
    s.readPos = 0;
    s.copies = 1;
    PlainTextPrinter out(s, env);
    JobStream(s, env).plainLoop(out);
}

}  // namespace

void resetPagePosition(PclState& s) {
    s.rasterRow = 0;
    s.rasterX = 0;
    s.cursorX = 0.0;
    s.cursorY = 0.0;
}

bool runJob(PclState& s, const JobEnv& env) {
    resetPageSurface(s, env.request);
    startJob(s, env);

    const TestPage test = env.testMode.load();
    if (test != TestPage::None) {
        env.testMode.store(TestPage::None);
        if (test == TestPage::Vector) printVectorTest(s, env);
        if (test == TestPage::Bitmap) printBitmapTest(s, env);
        if (test == TestPage::BitmapDi) printBitmapDiTest(s, env);
        return true;
    }

    try {
        // Random bytes hold escapes of either kind and a form feed every 256 bytes: such a file
        // would print as hundreds of sheets of noise, so it is judged before anything prints.
        const Pcl5Survey survey = surveyJob(s.job, s.jobEnd);
        if (env.request.judgeFirst) s.content = survey.content;
        if (!s.content.isText()) return endJob(s, env) && !s.stoppedByTermination;
        // Another program's PCL 5 job gets its own interpreter; the accounting program's jobs,
        // and any job that downloads its fonts the way they do and never selects one, keep the
        // rules below.
        if (survey.otherProgram()) {
            runPcl5Job(s, env, survey);
            return endJob(s, env) && !s.stoppedByTermination;
        }
        JobStream(s, env).byteLoop();
        if (isPlainText(s, env)) printPlainText(s, env);
        bool ended = endJob(s, env);
        return ended && !s.stoppedByTermination;
    } catch (...) {
        abandonJob(s, env);
        throw;
    }
}

PclState::~PclState() {
    releasePageSurfaces(*this);
}

}  // namespace zelmo
