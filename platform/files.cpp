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

bool WriteHostFile(const std::string& path, std::span<const uint8_t> bytes) {
    FileHandle file(std::fopen(path.c_str(), "wb"));
    if (!file) return false;
    if (std::fwrite(bytes.data(), 1, bytes.size(), file.get()) != bytes.size()) return false;
    return std::fclose(file.release()) == 0;
}
