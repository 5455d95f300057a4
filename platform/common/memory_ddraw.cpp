#include "platform/common/memory_ddraw.h"

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "platform/common/host.h"
#include "platform/common/windows.h"

namespace {

int64_t Value(const void* pointer) {
    return int64_t(reinterpret_cast<intptr_t>(pointer));
}

class Surface final : public IDirectDrawSurface {
  public:
    Surface(std::string label, int32_t width, int32_t height, bool primary)
        : label(std::move(label)), width(width), height(height), primary(primary),
          pixels(size_t(width) * size_t(height)) {}

    ULONG Release() override;
    HRESULT BltFast(DWORD x, DWORD y, LPDIRECTDRAWSURFACE source, LPRECT sourceRect,
                    DWORD trans) override;
    HRESULT Flip(LPDIRECTDRAWSURFACE targetOverride, DWORD flags) override;
    HRESULT GetAttachedSurface(LPDDSCAPS caps, LPDIRECTDRAWSURFACE* attached) override;
    HRESULT Lock(LPRECT rect, LPDDSURFACEDESC desc, DWORD flags, HANDLE event) override;
    HRESULT Restore() override;
    HRESULT Unlock(LPVOID surfaceData) override;

    std::string label;
    int32_t width, height;
    bool primary;
    std::vector<uint32_t> pixels;
    Surface* attached = nullptr;   // the primary surface's back buffer
    Surface* chainOwner = nullptr; // the back buffer's primary surface
    bool locked = false;
    int references = 1;

    // The checks every call but Release starts with: a released surface, then a fault.
    std::optional<HRESULT> Refused(std::string_view operation) const;
    // The primary surface and its back buffer share the screen's loss.
    bool Lost() const { return (primary || chainOwner) && ScreenLost(); }
};

class DirectDraw final : public IDirectDraw {
  public:
    ULONG Release() override;
    HRESULT CreateSurface(LPDDSURFACEDESC desc, LPDIRECTDRAWSURFACE* surface,
                          IUnknown* outer) override;
    HRESULT SetCooperativeLevel(HWND window, DWORD flags) override;
    HRESULT SetDisplayMode(DWORD width, DWORD height, DWORD bitsPerPixel) override;
    HRESULT GetDisplayMode(LPDDSURFACEDESC desc) override;

