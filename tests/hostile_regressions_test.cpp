// Inputs kept under data/regressions, replayed exactly as the fuzz targets run them: files named
// run_job-* go through runJob on the simulated printer, decoders-* through the raster and font
// decoders alone. Each must finish with no drawing object alive, no document open and no more
// sheets than a job may send.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "fuzz/fuzz_input.h"
#include "fuzz/fuzz_spool.h"

namespace zelmo {
namespace {

namespace fs = std::filesystem;

std::vector<uint8_t> readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

TEST(HostileRegressions, ReplayWithoutLeaksOrOpenDocuments) {
    fs::path dir = fs::path(ZELMO_TEST_DATA_DIR) / "regressions";
    int replayed = 0;
    for (const fs::directory_entry& entry : fs::directory_iterator(dir)) {
        std::string name = entry.path().filename().string();
        bool job = name.rfind("run_job-", 0) == 0;
        bool decoders = name.rfind("decoders-", 0) == 0;
        if (!job && !decoders) continue;
        SCOPED_TRACE(name);
        std::vector<uint8_t> input = readFile(entry.path());
        fuzz::Outcome o = job ? fuzz::runJobInput(input.data(), input.size())
                              : fuzz::runDecoderInput(input.data(), input.size());
        EXPECT_EQ(o.liveObjectsLeft, 0);
        EXPECT_FALSE(o.printing);
        EXPECT_LE(o.pagesSent, fuzz::kMaxSheets);
        ++replayed;
    }
    // An empty folder would mean the inputs were not found, not that all is well.
    EXPECT_GT(replayed, 0);
}

// Spool scenarios kept from the capture-and-queue target: each replays to no fault.
TEST(HostileRegressions, SpoolScenariosKeepEveryJobOnce) {
    int replayed = 0;
    for (const fs::directory_entry& entry :
         fs::directory_iterator(fs::path(ZELMO_TEST_DATA_DIR) / "regressions")) {
        const std::string name = entry.path().filename().string();
        if (name.rfind("spool-", 0) != 0) continue;
        SCOPED_TRACE(name);
        const std::vector<uint8_t> input = readFile(entry.path());
        EXPECT_EQ(fuzz::runSpoolInput(input.data(), input.size()), "");
        ++replayed;
    }
    EXPECT_GT(replayed, 0);
}

// The settings bytes of a runJob input reach the printer: a copier is asked for the copies, a
// single-mode run makes one document per copy, and the job's sheet limit stops a runaway job.
TEST(HostileRegressions, SettingsBytesChooseThePrinter) {
    std::string job = "\x1b&l3X\x1b*t75R\x1b*b1W\xff\x0c";
    auto run = [&](uint8_t flags) {
        std::vector<uint8_t> input{flags, 1, 0, 0, 0, 0, 0, 0};
        input.insert(input.end(), job.begin(), job.end());
        return fuzz::runJobInput(input.data(), input.size());
    };
    EXPECT_EQ(run(0x00).documents, 1);
    EXPECT_EQ(run(0x00).sheets, 3);
    EXPECT_EQ(run(fuzz::kSingleMode).documents, 3);
    EXPECT_EQ(run(fuzz::kCopiesCapable).sheets, 3);
    EXPECT_EQ(run(fuzz::kCopiesCapable).documents, 1);
    job = "\x1b&l2147483647X\x1b*t75R\x1b*b1W\xff\x0c";
    fuzz::Outcome endless = run(0x00);
    EXPECT_EQ(endless.pagesSent, fuzz::kMaxSheets);
    EXPECT_EQ(endless.aborted, 1);
    EXPECT_FALSE(endless.printing);
}

}  // namespace
}  // namespace zelmo
