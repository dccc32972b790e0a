// One name for a folder however it is spelt, for the kernel objects that belong to it (the
// folder's lock, its control pipe).
#pragma once

#include <string>

namespace zelmo::win32 {

// 32 hexadecimal digits naming the folder: full, long names, no trailing separator, upper case,
// so "c:\\księgowość\\" and "C:\\KSIĘGOWOŚĆ" have one key. A path can outgrow an object's name
// and holds backslashes, which a name may not: the key is a hash of it.
std::wstring folderKey(const std::string& folder);
// The name of the folder's lock, a mutex; Global: two users of one terminal server share it.
std::wstring folderMutexName(const std::string& folder);

}  // namespace zelmo::win32
