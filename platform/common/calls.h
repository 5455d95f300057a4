// The calls the program makes into the platform: one record per operation, its arguments
// by name, compared field by field. The shared window bookkeeping and memory surfaces
// describe every call they receive with one of these (RecordCall, platform/common/host.h);
// the in-memory implementation keeps the latest of them for tests to read.
//
// Every field is 0 unless the call gives it a value. Pointers that matter only as null or
// not are kept as their value (0 for null) or as a flag. "surface" names the surface or
// object called on: "primary", "backbuffer", "offscreen1", "offscreen2", ... in order of
// creation, or "directdraw".
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <type_traits>
#include <variant>

struct RegisterClassCall {
    static constexpr std::string_view Name = "RegisterClassExA";
    int64_t cbSize = 0, style = 0, cbClsExtra = 0, cbWndExtra = 0;
    std::string className;
    bool operator==(const RegisterClassCall&) const = default;
};
struct CreateWindowCall {
    static constexpr std::string_view Name = "CreateWindowExA";
    int64_t exStyle = 0, style = 0, x = 0, y = 0, width = 0, height = 0, parent = 0, menu = 0,
            param = 0;
    std::string className, title;
    bool operator==(const CreateWindowCall&) const = default;
};
struct DestroyWindowCall {
    static constexpr std::string_view Name = "DestroyWindow";
    bool operator==(const DestroyWindowCall&) const = default;
};
struct ShowWindowCall {
    static constexpr std::string_view Name = "ShowWindow";
    int64_t showCommand = 0;
    bool operator==(const ShowWindowCall&) const = default;
};
struct UpdateWindowCall {
    static constexpr std::string_view Name = "UpdateWindow";
    bool operator==(const UpdateWindowCall&) const = default;
};
struct ShowCursorCall {
    static constexpr std::string_view Name = "ShowCursor";
    int64_t show = 0;
    bool operator==(const ShowCursorCall&) const = default;
};
struct LoadIconCall {
    static constexpr std::string_view Name = "LoadIconA";
    bool instanceIsNull = false;
    int64_t resource = 0;
    bool operator==(const LoadIconCall&) const = default;
};
struct LoadCursorCall {
    static constexpr std::string_view Name = "LoadCursorA";
    bool instanceIsNull = false;
    int64_t resource = 0;
    bool operator==(const LoadCursorCall&) const = default;
};
struct GetStockObjectCall {
    static constexpr std::string_view Name = "GetStockObject";
    int64_t object = 0;
    bool operator==(const GetStockObjectCall&) const = default;
};
struct SetTimerCall {
    static constexpr std::string_view Name = "SetTimer";
    int64_t id = 0, elapse = 0;
    bool timerProcIsNull = false;
    bool operator==(const SetTimerCall&) const = default;
};
struct GetMessageCall {
    static constexpr std::string_view Name = "GetMessageA";
    bool windowIsNull = false;
    int64_t filterMin = 0, filterMax = 0;
    bool operator==(const GetMessageCall&) const = default;
};
// The message calls share their arguments.
struct MessageArguments {
    int64_t message = 0, wParam = 0, lParam = 0;
    bool operator==(const MessageArguments&) const = default;
};
struct DispatchMessageCall : MessageArguments {
    static constexpr std::string_view Name = "DispatchMessageA";
    bool operator==(const DispatchMessageCall&) const = default;
};
struct DefWindowProcCall : MessageArguments {
    static constexpr std::string_view Name = "DefWindowProcA";
    bool operator==(const DefWindowProcCall&) const = default;
};
struct SendMessageCall : MessageArguments {
    static constexpr std::string_view Name = "SendMessageA";
    bool operator==(const SendMessageCall&) const = default;
};
struct PostQuitMessageCall {
    static constexpr std::string_view Name = "PostQuitMessage";
    int64_t exitCode = 0;
    bool operator==(const PostQuitMessageCall&) const = default;
};

