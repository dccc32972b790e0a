// PCL 5 jobs of other programs: how they are told apart, their raster rows, and where their
// marks land on the sheet (expectations taken from a LaserJet-class interpreter's output).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "pcl/pcl5.h"
#include "pcl/pcl5_raster.h"
#include "support/job_run.h"

namespace zelmo {
namespace {

using test::blackIn;
using test::JobRun;

// ---- Telling jobs apart ----------------------------------------------------------------

struct SurveyCase {
    const char* name;
    std::string job;
    bool pcl5;
    bool softFonts;
    int32_t pageDpi;
    bool otherProgram;  // printed by the PCL 5 interpreter
};

class Survey : public ::testing::TestWithParam<SurveyCase> {};

TEST_P(Survey, TellsTheAccountingDialectFromPcl5) {
    const SurveyCase& c = GetParam();
    const Pcl5Survey s = surveyJob(reinterpret_cast<const uint8_t*>(c.job.data()), c.job.size());
    EXPECT_EQ(s.pcl5, c.pcl5);
    EXPECT_EQ(s.softFonts, c.softFonts);
    EXPECT_EQ(s.pageDpi, c.pageDpi);
    EXPECT_EQ(s.otherProgram(), c.otherProgram);
}

const std::string kEsc = "\x1B";

INSTANTIATE_TEST_SUITE_P(
    Pcl5, Survey,
    ::testing::Values(
        SurveyCase{"AccountingRaster",
                   kEsc + "*t300R" + kEsc + "*b1M" + kEsc + "*p5x7Y" + kEsc + "*b2W\x01\xFF" +
                       kEsc + "&l2X\f",
                   false, false, 300, false},
        SurveyCase{"ResetAndText", kEsc + "EHello\r\n\f", false, false, 300, false},
        SurveyCase{"PackBits", kEsc + "*t600R" + kEsc + "*b2m1W\x00", true, false, 600, true},
        SurveyCase{"UniversalExit", kEsc + "%-12345X@PJL ENTER LANGUAGE=PCL\r\n", true, false, 300,
                   true},
        SurveyCase{"PjlAlone", "@PJL COMMENT x\r\nText", true, false, 300, true},
        SurveyCase{"FontByPitch", kEsc + "(s16.67HText", true, false, 300, true},
        SurveyCase{"Rule", kEsc + "*c10a10b0P", true, false, 300, true},
        SurveyCase{"LinesPerInch", kEsc + "&l8D", true, false, 300, true},
        // Page layout alone: another program's where no fonts or raster of the accounting
        // program's kind come; its page set-up (top margin) before its raster stays its own.
        SurveyCase{"PositionAlone", kEsc + "&a10R" + kEsc + "&l1O" + kEsc + "(17U", false, false,
                   300, true},
        SurveyCase{"AccountingPageSetupAndRaster",
                   kEsc + "E" + kEsc + "&l26a0o0E" + kEsc + "*t300R" + kEsc + "*b1W\xFF", false,
                   false, 300, false},
        SurveyCase{"LayoutWithSoftFonts", kEsc + std::string(")s4W\0\0\0\0", 8) + kEsc + "&a10R",
                   false, true, 300, false},
        SurveyCase{"CommandInsideData", kEsc + "*b5W" + kEsc + "&a1R", false, false, 300, false},
        SurveyCase{"SoftFontsWithPcl5", kEsc + std::string(")s4W\0\0\0\0", 8) + kEsc + "*b2M", true,
                   true, 300, false},
        // The accounting program prints in the font it downloaded; only others select one.
        SurveyCase{"SoftFontSelectedById", kEsc + std::string(")s4W\0\0\0\0", 8) + kEsc + "(5X",
                   true, true, 300, true}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- Raster rows ---------------------------------------------------------------------------

struct RowRecorder : RasterRowSink {
    std::vector<std::vector<uint8_t>> rows;
    std::size_t skipped = 0;
    bool row(const uint8_t* bits, std::size_t bytes) override {
        rows.emplace_back(bits, bits + bytes);
        return true;
    }
    void skipRows(std::size_t count) override { skipped += count; }
};

struct DecodeCase {
    const char* name;
    int32_t method;
    std::vector<uint8_t> seed;  // the row before (decoded in method 0)
    std::vector<uint8_t> data;
    std::vector<std::vector<uint8_t>> rows;  // rows of 4 bytes made
    std::size_t skipped;
};

class Decode : public ::testing::TestWithParam<DecodeCase> {};

TEST_P(Decode, MakesTheRowsWithinTheRow) {
    const DecodeCase& c = GetParam();
    RasterDecoder d;
    d.start(4);
    RowRecorder seed, out;
    d.transfer(kPcl5Unencoded, c.seed.data(), c.seed.size(), seed);
    d.transfer(c.method, c.data.data(), c.data.size(), out);
    EXPECT_EQ(out.rows, c.rows);
    EXPECT_EQ(out.skipped, c.skipped);
}

using Bytes = std::vector<uint8_t>;

INSTANTIATE_TEST_SUITE_P(
    Pcl5, Decode,
    ::testing::Values(
        DecodeCase{"UnencodedShortRowIsBlankAfter", 0, {9, 9, 9, 9}, {1, 2}, {{1, 2, 0, 0}}, 0},
        DecodeCase{"RunLengthPairs", 1, {}, {1, 0xAA, 5, 0x11}, {{0xAA, 0xAA, 0x11, 0x11}}, 0},
        DecodeCase{"PackBitsLiteralRepeatAndNoOp",
                   2,
                   {},
                   {0x00, 0x7E, 0x80, 0xFE, 0x33},
                   {{0x7E, 0x33, 0x33, 0x33}},
                   0},
        DecodeCase{"PackBitsCountsPastTheData", 2, {}, {0x05, 0x01}, {{0x01, 0, 0, 0}}, 0},
        DecodeCase{"PackBitsRunPastTheRow", 2, {}, {0x81, 0xFF}, {{0xFF, 0xFF, 0xFF, 0xFF}}, 0},
        DecodeCase{"DeltaReplacesAtOffsets",
                   3,
                   {1, 2, 3, 4},
                   {0x21, 0xA0, 0xB0},  // two bytes at offset 1
                   {{1, 0xA0, 0xB0, 4}},
                   0},
        DecodeCase{"DeltaEmptyRepeatsTheRow", 3, {1, 2, 3, 4}, {}, {{1, 2, 3, 4}}, 0},
        DecodeCase{
            "DeltaLongOffsetPastTheRow", 3, {1, 2, 3, 4}, {0x1F, 0x05, 0x77}, {{1, 2, 3, 4}}, 0},
        DecodeCase{"AdaptiveBlocks",
                   5,
                   {1, 2, 3, 4},
                   {0, 0, 1, 0x0F, 5, 0, 2, 4, 0, 3, 1, 0, 2, 1, 0x55},
                   {{0x0F, 0, 0, 0}, {0x0F, 0, 0, 0}, {0x0F, 0, 0, 0}, {0x55, 0x55, 0, 0}},
                   3},
        DecodeCase{"AdaptiveBlockCutShort", 5, {}, {0, 0, 9, 0x42}, {{0x42, 0, 0, 0}}, 0},
        DecodeCase{"UnknownMethodMakesNoRow", 9, {}, {1, 2}, {}, 0}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- Marks on the sheet --------------------------------------------------------------------

// A sheet of 4 x 2 inches at 300 dpi; margins as given (the sheet's pixels do not move).
SimulatedPrinterConfig sheet(int left = 0, int top = 0) {
    SimulatedPrinterConfig c;
    c.width = 1200;
    c.height = 600;
    c.left = c.right = left;
    c.top = c.bottom = top;
    return c;
}

// The bounding box of the ink in a sheet: {left, top, right, bottom}, exclusive; all -1 if none.
std::vector<int> inkBox(const Sheet& s) {
    int x0 = s.width, y0 = s.height, x1 = -1, y1 = -1;
    for (int y = 0; y < s.height; ++y)
        for (int x = 0; x < s.width; ++x)
            if (s.black(x, y))
                x0 = std::min(x0, x), y0 = std::min(y0, y), x1 = std::max(x1, x), y1 = y;
    return x1 < 0 ? std::vector<int>{-1, -1, -1, -1} : std::vector<int>{x0, y0, x1 + 1, y1 + 1};
}

struct PlaceCase {
    const char* name;
    std::string job;
    std::vector<int> box;  // where the ink lies on the first sheet
    int margins = 0;       // the printer's unprintable margins, device pixels
};

class Place : public ::testing::TestWithParam<PlaceCase> {};

TEST_P(Place, PutsTheMarkWhereALaserJetDoes) {
    const PlaceCase& c = GetParam();
    JobRun run(sheet(c.margins, c.margins));
    run.run(std::vector<uint8_t>(c.job.begin(), c.job.end()));
    ASSERT_FALSE(run.sheets().empty());
    EXPECT_EQ(inkBox(*run.sheets()[0]), c.box);
}

// A bitmap soft font's header for ID 5: proportional or of a pitch in quarter dots.
std::string softFont(bool proportional, int pitch) {
    std::string h(64, '\0');
    h[1] = 64;
    h[13] = proportional ? 1 : 0;
    h[16] = char(pitch >> 8), h[17] = char(pitch & 0xFF);
    return kEsc + "*c5D" + kEsc + ")s64W" + h;
}

// Character 'A' of the current soft font: class 1 (rows) or 2 (runs), left and top offsets,
// width 8, height 4, its advance in quarter dots.
std::string softA(int kind, int left, int top, int deltaX, const std::string& data) {
    std::string d(16, '\0');
    d[0] = 4, d[2] = 14, d[3] = char(kind);
    d[7] = char(left), d[9] = char(top), d[11] = 8, d[13] = 4;
    d[14] = char(deltaX >> 8), d[15] = char(deltaX & 0xFF);
    d += data;
    return kEsc + "*c65E" + kEsc + "(s" + std::to_string(d.size()) + "W" + d;
}

// The logical page starts a quarter inch (75 dots) in; vertical positions count from the top
// margin, half an inch (150 dots) down, the first line's baseline three quarters of a line lower.
const std::string kRule = kEsc + "*c10a4b0P";

INSTANTIATE_TEST_SUITE_P(
    Pcl5, Place,
    ::testing::Values(
        PlaceCase{
            "RuleInDots", kEsc + "E" + kEsc + "*p10x20Y" + kEsc + "*c30a5b0P", {85, 170, 115, 175}},
        PlaceCase{"SameSheetPixelsWithMargins",
                  kEsc + "E" + kEsc + "*p10x20Y" + kRule,
                  {85, 170, 95, 174},
                  40},
        PlaceCase{"RuleInDecipoints",
                  kEsc + "E" + kEsc + "*c72h36V" + kEsc + "&a720H" + kEsc + "*c0P",
                  {375, 187, 405, 202}},
        PlaceCase{"FirstLineAtSixLinesPerInch", kEsc + "E" + kRule, {75, 187, 85, 191}},
        // On A4 the logical page starts 71 dots in, so that 80 columns of Courier fit.
        PlaceCase{"A4LogicalPage", kEsc + "E" + kEsc + "&l26A" + kRule, {71, 187, 81, 191}},
        PlaceCase{"RowsAtEightLinesPerInch",
                  kEsc + "E" + kEsc + "&l8D" + kEsc + "&a2R" + kRule,
                  {75, 253, 85, 257}},
        PlaceCase{"TopMarginInLines",
                  kEsc + "E" + kEsc + "&l8D" + kEsc + "&l3E" + kRule,
                  {75, 141, 85, 145}},
        // A cursor still on the first line follows the new VMI there.
        PlaceCase{"VmiInFortyEighths",
                  kEsc + "E" + kEsc + "&l12C" + kEsc + "&a+1R" + kRule,
                  {75, 281, 85, 285}},
        PlaceCase{"ColumnsAtTwelvePitch",
                  kEsc + "E" + kEsc + "&k10H" + kEsc + "&a3C" + kRule,
                  {150, 187, 160, 191}},
        PlaceCase{"RelativeMoves",
                  kEsc + "E" + kEsc + "*p100x20Y" + kEsc + "*p-40x+10Y" + kRule,
                  {135, 180, 145, 184}},
        PlaceCase{"PushAndPop",
                  kEsc + "E" + kEsc + "*p7x9Y" + kEsc + "&f0S" + kEsc + "*p300x300Y" + kEsc +
                      "&f1S" + kRule,
                  {82, 159, 92, 163}},
        PlaceCase{"LineFeedReturnsWithTermination",
                  kEsc + "E" + kEsc + "&k2G" + kEsc + "*p200X\n" + kRule,
                  {75, 237, 85, 241}},
        PlaceCase{
            "LineFeedKeepsTheColumn", kEsc + "E" + kEsc + "*p200X\n" + kRule, {275, 237, 285, 241}},
        PlaceCase{"LandscapeTurnsTheLogicalPage",
                  kEsc + "E" + kEsc + "&l1O" + kEsc + "*p0x0Y" + kEsc + "*c30a10b0P",
                  {150, 510, 160, 540}},
        PlaceCase{"RasterAtTheCursor",
                  kEsc + "E" + kEsc + "*t300R" + kEsc + "*p16x4Y" + kEsc + "*r1A" + kEsc +
                      "*b2m3W\x01\xF0\x0F",
                  {91, 154, 107, 155}},
        PlaceCase{
            "RasterAtTheLeftEdge",
            kEsc + "E" + kEsc + "*t150R" + kEsc + "*p16x4Y" + kEsc + "*r0A" + kEsc + "*b1W\x80",
            {75, 154, 77, 156}},
        // Landscape: mode 0 turns the rows with the page (a row runs up the sheet), mode 3
        // keeps them across it; the cursor follows the rows either way (the rule after them).
        PlaceCase{"RasterTurnsWithTheLandscapePage",
                  kEsc + "E" + kEsc + "&l1O" + kEsc + "*t300R" + kEsc + "*p100x0Y" + kEsc + "*r0F" +
                      kEsc + "*r1A" + kEsc + "*b1W\xFF" + kEsc + "*b1W\x80" + kEsc + "*rB" + kEsc +
                      "*c3a3b0P",
                  {150, 432, 155, 440}},
        PlaceCase{"RasterAcrossTheLandscapeSheet",
                  kEsc + "E" + kEsc + "&l1O" + kEsc + "*t300R" + kEsc + "*p100x0Y" + kEsc + "*r3F" +
                      kEsc + "*r1A" + kEsc + "*b1W\xFF" + kEsc + "*b1W\x80" + kEsc + "*rB" + kEsc +
                      "*c3a3b0P",
                  {150, 439, 158, 442}},
        PlaceCase{"RasterYOffset",
                  kEsc + "E" + kEsc + "*t300R" + kEsc + "*p0x0Y" + kEsc + "*r1A" + kEsc + "*b5Y" +
                      kEsc + "*b1W\x80",
                  {75, 155, 76, 156}},
        PlaceCase{"RasterHeightCutsRows",
                  kEsc + "E" + kEsc + "*t300R" + kEsc + "*r1T" + kEsc + "*r1A" + kEsc + "*b1W\x80" +
                      kEsc + "*b1W\x80",
                  {75, 187, 76, 188}},
        // Drawn from the pen on the baseline (150 dots down at Y 0), each advancing its own
        // width (10 dots) in a proportional font (a space it lacks moves nothing), or the
        // header's pitch (20 dots).
        PlaceCase{"SoftFontSelectedById",
                  kEsc + "E" + softFont(true, 0) + softA(1, 1, 4, 40, std::string(4, '\xFF')) +
                      kEsc + "(5X" + kEsc + "*p0x0YA A",
                  {76, 146, 94, 150}},
        PlaceCase{"SoftFontCompressedRowsAtItsPitch",
                  kEsc + "E" + softFont(false, 80) + softA(2, 0, 4, 0, "\x03\x02\x04\x02") + kEsc +
                      "(5X" + kEsc + "*p0x0YAA",
                  {77, 146, 101, 150}},
        // A proportional font's space is three fifths of its n (15 dots in 12-point CG Times).
        PlaceCase{"ProportionalSpace",
                  kEsc + "E" + kEsc + "(s1p12v4101T" + kEsc + "*p0x0Yn n",
                  {76, 127, 139, 151}},
        // The form feed sent as transparent data prints as a character (a symbol where the
        // font has one), not as a page break.
        PlaceCase{"PjlAndTransparentData",
                  kEsc + "%-12345X@PJL COMMENT Ala\r\n@PJL ENTER LANGUAGE=PCL\r\n" + kEsc + "E" +
                      kEsc + "&p1X\f" + kRule,
                  {105, 187, 115, 191}}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- Patterns and transparency --------------------------------------------------------------

struct PaintCase {
    const char* name;
    std::string commands;  // over a 64 x 64 black rule at (0, 0)
    long black;            // black pixels left in the 64 x 64 square
};

class PaintRule : public ::testing::TestWithParam<PaintCase> {};

TEST_P(PaintRule, PaintsThroughThePatternAndTransparency) {
    const PaintCase& c = GetParam();
    const std::string job = kEsc + "E" + kEsc + "*p0x0Y" + kEsc + "*c64a64b0P" + c.commands;
    JobRun run(sheet());
    run.run(std::vector<uint8_t>(job.begin(), job.end()));
    ASSERT_EQ(run.sheets().size(), 1u);
    EXPECT_EQ(blackIn(*run.sheets()[0], 75, 150, 139, 214), c.black);
}

INSTANTIATE_TEST_SUITE_P(
    Pcl5, PaintRule,
    ::testing::Values(
        PaintCase{"EraseRule", kEsc + "*c32b1P", 64 * 32},
        PaintCase{"TransparentShadingKeepsBlack", kEsc + "*c20g2P", 64 * 64},
        PaintCase{"OpaqueShadingOverBlack", kEsc + "*v1O" + kEsc + "*c20g2P", 64 * 64 / 8},
        PaintCase{"OpaqueHorizontalHatch", kEsc + "*v1O" + kEsc + "*c1g3P", 64 * 8},
        PaintCase{"OpaqueGridHatch", kEsc + "*v1O" + kEsc + "*c5g3P", 64 * 8 * 2 - 16 * 4},
        PaintCase{"CurrentPatternWhite", kEsc + "*v1T" + kEsc + "*v1O" + kEsc + "*c5P", 0}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- Pages -------------------------------------------------------------------------------

struct PageCase {
    const char* name;
    std::string job;
    std::size_t sheets;
};

class Pages : public ::testing::TestWithParam<PageCase> {};

// Bytes of every value in a scrambled order: a form feed every 256, no text.
std::string junk(std::size_t size) {
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<char>((i * 131 + 7) & 0xFF);
    return bytes;
}

TEST_P(Pages, EjectsAsALaserJetDoes) {
    const PageCase& c = GetParam();
    JobRun run(sheet());
    run.run(std::vector<uint8_t>(c.job.begin(), c.job.end()));
    EXPECT_EQ(run.sheets().size(), c.sheets);
}

INSTANTIATE_TEST_SUITE_P(
    Pcl5, Pages,
    ::testing::Values(
        PageCase{"FormFeedsEjectBlankPages", kEsc + "E" + kEsc + "&l6D\f\f", 2},
        PageCase{"ResetEjectsOnlyAMarkedPage", kEsc + "E" + kEsc + "E" + kRule + kEsc + "E", 1},
        PageCase{"PjlOnlyPrintsNothing", kEsc + "%-12345X@PJL JOB\r\n" + kEsc + "%-12345X", 0},
        PageCase{"LinesPastTheTextLengthGoOn",
                 kEsc + "E" + kEsc + "&l2F" + kRule + "\n\n\n" + kRule, 2},
        PageCase{"JunkThatReadsAsPcl5PrintsNothing", kEsc + "(s16.67H" + junk(4000), 0},
        PageCase{"JunkWithAFontDownloadPrintsNothing",
                 kEsc + std::string(")s4W\0\0\0\0", 8) + junk(40000), 0},
        PageCase{"PlaneDataIsNoJunk",
                 kEsc + "E" + kEsc + "*r1A" + kEsc + "*b8V" + std::string(8, '\0') + kEsc + "*rB" +
                     kRule,
                 1},
        PageCase{"HpglIsSkipped",
                 kEsc + "E" + kEsc + "%1BIN;PD0,0,100,100;\f" + kEsc + "%1A" + kRule, 1}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace zelmo
