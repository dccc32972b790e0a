// The queue's sheet from its PPD and the job's options, through libcups' PPD functions: CUPS
// still hands every filter a PPD, and marking the options there applies the PPD's own aliases
// ("media", "Resolution") exactly as its other filters do.
#include "filter/filter_geometry.h"

#include <cups/cups.h>
#include <cups/ppd.h>

#include <cmath>
#include <cstdio>
#include <memory>

// libcups marks its PPD functions deprecated, yet they are how a filter reads its queue's PPD.
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"

namespace zelmo {
namespace {

constexpr int kDefaultDpi = 600;
constexpr int kMaxDpi = 2400;
constexpr double kPointsPerInch = 72.0;
// A4 in points: where neither the PPD nor the options name a size.
constexpr double kA4Width = 595.2755905511812;
constexpr double kA4Length = 841.8897637795276;

// A sheet and its printable area in points, the origin at the bottom left as PPDs have it.
struct SheetPoints {
    double width = kA4Width;
    double length = kA4Length;
    double left = 0, bottom = 0, right = kA4Width, top = kA4Length;
};

struct OptionList {
    int count = 0;
    cups_option_t* options = nullptr;
    ~OptionList() { cupsFreeOptions(count, options); }
};

struct PpdClose {
    void operator()(ppd_file_t* ppd) const { ppdClose(ppd); }
};

int toDots(double points, int dpi) {
    return static_cast<int>(std::lround(points * dpi / kPointsPerInch));
}

// The size a "media" or "PageSize" value names, in PWG or PPD spelling (libcups reads the
// legacy IPP names such as "iso-a4" as either).
bool sheetForName(const char* name, SheetPoints& sheet) {
    if (name == nullptr) return false;
    pwg_media_t* media = pwgMediaForPWG(name);
    if (media == nullptr) media = pwgMediaForPPD(name);
    if (media == nullptr || media->width <= 0 || media->length <= 0) return false;
    sheet = SheetPoints{};
    sheet.width = sheet.right = media->width * kPointsPerInch / 2540.0;
    sheet.length = sheet.top = media->length * kPointsPerInch / 2540.0;
    sheet.left = sheet.bottom = 0;
    return true;
}

// The PPD's marked page size and resolution; false when the PPD cannot be read.
bool readPpd(const char* path, const OptionList& list, SheetPoints& sheet, int& dpiX, int& dpiY) {
    std::unique_ptr<ppd_file_t, PpdClose> ppd(path != nullptr ? ppdOpenFile(path) : nullptr);
    if (!ppd) return false;
    ppdMarkDefaults(ppd.get());
    cupsMarkOptions(ppd.get(), list.count, list.options);
    if (const ppd_size_t* size = ppdPageSize(ppd.get(), nullptr);
        size != nullptr && size->width > 0 && size->length > 0)
        sheet = {size->width, size->length, size->left, size->bottom, size->right, size->top};
    if (const ppd_choice_t* choice = ppdFindMarkedChoice(ppd.get(), "Resolution"))
        parseResolution(choice->choice, dpiX, dpiY);
    else if (const ppd_attr_t* attr = ppdFindAttr(ppd.get(), "DefaultResolution", nullptr))
        parseResolution(attr->value, dpiX, dpiY);
    return true;
}

// Device pixels of a sheet; margins that leave no printable area are dropped.
PrinterGeometry toGeometry(const SheetPoints& s, int dpiX, int dpiY) {
    PrinterGeometry g;
    g.dpiX = dpiX, g.dpiY = dpiY;
    g.width = toDots(s.width, dpiX);
    g.height = toDots(s.length, dpiY);
    g.left = toDots(s.left, dpiX);
    g.right = toDots(s.width - s.right, dpiX);
    g.bottom = toDots(s.bottom, dpiY);
    g.top = toDots(s.length - s.top, dpiY);
    const bool sound = g.left >= 0 && g.right >= 0 && g.top >= 0 && g.bottom >= 0 &&
                       g.left + g.right < g.width && g.top + g.bottom < g.height;
    if (!sound) g.left = g.right = g.top = g.bottom = 0;
    return g;
}

}  // namespace

// Dots per inch of "600dpi" or "300x600dpi", within what a printer could have.
void parseResolution(const char* text, int& x, int& y) {
    if (text == nullptr) return;
    int a = 0, b = 0;
    const int read = std::sscanf(text, "%dx%ddpi", &a, &b);
    if (read < 1 || a <= 0 || a > kMaxDpi) return;
    if (read == 1) b = a;
    if (b <= 0 || b > kMaxDpi) return;
    x = a, y = b;
}

// The queue's sheet: the PPD's marked size and resolution, else the options', else A4, 600 dpi.
PrinterGeometry filterGeometry(const char* ppdPath, const char* options) {
    OptionList list;
    list.count = cupsParseOptions(options, 0, &list.options);
    SheetPoints sheet;
    int dpiX = kDefaultDpi, dpiY = kDefaultDpi;
    if (!readPpd(ppdPath, list, sheet, dpiX, dpiY)) {
        if (!sheetForName(cupsGetOption("media", list.count, list.options), sheet))
            sheetForName(cupsGetOption("PageSize", list.count, list.options), sheet);
        parseResolution(cupsGetOption("Resolution", list.count, list.options), dpiX, dpiY);
    }
    parseResolution(cupsGetOption("printer-resolution", list.count, list.options), dpiX, dpiY);
    return toGeometry(sheet, dpiX, dpiY);
}

// The option's value through the monitor's own parser of code page names.
CodePage filterCodePage(const char* options) {
    OptionList list;
    list.count = cupsParseOptions(options, 0, &list.options);
    const char* name = cupsGetOption("zelmo-code-page", list.count, list.options);
    CodePage page = kDefaultCodePage;
    if (name == nullptr || !parseCodePage(name, page)) return kDefaultCodePage;
    return page;
}

}  // namespace zelmo
