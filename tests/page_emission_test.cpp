// Page emission: documents, pages and copies, single mode, offsets and the engines' placement.
#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "support/job_run.h"

namespace zelmo {
namespace {

using test::JobRun;
const std::string kBegin = "begin \"Kalvister II - wydruk.prn\"";

// A raster page at 150 dpi with one black byte in its first row.
JobBuilder rasterPage() {
    return JobBuilder().esc("*t150R").rasterRow({0xFF}).formFeed();
}

int count(const std::vector<std::string>& calls, const std::string& prefix) {
    int n = 0;
    for (const std::string& c : calls)
        n += c.rfind(prefix, 0) == 0;
    return n;
}

struct DocCase {
    const char* name;
    bool single;
    bool copiesCapable;
    JobBuilder job;
    int documents;  // begun
    int pages;      // stretches sent
    int sheets;     // sheets that came out
    int newPages;   // "page" calls
};

class Documents : public ::testing::TestWithParam<DocCase> {};

TEST_P(Documents, FollowCopiesAndSingleMode) {
    const DocCase& c = GetParam();
    SimulatedPrinterConfig config = test::smallSheet();
    config.copiesCapable = c.copiesCapable;
    JobRun r(config);
    r.request.singleMode = c.single;
    EXPECT_TRUE(r.run(c.job));
    EXPECT_EQ(count(r.calls(), "begin"), c.documents);
    EXPECT_EQ(count(r.calls(), "end"), c.documents);
    EXPECT_EQ(r.stretches(), c.pages);
    EXPECT_EQ(count(r.calls(), "page"), c.newPages);
    EXPECT_EQ(static_cast<int>(r.sheets().size()), c.sheets);
    EXPECT_FALSE(r.printer.printing());
}

JobBuilder twoPages(const std::string& copies) {
    JobBuilder job;
    if (!copies.empty()) job.esc("&l" + copies + "X");
    job.bytes(rasterPage().data()).esc("*p0x1Y").rasterRow({0x0F}).formFeed();
    return job;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Documents,
    ::testing::Values(
        DocCase{"TwoPagesThreeCopies", false, false, twoPages("3"), 1, 6, 6, 5},
        DocCase{"SingleModeDocumentPerCopy", true, false, twoPages("3"), 6, 6, 6, 0},
        DocCase{"NoFormFeedNoDocument", false, false, JobBuilder().esc("*t150R").rasterRow({1}), 0,
                0, 0, 0},
        DocCase{"ZeroCopiesPrintOnce", false, false, twoPages("0"), 1, 2, 2, 1},
        DocCase{"CopiesAfterFirstPageIgnored", false, false,
                JobBuilder().bytes(rasterPage().data()).esc("&l3X").bytes(rasterPage().data()), 1,
                2, 2, 1},
        DocCase{"CopiesAfterFirstPageInSingleMode", true, false,
                JobBuilder().bytes(rasterPage().data()).esc("&l3X").bytes(rasterPage().data()), 4,
                4, 4, 0},
        DocCase{"PrinterMakesTheCopies", false, true, twoPages("2"), 1, 2, 4, 1}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(PageEmission, CopiesOnThePrinterOutliveTheJob) {
    SimulatedPrinterConfig config = test::smallSheet();
    config.copiesCapable = true;
    JobRun r(config);
    r.run(JobBuilder().esc("&l2X").bytes(rasterPage().data()));
    EXPECT_EQ(r.state.copies, 1);
    EXPECT_EQ(r.calls().front(), "copies 2");
    r.run(rasterPage());  // no copies command: the printer still makes two
    EXPECT_EQ(r.sheets().size(), 4u);
}

// A printer that makes the copies gets the count clamped like the interpreter's own, never
// cut to 16 bits (70000 would become 4464) nor zero.
TEST(PageEmission, PrinterCopiesStayInRange) {
    for (auto [asked, told] : {std::pair{"70000", "copies 999"},
                               {"65537", "copies 999"},
                               {"0", "copies 1"},
                               {"999", "copies 999"}}) {
        SCOPED_TRACE(asked);
        SimulatedPrinterConfig config = test::smallSheet();
        config.copiesCapable = true;
        JobRun r(config);
        r.run(JobBuilder().esc(std::string("&l") + asked + "X"));
        EXPECT_EQ(r.calls().front(), told);
    }
}

TEST(PageEmission, UncollatedOrder) {
    JobRun r;
    r.run(twoPages("2"));
    std::vector<const Sheet*> sheets = r.sheets();
    ASSERT_EQ(sheets.size(), 4u);
    // Page one (eight pixels in raster row 0) twice, then page two (four in row 1) twice.
    EXPECT_EQ(sheets[0]->blackCount(), 32);
    EXPECT_EQ(sheets[1]->blackCount(), 32);
    EXPECT_EQ(sheets[2]->blackCount(), 16);
    EXPECT_EQ(sheets[3]->blackCount(), 16);
}

struct OffsetCase {
    const char* name;
    int dpi;
    int32_t offsetX;
    int x;
};

class Offsets : public ::testing::TestWithParam<OffsetCase> {};

TEST_P(Offsets, RoundHalfToEven) {
    const OffsetCase& c = GetParam();
    SimulatedPrinterConfig config = test::smallSheet();
    config.dpi = c.dpi;
    JobRun r(config);
    r.request.offsetX = c.offsetX;
    r.request.offsetY = c.offsetX;
    r.run(JobBuilder().fontHeader(40, 20).formFeed());
    ASSERT_EQ(r.stretches(), 1);
    std::string expected = "stretch " + std::to_string(c.x) + " " + std::to_string(c.x) + " ";
    EXPECT_EQ(r.calls()[1].substr(0, expected.size()), expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, Offsets,
                         ::testing::Values(OffsetCase{"Inch", 600, 254, 600},
                                           OffsetCase{"Negative", 600, -100, -236},
                                           OffsetCase{"HalfDown", 203, 127, 102},
                                           OffsetCase{"HalfUp", 203, 381, 304},
                                           OffsetCase{"Zero", 300, 0, 0}),
                         [](const auto& info) { return std::string(info.param.name); });

struct PlacementCase {
    const char* name;
    int32_t engine;
    std::string stretch;
    int shift;  // rows the image lies lower than its sheet position
};

class RasterPlacement : public ::testing::TestWithParam<PlacementCase> {};

TEST_P(RasterPlacement, EnginesPutTheSheetImageUpright) {
    const PlacementCase& c = GetParam();
    SimulatedPrinterConfig config = test::smallSheet();
    config.top = 50;
    config.bottom = 10;
    JobRun r(config);
    r.request.engine = c.engine;
    // Raster row 0 lies above the printable area; row 100 at dot 64 is inside it.
    JobBuilder job =
        JobBuilder().esc("*t150R").rasterRow({0xFF}).esc("*p64x100Y").rasterRow({0xFF});
    r.run(job.formFeed());
    ASSERT_EQ(r.stretches(), 1);
    EXPECT_EQ(r.calls()[1], c.stretch);
    const Sheet& sheet = *r.sheets()[0];
    EXPECT_EQ(test::blackIn(sheet, 128, 200 + c.shift, 144, 202 + c.shift), 32);
    EXPECT_EQ(sheet.blackCount(), 32);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RasterPlacement,
    ::testing::Values(PlacementCase{"Default", 0, "stretch 0 -50 300 450 150 225 SRCCOPY", 0},
                      PlacementCase{"Alternative", 1, "stretch 0 400 300 -450 150 225 SRCCOPY", 1},
                      PlacementCase{"HP845c", 2, "stretch 0 -50 300 450 150 225 SRCCOPY", 0}),
    [](const auto& info) { return std::string(info.param.name); });

// The same page under each engine, on a sheet with no margins: engines 0 and 2 give the same
// upright sheet, engine 1 the same one device row lower (GDI's span for a negative extent).
TEST(PageEmission, EnginesAgreeOnTheSheet) {
    JobBuilder job;
    job.esc("*t150R");
    for (int row = 0; row < 225; row += 7)
        job.esc("*p" + std::to_string(row % 100) + "x" + std::to_string(row) + "Y")
            .rasterRow({0xF0, 0x3C});
    job.formFeed();
    std::vector<Sheet> sheets;
    for (int engine : {0, 1, 2}) {
        JobRun r;
        r.request.engine = engine;
        r.run(job);
        ASSERT_EQ(r.sheets().size(), 1u);
        sheets.push_back(*r.sheets()[0]);
    }
    EXPECT_EQ(sheets[0].bits, sheets[2].bits);
    ASSERT_GT(sheets[0].blackCount(), 0);
    const int stride = sheets[0].stride;
    // Engine 1: row y of engine 0 is row y + 1; the last row of the image falls off the sheet.
    std::vector<uint8_t> shifted(sheets[0].bits.size(), 0);
    std::copy(sheets[0].bits.begin(), sheets[0].bits.end() - stride, shifted.begin() + stride);
    EXPECT_EQ(sheets[1].bits, shifted);
}

TEST(PageEmission, RasterModeWithoutRasterPageSendsNothing) {
    JobRun r;
    r.run(JobBuilder().esc("*t150R"));  // leaves rasterMode set for the next job
    r.run(JobBuilder().formFeed().formFeed());
    EXPECT_TRUE(r.calls().empty());
    EXPECT_EQ(r.state.pagesPrinted, 0);
}

TEST(PageEmission, EngineOutOfRangeSendsThePageAsItIsHeld) {
    JobRun r;
    r.request.engine = 1;
    r.run(JobBuilder());
    r.request.engine = 5;  // keeps the DIB form: sent as the alternative engine sends it
    r.run(rasterPage());
    ASSERT_EQ(r.stretches(), 1);
    EXPECT_EQ(r.calls()[1], "stretch 0 450 300 -450 150 225 SRCCOPY");
    EXPECT_EQ(r.sheets()[0]->blackCount(), 32);
}

TEST(PageEmission, TextPageStretchedOverPrintableArea) {
    SimulatedPrinterConfig config = test::smallSheet();
    config.dpi = 600;
    config.width = 600;
    config.height = 900;
    config.left = 20;
    config.top = 30;
    config.right = 40;
    config.bottom = 50;
    JobRun r(config);
    r.run(JobBuilder().fontHeader(50, 20).glyph('A', 0, 50, 1, 1, {0x80}).text("A").formFeed());
    // The text page is the printable area (540 x 820 device pixels) at 300 dpi: 270 x 410.
    EXPECT_EQ(r.calls()[1], "stretch 0 0 540 820 270 410 SRCCOPY");
    const Sheet& sheet = *r.sheets()[0];
    EXPECT_EQ(sheet.blackCount(), 4);
    EXPECT_EQ(test::blackIn(sheet, 20, 30, 22, 32), 4);
}

}  // namespace
}  // namespace zelmo
