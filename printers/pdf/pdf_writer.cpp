// The streaming PDF writer: objects to the file as they come, images compressed with Group 4 or
// Deflate straight from their 1-bit rows, and invisible text over a font that draws nothing.
#include "printers/pdf/pdf_writer.h"

#include <libdeflate.h>
#include <unistd.h>
#include <zlib.h>

#include <cerrno>
#include <charconv>
#include <cstring>

#include <new>

#include "platform/errors.h"
#include "printers/pdf/image_pool.h"
#include "printers/pdf/mono_text.h"

namespace zelmo::pdf {

// Adds an entry, starting a new block after every hundred.
void CMapBlocks::add(const std::string& entry) {
    block_ += entry;
    if (++inBlock_ == 100) flush();
}

// Closes the open block, if it holds anything.
void CMapBlocks::flush() {
    if (inBlock_ == 0) return;
    blocks_ += std::to_string(inBlock_) + " begin" + kind_ + "\n" + block_ + "end" + kind_ + "\n";
    block_.clear();
    inBlock_ = 0;
}

std::string CMapBlocks::cmap(const char* low, const char* high) {
    flush();
    return std::string(
               "/CIDInit /ProcSet findresource begin\n12 dict begin\nbegincmap\n"
               "/CIDSystemInfo << /Registry (Adobe) /Ordering (UCS) /Supplement 0 >> def\n"
               "/CMapName /Adobe-Identity-UCS def\n/CMapType 2 def\n"
               "1 begincodespacerange\n") +
           low + " " + high + "\nendcodespacerange\n" + blocks_ +
           "endcmap\nCMapName currentdict /CMap defineresource pop\nend\nend\n";
}
namespace {

constexpr size_t kBufferSize = 1 << 16;
// Below this a content stream is written as it is: compressing it would save nothing.
constexpr size_t kCompressFrom = 256;
// Deflate level: libdeflate at 6 is as small as zlib at its default and several times faster.
constexpr int kDeflateLevel = 6;
// Page images compress on this many threads while the interpreter goes on.
constexpr int kDeflateThreads = 2;
// The buffers a finished image job may keep for the next page: a 600-dpi sheet's, in and out.
constexpr size_t kSpareJobBytes = size_t{16} << 20;

// The Polish letters at codes 0x80.. of the text font, and their glyph names.
struct PolishLetter {
    char32_t code;
    const char* glyph;
};
constexpr PolishLetter kPolish[] = {
    {0x104, "Aogonek"},    {0x105, "aogonek"},    {0x106, "Cacute"}, {0x107, "cacute"},
    {0x118, "Eogonek"},    {0x119, "eogonek"},    {0x141, "Lslash"}, {0x142, "lslash"},
    {0x143, "Nacute"},     {0x144, "nacute"},     {0xD3, "Oacute"},  {0xF3, "oacute"},
    {0x15A, "Sacute"},     {0x15B, "sacute"},     {0x179, "Zacute"}, {0x17A, "zacute"},
    {0x17B, "Zdotaccent"}, {0x17C, "zdotaccent"},
};

}  // namespace

char32_t nextCodePoint(const std::string& text, size_t& i) {
    const auto lead = static_cast<unsigned char>(text[i++]);
    if (lead < 0x80) return lead;
    const int extra = lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : lead >= 0xC0 ? 1 : -1;
    if (extra < 0) return 0xFFFD;
    char32_t code = lead & (0x3F >> extra);
    for (int k = 0; k < extra; ++k) {
        if (i >= text.size() || (static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) return 0xFFFD;
        code = (code << 6) | (static_cast<unsigned char>(text[i++]) & 0x3F);
    }
    return code;
}

namespace {

// A text string of the Info dictionary: UTF-16BE with its byte order mark, in hex.
std::string infoString(const std::string& utf8) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string out = "<FEFF";
    auto unit = [&](unsigned u) {
        for (int shift = 12; shift >= 0; shift -= 4)
            out += kHex[(u >> shift) & 0xF];
    };
    for (size_t i = 0; i < utf8.size();) {
        char32_t c = nextCodePoint(utf8, i);
        if (c >= 0x10000 && c <= 0x10FFFF) {
            c -= 0x10000;
            unit(0xD800 + static_cast<unsigned>(c >> 10));
            unit(0xDC00 + static_cast<unsigned>(c & 0x3FF));
        } else {
            unit(c > 0xFFFF ? 0xFFFD : static_cast<unsigned>(c));
        }
    }
    return out + ">";
}

// The ToUnicode map of the invisible font: each two-byte code is its own code point.
std::string identityToUnicode() {
    CMapBlocks ranges("bfrange");
    static const char kHex[] = "0123456789ABCDEF";
    for (int high = 0; high < 256; ++high) {
        if (high >= 0xD8 && high <= 0xDF) continue;  // surrogates are no characters
        const std::string h{kHex[high >> 4], kHex[high & 0xF]};
        ranges.add("<" + h + "00> <" + h + "FF> <" + h + "00>\n");
    }
    return ranges.cmap("<0000>", "<FFFF>");
}

// Deflates size bytes of data into out, grown as needed; returns the code's length.
size_t deflateInto(libdeflate_compressor* compressor, const uint8_t* data, size_t size,
                   std::vector<uint8_t>& out) {
    const size_t bound = libdeflate_zlib_compress_bound(compressor, size);
    if (out.size() < bound) out.resize(bound);
    const size_t length = libdeflate_zlib_compress(compressor, data, size, out.data(), out.size());
    if (length == 0) throw PrinterError("Cannot compress a PDF stream");
    return length;
}

// The invisible font's ToUnicode map, deflated: the same in every document, so made once for
// the process (empty when it could not be).
const std::vector<uint8_t>& deflatedIdentityToUnicode() {
    static const std::vector<uint8_t> code = [] {
        std::vector<uint8_t> out;
        const std::string cmap = identityToUnicode();
        libdeflate_compressor* compressor = libdeflate_alloc_compressor(kDeflateLevel);
        if (!compressor) return out;
        try {
            out.resize(deflateInto(compressor, reinterpret_cast<const uint8_t*>(cmap.data()),
                                   cmap.size(), out));
        } catch (const PrinterError&) {
            out.clear();
        }
        libdeflate_free_compressor(compressor);
        return out;
    }();
    return code;
}

// A page image as a stencil painting its black pixels in the fill colour: poppler smooths a
// 1-bit image drawn below four times its size, but never a stencil. A stencil paints where
// its bit is 0 unless a Decode array swaps that.
std::string imageDictionary(int width, int height, bool oneIsBlack) {
    return " /Type /XObject /Subtype /Image /Width " + std::to_string(width) + " /Height " +
           std::to_string(height) + " /ImageMask true /BitsPerComponent 1" +
           (oneIsBlack ? " /Decode [1 0]" : "");
}

// An indirect reference to object.
std::string ref(int object) {
    return std::to_string(object) + " 0 R";
}

}  // namespace

// A number with at most six decimals, without trailing zeros, and a space.
ContentStream& ContentStream::operator<<(double value) {
    char text[32];
    auto result = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, 6);
    char* end = result.ptr;
    // Trailing zeros (and a bare point) say nothing.
    while (end > text && end[-1] == '0')
        --end;
    if (end > text && end[-1] == '.') --end;
    if (end == text || (end - text == 1 && text[0] == '-')) *end++ = '0';
    data_.append(text, end);
    data_ += ' ';
    return *this;
}

