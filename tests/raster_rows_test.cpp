// Raster row transfers into the raster page: methods 0 and 1, shifted stores, clipping.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "pcl/interpreter.h"

namespace zelmo {
namespace {

// A raster page of 160 x 100 pixels (rows of 20 bytes) with row data laid out as a job.
struct RasterFixture {
    PclState s;
    DeviceMetrics metrics;
    PrintRequest request;
    std::vector<uint8_t> data;

    RasterFixture() {
        metrics.dpiX = metrics.dpiY = 300;
        metrics.physWidth = 160;
        metrics.physHeight = 100;
        metrics.horzRes = 160;
        metrics.vertRes = 100;
        resetPageSurface(s, request);
        s.rasterDpi = 300;
        s.rasterMode = true;
        createRasterPage(s, metrics, request);
    }
    uint8_t* row(int r) { return s.surface.raster.pageBits + r * s.surface.raster.rowBytes; }
    // Transfers one row of the given bytes (count = their number unless given).
    bool transfer(std::vector<uint8_t> bytes, int32_t count = -1) {
        data = std::move(bytes);
        s.job = data.data();
        s.jobEnd = data.size();
        s.paramValue = count < 0 ? static_cast<int32_t>(data.size()) : count;
        std::size_t pos = 0;
        bool ok = transferRasterRow(s, pos);
        advanced = pos;
        return ok;
    }
    std::size_t advanced = 0;
};

struct RowCase {
    const char* name;
    int compression;
    int rasterX;
    uint8_t background;  // the row's bytes before the transfer
    std::vector<uint8_t> data;
    std::vector<uint8_t> expectStart;  // the row's first bytes afterwards
    std::vector<uint8_t> expectEnd;    // the row's last bytes afterwards (may be empty)
};

class RasterRow : public ::testing::TestWithParam<RowCase> {};

TEST_P(RasterRow, StoresComplementedDataClippedToTheRow) {
    const RowCase& c = GetParam();
    RasterFixture f;
    ASSERT_EQ(f.s.surface.raster.rowBytes, 20);
    std::memset(f.row(0), c.background, 20);
    std::memset(f.row(1), 0xA5, 20);  // the next row must never be touched
    f.s.compression = static_cast<int16_t>(c.compression);
    f.s.rasterX = c.rasterX;
    ASSERT_TRUE(f.transfer(c.data));
    EXPECT_EQ(std::vector<uint8_t>(f.row(0), f.row(0) + c.expectStart.size()), c.expectStart);
    EXPECT_EQ(std::vector<uint8_t>(f.row(0) + 20 - c.expectEnd.size(), f.row(0) + 20), c.expectEnd);
    EXPECT_EQ(std::vector<uint8_t>(f.row(1), f.row(1) + 20), std::vector<uint8_t>(20, 0xA5));
    EXPECT_EQ(f.advanced, c.data.size());
    EXPECT_EQ(f.s.rasterRow, 1);
}

std::vector<uint8_t> bytesOf(size_t n, uint8_t v) {
    return std::vector<uint8_t>(n, v);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RasterRow,
    ::testing::Values(
        RowCase{"EmptyRow", 0, 0, 0xFF, {}, {0xFF, 0xFF}, {}},
        RowCase{"AlignedStoredWhole", 0, 8, 0xFF, {0x81, 0x0F}, {0xFF, 0x7E, 0xF0, 0xFF}, {}},
        RowCase{"ShiftedBlackByte", 0, 3, 0xFF, {0xFF}, {0xE0, 0x1F, 0xFF}, {}},
        RowCase{"ShiftedWhiteOverInk", 0, 3, 0x00, {0x00}, {0x1F, 0xE0, 0x00}, {}},
        RowCase{"MethodZeroExcessDropped", 0, 0, 0xFF, bytesOf(25, 0xFF), bytesOf(20, 0x00), {}},
        RowCase{"ShiftedStopsBeforeLastByte",
                0,
                148,
                0xFF,
                {0xFF, 0xFF, 0xFF},
                {},
                {0xFF, 0xFF, 0xF0, 0x0F}},
        RowCase{"MethodOneRun", 1, 0, 0xFF, {2, 0xAA}, {0x55, 0x55, 0x55, 0xFF}, {}},
        RowCase{"MethodOneOddCountSkipsLast",
                1,
                0,
                0xFF,
                {0, 0xFF, 1, 0x0F, 0x00},
                {0x00, 0xF0, 0xF0, 0xFF},
                {}},
        RowCase{"MethodOneShiftedRun", 1, 4, 0xFF, {1, 0xFF}, {0xF0, 0x00, 0x0F}, {}},
        RowCase{"MethodOneRunTooLongForRowDropped", 1, 144, 0xFF, {3, 0xFF}, {}, bytesOf(3, 0xFF)},
        RowCase{"MethodOneRunExactlyToEnd", 1, 144, 0xFF, {1, 0xFF}, {}, {0xFF, 0x00, 0x00}},
        RowCase{"MethodOneSingleNeverFillsLastByte",
                1,
                144,
                0xFF,
                {0, 0xFF, 0, 0xFF, 0, 0xFF},
                {},
                {0xFF, 0x00, 0xFF}},
        RowCase{"MethodOneShiftedRunDropsLastRepeats",
                1,
                132,
                0xFF,
                {3, 0xFF},
                {},
                {0xF0, 0x00, 0x00, 0x0F}},
        RowCase{"MethodOneRunPastRowStopsRow",
                1,
                148,
                0xFF,
                {4, 0xFF, 0, 0xFF},
                {},
                {0xFF, 0xFF, 0xFF}},
        RowCase{"UnsupportedMethodDrawsNothing", 2, 0, 0xFF, {0xFF, 0xFF}, {0xFF, 0xFF}, {}},
        RowCase{"StartBeyondRowDrawsNothing", 0, 4000, 0xFF, {0xFF}, bytesOf(20, 0xFF), {}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(RasterRows, RowBelowThePageIsConsumedAndCounted) {
    RasterFixture f;
    f.s.rasterRow = 100;  // pageHeight
    ASSERT_TRUE(f.transfer({0xFF}));
    EXPECT_EQ(f.s.rasterRow, 101);
    EXPECT_EQ(f.advanced, 1u);
}

TEST(RasterRows, FailsWithoutPageOrBytes) {
    RasterFixture f;
    EXPECT_FALSE(f.transfer({0xFF, 0xFF}, 3));  // more announced than remain
    EXPECT_EQ(f.s.rasterRow, 0);
    EXPECT_EQ(f.advanced, 0u);
    EXPECT_TRUE(f.transfer({0xFF, 0xFF}, 2));  // exactly what remains

    PclState none;
    std::vector<uint8_t> bytes{0xFF};
    none.job = bytes.data();
    none.jobEnd = 1;
    none.paramValue = 1;
    std::size_t pos = 0;
    EXPECT_FALSE(transferRasterRow(none, pos));
    EXPECT_EQ(pos, 0u);
}

TEST(RasterRows, RowsGoToRasterRowOnward) {
    RasterFixture f;
    f.s.rasterRow = 7;
    ASSERT_TRUE(f.transfer({0x80}));
    ASSERT_TRUE(f.transfer({0x40}));
    EXPECT_EQ(f.row(7)[0], 0x7F);
    EXPECT_EQ(f.row(8)[0], 0xBF);
    EXPECT_EQ(f.s.rasterRow, 9);
}

}  // namespace
}  // namespace zelmo

namespace zelmo {
namespace {

// The shifted write one data byte at a time, as the rows are defined, for comparison with the
// word-at-a-time paths.
void referenceRow(std::vector<uint8_t>& row, int rasterX, const std::vector<uint8_t>& data,
                  int compression) {
    int64_t q = rasterX / 8, rowEnd = static_cast<int64_t>(row.size());
    int s = rasterX % 8;
    auto store = [&](uint8_t d) {
        uint8_t ink = static_cast<uint8_t>(~d);
        if (s == 0) {
            row[q] = ink;
        } else {
            uint8_t hm = static_cast<uint8_t>(0xFF << (8 - s));
            row[q] = static_cast<uint8_t>((row[q] & hm) | (ink >> s));
            row[q + 1] = static_cast<uint8_t>((row[q + 1] & ~hm) | ((ink << (8 - s)) & 0xFF));
        }
        ++q;
    };
    if (compression == 0) {
        int64_t n = std::min<int64_t>(static_cast<int64_t>(data.size()), rowEnd - q);
        for (int64_t i = 0; i < n && (s == 0 || q < rowEnd - 1); ++i)
            store(data[i]);
        return;
    }
    for (size_t p = 0; p + 1 < data.size(); p += 2) {
        int reps = data[p] + 1;
        if (reps == 1) {
            if (q >= rowEnd - 1) return;
            store(data[p + 1]);
        } else {
            if (q + reps > rowEnd) return;
            for (int r = 0; r < reps && (s == 0 || q < rowEnd - 1); ++r)
                store(data[p + 1]);
        }
    }
}

TEST(RasterRows, WordPathsMatchByteAtATimeStores) {
    uint32_t seed = 12345;
    auto next = [&] {
        return seed = seed * 1103515245u + 12345u, static_cast<uint8_t>(seed >> 16);
    };
    for (int compression : {0, 1}) {
        for (int rasterX = 0; rasterX < 24; ++rasterX) {
            for (size_t length : {1u, 2u, 7u, 8u, 9u, 15u, 16u, 17u, 19u, 24u, 40u}) {
                RasterFixture f;
                std::vector<uint8_t> data(length);
                for (uint8_t& d : data)
                    d = compression == 1 && (&d - data.data()) % 2 == 0 ? next() % 6 : next();
                std::vector<uint8_t> before(20);
                for (uint8_t& b : before)
                    b = next();
                std::memcpy(f.row(0), before.data(), 20);
                f.s.compression = static_cast<int16_t>(compression);
                f.s.rasterX = rasterX;
                ASSERT_TRUE(f.transfer(data));
                std::vector<uint8_t> expected = before;
                referenceRow(expected, rasterX, data, compression);
                EXPECT_EQ(std::vector<uint8_t>(f.row(0), f.row(0) + 20), expected)
                    << "method " << compression << ", rasterX " << rasterX << ", " << length
                    << " bytes";
            }
        }
    }
}

}  // namespace
}  // namespace zelmo
