// The three test pages: lines and text on the printer's canvas, a monochrome bitmap sent as
// EngineDefault sends raster pages, and a DIB section sent as the other engines do.
#include <cmath>
#include <cstring>

#include "output/page_output.h"
#include "platform/printer.h"

namespace zelmo {
namespace {

constexpr int32_t kTestDpi = 150;

// A test page prints one copy whatever the last job asked the printer for.
void oneCopy(Printer& printer) {
    if (printer.canCopy()) printer.setCopies(1);
}

int32_t sheetSide(int32_t deviceDpi, int32_t deviceSize) {
    return static_cast<int32_t>(std::trunc(static_cast<double>(kTestDpi) / deviceDpi * deviceSize));
}

// Stretches the bitmap over the printable area, as a one-page document of its own.
void printPicture(const JobEnv& env, gdi::Bitmap picture, int32_t width, int32_t height, Rop rop) {
    Printer& printer = env.printer;
    printer.beginDoc();
    {
        gdi::UniqueDc memory(gdi::createCompatibleDc(nullptr));
        gdi::selectObject(memory.get(), picture);
        if (PrinterCanvas* dc = printer.deviceContext()) {
            dc->stretchBlt(0, 0, env.metrics.horzRes, env.metrics.vertRes, memory.get(), 0, 0,
                           width, height, rop);
        }
    }
    printer.endDoc();
}

}  // namespace

void drawRowLine(uint8_t* bits, int32_t rowBytes, int32_t row) {
    std::memset(bits + static_cast<std::ptrdiff_t>(row) * rowBytes, 0xFF,
                static_cast<size_t>(rowBytes));
}

void drawColumnLine(uint8_t* bits, int32_t rowBytes, int64_t pageBytes, int32_t column) {
    if (rowBytes <= 0) return;
    // Assigned, not combined: the other seven pixels of the byte take the background.
    for (int64_t at = column / 8; at < pageBytes; at += rowBytes)
        bits[at] = static_cast<uint8_t>(1 << (column % 8));
}

void printVectorTest(PclState&, const JobEnv& env) {
    Printer& printer = env.printer;
    oneCopy(printer);
    int w = printer.pageWidth();
    int h = printer.pageHeight();
    printer.beginDoc();
    if (PrinterCanvas* dc = printer.deviceContext()) {
        dc->setPenWidth(6);
        dc->moveTo(0, h / 2);
        dc->lineTo(2 * (w / 2), h / 2);
        dc->moveTo(w / 2, 0);
        dc->lineTo(w / 2, 2 * (h / 2));
        dc->textOut(0, 0, "Test wektorowy");
    }
    printer.endDoc();
}

void printBitmapTest(PclState& s, const JobEnv& env) {
    oneCopy(env.printer);
    s.rasterDpi = kTestDpi;
    s.useDib = false;
    createRasterPage(s, env.metrics, env.request);
    RasterPage& page = s.surface.raster;
    if (!page.pageBits) return;  // no buffer, no page: nothing is written or printed
    std::memset(page.pageBits, 0, static_cast<size_t>(page.pageBytes));
    drawRowLine(page.pageBits, page.rowBytes, page.pageHeight / 2);
    drawColumnLine(page.pageBits, page.rowBytes, page.pageBytes, page.pageWidth / 2);
    {
        gdi::UniqueBitmap picture(
            gdi::createBitmap(page.pageWidth, page.pageHeight, 1, 1, page.pageBits));
        if (picture)
            printPicture(env, picture.get(), page.pageWidth, page.pageHeight, Rop::NotSrcCopy);
    }
    page.ownedBits.reset();
    page.pageBits = nullptr;
}

void printBitmapDiTest(PclState& s, const JobEnv& env) {
    oneCopy(env.printer);
    RasterPage& page = s.surface.raster;
    page.pageWidth = sheetSide(env.metrics.dpiX, env.metrics.physWidth);
    page.pageHeight = sheetSide(env.metrics.dpiY, env.metrics.physHeight);
    gdi::BitmapInfo info;
    info.biWidth = page.pageWidth;
    info.biHeight = page.pageHeight;  // bottom-up
    info.biClrUsed = 2;
    info.colors[0] = {255, 255, 255, 0};  // the reverse of the job's sections: 0 is white
    info.colors[1] = {0, 0, 0, 0};
    page.rowBytes = ((page.pageWidth + 31) / 32) * 4;
    page.pageBytes = int64_t{page.rowBytes} * page.pageHeight;
    void* memory = nullptr;
    gdi::UniqueBitmap section(gdi::createDibSection(nullptr, info, &memory));
    if (!section || !memory) return;
    auto* bits = static_cast<uint8_t*>(memory);
    std::memset(bits, 0, static_cast<size_t>(page.pageBytes));
    drawRowLine(bits, page.rowBytes, page.pageHeight / 3);
    drawRowLine(bits, page.rowBytes, (2 * page.pageHeight) / 3);
    drawColumnLine(bits, page.rowBytes, page.pageBytes, page.pageWidth / 2);
    printPicture(env, section.get(), page.pageWidth, page.pageHeight, Rop::SrcCopy);
}

}  // namespace zelmo
