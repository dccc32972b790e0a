// The CUPS default destination as the printer object: geometry from its defaults, documents
// submitted as PDF with libcups.
#include <cups/cups.h>

#include <cmath>

#include "platform/errors.h"
#include "platform/qt/qt_printers.h"

namespace zelmo {
namespace {

constexpr int kFallbackDpi = 600;

// Hundredths of a millimetre to device pixels, to the nearest pixel.
int toPixels(int hundredths, int dpi) {
    return static_cast<int>(std::lround(hundredths * static_cast<double>(dpi) / 2540.0));
}

// The destination's default resolution ("printer-resolution-default", else the first one
// supported), in dots per inch.
void defaultResolution(cups_dest_t* dest, cups_dinfo_t* info, int& dpiX, int& dpiY) {
    ipp_attribute_t* attr =
        cupsFindDestDefault(CUPS_HTTP_DEFAULT, dest, info, "printer-resolution");
    if (!attr) attr = cupsFindDestSupported(CUPS_HTTP_DEFAULT, dest, info, "printer-resolution");
    dpiX = dpiY = kFallbackDpi;
    if (!attr || ippGetValueTag(attr) != IPP_TAG_RESOLUTION) return;
    ipp_res_t units = IPP_RES_PER_INCH;
    int yres = 0;
    const int xres = ippGetResolution(attr, 0, &yres, &units);
    if (xres <= 0 || yres <= 0) return;
    // Dots per centimetre become dots per inch.
    dpiX = units == IPP_RES_PER_CM ? static_cast<int>(std::lround(xres * 2.54)) : xres;
    dpiY = units == IPP_RES_PER_CM ? static_cast<int>(std::lround(yres * 2.54)) : yres;
}

// The print system's last error, for the printer object's exception.
std::string cupsError(const char* what) {
    const char* message = cupsLastErrorString();
    return std::string(what) + ": " + (message && *message ? message : "CUPS error");
}

}  // namespace

// The libcups destination and its information, freed together.
struct CupsPrinter::Destination {
    cups_dest_t* dest = nullptr;
    cups_dinfo_t* info = nullptr;
    ~Destination() {
        if (info) cupsFreeDestInfo(info);
        if (dest) cupsFreeDests(1, dest);
    }
};

// The default destination with the geometry of its default media and resolution.
std::unique_ptr<CupsPrinter> CupsPrinter::openDefault() {
    return openNamed({});
}

// A destination by name ("queue" or "queue/instance"; empty for the default), with the geometry
// of its default media and resolution.
std::unique_ptr<CupsPrinter> CupsPrinter::openNamed(const std::string& name) {
    auto destination = std::make_unique<Destination>();
    const auto slash = name.find('/');
    const std::string queue = name.substr(0, slash);
    const std::string instance = slash == std::string::npos ? "" : name.substr(slash + 1);
    destination->dest = cupsGetNamedDest(CUPS_HTTP_DEFAULT, queue.empty() ? nullptr : queue.c_str(),
                                         instance.empty() ? nullptr : instance.c_str());
    if (!destination->dest) return nullptr;
    destination->info = cupsCopyDestInfo(CUPS_HTTP_DEFAULT, destination->dest);
    if (!destination->info) return nullptr;

    PrinterGeometry g;
    defaultResolution(destination->dest, destination->info, g.dpiX, g.dpiY);
    cups_size_t media{};
    if (!cupsGetDestMediaDefault(CUPS_HTTP_DEFAULT, destination->dest, destination->info, 0,
                                 &media)) {
        // Without a default size the sheet is A4, all of it printable.
        media.width = 21000;
        media.length = 29700;
    }
    g.width = toPixels(media.width, g.dpiX);
    g.height = toPixels(media.length, g.dpiY);
    g.left = toPixels(media.left, g.dpiX);
    g.right = toPixels(media.right, g.dpiX);
    g.top = toPixels(media.top, g.dpiY);
    g.bottom = toPixels(media.bottom, g.dpiY);
    return std::unique_ptr<CupsPrinter>(new CupsPrinter(std::move(destination), g));
}

// Named after the destination (and its instance).
CupsPrinter::CupsPrinter(std::unique_ptr<Destination> destination, const PrinterGeometry& geometry)
    : PdfDocumentPrinter(geometry), destination_(std::move(destination)) {
    name_ = destination_->dest->name;
    if (destination_->dest->instance) name_ += std::string("/") + destination_->dest->instance;
}

CupsPrinter::~CupsPrinter() = default;

void CupsPrinter::deliver(const std::string& pdf, const std::string& title) {
    cups_dest_t* dest = destination_->dest;
    cups_dinfo_t* info = destination_->info;
    cups_option_t* options = nullptr;
    const int numOptions = cupsAddIntegerOption("copies", copies_ < 1 ? 1 : copies_, 0, &options);
    int jobId = 0;
    const ipp_status_t created = cupsCreateDestJob(CUPS_HTTP_DEFAULT, dest, info, &jobId,
                                                   title.c_str(), numOptions, options);
    cupsFreeOptions(numOptions, options);
    if (created > IPP_STATUS_OK_CONFLICTING || jobId <= 0)
        throw PrinterError(cupsError("Create-Job"));

    if (cupsStartDestDocument(CUPS_HTTP_DEFAULT, dest, info, jobId, title.c_str(), CUPS_FORMAT_PDF,
                              0, nullptr, 1) != HTTP_STATUS_CONTINUE ||
        cupsWriteRequestData(CUPS_HTTP_DEFAULT, pdf.data(), pdf.size()) != HTTP_STATUS_CONTINUE) {
        const std::string message = cupsError("Send-Document");
        cupsFinishDestDocument(CUPS_HTTP_DEFAULT, dest, info);
        cupsCancelDestJob(CUPS_HTTP_DEFAULT, dest, jobId);
        throw PrinterError(message);
    }
    if (cupsFinishDestDocument(CUPS_HTTP_DEFAULT, dest, info) > IPP_STATUS_OK_CONFLICTING)
        throw PrinterError(cupsError("Send-Document"));
}

}  // namespace zelmo
