// The installed texts: written once at start, read-only afterwards.
#include "platform/shown_texts.h"

#include <utility>

namespace zelmo {
namespace {

ShownTexts& installed() {
    static ShownTexts texts;
    return texts;
}

}  // namespace

void installShownTexts(ShownTexts texts) {
    installed() = std::move(texts);
}

const ShownTexts& shownTexts() {
    return installed();
}

}  // namespace zelmo
