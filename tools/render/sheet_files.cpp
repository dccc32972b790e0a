// Sheet files for zelmo-render.
#include "sheet_files.h"

#include <cstdio>
#include <fstream>
#include <memory>

#ifdef ZELMO_HAVE_PNG
#include <png.h>
#endif

namespace zelmo {

bool writePbm(const std::string& path, const Sheet& sheet) {
    std::ofstream out(path, std::ios::binary);
    out << "P4\n" << sheet.width << ' ' << sheet.height << '\n';
    out.write(reinterpret_cast<const char*>(sheet.bits.data()),
              static_cast<std::streamsize>(sheet.bits.size()));
    return static_cast<bool>(out);
}

bool writePng(const std::string& path, const Sheet& sheet) {
#ifdef ZELMO_HAVE_PNG
    std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path.c_str(), "wb"), &std::fclose);
    if (!file) return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info) {
        png_destroy_write_struct(&png, nullptr);
        return false;
    }
    std::vector<uint8_t> row(static_cast<size_t>(sheet.stride));
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_init_io(png, file.get());
    png_set_IHDR(png, info, static_cast<png_uint_32>(sheet.width),
                 static_cast<png_uint_32>(sheet.height), 1, PNG_COLOR_TYPE_GRAY, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < sheet.height; ++y) {
        // PNG grey 0 is black; the sheet's 1 is black.
        const uint8_t* in = sheet.bits.data() + static_cast<size_t>(y) * sheet.stride;
        for (int i = 0; i < sheet.stride; ++i)
            row[i] = static_cast<uint8_t>(~in[i]);
        png_write_row(png, row.data());
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return true;
#else
    (void)path;
    (void)sheet;
    return false;
#endif
}

void SheetFiles::sheet(const Sheet& sheet) {
    char name[32];
    std::snprintf(name, sizeof name, "sheet-%04d.%s", next_, png_ ? "png" : "pbm");
    std::string path = dir_ + "/" + name;
    bool ok = png_ ? writePng(path, sheet) : writePbm(path, sheet);
    if (!ok) failed_ = true;
    current_.push_back(path);
    ++next_;
}

void SheetFiles::abortDocument() {
    // An aborted document never reached paper: its sheets and their numbers are given back.
    for (const std::string& path : current_)
        std::remove(path.c_str());
    next_ -= static_cast<int>(current_.size());
    current_.clear();
}

}  // namespace zelmo
