// The spooler's job status as the monitor reads it: printed, in the printer's queue, or given up.
#include <gtest/gtest.h>
#include <windows.h>

#include <winspool.h>

#include "platform/errors.h"
#include "printers/win32/spooler_jobs.h"
#include "printers/win32/win32_printer.h"

namespace zelmo {
namespace {

TEST(SpoolerJob, StatusBitsMeanPrintedQueuedOrOursAgain) {
    const struct {
        DWORD status;
        JobSighting sighting;
    } cases[] = {
        {0, JobSighting::Queued},
        {JOB_STATUS_SPOOLING, JobSighting::Queued},
        {JOB_STATUS_PRINTING, JobSighting::Queued},
        {JOB_STATUS_PAUSED, JobSighting::Queued},
        {JOB_STATUS_ERROR | JOB_STATUS_PRINTING, JobSighting::HeldUp},
        {JOB_STATUS_OFFLINE, JobSighting::HeldUp},
        {JOB_STATUS_PAPEROUT, JobSighting::HeldUp},
        {JOB_STATUS_BLOCKED_DEVQ, JobSighting::HeldUp},
        {JOB_STATUS_USER_INTERVENTION, JobSighting::HeldUp},
        {JOB_STATUS_RESTART, JobSighting::Queued},
        {JOB_STATUS_PRINTED, JobSighting::Printed},
        {JOB_STATUS_COMPLETE, JobSighting::Printed},
        {JOB_STATUS_PRINTED | JOB_STATUS_DELETING, JobSighting::Printed},
        {JOB_STATUS_DELETING, JobSighting::Failed},
        {JOB_STATUS_DELETED, JobSighting::Failed},
        {JOB_STATUS_ERROR | JOB_STATUS_DELETING, JobSighting::Failed},
    };
    for (const auto& c : cases)
        EXPECT_EQ(sightingOfSpoolerStatus(c.status), c.sighting) << std::hex << c.status;
}

// A printer the spooler does not know: no device context, copies refused, and the object goes
// away quietly, its handles released once (their release once recursed until the stack ran out).
TEST(Win32Printer, UnknownPrinterRefusesCopiesAndIsReleasedOnce) {
    for (int round = 0; round < 2; ++round) {
        Win32Printer printer("Zelmo: drukarka, której nie ma");
        EXPECT_EQ(printer.deviceContext(), nullptr);
        EXPECT_FALSE(printer.canCopy());
        EXPECT_THROW(printer.setCopies(2), PrinterError);
    }
}

}  // namespace
}  // namespace zelmo
