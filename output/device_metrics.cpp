// Reads the default printer's geometry once and keeps it for the life of the process.
#include "output/device_metrics.h"

#include <exception>

#include "platform/printer.h"

namespace zelmo {

bool queryDeviceMetrics(DeviceMetrics& m, Printer& printer) {
    if (m.metricsValid.load()) return true;
    PrinterCanvas* dc = nullptr;
    try {
        dc = printer.deviceContext();
    } catch (const std::exception&) {
        return false;  // no printer yet: tried again at the next job or tick
    }
    if (!dc) return false;
    int physHeight = dc->deviceCaps(DeviceCap::PhysicalHeight);
    int physWidth = dc->deviceCaps(DeviceCap::PhysicalWidth);
    int vertRes = dc->deviceCaps(DeviceCap::VertRes);
    int horzRes = dc->deviceCaps(DeviceCap::HorzRes);
    int dpiX = dc->deviceCaps(DeviceCap::LogPixelsX);
    int dpiY = dc->deviceCaps(DeviceCap::LogPixelsY);
    // Page sizes divide by the resolution; a device that reports nothing is no printer.
    if (physHeight <= 0 || physWidth <= 0 || vertRes <= 0 || horzRes <= 0 || dpiX <= 0 || dpiY <= 0)
        return false;
    m.physHeight = physHeight;
    m.physWidth = physWidth;
    m.vertRes = vertRes;
    m.horzRes = horzRes;
    m.physOffsetX = dc->deviceCaps(DeviceCap::PhysicalOffsetX);
    m.physOffsetY = dc->deviceCaps(DeviceCap::PhysicalOffsetY);
    m.dpiX = dpiX;
    m.dpiY = dpiY;
    m.metricsValid.store(true);
    return true;
}

}  // namespace zelmo
