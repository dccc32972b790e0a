// The archive's printer: a PDF folder printer with the very sheet of the printer it copies,
// so the archived pages are what went to paper, pixel for pixel.
#include "printers/archiving_printer.h"
#include "printers/pdf/pdf_printers.h"

namespace zelmo {

std::unique_ptr<Printer> openArchivePrinter(const std::string& folder, const PrinterCanvas& like) {
    PrinterGeometry g;
    g.width = like.deviceCaps(DeviceCap::PhysicalWidth);
    g.height = like.deviceCaps(DeviceCap::PhysicalHeight);
    g.dpiX = like.deviceCaps(DeviceCap::LogPixelsX);
    g.dpiY = like.deviceCaps(DeviceCap::LogPixelsY);
    g.left = like.deviceCaps(DeviceCap::PhysicalOffsetX);
    g.top = like.deviceCaps(DeviceCap::PhysicalOffsetY);
    g.right = g.width - g.left - like.deviceCaps(DeviceCap::HorzRes);
    g.bottom = g.height - g.top - like.deviceCaps(DeviceCap::VertRes);
    // A sheet the copy cannot hold is archived on the built-in printer's A4 instead.
    if (g.width <= 0 || g.height <= 0 || g.dpiX <= 0 || g.dpiY <= 0 || g.right < 0 || g.bottom < 0)
        g = PdfFolderPrinter::a4();
    return std::make_unique<PdfFolderPrinter>(folder, g);
}

}  // namespace zelmo
