// zelmo-cups-filter: job-id user title copies options [file]. Reads the accounting program's
// PCL job (from the file, or standard input) and writes it as a PDF to standard output, the
// messages for CUPS on standard error. The job is mapped, never read into memory whole, so a
// job of gigabytes costs the pages being interpreted, not its size. The PDF grows in a temporary
// file and reaches standard output only when the job printed, so a refused or broken job never
// sends a page on.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "filter/filter_geometry.h"
#include "filter/filter_job.h"
#include "filter/filter_texts.h"
#include "platform/files.h"
#include "zelmo_version.h"

namespace {

namespace texts = zelmo::filter_texts;

// A file descriptor closed by its owner.
class Descriptor {
  public:
    explicit Descriptor(int fd) : fd_(fd) {}
    ~Descriptor() {
        if (fd_ > 2) ::close(fd_);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return fd_; }

  private:
    int fd_;
};

// A file of the temporary folder CUPS gives the filter, gone once closed.
int temporaryFile() {
    const char* folder = std::getenv("TMPDIR");
    std::string path =
        std::string(folder != nullptr && *folder ? folder : "/tmp") + "/zelmo-cups-filter-XXXXXX";
    const int fd = ::mkostemp(path.data(), O_CLOEXEC);
    if (fd >= 0) ::unlink(path.c_str());
    return fd;
}

// Writes all size bytes of data to fd; false on an error.
bool writeAll(int fd, const uint8_t* data, std::size_t size) {
    for (std::size_t done = 0; done < size;) {
        const ssize_t w = ::write(fd, data + done, size - done);
        if (w < 0 && errno == EINTR) continue;
        if (w <= 0) return false;
        done += static_cast<std::size_t>(w);
    }
    return true;
}

// Copies everything fd holds into the file out, through one bounded buffer; false on a read or
// write error.
bool spool(int fd, int out) {
    std::vector<uint8_t> chunk(std::size_t{1} << 16);
    for (;;) {
        const ssize_t n = ::read(fd, chunk.data(), chunk.size());
        if (n == 0) return true;
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 || !writeAll(out, chunk.data(), static_cast<std::size_t>(n))) return false;
    }
}

// How loading the job went.
enum class Load { Loaded, Unreadable, TooLarge };

// The job's bytes, mapped from its file: the named one, standard input when that is a file, or
// else a temporary file that standard input is spooled into. Only the pages the interpreter
// touches come into memory, and the page cache can take them back.
Load loadJob(const char* path, zelmo::files::JobBytes& job) {
    namespace files = zelmo::files;
    files::File file(path != nullptr ? files::openShared(path) : files::File(::dup(0)));
    struct stat info {};
    if (!file.isOpen() || ::fstat(static_cast<int>(file.handle()), &info) != 0)
        return Load::Unreadable;
    if (!S_ISREG(info.st_mode)) {
        files::File copy(temporaryFile());
        if (!copy.isOpen() ||
            !spool(static_cast<int>(file.handle()), static_cast<int>(copy.handle())))
            return Load::Unreadable;
        file = std::move(copy);
    }
    const int64_t length = file.seekLength();
    if (length < 0) return Load::Unreadable;
    // A job that can be neither mapped nor read whole is too large for this process's limits.
    return files::readWhole(file, job) ? Load::Loaded : Load::TooLarge;
}

