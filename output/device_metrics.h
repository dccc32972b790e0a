// The default printer's geometry, read once per process.
#pragma once

#include <atomic>
#include <cstdint>

namespace zelmo {

class Printer;

struct DeviceMetrics {
    int32_t physHeight = 0;
    int32_t physWidth = 0;
    int32_t vertRes = 0;
    int32_t horzRes = 0;
    int32_t physOffsetX = 0;
    int32_t physOffsetY = 0;
    int32_t dpiX = 0;
    int32_t dpiY = 0;
    // Set last, after the values: the window thread may query while the worker is idle.
    std::atomic<bool> metricsValid{false};
};

// Reads the metrics from the printer's device context unless they are known; false when there
// is no printer, no device context, or the device reports a zero resolution or size.
bool queryDeviceMetrics(DeviceMetrics& metrics, Printer& printer);

}  // namespace zelmo
