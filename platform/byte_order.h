// Eight pixel bytes as one machine word: the hot loops of the 1-bit code move 64 pixels at once.
#pragma once

#include <cstdint>
#include <cstring>

namespace zelmo {

// The 8 bytes at p as one number, the first byte most significant (the leftmost pixels).
inline uint64_t loadBe64(const uint8_t* p) {
    uint64_t v;
    std::memcpy(&v, p, sizeof v);
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
    v = __builtin_bswap64(v);
#endif
    return v;
}

// Stores v at p, its most significant byte first.
inline void storeBe64(uint8_t* p, uint64_t v) {
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
    v = __builtin_bswap64(v);
#endif
    std::memcpy(p, &v, sizeof v);
}

}  // namespace zelmo
