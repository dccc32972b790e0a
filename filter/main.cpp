// zelmo-cups-filter: job-id user title copies options [file]. Reads the accounting program's
// PCL job (from the file, or standard input) and writes it as a PDF to standard output, the
// messages for CUPS on standard error. The PDF grows in a temporary file and reaches standard
// output only when the job printed, so a refused or broken job never sends a page on.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "filter/filter_geometry.h"
#include "filter/filter_job.h"
#include "filter/filter_texts.h"
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

// Every byte of fd into out; false on a read error.
bool readAll(int fd, std::vector<uint8_t>& out) {
    std::vector<uint8_t> chunk(std::size_t{1} << 16);
    for (;;) {
        const ssize_t n = ::read(fd, chunk.data(), chunk.size());
        if (n == 0) return true;
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return false;
        out.insert(out.end(), chunk.begin(), chunk.begin() + n);
    }
}

// The job: the named file, or standard input when there is none.
bool readJob(const char* path, std::vector<uint8_t>& job) {
    Descriptor in(path != nullptr ? ::open(path, O_RDONLY | O_CLOEXEC) : 0);
    return in.get() >= 0 && readAll(in.get(), job);
}

// Copies the finished document from the start of fd to standard output.
bool sendDocument(int fd) {
    if (::lseek(fd, 0, SEEK_SET) != 0) return false;
    std::vector<uint8_t> chunk(std::size_t{1} << 16);
    for (;;) {
        ssize_t n = ::read(fd, chunk.data(), chunk.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return n == 0;
        for (ssize_t done = 0; done < n;) {
            const ssize_t w = ::write(1, chunk.data() + done, static_cast<size_t>(n - done));
            if (w < 0 && errno == EINTR) continue;
            if (w <= 0) return false;
            done += w;
        }
    }
}

// A file of the temporary folder CUPS gives the filter, gone once closed.
int temporaryFile() {
    const char* folder = std::getenv("TMPDIR");
    std::string path =
        std::string(folder != nullptr && *folder ? folder : "/tmp") + "/zelmo-cups-filter-XXXXXX";
    const int fd = ::mkostemp(path.data(), O_CLOEXEC);
    if (fd >= 0) ::unlink(path.c_str());
    return fd;
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

// Sends the document on and counts its pages for CUPS's page log when no later filter does.
int deliver(int fd, int pages) {
    if (!sendDocument(fd)) {
        std::fputs(texts::kNoOutput, stderr);
        return 1;
    }
    for (int page = 1; lastFilter() && page <= pages; ++page)
        std::fprintf(stderr, "PAGE: %d 1\n", page);
    std::fprintf(stderr, texts::kPrinted, pages, pages);
    return 0;
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
    if (argc < 6 || argc > 7) {
        std::fprintf(stderr, "%s\n", texts::kUsage);
        return 1;
    }
    std::vector<uint8_t> job;
    if (!readJob(argc == 7 ? argv[6] : nullptr, job)) {
        std::fputs(texts::kUnreadable, stderr);
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
    const zelmo::FilterOutcome outcome =
        zelmo::printFilterJob(job.data(), job.size(), geometry, argv[3], document.get());
    if (report(outcome) != 0) return 1;
    return deliver(document.get(), outcome.pages);
}
