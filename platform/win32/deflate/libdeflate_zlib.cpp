// libdeflate's one-shot zlib compression through zlib's compress2.
#include "libdeflate.h"

#include <zlib.h>

#include <limits>
#include <new>

struct libdeflate_compressor {
    int level;
};

// The level is all a zlib compressor needs to keep.
libdeflate_compressor* libdeflate_alloc_compressor(int level) {
    return new (std::nothrow) libdeflate_compressor{level};
}

// Frees what alloc gave.
void libdeflate_free_compressor(libdeflate_compressor* compressor) {
    delete compressor;
}

// zlib's bound; sizes beyond what zlib counts (uLong is 32 bits on Windows) are refused later.
size_t libdeflate_zlib_compress_bound(libdeflate_compressor*, size_t in_size) {
    if (in_size > std::numeric_limits<uLong>::max() / 2) return in_size + in_size / 2 + 64;
    return compressBound(static_cast<uLong>(in_size));
}

// compress2 at the compressor's level; 0, as libdeflate says failure, when it cannot.
size_t libdeflate_zlib_compress(libdeflate_compressor* compressor, const void* in, size_t in_size,
                                void* out, size_t out_size) {
    constexpr size_t kMax = std::numeric_limits<uLong>::max();
    if (in_size > kMax / 2 || out_size > kMax) return 0;
    uLongf length = static_cast<uLongf>(out_size);
    if (compress2(static_cast<Bytef*>(out), &length, static_cast<const Bytef*>(in),
                  static_cast<uLong>(in_size), compressor->level) != Z_OK)
        return 0;
    return length;
}
