#include "app/log.h"

#include "platform/files.h"

// A log that cannot be written is not reported: no caller depends on it.
void CreateLog() {
    FileHandle f = OpenFile(LogFileName, "w");
    if (!f) return;
    std::fputs(LogBanner, f.get());
}

void WriteLog(const char* message) {
    FileHandle f = OpenFile(LogFileName, "a");
    if (!f) return;
    std::fprintf(f.get(), "%s\n", message);
}
