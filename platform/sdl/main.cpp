// The viewer's process entry where the runtime does not call WinMain itself.
#include "platform/sdl/sdl_platform.h"
#include "platform/win32.h"

int main(int, char**) {
    const int code = WinMain(nullptr, nullptr, nullptr, SW_SHOWDEFAULT);
    SdlShutdown();
    return code;
}
