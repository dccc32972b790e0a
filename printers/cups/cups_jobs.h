// Following jobs submitted to CUPS until CUPS says what became of them. One thread asks for
// every job still queued, about once a second, so that neither the window's tick nor the print
// worker ever waits on cupsd (which may be slow or gone while it restarts).
#pragma once

#include <memory>

#include "platform/printer.h"

namespace zelmo {

// Follows job jobId of the CUPS server in use from now on; the document's state is what cupsd
// said last (queued until it answered).
std::shared_ptr<SubmittedDocument> followCupsJob(int jobId);

}  // namespace zelmo
