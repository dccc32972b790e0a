// The Windows build has no outline rasteriser yet: PCL 5 text is placed but not drawn.
#include "platform/outline_fonts.h"

namespace zelmo {

OutlineFonts* platformOutlineFonts() {
    return nullptr;
}

}  // namespace zelmo
