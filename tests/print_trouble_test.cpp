// The print systems' codes as the troubles the user is told of: the codes a print fails with
// in practice, each kind's boundary, and unknown codes falling to the general text.
#include <gtest/gtest.h>

#include <cerrno>

#include "platform/print_trouble.h"

namespace zelmo {
namespace {

TEST(PrintTrouble, CodesAreSortedIntoWhatTheUserCanActOn) {
    using T = PrintTrouble;
    const std::pair<int, T> ipp[] = {
        {0x0400, T::Refused},      {0x0401, T::NoPermission}, {0x0403, T::NoPermission},
        {0x0406, T::Unreachable},  {0x040A, T::Refused},      {0x04FF, T::Refused},
        {0x0500, T::General},      {0x0502, T::NoService},    {0x0504, T::Unreachable},
        {0x0506, T::Stopped},      {0x0507, T::Stopped},      {0x050A, T::Stopped},
        {0x1000, T::NoPermission}, {0x0000, T::General},      {0x0300, T::General},
    };
    for (auto [code, trouble] : ipp)
        EXPECT_EQ(troubleOfIppStatus(code), trouble) << std::hex << code;
    const std::pair<uint32_t, T> windows[] = {
        {5, T::NoPermission},   {112, T::DiskFull}, {39, T::DiskFull},
        {1801, T::Unreachable}, {28, T::Stopped},   {1906, T::Stopped},
        {1722, T::NoService},   {63, T::Refused},   {6, T::General},
    };
    for (auto [code, trouble] : windows)
        EXPECT_EQ(troubleOfWindowsError(code), trouble) << code;
    const std::pair<int, T> posix[] = {{ENOSPC, T::DiskFull},
                                       {EACCES, T::NoPermission},
                                       {EROFS, T::NoPermission},
                                       {EIO, T::General}};
    for (auto [code, trouble] : posix)
        EXPECT_EQ(troubleOfErrno(code), trouble) << code;
}

}  // namespace
}  // namespace zelmo
