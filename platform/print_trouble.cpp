// The print systems' codes sorted into what a user can act on. The numbers are the systems'
// published values (IPP status codes of RFC 8011 and CUPS, winerror.h, POSIX errno), written
// out so the table builds and is checked on every platform.
#include "platform/print_trouble.h"

#include <cerrno>

namespace zelmo {

// IPP: 0x04xx the client's (here: the job's or the user's) fault, 0x05xx the server's.
PrintTrouble troubleOfIppStatus(int status) {
    switch (status) {
        case 0x0401:  // forbidden
        case 0x0402:  // not authenticated
        case 0x0403:  // not authorized
        case 0x1000:  // CUPS: authentication canceled
            return PrintTrouble::NoPermission;
        case 0x0406:  // not found: the queue is gone
        case 0x0407:  // gone
        case 0x0504:  // device error: the printer does not answer its backend
            return PrintTrouble::Unreachable;
        case 0x0502:  // service unavailable: cupsd not running or not answering
            return PrintTrouble::NoService;
        case 0x0505:  // temporary error
        case 0x0506:  // not accepting jobs
        case 0x0507:  // busy
        case 0x050A:  // printer is deactivated
        case 0x050B:  // too many jobs
            return PrintTrouble::Stopped;
        default:
            break;
    }
    // The other client errors are about the job itself: its format, size or attributes.
    if (status >= 0x0400 && status <= 0x04FF) return PrintTrouble::Refused;
    return PrintTrouble::General;
}

// winerror.h values.
PrintTrouble troubleOfWindowsError(uint32_t code) {
    switch (code) {
        case 5:     // ERROR_ACCESS_DENIED
        case 1326:  // ERROR_LOGON_FAILURE
            return PrintTrouble::NoPermission;
        case 39:   // ERROR_HANDLE_DISK_FULL
        case 112:  // ERROR_DISK_FULL
            return PrintTrouble::DiskFull;
        case 53:    // ERROR_BAD_NETPATH
        case 59:    // ERROR_UNEXP_NET_ERR
        case 64:    // ERROR_NETNAME_DELETED
        case 67:    // ERROR_BAD_NET_NAME
        case 1231:  // ERROR_NETWORK_UNREACHABLE
        case 1232:  // ERROR_HOST_UNREACHABLE
        case 1801:  // ERROR_INVALID_PRINTER_NAME
        case 1905:  // ERROR_PRINTER_DELETED
            return PrintTrouble::Unreachable;
        case 21:    // ERROR_NOT_READY
        case 28:    // ERROR_OUT_OF_PAPER
        case 61:    // ERROR_PRINTQ_FULL
        case 1906:  // ERROR_INVALID_PRINTER_STATE
            return PrintTrouble::Stopped;
        case 63:    // ERROR_PRINT_CANCELLED
        case 1804:  // ERROR_INVALID_DATATYPE
            return PrintTrouble::Refused;
        case 1062:  // ERROR_SERVICE_NOT_ACTIVE
        case 1722:  // RPC_S_SERVER_UNAVAILABLE: the spooler is not running
            return PrintTrouble::NoService;
        default:
            return PrintTrouble::General;
    }
}

// The PDF folder and the spool file fail through files only.
PrintTrouble troubleOfErrno(int error) {
    switch (error) {
        case ENOSPC:
#ifdef EDQUOT  // not every C library names the quota error
        case EDQUOT:
#endif
            return PrintTrouble::DiskFull;
        case EACCES:
        case EPERM:
        case EROFS:
            return PrintTrouble::NoPermission;
        default:
            return PrintTrouble::General;
    }
}

const char* toString(PrintTrouble trouble) {
    switch (trouble) {
        case PrintTrouble::General:
            return "General";
        case PrintTrouble::Unreachable:
            return "Unreachable";
        case PrintTrouble::Refused:
            return "Refused";
        case PrintTrouble::Stopped:
            return "Stopped";
        case PrintTrouble::NoService:
            return "NoService";
        case PrintTrouble::DiskFull:
            return "DiskFull";
        case PrintTrouble::NoPermission:
            return "NoPermission";
    }
    return "General";
}

}  // namespace zelmo
