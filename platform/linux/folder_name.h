// The name a folder's monitor is known by on Linux: an abstract Unix socket named after the
// folder's resolved path. The folder lock binds it (only one process can) and the control channel
// listens on it, so a client finds the monitor by its lock and never through a file in the folder.
#pragma once

#include <sys/socket.h>
#include <sys/un.h>

#include <string>

namespace zelmo::linux_platform {

// The folder's path with every link resolved and no trailing separator: two paths to one folder
// give one path. A path that cannot be resolved is kept as given (opening it fails then anyway).
std::string resolvedFolder(const std::string& folder);

// The abstract socket address of the folder whose path is resolved (see resolvedFolder); length
// receives the address's length, which is part of an abstract name.
sockaddr_un folderAddress(const std::string& resolved, socklen_t& length);

}  // namespace zelmo::linux_platform
