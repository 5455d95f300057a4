// What the two halves of the in-memory platform share.
#pragma once

#include <initializer_list>
#include <optional>

#include "platform/headless/headless.h"

// Builds the record only while recording is on, so that a call costs no allocation
// when it is off.
void RecordCall(std::string_view name, std::string_view surface,
                std::initializer_list<int64_t> values,
                std::initializer_list<std::string_view> texts = {});
bool HeadlessRecording();
// The result a fault rule asks for, if one matches (and is used up by this call).
std::optional<HRESULT> TakeFault(std::string_view operation, std::string_view surface);
void ResetDirectDraw();
HWND HeadlessMainWindow();

inline int64_t Value(const void* pointer) {
    return int64_t(reinterpret_cast<intptr_t>(pointer));
}