struct DirectDrawCreateCall {
    static constexpr std::string_view Name = "DirectDrawCreate";
    int64_t driver = 0, outer = 0;
    bool operator==(const DirectDrawCreateCall&) const = default;
};
struct SetCooperativeLevelCall {
    static constexpr std::string_view Name = "SetCooperativeLevel";
    std::string surface; // "directdraw"
    bool windowIsMain = false;
    int64_t flags = 0;
    bool operator==(const SetCooperativeLevelCall&) const = default;
};
struct SetDisplayModeCall {
    static constexpr std::string_view Name = "SetDisplayMode";
    std::string surface; // "directdraw"
    int64_t width = 0, height = 0, bitsPerPixel = 0;
    bool operator==(const SetDisplayModeCall&) const = default;
};
struct GetDisplayModeCall {
    static constexpr std::string_view Name = "GetDisplayMode";
    std::string surface; // "directdraw"
    int64_t dwSize = 0;  // -1: a null desc
    bool operator==(const GetDisplayModeCall&) const = default;
};
// A desc of -1 size stands for a null desc.
struct CreateSurfaceCall {
    static constexpr std::string_view Name = "CreateSurface";
    std::string surface; // the surface it creates
    int64_t dwSize = 0, dwFlags = 0, dwBackBufferCount = 0, dwCaps = 0, dwWidth = 0, dwHeight = 0,
            outer = 0;
    bool operator==(const CreateSurfaceCall&) const = default;
};
struct GetAttachedSurfaceCall {
    static constexpr std::string_view Name = "GetAttachedSurface";
    std::string surface;
    int64_t dwCaps = 0;
    bool operator==(const GetAttachedSurfaceCall&) const = default;
};
struct LockCall {
    static constexpr std::string_view Name = "Lock";
    std::string surface;
    int64_t rect = 0, dwSize = 0, flags = 0, event = 0;
    bool operator==(const LockCall&) const = default;
};
struct UnlockCall {
    static constexpr std::string_view Name = "Unlock";
    std::string surface;
    int64_t pointer = 0;
    bool operator==(const UnlockCall&) const = default;
};
struct BltFastCall {
    static constexpr std::string_view Name = "BltFast";
    std::string surface;
    int64_t x = 0, y = 0, left = 0, top = 0, right = 0, bottom = 0, flags = 0;
    std::string source;
    bool operator==(const BltFastCall&) const = default;
};
struct FlipCall {
    static constexpr std::string_view Name = "Flip";
    std::string surface;
    int64_t targetOverride = 0, flags = 0;
    bool operator==(const FlipCall&) const = default;
};
struct RestoreCall {
    static constexpr std::string_view Name = "Restore";
    std::string surface;
    bool operator==(const RestoreCall&) const = default;
};
struct ReleaseCall {
    static constexpr std::string_view Name = "Release";
    std::string surface;
    bool operator==(const ReleaseCall&) const = default;
};
// Not a call of its own: a call made on an object after its last Release.
struct UseAfterReleaseCall {
    static constexpr std::string_view Name = "UseAfterRelease";
    std::string surface;
    std::string operation;
    bool operator==(const UseAfterReleaseCall&) const = default;
};

using PlatformCall =
    std::variant<RegisterClassCall, CreateWindowCall, DestroyWindowCall, ShowWindowCall,
                 UpdateWindowCall, ShowCursorCall, LoadIconCall, LoadCursorCall, GetStockObjectCall,
                 SetTimerCall, GetMessageCall, DispatchMessageCall, DefWindowProcCall,
                 SendMessageCall, PostQuitMessageCall, DirectDrawCreateCall,
                 SetCooperativeLevelCall, SetDisplayModeCall, GetDisplayModeCall, CreateSurfaceCall,
                 GetAttachedSurfaceCall, LockCall, UnlockCall, BltFastCall, FlipCall, RestoreCall,
                 ReleaseCall, UseAfterReleaseCall>;

inline std::string_view CallName(const PlatformCall& call) {
    return std::visit([](const auto& c) { return c.Name; }, call);
}

// The surface or object called on; empty for the window API.
inline std::string_view CallSurface(const PlatformCall& call) {
    return std::visit(
        [](const auto& c) -> std::string_view {
            if constexpr (requires { c.surface; })
                return c.surface;
            else
                return "";
        },
        call);
}

// The position of an operation in PlatformCall, for counting calls by operation.
template <typename Call, typename... Calls>
constexpr size_t IndexIn(const std::variant<Calls...>*) {
    constexpr bool same[] = {std::is_same_v<Call, Calls>...};
    size_t i = 0;
    while (i < sizeof...(Calls) && !same[i])
        ++i;
    return i;
}
template <typename Call> constexpr size_t CallIndex() {
    constexpr size_t index = IndexIn<Call>(static_cast<const PlatformCall*>(nullptr));
    static_assert(index < std::variant_size_v<PlatformCall>, "not a call of PlatformCall");
    return index;
}
