// What the two halves of the in-memory platform share.
#pragma once

#include <optional>

#include "platform/headless/headless.h"

void RecordCall(std::string name, std::string surface, std::vector<int64_t> values,
                std::vector<std::string> texts = {});
// The result a fault rule asks for, if one matches (and is used up by this call).
std::optional<HRESULT> TakeFault(std::string_view operation, std::string_view surface);
void ResetDirectDraw();
HWND HeadlessMainWindow();

inline int64_t Value(const void* pointer) {
    return int64_t(reinterpret_cast<intptr_t>(pointer));
}
