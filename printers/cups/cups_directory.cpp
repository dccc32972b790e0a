// CUPS destinations through libcups: each question asks the server afresh, so a default changed
// with lpadmin or a queue added meanwhile is seen at once.
#include "printers/cups/cups_directory.h"

#include <cups/cups.h>

#include "printers/cups/cups_printers.h"

namespace zelmo {
namespace {

// "queue" or "queue/instance".
std::string destName(const cups_dest_t& dest) {
    std::string name = dest.name;
    if (dest.instance) name += std::string("/") + dest.instance;
    return name;
}

// One destination looked up by name (empty: the default), freed when it goes.
struct NamedDest {
    cups_dest_t* dest = nullptr;
    NamedDest(http_t* http, const std::string& name) {
        const auto slash = name.find('/');
        const std::string queue = name.substr(0, slash);
        const std::string instance = slash == std::string::npos ? "" : name.substr(slash + 1);
        if (!http) return;
        dest = cupsGetNamedDest(http, queue.empty() ? nullptr : queue.c_str(),
                                instance.empty() ? nullptr : instance.c_str());
    }
    ~NamedDest() {
        if (dest) cupsFreeDests(1, dest);
    }
    NamedDest(const NamedDest&) = delete;
    NamedDest& operator=(const NamedDest&) = delete;
};

}  // namespace

// Every destination the server lists, in its order.
std::vector<std::string> CupsDirectory::destinations() {
    cups_dest_t* dests = nullptr;
    http_t* http = ask();
    const int count = http ? cupsGetDests2(http, &dests) : 0;
    heard();
    std::vector<std::string> names;
    for (int i = 0; i < count; ++i)
        names.push_back(destName(dests[i]));
    cupsFreeDests(count, dests);
    return names;
}

// The server's default destination, if it has one.
std::string CupsDirectory::defaultDestination() {
    const NamedDest dest(ask(), {});
    heard();
    return dest.dest ? destName(*dest.dest) : std::string();
}

// Whether the server knows the destination.
bool CupsDirectory::exists(const std::string& name) {
    if (name.empty()) return false;
    const NamedDest dest(ask(), name);
    heard();
    return dest.dest != nullptr;
}

// The destination's printer object, or the PDF folder's.
std::unique_ptr<Printer> CupsDirectory::open(const std::string& name) {
    if (name.empty()) {
        std::lock_guard<std::mutex> guard(sheetLock_);
        return std::make_unique<PdfFolderPrinter>(pdfFolder_, pdfSheet_);
    }
    if (!ask()) return nullptr;
    auto printer = CupsPrinter::openNamed(name, connection_);
    heard();
    return printer;
}

http_t* CupsDirectory::ask() {
    return silent_ || stop_ ? nullptr : connection_.get();
}

void CupsDirectory::heard() {
    silent_ = silent_ || connection_.silent() || stop_;
}

bool CupsDirectory::takeSilence() {
    const bool silent = silent_;
    silent_ = false;
    return silent;
}

}  // namespace zelmo
