// The part of libdeflate's interface the PDF writer uses, over zlib: Debian has no libdeflate
// for mingw-w64. One-shot zlib-format compression at a level; the output is plain zlib, which
// every PDF reader takes, only made more slowly than libdeflate makes it.
#pragma once

#include <cstddef>

struct libdeflate_compressor;

// A compressor at level (0-9 as zlib takes them); null when memory is short.
libdeflate_compressor* libdeflate_alloc_compressor(int level);
void libdeflate_free_compressor(libdeflate_compressor* compressor);
// The most bytes compressing in_size bytes can give.
size_t libdeflate_zlib_compress_bound(libdeflate_compressor* compressor, size_t in_size);
// Compresses in into out; the compressed size, or 0 when it did not fit in out_size.
size_t libdeflate_zlib_compress(libdeflate_compressor* compressor, const void* in, size_t in_size,
                                void* out, size_t out_size);
