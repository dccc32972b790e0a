// A page's text read back line by line.
#include "platform/text_layer.h"

#include "platform/utf8.h"

namespace zelmo {

std::string lineText(const TextLayer& layer, const TextLine& line) {
    std::string text;
    for (uint32_t g = line.first; g < line.first + line.count && g < layer.glyphs.size(); ++g)
        appendUtf8(text, layer.glyphs[g].code);
    return text;
}

}  // namespace zelmo
