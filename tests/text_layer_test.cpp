// The text of printed pages: the text layer over the glyph pixels, the code pages, plain-text
// jobs and the archive's copy of every document.
#include <gtest/gtest.h>

#include <algorithm>
#include <future>
#include <stdexcept>
#include <thread>

#include "output/code_pages.h"
#include "output/text_layer.h"
#include "pipeline_fixture.h"
#include "platform/sync.h"
#include "printers/archiving_printer.h"
#include "support/job_run.h"
#include "tests/support/eventually.h"

namespace zelmo {
namespace {

using test::JobRun;

struct LayerCase {
    const char* name;
    int dpi;
    int margin;  // all four, device pixels
    int engine;
    int32_t offsetX;  // tenths of a millimetre
    int32_t offsetY;
};

class TextLayerPlacement : public ::testing::TestWithParam<LayerCase> {};

// Every line of the sample's text page lies exactly over its glyph pixels (to a pixel, as the
// stretch rounds), and no ink lies outside the lines, whatever the engine, offset or resolution.
TEST_P(TextLayerPlacement, LinesCoverTheirGlyphPixels) {
    const LayerCase& c = GetParam();
    SimulatedPrinterConfig config;
    config.dpi = c.dpi;
    config.width = 2480 * c.dpi / 300;
    config.height = 3508 * c.dpi / 300;
    config.left = config.top = config.right = config.bottom = c.margin;
    JobRun r(config);
    r.printer.setRecordText(true);
    r.request.engine = c.engine;
    r.request.offsetX = c.offsetX;
    r.request.offsetY = c.offsetY;
    r.run(sampleJob());
    ASSERT_EQ(r.sheets().size(), 2u);
    EXPECT_TRUE(r.sheets()[0]->text.empty());  // the raster page carries no text
    const Sheet& sheet = *r.sheets()[1];
    std::vector<std::string> texts;
    for (const SheetText& line : sheet.text)
        texts.push_back(line.text);
    EXPECT_EQ(texts, (std::vector<std::string>{"ZELMO 2026", "FAKTURA 123", "ZOE 620", "KLM"}));

    std::vector<TextBox> ink(sheet.text.size(), TextBox{1 << 30, 1 << 30, -1, -1});
    for (int y = 0; y < sheet.height; ++y) {
        for (int x = 0; x < sheet.width; ++x) {
            if (!sheet.black(x, y)) continue;
            bool inside = false;
            for (size_t i = 0; i < sheet.text.size(); ++i) {
                const TextBox& b = sheet.text[i].box;
                if (x < b.left - 1 || x > b.right || y < b.top - 1 || y > b.bottom) continue;
                inside = true;
                ink[i] = {std::min(ink[i].left, x), std::min(ink[i].top, y),
                          std::max(ink[i].right, x + 1), std::max(ink[i].bottom, y + 1)};
            }
            ASSERT_TRUE(inside) << "ink outside every line at " << x << "," << y;
        }
    }
    for (size_t i = 0; i < ink.size(); ++i) {
        const TextBox& b = sheet.text[i].box;
        EXPECT_NEAR(ink[i].left, b.left, 1) << texts[i];
        EXPECT_NEAR(ink[i].top, b.top, 1) << texts[i];
        EXPECT_NEAR(ink[i].right, b.right, 1) << texts[i];
        EXPECT_NEAR(ink[i].bottom, b.bottom, 1) << texts[i];
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, TextLayerPlacement,
                         ::testing::Values(LayerCase{"default300", 300, 0, 0, 0, 0},
                                           LayerCase{"alternative600Offset", 600, 50, 1, 30, -20},
                                           LayerCase{"hp845c150Shrunk", 150, 10, 2, -15, 40}),
                         [](const auto& info) { return std::string(info.param.name); });

// Glyphs drawn in any order are read in reading order: lines top down, each left to right.
TEST(TextLayerOrder, LinesTopDownAndLeftToRightWhateverTheDrawingOrder) {
    auto note = [](char code, int32_t x, int32_t baseline) {
        GlyphNote n;
        n.left = n.penX = x;
        n.top = baseline - 8;
        n.width = n.height = 8;
        n.baseline = baseline;
        n.advance = 10;
        n.code = static_cast<uint8_t>(code);
        return n;
    };
    const GlyphNote a = note('A', 0, 20), b = note('B', 10, 20);
    const GlyphNote c = note('C', 0, 60), d = note('D', 10, 60);
    const struct {
        const char* name;
        std::vector<GlyphNote> notes;
    } cases[] = {
        {"reading order", {a, b, c, d}},
        {"lines bottom up", {c, d, a, b}},
        {"lines right to left", {b, a, d, c}},
        {"scattered", {d, a, c, b}},
    };
    for (const auto& k : cases) {
        TextLayer layer;
        buildTextLayer(k.notes, CodePage::Cp852, {0, 0, 100, 100, 100, 100}, 100, 100, layer);
        std::vector<std::string> lines;
        for (const TextLine& line : layer.lines)
            lines.push_back(lineText(layer, line));
        EXPECT_EQ(lines, (std::vector<std::string>{"AB", "CD"})) << k.name;
    }
}

struct CodeCase {
    CodePage page;
    uint8_t code;
    char32_t unicode;  // 0: no character
};

// Values from the Unicode mapping files (and, for Mazovia, its published table).
TEST(CodePages, MapAsTheMappingFiles) {
    const CodeCase cases[] = {
        {CodePage::Cp852, 0xA5, U'ą'},       {CodePage::Cp852, 0x9D, U'Ł'},
        {CodePage::Cp852, 0xBE, U'ż'},       {CodePage::Cp852, 0xC4, U'─'},
        {CodePage::Mazovia, 0x86, U'ą'},     {CodePage::Mazovia, 0x9C, U'Ł'},
        {CodePage::Mazovia, 0xA7, U'ż'},     {CodePage::Mazovia, 0x81, U'ü'},
        {CodePage::Windows1250, 0xB9, U'ą'}, {CodePage::Windows1250, 0x8C, U'Ś'},
        {CodePage::Windows1250, 0x80, U'€'}, {CodePage::Windows1250, 0x81, 0},
        {CodePage::Iso8859_2, 0xB1, U'ą'},   {CodePage::Iso8859_2, 0xA6, U'Ś'},
        {CodePage::Iso8859_2, 0x8C, 0},      {CodePage::Iso8859_2, 0xBF, U'ż'},
        {CodePage::Cp437, 0x81, U'ü'},       {CodePage::Cp437, 0x9C, U'£'},
        {CodePage::Cp437, 0xE1, U'ß'},       {CodePage::Cp437, 0xDB, U'█'},
    };
    for (const CodeCase& c : cases)
        EXPECT_EQ(toUnicode(c.page, c.code), c.unicode)
            << codePageName(c.page) << " 0x" << std::hex << int(c.code);
    for (CodePage page : {CodePage::Cp852, CodePage::Mazovia, CodePage::Windows1250,
                          CodePage::Iso8859_2, CodePage::Cp437}) {
        for (int code = 0x21; code <= 0x7E; ++code)
            ASSERT_EQ(toUnicode(page, static_cast<uint8_t>(code)), char32_t(code));
        EXPECT_EQ(toUnicode(page, 0x7F), 0u);
        CodePage parsed = CodePage::Cp437;
        EXPECT_TRUE(parseCodePage(codePageName(page), parsed));
        EXPECT_EQ(parsed, page);
    }
    CodePage page = CodePage::Cp437;
    EXPECT_TRUE(parseCodePage("windows1250", page));
    EXPECT_EQ(page, CodePage::Windows1250);
    EXPECT_FALSE(parseCodePage("EBCDIC", page));
}

struct PlainCase {
    const char* name;
    JobBuilder job;
    std::vector<std::string> calls;
    bool plainText = true;
};

class PlainText : public ::testing::TestWithParam<PlainCase> {};

// The small sheet is 1 x 1.5 inches at 300 dpi: 10 columns of 30 pixels, 9 lines of 50.
TEST_P(PlainText, PrintsCellsAsALinePrinter) {
    const PlainCase& c = GetParam();
    JobRun r;
    r.request.plainText = c.plainText;
    r.request.codePage = static_cast<int32_t>(CodePage::Cp852);
    r.request.offsetX = 25;  // 29.5 pixels, rounded to 30
    EXPECT_TRUE(r.run(c.job));
    EXPECT_EQ(r.calls(), c.calls);
}

const std::string kBegin = "begin \"Kalvister II - wydruk.prn\"";

INSTANTIATE_TEST_SUITE_P(
    Cases, PlainText,
    ::testing::Values(
        PlainCase{
            "linesTabsAndCodePage",
            JobBuilder().text("Ab\r\n\tC\xA5").lineFeed().text("x\ty").carriageReturn().text("_"),
            {kBegin, "cells 30 0 30 50 \"Ab\"", "cells 30 50 30 50 \"        Cą\"",
             "cells 30 100 30 50 \"x       y\"", "end"}},
        PlainCase{"wrapsLongLinesAndPages",
                  JobBuilder().text("0123456789AB").text(std::string(8, '\n')).text("Z"),
                  {kBegin, "cells 30 0 30 50 \"0123456789\"", "cells 30 50 30 50 \"AB\"", "page",
                   "cells 30 0 30 50 \"Z\"", "end"}},
        PlainCase{"blankPagesOnlyBetweenText",
                  JobBuilder().formFeed().text("a").formFeed().formFeed().text("b").formFeed(),
                  {kBegin, "page", "cells 30 0 30 50 \"a\"", "page", "page",
                   "cells 30 0 30 50 \"b\"", "end"}},
        PlainCase{"escapesSkippedCopiesObeyed",
                  JobBuilder().esc("&l2X").esc("&k12H").text("a").esc("*p100x100Y").text("b"),
                  {kBegin, "cells 30 0 30 50 \"ab\"", "page", "cells 30 0 30 50 \"ab\"", "end"}},
        // A two-character escape is two bytes; a parameterised one ends at its upper-case
        // terminator, lower case continuing the group. (Groups no printer knows: orientation
        // or a symbol set would make the job another program's PCL 5.)
        PlainCase{
            "escapesEndByTheGrammar",
            JobBuilder().esc("E").text("F").esc("9").text("a").esc("&y1o2A").text("b").esc("&z8U"),
            {kBegin, "cells 30 0 30 50 \"Fab\"", "end"}},
        // Every data block is skipped by its count, none of it printed, whatever the command;
        // a count past the job's end takes the rest.
        PlainCase{"dataBlocksSkipped",
                  JobBuilder()
                      .text("a")
                      .esc("(s3W")
                      .text("GGG")
                      .esc("(f2W")
                      .text("FF")
                      .esc("&n4W")
                      .text("NNNN")
                      .esc("*c1W")
                      .text("C")
                      .esc("*v2W")
                      .text("VV")
                      .esc("&p3X")
                      .text("PPP")
                      .esc("*m2W")
                      .text("MM")
                      .esc("*b1m3W")
                      .text("BBB")
                      .text("b")
                      .esc("*b99W")
                      .text("QQ"),
                  {kBegin, "cells 30 0 30 50 \"ab\"", "end"}},
        PlainCase{"switchedOff", JobBuilder().text("abc"), {}, false},
        PlainCase{"rasterJobUntouched", JobBuilder().esc("*t300R").text("abc"), {}},
        PlainCase{"fontJobUntouched",
                  JobBuilder().fontHeader(40, 30).text("abc").formFeed(),
                  {kBegin, "stretch 30 0 300 450 300 450 SRCCOPY", "end"}}),
    [](const auto& info) { return std::string(info.param.name); });

// Prints the two-page sample in single mode, a document per sheet.
bool printSample(Printer& printer) {
    DeviceMetrics metrics;
    queryDeviceMetrics(metrics, printer);
    PrintRequest request;
    request.singleMode = 1;
    std::atomic<TestPage> testMode{TestPage::None};
    std::atomic<bool> terminated{false};
    PclState state;
    std::vector<uint8_t> job = sampleJob(2);
    return runJob(state, {printer, metrics, request, testMode, terminated, job.data(), job.size()});
}

struct ArchiveCase {
    const char* name;
    const char* folder;
    bool factoryThrows;
    bool archiveRefuses;
    bool archived;
    bool fails;
};

class Archive : public ::testing::TestWithParam<ArchiveCase> {};

// The real printer's sheets never depend on the archive; the archive holds the same sheets, or
// nothing and a reported failure.
TEST_P(Archive, CopiesEveryDocumentWithoutTouchingThePrint) {
    const ArchiveCase& c = GetParam();
    SimulatedPrinter real(test::smallSheet());
    MemorySheets archived;
    int made = 0;
    pipeline_test::TempDir staging;
    ArchiveMover mover(staging.path());
    ArchivingPrinter printer(
        real,
        [&](const std::string& folder, const PrinterCanvas& like) {
            EXPECT_EQ(folder, staging.path() + ".w-toku/");
            EXPECT_EQ(like.deviceCaps(DeviceCap::PhysicalWidth), 300);
            ++made;
            if (c.factoryThrows) throw std::runtime_error("disk full");
            auto copy = std::make_unique<SimulatedPrinter>(test::smallSheet());
            copy->setSheetSink(&archived);
            copy->setAvailable(!c.archiveRefuses);
            return std::unique_ptr<Printer>(std::move(copy));
        },
        mover);
    printer.setFolder(c.folder);
    printer.setTitle("Kalvister II - wydruk.prn");
    EXPECT_TRUE(printSample(printer));

    std::vector<const Sheet*> printed = real.memory().printedSheets();
    // Single mode: a document per sheet, each archived or failing on its own.
    const int documents = static_cast<int>(printed.size());
    ASSERT_GE(documents, 4);
    EXPECT_EQ(made, c.folder[0] ? documents : 0);
    EXPECT_EQ(static_cast<int>(printer.takeFailures().size()), c.fails ? documents : 0);
    EXPECT_TRUE(printer.takeFailures().empty());
    std::vector<const Sheet*> copies = archived.printedSheets();
    ASSERT_EQ(static_cast<int>(copies.size()), c.archived ? documents : 0);
    for (size_t i = 0; i < copies.size(); ++i)
        EXPECT_EQ(copies[i]->bits, printed[i]->bits) << "sheet " << i;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Archive,
    ::testing::Values(ArchiveCase{"archived", "/archive", false, false, true, false},
                      ArchiveCase{"noFolder", "", false, false, false, false},
                      ArchiveCase{"cannotOpen", "/a", true, false, false, true},
                      ArchiveCase{"refusesToBegin", "/a", false, true, false, true}),
    [](const auto& info) { return std::string(info.param.name); });

// A mover stuck in the archive folder (a hung network share) holds no document: every one
// prints and its copy is staged; the copies move once the archive answers again.
TEST(Archive, PrintsOnWhileTheMoverIsStuck) {
    pipeline_test::TempDir staging, archive;
    pipeline_test::writeFile(staging.path() + "earlier.pdf", {'%'});
    ManualResetEvent held;
    ArchiveMover::Options options;
    options.beforeMove = [&](const std::string&) { held.wait(); };
    ArchiveMover mover(staging.path(), options);
    SimulatedPrinter real(test::smallSheet());
    int staged = 0;
    ArchivingPrinter printer(
        real,
        [&](const std::string& folder, const PrinterCanvas&) {
            // The copy's printer writes a finished file, as the PDF folder printer does.
            pipeline_test::writeFile(folder + std::to_string(++staged) + ".pdf", {'%'});
            return std::unique_ptr<Printer>(std::make_unique<SimulatedPrinter>(test::smallSheet()));
        },
        mover);
    printer.setFolder(archive.path());
    auto printing = std::async(std::launch::async, [&] {
        const bool printed = printSample(printer);
        printer.jobEnded(printed);
        return printed;
    });
    const bool finished = printing.wait_for(std::chrono::seconds(20)) == std::future_status::ready;
    held.set();
    ASSERT_TRUE(finished) << "the print waited for the archive";
    EXPECT_TRUE(printing.get());
    EXPECT_GE(staged, 4);
    EXPECT_EQ(static_cast<int>(real.memory().printedSheets().size()), staged);
    const auto moved = [&] {
        return pipeline_test::listDir(archive.path()).size() == size_t(staged + 1);
    };
    EXPECT_TRUE(eventually(moved));
    EXPECT_TRUE(printer.takeFailures().empty());
}

}  // namespace
}  // namespace zelmo
