// One job through the interpreter onto a PDF document, as the CUPS filter prints it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "output/job_content.h"
#include "output/print_request.h"
#include "printers/pdf/pdf_printers.h"

namespace zelmo {

// How a job ended, with what the filter reports of it.
struct FilterOutcome {
    enum class Kind {
        Printed,      // a document with at least one page
        NotPrintout,  // the bytes are no printer's job: content tells what they look like
        NoPage,       // the job drew nothing
        Stopped,      // the document was aborted
        Failed,       // a limit or the system stopped the job: reason says which
    };
    Kind kind = Kind::Failed;
    int pages = 0;  // pages in the document, the job's own copies counted
    ContentVerdict content;
    std::string reason;
};

// Interprets the job onto a PDF document of that sheet, titled title, written to fd, with the
// monitor's default settings but request's code page. Only a Printed outcome leaves a whole
// document there.
FilterOutcome printFilterJob(const uint8_t* job, std::size_t size, const PrinterGeometry& geometry,
                             const std::string& title, const PrintRequest& request, int fd);

}  // namespace zelmo
