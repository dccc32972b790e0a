// The built-in PDF printer, and the choice between it and the CUPS default destination.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/errors.h"
#include "platform/qt/qt_printers.h"

namespace zelmo {
namespace {

constexpr int kMaxFileNumber = 1000000;

// A file name stem from a document title: without its extension and without path separators.
std::string fileStem(const std::string& title) {
    std::string stem = title.substr(0, title.rfind('.'));
    for (char& c : stem)
        if (c == '/' || c == '\0') c = '_';
    return stem.empty() ? "Wydruk" : stem;
}

// Writes all of data to fd; false on any error.
bool writeAll(int fd, const std::string& data) {
    size_t done = 0;
    while (done < data.size()) {
        const ssize_t n = ::write(fd, data.data() + done, data.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

// Closes a file descriptor when it goes out of scope.
struct FdCloser {
    int fd;
    ~FdCloser() {
        if (fd >= 0) ::close(fd);
    }
};

}  // namespace

PrinterGeometry PdfFolderPrinter::a4() {
    PrinterGeometry g;
    g.width = 4960;
    g.height = 7016;
    g.dpiX = g.dpiY = 600;
    return g;
}

PdfFolderPrinter::PdfFolderPrinter(std::string folder, const PrinterGeometry& geometry)
    : PdfDocumentPrinter(geometry), folder_(std::move(folder)) {}

void PdfFolderPrinter::deliver(const std::string& pdf, const std::string& title) {
    if (::mkdir(folder_.c_str(), 0777) != 0 && errno != EEXIST)
        throw PrinterError("Cannot create " + folder_ + ": " + std::strerror(errno));
    // Written under a hidden name first, so a document appears whole or not at all.
    std::string temp = folder_ + "/.zelmo-XXXXXX";
    FdCloser file{::mkostemp(temp.data(), O_CLOEXEC)};
    if (file.fd < 0) throw PrinterError("Cannot create " + temp + ": " + std::strerror(errno));
    struct TempRemover {
        const std::string& path;
        ~TempRemover() { ::unlink(path.c_str()); }
    } remover{temp};
    if (!writeAll(file.fd, pdf) || ::fchmod(file.fd, 0644) != 0 || ::fsync(file.fd) != 0)
        throw PrinterError("Cannot write " + temp + ": " + std::strerror(errno));
    const std::string stem = folder_ + "/" + fileStem(title) + " ";
    for (int n = 1; n < kMaxFileNumber; ++n) {
        const std::string path = stem + std::to_string(n) + ".pdf";
        // link() never replaces an existing document, whoever wrote it.
        if (::link(temp.c_str(), path.c_str()) == 0) return;
        if (errno != EEXIST)
            throw PrinterError("Cannot create " + path + ": " + std::strerror(errno));
    }
    throw PrinterError("No free file name in " + folder_);
}

std::unique_ptr<Printer> openDefaultPrinter(const std::string& pdfFolder) {
    if (auto cups = CupsPrinter::openDefault()) return cups;
    return std::make_unique<PdfFolderPrinter>(pdfFolder);
}

}  // namespace zelmo
