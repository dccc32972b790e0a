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

// Stores the shifted complement of a run of 1-bit data: out[j] = ~((data[j - 1] << (8 - s)) |
// (data[j] >> s)) for j from 0 while whole words fit in count; data[-1] must be readable. Returns
// the bytes done; the caller finishes the rest a byte at a time.
inline int64_t shiftedComplement(uint8_t* out, const uint8_t* data, int64_t count, int s) {
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
    // In a little-endian word byte j sits at bits 8j: shifting the word by s moves each byte's
    // bits as far as shifting the byte does, and the masks drop what crossed a byte boundary.
    const uint64_t low = 0x0101010101010101ull * (0xFFu >> s);
    int64_t j = 0;
    for (; j + 8 <= count; j += 8) {
        uint64_t here, before;
        std::memcpy(&here, data + j, 8);
        std::memcpy(&before, data + j - 1, 8);
        uint64_t v = ~(((here >> s) & low) | ((before << (8 - s)) & ~low));
        std::memcpy(out + j, &v, 8);
    }
    return j;
#else
    (void)out;
    (void)data;
    (void)count;
    (void)s;
    return 0;
#endif
}

}  // namespace zelmo
