// zelmo_fuzz_seeds DIR: writes the seed corpus of both fuzz targets into DIR/run_job and
// DIR/decoders, from the job builders of the sample job and the benchmarks, made small.
#include <sys/stat.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "bench/bench_jobs.h"
#include "pcl/raster_compression.h"
#include "tools/job_builder.h"

namespace {

using Bytes = std::vector<uint8_t>;

// Writes bytes to a new file at path.
void write(const std::string& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

// The settings bytes in front of a runJob seed: flags, sheet, margins, offsets, reserved.
Bytes withSettings(uint8_t flags, uint8_t sheet, const Bytes& job) {
    Bytes out{flags, sheet, 5, 0, 40, 0xFF, 0xE0, 0};
    out.insert(out.end(), job.begin(), job.end());
    return out;
}

// Jobs of every kind the interpreter knows, small enough to run in milliseconds.
std::vector<Bytes> jobSeeds() {
    using namespace zelmo;
    std::vector<Bytes> jobs{sampleJob()};
    for (int method = 0; method < kRasterCompressionCount; ++method)
        for (int x : {0, 3}) {
            bench::RasterJobShape r;
            r.pages = 2;
            r.rows = 12;
            r.rowBytes = 30;
            r.dpi = 75;
            r.x = x;
            r.method = static_cast<RasterCompression>(method);
            jobs.push_back(bench::rasterJob(r));
        }
    bench::TextJobShape t;
    t.pages = 2;
    t.lines = 3;
    t.columns = 12;
    t.glyphs = 6;
    t.glyphWidth = 9;
    t.glyphHeight = 12;
    jobs.push_back(bench::textJob(t));
    jobs.push_back(
        JobBuilder().esc("E").esc("&l3X").esc("*t150R").rasterRow({0xF0, 0x0F}).formFeed().data());
    // Other programs' PCL 5: compressed raster, then rules, patterns, positions and text.
    for (int method : {2, 3})
        jobs.push_back(bench::pcl5RasterJob(1, 12, 30, method));
    jobs.push_back(JobBuilder()
                       .esc("%-12345X@PJL ENTER LANGUAGE=PCL\r\n")
                       .esc("E")
                       .esc("&l1O")
                       .esc("&l8D")
                       .esc("(17U")
                       .esc("(s0p16.67h0T")
                       .esc("&a2R")
                       .text("Zelmo \x86\xA5")
                       .esc("*c40a20b3g3P")
                       .esc("*v1O")
                       .esc("*c20g2P")
                       .esc("&f0S")
                       .esc("&a+5C")
                       .esc("&dD")
                       .text("x")
                       .esc("&f1S")
                       .esc("&p2X")
                       .text("\f\n")
                       .formFeed()
                       .data());
    return jobs;
}

// Decoder seeds: engine, raster resolution step, then operations (see fuzz_input.h).
std::vector<Bytes> decoderSeeds() {
    Bytes header(64, 0);
    header[7] = 40;  // baseline
    header[9] = 20;  // cell width
    Bytes glyph(16, 0);
    glyph[9] = 10;  // top offset
    glyph[11] = 9;  // width
    glyph[13] = 3;  // height
    Bytes glyphData = glyph;
    glyphData.insert(glyphData.end(), {0xFF, 0x80, 0x81, 0x00, 0xFF, 0x80});
    Bytes ops{0, 2};
    ops.insert(ops.end(), {1, 64});
    ops.insert(ops.end(), header.begin(), header.end());
    ops.insert(ops.end(), {2, 'A', 0, static_cast<uint8_t>(glyphData.size())});
    ops.insert(ops.end(), glyphData.begin(), glyphData.end());
    ops.insert(ops.end(), {3, 'A', 0, 10, 0, 20});
    ops.insert(ops.end(), {0, 0, 0, 3, 0, 1, 0, 4, 0xFF, 0x00, 0xAA, 0x55});
    ops.insert(ops.end(), {0, 1, 0, 0, 0, 2, 0, 4, 7, 0xF0, 0, 0x0F});
    return {ops, Bytes{1, 5, 0, 0, 0, 0, 0, 0, 0, 3, 0xFF, 0xFF, 0xC0}};
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: zelmo_fuzz_seeds DIR\n");
        return 2;
    }
    std::string dir = argv[1];
    mkdir(dir.c_str(), 0777);
    mkdir((dir + "/run_job").c_str(), 0777);
    mkdir((dir + "/decoders").c_str(), 0777);
    int n = 0;
    for (const Bytes& job : jobSeeds()) {
        // Each job under the default engine, the DIB engines in single mode, and a copier.
        write(dir + "/run_job/seed-" + std::to_string(n++), withSettings(0x00, 1, job));
        write(dir + "/run_job/seed-" + std::to_string(n++), withSettings(0x05, 3, job));
        write(dir + "/run_job/seed-" + std::to_string(n++), withSettings(0x0A, 4, job));
    }
    for (uint8_t test = 1; test <= 3; ++test)
        write(dir + "/run_job/seed-" + std::to_string(n++),
              withSettings(static_cast<uint8_t>(0x80 | test << 5), 0, {}));
    mkdir((dir + "/raster5").c_str(), 0777);
    // A raster of 4 bytes a row: a row in each method, then blank and repeated rows.
    write(dir + "/raster5/seed-0", Bytes{3,    0, 0, 4, 1,    2,    0, 4, 0x01, 0xF0, 0x0F, 0x81,
                                         0xAA, 2, 0, 2, 0xFF, 0x80, 3, 0, 3,    0x21, 0x12, 0x34,
                                         5,    0, 6, 4, 0,    1,    5, 0, 2,    0xF0, 0,    9});
    n = 0;
    for (const Bytes& ops : decoderSeeds())
        write(dir + "/decoders/seed-" + std::to_string(n++), ops);
    return 0;
}
