// Why the latest load of a scene file failed, for one line to the user. The loaders
// (LoadBitmap, LoadTexture, LoadMapTextures, LoadMap, LoadFont) keep their results, null or
// false on failure, and fill LastLoadError besides; nothing else writes it and nothing in the
// loaders reads it. The file name is kept as the host spells it, cut to the record's room.
#pragma once

#include <string>
#include <string_view>

struct LoadError {
    const char* kind = nullptr;   // "map", "texture", "font"; null when not said
    const char* reason = nullptr; // one of the Load... texts below; null: no failure noted
    char file[256] = {};          // the file, as the host names it
};

extern LoadError LastLoadError;

inline constexpr char LoadMissing[] = "missing";
inline constexpr char LoadUnreadable[] = "cannot be read";
inline constexpr char LoadTruncated[] = "truncated";
inline constexpr char LoadNotBitmap[] = "not a 24-bit uncompressed BMP";
inline constexpr char LoadTopDown[] = "a top-down BMP (negative height), which is not read";
inline constexpr char LoadTooLarge[] = "too large (a side above 32768 pixels)";
inline constexpr char LoadEmptyPicture[] = "no pixels (a side of 0)";
inline constexpr char LoadOutOfMemory[] = "out of memory";
inline constexpr char LoadUnsafeName[] = "unsafe name (it would leave the texture folder)";
inline constexpr char LoadPathTooLong[] = "path too long";
inline constexpr char LoadNotMap[] = "not a map file (magic \"BSP\", version 50)";
inline constexpr char LoadBadCount[] = "a negative count";
inline constexpr char LoadBadName[] = "a texture name without its end";
inline constexpr char LoadNotFinite[] = "a number that is not finite";
inline constexpr char LoadBadVertexIndex[] = "a vertex index outside the table";
inline constexpr char LoadBadTextureIndex[] = "a texture index outside the names";
inline constexpr char LoadTooDeep[] = "a tree deeper than 4096 levels";
inline constexpr char LoadFontTooSmall[] = "smaller than the 176 x 78 pixels of the cells";

// Forgets the last failure.
void ClearLoadError();
// Notes a failure of file (as the program names it) for reason; the kind is kept.
void NoteLoadError(std::string_view file, const char* reason);
// `texture "Textures/a.bmp": missing`; control characters in the name appear as \xNN.
// Empty when no failure is noted.
std::string DescribeLoadError();