// Four upper-case hex digits.
void ContentStream::hex16(unsigned value) {
    static const char kHex[] = "0123456789ABCDEF";
    for (int shift = 12; shift >= 0; shift -= 4)
        data_ += kHex[(value >> shift) & 0xF];
}

// Frees the libdeflate compressor.
void PdfWriter::CompressorDeleter::operator()(libdeflate_compressor* c) const {
    libdeflate_free_compressor(c);
}

// Starts the file: header, and the page tree's object number.
PdfWriter::PdfWriter(int fd) : fd_(fd), buffer_(kBufferSize) {
    compressor_.reset(libdeflate_alloc_compressor(kDeflateLevel));
    if (!compressor_) throw PrinterError("Cannot start a PDF document: out of memory");
    // A binary comment line tells transfer programs that the file is not text.
    write("%PDF-1.5\n%\xE2\xE3\xCF\xD3\n");
    pagesObject_ = newObject();
}

PdfWriter::~PdfWriter() = default;

// A new object number; its offset is filled in when it is written.
int PdfWriter::newObject() {
    offsets_.push_back(0);
    return static_cast<int>(offsets_.size());
}

// Notes the object's offset and writes its header.
void PdfWriter::beginObject(int number) {
    offsets_[static_cast<size_t>(number - 1)] = offset_;
    write(std::to_string(number) + " 0 obj\n");
}

