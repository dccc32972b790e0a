// The folder's abstract name, shared by the folder lock and the control channel.
#include "platform/linux/folder_name.h"

#include <stdlib.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>

namespace zelmo::linux_platform {
namespace {

// FNV-1a over the path's bytes from a seed: two seeds name the path in 128 bits.
uint64_t hashOf(const std::string& text, uint64_t seed) {
    uint64_t hash = seed;
    for (const char byte : text) {
        hash ^= static_cast<unsigned char>(byte);
        hash *= 0x100000001b3ULL;
    }
    return hash;
}

}  // namespace

// realpath(3) drops the trailing separator; an unresolved path is trimmed the same way.
std::string resolvedFolder(const std::string& folder) {
    const std::unique_ptr<char, decltype(&std::free)> real(::realpath(folder.c_str(), nullptr),
                                                           &std::free);
    std::string path = real ? std::string(real.get()) : folder;
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    return path;
}

// A path can outgrow an address and is not a name anyway: the name is a hash of it.
sockaddr_un folderAddress(const std::string& resolved, socklen_t& length) {
    char name[64];
    std::snprintf(name, sizeof name, "zelmo-folder-%016llx%016llx",
                  static_cast<unsigned long long>(hashOf(resolved, 0xcbf29ce484222325ULL)),
                  static_cast<unsigned long long>(hashOf(resolved, 0x84222325cbf29ce4ULL)));
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::size_t size = std::strlen(name);
    std::memcpy(address.sun_path + 1, name, size);  // sun_path[0] == 0: abstract
    length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + size);
    return address;
}

}  // namespace zelmo::linux_platform
