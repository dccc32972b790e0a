// zelmo-render end to end: the command line, the trace, the sheet files and the exit status.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "support/job_run.h"

namespace zelmo {
namespace {

struct Result {
    int status = -1;
    std::string out;
};

// Runs zelmo-render with the given arguments; standard error is dropped.
Result render(const std::string& args) {
    Result r;
    std::string command = std::string(ZELMO_RENDER_PATH) + " " + args + " 2>/dev/null";
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return r;
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0)
        r.out.append(buffer, n);
    int status = pclose(pipe);
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

class RenderTool : public ::testing::Test {
  protected:
    void SetUp() override {
        char pattern[] = "/tmp/zelmo-render-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir = pattern;
        job = dir + "/job.prn";
        std::vector<uint8_t> bytes = sampleJob();
        std::ofstream(job, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<std::streamsize>(bytes.size()));
    }
    void TearDown() override { std::system(("rm -rf '" + dir + "'").c_str()); }
    std::string dir, job;
};

TEST_F(RenderTool, SheetsMatchTheSimulatedPrinter) {
    Result r =
        render("--printer 1275,1650,150,10,20,30,40 --engine 1 --out " + dir + "/out " + job);
    ASSERT_EQ(r.status, 0);
    SimulatedPrinterConfig config;
    config.width = 1275;
    config.height = 1650;
    config.dpi = 150;
    config.left = 10;
    config.top = 20;
    config.right = 30;
    config.bottom = 40;
    test::JobRun expected(config);
    expected.request.engine = 1;
    expected.run(sampleJob());
    std::vector<const Sheet*> sheets = expected.sheets();
    ASSERT_EQ(sheets.size(), 2u);
    for (size_t i = 0; i < sheets.size(); ++i) {
        std::string file = readFile(dir + "/out/sheet-000" + std::to_string(i + 1) + ".pbm");
        std::string header = "P4\n1275 1650\n";
        ASSERT_EQ(file.substr(0, header.size()), header);
        EXPECT_GT(sheets[i]->blackCount(), 1000);
        EXPECT_TRUE(file.substr(header.size()) ==
                    std::string(sheets[i]->bits.begin(), sheets[i]->bits.end()))
            << "sheet " << i + 1;
    }
    EXPECT_FALSE(std::ifstream(dir + "/out/sheet-0003.pbm").good());
}

TEST_F(RenderTool, TraceListsPrinterCalls) {
    Result r = render("--offset 2.5,-1 --single --trace " + job);
    ASSERT_EQ(r.status, 0);
    // 2.5 mm is 25 tenths: 29.5 pixels at 300 dpi rounds to 30; -1 mm is -11.8, so -12.
    EXPECT_EQ(r.out,
              "begin \"Kalvister II - wydruk.prn\"\n"
              "stretch 30 -12 2480 3508 2480 3508 SRCCOPY\nend\n"
              "begin \"Kalvister II - wydruk.prn\"\n"
              "stretch 30 -12 2480 3508 2480 3508 SRCCOPY\nend\n");
}

TEST_F(RenderTool, TextListsEachSheetsLines) {
    Result r = render("--text " + job);
    ASSERT_EQ(r.status, 0);
    EXPECT_EQ(r.out,
              "sheet 1\nsheet 2\n"
              "150 125 445 160 ZELMO 2026\n"
              "0 175 325 210 FAKTURA 123\n"
              "1203 1506 1408 1541 ZOE 620\n"
              "2200 2905 2285 2940 KLM\n");
}

TEST_F(RenderTool, EachSheetListsOnlyItsOwnLines) {
    // The sample twice in one job: raster, text, raster, text; and a bare-text job.
    std::vector<uint8_t> twice = sampleJob();
    twice.insert(twice.end(), twice.begin(), twice.end());
    std::ofstream(dir + "/twice.prn", std::ios::binary)
        .write(reinterpret_cast<const char*>(twice.data()),
               static_cast<std::streamsize>(twice.size()));
    std::ofstream(dir + "/bare.prn", std::ios::binary) << "PAGE ONE\fPAGE TWO\f";
    Result r = render("--text " + dir + "/twice.prn " + dir + "/bare.prn");
    ASSERT_EQ(r.status, 0);
    const std::string text =
        "150 125 445 160 ZELMO 2026\n"
        "0 175 325 210 FAKTURA 123\n"
        "1203 1506 1408 1541 ZOE 620\n"
        "2200 2905 2285 2940 KLM\n";
    const std::string bare = r.out.substr(r.out.find("sheet 5\n"));
    EXPECT_EQ(r.out.substr(0, r.out.size() - bare.size()),
              "sheet 1\nsheet 2\n" + text + "sheet 3\nsheet 4\n" + text);
    EXPECT_EQ(bare.find("PAGE ONE"), bare.rfind("PAGE ONE"));
    EXPECT_EQ(bare.find("PAGE TWO"), bare.rfind("PAGE TWO"));
    EXPECT_LT(bare.find("PAGE ONE"), bare.find("sheet 6"));
    EXPECT_GT(bare.find("PAGE TWO"), bare.find("sheet 6"));
}

TEST_F(RenderTool, ConsecutiveJobsKeepPrinterCopies) {
    std::ofstream(dir + "/copies.prn", std::ios::binary) << "\x1b&l3X";
    // Two pages and no copies command of its own.
    std::ofstream(dir + "/pages.prn", std::ios::binary) << "\x1b*t150R\x1b*b1W\xff\f\f";
    Result r = render("--copies-capable --trace --out " + dir + "/out " + dir + "/copies.prn " +
                      dir + "/pages.prn");
    ASSERT_EQ(r.status, 0);
    EXPECT_EQ(r.out.substr(0, 9), "copies 3\n");
    EXPECT_TRUE(std::ifstream(dir + "/out/sheet-0006.pbm").good());  // two pages, three each
    EXPECT_FALSE(std::ifstream(dir + "/out/sheet-0007.pbm").good());
}

TEST_F(RenderTool, TestPageWithoutJob) {
    Result r = render("--test 1 --trace --png --out " + dir + "/out");
    ASSERT_EQ(r.status, 0);
    EXPECT_EQ(r.out,
              "begin \"Kalvister II - wydruk.prn\"\npen 6\nmove 0 1754\nline 2480 1754\n"
              "move 1240 0\nline 1240 3508\ntext 0 0 \"Test wektorowy\"\nend\n");
    EXPECT_EQ(readFile(dir + "/out/sheet-0001.png").substr(1, 3), "PNG");
}

TEST_F(RenderTool, BadArgumentsOrJobsExitWithTwo) {
    const std::string cases[] = {
        "",
        "--engine",
        "--printer 100,100 " + job,
        "--printer 100,100,300,60,0,60,0 " + job,
        "--offset 1 " + job,
        "--offset x,1 " + job,
        "--test 4",
        "--frobnicate " + job,
        dir + "/missing.prn",
        dir,
    };
    for (const std::string& args : cases)
        EXPECT_EQ(render(args).status, 2) << args;
}

TEST_F(RenderTool, SurvivesAnyBytes) {
    std::string noise;
    for (int i = 0; i < 20000; ++i)
        noise += static_cast<char>((i * 7919 + i / 13) % 256);
    std::ofstream(dir + "/noise.prn", std::ios::binary) << noise;
    EXPECT_EQ(render("--engine 2 " + dir + "/noise.prn").status, 0);
}

}  // namespace
}  // namespace zelmo