// Appends bytes to the file through the buffer.
void PdfWriter::write(const void* data, size_t size) {
    const auto* bytes = static_cast<const char*>(data);
    offset_ += size;
    while (size > 0) {
        if (buffered_ == buffer_.size()) flush();
        const size_t n = std::min(size, buffer_.size() - buffered_);
        std::memcpy(buffer_.data() + buffered_, bytes, n);
        buffered_ += n;
        bytes += n;
        size -= n;
    }
}

// Writes the buffer out; a failed write is the printer's error.
void PdfWriter::flush() {
    size_t done = 0;
    while (done < buffered_) {
        const ssize_t n = ::write(fd_, buffer_.data() + done, buffered_ - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            const int error = n < 0 ? errno : ENOSPC;
            throw PrinterError(
                std::string("Cannot write the PDF document: ") + std::strerror(error),
                troubleOfErrno(error));
        }
        done += static_cast<size_t>(n);
    }
    buffered_ = 0;
}

// A stream object, deflated when asked.
void PdfWriter::writeStream(int number, const std::string& dictionary, const uint8_t* data,
                            size_t size, bool compress) {
    if (!compress) {
        writeStreamBody(number, dictionary, data, size, false);
        return;
    }
    const size_t length = deflateInto(compressor_.get(), data, size, compressed_);
    writeStreamBody(number, dictionary, compressed_.data(), length, true);
}

// A stream object whose body is given as it goes into the file: deflated already or plain.
void PdfWriter::writeStreamBody(int number, const std::string& dictionary, const uint8_t* body,
                                size_t length, bool deflated) {
    beginObject(number);
    write("<<" + dictionary + (deflated ? " /Filter /FlateDecode" : "") + " /Length " +
          std::to_string(length) + " >>\nstream\n");
    write(body, length);
    write("\nendstream\nendobj\n");
}

// Starts a page with an empty content stream.
void PdfWriter::beginPage(double width, double height) {
    inPage_ = true;
    pageWidth_ = width;
    pageHeight_ = height;
    pageImages_.clear();
    pageUsesText_ = pageUsesMono_ = pageUsesInvisible_ = pageUsesEmbedded_ = false;
    pageFonts_.clear();
    content_.clear();
    repeating_ = false;
}

// A 1-bit image compressed whole on a background thread.
std::string PdfWriter::addImage(int width, int height, const uint8_t* rows, bool oneIsBlack) {
    const size_t size = static_cast<size_t>((width + 7) / 8) * static_cast<size_t>(height);
    const int number = newObject();
    const std::string name = "Im" + std::to_string(number);
    pageImages_ += " /" + name + " " + ref(number);
    if (!pool_) pool_ = std::make_unique<ImagePool>(kDeflateThreads, kDeflateLevel);
    // Objects may lie in any order in the file: finished images are written as they come.
    while (std::unique_ptr<ImageJob> done = pool_->take(pool_->full()))
        writeCompressed(std::move(done));
    std::unique_ptr<ImageJob> job = spareJob();
    job->object = number;
    job->width = width;
    job->height = height;
    job->oneIsBlack = oneIsBlack;
    job->dictionary = imageDictionary(width, height, oneIsBlack);
    // The caller reuses its rows at once: the job compresses a copy of its own.
    job->input.assign(rows, rows + size);
    pool_->submit(std::move(job));
    return name;
}

