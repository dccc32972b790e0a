// The printer switch hands each document to the printer in use exactly as the pipeline would
// have printed on that printer directly.
#include <gtest/gtest.h>

#include <memory>

#include "platform/errors.h"
#include "printers/printer_switch.h"
#include "support/job_run.h"

namespace zelmo {
namespace {

using test::JobRun;

struct Case {
    const char* name;
    int32_t singleMode;
    bool failSecondDocument;  // the printer refuses the second document begun
    bool terminate;           // the worker is asked to stop before the job
};

TEST(PrinterSwitch, PrintsEveryJobAsThePrinterBehindItWould) {
    const Case cases[] = {
        {"one document", 0, false, false},
        {"a document per page", 1, false, false},
        {"refused mid-job", 1, true, false},
        {"aborted", 0, false, true},
    };
    for (const Case& c : cases) {
        JobRun direct;
        JobRun switched;
        auto inner = std::make_unique<SimulatedPrinter>(test::smallSheet());
        SimulatedPrinter& behind = *inner;
        PrinterSwitch printers(std::move(inner));
        printers.setTitle("Kalvister II - wydruk.prn");
        for (SimulatedPrinter* p : {&direct.printer, &behind}) {
            p->setRecordCalls(true);
            if (c.failSecondDocument)
                p->setStartDocHook([](int begun) {
                    if (begun == 1) throw PrinterError("Create-Job: Invalid argument");
                });
        }
        JobEnv env{printers,
                   switched.metrics,
                   direct.request,
                   switched.testMode,
                   switched.terminated,
                   nullptr,
                   0};
        direct.request.singleMode = c.singleMode;
        direct.terminated = c.terminate;
        switched.terminated = c.terminate;
        const std::vector<uint8_t> job = sampleJob(2);
        const auto run = [&](JobRun& r, JobEnv e) {
            r.job = job;
            e.job = r.job.data();
            e.jobLength = r.job.size();
            try {
                return runJob(r.state, e);
            } catch (const PrinterError&) {
                return false;
            }
        };
        const bool a = run(direct, direct.env());
        const bool b = run(switched, env);
        EXPECT_EQ(a, b) << c.name;
        EXPECT_EQ(behind.calls(), direct.printer.calls()) << c.name;
        EXPECT_EQ(printers.aborted(), direct.printer.aborted()) << c.name;
        EXPECT_FALSE(printers.printing()) << c.name;
    }
}

TEST(PrinterSwitch, ReplacesThePrinterOnlyBetweenDocuments) {
    PrinterSwitch printers(std::make_unique<SimulatedPrinter>(test::smallSheet()));
    printers.beginDoc();
    EXPECT_FALSE(printers.replace(std::make_unique<SimulatedPrinter>()));
    printers.endDoc();
    SimulatedPrinterConfig other = test::smallSheet();
    other.name = "Biuro";
    EXPECT_TRUE(printers.replace(std::make_unique<SimulatedPrinter>(other)));
    EXPECT_EQ(printers.printerName(), "Biuro");
    EXPECT_FALSE(printers.replace(nullptr));
}

}  // namespace
}  // namespace zelmo
