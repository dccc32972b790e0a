// A printer that prints onto memory: it records every printer-object call and composes each
// printed sheet at device resolution as a 1-bit image of the whole physical sheet.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <iosfwd>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/gdi.h"
#include "platform/outline_fonts.h"
#include "platform/printer.h"
#include "platform/text_layer.h"

namespace zelmo {

struct SimulatedPrinterConfig {
    int width = 2480;  // physical sheet, device pixels
    int height = 3508;
    int dpi = 300;
    int left = 0;  // unprintable margins, device pixels
    int top = 0;
    int right = 0;
    int bottom = 0;
    bool copiesCapable = false;
    bool hasDeviceMode = true;
    std::string name = "Zelmo Simulated Printer";
};

// A line of text the printer was given for a sheet (a page's text layer, or text in its own
// font), its box in sheet pixels.
struct SheetText {
    TextBox box;
    std::string text;  // UTF-8
};

// One printed sheet: 1 = black, most significant bit leftmost, rows of (width + 7) / 8 bytes,
// the layout of a binary PBM.
struct Sheet {
    int width = 0;
    int height = 0;
    int stride = 0;
    std::vector<uint8_t> bits;
    std::vector<SheetText> text;  // kept only when the printer records text

    bool black(int x, int y) const {
        return (bits[static_cast<size_t>(y) * stride + (x >> 3)] >> (7 - (x & 7))) & 1;
    }
    long blackCount() const;
    void reset(int w, int h);  // all white
};

// Where finished sheets go. Sheets of a document arrive as its pages end; when the document is
// aborted its sheets must be dropped.
class SheetSink {
  public:
    virtual ~SheetSink() = default;
    virtual void beginDocument(const std::string& title) = 0;
    virtual void sheet(const Sheet& sheet) = 0;  // once per copy the printer makes
    virtual void endDocument() = 0;
    virtual void abortDocument() = 0;
};

// The default sink: every document and its sheets, kept in memory.
class MemorySheets : public SheetSink {
  public:
    struct Document {
        std::string title;
        std::vector<Sheet> sheets;
        bool ended = false;
        bool aborted = false;
    };
    std::vector<Document> documents;

    void beginDocument(const std::string& title) override;
    void sheet(const Sheet& sheet) override;
    void endDocument() override;
    void abortDocument() override;
    // Sheets of ended documents, in print order.
    std::vector<const Sheet*> printedSheets() const;
};

class SimulatedPrinter : public Printer, private PrinterCanvas {
  public:
    explicit SimulatedPrinter(SimulatedPrinterConfig config = {});
    ~SimulatedPrinter() override;

    const SimulatedPrinterConfig& config() const { return config_; }
    bool canCopy() const override { return config_.copiesCapable; }
    PrinterCanvas* deviceContext() override;
    std::string printerName() override { return config_.name; }

    // Faults for tests: no printer at all while unavailable; a start-of-document hook that may
    // throw (it gets the number of documents begun before).
    void setAvailable(bool available) { available_ = available; }
    void setStartDocHook(std::function<void(int)> hook) { startDocHook_ = std::move(hook); }

    // What is recorded: the trace lines in memory, the same lines to a stream, and whether
    // sheets are composed at all (off: calls only, nothing drawn).
    void setRecordCalls(bool on) { recordCalls_ = on; }
    void setTraceStream(std::ostream* out) { trace_ = out; }
    void setComposeSheets(bool on) { compose_ = on; }
    void setSheetSink(SheetSink* sink) { sink_ = sink ? sink : &memory_; }
    // Whether the printer takes pages' text layers and keeps each sheet's text lines.
    void setRecordText(bool on) { recordText_ = on; }

    const std::vector<std::string>& calls() const { return calls_; }
    const MemorySheets& memory() const { return memory_; }
    int copyCount() const { return copyCount_; }  // the device mode's dmCopies
    int documentsBegun() const { return documentsBegun_; }

  protected:
    bool hasDeviceMode() const override { return config_.hasDeviceMode; }
    void startDoc(const std::string& title) override;
    void startPage() override;
    void endPage() override;
    void finishDoc() override;
    void abortDoc() override;
    void applyCopies(short count) override;

  private:
    int deviceCaps(DeviceCap cap) const override;
    void watchStop(const std::atomic<bool>* request) override { stop_ = request; }
    void stretchBlt(int dx, int dy, int dw, int dh, gdi::Dc src, int sx, int sy, int sw, int sh,
                    Rop rop) override;
    void setPenWidth(int width) override;
    void moveTo(int x, int y) override;
    void lineTo(int x, int y) override;
    void textOut(int x, int y, const std::string& text) override;
    bool wantsTextLayer() const override { return recordText_; }
    void textLayer(const TextLayer& layer) override;
    void textOutCells(int x, int y, int cellWidth, int cellHeight,
                      const std::string& text) override;

    // One stretch, clipped to the printable area: steps [xLo, xHi] and [yLo, yHi] of the
    // destination are visible; the sheet pixel of step (i, j) is origin + step * (i, j).
    struct Stretch {
        gdi::BitmapView view;
        int sx, sy, sw, sh;
        int nx, ny, stepX, stepY;
        int xLo = 0, xHi = 0, yLo = 0, yHi = 0;
        int inkBit = 0;
        bool invert = false;
        int left = 0;  // sheet column of the leftmost visible pixel
        int originX = 0, originY = 0;
    };
    struct Scratch;

    void record(const std::string& line);
    void fillRect(int x0, int y0, int x1, int y1);  // device coordinates, half-open, clipped
    void drawCells(int x, int y, int cellWidth, int cellHeight, const std::string& text);
    void newSheet();
    void clearBlankSheet();
    void clearOutside(int rowA, int rowB, int left, int count);
    void stretchRows(const Stretch& st);
    void composeLine(const Stretch& st, int from, int to, bool oneToOne);

    SimulatedPrinterConfig config_;
    std::atomic<bool> available_{true};
    std::function<void(int)> startDocHook_;
    bool recordCalls_ = true;
    std::ostream* trace_ = nullptr;
    bool compose_ = true;
    const std::atomic<bool>* stop_ = nullptr;
    bool recordText_ = false;
    MemorySheets memory_;
    SheetSink* sink_ = &memory_;
    std::vector<std::string> calls_;
    Sheet sheet_;
    bool sheetBlank_ = false;  // sheet_ is white, whatever its bits say
    std::unique_ptr<Scratch> scratch_;
    bool docAborted_ = false;
    int copyCount_ = 1;
    int documentsBegun_ = 0;
    std::unordered_map<uint64_t, OutlineGlyph> cellGlyphs_;  // monospaced text's glyphs
    int penWidth_ = 1;
    int penX_ = 0;
    int penY_ = 0;
};

}  // namespace zelmo