// A job to fill: one the pool gave back, its buffers kept, or a new one.
std::unique_ptr<ImageJob> PdfWriter::spareJob() {
    if (spareJobs_.empty()) return std::make_unique<ImageJob>();
    std::unique_ptr<ImageJob> job = std::move(spareJobs_.back());
    spareJobs_.pop_back();
    job->filter.clear();
    job->length = 0;
    job->error = nullptr;
    return job;
}

// Writes an image the pool compressed, then keeps the job for the next image; its failure is
// the printer's error.
void PdfWriter::writeCompressed(std::unique_ptr<ImageJob> done) {
    const ImageJob& job = *done;
    if (job.error) {
        try {
            std::rethrow_exception(job.error);
        } catch (const std::bad_alloc&) {
            throw PrinterError("Not enough memory to compress a page");
        } catch (const std::exception& e) {
            throw PrinterError(e.what());
        }
    }
    beginObject(job.object);
    write("<<" + job.dictionary + job.filter + " /Length " + std::to_string(job.length) +
          " >>\nstream\n");
    write(job.output.data(), job.length);
    write("\nendstream\nendobj\n");
    // As many as can be in the pool at once, and the one being filled; a job of a huge page
    // gives its memory back instead.
    const size_t held = job.input.capacity() + job.output.capacity();
    if (spareJobs_.size() <= size_t{kDeflateThreads} && held <= kSpareJobBytes)
        spareJobs_.push_back(std::move(done));
}

// Opens a row-by-row image object; its length follows it as an object of its own.
std::string PdfWriter::beginImage(int width, int height, bool oneIsBlack) {
    stream_.reset(new z_stream_s{});
    if (deflateInit(stream_.get(), kDeflateLevel) != Z_OK) {
        stream_.reset();
        throw PrinterError("Cannot compress a PDF stream");
    }
    if (chunk_.size() < kBufferSize) chunk_.resize(kBufferSize);
    const int number = newObject();
    streamLength_ = newObject();  // known only at the end
    streamRowBytes_ = static_cast<size_t>(width + 7) / 8;
    beginObject(number);
    write("<<" + imageDictionary(width, height, oneIsBlack) + " /Filter /FlateDecode /Length " +
          ref(streamLength_) + " >>\nstream\n");
    streamStart_ = offset_;
    const std::string name = "Im" + std::to_string(number);
    pageImages_ += " /" + name + " " + ref(number);
    return name;
}

// Runs the row compressor and writes what it gives.
void PdfWriter::deflateChunks(int flush) {
    z_stream_s& z = *stream_;
    do {
        z.next_out = chunk_.data();
        z.avail_out = static_cast<uInt>(chunk_.size());
        if (deflate(&z, flush) == Z_STREAM_ERROR)
            throw PrinterError("Cannot compress a PDF stream");
        write(chunk_.data(), chunk_.size() - z.avail_out);
    } while (z.avail_out == 0);
}

// One more row of the open image.
void PdfWriter::imageRow(const uint8_t* row) {
    stream_->next_in = const_cast<uint8_t*>(row);
    stream_->avail_in = static_cast<uInt>(streamRowBytes_);
    deflateChunks(Z_NO_FLUSH);
}

// Closes the open image and writes its length.
void PdfWriter::endImage() {
    deflateChunks(Z_FINISH);
    stream_.reset();
    const uint64_t length = offset_ - streamStart_;
    write("\nendstream\nendobj\n");
    beginObject(streamLength_);
    write(std::to_string(length) + "\nendobj\n");
}

// Ends and frees the row compressor.
void PdfWriter::StreamDeleter::operator()(z_stream_s* stream) const {
    deflateEnd(stream);
    delete stream;
}

// Helvetica or Courier with the Polish letters, written once per document.
std::string PdfWriter::textFont(bool monospaced) {
    int& font = monospaced ? courier_ : helvetica_;
    if (font == 0) {
        font = newObject();
        std::string differences = "128";
        for (const PolishLetter& letter : kPolish)
            differences += std::string(" /") + letter.glyph;
        beginObject(font);
        write(std::string("<< /Type /Font /Subtype /Type1 /BaseFont /") +
              (monospaced ? "Courier" : "Helvetica") +
              " /Encoding << /Type /Encoding /BaseEncoding /WinAnsiEncoding /Differences [" +
              differences + "] >> >>\nendobj\n");
    }
    (monospaced ? pageUsesMono_ : pageUsesText_) = true;
    return monospaced ? "Fc" : "Fh";
}

