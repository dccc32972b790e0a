// A PDF file written front to back while its document grows: every object goes to the file as
// soon as it is made, so a document of any length holds one page in memory, and the
// cross-reference table closes the file at the end.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct libdeflate_compressor;
struct z_stream_s;

namespace zelmo::pdf {

// The entries of a ToUnicode map, gathered a hundred to a block as the CMap format allows.
class CMapBlocks {
  public:
    explicit CMapBlocks(const char* kind) : kind_(kind) {}
    // One entry, a line ending in a newline ("<0041> <0041>\n").
    void add(const std::string& entry);
    // The whole CMap of the entries, for codes from low to high ("<0000>", "<FFFF>").
    std::string cmap(const char* low, const char* high);

  private:
    void flush();

    const char* kind_;
    std::string blocks_;
    std::string block_;
    int inBlock_ = 0;
};

class ImagePool;
struct ImageJob;
class MonoFontUse;

// The next code point of UTF-8 text at i, advancing i; U+FFFD for a malformed sequence.
char32_t nextCodePoint(const std::string& text, size_t& i);

// The document's Info dictionary.
struct DocumentInfo {
    std::string title;
    std::string creator;
    std::string creationDate;  // "D:YYYYMMDDHHmmSS+hh'mm'"
};

// An invisible word: code points [first, first + length) of a page's text, over a box in the
// page's units.
struct InvisibleRun {
    size_t first = 0;
    size_t length = 0;
    double left = 0, baseline = 0, width = 0, height = 0;
};

// Appends numbers to a content stream in the locale-independent form PDF wants.
class ContentStream {
  public:
    ContentStream& operator<<(const char* text) {
        data_ += text;
        return *this;
    }
    ContentStream& operator<<(const std::string& text) {
        data_ += text;
        return *this;
    }
    ContentStream& operator<<(double value);
    ContentStream& operator<<(int value) { return *this << static_cast<double>(value); }
    // Four hex digits of a 16-bit value, inside a hex string.
    void hex16(unsigned value);
    const std::string& data() const { return data_; }
    void clear() { data_.clear(); }

  private:
    std::string data_;
};

class PdfWriter {
  public:
    // Writes into fd from its current position; the caller keeps it open and closes it.
    explicit PdfWriter(int fd);
    ~PdfWriter();
    PdfWriter(const PdfWriter&) = delete;
    PdfWriter& operator=(const PdfWriter&) = delete;

    // Starts a page of the given size in points; the content stream starts empty.
    void beginPage(double width, double height);
    ContentStream& content() { return content_; }
    // Writes a 1-bit image whose rows of (width + 7) / 8 bytes are in rows, top row first, and
    // returns its name for the page's content. A 1 bit is black when oneIsBlack. The image is
    // a stencil: its black pixels are painted in the fill colour, the others left as they are.
    std::string addImage(int width, int height, const uint8_t* rows, bool oneIsBlack);
    // The same for an image too large to hold twice: its rows are given one at a time, top row
    // first, between beginImage and endImage, and go to the file as they are compressed.
    std::string beginImage(int width, int height, bool oneIsBlack);
    void imageRow(const uint8_t* row);
    void endImage();
    // The name of Helvetica, or of Courier when monospaced, whose codes 0x80.. are the Polish
    // letters (see encodeText).
    std::string textFont(bool monospaced);
    // The name of the embedded monospaced font, or empty when the program's font cannot be read
    // (textFont(true) stands in then); a subset of it is written when the document ends.
    std::string monoFont();
    // UTF-8 text as a hex string of monoFont()'s glyphs, each glyph kept for the subset.
    std::string encodeMono(const std::string& utf8);
    // Draws runs of text as invisible, searchable text in the page's units (y grows downwards).
    void addInvisibleText(const std::vector<char32_t>& text, const std::vector<InvisibleRun>& runs);
    void endPage();
    // Whether the open page can be a copy of the page before it, and makes it one: the page
    // refers to that page's content and resources, whatever the open page was given.
    bool canRepeatPage() const;
    void repeatPage();
    // For fonts kept beside the writer: an object number to write later, an object's body, a
    // stream object (deflated when long enough), and a font the open page uses by name.
    int reserveObject() { return newObject(); }
    void writeObject(int number, const std::string& body);
    void writeStreamObject(int number, const std::string& data);
    void usePageFont(const std::string& name, int object);
    // Writes the page tree, the catalog, the Info dictionary and the cross-reference table.
    void finish(const DocumentInfo& info);

    // UTF-8 text as the codes of textFont(): ASCII as it is, Polish letters at 0x80.., anything
    // else '?'. Returned as a PDF string literal with its parentheses.
    static std::string encodeText(const std::string& utf8);

  private:
    int newObject();
    void beginObject(int number);
    void writeStream(int number, const std::string& dictionary, const uint8_t* data, size_t size,
                     bool compress);
    void writeStreamBody(int number, const std::string& dictionary, const uint8_t* body,
                         size_t length, bool deflated);
    void write(const void* data, size_t size);
    void write(const std::string& text) { write(text.data(), text.size()); }
    void flush();
    int invisibleFont();
    std::string pageResources() const;
    void writeMonoFont();

    int fd_;
    uint64_t offset_ = 0;
    std::vector<char> buffer_;
    size_t buffered_ = 0;
    std::vector<uint64_t> offsets_;  // by object number - 1; 0 while not yet written
    std::vector<int> pages_;
    int pagesObject_ = 0;
    int helvetica_ = 0;
    int courier_ = 0;
    int glyphless_ = 0;
    bool inPage_ = false;
    double pageWidth_ = 0, pageHeight_ = 0;
    std::string pageImages_;
    bool pageUsesText_ = false;
    bool pageUsesMono_ = false;
    bool pageUsesInvisible_ = false;
    std::string pageFonts_;  // fonts of others the page uses
    bool pageUsesEmbedded_ = false;
    std::unique_ptr<MonoFontUse> mono_;
    int monoObject_ = 0;
    ContentStream content_;
    bool repeating_ = false;
    int lastContents_ = 0;  // the content stream of the last page written, and its resources
    std::string lastResources_;
    std::vector<uint8_t> compressed_;
    void writeCompressed(std::unique_ptr<ImageJob> done);
    std::unique_ptr<ImageJob> spareJob();
    // Jobs the pool gave back, their buffers kept for the next pages.
    std::vector<std::unique_ptr<ImageJob>> spareJobs_;
    // Last: its threads stop before anything they could still hand back is gone.
    std::unique_ptr<ImagePool> pool_;
    struct CompressorDeleter {
        void operator()(libdeflate_compressor* c) const;
    };
    std::unique_ptr<libdeflate_compressor, CompressorDeleter> compressor_;
    // The streamed image in progress: its compressor, row size, and where its data began.
    struct StreamDeleter {
        void operator()(z_stream_s* stream) const;
    };
    std::unique_ptr<z_stream_s, StreamDeleter> stream_;
    size_t streamRowBytes_ = 0;
    uint64_t streamStart_ = 0;
    int streamLength_ = 0;
    std::vector<uint8_t> chunk_;
    void deflateChunks(int flush);
};

}  // namespace zelmo::pdf