// Copies the finished document from the start of fd to standard output.
bool sendDocument(int fd) {
    if (::lseek(fd, 0, SEEK_SET) != 0) return false;
    std::vector<uint8_t> chunk(std::size_t{1} << 16);
    for (;;) {
        ssize_t n = ::read(fd, chunk.data(), chunk.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return n == 0;
        if (!writeAll(1, chunk.data(), static_cast<std::size_t>(n))) return false;
    }
}

// Tells CUPS how the job ended; the exit status: 0 printed, 1 the job failed.
int report(const zelmo::FilterOutcome& outcome) {
    using Kind = zelmo::FilterOutcome::Kind;
    switch (outcome.kind) {
        case Kind::Printed:
            return 0;
        case Kind::NotPrintout:
            std::fprintf(stderr, texts::kNotPrintout, outcome.content.polish,
                         outcome.content.english);
            break;
        case Kind::NoPage:
            std::fputs(texts::kNoPage, stderr);
            break;
        case Kind::Stopped:
            std::fputs(texts::kStopped, stderr);
            break;
        case Kind::Failed:
            std::fprintf(stderr, texts::kFailed, outcome.reason.c_str());
            break;
    }
    return 1;
}

// Whether the PDF goes to the printer as it is. Otherwise CUPS's pdftopdf takes it on, making
// the job's copies and counting the pages, and a count here would count each page twice.
bool lastFilter() {
    const char* final = std::getenv("FINAL_CONTENT_TYPE");
    return final == nullptr || std::strcmp(final, "application/pdf") == 0;
}

// The copies the printer makes of each page, for the page log: the job's copies argument.
int jobCopies(const char* text) {
    const long copies = std::strtol(text, nullptr, 10);
    return copies >= 1 && copies <= 9999 ? static_cast<int>(copies) : 1;
}

// Sends the document on and counts its pages, each copies times, for CUPS's page log when no
// later filter does.
int deliver(int fd, int pages, int copies) {
    if (!sendDocument(fd)) {
        std::fputs(texts::kNoOutput, stderr);
        return 1;
    }
    for (int page = 1; lastFilter() && page <= pages; ++page)
        std::fprintf(stderr, "PAGE: %d %d\n", page, copies);
    std::fprintf(stderr, texts::kPrinted, pages, pages);
    return 0;
}

// Prints one job; main's body, inside its guard against running out of memory.
int filterJob(int argc, char** argv) {
    if (argc < 6 || argc > 7) {
        std::fprintf(stderr, "%s\n", texts::kUsage);
        return 1;
    }
    zelmo::files::JobBytes job;
    switch (loadJob(argc == 7 ? argv[6] : nullptr, job)) {
        case Load::Loaded:
            break;
        case Load::Unreadable:
            std::fputs(texts::kUnreadable, stderr);
            return 1;
        case Load::TooLarge:
            std::fputs(texts::kTooLarge, stderr);
            return 1;
    }
    if (job.empty()) {
        std::fputs(texts::kEmpty, stderr);
        return 1;
    }
    std::fputs(texts::kPrinting, stderr);
    Descriptor document(temporaryFile());
    if (document.get() < 0) {
        std::fputs(texts::kNoOutput, stderr);
        return 1;
    }
    const zelmo::PrinterGeometry geometry = zelmo::filterGeometry(std::getenv("PPD"), argv[5]);
    zelmo::PrintRequest request;
    request.codePage = static_cast<int32_t>(zelmo::filterCodePage(argv[5]));
    const zelmo::FilterOutcome outcome =
        zelmo::printFilterJob(job.data(), job.size(), geometry, argv[3], request, document.get());
    // Bytes lost under the mapping read as zeros: what was made of them is not the job.
    if (!job.intact()) {
        std::fputs(texts::kUnreadable, stderr);
        return 1;
    }
    if (report(outcome) != 0) return 1;
    return deliver(document.get(), outcome.pages, jobCopies(argv[4]));
}

}  // namespace

int main(int argc, char** argv) {
    // CUPS always passes five or six arguments; a person asking gets an answer on standard output.
    const std::string only = argc == 2 ? argv[1] : "";
    if (only == "--help" || only == "-h" || only == "--version") {
        std::printf("%s\n",
                    only == "--version" ? "zelmo-cups-filter " ZELMO_VERSION : texts::kUsage);
        return 0;
    }
    try {
        return filterJob(argc, argv);
    } catch (const std::bad_alloc&) {
        std::fputs(texts::kOutOfMemory, stderr);
        return 1;
    }
}
