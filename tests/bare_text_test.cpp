// Which jobs that draw no page may print as bare text, and what the others look like.
#include <gtest/gtest.h>

#include <string>

#include "pcl/bare_text.h"

namespace zelmo {
namespace {

std::string repeat(const std::string& text, int times) {
    std::string out;
    for (int i = 0; i < times; ++i)
        out += text;
    return out;
}

// Bytes of no structure: what a damaged or a compressed file looks like.
std::string noise(std::size_t size) {
    std::string out;
    uint32_t x = 12345;
    for (std::size_t i = 0; i < size; ++i) {
        x = x * 1103515245u + 12345u;
        out += static_cast<char>(x >> 16);
    }
    return out;
}

// A 100-byte line of text holding `stray` bytes a text printer neither prints nor obeys.
std::string textWithStray(int lines, int stray) {
    std::string out = repeat(std::string(98, 'x') + "\r\n", lines);
    for (int i = 0; i < stray; ++i)
        out[static_cast<std::size_t>(i) * 7] = '\x01';
    return out;
}

std::string windowsProgram() {
    std::string out = "MZ" + std::string(0x3A, '\0') + std::string("\x40\0\0\0", 4) + "PE";
    return out + std::string(40, '\0');
}

struct ContentCase {
    const char* name;
    std::string bytes;
    JobContent content;
};

class JudgeContent : public ::testing::TestWithParam<ContentCase> {};

TEST_P(JudgeContent, TellsTextFromWhatIsNot) {
    const ContentCase& c = GetParam();
    const ContentVerdict v =
        judgeContent(reinterpret_cast<const uint8_t*>(c.bytes.data()), c.bytes.size());
    EXPECT_EQ(v.content, c.content);
    EXPECT_EQ(v.isText(), c.content == JobContent::Text);
    if (!v.isText()) {
        // The kind alone: the sentence around it is the shell's.
        EXPECT_EQ(std::string(v.polish).find("PCL"), std::string::npos) << v.polish;
        EXPECT_NE(std::string(v.english).find("not a PCL print job"), std::string::npos);
    }
}

const std::string kPjl = "\x1B%-12345X@PJL JOB\r\n@PJL ENTER LANGUAGE=PDF\r\n";

INSTANTIATE_TEST_SUITE_P(
    Cases, JudgeContent,
    ::testing::Values(
        ContentCase{"invoice",
                    "FAKTURA\r\n\tZak\x88"
                    "ad \xC4\xC4\xB3\x08_\x0C\x0Ez\x0F",
                    JobContent::Text},
        // The data block is binary, and is the escape's own: text all the same.
        ContentCase{"escapes",
                    "\x1B"
                    "E\x1B(s0p10h12v3T\x1B&l1o2A\x1B*b8W" +
                        std::string(8, '\x01') + "Razem\r\n",
                    JobContent::Text},
        ContentCase{"brokenEscapes", repeat("ab\x1B\x01", 10), JobContent::Binary},
        ContentCase{"pdf", "%PDF-1.4\n1 0 obj\n", JobContent::Pdf},
        ContentCase{"pdfAfterPjl", kPjl + "%PDF-1.7\n", JobContent::Pdf},
        ContentCase{"postscript", "%!PS-Adobe-3.0\n", JobContent::PostScript},
        ContentCase{"postscriptAfterEndOfJob", "\x04%!\n", JobContent::PostScript},
        ContentCase{"gzip", "\x1F\x8B\x08\x00text", JobContent::Gzip},
        ContentCase{"zip", "PK\x03\x04text", JobContent::Zip},
        ContentCase{"png", "\x89PNG\r\n\x1A\ntext", JobContent::Png},
        ContentCase{"jpeg", "\xFF\xD8\xFF\xE0text", JobContent::Jpeg},
        ContentCase{"windowsProgram", windowsProgram(), JobContent::WindowsProgram},
        ContentCase{"mzIsALetterPairToo", "MZK Warszawa" + std::string(60, ' '), JobContent::Text},
        ContentCase{"elf",
                    "\x7F"
                    "ELF\x02\x01\x01text",
                    JobContent::LinuxProgram},
        ContentCase{"noise", noise(3000), JobContent::Binary},
        ContentCase{"nulRun", "abc" + std::string(4, '\0') + repeat("x", 500), JobContent::Binary},
        ContentCase{"shortNulRun", "abc" + std::string(3, '\0') + repeat("x", 500),
                    JobContent::Text},
        // One stray byte in a hundred, and two more.
        ContentCase{"strayAtTheLimit", textWithStray(10, 12), JobContent::Text},
        ContentCase{"strayPastTheLimit", textWithStray(10, 13), JobContent::Binary}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace zelmo
