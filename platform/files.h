// The one place where the program's own relative file names are opened.
//
// Names are written as the program has always written them, with a backslash between
// directory and file ("Textures\wall.bmp"). Where the backslash is not a directory
// separator it is turned into one, so that file is Textures/wall.bmp.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <span>
#include <string>
#include <string_view>

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using FileHandle = std::unique_ptr<std::FILE, FileCloser>;

// The name as the host file system spells it, as messages to the user name a file.
std::string HostFileName(std::string_view name);
// fopen on the host name; null when the file cannot be opened.
FileHandle OpenFile(std::string_view name, const char* mode);
// Replaces the file at path, named as the host spells it (the tools' output paths), with
// bytes. False when it cannot be opened, written or closed completely.
bool WriteHostFile(const std::string& path, std::span<const uint8_t> bytes);
