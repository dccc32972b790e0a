// The Group 4 coder against libtiff's decoder: every kind of row a page can hold must come back
// bit for bit, the paper white in the code whichever bit value the page gives it.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <tiffio.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "printers/pdf/ccitt_g4.h"
#include "printers/pdf/pdf_writer.h"
#include "shell/tests/pnm.h"

namespace zelmo::pdf {
namespace {

// A 1-bit image as rows of (width + 7) / 8 bytes.
struct Image {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> rows;
    size_t rowBytes() const { return static_cast<size_t>(width + 7) / 8; }
    void set(int x, int y) {
        rows[rowBytes() * static_cast<size_t>(y) + static_cast<size_t>(x / 8)] |=
            static_cast<uint8_t>(0x80 >> (x % 8));
    }
    // Paints [from, to) of row y.
    void span(int from, int to, int y) {
        for (int x = from; x < to && x < width; ++x)
            set(x, y);
    }
};

// A blank image with each row drawn by draw(image, y).
Image makeImage(int width, int height, const std::function<void(Image&, int)>& draw) {
    Image image{width, height, {}};
    image.rows.assign(image.rowBytes() * static_cast<size_t>(height), 0);
    for (int y = 0; y < height; ++y)
        draw(image, y);
    return image;
}

// An image drawn as text, one string per row, '#' for a 1 bit.
Image drawnImage(const std::vector<std::string>& lines) {
    const int width = static_cast<int>(lines.front().size());
    return makeImage(width, static_cast<int>(lines.size()), [&](Image& image, int y) {
        for (int x = 0; x < width; ++x)
            if (lines[static_cast<size_t>(y)][static_cast<size_t>(x)] == '#') image.set(x, y);
    });
}

// Rows of runs drawn from a fixed sequence, long ones and short ones, so that every terminating
// and make-up code of both colours occurs.
Image runsImage(int width, int height, unsigned seed, int longest) {
    return makeImage(width, height, [&](Image& image, int y) {
        bool black = y % 2 == 1;
        for (int x = 0; x < width; black = !black) {
            seed = seed * 1103515245u + 12345u;
            const int run = static_cast<int>((seed >> 8) % static_cast<unsigned>(longest)) + 1;
            if (black) image.span(x, x + run, y);
            x += run;
        }
    });
}

// Decodes the code as the one strip of a TIFF file through libtiff; 1 bits are black.
std::vector<uint8_t> decodeWithLibtiff(const std::vector<uint8_t>& code, int width, int height) {
    char path[] = "/tmp/zelmo-g4-XXXXXX";
    const int fd = ::mkstemp(path);
    if (fd < 0) return {};
    ::close(fd);
    TIFF* out = TIFFOpen(path, "w");
    TIFFSetField(out, TIFFTAG_IMAGEWIDTH, static_cast<uint32_t>(width));
    TIFFSetField(out, TIFFTAG_IMAGELENGTH, static_cast<uint32_t>(height));
    TIFFSetField(out, TIFFTAG_BITSPERSAMPLE, 1);
    TIFFSetField(out, TIFFTAG_SAMPLESPERPIXEL, 1);
    TIFFSetField(out, TIFFTAG_ROWSPERSTRIP, static_cast<uint32_t>(height));
    TIFFSetField(out, TIFFTAG_COMPRESSION, COMPRESSION_CCITTFAX4);
    TIFFSetField(out, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISWHITE);
    TIFFSetField(out, TIFFTAG_FILLORDER, FILLORDER_MSB2LSB);
    TIFFSetField(out, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFWriteRawStrip(out, 0, const_cast<uint8_t*>(code.data()),
                      static_cast<tmsize_t>(code.size()));
    TIFFClose(out);
    std::vector<uint8_t> rows;
    if (TIFF* in = TIFFOpen(path, "r")) {
        const size_t rowBytes = static_cast<size_t>(width + 7) / 8;
        rows.assign(rowBytes * static_cast<size_t>(height), 0);
        for (int y = 0; y < height; ++y)
            if (TIFFReadScanline(in, rows.data() + rowBytes * static_cast<size_t>(y),
                                 static_cast<uint32_t>(y)) < 0)
                rows.clear();
        TIFFClose(in);
    }
    ::unlink(path);
    return rows;
}

// The first differing pixel of two images as "x,y", or "" when they are equal; the padding
// after the width does not count.
std::string firstDifference(const Image& expected, const std::vector<uint8_t>& got) {
    if (got.size() != expected.rows.size()) return "decoded size " + std::to_string(got.size());
    for (int y = 0; y < expected.height; ++y)
        for (int x = 0; x < expected.width; ++x) {
            const size_t at =
                expected.rowBytes() * static_cast<size_t>(y) + static_cast<size_t>(x / 8);
            const int mask = 0x80 >> (x % 8);
            if ((expected.rows[at] & mask) != (got[at] & mask))
                return std::to_string(x) + "," + std::to_string(y);
        }
    return "";
}

struct Case {
    const char* name;
    Image image;
};

TEST(G4Encoder, LibtiffDecodesEveryKindOfRowToTheSameBits) {
    const Case cases[] = {
        {"blank page", makeImage(5100, 40, [](Image&, int) {})},
        {"black page", makeImage(5100, 3, [](Image& i, int y) { i.span(0, 5100, y); })},
        {"alternating pixels, shifted every row", makeImage(67, 6,
                                                            [](Image& i, int y) {
                                                                for (int x = y % 2; x < 67; x += 2)
                                                                    i.set(x, y);
                                                            })},
        {"runs across word edges", makeImage(200, 5,
                                             [](Image& i, int y) {
                                                 i.span(60 + y, 70, y);
                                                 i.span(127 - y, 129 + y, y);
                                                 i.span(191, 200, y);
                                             })},
        {"one pixel wide", makeImage(1, 5, [](Image& i, int y) { i.span(0, y % 2, y); })},
        {"widths off the byte and word",
         makeImage(65, 4, [](Image& i, int y) { i.span(y * 7, 64 + y % 2, y); })},
        {"width of a word", makeImage(64, 4, [](Image& i, int y) { i.span(63 - y, 64, y); })},
        {"padding bits set after the width", makeImage(61, 4,
                                                       [](Image& i, int y) {
                                                           i.span(10 * y, 20 * y, y);
                                                           i.rows[i.rowBytes() * (y + 1) - 1] |= 7;
                                                       })},
        {"make-up runs past 1728 and 2560", makeImage(5100, 6,
                                                      [](Image& i, int y) {
                                                          i.span(y * 3, y * 3 + 1800 + 400 * y, y);
                                                          i.span(2700 + y, 5100 - y, y);
                                                      })},
        {"rows repeating the one above", makeImage(777, 12,
                                                   [](Image& i, int y) {
                                                       i.span(0, 3, y);
                                                       i.span(100, 164, y);
                                                       i.span(y < 6 ? 700 : 500, 777, y);
                                                   })},
        // A vertical code that puts a0 left of b1 again, with a change above between them.
        {"b1 found again behind a vertical code",
         drawnImage({"#########", "###.#.##.", "#.#####.#"})},
        {"b1 found again at the row's end", drawnImage({"..#", "#.."})},
        {"short runs", runsImage(1000, 30, 7, 70)},
        {"long runs", runsImage(5100, 30, 11, 2800)},
    };
    for (const Case& c : cases) {
        for (const bool oneIsBlack : {true, false}) {
            SCOPED_TRACE(std::string(c.name) + (oneIsBlack ? ", 1 black" : ", 1 white"));
            std::vector<uint8_t> code;
            G4Encoder encoder;
            ASSERT_TRUE(encoder.encode(c.image.rows.data(), c.image.width, c.image.height,
                                       oneIsBlack, c.image.rows.size() * 4 + 64, code));
            std::vector<uint8_t> decoded = decodeWithLibtiff(code, c.image.width, c.image.height);
            // The decoder gives black as 1: a page whose 1 is white comes back inverted.
            if (!oneIsBlack)
                for (uint8_t& byte : decoded)
                    byte = static_cast<uint8_t>(~byte);
            EXPECT_EQ(firstDifference(c.image, decoded), "");
        }
    }
}

TEST(G4Encoder, StopsOnceTheCodeOutgrowsTheLimit) {
    const Image noise = runsImage(2000, 50, 3, 4);
    std::vector<uint8_t> code = {1, 2, 3};
    G4Encoder encoder;
    EXPECT_FALSE(encoder.encode(noise.rows.data(), noise.width, noise.height, true, 1000, code));
    EXPECT_EQ(code, (std::vector<uint8_t>{1, 2, 3}));
    // The same rows within their limit are coded after what out holds.
    EXPECT_TRUE(encoder.encode(noise.rows.data(), noise.width, noise.height, true, 1 << 20, code));
    EXPECT_GT(code.size(), 1000u);
    EXPECT_EQ(code[0], 1);
}

// A page of a few blocks and a line at its top, as text and rules make it, 1 bits where they
// lie: little enough code that the PDF keeps Group 4 without trying Deflate.
Image textLikePage() {
    return makeImage(1201, 1603, [](Image& i, int y) {
        for (int x = 5; x < 290 && y < 100; x += 17)
            if (y % 40 < 12) i.span(x + (y / 40) % 3, x + 4 + x % 7, y);
        if (y == 100 || y == 101) i.span(0, 1201, y);
    });
}

// The image written as a one-page PDF at one point per pixel, rasterised by Ghostscript at 72
// dpi; the PDF's text is kept in pdf. False without Ghostscript.
bool throughGhostscript(const Image& image, bool oneIsBlack, std::string& pdf,
                        testing::Image& page) {
    const std::string path = "/tmp/zelmo-g4-page-" + std::to_string(::getpid());
    {
        const int fd = ::open((path + ".pdf").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (fd < 0) return false;
        PdfWriter writer(fd);
        writer.beginPage(image.width, image.height);
        const std::string name =
            writer.addImage(image.width, image.height, image.rows.data(), oneIsBlack);
        writer.content() << image.width << "0 0 " << image.height << "0 0 cm /" << name << " Do\n";
        writer.finish(DocumentInfo{"g4", "test", "D:20260101000000+00'00'"});
        ::close(fd);
    }
    std::ifstream in(path + ".pdf", std::ios::binary);
    pdf.assign(std::istreambuf_iterator<char>(in), {});
    const std::string command =
        "gs -q -dNOPAUSE -dBATCH -dSAFER -sDEVICE=pgmraw -r72 -sOutputFile='" + path + ".pgm' '" +
        path + ".pdf' 2>/dev/null";
    const bool done = std::system(command.c_str()) == 0 && testing::readPnm(path + ".pgm", page);
    ::unlink((path + ".pdf").c_str());
    ::unlink((path + ".pgm").c_str());
    return done;
}

TEST(G4Encoder, PdfPagesShowTheImageWhicheverBitIsInk) {
    if (std::system("gs --version >/dev/null 2>&1") != 0) GTEST_SKIP() << "Ghostscript missing";
    const Image image = textLikePage();
    for (const bool oneIsBlack : {true, false}) {
        SCOPED_TRACE(oneIsBlack ? "1 black" : "1 white");
        std::string pdf;
        testing::Image page;
        ASSERT_TRUE(throughGhostscript(image, oneIsBlack, pdf, page));
        EXPECT_NE(pdf.find("/CCITTFaxDecode"), std::string::npos);
        ASSERT_EQ(page.width, image.width);
        ASSERT_EQ(page.height, image.height);
        int differences = 0;
        for (int y = 0; y < image.height; ++y)
            for (int x = 0; x < image.width; ++x) {
                const bool one = (image.rows[image.rowBytes() * static_cast<size_t>(y) +
                                             static_cast<size_t>(x / 8)] >>
                                  (7 - x % 8)) &
                                 1;
                if (page.at(x, y) != (one == oneIsBlack) && ++differences <= 3)
                    ADD_FAILURE() << "pixel (" << x << ", " << y << ")";
            }
        EXPECT_EQ(differences, 0);
    }
}

}  // namespace
}  // namespace zelmo::pdf
