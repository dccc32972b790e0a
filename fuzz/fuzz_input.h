// How a fuzz input becomes a print run, shared by the fuzz targets and the regression test, so a
// saved input replays exactly as the fuzzer ran it.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <new>
#include <string>

#include "output/device_metrics.h"
#include "pcl/interpreter.h"
#include "pcl/pcl5_raster.h"
#include "pcl/raster_compression.h"
#include "platform/errors.h"
#include "platform/gdi.h"
#include "printers/simulated/simulated_printer.h"

namespace zelmo::fuzz {

// Bytes at the front of a runJob input that choose the printer and the settings.
constexpr std::size_t kSettingsBytes = 8;
// The job's own sheet limit, lowered from the product's: copies are clamped and sheets capped
// by the interpreter as in the monitor, but a page at the largest raster size costs a quarter
// of a gigabyte (about a second under the sanitizers) per copy, and thousands of those would
// make every run a timeout.
constexpr int32_t kMaxSheets = 16;
// Sheets composed and read in full per run; past them the printer only takes the calls.
constexpr int kComposedSheets = 4;

// Reads bytes from the front of an input; past its end every byte reads as 0.
struct Reader {
    const uint8_t* data;
    std::size_t size;
    std::size_t pos = 0;

    uint8_t byte() { return pos < size ? data[pos++] : 0; }
    uint16_t u16() { return static_cast<uint16_t>(byte() << 8 | byte()); }
    int16_t i16() { return static_cast<int16_t>(u16()); }
};

// Counts documents and the sheets composed; reads the first sheets whole and then lets the
// printer stop composing, so that only the interpreter's own work is left to run.
class CountingSink : public SheetSink {
  public:
    explicit CountingSink(SimulatedPrinter& printer) : printer_(printer) {}
    void beginDocument(const std::string&) override { ++documents; }
    void sheet(const Sheet& s) override {
        // Reading every byte lets the sanitizers see a sheet that was composed wrongly.
        for (uint8_t b : s.bits)
            ink += b;
        if (++sheets >= kComposedSheets) printer_.setComposeSheets(false);
    }
    void endDocument() override { ++ended; }
    void abortDocument() override { ++aborted; }

    int documents = 0, sheets = 0, ended = 0, aborted = 0;
    uint64_t ink = 0;