// UTF-8 as a string of the text fonts' codes.
std::string PdfWriter::encodeText(const std::string& utf8) {
    std::string out = "(";
    for (size_t i = 0; i < utf8.size();) {
        const char32_t c = nextCodePoint(utf8, i);
        int code = c >= 0x20 && c < 0x7F ? static_cast<int>(c) : '?';
        for (size_t k = 0; k < std::size(kPolish); ++k)
            if (kPolish[k].code == c) code = 0x80 + static_cast<int>(k);
        if (code == '(' || code == ')' || code == '\\') out += '\\';
        out += static_cast<char>(code);
    }
    return out + ")";
}

// The glyph-less Identity-H font of the invisible text, written once per document.
int PdfWriter::invisibleFont() {
    if (glyphless_ != 0) return glyphless_;
    glyphless_ = newObject();
    const int descendant = newObject();
    const int descriptor = newObject();
    const int toUnicode = newObject();
    beginObject(glyphless_);
    write(
        "<< /Type /Font /Subtype /Type0 /BaseFont /GlyphLessFont /Encoding /Identity-H "
        "/DescendantFonts [" +
        ref(descendant) + "] /ToUnicode " + ref(toUnicode) + " >>\nendobj\n");
    beginObject(descendant);
    // Every glyph is half an em wide; the text matrix stretches a run over its box.
    write(
        "<< /Type /Font /Subtype /CIDFontType2 /BaseFont /GlyphLessFont /CIDSystemInfo "
        "<< /Registry (Adobe) /Ordering (Identity) /Supplement 0 >> /FontDescriptor " +
        ref(descriptor) + " /DW 500 /CIDToGIDMap /Identity >>\nendobj\n");
    beginObject(descriptor);
    // Readers take a Descent of 0 for "unknown" and guess one; -1 keeps the box on the baseline.
    write(
        "<< /Type /FontDescriptor /FontName /GlyphLessFont /Flags 5 /FontBBox [0 0 500 1000] "
        "/ItalicAngle 0 /Ascent 1000 /Descent -1 /CapHeight 1000 /StemV 80 >>\nendobj\n");
    const std::vector<uint8_t>& cmap = deflatedIdentityToUnicode();
    if (cmap.empty()) throw PrinterError("Cannot compress a PDF stream");
    writeStreamBody(toUnicode, "", cmap.data(), cmap.size(), true);
    return glyphless_;
}

// Invisible text (rendering mode 3): each run stretched over its box.
void PdfWriter::addInvisibleText(const std::vector<char32_t>& text,
                                 const std::vector<InvisibleRun>& runs) {
    if (runs.empty()) return;
    invisibleFont();
    pageUsesInvisible_ = true;
    content_ << "BT 3 Tr /Fi 1 Tf\n";
    for (const InvisibleRun& run : runs) {
        if (run.length == 0 || run.first + run.length > text.size() || run.height <= 0 ||
            run.width <= 0)
            continue;
        // Half an em per glyph: the horizontal scale spreads the run over its box exactly.
        const double scale = run.width / (0.5 * static_cast<double>(run.length));
        content_ << scale << "0 0 " << -run.height << run.left << run.baseline << "Tm <";
        for (size_t i = run.first; i < run.first + run.length; ++i) {
            // Two bytes a code: what lies beyond them, or is no character, is shown as U+FFFD.
            const char32_t c =
                text[i] > 0xFFFF || (text[i] >= 0xD800 && text[i] < 0xE000) ? 0xFFFD : text[i];
            content_.hex16(static_cast<unsigned>(c));
        }
        content_ << "> Tj\n";
    }
    content_ << "ET\n";
}

