// Damaged and malicious jobs: each one finishes, prints what the rules say and releases every
// drawing object. What is printed is checked, not only that nothing crashed.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "bench/discard_printer.h"
#include "platform/errors.h"
#include "support/job_run.h"

namespace zelmo {
namespace {

using test::JobRun;

// Runs a job on a fresh simulated printer and checks what every hostile job must leave: no
// drawing object alive and no document open.
struct HostileRun : JobRun {
    int objectsBefore = gdi::liveObjectCount();

    explicit HostileRun(SimulatedPrinterConfig config = test::smallSheet()) : JobRun(config) {}
    // Runs the job held in `job` without copying it.
    bool runHeld() { return runJob(state, env()); }
    void expectReleased() const {
        EXPECT_EQ(gdi::liveObjectCount(), objectsBefore);
        EXPECT_FALSE(printer.printing());
    }
    std::vector<long> blackPerSheet() const {
        std::vector<long> out;
        for (const Sheet* s : sheets())
            out.push_back(s->blackCount());
        return out;
    }
};

// A job that touches every kind of command, and where each of its form feeds lies.
struct MarkedJob {
    JobBuilder job;
    std::vector<size_t> formFeedEnds;  // prefix lengths that include each form feed

    void formFeed() {
        job.formFeed();
        formFeedEnds.push_back(job.data().size());
    }
};

MarkedJob everyKindOfCommand() {
    MarkedJob m;
    JobBuilder& j = m.job;
    j.esc("E").esc("&l2X").fontHeader(20, 12);
    j.glyph('A', 0, 16, 10, 16, std::vector<uint8_t>(32, 0xC3));
    j.glyph('B', 1, 10, 17, 10, std::vector<uint8_t>(30, 0x5A));
    j.esc("&l8.0C").esc("&k6.0H").esc("*p30x40Y").text("ABAB").carriageReturn().lineFeed();
    j.text("BA");
    m.formFeed();
    j.esc("*t150R").esc("*b0M").esc("*p5x3Y").rasterRow({0xFF, 0x0C, 0x1B, 0x81});
    j.esc("*p13X").rasterRow({0xF0, 0x0F});
    j.esc("*b1M").rasterRow({3, 0xAA, 0, 0x0C}).esc("*b2M").rasterRow({0xFF});
    m.formFeed();
    j.fontHeader(25, 12).esc("*p60x100Y").text("BAB");
    m.formFeed();
    return m;
}

// Truncation at every byte: a prefix prints exactly the pages whose form feed it holds, each as
// the whole job prints it, and ends their document.
TEST(HostileInput, EveryPrefixPrintsThePagesItHolds) {
    MarkedJob marked = everyKindOfCommand();
    const std::vector<uint8_t>& whole = marked.job.data();
    HostileRun full;
    ASSERT_TRUE(full.run(whole));
    std::vector<const Sheet*> fullSheets = full.sheets();
    ASSERT_EQ(fullSheets.size(), 2 * marked.formFeedEnds.size());  // two copies of each page
    for (const Sheet* s : fullSheets)
        EXPECT_GT(s->blackCount(), 0);

    for (size_t n = 0; n < whole.size(); ++n) {
        SCOPED_TRACE("prefix of " + std::to_string(n) + " bytes");
        HostileRun r;
        EXPECT_TRUE(r.run(std::vector<uint8_t>(whole.begin(), whole.begin() + n)));
        size_t pages = 0;
        while (pages < marked.formFeedEnds.size() && marked.formFeedEnds[pages] <= n)
            ++pages;
        std::vector<const Sheet*> sheets = r.sheets();
        ASSERT_EQ(sheets.size(), 2 * pages);
        for (size_t i = 0; i < sheets.size(); ++i)
            EXPECT_EQ(sheets[i]->bits, fullSheets[i]->bits) << "sheet " << i;
        EXPECT_EQ(r.printer.documentsBegun(), pages > 0 ? 1 : 0);
        r.expectReleased();
    }
}

struct CountCase {
    const char* name;
    JobBuilder job;
    std::vector<long> black;  // black pixels of each printed sheet
};

// One raster page at 150 dpi with a byte of ink: 16 x 2 pixels on the 300-dpi sheet.
JobBuilder onePage() {
    return JobBuilder().esc("*t150R").esc("*b0M").rasterRow({0xFF}).formFeed();
}

class HostileCounts : public ::testing::TestWithParam<CountCase> {};

// Counts of 2^31-1 and of 11 or more digits never move the read position backwards: a data
// command that announces more than remains ends the job, the pages before it stay printed.
TEST_P(HostileCounts, EndTheJobOrActAsTheRulesSay) {
    HostileRun r;
    EXPECT_TRUE(r.run(GetParam().job));
    EXPECT_EQ(r.blackPerSheet(), GetParam().black);
    r.expectReleased();
}

INSTANTIATE_TEST_SUITE_P(
    Cases, HostileCounts,
    ::testing::Values(
        CountCase{
            "RowOfMaxIntBytes", onePage().esc("*b2147483647W").text("0123456789").formFeed(), {32}},
        CountCase{"RowOfElevenDigits",
                  onePage().esc("*b99999999999W").text("0123456789").formFeed(),
                  {32}},
        CountCase{"TwentyDigitsAreNoCount",
                  onePage().esc("*b" + std::string(20, '9') + "W").formFeed(),
                  {32, 0}},
        CountCase{"DownloadOfMaxIntBytes",
                  onePage().esc("*c65E").esc("(s2147483647W").text("AAAA").formFeed(),
                  {32}},
        CountCase{
            "HeaderOfElevenDigits", onePage().esc(")s12345678901W").text("AAAA").formFeed(), {32}},
        CountCase{"PositionsOfMaxInt",
                  onePage()
                      .esc("*p2147483647x2147483647Y")
                      .rasterRow({0xFF})
                      .rasterRow({0xFF})
                      .formFeed(),
                  {32, 0}},
        CountCase{"CopiesOfElevenDigitsThenZero",
                  JobBuilder().esc("&l99999999999X").esc("&l0X").bytes(onePage().data()),
                  {32}}),
    [](const auto& info) { return std::string(info.param.name); });

// 100 MB of ESC bytes: an ESC followed by ESC skips that second one, so the run is taken two
// bytes at a time; at the end of a run of even length the last pair swallows the "*" after it,
// and the sequences after that are read as usual.
TEST(HostileInput, HundredMegabytesOfEscapesStayInStep) {
    HostileRun r;
    std::vector<uint8_t> prefix = onePage().data();
    JobBuilder tail = JobBuilder().text("*b1W").byte(0xFF).formFeed().rasterRow({0xFF}).formFeed();
    r.job.reserve(prefix.size() + (100u << 20) + tail.data().size());
    r.job = prefix;
    r.job.resize(prefix.size() + (100u << 20), 0x1B);
    r.job.insert(r.job.end(), tail.data().begin(), tail.data().end());
    r.request.judgeFirst = false;  // junk as a whole: the interpreter's own steps are under test
    EXPECT_TRUE(r.runHeld());
    EXPECT_EQ(r.blackPerSheet(), (std::vector<long>{32, 0, 32}));
    r.expectReleased();
}

// A glyph of 8 x 1 pixels, 1 = ink.
JobBuilder& bar(JobBuilder& j, int code, uint8_t row) {
    return j.glyph(code, 0, 0, 8, 1, {row});
}

// 300 downloads: the first 256 are kept, the rest are skipped whole (their data, which holds a
// form feed and an ESC, is never read as commands), and the first glyph under a code is drawn.
TEST(HostileInput, ThreeHundredDownloadsKeepTheFirst256) {
    HostileRun r;
    JobBuilder j;
    j.fontHeader(20, 12).glyph('A', 0, 0, 8, 2, {0xFF, 0xFF});
    for (int i = 1; i < 256; ++i)
        bar(j, 'A', 0x18);
    for (int i = 256; i < 300; ++i)
        j.glyph('B', 0, 0, 16, 1, {0x0C, 0x1B});
    j.esc("*p10x10Y").text("AB").formFeed();
    EXPECT_TRUE(r.run(j));
    EXPECT_EQ(r.state.glyphTable.glyphCount, 256);
    EXPECT_EQ(r.blackPerSheet(), (std::vector<long>{16}));
    r.expectReleased();
}

struct GlyphCase {
    const char* name;
    int16_t width;
    int16_t height;
    std::vector<uint8_t> rows;
    long black;
};

class HostileGlyphs : public ::testing::TestWithParam<GlyphCase> {};

// Sizes of 0, negative or 32767: nothing is drawn where there is no image, a huge glyph draws
// the rows the job holds (missing rows are blank) clipped to the page, an absurd one nothing.
TEST_P(HostileGlyphs, DrawWhatTheJobHolds) {
    const GlyphCase& c = GetParam();
    HostileRun r;
    JobBuilder j;
    j.fontHeader(20, 12).glyph('A', 0, 0, c.width, c.height, c.rows);
    j.esc("*p10x10Y").text("A").formFeed();
    EXPECT_TRUE(r.run(j));
    EXPECT_EQ(r.blackPerSheet(), (std::vector<long>{c.black}));
    r.expectReleased();
}

INSTANTIATE_TEST_SUITE_P(
    Cases, HostileGlyphs,
    ::testing::Values(GlyphCase{"Normal", 17, 2, {0xFF, 0xFF, 0x80, 0xFF, 0xFF, 0x80}, 34},
                      GlyphCase{"ZeroWidth", 0, 10, {0xFF, 0xFF}, 0},
                      GlyphCase{"ZeroHeight", 10, 0, {0xFF, 0xFF}, 0},
                      GlyphCase{"NegativeWidth", -1, 10, {0xFF, 0xFF}, 0},
                      GlyphCase{"NegativeHeight", 10, -5, {0xFF, 0xFF}, 0},
                      GlyphCase{"MostNegative", -32768, -32768, {0xFF}, 0},
                      GlyphCase{"WidestRowShort", 32767, 1, std::vector<uint8_t>(8, 0xFF), 64},
                      GlyphCase{"TallestColumnShort", 1, 32767, std::vector<uint8_t>(100, 0x80),
                                100},
                      GlyphCase{"LargestBothWays", 32767, 32767, {0xFF}, 0}),
    [](const auto& info) { return std::string(info.param.name); });

struct PositionCase {
    const char* name;
    int method;
    int64_t x;
    int64_t y;
    std::vector<uint8_t> data;
    long black;
};

class HostilePositions : public ::testing::TestWithParam<PositionCase> {};

// Raster positions at and beyond the edges of a page 790 pixels wide (rows of 100 bytes, the
// last 10 pixels never shown) and 100 rows high: clipped to the row's bytes, never written
// outside the page.
TEST_P(HostilePositions, ClipToTheRowAndThePage) {
    const PositionCase& c = GetParam();
    SimulatedPrinterConfig sheet;
    sheet.width = 790;
    sheet.height = 100;
    sheet.dpi = 300;
    HostileRun r(sheet);
    JobBuilder j;
    j.esc("*t300R").esc("*b" + std::to_string(c.method) + "M");
    j.esc("*p" + std::to_string(c.x) + "x" + std::to_string(c.y) + "Y").rasterRow(c.data);
    EXPECT_TRUE(r.run(j.formFeed()));
    EXPECT_EQ(r.blackPerSheet(), (std::vector<long>{c.black}));
    r.expectReleased();
}

INSTANTIATE_TEST_SUITE_P(
    Cases, HostilePositions,
    ::testing::Values(PositionCase{"LastWholeByte", 0, 784, 0, {0xFF}, 6},
                      PositionCase{"ShiftedIntoLastByte", 0, 788, 0, {0xFF}, 2},
                      PositionCase{"ShiftedStartInLastByte", 0, 796, 0, {0xFF}, 0},
                      PositionCase{"PastTheRowBytes", 0, 800, 0, {0xFF}, 0},
                      PositionCase{"MaxIntColumn", 0, 2147483647, 0, {0xFF}, 0},
                      PositionCase{"SingleInLastByte", 1, 792, 0, {0, 0xFF}, 0},
                      PositionCase{"RunEndingAtRowEnd", 1, 784, 0, {1, 0xFF}, 6},
                      PositionCase{"RunPastRowEnd", 1, 792, 0, {1, 0xFF}, 0},
                      PositionCase{"LastRow", 0, 0, 99, {0xFF}, 8},
                      PositionCase{"RowAtPageHeight", 0, 0, 100, {0xFF}, 0},
                      PositionCase{"MaxIntRow", 1, 0, 2147483647, {255, 0xFF}, 0}),
    [](const auto& info) { return std::string(info.param.name); });

// The worker's view of a job on a printer that discards what it is sent.
struct DiscardRun {
    bench::DiscardPrinter printer{test::smallSheet()};
    DeviceMetrics metrics;
    PrintRequest request;
    std::atomic<TestPage> testMode{TestPage::None};
    std::atomic<bool> terminated{false};
    PclState state;
    std::vector<uint8_t> job;
    int objectsBefore = gdi::liveObjectCount();

