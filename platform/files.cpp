#include "platform/files.h"

std::string HostFileName(std::string_view name) {
    std::string host(name);
#ifndef _WIN32
    for (char& ch : host)
        if (ch == '\\') ch = '/';
#endif
    return host;
}

FileHandle OpenFile(std::string_view name, const char* mode) {
    return FileHandle(std::fopen(HostFileName(name).c_str(), mode));
}