  private:
    SimulatedPrinter& printer_;
};

// What a run left behind; everything must be released and no document left open.
struct Outcome {
    int documents = 0;
    int sheets = 0;  // sheets composed (the first kComposedSheets at most, copier's included)
    bool printing = false;
    int liveObjectsLeft = 0;
    int pagesSent = 0;  // printer pages the job sent, every copy it sent counted
    int aborted = 0;
};

// The first byte of a runJob input: bits 0-1 the engine, bit 2 single mode, bit 3 the copies
// capability, bit 4 no device mode, and with bit 7 set, bits 5-6 a test page instead of the job.
enum SettingsFlags : uint8_t {
    kSingleMode = 0x04,
    kCopiesCapable = 0x08,
    kNoDeviceMode = 0x10,
    kTestPage = 0x80,
};

// The printer a runJob input chooses: its flags, then a sheet and margins from the next bytes.
inline SimulatedPrinterConfig printerFor(Reader& in) {
    static const int kSheets[][3] = {{200, 300, 75},   {300, 450, 300}, {640, 480, 100},
                                     {850, 1100, 100}, {406, 609, 203}, {1275, 1650, 150}};
    SimulatedPrinterConfig c;
    uint8_t flags = in.byte();
    const int* sheet = kSheets[in.byte() % 6];
    c.width = sheet[0];
    c.height = sheet[1];
    c.dpi = sheet[2];
    int margin = in.byte() % 16;
    c.left = margin & 3 ? margin : 0;
    c.top = margin & 4 ? margin : 0;
    c.right = margin & 8 ? margin : 0;
    c.bottom = margin;
    c.copiesCapable = flags & kCopiesCapable;
    c.hasDeviceMode = !(flags & kNoDeviceMode);
    return c;
}

// runJob on the simulated printer: engine, single mode, copies capability and offsets come from
// the input's first kSettingsBytes bytes, the job is the rest.
inline Outcome runJobInput(const uint8_t* data, std::size_t size) {
    Reader in{data, size};
    uint8_t flags = size > 0 ? data[0] : 0;
    SimulatedPrinter printer(printerFor(in));
    PrintRequest request;
    static const int32_t kEngines[] = {EngineDefault, EngineAlternative, EngineHP845c, 7};
    request.engine = kEngines[flags & 3];
    request.singleMode = flags & kSingleMode ? 1 : 0;
    request.offsetX = in.i16() % 10000;
    request.offsetY = in.i16() % 10000;
    // Bit 0: the printer takes text layers; bits 1-3: the code page (5-7 read as the default).
    uint8_t text = in.byte();
    request.codePage = (text >> 1) & 7;
    // Bit 4: judged first, as the worker does; otherwise the junk reaches the interpreter.
    request.judgeFirst = text & 0x10;
    std::size_t start = std::min(size, kSettingsBytes);

    int before = gdi::liveObjectCount();
    std::atomic<bool> terminated{false};
    std::atomic<TestPage> testMode{flags & kTestPage ? static_cast<TestPage>((flags >> 5) & 3)
                                                     : TestPage::None};
    CountingSink sink(printer);
    int pagesSent = 0;
    printer.setRecordCalls(false);
    printer.setRecordText(text & 1);
    printer.setSheetSink(&sink);
    printer.setTitle("Kalvister II - wydruk.prn");
    DeviceMetrics metrics;
    queryDeviceMetrics(metrics, printer);
    {
        PclState state;
        JobEnv env{printer,    metrics,      request,      testMode,
                   terminated, data + start, size - start, kMaxSheets};
        try {
            runJob(state, env);
        } catch (const ZelmoError&) {
            // The worker shows these; the job's clean-up has run.
        } catch (const std::bad_alloc&) {
            // The same, for memory refused by the sanitizer's allocator limit.
        }
        pagesSent = state.pagesPrinted;
    }
    return Outcome{sink.documents, sink.sheets, printer.printing(), gdi::liveObjectCount() - before,
                   pagesSent,      sink.aborted};
}

// The raster row and soft-font decoders alone, driven by a sequence of operations: 0 raster
// row, 1 font header, 2 character download, 3 draw a character; each takes its fields from the
// bytes after it, and the data it announces follows.
inline Outcome runDecoderInput(const uint8_t* data, std::size_t size) {
    Reader in{data, size};
    int before = gdi::liveObjectCount();
    {
        PclState s;
        PrintRequest request;
        request.engine = in.byte() % 3;
        DeviceMetrics metrics;
        metrics.dpiX = metrics.dpiY = 100;
        metrics.physWidth = metrics.horzRes = 850;
        metrics.physHeight = metrics.vertRes = 1100;
        resetPageSurface(s, request);
        s.job = data;
        s.jobEnd = size;
        s.glyphTable.glyphCount = 0;
        s.glyphTable.firstIndex.fill(kNoGlyph);
        s.rasterDpi = 25 * (1 + in.byte() % 12);
        s.rasterMode = true;
        createRasterPage(s, metrics, request);
        s.rasterMode = false;
        createTextPage(s, metrics);
        while (in.pos < size) {
            switch (in.byte() % 4) {
                case 0:
                    // Every method, and one past them that transfers nothing.
                    s.compression = static_cast<int16_t>(in.byte() % (kRasterCompressionCount + 1));
                    s.rasterX = in.u16();
                    s.rasterRow = in.u16();
                    s.paramValue = in.u16();
                    if (!transferRasterRow(s, in.pos)) in.pos = size;
                    break;
                case 1:
                    s.paramValue = in.byte();
                    readFontHeader(s, in.pos);
                    break;
                case 2:
                    s.pendingCharCode = in.byte();
                    s.paramValue = in.u16();
                    downloadGlyph(s, in.pos);
                    break;
                case 3:
                    if (const GlyphEntry* g = findGlyph(s, in.byte())) {
                        s.cursorX = in.i16();
                        s.cursorY = in.i16();
                        drawGlyph(s, *g);
                    }
                    break;
            }
        }
        releasePageSurfaces(s);
    }
    return Outcome{0, 0, false, gdi::liveObjectCount() - before};
}

// Reads every byte of every row the PCL 5 raster decoder makes, so a row shorter than it says,
// or one read out of bounds, is caught; rows past a page's worth stop the decoding.
struct RowReader : RasterRowSink {
    std::size_t expected = 0, rows = 0;
    unsigned sum = 0;
    bool row(const uint8_t* bits, std::size_t bytes) override {
        if (bytes != expected) std::abort();
        for (std::size_t i = 0; i < bytes; ++i)
            sum += bits[i];
        return ++rows < 20000;
    }
    void skipRows(std::size_t count) override { rows += count; }
};

// The PCL 5 raster decoder alone: operations of a row width (a new raster) or a transfer in a
// method (0 to 6, 4 and 6 unknown) of a 16-bit count of the bytes that follow.
inline Outcome runPcl5RasterInput(const uint8_t* data, std::size_t size) {
    Reader in{data, size};
    RasterDecoder decoder;
    RowReader sink;
    decoder.start(1 + in.byte());
    sink.expected = decoder.rowBytes();
    while (in.pos < size) {
        const uint8_t op = in.byte();
        if (op >= 0xF0) {
            decoder.start(in.u16() % 2048);
            sink.expected = decoder.rowBytes();
            continue;
        }
        const std::size_t count = std::min<std::size_t>(in.u16(), size - in.pos);
        decoder.transfer(op % 7, data + in.pos, count, sink);
        in.pos += count;
    }
    return Outcome{0, 0, false, 0};
}

}  // namespace zelmo::fuzz
