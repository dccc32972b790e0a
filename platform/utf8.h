// UTF-8, the one encoding of every text inside the program.
#pragma once

#include <string>

namespace zelmo {

// Appends the UTF-8 form of a code point.
void appendUtf8(std::string& out, char32_t code);

}  // namespace zelmo
