// The queue's sheet as the filter reads it from the PPD and the job's options.
#include "filter/filter_geometry.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>

namespace zelmo {
namespace {

constexpr const char* kGenericPdf = "/usr/share/ppd/cupsfilters/Generic-PDF_Printer-PDF.ppd";

// A PPD whose sheet, margins and resolution differ in every direction: A5, 10 pt unprintable on
// the left, 20 on the right and at the bottom, 35 at the top; 300 x 600 dpi.
constexpr const char* kLopsided = R"ppd(*PPD-Adobe: "4.3"
*FormatVersion: "4.3"
*FileVersion: "1.0"
*LanguageVersion: English
*LanguageEncoding: ISOLatin1
*PCFileName: "LOPSIDED.PPD"
*Manufacturer: "Zelmo"
*Product: "(Lopsided)"
*ModelName: "Lopsided"
*ShortNickName: "Lopsided"
*NickName: "Lopsided"
*PSVersion: "(3010.000) 0"
*OpenUI *PageSize: PickOne
*DefaultPageSize: A5
*PageSize A5: "<</PageSize[420 595]>>setpagedevice"
*CloseUI: *PageSize
*DefaultImageableArea: A5
*ImageableArea A5: "10 20 400 560"
*DefaultPaperDimension: A5
*PaperDimension A5: "420 595"
*OpenUI *Resolution: PickOne
*DefaultResolution: 300x600dpi
*Resolution 300x600dpi: ""
*CloseUI: *Resolution
)ppd";

struct Case {
    const char* ppd;
    const char* options;
    PrinterGeometry expected;  // width, height, dpiX, dpiY, left, top, right, bottom
};

TEST(FilterGeometry, FromPpdAndOptions) {
    const std::string lopsided = ::testing::TempDir() + "zelmo-lopsided.ppd";
    std::ofstream(lopsided) << kLopsided;
    const Case cases[] = {
        {nullptr, nullptr, {4961, 7016, 600, 600, 0, 0, 0, 0}},
        {nullptr, "media=na_letter_8.5x11in", {5100, 6600, 600, 600, 0, 0, 0, 0}},
        {nullptr, "PageSize=Letter Resolution=300dpi", {2550, 3300, 300, 300, 0, 0, 0, 0}},
        {nullptr, "media=iso-a4 printer-resolution=300x600dpi", {2480, 7016, 300, 600, 0, 0, 0, 0}},
        // Unknown size and resolutions out of reach keep the defaults.
        {nullptr,
         "media=Tapeta Resolution=0dpi printer-resolution=9999dpi",
         {4961, 7016, 600, 600, 0, 0, 0, 0}},
        // The PPD's default (Letter, 600 dpi) and its unprintable margins; an option changes
        // it, to the PPD's own A4 of 595 x 842 pt.
        {kGenericPdf, "", {5100, 6600, 600, 600, 150, 300, 150, 300}},
        {kGenericPdf, "media=A4", {4958, 7017, 600, 600, 150, 300, 150, 300}},
        {kGenericPdf, "Resolution=300dpi", {2550, 3300, 300, 300, 75, 150, 75, 150}},
        {lopsided.c_str(), nullptr, {1750, 4958, 300, 600, 42, 292, 83, 167}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.ppd ? c.ppd : "no PPD") + ", " + (c.options ? c.options : ""));
        if (c.ppd && !std::ifstream(c.ppd)) continue;  // cups-filters is not installed
        const PrinterGeometry g = filterGeometry(c.ppd, c.options);
        const PrinterGeometry& e = c.expected;
        EXPECT_EQ(g.width, e.width);
        EXPECT_EQ(g.height, e.height);
        EXPECT_EQ(g.dpiX, e.dpiX);
        EXPECT_EQ(g.dpiY, e.dpiY);
        EXPECT_EQ(g.left, e.left);
        EXPECT_EQ(g.top, e.top);
        EXPECT_EQ(g.right, e.right);
        EXPECT_EQ(g.bottom, e.bottom);
    }
}

// A queue's code page for bare text, set once with lpadmin's zelmo-code-page-default.
TEST(FilterCodePage, FromTheJobsOptions) {
    const struct {
        const char* options;
        CodePage expected;
    } cases[] = {
        {nullptr, CodePage::Cp852},
        {"zelmo-code-page=Mazovia", CodePage::Mazovia},
        {"media=A4 zelmo-code-page=cp437 number-up=1", CodePage::Cp437},
        {"zelmo-code-page=windows-1250", CodePage::Windows1250},
        {"zelmo-code-page=EBCDIC", CodePage::Cp852},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.options ? c.options : "no options");
        EXPECT_EQ(filterCodePage(c.options), c.expected);
    }
}

}  // namespace
}  // namespace zelmo
