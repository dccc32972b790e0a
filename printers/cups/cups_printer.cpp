// The CUPS default destination as the printer object: geometry from its defaults, documents
// spooled as they grow and submitted as PDF with libcups.
#include <cups/cups.h>
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "platform/errors.h"
#include "printers/cups/cups_jobs.h"
#include "printers/cups/cups_printers.h"

namespace zelmo {
namespace {

constexpr int kFallbackDpi = 600;
constexpr size_t kSendChunk = 1 << 16;

// Hundredths of a millimetre to device pixels, to the nearest pixel.
int toPixels(int hundredths, int dpi) {
    return static_cast<int>(std::lround(hundredths * static_cast<double>(dpi) / 2540.0));
}

// The destination's default resolution ("printer-resolution-default", else the first one
// supported), in dots per inch.
void defaultResolution(http_t* http, cups_dest_t* dest, cups_dinfo_t* info, int& dpiX, int& dpiY) {
    ipp_attribute_t* attr = cupsFindDestDefault(http, dest, info, "printer-resolution");
    if (!attr) attr = cupsFindDestSupported(http, dest, info, "printer-resolution");
    dpiX = dpiY = kFallbackDpi;
    if (!attr || ippGetValueTag(attr) != IPP_TAG_RESOLUTION) return;
    ipp_res_t units = IPP_RES_PER_INCH;
    int yres = 0;
    const int xres = ippGetResolution(attr, 0, &yres, &units);
    if (xres <= 0 || yres <= 0) return;
    // Dots per centimetre become dots per inch.
    dpiX = units == IPP_RES_PER_CM ? static_cast<int>(std::lround(xres * 2.54)) : xres;
    dpiY = units == IPP_RES_PER_CM ? static_cast<int>(std::lround(yres * 2.54)) : yres;
}

// The print system's last error, for the printer object's exception; libcups has no words for
// a server that went silent.
std::string cupsError(const char* what, const CupsConnection& connection) {
    if (connection.silent())
        return std::string(what) + ": no answer from the print server in " +
               std::to_string(kCupsPatienceSeconds) + " s";
    const char* message = cupsLastErrorString();
    return std::string(what) + ": " + (message && *message ? message : "CUPS error");
}

// What the print system's last failure means for the user. libcups words an unreachable server
// in many ways ("Invalid argument" among them), so a failure its status does not sort is
// checked against the queue as the server sees it: gone, not accepting jobs, or the server away.
PrintTrouble lastTrouble(CupsConnection& connection, const cups_dest_t& dest) {
    // A server that does not answer is the printer's trouble, whatever libcups made of it.
    if (connection.silent()) return PrintTrouble::Unreachable;
    const PrintTrouble trouble = troubleOfIppStatus(cupsLastError());
    if (trouble != PrintTrouble::General) return trouble;
    http_t* http = connection.get();
    if (!http) return PrintTrouble::NoService;
    cups_dest_t* now = cupsGetNamedDest(http, dest.name, dest.instance);
    if (connection.silent()) return PrintTrouble::Unreachable;
    if (!now)
        return cupsLastError() == IPP_STATUS_ERROR_NOT_FOUND ? PrintTrouble::Unreachable
                                                             : PrintTrouble::NoService;
    const char* accepting =
        cupsGetOption("printer-is-accepting-jobs", now->num_options, now->options);
    const bool takes = !accepting || std::strcmp(accepting, "false") != 0;
    cupsFreeDests(1, now);
    return takes ? PrintTrouble::General : PrintTrouble::Stopped;
}

// The exception for a failed request with message: the queue waits when the print system or
// the queue takes no job at all (every job would fail so), a job counts its attempts otherwise.
[[noreturn]] void throwCupsError(const std::string& message, PrintTrouble trouble) {
    switch (trouble) {
        case PrintTrouble::Unreachable:
        case PrintTrouble::Stopped:
        case PrintTrouble::NoService:
        case PrintTrouble::NoPermission:
            throw PrinterUnavailable(message, trouble);
        default:
            throw PrinterError(message, trouble);
    }
}

// A file nobody else can see, for the document while it grows: gone with its descriptor, also
// when the program is killed.
int anonymousFile() {
    const char* env = std::getenv("TMPDIR");
    const std::string dir = env && *env ? env : "/tmp";
    int fd = ::open(dir.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (fd >= 0) return fd;
    // File systems without O_TMPFILE: a private name, unlinked at once.
    std::string path = dir + "/.zelmo-spool-XXXXXX";
    fd = ::mkostemp(path.data(), O_CLOEXEC);
    if (fd >= 0) ::unlink(path.c_str());
    return fd;
}

// The spooled document of the CUPS printer: submitted at its end, dropped unsent otherwise.
class CupsSpoolFile : public DocumentFile {
  public:
    CupsSpoolFile(CupsPrinter& printer, std::string title)
        : printer_(printer), title_(std::move(title)), fd_(anonymousFile()) {
        if (fd_ < 0) {
            const int error = errno;
            throw PrinterError(std::string("Cannot create a spool file: ") + std::strerror(error),
                               troubleOfErrno(error));
        }
    }
    ~CupsSpoolFile() override { ::close(fd_); }
    int fd() const override { return fd_; }
    void deliver() override { printer_.submit(fd_, title_); }

  private:
    CupsPrinter& printer_;
    std::string title_;
    int fd_;
};

}  // namespace

// The libcups destination and its information, freed together.
struct CupsPrinter::Destination {
    cups_dest_t* dest = nullptr;
    cups_dinfo_t* info = nullptr;
    ~Destination() {
        if (info) cupsFreeDestInfo(info);
        if (dest) cupsFreeDests(1, dest);
    }
};

// The default destination with the geometry of its default media and resolution.
std::unique_ptr<CupsPrinter> CupsPrinter::openDefault() {
    CupsConnection connection;
    return openNamed({}, connection);
}

// A destination by name ("queue" or "queue/instance"; empty for the default), with the geometry
// of its default media and resolution.
std::unique_ptr<CupsPrinter> CupsPrinter::openNamed(const std::string& name,
                                                    CupsConnection& connection) {
    http_t* http = connection.get();
    if (!http) return nullptr;
    auto destination = std::make_unique<Destination>();
    const auto slash = name.find('/');
    const std::string queue = name.substr(0, slash);
    const std::string instance = slash == std::string::npos ? "" : name.substr(slash + 1);
    destination->dest = cupsGetNamedDest(http, queue.empty() ? nullptr : queue.c_str(),
                                         instance.empty() ? nullptr : instance.c_str());
    if (!destination->dest) return nullptr;
    destination->info = cupsCopyDestInfo(http, destination->dest);
    if (!destination->info) return nullptr;

    PrinterGeometry g;
    defaultResolution(http, destination->dest, destination->info, g.dpiX, g.dpiY);
    cups_size_t media{};
    if (!cupsGetDestMediaDefault(http, destination->dest, destination->info, 0, &media)) {
        // Without a default size the sheet is A4, all of it printable.
        media.width = 21000;
        media.length = 29700;
    }
    g.width = toPixels(media.width, g.dpiX);
    g.height = toPixels(media.length, g.dpiY);
    g.left = toPixels(media.left, g.dpiX);
    g.right = toPixels(media.right, g.dpiX);
    g.top = toPixels(media.top, g.dpiY);
    g.bottom = toPixels(media.bottom, g.dpiY);
    return std::unique_ptr<CupsPrinter>(new CupsPrinter(std::move(destination), g));
}

// Named after the destination (and its instance).
CupsPrinter::CupsPrinter(std::unique_ptr<Destination> destination, const PrinterGeometry& geometry)
    : PdfDocumentPrinter(geometry), destination_(std::move(destination)) {
    name_ = destination_->dest->name;
    if (destination_->dest->instance) name_ += std::string("/") + destination_->dest->instance;
}

CupsPrinter::~CupsPrinter() = default;

// A spool file nobody else sees, submitted at the document's end.
std::unique_ptr<DocumentFile> CupsPrinter::createDocumentFile(const DocumentFacts& facts) {
    submitted_.reset();
    return std::make_unique<CupsSpoolFile>(*this, facts.title);
}

// Create-Job with the copies, then the PDF in chunks; a failure cancels the job.
void CupsPrinter::submit(int fd, const std::string& title) {
    cups_dest_t* dest = destination_->dest;
    cups_dinfo_t* info = destination_->info;
    http_t* http = connection_.get();
    if (!http)
        throw PrinterUnavailable(cupsError("Create-Job", connection_), PrintTrouble::NoService);
    cups_option_t* options = nullptr;
    const int numOptions = cupsAddIntegerOption("copies", copies_ < 1 ? 1 : copies_, 0, &options);
    int jobId = 0;
    const ipp_status_t created =
        cupsCreateDestJob(http, dest, info, &jobId, title.c_str(), numOptions, options);
    cupsFreeOptions(numOptions, options);
    if (created > IPP_STATUS_OK_CONFLICTING || jobId <= 0)
        throwCupsError(cupsError("Create-Job", connection_), lastTrouble(connection_, *dest));

    bool sent = cupsStartDestDocument(http, dest, info, jobId, title.c_str(), CUPS_FORMAT_PDF, 0,
                                      nullptr, 1) == HTTP_STATUS_CONTINUE;
    std::string message = sent ? "" : cupsError("Send-Document", connection_);
    std::vector<char> chunk(kSendChunk);
    for (off_t at = 0; sent;) {
        const ssize_t n = ::pread(fd, chunk.data(), chunk.size(), at);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            sent = false;
            message = std::string("Send-Document: ") + std::strerror(errno);
        }
        if (n <= 0) break;
        at += n;
        if (cupsWriteRequestData(http, chunk.data(), static_cast<size_t>(n)) !=
            HTTP_STATUS_CONTINUE) {
            sent = false;
            message = cupsError("Send-Document", connection_);
        }
    }
    if (!sent) {
        const PrintTrouble trouble = lastTrouble(connection_, *dest);
        cancelUnsent(jobId);
        throwCupsError(message, trouble);
    }
    if (cupsFinishDestDocument(http, dest, info) > IPP_STATUS_OK_CONFLICTING) {
        message = cupsError("Send-Document", connection_);
        const PrintTrouble trouble = lastTrouble(connection_, *dest);
        // Silent at the end, the server may yet print it: cancelled, so that the next attempt
        // is the only one to print.
        if (trouble == PrintTrouble::Unreachable) cancelUnsent(jobId);
        throwCupsError(message, trouble);
    }
    // In cupsd's queue, not yet on paper: followed until cupsd says it printed.
    submitted_ = followCupsJob(jobId);
}

// Ends the request of a document that was not sent whole and cancels its job, on a fresh
// connection: the one the document went over may hold a late answer.
void CupsPrinter::cancelUnsent(int jobId) {
    connection_.drop();
    if (http_t* http = connection_.get()) cupsCancelDestJob(http, destination_->dest, jobId);
    connection_.drop();
}

// The CUPS default destination, or the PDF folder when there is none.
std::unique_ptr<Printer> openDefaultPrinter(const std::string& pdfFolder) {
    if (auto cups = CupsPrinter::openDefault()) return cups;
    return std::make_unique<PdfFolderPrinter>(pdfFolder);
}

}  // namespace zelmo
