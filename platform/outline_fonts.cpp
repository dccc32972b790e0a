// The outline fonts of both platforms: FreeType over the files of Debian's font packages, so
// that every build draws the same glyphs. URW's base 35 fonts are metric-compatible with the
// LaserJet's internal fonts (Nimbus Mono PS with Courier, Nimbus Roman with CG Times, Nimbus
// Sans with the Helvetica-like Univers and Arial widths); Liberation stands in where they are
// missing, and DejaVu Sans Mono supplies the box-drawing characters the URW fonts do not have;
// it is also the bare-text font, as in the PDF printer.
#include <ft2build.h>
#include FT_FREETYPE_H

#include <array>
#include <cstring>
#include <mutex>
#include <string>

#include "platform/font_files.h"
#include "platform/outline_fonts.h"

namespace zelmo {
namespace {

constexpr const char* kUrw = "opentype/urw-base35/";
constexpr const char* kLiberation = "truetype/liberation/";
constexpr const char* kFallback = "truetype/dejavu/DejaVuSansMono.ttf";

// The file names of one family in the order regular, bold, italic, bold italic.
struct FamilyFiles {
    const char* urw[4];
    const char* liberation[4];
};

constexpr FamilyFiles kFiles[3] = {
    {{"NimbusMonoPS-Regular.otf", "NimbusMonoPS-Bold.otf", "NimbusMonoPS-Italic.otf",
      "NimbusMonoPS-BoldItalic.otf"},
     {"LiberationMono-Regular.ttf", "LiberationMono-Bold.ttf", "LiberationMono-Italic.ttf",
      "LiberationMono-BoldItalic.ttf"}},
    {{"NimbusRoman-Regular.otf", "NimbusRoman-Bold.otf", "NimbusRoman-Italic.otf",
      "NimbusRoman-BoldItalic.otf"},
     {"LiberationSerif-Regular.ttf", "LiberationSerif-Bold.ttf", "LiberationSerif-Italic.ttf",
      "LiberationSerif-BoldItalic.ttf"}},
    {{"NimbusSans-Regular.otf", "NimbusSans-Bold.otf", "NimbusSans-Italic.otf",
      "NimbusSans-BoldItalic.otf"},
     {"LiberationSans-Regular.ttf", "LiberationSans-Bold.ttf", "LiberationSans-Italic.ttf",
      "LiberationSans-BoldItalic.ttf"}},
};

// Opens the named font file as a face into slot; false (slot null) when it is missing or bad.
bool openFace(FT_Library library, const std::string& name, FT_Face& slot) {
    FontFile file;
    slot = nullptr;
    if (!library || !findFontFile(name.c_str(), file)) return false;
    const FT_Error error = file.data ? FT_New_Memory_Face(library, file.data,
                                                          static_cast<FT_Long>(file.size), 0, &slot)
                                     : FT_New_Face(library, file.path.c_str(), 0, &slot);
    if (error != 0) slot = nullptr;
    return slot != nullptr;
}

class FreeTypeFonts : public OutlineFonts {
  public:
    FreeTypeFonts() {
        if (FT_Init_FreeType(&library_) != 0) library_ = nullptr;
    }
    ~FreeTypeFonts() override {
        for (FT_Face f : faces_)
            if (f) FT_Done_Face(f);
        if (fallback_) FT_Done_Face(fallback_);
        if (library_) FT_Done_FreeType(library_);
    }

    bool render(const OutlineFace& face, int32_t emX, int32_t emY, char32_t code,
                OutlineGlyph& out) override {
        std::lock_guard<std::mutex> lock(mutex_);
        out = OutlineGlyph{};
        FT_Face f = load(face);
        if (!f) return false;
        if (FT_Get_Char_Index(f, code) == 0) {
            FT_Face fallback = loadFallback();
            if (fallback && FT_Get_Char_Index(fallback, code) != 0) f = fallback;
        }
        if (FT_Set_Char_Size(f, emX * 64, emY * 64, 72, 72) != 0) return true;
        if (FT_Load_Char(f, code, FT_LOAD_RENDER | FT_LOAD_TARGET_MONO | FT_LOAD_MONOCHROME) != 0)
            return true;
        copy(f->glyph, out);
        out.found = FT_Get_Char_Index(f, code) != 0;
        return true;
    }

    bool metrics(const OutlineFace& face, double& advance, double& ascent,
                 double& descent) override {
        std::lock_guard<std::mutex> lock(mutex_);
        FT_Face f = load(face);
        if (!f || f->units_per_EM == 0) return false;
        const double em = f->units_per_EM;
        advance = f->max_advance_width / em;
        if (FT_Load_Char(f, ' ', FT_LOAD_NO_SCALE) == 0) advance = f->glyph->advance.x / em;
        ascent = f->ascender / em;
        descent = f->descender / em;
        return true;
    }

  private:
    // The box-drawing and bare-text font, opened at first use.
    FT_Face loadFallback() {
        if (!fallback_ && !fallbackTried_) {
            fallbackTried_ = true;
            openFace(library_, kFallback, fallback_);
        }
        return fallback_;
    }

    // The face's font, opened at first use; null when neither package is there.
    FT_Face load(const OutlineFace& face) {
        if (face.family == OutlineFamily::Cells) return loadFallback();
        const int family = static_cast<int>(face.family);
        const int style = (face.bold ? 1 : 0) + (face.italic ? 2 : 0);
        FT_Face& slot = faces_[static_cast<std::size_t>(family * 4 + style)];
        if (slot || !library_) return slot;
        if (!openFace(library_, std::string(kUrw) + kFiles[family].urw[style], slot))
            openFace(library_, std::string(kLiberation) + kFiles[family].liberation[style], slot);
        return slot;
    }

    // The rendered one-bit bitmap into out, rows of whole bytes.
    static void copy(FT_GlyphSlot g, OutlineGlyph& out) {
        const FT_Bitmap& b = g->bitmap;
        out.width = static_cast<int32_t>(b.width);
        out.height = static_cast<int32_t>(b.rows);
        out.left = g->bitmap_left;
        out.top = g->bitmap_top;
        out.advance = static_cast<int32_t>(g->advance.x);
        out.stride = (out.width + 7) / 8;
        out.bits.assign(std::size_t(out.stride) * out.height, 0);
        if (b.pixel_mode != FT_PIXEL_MODE_MONO || !b.buffer) {
            out.width = out.height = 0;
            return;
        }
        for (int32_t y = 0; y < out.height; ++y) {
            const unsigned char* row = b.buffer + static_cast<std::ptrdiff_t>(y) * b.pitch;
            std::memcpy(out.bits.data() + std::size_t(y) * out.stride, row,
                        std::size_t(out.stride));
        }
    }

    std::mutex mutex_;
    FT_Library library_ = nullptr;
    std::array<FT_Face, 12> faces_{};
    FT_Face fallback_ = nullptr;
    bool fallbackTried_ = false;
};

}  // namespace

OutlineFonts* platformOutlineFonts() {
    static FreeTypeFonts fonts;
    return &fonts;
}

}  // namespace zelmo
