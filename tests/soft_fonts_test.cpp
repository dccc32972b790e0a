// Soft fonts: header and descriptor fields, the glyph table, glyph bitmaps and placement.
#include <gtest/gtest.h>

#include "support/job_run.h"

namespace zelmo {
namespace {

using test::JobRun;

// A font header block of the given bytes (the command reads offsets 6..9).
JobBuilder headerBlock(const std::vector<uint8_t>& block) {
    JobBuilder b;
    b.esc(")s" + std::to_string(block.size()) + "W").bytes(block);
    return b;
}

TEST(SoftFonts, HeaderFieldsAreBigEndianSigned) {
    JobRun r;
    r.run(headerBlock({0, 64, 0, 0, 0, 0, 0x00, 0x32, 0xFF, 0xFE, 0, 50}));
    EXPECT_EQ(r.state.fontMetrics.fontBaseline, 50);
    EXPECT_EQ(r.state.fontMetrics.fontCellWidth, -2);
}

TEST(SoftFonts, ShortHeaderLeavesMetricsUnchanged) {
    JobRun r;
    JobBuilder job = JobBuilder().fontHeader(40, 30);
    job.bytes(headerBlock({0, 0, 0, 0, 0, 0, 0x00, 0x99, 0x00}).data());
    r.run(job);
    EXPECT_EQ(r.state.fontMetrics.fontBaseline, 40);
    EXPECT_EQ(r.state.fontMetrics.fontCellWidth, 30);
}

TEST(SoftFonts, DescriptorFields) {
    JobRun r;
    r.run(JobBuilder().esc("*c300E").esc("(s16W").bytes(
        {4, 0, 14, 1, 0, 0, 0xFF, 0xFE, 0x00, 0x28, 0x00, 0xC8, 0x00, 0x03, 0, 0}));
    const GlyphTable& t = r.state.glyphTable;
    ASSERT_EQ(t.glyphCount, 1);
    EXPECT_EQ(t.entries[0].code, 44);  // 300 modulo 256
    EXPECT_EQ(t.entries[0].leftOffset, -2);
    EXPECT_EQ(t.entries[0].topOffset, 40);
    EXPECT_EQ(t.entries[0].width, 200);
    EXPECT_EQ(t.entries[0].height, 3);
}

TEST(SoftFonts, TableHoldsAtMost256AndStaysInStep) {
    JobRun r;
    JobBuilder job;
    for (int i = 0; i < 260; ++i)
        job.glyph(i % 256, 0, 0, 8, 1, {0xFF});
    job.esc("&k12.0H").text("ab");
    r.run(job);
    EXPECT_EQ(r.state.glyphTable.glyphCount, 256);
    EXPECT_DOUBLE_EQ(r.state.cursorX, 60.0);  // the dropped blocks were still skipped
}

// A page with one header (baseline 50) and the given glyphs, printed once.
struct Page {
    JobRun run;
    const Sheet* sheet = nullptr;
    explicit Page(JobBuilder glyphsAndText) {
        JobBuilder job = JobBuilder().fontHeader(50, 20);
        job.bytes(glyphsAndText.data()).formFeed();
        run.run(job);
        if (!run.sheets().empty()) sheet = run.sheets()[0];
    }
};

TEST(SoftFonts, GlyphPlacedByOffsetsFromBaseline) {
    Page p(JobBuilder().glyph('A', 2, 40, 1, 1, {0x80}).text("A"));
    ASSERT_NE(p.sheet, nullptr);
    EXPECT_TRUE(p.sheet->black(2, 10));
    EXPECT_EQ(p.sheet->blackCount(), 1);
}

// Past the glyph notes a page keeps (a damaged job's millions of strikes), glyphs still print:
// they go straight into the page's pixels, beside those composed from the notes.
TEST(SoftFonts, GlyphsPastTheNotedOnesStillPrint) {
    JobBuilder job = JobBuilder().glyph('A', 0, 40, 1, 1, {0x80}).esc("&k0H");
    job.text(std::string(size_t{1} << 17, 'A')).esc("*p5x7Y").text("A");
    Page p(job);
    ASSERT_NE(p.sheet, nullptr);
    EXPECT_TRUE(p.sheet->black(0, 10));
    EXPECT_TRUE(p.sheet->black(5, 17));
    EXPECT_EQ(p.sheet->blackCount(), 2);
}

TEST(SoftFonts, CursorRoundsHalfToEven) {
    // A text page of 300 x 450 pixels and a one-pixel glyph, drawn at chosen cursors.
    PclState s;
    DeviceMetrics m;
    m.dpiX = m.dpiY = 300;
    m.horzRes = m.physWidth = 300;
    m.vertRes = m.physHeight = 450;
    resetPageSurface(s, PrintRequest{});
    createTextPage(s, m);
    JobBuilder glyph = JobBuilder().glyph('A', 0, 0, 1, 1, {0x80});
    s.job = glyph.data().data();
    s.jobEnd = glyph.data().size();
    s.paramValue = 17;  // the download block ends the job: 16 descriptor bytes and one row
    s.readPos = s.jobEnd - 17;
    downloadGlyph(s, s.readPos);
    const GlyphEntry* g = findGlyph(s, 'A');
    ASSERT_NE(g, nullptr);
    const double cursors[] = {100.5, 101.5, 7.49, 8.51};
    for (double x : cursors) {
        s.cursorX = x;
        drawGlyph(s, *g);
    }
    composeTextPage(s);
    gdi::BitmapView page = gdi::viewSelectedBitmap(s.surface.text.pageDC.get());
    std::vector<int> inked;
    for (int x = 0; x < page.width; ++x)
        if (page.ink(x, 0)) inked.push_back(x);
    EXPECT_EQ(inked, (std::vector<int>{7, 9, 100, 102}));
    releasePageSurfaces(s);
}

TEST(SoftFonts, FirstDownloadOfACodeWins) {
    Page p(JobBuilder().glyph('A', 0, 50, 8, 1, {0xF0}).glyph('A', 0, 50, 8, 1, {0x0F}).text("A"));
    ASSERT_NE(p.sheet, nullptr);
    EXPECT_EQ(test::blackIn(*p.sheet, 0, 0, 4, 1), 4);
    EXPECT_EQ(p.sheet->blackCount(), 4);
}

TEST(SoftFonts, OverlappingGlyphsShowTheUnion) {
    Page p(JobBuilder()
               .glyph('A', 0, 50, 8, 1, {0xF0})
               .glyph('B', 0, 50, 8, 1, {0x3C})
               .text("A")
               .esc("*p0X")
               .text("B"));
    ASSERT_NE(p.sheet, nullptr);
    EXPECT_EQ(test::blackIn(*p.sheet, 0, 0, 8, 1), 6);
}

TEST(SoftFonts, ControlCodesAndSpaceAreNeverDrawn) {
    JobBuilder glyphs;
    for (int code = 0; code <= 32; ++code)
        glyphs.glyph(code, 0, 50, 8, 1, {0xFF});
    glyphs.byte(0x09).text(" ").byte(0x01);
    Page p(glyphs);
    ASSERT_NE(p.sheet, nullptr);
    EXPECT_EQ(p.sheet->blackCount(), 0);
}

TEST(SoftFonts, RowsPaddedPerWidth) {
    // Width 10: two source bytes per row. Width 17: three. The bitmap keeps pixels in place.
    Page p(JobBuilder()
               .glyph('A', 0, 50, 10, 2, {0xFF, 0xC0, 0x80, 0x40})
               .glyph('B', 0, 40, 17, 1, {0x80, 0x00, 0x80})
               .text("A")
               .esc("*p0X")
               .text("B"));
    ASSERT_NE(p.sheet, nullptr);
    EXPECT_EQ(test::blackIn(*p.sheet, 0, 0, 20, 1), 10);
    EXPECT_TRUE(p.sheet->black(0, 1));
    EXPECT_TRUE(p.sheet->black(9, 1));
    EXPECT_EQ(test::blackIn(*p.sheet, 0, 1, 20, 2), 2);
    EXPECT_TRUE(p.sheet->black(0, 10));
    EXPECT_TRUE(p.sheet->black(16, 10));
    EXPECT_EQ(test::blackIn(*p.sheet, 0, 10, 20, 11), 2);
}

TEST(SoftFonts, GlyphRowsPastTheBlockAreBlank) {
    // Two rows announced, one row of data in the block: the second row is paper.
    JobBuilder glyph;
    glyph.esc("*c65E").esc("(s17W").bytes({4, 0, 14, 1, 0, 0, 0, 0, 0, 50, 0, 8, 0, 2, 0, 0, 0xFF});
    glyph.esc("*c66E");  // bytes after the block that must not be taken as glyph rows
    Page p(glyph.text("A"));
    ASSERT_NE(p.sheet, nullptr);
    EXPECT_EQ(test::blackIn(*p.sheet, 0, 0, 8, 1), 8);
    EXPECT_EQ(p.sheet->blackCount(), 8);
}

TEST(SoftFonts, EmptyOrNegativeGlyphsDrawNothing) {
    Page p(JobBuilder()
               .glyph('A', 0, 50, 0, 5, {})
               .glyph('B', 0, 50, 8, -3, {0xFF})
               .glyph('C', 0, 50, -8, 1, {0xFF})
               .text("ABC"));
    ASSERT_NE(p.sheet, nullptr);
    EXPECT_EQ(p.sheet->blackCount(), 0);
}

TEST(SoftFonts, GlyphsBeforeHeaderFoundButNotDrawn) {
    JobRun r;
    r.request.plainText = false;  // else the bare "A" prints in the printer's font
    r.run(JobBuilder().glyph('A', 0, 10, 8, 1, {0xFF}).text("A").formFeed());
    EXPECT_NE(r.state.glyphTable.entries[0].code, 0);
    EXPECT_TRUE(r.calls().empty());  // no header: no text page, nothing sent
}

}  // namespace
}  // namespace zelmo