    bool run(const JobBuilder& b) {
        queryDeviceMetrics(metrics, printer);
        job = b.data();
        return runJob(
            state, JobEnv{printer, metrics, request, testMode, terminated, job.data(), job.size()});
    }
};

// A raster page at 75 dpi, sent `copies` times by the interpreter itself.
JobBuilder pageWithCopies(const std::string& copies) {
    return JobBuilder().esc("&l" + copies + "X").esc("*t75R").rasterRow({0xFF}).formFeed();
}

struct LimitCase {
    const char* name;
    JobBuilder job;
    int pages;     // printer pages sent
    bool stopped;  // past the job's sheet limit: JobError, the open document aborted
};

class HostileLimits : public ::testing::TestWithParam<LimitCase> {};

// Copies are clamped to 999 and a job sends at most kMaxSheetsPerJob printer pages; the job that
// wants more is given up with its document aborted (in single mode the documents already ended
// stay printed).
TEST_P(HostileLimits, BoundTheSheetsOfAJob) {
    const LimitCase& c = GetParam();
    for (int single : {0, 1}) {
        SCOPED_TRACE(single ? "single mode" : "one document");
        DiscardRun r;
        r.request.singleMode = single;
        if (c.stopped) {
            try {
                r.run(c.job);
                ADD_FAILURE() << "the job ran to its end";
            } catch (const JobError& error) {
                EXPECT_EQ(error.reason(), JobError::Reason::TooManySheets);
            }
        } else {
            EXPECT_TRUE(r.run(c.job));
        }
        EXPECT_EQ(r.printer.pages(), c.pages);
        EXPECT_EQ(r.printer.documents(), single ? c.pages : 1);
        EXPECT_EQ(r.printer.ended(), single ? c.pages : c.stopped ? 0 : 1);
        EXPECT_EQ(r.printer.abortedDocuments(), !single && c.stopped ? 1 : 0);
        EXPECT_FALSE(r.printer.printing());
        EXPECT_EQ(gdi::liveObjectCount(), r.objectsBefore);
    }
}

// A text page with nothing on it, then form feeds.
JobBuilder formFeeds(int count) {
    JobBuilder job;
    job.fontHeader(20, 12);
    for (int i = 0; i < count; ++i)
        job.formFeed();
    return job;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, HostileLimits,
    ::testing::Values(
        LimitCase{"TenThousandCopiesPrint999", pageWithCopies("10000"), 999, false},
        LimitCase{"MostCopiesPrint999", pageWithCopies("2147483647"), 999, false},
        LimitCase{"ElevenPagesOf999Copies", JobBuilder().esc("&l999X").bytes(formFeeds(11).data()),
                  kMaxSheetsPerJob, true},
        LimitCase{"FormFeedsUpToTheLimit", formFeeds(kMaxSheetsPerJob), kMaxSheetsPerJob, false},
        LimitCase{"FormFeedsPastTheLimit", formFeeds(kMaxSheetsPerJob + 1), kMaxSheetsPerJob,
                  true}),
    [](const auto& info) { return std::string(info.param.name); });

struct RefusalCase {
    const char* name;
    JobBuilder job;
    int documents;  // begun, and aborted by the refusal
};

class HostileRefusals : public ::testing::TestWithParam<RefusalCase> {};

// A raster page past the limit is not printed as if it were blank: the job fails, its document
// is aborted, and what was drawn is released.
TEST_P(HostileRefusals, PagePastTheLimitFailsTheJob) {
    SimulatedPrinterConfig a4;  // A4 at 600 dpi: 8 times its resolution is over 256 MiB
    a4.width = 4960;
    a4.height = 7016;
    a4.dpi = 600;
    HostileRun r(a4);
    try {
        r.run(GetParam().job);
        ADD_FAILURE() << "the job ran to its end";
    } catch (const JobError& error) {
        EXPECT_EQ(error.reason(), JobError::Reason::PageTooLarge);
    }
    EXPECT_EQ(r.printer.documentsBegun(), GetParam().documents);
    EXPECT_TRUE(r.sheets().empty());
    r.expectReleased();
}

INSTANTIATE_TEST_SUITE_P(
    Cases, HostileRefusals,
    ::testing::Values(RefusalCase{"At4800Dpi", JobBuilder().esc("*t4800R").formFeed(), 0},
                      RefusalCase{"ResolutionOfMaxInt",
                                  JobBuilder().esc("*t2147483647R").rasterRow({0xFF}).formFeed(),
                                  0},
                      RefusalCase{"AfterAPagePrinted",
                                  formFeeds(1).esc("*t4800R").rasterRow({0xFF}).formFeed(), 1}),
    [](const auto& info) { return std::string(info.param.name); });

// A job asking for 2^31-1 copies stops sending once the worker is asked to terminate, between
// two copies; with single mode off its document is aborted, in single mode the copies already
// ended stay printed. Later form feeds send nothing.
TEST(HostileInput, TerminationStopsEndlessCopies) {
    for (int single : {0, 1}) {
        SCOPED_TRACE(single ? "single mode" : "one document");
        DiscardRun r;
        r.request.singleMode = single;
        r.printer.setPageHook([&](int pages) {
            if (pages == 5) r.terminated.store(true);
        });
        JobBuilder job = pageWithCopies("2147483647").rasterRow({0xFF}).formFeed();
        EXPECT_FALSE(r.run(job));
        // The fifth copy, begun as the stop came, is cut short: never ended, so never printed.
        EXPECT_EQ(r.printer.pages(), 5);
        EXPECT_EQ(r.state.pagesPrinted, 4);
        EXPECT_EQ(r.printer.documents(), single ? 5 : 1);
        EXPECT_EQ(r.printer.ended(), single ? 4 : 0);
        EXPECT_EQ(r.printer.abortedDocuments(), 1);
        EXPECT_FALSE(r.printer.printing());
        EXPECT_EQ(gdi::liveObjectCount(), r.objectsBefore);
    }
}

}  // namespace
}  // namespace zelmo
