// The Linux printer objects: the PDF folder printer's files, the fallback when CUPS is absent,
// and StretchBlt on a PDF page, rasterised by Ghostscript, against the simulated printer.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/resource.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <vector>

#include "output/text_layer.h"
#include "pcl/interpreter.h"
#include "platform/errors.h"
#include "platform/gdi.h"
#include "printers/cups/cups_printers.h"
#include "printers/simulated/simulated_printer.h"
#include "shell/tests/pnm.h"
#include "shell/tests/word_box.h"
#include "tools/job_builder.h"

namespace zelmo {
namespace {

namespace fs = std::filesystem;

// A temporary folder, removed with everything in it.
struct TempDir {
    std::string path;
    TempDir() {
        char pattern[] = "/tmp/zelmo-printers-XXXXXX";
        path = mkdtemp(pattern) ? pattern : "";
    }
    ~TempDir() { fs::remove_all(path); }
};

// The files in folder, by name.
std::vector<std::string> filesIn(const std::string& folder) {
    std::vector<std::string> names;
    if (!fs::exists(folder)) return names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// Prints one empty document on printer.
void printEmptyDocument(Printer& printer) {
    printer.beginDoc();
    printer.endDoc();
}

// The document name for a label at 2026-03-05 14:07:09 local time.
std::string nameAt(const DocumentLabel& label, const std::string& title = "") {
    std::tm local{};
    local.tm_year = 126;
    local.tm_mon = 2;
    local.tm_mday = 5;
    local.tm_hour = 14;
    local.tm_min = 7;
    local.tm_sec = 9;
    local.tm_isdst = -1;
    return PdfFolderPrinter::documentName({title, label, std::mktime(&local)});
}

TEST(PdfFolderPrinter, DocumentsAreNamedByTimeAndQueueFileValidOnWindows) {
    const std::pair<std::string, std::string> cases[] = {
        {nameAt({"/srv/Księgowość/Zelmo12.Prn", TestPage::None}), "2026-03-05 14-07-09 Zelmo12"},
        {nameAt({"/q/Zelmo3.Prn", TestPage::None, 17, false}), "2026-03-05 14-07-09 Zelmo3 nr 17"},
        {nameAt({"/q/Zelmo3.Prn", TestPage::None, 17, true}),
         "2026-03-05 14-07-09 Zelmo3 nr 17 ponownie"},
        {nameAt({"", TestPage::Vector}), "2026-03-05 14-07-09 Test Wektorowy"},
        {nameAt({"", TestPage::BitmapDi}), "2026-03-05 14-07-09 Test Bitmapowy DI"},
        {nameAt({}, "Kalvister II - wydruk.prn"), "2026-03-05 14-07-09 Kalvister II - wydruk"},
        {nameAt({"/q/a:b*c?\"d<e>|f.. .Prn", TestPage::None}), "2026-03-05 14-07-09 a_b_c__d_e__f"},
    };
    for (const auto& [got, expected] : cases)
        EXPECT_EQ(got, expected);
}

TEST(PdfFolderPrinter, EachDocumentIsANewFileAndAnAbortedOneLeavesNone) {
    TempDir dir;
    const std::string folder = dir.path + "/Wydruki";
    PdfFolderPrinter printer(folder);
    printer.setTitle("Kalvister II - wydruk.prn");
    printer.setDocumentLabel({dir.path + "/Zelmo7.Prn", TestPage::None});
    EXPECT_EQ(printer.printerName(), folder);
    EXPECT_FALSE(printer.canCopy());

    printer.beginDoc();
    printer.newPage();
    printer.abort();
    EXPECT_TRUE(printer.aborted());
    EXPECT_TRUE(filesIn(folder).empty());

    // Files of this second and the next that are not ours, one of them a link, stay as they are.
    const std::time_t now = std::time(nullptr);
    for (std::time_t t : {now, now + 1}) {
        const std::string name =
            PdfFolderPrinter::documentName({"", {"Zelmo7", TestPage::None}, t});
        std::ofstream(folder + "/" + name + ".pdf") << "not ours";
        fs::create_symlink(dir.path + "/target", folder + "/" + name + " (2).pdf");
    }
    printEmptyDocument(printer);
    printEmptyDocument(printer);
    const std::vector<std::string> files = filesIn(folder);
    ASSERT_EQ(files.size(), 6u);
    EXPECT_FALSE(fs::exists(dir.path + "/target"));
    int ours = 0;
    for (const std::string& name : files) {
        std::ifstream file(folder + "/" + name);
        std::string text;
        std::getline(file, text);
        if (fs::is_symlink(folder + "/" + name)) continue;
        if (text.substr(0, 5) == "%PDF-")
            ++ours;
        else
            EXPECT_EQ(text, "not ours") << name;
        EXPECT_EQ(name.substr(name.size() - 4), ".pdf");
    }
    EXPECT_EQ(ours, 2);
}

TEST(PdfFolderPrinter, AFolderThatIsALinkIsRefusedAndStalePartialFilesAreCleared) {
    TempDir dir;
    const std::string elsewhere = dir.path + "/elsewhere";
    fs::create_directory(elsewhere);
    fs::create_directory_symlink(elsewhere, dir.path + "/Wydruki");
    PdfFolderPrinter linked(dir.path + "/Wydruki");
    EXPECT_THROW(linked.beginDoc(), PrinterError);
    EXPECT_FALSE(linked.printing());
    EXPECT_TRUE(filesIn(elsewhere).empty());

    // A partial file that a killed run left goes; one being written right now stays.
    const std::string folder = dir.path + "/real";
    fs::create_directory(folder);
    PdfFolderPrinter writing(folder);
    writing.beginDoc();
    std::ofstream(folder + "/.zelmo-1234.pdf.part") << "left by kill -9";
    std::ofstream(folder + "/.hidden-by-the-user") << "kept";
    PdfFolderPrinter restarted(folder);
    const std::vector<std::string> left = filesIn(folder);
    EXPECT_EQ(left.size(), 2u);
    EXPECT_EQ(std::count(left.begin(), left.end(), ".zelmo-1234.pdf.part"), 0);
    EXPECT_EQ(std::count(left.begin(), left.end(), ".hidden-by-the-user"), 1);
    writing.endDoc();
    EXPECT_EQ(filesIn(folder).size(), 2u);
}

TEST(PdfFolderPrinter, IsA4At600DpiWithinAnOfficeLaserBorder) {
    PdfFolderPrinter printer("/nonexistent/Wydruki");
    PrinterCanvas* dc = printer.deviceContext();
    ASSERT_NE(dc, nullptr);
    const std::pair<DeviceCap, int> caps[] = {
        {DeviceCap::HorzRes, 4760},        {DeviceCap::VertRes, 6816},
        {DeviceCap::PhysicalWidth, 4960},  {DeviceCap::PhysicalHeight, 7016},
        {DeviceCap::PhysicalOffsetX, 100}, {DeviceCap::PhysicalOffsetY, 100},
        {DeviceCap::LogPixelsX, 600},      {DeviceCap::LogPixelsY, 600},
    };
    for (auto [cap, value] : caps)
        EXPECT_EQ(dc->deviceCaps(cap), value);
}

TEST(PdfFolderPrinter, AnUnwritableFolderIsThePrintersError) {
    PdfFolderPrinter printer("/proc/zelmo-cannot-be-here/Wydruki");
    EXPECT_THROW(printer.beginDoc(), PrinterError);
    EXPECT_FALSE(printer.printing());
}

// The address space this process has mapped, in bytes.
size_t mappedBytes() {
    std::ifstream status("/proc/self/status");
    std::string key;
    size_t kb = 0;
    while (status >> key)
        if (key == "VmSize:" && status >> kb) break;
    return kb * 1024;
}

// Prints a 3600-dpi raster page (156 MB) on the 600-dpi PDF printer with room for the two copies
// the interpreter makes but not a third; 0: printed, 1: refused with the printer's error and
// nothing left behind.
int printHugePageInTightMemory() {
    TempDir dir;
    PdfFolderPrinter pdf(dir.path);
    DeviceMetrics metrics;
    if (!queryDeviceMetrics(metrics, pdf)) return 3;
    const rlimit limit{mappedBytes() + (size_t{400} << 20), RLIM_INFINITY};
    setrlimit(RLIMIT_AS, &limit);
    const std::string job = "\x1b*t3600R\f";
    PclState state;
    PrintRequest request;
    std::atomic<TestPage> testMode{TestPage::None};
    std::atomic<bool> terminated{false};
    try {
        runJob(state, JobEnv{pdf, metrics, request, testMode, terminated,
                             reinterpret_cast<const uint8_t*>(job.data()), job.size()});
    } catch (const PrinterError&) {
        return filesIn(dir.path).empty() ? 1 : 4;
    }
    return filesIn(dir.path).size() == 1 ? 0 : 2;
}

TEST(PdfFolderPrinter, AHugePageInTightMemoryIsStreamedNotHeldAgain) {
    EXPECT_EXIT(std::_Exit(printHugePageInTightMemory()), ::testing::ExitedWithCode(0), "");
}

TEST(DefaultPrinter, WithoutACupsServerItIsThePdfFolder) {
    TempDir dir;
    const char* saved = getenv("CUPS_SERVER");
    const std::string old = saved ? saved : "";
    setenv("CUPS_SERVER", (dir.path + "/no-cups.sock").c_str(), 1);
    auto printer = openDefaultPrinter(dir.path + "/Wydruki");
    saved ? setenv("CUPS_SERVER", old.c_str(), 1) : unsetenv("CUPS_SERVER");
    ASSERT_NE(dynamic_cast<PdfFolderPrinter*>(printer.get()), nullptr);
    EXPECT_EQ(printer->printerName(), dir.path + "/Wydruki");
}

// --- StretchBlt on a PDF page against the simulated printer ---------------------------------

// At 72 dpi a device pixel is a PDF point, so the page size is exact. Margins on every side.
constexpr int kWidth = 200, kHeight = 120, kDpi = 72;
constexpr int kLeft = 10, kTop = 6, kRight = 4, kBottom = 8;

// Source pixel (x, y) of the test pattern is ink.
bool patternInk(int x, int y) {
    return (x * 3 + y * 5) % 7 < 3 || x == 0 || y == 0;
}

// A 13 x 7 monochrome bitmap (0 = black) or a bottom-up DIB whose colour 1 is black, both
// holding the pattern, selected into a memory DC.
struct Source {
    gdi::UniqueDc dc{gdi::createCompatibleDc(nullptr)};
    gdi::UniqueBitmap bitmap;
    gdi::Bitmap saved = nullptr;
    static constexpr int kW = 13, kH = 7;

    explicit Source(bool dib) {
        if (dib) {
            gdi::BitmapInfo info;
            info.biWidth = kW;
            info.biHeight = kH;
            info.colors[0] = {255, 255, 255, 0};
            info.colors[1] = {0, 0, 0, 0};
            void* bits = nullptr;
            bitmap.reset(gdi::createDibSection(nullptr, info, &bits));
            auto* rows = static_cast<uint8_t*>(bits);
            for (int y = 0; y < kH; ++y)  // bottom-up: buffer row 0 is the bottom
                for (int x = 0; x < kW; ++x)
                    if (patternInk(x, kH - 1 - y)) rows[y * 4 + x / 8] |= 0x80 >> (x % 8);
        } else {
            std::vector<uint8_t> rows(2 * kH, 0xFF);
            for (int y = 0; y < kH; ++y)
                for (int x = 0; x < kW; ++x)
                    if (patternInk(x, y)) rows[y * 2 + x / 8] &= ~(0x80 >> (x % 8));
            bitmap.reset(gdi::createBitmap(kW, kH, 1, 1, rows.data()));
        }
        saved = gdi::selectObject(dc.get(), bitmap.get());
    }
    ~Source() { gdi::selectObject(dc.get(), saved); }
};

struct Transfer {
    int dx, dy, dw, dh, sx, sy, sw, sh;
    Rop rop = Rop::SrcCopy;
};

struct StretchCase {
    const char* name;
    bool dib;
    std::vector<Transfer> transfers;
};

// Prints one page of the case's transfers on printer.
void printCase(Printer& printer, const StretchCase& c) {
    Source source(c.dib);
    printer.beginDoc();
    for (const Transfer& t : c.transfers)
        printer.deviceContext()->stretchBlt(t.dx, t.dy, t.dw, t.dh, source.dc.get(), t.sx, t.sy,
                                            t.sw, t.sh, t.rop);
    printer.endDoc();
}

// The two renderers every PDF reader and print filter here rests on.
enum class Renderer { Ghostscript, Poppler };

// Rasterises the only PDF in folder at the device resolution; false without the renderer.
bool rasterise(const std::string& folder, testing::Image& page,
               Renderer renderer = Renderer::Ghostscript) {
    const std::vector<std::string> files = filesIn(folder);
    if (files.size() != 1) return false;
    const std::string pdf = "'" + folder + "/" + files[0] + "'";
    const std::string dpi = std::to_string(kDpi);
    const std::string command =
        renderer == Renderer::Ghostscript
            ? "gs -q -dNOPAUSE -dBATCH -dSAFER -sDEVICE=pgmraw -r" + dpi + " -sOutputFile='" +
                  folder + "/page.pgm' " + pdf
            : "pdftoppm -gray -singlefile -r " + dpi + " " + pdf + " '" + folder + "/page'";
    const bool done =
        std::system(command.c_str()) == 0 && testing::readPnm(folder + "/page.pgm", page);
    std::remove((folder + "/page.pgm").c_str());
    return done;
}

TEST(PdfPrinterStretchBlt, PdfPagesMatchTheSimulatedPrinter) {
    if (std::system("gs --version >/dev/null 2>&1") != 0) GTEST_SKIP() << "Ghostscript missing";
    if (std::system("pdftoppm -v >/dev/null 2>&1") != 0) GTEST_SKIP() << "poppler-utils missing";
    const int W = Source::kW, H = Source::kH;
    const std::vector<StretchCase> cases = {
        {"one to one", false, {{20, 10, W, H, 0, 0, W, H}}},
        {"enlarged three times", false, {{20, 10, 3 * W, 3 * H, 0, 0, W, H}}},
        {"mirrored across", false, {{60, 10, -2 * W, 2 * H, 0, 0, W, H}}},
        {"mirrored down", false, {{20, 80, 2 * W, -2 * H, 0, 0, W, H}}},
        {"mirrored both ways", false, {{100, 90, -3 * W, -3 * H, 0, 0, W, H}}},
        {"inverted", false, {{20, 10, 3 * W, 3 * H, 0, 0, W, H, Rop::NotSrcCopy}}},
        {"bottom-up DIB", true, {{20, 10, 2 * W, 2 * H, 0, 0, W, H}}},
        {"DIB mirrored down", true, {{20, 90, 2 * W, -2 * H, 0, 0, W, H}}},
        {"part of the source", false, {{30, 30, 18, 8, 3, 2, 9, 4}}},
        {"enlarged by a fraction", false, {{20, 10, 2 * W + 7, 2 * H + 3, 0, 0, W, H}}},
        {"mirrored by a fraction", true, {{90, 80, -2 * W - 5, -H - 4, 0, 0, W, H}}},
        {"clipped at every edge",
         false,
         {{-5, -3, 3 * W, 3 * H, 0, 0, W, H}, {170, 95, 3 * W, 3 * H, 0, 0, W, H}}},
        {"white overwrites black",
         false,
         {{20, 10, 8 * W, 8 * H, 0, 0, W, H, Rop::NotSrcCopy}, {30, 20, 4 * W, 4 * H, 0, 0, W, H}}},
    };
    const SimulatedPrinterConfig config{kWidth, kHeight, kDpi, kLeft, kTop, kRight, kBottom};
    const PrinterGeometry geometry{kWidth, kHeight, kDpi, kDpi, kLeft, kTop, kRight, kBottom};
    for (const StretchCase& c : cases) {
        SCOPED_TRACE(c.name);
        SimulatedPrinter simulated(config);
        printCase(simulated, c);
        ASSERT_EQ(simulated.memory().printedSheets().size(), 1u);
        const Sheet& sheet = *simulated.memory().printedSheets()[0];

        // Images compressed whole, and row by row as the largest pages are.
        for (size_t wholeImageLimit : {size_t{1} << 20, size_t{0}}) {
            TempDir dir;
            PdfFolderPrinter pdf(dir.path, geometry);
            pdf.setWholeImageLimit(wholeImageLimit);
            printCase(pdf, c);
            for (Renderer renderer : {Renderer::Ghostscript, Renderer::Poppler}) {
                const char* by = renderer == Renderer::Ghostscript ? "gs" : "pdftoppm";
                testing::Image page;
                ASSERT_TRUE(rasterise(dir.path, page, renderer)) << by;
                ASSERT_EQ(page.width, kWidth);
                ASSERT_EQ(page.height, kHeight);
                int differences = 0;
                for (int y = 0; y < kHeight; ++y)
                    for (int x = 0; x < kWidth; ++x)
                        if (page.at(x, y) != sheet.black(x, y) && ++differences <= 5)
                            ADD_FAILURE() << by << " pixel (" << x << ", " << y << "): PDF "
                                          << page.at(x, y) << ", simulated " << sheet.black(x, y);
                EXPECT_EQ(differences, 0) << by << " " << wholeImageLimit;
            }
        }
        EXPECT_GT(sheet.blackCount(), 0);
    }
}

TEST(QtPrinterCanvas, VectorTestLinesAndTextReachThePage) {
    if (std::system("gs --version >/dev/null 2>&1") != 0) GTEST_SKIP() << "Ghostscript missing";
    TempDir dir;
    PdfFolderPrinter pdf(dir.path, {kWidth, kHeight, kDpi, kDpi, kLeft, kTop, kRight, kBottom});
    const int w = pdf.pageWidth(), h = pdf.pageHeight();
    // The vector test page itself, as the worker prints it.
    DeviceMetrics metrics;
    ASSERT_TRUE(queryDeviceMetrics(metrics, pdf));
    PclState state;
    PrintRequest request;
    std::atomic<TestPage> testMode{TestPage::Vector};
    std::atomic<bool> terminated{false};
    runJob(state, JobEnv{pdf, metrics, request, testMode, terminated});
    testing::Image page;
    ASSERT_TRUE(rasterise(dir.path, page));
    // The lines are six pixels wide across the printable area's middle.
    for (int d = -2; d <= 2; ++d) {
        EXPECT_TRUE(page.at(kLeft + w / 4, kTop + h / 2 + d));
        EXPECT_TRUE(page.at(kLeft + w / 2 + d, kTop + 3 * h / 4));
    }
    EXPECT_FALSE(page.at(kLeft + w / 4, kTop + h / 2 + 5));
    EXPECT_FALSE(page.at(kLeft + 3 * w / 4, kTop + 3 * h / 4));
    // The text starts at the printable area's corner and stays in its top band.
    int textInk = 0;
    for (int y = kTop; y < kTop + h / 2 - 4; ++y)
        for (int x = kLeft; x < kLeft + w / 2 - 4; ++x)
            textInk += page.at(x, y);
    EXPECT_GT(textInk, 20);
    // Nothing outside the printable area.
    for (int x = 0; x < kWidth; ++x)
        EXPECT_FALSE(page.at(x, kTop - 1));
}

// --- Text in the PDF, as the usual readers see it ------------------------------------------

// A layer of one line per string, each glyph 10 x 20 pixels, words parted by a glyph-wide gap.
TextLayer layerOf(const std::vector<std::u32string>& lines) {
    TextLayer layer;
    for (size_t l = 0; l < lines.size(); ++l) {
        const int top = 30 + 40 * static_cast<int>(l);
        TextLine line;
        line.first = static_cast<uint32_t>(layer.glyphs.size());
        for (size_t i = 0; i < lines[l].size(); ++i) {
            const int left = 20 + 10 * static_cast<int>(i);
            layer.glyphs.push_back({lines[l][i], {left, top, left + 10, top + 20}});
        }
        line.count = static_cast<uint32_t>(lines[l].size());
        line.box = {20, top, 20 + 10 * static_cast<int>(lines[l].size()), top + 20};
        line.baseline = top + 16;
        layer.lines.push_back(line);
    }
    return layer;
}

// What a command printed on its standard output.
std::string outputOf(const std::string& command) {
    std::string out;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char chunk[4096];
        while (size_t n = fread(chunk, 1, sizeof chunk, pipe))
            out.append(chunk, n);
        pclose(pipe);
    }
    return out;
}

TEST(PdfText, InvisibleWordsLieOverTheirGlyphsAndVisibleTextIsFoundToo) {
    if (std::system("pdftotext -v >/dev/null 2>&1") != 0) GTEST_SKIP() << "poppler-utils missing";
    TempDir dir;
    PdfFolderPrinter pdf(dir.path, {kWidth * 3, kHeight * 3, kDpi, kDpi, kLeft, kTop, 0, 0});
    pdf.setTitle("Kalvister II - wydruk.prn");
    pdf.beginDoc();
    pdf.deviceContext()->textLayer(layerOf({U"Faktura nr 12/2026", U"Zażółć gęślą jaźń"}));
    pdf.deviceContext()->textOutCells(20, 200, 12, 24, "Razem: 1 234,56 zł");
    pdf.endDoc();
    const std::string file = dir.path + "/" + filesIn(dir.path).at(0);

    const std::string text = outputOf("pdftotext -layout '" + file + "' -");
    for (const char* line : {"Faktura nr 12/2026", "Zażółć gęślą jaźń", "Razem: 1 234,56 zł"})
        EXPECT_NE(text.find(line), std::string::npos) << line << " in:\n" << text;

    // Each invisible word spans its glyphs across and its line down (points = pixels here).
    const std::string boxes = outputOf("pdftotext -bbox '" + file + "' -");
    const struct {
        const char* word;
        int first, count, line;
    } words[] = {{"Faktura", 0, 7, 0}, {"12/2026", 11, 7, 0}, {"gęślą", 7, 5, 1}};
    for (const auto& w : words) {
        const size_t at = boxes.find(std::string(">") + w.word + "<");
        ASSERT_NE(at, std::string::npos) << w.word;
        const size_t open = boxes.rfind("<word", at);
        double box[4];
        ASSERT_TRUE(readWordBox(boxes, open, box)) << w.word;
        const double xMin = box[0], yMin = box[1], xMax = box[2], yMax = box[3];
        const double top = kTop + 30 + 40 * w.line, left = kLeft + 20 + 10 * w.first;
        EXPECT_NEAR(xMin, left, 0.5) << w.word;
        EXPECT_NEAR(xMax, left + 10 * w.count, 0.5) << w.word;
        EXPECT_NEAR(yMin, top, 0.5) << w.word;
        EXPECT_NEAR(yMax, top + 20, 0.5) << w.word;
    }

    const std::string info = outputOf("pdfinfo '" + file + "'");
    EXPECT_NE(info.find("Title:           Kalvister II - wydruk.prn"), std::string::npos) << info;
    EXPECT_NE(info.find("Creator:         Zelmo"), std::string::npos) << info;
    EXPECT_NE(info.find("CreationDate:"), std::string::npos) << info;
}

// --- Text pages as glyphs --------------------------------------------------------------------

// A sheet at 600 dpi whose text page (300 dpi) is enlarged exactly twice.
const PrinterGeometry kGlyphSheet{2480, 3508, 600, 600, 0, 0, 0, 0};

// Runs a job on printer as the worker does.
void runOn(Printer& printer, const std::vector<uint8_t>& job) {
    printer.setTitle("Kalvister II - wydruk.prn");
    DeviceMetrics metrics;
    ASSERT_TRUE(queryDeviceMetrics(metrics, printer));
    PclState state;
    PrintRequest request;
    std::atomic<TestPage> testMode{TestPage::None};
    std::atomic<bool> terminated{false};
    runJob(state, JobEnv{printer, metrics, request, testMode, terminated, job.data(), job.size()});
}

// Every page of the only PDF in folder, rasterised at 600 dpi by renderer.
std::vector<testing::Image> rasteriseAll(const std::string& folder, Renderer renderer) {
    const std::string pdf = "'" + folder + "/" + filesIn(folder).at(0) + "'";
    const std::string command =
        renderer == Renderer::Ghostscript
            ? "gs -q -dNOPAUSE -dBATCH -dSAFER -sDEVICE=pgmraw -r600 -sOutputFile='" + folder +
                  "/page-%d.pgm' " + pdf
            : "pdftoppm -gray -r 600 " + pdf + " '" + folder + "/page'";
    std::vector<testing::Image> pages;
    if (std::system(command.c_str()) != 0) return pages;
    for (int n = 1;; ++n) {
        const std::string file = folder + "/page-" + std::to_string(n) + ".pgm";
        testing::Image page;
        if (!testing::readPnm(file, page)) break;
        std::remove(file.c_str());
        pages.push_back(std::move(page));
    }
    return pages;
}

// Glyph rows of width x height, 1 = ink where ink(x, y).
template <typename Ink>
std::vector<uint8_t> glyphRows(int width, int height, Ink ink) {
    const int rowBytes = (width + 7) / 8;
    std::vector<uint8_t> rows(static_cast<size_t>(rowBytes * height), 0);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            if (ink(x, y)) rows[static_cast<size_t>(y * rowBytes + x / 8)] |= 0x80 >> (x % 8);
    return rows;
}

// A font of two glyphs; 'A' is redefined in the middle of the line.
std::vector<uint8_t> redefiningJob() {
    JobBuilder job;
    job.esc("E").fontHeader(30, 24);
    job.glyph('A', 1, 28, 21, 28, glyphRows(21, 28, [](int x, int y) { return (x + y) % 5 < 2; }));
    job.glyph('B', -2, 20, 13, 30,
              glyphRows(13, 30, [](int x, int y) { return x < 3 || y % 7 == 0; }));
    job.esc("*p100x100Y").text("AB BA");
    job.glyph('A', 0, 28, 9, 9, glyphRows(9, 9, [](int, int) { return true; }));
    job.text("AAB").esc("*p0x0Y").text("BA").formFeed();
    return job.data();
}

// Text, then raster graphics on the same page.
std::vector<uint8_t> mixedJob() {
    JobBuilder job;
    job.esc("E").fontHeader(30, 24);
    job.glyph('A', 1, 28, 21, 28, glyphRows(21, 28, [](int x, int y) { return (x * y) % 3 == 0; }));
    job.esc("*p300x300Y").text("AAA");
    job.esc("*t300R").esc("*p280x360Y").esc("*b0M");
    for (int y = 0; y < 40; ++y)
        job.rasterRow({0xF0, static_cast<uint8_t>(y), 0x0F});
    job.formFeed();
    return job.data();
}

// Raster pages, each unlike the others: the PDF writer's compressors take one after another.
std::vector<uint8_t> rasterPagesJob() {
    JobBuilder job;
    job.esc("E").esc("*t300R").esc("*b0M");
    for (int page = 0; page < 4; ++page) {
        job.esc("*p" + std::to_string(100 + 60 * page) + "x" + std::to_string(80 * page) + "Y");
        for (int y = 0; y < 30; ++y)
            job.rasterRow({0xFF, static_cast<uint8_t>(page * 31 + y), 0xF0});
        job.formFeed();
    }
    return job.data();
}

TEST(PdfGlyphPages, EveryPageEqualsTheSheetInBothRenderersAndTextPagesAreGlyphs) {
    for (const char* tool : {"gs --version", "pdftoppm -v", "qpdf --version"})
        if (std::system((std::string(tool) + " >/dev/null 2>&1").c_str()) != 0)
            GTEST_SKIP() << tool << " missing";
    const struct {
        const char* name;
        std::vector<uint8_t> job;
        bool glyphs;  // a page of it goes as glyph runs
    } cases[] = {
        {"sample in two copies: raster page, then text, each again", sampleJob(2), true},
        {"a glyph redefined mid-page", redefiningJob(), true},
        {"text and raster on one page", mixedJob(), false},
        {"raster pages, each its own", rasterPagesJob(), false},
    };
    const PrinterGeometry& g = kGlyphSheet;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SimulatedPrinter simulated({g.width, g.height, g.dpiX, 0, 0, 0, 0});
        runOn(simulated, c.job);
        const std::vector<const Sheet*> sheets = simulated.memory().printedSheets();
        TempDir dir;
        PdfFolderPrinter pdf(dir.path, g);
        runOn(pdf, c.job);
        const std::string file = dir.path + "/" + filesIn(dir.path).at(0);
        std::ifstream in(file, std::ios::binary);
        const std::string bytes((std::istreambuf_iterator<char>(in)),
                                std::istreambuf_iterator<char>());
        EXPECT_EQ(bytes.find("/Subtype /Type3") != std::string::npos, c.glyphs);
        EXPECT_EQ(std::system(("qpdf --check '" + file + "' >/dev/null 2>&1").c_str()), 0);
        for (Renderer renderer : {Renderer::Ghostscript, Renderer::Poppler}) {
            const char* by = renderer == Renderer::Ghostscript ? "gs" : "pdftoppm";
            const std::vector<testing::Image> pages = rasteriseAll(dir.path, renderer);
            ASSERT_EQ(pages.size(), sheets.size()) << by;
            for (size_t n = 0; n < pages.size(); ++n) {
                const Sheet& sheet = *sheets[n];
                ASSERT_EQ(pages[n].width, sheet.width);
                ASSERT_EQ(pages[n].height, sheet.height);
                long differences = 0;
                for (int y = 0; y < sheet.height; ++y)
                    for (int x = 0; x < sheet.width; ++x)
                        differences += pages[n].at(x, y) != sheet.black(x, y);
                EXPECT_EQ(differences, 0) << by << " page " << n + 1;
                EXPECT_GT(sheet.blackCount(), 100);
            }
        }
    }
}

// A glyph's text is what the job's code page makes of its code, a letter above ASCII too.
TEST(PdfGlyphPages, TheGlyphsAreFoundByTheirCodePage) {
    if (std::system("pdftotext -v >/dev/null 2>&1") != 0) GTEST_SKIP() << "poppler-utils missing";
    const PrinterGeometry& g = kGlyphSheet;
    JobBuilder polish;
    polish.esc("E").fontHeader(30, 24);
    for (int code : {int{'A'}, 0xA5})
        polish.glyph(code, 1, 28, 21, 28, glyphRows(21, 28, [](int x, int) { return x < 4; }));
    polish.esc("*p100x100Y")
        .text(
            "A\xA5"
            "A")
        .formFeed();
    TempDir polishDir;
    PdfFolderPrinter polishPdf(polishDir.path, g);
    runOn(polishPdf, polish.data());
    const std::string polishText =
        outputOf("pdftotext '" + polishDir.path + "/" + filesIn(polishDir.path).at(0) + "' -");
    EXPECT_NE(polishText.find("Aą"), std::string::npos) << polishText;
}

}  // namespace
}  // namespace zelmo
