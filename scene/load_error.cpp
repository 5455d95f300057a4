#include "scene/load_error.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

LoadError LastLoadError;

void ClearLoadError() {
    LastLoadError = LoadError{};
}

void NoteLoadError(std::string_view file, const char* reason) {
    // No allocation here: this also reports running out of memory.
    const size_t length = std::min(file.size(), sizeof LastLoadError.file - 1);
    for (size_t i = 0; i < length; ++i) {
        const char c = file[i];
#ifndef _WIN32
        LastLoadError.file[i] = c == '\\' ? '/' : c; // as HostFileName spells it
#else
        LastLoadError.file[i] = c;
#endif
    }
    LastLoadError.file[length] = '\0';
    LastLoadError.reason = reason;
}

std::string DescribeLoadError() {
    if (!LastLoadError.reason) return "";
    std::string text = LastLoadError.kind ? std::string(LastLoadError.kind) + " \"" : "\"";
    for (const char* p = LastLoadError.file; *p; ++p) {
        const auto c = static_cast<unsigned char>(*p);
        if (c < 0x20 || c == 0x7F || c == '"') {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02X", c);
            text += escaped;
        } else {
            text += char(c);
        }
    }
    return text + "\": " + LastLoadError.reason;
}
