// Reads the boxes of pdftotext -bbox, which writes them with a dot whatever the locale.
#pragma once

#include <charconv>
#include <string>

namespace zelmo {

// The xMin, yMin, xMax, yMax of the <word> tag that starts at `at`; false when one is missing.
// from_chars, since sscanf's "%lf" reads a comma once the toolkit set a Polish locale.
inline bool readWordBox(const std::string& boxes, size_t at, double box[4]) {
    const char* const keys[] = {"xMin=\"", "yMin=\"", "xMax=\"", "yMax=\""};
    const size_t end = boxes.find('>', at);
    for (int k = 0; k < 4; ++k) {
        size_t from = boxes.find(keys[k], at);
        if (from == std::string::npos || from > end) return false;
        from += std::char_traits<char>::length(keys[k]);
        const auto result = std::from_chars(boxes.data() + from, boxes.data() + end, box[k]);
        if (result.ec != std::errc() || *result.ptr != '"') return false;
    }
    return true;
}

}  // namespace zelmo