// Writes the page's content (unless it repeats the page before) and its page object.
void PdfWriter::endPage() {
    if (!inPage_) return;
    inPage_ = false;
    if (!repeating_) {
        lastContents_ = newObject();
        writeStreamObject(lastContents_, content_.data());
        lastResources_ = pageResources();
    }
    repeating_ = false;
    const int page = newObject();
    pages_.push_back(page);
    ContentStream box;
    box << "[0 0 " << pageWidth_ << pageHeight_ << "]";
    beginObject(page);
    write("<< /Type /Page /Parent " + ref(pagesObject_) + " /MediaBox " + box.data() +
          " /Resources " + lastResources_ + " /Contents " + ref(lastContents_) + " >>\nendobj\n");
}

// The open page's resources: its images and the fonts it uses.
std::string PdfWriter::pageResources() const {
    std::string resources = "<< /ProcSet [/PDF /ImageB /Text]";
    if (!pageImages_.empty()) resources += " /XObject <<" + pageImages_ + " >>";
    if (pageUsesText_ || pageUsesMono_ || pageUsesInvisible_ || pageUsesEmbedded_ ||
        !pageFonts_.empty()) {
        resources += " /Font <<" + pageFonts_;
        if (pageUsesText_) resources += " /Fh " + ref(helvetica_);
        if (pageUsesMono_) resources += " /Fc " + ref(courier_);
        if (pageUsesEmbedded_) resources += " /Fm " + ref(monoObject_);
        if (pageUsesInvisible_) resources += " /Fi " + ref(glyphless_);
        resources += " >>";
    }
    return resources + " >>";
}

bool PdfWriter::canRepeatPage() const {
    return inPage_ && lastContents_ != 0;
}

void PdfWriter::repeatPage() {
    repeating_ = canRepeatPage();
}

// An object written whole.
void PdfWriter::writeObject(int number, const std::string& body) {
    beginObject(number);
    write(body);
    write("\nendobj\n");
}

// A stream object, deflated when that saves anything.
void PdfWriter::writeStreamObject(int number, const std::string& data) {
    writeStream(number, "", reinterpret_cast<const uint8_t*>(data.data()), data.size(),
                data.size() >= kCompressFrom);
}

// Names a font in the open page's resources, once.
void PdfWriter::usePageFont(const std::string& name, int object) {
    const std::string entry = " /" + name + " " + ref(object);
    if (pageFonts_.find(entry) == std::string::npos) pageFonts_ += entry;
}

// Page tree, catalog, Info dictionary, cross-reference table and trailer.
void PdfWriter::finish(const DocumentInfo& info) {
    endPage();
    if (pool_) {
        while (std::unique_ptr<ImageJob> done = pool_->take(true))
            writeCompressed(std::move(done));
    }
    if (mono_) writeMonoFont();
    beginObject(pagesObject_);
    write("<< /Type /Pages /Count " + std::to_string(pages_.size()) + " /Kids [");
    for (int page : pages_)
        write(ref(page) + " ");
    write("] >>\nendobj\n");
    const int catalog = newObject();
    beginObject(catalog);
    write("<< /Type /Catalog /Pages " + ref(pagesObject_) + " >>\nendobj\n");
    const int infoObject = newObject();
    beginObject(infoObject);
    write("<< /Title " + infoString(info.title) + " /Creator " + infoString(info.creator) +
          " /Producer " + infoString(info.creator) + " /CreationDate (" + info.creationDate +
          ") >>\nendobj\n");
    const uint64_t xref = offset_;
    write("xref\n0 " + std::to_string(offsets_.size() + 1) + "\n0000000000 65535 f \n");
    for (uint64_t at : offsets_) {
        char entry[24];
        std::snprintf(entry, sizeof entry, "%010llu 00000 n \n",
                      static_cast<unsigned long long>(at));
        write(entry, 20);
    }
    write("trailer\n<< /Size " + std::to_string(offsets_.size() + 1) + " /Root " + ref(catalog) +
          " /Info " + ref(infoObject) + " >>\nstartxref\n" + std::to_string(xref) + "\n%%EOF\n");
    flush();
}

}  // namespace zelmo::pdf
