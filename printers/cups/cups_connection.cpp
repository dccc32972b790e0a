// The CUPS connection with its patience: libcups calls back after every second without an
// answer, and the request is given up once the patience is spent.
#include "printers/cups/cups_connection.h"

namespace zelmo {
namespace {

// How long a connection to the server may take; a local socket connects at once even to a
// stopped cupsd, a remote server may be slow to answer.
constexpr int kConnectMilliseconds = 5000;

}  // namespace

CupsConnection::CupsConnection(const std::atomic<bool>* stop) : stop_(stop) {}

CupsConnection::~CupsConnection() {
    drop();
}

// Connects to the server in use (CUPS_SERVER, client.conf or the default), once.
http_t* CupsConnection::get() {
    if (silent_) drop();
    silent_ = false;
    silentSeconds_ = 0;
    if (http_) return http_;
    http_ = httpConnect2(cupsServer(), ippPort(), nullptr, AF_UNSPEC, cupsEncryption(), 1,
                         kConnectMilliseconds, nullptr);
    // libcups asks keepWaiting after each second without a word from the server.
    if (http_) httpSetTimeout(http_, 1.0, &CupsConnection::keepWaiting, this);
    return http_;
}

void CupsConnection::drop() {
    if (http_) httpClose(http_);
    http_ = nullptr;
}

// Waits on while the patience lasts and the program is not ending.
int CupsConnection::keepWaiting(http_t*, void* self) {
    auto& connection = *static_cast<CupsConnection*>(self);
    const bool ending = connection.stop_ && connection.stop_->load();
    if (!ending && ++connection.silentSeconds_ < kCupsPatienceSeconds) return 1;
    connection.silent_ = true;
    return 0;
}

}  // namespace zelmo
