// The byte loop, escape recogniser, command loop and command table, run through runJob.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <utility>
#include <vector>

#include "platform/errors.h"
#include "support/job_run.h"

namespace zelmo {
namespace {

using test::JobRun;

// A job that sets hmi to 30 dots so printed characters show in cursorX.
JobBuilder withHmi30() {
    return JobBuilder().esc("&k12.0H");
}

struct CursorCase {
    const char* name;
    JobBuilder job;
    double cursorX;
    double cursorY;
};

class CursorCommands : public ::testing::TestWithParam<CursorCase> {};

TEST_P(CursorCommands, MoveTheCursorAsTheStreamSays) {
    JobRun r;
    r.run(GetParam().job);
    EXPECT_DOUBLE_EQ(r.state.cursorX, GetParam().cursorX);
    EXPECT_DOUBLE_EQ(r.state.cursorY, GetParam().cursorY);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CursorCommands,
    ::testing::Values(
        CursorCase{"PrintableAndSpaceAdvance", withHmi30().text("ab c"), 120, 0},
        CursorCase{"HighBytesArePrintable", withHmi30().byte(0x80).byte(0xFF), 60, 0},
        CursorCase{"TabAndBackspaceMoveNothing", withHmi30().byte(0x09).byte(0x08).byte(0x0E), 0,
                   0},
        CursorCase{"CarriageReturnOnly", withHmi30().text("abc").carriageReturn().text("d"), 30, 0},
        CursorCase{"PositionBothAxes", withHmi30().esc("*p100x200Y"), 100, 200},
        CursorCase{"TwoCharSequenceBeforeEscape", withHmi30().esc("E").esc("*p40X"), 40, 0},
        CursorCase{"TwoCharSequenceSwallowsNext", withHmi30().esc("E12AB"), 30, 0},
        CursorCase{"MinusPrintsTheRest", withHmi30().esc("*p-5X"), 60, 0},
        CursorCase{"SeventeenDigitsPrintTheLetter", withHmi30().esc("*p00000000000000123X"), 30, 0},
        CursorCase{"EscapeCutsParameter", withHmi30().esc("*p100").esc("*p200Y"), 180, 0},
        // In a job of the program's own (its font downloaded): a job with nothing but page
        // layout is another program's, printed as PCL 5.
        CursorCase{"UnknownGroupDropsAllLetters",
                   withHmi30().fontHeader(40, 30).esc("&a5c7R").text("x"), 30, 0},
        CursorCase{"UnknownLetterContinuesGroup", withHmi30().esc("*p5q9Y"), 0, 9},
        CursorCase{"EscapeInLastTwoBytes", withHmi30().text("a").esc("*"), 30, 0},
        CursorCase{"EscapeAsLastByte", withHmi30().text("a").byte(0x1B), 30, 0}),
    [](const auto& info) { return std::string(info.param.name); });

struct MotionCase {
    const char* name;
    JobBuilder job;
    double hmi;
    double vmi;
};

class MotionIndexes : public ::testing::TestWithParam<MotionCase> {};

TEST_P(MotionIndexes, TakeTheLastRealParameter) {
    JobRun r;
    r.run(GetParam().job);
    EXPECT_DOUBLE_EQ(r.state.hmi, GetParam().hmi);
    EXPECT_DOUBLE_EQ(r.state.vmi, GetParam().vmi);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, MotionIndexes,
    ::testing::Values(
        MotionCase{"HmiReal", JobBuilder().esc("&k10.0H"), 25.0, 0},
        MotionCase{"HmiIntegerUsesLastReal", JobBuilder().esc("&k10.0H").esc("&k4H"), 25.0, 0},
        MotionCase{"VmiReal", JobBuilder().esc("&l8.0C"), 0, 50.0},
        MotionCase{"VmiFromEarlierRealOfJob", JobBuilder().esc("&k6.0H").esc("&l3C"), 15.0, 37.5}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(JobStream, IntegerMotionIndexBeforeAnyRealGivesZero) {
    JobRun r;
    r.run(JobBuilder().esc("&k10H").text("abc"));
    EXPECT_EQ(r.state.hmi, 0.0);
    EXPECT_EQ(r.state.cursorX, 0.0);
}

TEST(JobStream, RealParameterCarriesOverToNextJob) {
    JobRun r;
    r.run(JobBuilder().esc("&k10.0H"));
    r.run(JobBuilder().esc("&k3H"));
    EXPECT_DOUBLE_EQ(r.state.hmi, 25.0);
}

struct CopiesCase {
    const char* name;
    JobBuilder job;
    int copies;
};

class CopiesCommand : public ::testing::TestWithParam<CopiesCase> {};

TEST_P(CopiesCommand, SetsCopiesOnAPrinterThatCannotCopy) {
    JobRun r;
    r.run(GetParam().job);
    EXPECT_EQ(r.state.copies, GetParam().copies);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CopiesCommand,
    ::testing::Values(CopiesCase{"Plain", JobBuilder().esc("&l4X"), 4},
                      CopiesCase{"AfterResetSequence", JobBuilder().esc("E").esc("&l1X"), 1},
                      CopiesCase{"AfterResetSequenceTwo", JobBuilder().esc("E").esc("&l2X"), 2},
                      CopiesCase{"LastValueWins", JobBuilder().esc("&l2x3X"), 3},
                      CopiesCase{"OrientationDoesNothing", JobBuilder().esc("&l1o2X"), 2},
                      CopiesCase{"ZeroPrintsOnce", JobBuilder().esc("&l0X"), 1},
                      CopiesCase{"AboveTheRange", JobBuilder().esc("&l1000X"), 999},
                      CopiesCase{"ElevenDigits", JobBuilder().esc("&l99999999999X"), 999},
                      CopiesCase{"DefaultIsOne", JobBuilder().text("x"), 1}),
    [](const auto& info) { return std::string(info.param.name); });

// The minimal raster job: a 150-dpi page with eight black pixels at the top-left corner.
JobBuilder minimalRasterJob() {
    return JobBuilder().esc("E").esc("*t150R").esc("*b0M").rasterRow({0xFF, 0x00}).formFeed();
}

TEST(JobStream, MinimalRasterJobPrintsOnePage) {
    JobRun r;
    EXPECT_TRUE(r.run(minimalRasterJob()));
    EXPECT_EQ(r.calls(), (std::vector<std::string>{"begin \"Kalvister II - wydruk.prn\"",
                                                   "stretch 0 0 300 450 150 225 SRCCOPY", "end"}));
    ASSERT_EQ(r.sheets().size(), 1u);
    const Sheet& sheet = *r.sheets()[0];
    // Eight raster pixels, doubled to 300 dpi: 16 x 2 device pixels.
    EXPECT_EQ(test::blackIn(sheet, 0, 0, 16, 2), 32);
    EXPECT_EQ(sheet.blackCount(), 32);
}

TEST(JobStream, EmptyJobBeginsNoDocument) {
    JobRun r;
    EXPECT_TRUE(r.run(std::vector<uint8_t>{}));
    EXPECT_TRUE(r.calls().empty());
}

TEST(JobStream, DrawingAfterLastFormFeedIsNotSent) {
    JobRun r;
    r.run(JobBuilder().esc("*t150R").rasterRow({0xFF}).formFeed().rasterRow({0xFF}));
    EXPECT_EQ(r.stretches(), 1);
    EXPECT_EQ(r.sheets().size(), 1u);
    EXPECT_EQ(r.sheets()[0]->blackCount(), 16 * 2);
}

TEST(JobStream, LineFeedBeforeAnyPageActsAsFormFeed) {
    JobRun r;
    r.run(JobBuilder().esc("&l8.0C").esc("*p7x9Y").lineFeed());
    EXPECT_EQ(r.state.cursorY, 0.0);
    EXPECT_EQ(r.state.cursorX, 0.0);
    EXPECT_TRUE(r.calls().empty());
}

TEST(JobStream, LineFeedThatWouldPassPageBottomSendsPage) {
    JobRun r;  // raster page of 150 dpi on a 1.5-inch sheet: 225 rows
    JobBuilder job;
    job.esc("*t150R").esc("&l8.0C").rasterRow({0xFF});
    // Lines at 50, 100, 150, 200: the fourth would reach 250 > 225 and sends; a fifth is
    // the first line of the next page.
    for (int i = 0; i < 5; ++i)
        job.lineFeed();
    r.run(job);
    EXPECT_EQ(r.stretches(), 1);
    EXPECT_EQ(r.state.cursorY, 50.0);  // one more line after the page was sent
}

TEST(JobStream, RowWithMoreBytesThanRemainEndsInterpretation) {
    JobRun r;
    r.run(JobBuilder().esc("*t150R").esc("*b10W").bytes({0xFF, 0xFF, 0xFF}));
    EXPECT_EQ(r.state.rasterRow, 0);
    EXPECT_TRUE(r.calls().empty());
}

TEST(JobStream, RowAsFirstCommandStopsTheJob) {
    JobRun r;
    r.run(JobBuilder().rasterRow({0xFF}).esc("&k10.0H").text("x"));
    EXPECT_EQ(r.state.hmi, 0.0);  // nothing after the row was interpreted
}

TEST(JobStream, CompressionCarriesOverToNextJob) {
    JobRun r;
    r.run(JobBuilder().esc("*b1M"));
    // Method 1: the pair (1, 0xFF) is two black bytes.
    r.run(JobBuilder().esc("*t150R").rasterRow({1, 0xFF}).formFeed());
    EXPECT_EQ(r.state.compression, 1);
    EXPECT_EQ(r.sheets()[0]->blackCount(), 32 * 2);
}

TEST(JobStream, TestModeRunsOnlyTheTestPage) {
    JobRun r;
    r.testMode = TestPage::Bitmap;
    EXPECT_TRUE(r.run(minimalRasterJob()));
    EXPECT_EQ(r.testMode.load(), TestPage::None);
    ASSERT_EQ(r.stretches(), 1);
    EXPECT_NE(r.calls()[1].find("NOTSRCCOPY"), std::string::npos);
    EXPECT_EQ(r.state.compression, 0);  // the job's ESC*b0M... was never read
}

TEST(JobStream, UnknownTestModePrintsNothing) {
    JobRun r;
    r.testMode = static_cast<TestPage>(7);
    r.run(minimalRasterJob());
    EXPECT_EQ(r.testMode.load(), TestPage::None);
    EXPECT_TRUE(r.calls().empty());
}

TEST(JobStream, TerminationAbortsTheOpenDocument) {
    JobRun r;
    // The first page's document begins; then the window asks the worker to stop.
    r.printer.setStartDocHook([&](int) { r.terminated = true; });
    JobBuilder job;
    job.esc("*t150R").rasterRow({0xFF}).formFeed().rasterRow({0xFF}).formFeed();
    EXPECT_FALSE(r.run(job));
    EXPECT_EQ(r.calls(),
              (std::vector<std::string>{"begin \"Kalvister II - wydruk.prn\"",
                                        "stretch 0 0 300 450 150 225 SRCCOPY", "abort"}));
    EXPECT_TRUE(r.printer.aborted());
    EXPECT_TRUE(r.sheets().empty());
}

TEST(JobStream, TerminationBeforeRowStopsWithoutDocument) {
    JobRun r;
    r.terminated = true;
    EXPECT_FALSE(r.run(JobBuilder().esc("*t150R").rasterRow({0xFF}).formFeed()));
    EXPECT_TRUE(r.calls().empty());
    EXPECT_EQ(r.state.surface.raster.pageBits, nullptr);  // not even created
}

// Asked to stop while its first page prints, a job that then draws a glyph over and over stops
// at the next glyph, and one that draws nothing within kBytesBetweenChecks bytes: the text
// cursor, which moves on by hmi per byte, shows how far it went.
TEST(JobStream, TerminationStopsWithinBoundedWork) {
    for (auto [byte, bound] : {std::pair{'A', std::size_t{1}}, {'B', kBytesBetweenChecks}}) {
        SCOPED_TRACE(byte);
        JobRun r;
        r.printer.setStartDocHook([&](int) { r.terminated = true; });
        JobBuilder job = JobBuilder().fontHeader(40, 30).glyph('A', 0, 10, 8, 1, {0xFF});
        job.formFeed().bytes(std::vector<uint8_t>(3 * kBytesBetweenChecks, byte));
        EXPECT_FALSE(r.run(job));
        EXPECT_EQ(r.calls().back(), "abort");
        EXPECT_LE(r.state.cursorX, static_cast<double>(bound) * r.state.hmi);
    }
}

// Asked to stop as a page's document begins, the page is cut short and never ended (so never
// printed, in single mode either): a text page's noted glyphs are not composed, so not
// stretched; a raster page's stretch draws nothing (SimulatedPrinter.AStretchAskedToStop...).
TEST(JobStream, AStopRequestedWhileAPageIsSentLeavesItUnfinishedAndUnprinted) {
    for (const int single : {0, 1}) {
        for (const bool raster : {false, true}) {
            SCOPED_TRACE(std::to_string(single) + (raster ? " raster" : " text"));
            JobRun r;
            r.request.singleMode = single;
            r.printer.setStartDocHook([&](int) { r.terminated = true; });
            JobBuilder job;
            if (raster)
                job.esc("*t150R").rasterRow({0xFF});
            else
                job.fontHeader(40, 30).glyph('A', 0, 10, 8, 1, {0xFF}).text("A");
            EXPECT_FALSE(r.run(job.formFeed()));
            EXPECT_EQ(std::count(r.calls().begin(), r.calls().end(), "end"), 0);
            EXPECT_EQ(r.stretches(), raster ? 1 : 0);
            EXPECT_EQ(r.calls().back(), "abort");
        }
    }
}

TEST(JobStream, ExceptionReleasesSurfacesAndAbortsThenPassesOn) {
    JobRun r;
    int before = gdi::liveObjectCount();
    r.request.singleMode = 0;
    r.printer.setStartDocHook([](int n) {
        if (n == 1) throw PrinterError("Printer selected is not valid");
    });
    JobBuilder job = JobBuilder().fontHeader(40, 30).glyph('A', 0, 10, 8, 1, {0xFF});
    job.text("A").esc("*t150R").rasterRow({0xFF}).formFeed();  // document 1 ends here
    r.request.singleMode = 1;
    EXPECT_THROW(r.run(job.formFeed()), PrinterError);
    EXPECT_EQ(gdi::liveObjectCount(), before);
    EXPECT_FALSE(r.printer.printing());
}

}  // namespace
}  // namespace zelmo
