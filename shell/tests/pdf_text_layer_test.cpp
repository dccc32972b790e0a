// A job printed to the PDF folder as a reader sees it: every line of its text found, and each
// word lying over the pixels of its glyphs, whatever the engine and the offsets.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "output/code_pages.h"
#include "pcl/interpreter.h"
#include "pnm.h"
#include "printers/cups/cups_printers.h"
#include "printers/pdf/mono_font.h"
#include "shell/tests/word_box.h"
#include "tools/job_builder.h"

namespace zelmo {
namespace {

namespace fs = std::filesystem;

constexpr int kDpi = 300;
constexpr int kMargin = 30;  // left and top, device pixels

struct PdfCase {
    const char* name;
    int engine;
    int32_t offsetX;  // tenths of a millimetre
    int32_t offsetY;
    int shiftX;  // the offsets in device pixels at 300 dpi
    int shiftY;
};

class PdfTextLayer : public ::testing::TestWithParam<PdfCase> {};

// The sample job's words and their glyph pixels on its text page: 25 x 35 glyphs in 30-pixel
// cells, tops 5 pixels below the cursor.
const struct {
    const char* word;
    int left, top, right, bottom;
} kWords[] = {
    {"ZELMO", 150, 125, 295, 160},   {"2026", 330, 125, 445, 160},
    {"FAKTURA", 0, 175, 205, 210},   {"123", 240, 175, 325, 210},
    {"ZOE", 1203, 1506, 1288, 1541}, {"620", 1323, 1506, 1408, 1541},
    {"KLM", 2200, 2905, 2285, 2940},
};

// What a command wrote on its standard output.
std::string commandOutput(const std::string& command) {
    std::string out;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char chunk[4096];
        while (size_t n = fread(chunk, 1, sizeof chunk, pipe))
            out.append(chunk, n);
        pclose(pipe);
    }
    return out;
}

// Prints job on a PDF folder printer in a new folder; the PDF's path, empty when none came.
std::string printToPdf(const std::string& dir, const std::vector<uint8_t>& job,
                       const PrintRequest& request) {
    PdfFolderPrinter pdf(dir + "/out", {2480, 3508, kDpi, kDpi, kMargin, kMargin, 0, 0});
    pdf.setTitle("Kalvister II - wydruk.prn");
    DeviceMetrics metrics;
    if (!queryDeviceMetrics(metrics, pdf)) return {};
    std::atomic<TestPage> testMode{TestPage::None};
    std::atomic<bool> terminated{false};
    PclState state;
    if (!runJob(state, {pdf, metrics, request, testMode, terminated, job.data(), job.size()}))
        return {};
    std::string file;
    for (const auto& entry : fs::directory_iterator(dir + "/out"))
        file = entry.path().string();
    return file;
}

// A new folder under /tmp, removed with its contents.
struct ScratchDir {
    std::string path;
    ScratchDir() {
        char pattern[] = "/tmp/zelmo-pdf-text-XXXXXX";
        path = mkdtemp(pattern) ? pattern : "";
    }
    ~ScratchDir() {
        if (!path.empty()) fs::remove_all(path);
    }
};

TEST_P(PdfTextLayer, WordsLieOverTheirGlyphs) {
    if (std::system("pdftotext -v >/dev/null 2>&1") != 0) GTEST_SKIP() << "poppler-utils missing";
    const PdfCase& c = GetParam();
    char pattern[] = "/tmp/zelmo-pdf-text-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    const std::string dir = pattern;
    {
        PdfFolderPrinter pdf(dir + "/out", {2480, 3508, kDpi, kDpi, kMargin, kMargin, 0, 0});
        pdf.setTitle("Kalvister II - wydruk.prn");
        DeviceMetrics metrics;
        ASSERT_TRUE(queryDeviceMetrics(metrics, pdf));
        PrintRequest request;
        request.engine = c.engine;
        request.offsetX = c.offsetX;
        request.offsetY = c.offsetY;
        std::atomic<TestPage> testMode{TestPage::None};
        std::atomic<bool> terminated{false};
        PclState state;
        const std::vector<uint8_t> job = sampleJob();
        ASSERT_TRUE(
            runJob(state, {pdf, metrics, request, testMode, terminated, job.data(), job.size()}));
    }
    std::string file;
    for (const auto& entry : fs::directory_iterator(dir + "/out"))
        file = entry.path().string();
    ASSERT_FALSE(file.empty());

    const std::string text = commandOutput("pdftotext -layout '" + file + "' -");
    for (const char* line : {"ZELMO 2026", "FAKTURA 123", "ZOE 620", "KLM"})
        EXPECT_NE(text.find(line), std::string::npos) << line << " in:\n" << text;

    // pdftotext speaks points; the page is 300 dpi.
    const std::string boxes = commandOutput("pdftotext -f 2 -l 2 -bbox '" + file + "' -");
    const double perPixel = 72.0 / kDpi;
    for (const auto& w : kWords) {
        const size_t at = boxes.find(std::string(">") + w.word + "<");
        ASSERT_NE(at, std::string::npos) << w.word << " in:\n" << boxes;
        double box[4];
        ASSERT_TRUE(readWordBox(boxes, boxes.rfind("<word", at), box)) << w.word;
        const int x = kMargin + c.shiftX, y = kMargin + c.shiftY;
        const int expected[4] = {x + w.left, y + w.top, x + w.right, y + w.bottom};
        // The word starts within a pixel of its first glyph's left edge and covers its glyph
        // pixels; a reader's box also takes in the font's ascent, descent and the last glyph's
        // advance, never more than a line's height beyond the pixels.
        const double room = w.bottom - w.top;
        EXPECT_NEAR(box[0] / perPixel, expected[0], 1.01) << w.word;
        for (int k = 1; k < 4; ++k) {
            const double outward =
                k == 1 ? expected[k] - box[k] / perPixel : box[k] / perPixel - expected[k];
            EXPECT_GE(outward, -1.01) << w.word << " edge " << k;
            EXPECT_LE(outward, room) << w.word << " edge " << k;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, PdfTextLayer,
                         ::testing::Values(PdfCase{"engine0", 0, 0, 0, 0, 0},
                                           PdfCase{"engine1Offset", 1, 30, -20, 35, -24}),
                         [](const auto& info) { return std::string(info.param.name); });

// A job of bare text in the CP852 code page comes out as text in the printer's font.
TEST(PdfPlainText, LinesAreFoundWithTheirPolishLetters) {
    if (std::system("pdftotext -v >/dev/null 2>&1") != 0) GTEST_SKIP() << "poppler-utils missing";
    ScratchDir dir;
    ASSERT_FALSE(dir.path.empty());
    const std::string job =
        "FAKTURA VAT nr FV/12/2026\r\n\r\nNabywca:\tZak\x88"
        "ad \x9d\xa5"
        "czno\x98"
        "ci\r\n"
        "\t\tRazem:\t564,00 z\x88\x0c";
    const std::string file =
        printToPdf(dir.path, std::vector<uint8_t>(job.begin(), job.end()), PrintRequest{});
    ASSERT_FALSE(file.empty());
    const std::string text = commandOutput("pdftotext -layout '" + file + "' -");
    for (const char* line :
         {"FAKTURA VAT nr FV/12/2026", "Nabywca:        Zakład Łączności", "564,00 zł"})
        EXPECT_NE(text.find(line), std::string::npos) << line << " in:\n" << text;
}

// Every character of every code page has its own glyph in the embedded font: none prints as '?'.
TEST(PdfPlainText, TheFontHoldsEveryCharacterOfTheCodePages) {
    const pdf::TrueTypeFont* font = pdf::TrueTypeFont::builtIn();
    ASSERT_NE(font, nullptr);
    for (CodePage page : {CodePage::Cp852, CodePage::Mazovia, CodePage::Windows1250,
                          CodePage::Iso8859_2, CodePage::Cp437}) {
        for (int code = 0x20; code <= 0xFF; ++code) {
            const char32_t c = toUnicode(page, static_cast<uint8_t>(code));
            if (c == 0) continue;
            EXPECT_NE(font->glyphOf(c), 0) << codePageName(page) << " 0x" << std::hex << code;
        }
    }
    EXPECT_EQ(font->glyphOf(0x10000), 0);
    EXPECT_EQ(font->glyphOf(0xFFFF), 0);
}

// A table drawn with code page 852's box characters prints as a table: its text reads back as
// drawn, its lines meet from cell to cell and line to line, and the file is sound.
TEST(PdfPlainText, BoxDrawingPrintsAsATable) {
    if (std::system("pdftotext -v >/dev/null 2>&1 && pdftoppm -v >/dev/null 2>&1 && "
                    "qpdf --version >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "poppler-utils or qpdf missing";
    ScratchDir dir;
    ASSERT_FALSE(dir.path.empty());
    const std::string job =
        "\xDA\xC4\xC4\xC2\xC4\xC4\xBF\r\n"
        "\xB3"
        "A\x82\xB3\xF5\xF8\xB3\r\n"
        "\xC0\xC4\xC4\xC1\xC4\xC4\xD9\r\n"
        "\xC9\xCD\xBB \xDB\xB0 \x81\xE1\r\n";
    const std::string file =
        printToPdf(dir.path, std::vector<uint8_t>(job.begin(), job.end()), PrintRequest{});
    ASSERT_FALSE(file.empty());
    const std::string text = commandOutput("pdftotext -layout '" + file + "' -");
    for (const char* line : {"┌──┬──┐", "│Aé│§°│", "└──┴──┘", "╔═╗ █░ üß"})
        EXPECT_NE(text.find(line), std::string::npos) << line << " in:\n" << text;
    // qpdf's status is 0 only without errors and warnings.
    EXPECT_EQ(std::system(("qpdf --check '" + file + "' >/dev/null 2>&1").c_str()), 0);

    // 100 dpi: a third of the device's pixels; the cells are 30 x 50 device pixels.
    ASSERT_EQ(std::system(("pdftoppm -gray -r 100 -f 1 -l 1 '" + file + "' '" + dir.path +
                           "/page' && mv '" + dir.path + "'/page*.pgm '" + dir.path + "/page.pgm'")
                              .c_str()),
              0);
    testing::Image page;
    ASSERT_TRUE(testing::readPnm(dir.path + "/page.pgm", page));
    const auto cellX = [](int column) { return (kMargin + 30 * column + 15) / 3; };
    const auto cellY = [](int line) { return (kMargin + 50 * line + 25) / 3; };
    // Down the left edge, from the first line's corner to the third's.
    for (int y = cellY(0) + 2; y <= cellY(2) - 2; ++y)
        ASSERT_TRUE(page.at(cellX(0), y) || page.at(cellX(0) + 1, y)) << "gap at y " << y;
    // Across the top, from corner to corner, at some height of the first line.
    bool across = false;
    for (int y = cellY(0) - 8; y <= cellY(0) + 8 && !across; ++y) {
        across = true;
        for (int x = cellX(0) + 1; x <= cellX(6) - 1 && across; ++x)
            across = page.at(x, y);
    }
    EXPECT_TRUE(across);
}

}  // namespace
}  // namespace zelmo
