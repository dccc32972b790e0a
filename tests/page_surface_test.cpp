// Page surfaces: sizes, forms and orientation per engine, and release of every object.
#include <gtest/gtest.h>

#include "support/job_run.h"

namespace zelmo {
namespace {

// A 600-dpi printer's geometry.
void metrics600(DeviceMetrics& m, int horzRes, int vertRes, int physWidth, int physHeight) {
    m.dpiX = m.dpiY = 600;
    m.horzRes = horzRes;
    m.vertRes = vertRes;
    m.physWidth = physWidth;
    m.physHeight = physHeight;
}

struct SizeCase {
    const char* name;
    int32_t engine;
    int32_t rasterDpi;  // 0: a text page
    int horzRes, physWidth;
    int32_t width, height, rowBytes;
    int64_t pageBytes;
};

class PageSizes : public ::testing::TestWithParam<SizeCase> {};

TEST_P(PageSizes, TruncateTowardZero) {
    const SizeCase& c = GetParam();
    DeviceMetrics m;
    metrics600(m, c.horzRes, 6360, c.physWidth, 6600);
    PclState s;
    PrintRequest request;
    request.engine = c.engine;
    resetPageSurface(s, request);
    if (c.rasterDpi == 0) {
        createTextPage(s, m);
        EXPECT_EQ(s.surface.text.pageWidth, c.width);
        EXPECT_EQ(s.surface.text.pageHeight, c.height);
    } else {
        s.rasterDpi = c.rasterDpi;
        s.rasterMode = true;
        createRasterPage(s, m, request);
        EXPECT_EQ(s.surface.raster.pageWidth, c.width);
        EXPECT_EQ(s.surface.raster.pageHeight, c.height);
        EXPECT_EQ(s.surface.raster.rowBytes, c.rowBytes);
        EXPECT_EQ(s.surface.raster.pageBytes, c.pageBytes);
    }
    EXPECT_EQ(s.surface.pageHeight, c.height);
    releasePageSurfaces(s);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PageSizes,
    ::testing::Values(SizeCase{"Text", 0, 0, 4800, 5100, 2400, 3180, 0, 0},
                      SizeCase{"TextHalfTruncated", 0, 0, 4801, 5100, 2400, 3180, 0, 0},
                      SizeCase{"Raster75Ddb", 0, 75, 4800, 5100, 637, 825, 80, 66000},
                      SizeCase{"Raster75Dib", 1, 75, 4800, 5100, 637, 825, 80, 66000},
                      SizeCase{"Width100Ddb", 0, 600, 4800, 100, 100, 6600, 14, 92400},
                      SizeCase{"Width100Dib", 2, 600, 4800, 100, 100, 6600, 16, 105600}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(PageSurfaces, TextPageSetsMotionIndexesOnce) {
    test::JobRun r;
    r.run(JobBuilder().esc("&k2.0H").fontHeader(40, 33).fontHeader(10, 70).esc("*p0X"));
    EXPECT_DOUBLE_EQ(r.state.hmi, 33.0);
    EXPECT_DOUBLE_EQ(r.state.vmi, 50.0);
    EXPECT_EQ(r.state.fontMetrics.fontCellWidth, 70);
}

TEST(PageSurfaces, RasterResolutionZeroOrSecondMakesNoNewPage) {
    test::JobRun r;
    r.run(JobBuilder().esc("*t0R").rasterRow({0xFF}).text("x"));
    EXPECT_EQ(r.state.rasterRow, 0);  // the row found no page and ended the job
    r.run(JobBuilder().esc("*t150R").esc("*t300R").rasterRow({0xFF}).formFeed());
    EXPECT_EQ(r.calls().back(), "end");
    EXPECT_EQ(r.calls()[1], "stretch 0 0 300 450 150 225 SRCCOPY");  // still the 150-dpi page
}

struct FormCase {
    const char* name;
    int32_t previousEngine;
    int32_t engine;
    RasterForm form;
};

class RasterForms : public ::testing::TestWithParam<FormCase> {};

TEST_P(RasterForms, FollowTheEngine) {
    const FormCase& c = GetParam();
    PclState s;
    DeviceMetrics m;
    metrics600(m, 4800, 6360, 5100, 6600);
    PrintRequest request;
    request.engine = c.previousEngine;
    resetPageSurface(s, request);
    request.engine = c.engine;
    resetPageSurface(s, request);
    s.rasterDpi = 75;
    s.rasterMode = true;
    createRasterPage(s, m, request);
    EXPECT_EQ(s.surface.raster.form, c.form);
    // A text page in DIB form is bottom-up whatever the engine.
    s.rasterMode = false;
    createTextPage(s, m);
    composeTextPage(s);
    gdi::BitmapView text = gdi::viewSelectedBitmap(s.surface.text.pageDC.get());
    EXPECT_EQ(text.bottomUp, c.form != RasterForm::Raw);
    EXPECT_EQ(s.surface.raster.form, c.form);  // the text page did not replace it
    releasePageSurfaces(s);
}

INSTANTIATE_TEST_SUITE_P(Cases, RasterForms,
                         ::testing::Values(FormCase{"Default", 1, 0, RasterForm::Raw},
                                           FormCase{"Alternative", 0, 1, RasterForm::DibBottomUp},
                                           FormCase{"HP845c", 0, 2, RasterForm::DibTopDown},
                                           FormCase{"OutOfRangeKeepsDdb", 0, 7, RasterForm::Raw},
                                           FormCase{"OutOfRangeKeepsDib", 2, -1,
                                                    RasterForm::DibBottomUp}),
                         [](const auto& info) { return std::string(info.param.name); });

// Both pages in one job, in either order and either form: each keeps its own size and buffer,
// a form feed sends the page rasterMode selects, and everything is released at the end.
struct BothCase {
    const char* name;
    int32_t engine;
    bool textFirst;
};

class BothPages : public ::testing::TestWithParam<BothCase> {};

TEST_P(BothPages, KeepTheirOwnGeometry) {
    const BothCase& c = GetParam();
    test::JobRun r;
    r.request.engine = c.engine;
    int before = gdi::liveObjectCount();
    JobBuilder text = JobBuilder().fontHeader(50, 20).glyph('A', 0, 50, 8, 1, {0xFF}).text("A");
    JobBuilder raster = JobBuilder().esc("*t150R").esc("*p0x5Y").rasterRow({0xFF});
    JobBuilder job;
    // Text first: the raster page is sent first, then the text page. Raster first: the glyph
    // lands at the cursor the raster position left (row 5), the text page goes first, and the
    // raster page, never cleared in between, carries rows 5 and 0.
    if (c.textFirst)
        job.bytes(text.data()).bytes(raster.data()).formFeed().fontHeader(50, 20).text("A");
    else
        job.bytes(raster.data()).bytes(text.data()).formFeed().esc("*t150R").rasterRow({0xFF});
    EXPECT_TRUE(r.run(job.formFeed()));
    ASSERT_EQ(r.stretches(), 2);
    std::vector<const Sheet*> sheets = r.sheets();
    ASSERT_EQ(sheets.size(), 2u);
    const Sheet& rasterSheet = c.textFirst ? *sheets[0] : *sheets[1];
    const Sheet& textSheet = c.textFirst ? *sheets[1] : *sheets[0];
    // The text page is the printable area at 300 dpi: 300 x 450, one to one.
    int textRow = c.textFirst ? 0 : 5;
    EXPECT_EQ(test::blackIn(textSheet, 0, textRow, 8, textRow + 1), 8);
    EXPECT_EQ(textSheet.blackCount(), 8);
    // Raster rows at 150 dpi are 16 x 2 device pixels; a mirrored span lies one row lower.
    int shift = c.engine == 1 ? 1 : 0;
    EXPECT_EQ(test::blackIn(rasterSheet, 0, 10 + shift, 16, 12 + shift), 32);
    EXPECT_EQ(rasterSheet.blackCount(), c.textFirst ? 32 : 64);
    EXPECT_EQ(gdi::liveObjectCount(), before);
}

INSTANTIATE_TEST_SUITE_P(Cases, BothPages,
                         ::testing::Values(BothCase{"DdbTextFirst", 0, true},
                                           BothCase{"DdbRasterFirst", 0, false},
                                           BothCase{"DibTextFirst", 1, true},
                                           BothCase{"DibRasterFirst", 1, false},
                                           BothCase{"TopDownTextFirst", 2, true}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(PageSurfaces, EverythingReleasedAfterJobs) {
    test::JobRun r;
    int before = gdi::liveObjectCount();
    JobBuilder job;
    job.fontHeader(50, 20);
    for (int code = 'A'; code <= 'Z'; ++code)
        job.glyph(code, 0, 40, 16, 16, std::vector<uint8_t>(32, 0x5A));
    job.text("HELLO WORLD").formFeed().esc("*t300R").rasterRow({1, 2, 3}).formFeed();
    for (int engine : {0, 1, 2, 9}) {
        r.request.engine = engine;
        r.run(job);
        EXPECT_EQ(gdi::liveObjectCount(), before) << "engine " << engine;
    }
}

// Pages and jobs in a row on one state: a page carries nothing of the page before it, nor a
// job's page anything of the job before, neither what it sent nor glyphs it never sent.
TEST(PageSurfaces, EachPageStartsBlank) {
    test::JobRun r;
    JobBuilder first;
    first.fontHeader(50, 20).glyph('A', 0, 50, 8, 1, {0xFF}).glyph('B', 0, 50, 8, 1, {0x0F});
    first.text("A").formFeed().esc("*p100X").text("B").formFeed().esc("*p40X").text("A");
    JobBuilder second;
    second.fontHeader(50, 20).glyph('B', 0, 50, 8, 1, {0x0F}).esc("*p200X").text("B").formFeed();
    ASSERT_TRUE(r.run(first));
    ASSERT_TRUE(r.run(second));
    std::vector<const Sheet*> sheets = r.sheets();
    ASSERT_EQ(sheets.size(), 3u);
    for (size_t n = 1; n < 3; ++n) {
        EXPECT_EQ(test::blackIn(*sheets[n], 100 * n + 4, 0, 100 * n + 8, 1), 4) << n;
        EXPECT_EQ(sheets[n]->blackCount(), 4) << n;
    }
}

}  // namespace
}  // namespace zelmo

namespace zelmo {
namespace {

struct MetricsCase {
    const char* name;
    int width, height, dpi, left, right;
    bool available;
};

class DeviceMetricsQuery : public ::testing::TestWithParam<MetricsCase> {};

// A device that reports nothing usable is no printer: page sizes would divide by zero.
TEST_P(DeviceMetricsQuery, RefusesZeroResolutionOrSize) {
    const MetricsCase& c = GetParam();
    SimulatedPrinterConfig config;
    config.width = c.width;
    config.height = c.height;
    config.dpi = c.dpi;
    config.left = c.left;
    config.right = c.right;
    SimulatedPrinter printer(config);
    DeviceMetrics m;
    EXPECT_EQ(queryDeviceMetrics(m, printer), c.available);
    EXPECT_EQ(m.metricsValid.load(), c.available);
    if (c.available) {
        EXPECT_EQ(m.horzRes, c.width - c.left - c.right);
        EXPECT_EQ(m.dpiY, c.dpi);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DeviceMetricsQuery,
    ::testing::Values(MetricsCase{"Usable", 2480, 3508, 300, 10, 20, true},
                      MetricsCase{"ZeroResolution", 2480, 3508, 0, 0, 0, false},
                      MetricsCase{"ZeroWidth", 0, 3508, 300, 0, 0, false},
                      MetricsCase{"NoPrintableWidth", 100, 3508, 300, 50, 50, false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(DeviceMetricsQuery, NoPrinterThenPrinter) {
    SimulatedPrinter printer;
    printer.setAvailable(false);
    DeviceMetrics m;
    EXPECT_FALSE(queryDeviceMetrics(m, printer));
    printer.setAvailable(true);
    EXPECT_TRUE(queryDeviceMetrics(m, printer));
    printer.setAvailable(false);
    EXPECT_TRUE(queryDeviceMetrics(m, printer));  // read once, kept for the process's life
}

}  // namespace
}  // namespace zelmo