    int references = 1;
    HWND window = nullptr;
    int32_t modeWidth = 0, modeHeight = 0;
    int offscreenCount = 0;
};

struct DisplayState {
    std::vector<std::unique_ptr<DirectDraw>> objects;
    std::vector<std::unique_ptr<Surface>> surfaces;
    DWORD reportedBits = MemoryPixelBits;
    int useAfterRelease = 0;
};

DisplayState& State() {
    static DisplayState state;
    return state;
}

void RecordUseAfterRelease(const std::string& object, std::string_view operation) {
    RecordCall(UseAfterReleaseCall{object, std::string(operation)});
    ++State().useAfterRelease;
}

bool ValidSize(DWORD width, DWORD height) {
    return width > 0 && height > 0 && width <= MaxSurfaceSide && height <= MaxSurfaceSide;
}

std::optional<HRESULT> Surface::Refused(std::string_view operation) const {
    if (references <= 0) {
        RecordUseAfterRelease(label, operation);
        return DDERR_SURFACELOST;
    }
    return TakeFault(operation, label);
}

ULONG Surface::Release() {
    RecordCall(ReleaseCall{label});
    if (references <= 0) {
        RecordUseAfterRelease(label, ReleaseCall::Name);
        return 0;
    }
    if (--references == 0 && primary) {
        // The back buffer belongs to the primary surface's chain and goes with it.
        if (attached) attached->references = 0;
        ScreenClose();
    }
    return ULONG(references);
}

HRESULT Surface::BltFast(DWORD x, DWORD y, LPDIRECTDRAWSURFACE source, LPRECT sourceRect,
                         DWORD trans) {
    const RECT r = sourceRect ? *sourceRect : RECT{0, 0, 0, 0};
    auto* from = static_cast<Surface*>(source);
    RecordCall(
        BltFastCall{label, x, y, r.left, r.top, r.right, r.bottom, trans, from ? from->label : ""});
    if (auto refused = Refused(BltFastCall::Name)) return *refused;
    if (!from || !sourceRect) return DDERR_INVALIDPARAMS;
    if (Lost() || from->Lost()) return DDERR_SURFACELOST;
    if (from->locked || locked) return DDERR_SURFACEBUSY;
    if (r.left < 0 || r.top < 0 || r.right > from->width || r.bottom > from->height ||
        r.left > r.right || r.top > r.bottom || int64_t(x) + (r.right - r.left) > width ||
        int64_t(y) + (r.bottom - r.top) > height)
        return DDERR_INVALIDPARAMS;
    for (int32_t row = r.top; row < r.bottom; ++row)
        std::memcpy(&pixels[size_t(y + row - r.top) * width + x],
                    &from->pixels[size_t(row) * from->width + r.left],
                    size_t(r.right - r.left) * sizeof(uint32_t));
    return DD_OK;
}

HRESULT Surface::Flip(LPDIRECTDRAWSURFACE targetOverride, DWORD flags) {
    RecordCall(FlipCall{label, Value(targetOverride), flags});
    if (auto refused = Refused(FlipCall::Name)) return *refused;
    if (!primary || !attached || targetOverride) return DDERR_INVALIDPARAMS;
    if (Lost()) return DDERR_SURFACELOST;
    return ScreenPresent(pixels, attached->pixels, width, height);
}

HRESULT Surface::GetAttachedSurface(LPDDSCAPS caps, LPDIRECTDRAWSURFACE* found) {
    RecordCall(GetAttachedSurfaceCall{label, caps ? caps->dwCaps : 0});
    if (auto refused = Refused(GetAttachedSurfaceCall::Name)) return *refused;
    if (!caps || !(caps->dwCaps & DDSCAPS_BACKBUFFER) || !attached) return DDERR_NOTFOUND;
    *found = attached;
    return DD_OK;
}

HRESULT Surface::Lock(LPRECT rect, LPDDSURFACEDESC desc, DWORD flags, HANDLE event) {
    RecordCall(
        LockCall{label, Value(rect), desc ? int64_t(desc->dwSize) : -1, flags, Value(event)});
    if (auto refused = Refused(LockCall::Name)) return *refused;
    if (!desc || desc->dwSize != sizeof(DDSURFACEDESC) || rect) return DDERR_INVALIDPARAMS;
    if (Lost()) return DDERR_SURFACELOST;
    if (locked) return DDERR_SURFACEBUSY;
    locked = true;
    desc->dwFlags = DDSD_HEIGHT | DDSD_WIDTH | DDSD_PITCH | DDSD_PIXELFORMAT | DDSD_LPSURFACE;
    desc->dwHeight = DWORD(height);
    desc->dwWidth = DWORD(width);
    desc->lPitch = width * 4;
    desc->lpSurface = pixels.data();
    desc->ddpfPixelFormat = {};
    desc->ddpfPixelFormat.dwSize = sizeof(DDPIXELFORMAT);
    desc->ddpfPixelFormat.dwFlags = DDPF_RGB;
    desc->ddpfPixelFormat.dwRGBBitCount = State().reportedBits;
    desc->ddpfPixelFormat.dwRBitMask = 0x00FF0000;
    desc->ddpfPixelFormat.dwGBitMask = 0x0000FF00;
    desc->ddpfPixelFormat.dwBBitMask = 0x000000FF;
    return DD_OK;
}

HRESULT Surface::Restore() {
    RecordCall(RestoreCall{label});
    if (auto refused = Refused(RestoreCall::Name)) return *refused;
    // Memory surfaces are never lost; only the screen behind the primary can be.
    return primary ? ScreenRestore() : DD_OK;
}

HRESULT Surface::Unlock(LPVOID surfaceData) {
    RecordCall(UnlockCall{label, Value(surfaceData)});
    if (auto refused = Refused(UnlockCall::Name)) return *refused;
    if (!locked) return DDERR_NOTLOCKED;
    locked = false;
    return DD_OK;
}

ULONG DirectDraw::Release() {
    RecordCall(ReleaseCall{"directdraw"});
    if (references <= 0) {
        RecordUseAfterRelease("directdraw", ReleaseCall::Name);
        return 0;
    }
    if (--references == 0) ScreenRelease();
    return ULONG(references);
}

HRESULT DirectDraw::CreateSurface(LPDDSURFACEDESC desc, LPDIRECTDRAWSURFACE* surface,
                                  IUnknown* outer) {
    const bool isPrimary = desc && (desc->ddsCaps.dwCaps & DDSCAPS_PRIMARYSURFACE);
    std::string label = isPrimary ? "primary" : "offscreen" + std::to_string(offscreenCount + 1);
    RecordCall(CreateSurfaceCall{label, desc ? int64_t(desc->dwSize) : -1, desc ? desc->dwFlags : 0,
                                 desc ? desc->dwBackBufferCount : 0,
                                 desc ? desc->ddsCaps.dwCaps : 0, desc ? desc->dwWidth : 0,
                                 desc ? desc->dwHeight : 0, Value(outer)});
    if (references <= 0) return DDERR_GENERIC;
    if (auto fault = TakeFault(CreateSurfaceCall::Name, label)) return *fault;
    if (!desc || desc->dwSize != sizeof(DDSURFACEDESC) || outer) return DDERR_INVALIDPARAMS;
    auto& surfaces = State().surfaces;
    if (isPrimary) {
        const bool wantsBack = (desc->dwFlags & DDSD_BACKBUFFERCOUNT) &&
                               desc->dwBackBufferCount == 1 &&
                               (desc->ddsCaps.dwCaps & DDSCAPS_FLIP);
        if (!wantsBack || modeWidth == 0) return DDERR_INVALIDPARAMS;
        if (!ScreenOpen()) return DDERR_GENERIC;
        surfaces.push_back(std::make_unique<Surface>(label, modeWidth, modeHeight, true));
        Surface* front = surfaces.back().get();
        surfaces.push_back(std::make_unique<Surface>("backbuffer", modeWidth, modeHeight, false));
        front->attached = surfaces.back().get();
        front->attached->chainOwner = front;
        *surface = front;
        return DD_OK;
    }
    const DWORD sized = DDSD_WIDTH | DDSD_HEIGHT;
    if ((desc->dwFlags & sized) != sized || !ValidSize(desc->dwWidth, desc->dwHeight))
        return DDERR_INVALIDPARAMS;
    ++offscreenCount;
    surfaces.push_back(
        std::make_unique<Surface>(label, int32_t(desc->dwWidth), int32_t(desc->dwHeight), false));
    *surface = surfaces.back().get();
    return DD_OK;
}

HRESULT DirectDraw::SetCooperativeLevel(HWND target, DWORD flags) {
    RecordCall(SetCooperativeLevelCall{"directdraw",
                                       target != nullptr && target == Windows().mainWindow, flags});
    if (auto fault = TakeFault(SetCooperativeLevelCall::Name, "")) return *fault;
    if (!IsLiveWindow(target)) return DDERR_INVALIDPARAMS;
    window = target;
    return DD_OK;
}

HRESULT DirectDraw::SetDisplayMode(DWORD width, DWORD height, DWORD bitsPerPixel) {
    RecordCall(SetDisplayModeCall{"directdraw", width, height, bitsPerPixel});
    if (auto fault = TakeFault(SetDisplayModeCall::Name, "")) return *fault;
    if (!ValidSize(width, height) || bitsPerPixel != MemoryPixelBits) return DDERR_INVALIDPARAMS;
    if (const HRESULT result = ScreenSetMode(window, int32_t(width), int32_t(height));
        result != DD_OK)
        return result;
    modeWidth = int32_t(width);
    modeHeight = int32_t(height);
    return DD_OK;
}

HRESULT DirectDraw::GetDisplayMode(LPDDSURFACEDESC desc) {
    RecordCall(GetDisplayModeCall{"directdraw", desc ? int64_t(desc->dwSize) : -1});
    if (auto fault = TakeFault(GetDisplayModeCall::Name, "")) return *fault;
    if (!desc || desc->dwSize != sizeof(DDSURFACEDESC)) return DDERR_INVALIDPARAMS;
    int32_t width = modeWidth, height = modeHeight;
    if (width == 0) ScreenDesktopSize(width, height);
    if (width <= 0 || height <= 0) return DDERR_GENERIC;
    *desc = {};
    desc->dwSize = sizeof(DDSURFACEDESC);
    desc->dwFlags = DDSD_HEIGHT | DDSD_WIDTH | DDSD_PITCH | DDSD_PIXELFORMAT;
    desc->dwHeight = DWORD(height);
    desc->dwWidth = DWORD(width);
    desc->lPitch = width * 4;
    desc->ddpfPixelFormat.dwSize = sizeof(DDPIXELFORMAT);
    desc->ddpfPixelFormat.dwFlags = DDPF_RGB;
    desc->ddpfPixelFormat.dwRGBBitCount = MemoryPixelBits;
    desc->ddpfPixelFormat.dwRBitMask = 0x00FF0000;
    desc->ddpfPixelFormat.dwGBitMask = 0x0000FF00;
    desc->ddpfPixelFormat.dwBBitMask = 0x000000FF;
    return DD_OK;
}

} // namespace

void ResetDirectDraw() {
    State() = DisplayState{};
}

void SetReportedBitCount(DWORD bits) {
    State().reportedBits = bits;
}

int UseAfterReleaseCount() {
    return State().useAfterRelease;
}

HRESULT WINAPI DirectDrawCreate(GUID* driver, LPDIRECTDRAW* directDraw, IUnknown* outer) {
    RecordCall(DirectDrawCreateCall{Value(driver), Value(outer)});
    *directDraw = nullptr;
    if (auto fault = TakeFault(DirectDrawCreateCall::Name, "")) return *fault;
    State().objects.push_back(std::make_unique<DirectDraw>());
    *directDraw = State().objects.back().get();
    return DD_OK;
}
