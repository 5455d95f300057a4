// DirectDraw in memory: surfaces are pixel arrays, Flip captures the frame it shows.
#include <algorithm>
#include <cstring>
#include <memory>

#include "platform/headless/state.h"
#include "platform/memory_surface.h"

namespace {

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
    Surface* attached = nullptr;
    bool lost = false;
    bool locked = false;
    int references = 1;

    bool Released(const char* operation);
};

class DirectDraw final : public IDirectDraw {
  public:
    ULONG Release() override;
    HRESULT CreateSurface(LPDDSURFACEDESC desc, LPDIRECTDRAWSURFACE* surface,
                          IUnknown* outer) override;
    HRESULT SetCooperativeLevel(HWND window, DWORD flags) override;
    HRESULT SetDisplayMode(DWORD width, DWORD height, DWORD bitsPerPixel) override;

    int references = 1;
    int32_t modeWidth = 0, modeHeight = 0;
    int offscreenCount = 0;
};

struct DisplayState {
    std::vector<std::unique_ptr<DirectDraw>> objects;
    std::vector<std::unique_ptr<Surface>> surfaces;
    std::vector<std::vector<uint32_t>> frames;
    int64_t framesPresented = 0;
    size_t keepFrames = 0;
    DWORD reportedBits = 32;
    int useAfterRelease = 0;
};

DisplayState& State() {
    static DisplayState state;
    return state;
}

bool Surface::Released(const char* operation) {
    if (references > 0) return false;
    RecordCall("UseAfterRelease", label, {}, {operation});
    ++State().useAfterRelease;
    return true;
}

ULONG Surface::Release() {
    RecordCall("Release", label, {});
    if (Released("Release")) return 0;
    --references;
    // The back buffer belongs to the primary surface's chain and goes with it.
    if (references == 0 && attached) attached->references = 0;
    return ULONG(references);
}

HRESULT Surface::BltFast(DWORD x, DWORD y, LPDIRECTDRAWSURFACE source, LPRECT sourceRect,
                         DWORD trans) {
    RECT r = sourceRect ? *sourceRect : RECT{0, 0, 0, 0};
    auto* from = static_cast<Surface*>(source);
    RecordCall("BltFast", label, {x, y, r.left, r.top, r.right, r.bottom, trans},
               {from ? from->label : ""});
    if (Released("BltFast")) return DDERR_SURFACELOST;
    if (auto fault = TakeFault("BltFast", label)) return *fault;
    if (!from || !sourceRect) return DDERR_INVALIDPARAMS;
    if (lost || from->lost) return DDERR_SURFACELOST;
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
    RecordCall("Flip", label, {Value(targetOverride), flags});
    if (Released("Flip")) return DDERR_SURFACELOST;
    if (auto fault = TakeFault("Flip", label)) return *fault;
    if (!primary || !attached || targetOverride) return DDERR_INVALIDPARAMS;
    if (lost) return DDERR_SURFACELOST;
    std::swap(pixels, attached->pixels);
    DisplayState& state = State();
    ++state.framesPresented;
    if (!HeadlessRecording()) return DD_OK;
    state.frames.push_back(pixels);
    if (state.keepFrames && state.frames.size() > state.keepFrames)
        state.frames.erase(state.frames.begin(),
                           state.frames.end() - std::ptrdiff_t(state.keepFrames));
    return DD_OK;
}

HRESULT Surface::GetAttachedSurface(LPDDSCAPS caps, LPDIRECTDRAWSURFACE* found) {
    RecordCall("GetAttachedSurface", label, {caps ? caps->dwCaps : 0});
    if (Released("GetAttachedSurface")) return DDERR_SURFACELOST;
    if (auto fault = TakeFault("GetAttachedSurface", label)) return *fault;
    if (!caps || !(caps->dwCaps & DDSCAPS_BACKBUFFER) || !attached) return DDERR_NOTFOUND;
    *found = attached;
    return DD_OK;
}

HRESULT Surface::Lock(LPRECT rect, LPDDSURFACEDESC desc, DWORD flags, HANDLE event) {
    RecordCall("Lock", label,
               {Value(rect), desc ? int64_t(desc->dwSize) : -1, flags, Value(event)});
    if (Released("Lock")) return DDERR_SURFACELOST;
    if (auto fault = TakeFault("Lock", label)) return *fault;
    if (!desc || desc->dwSize != sizeof(DDSURFACEDESC) || rect) return DDERR_INVALIDPARAMS;
    if (lost) return DDERR_SURFACELOST;
    if (locked) return DDERR_SURFACEBUSY;
    locked = true;
    DescribeLockedSurface(*desc, width, height, pixels.data(), State().reportedBits);
    return DD_OK;
}

HRESULT Surface::Restore() {
    RecordCall("Restore", label, {});
    if (Released("Restore")) return DDERR_SURFACELOST;
    if (auto fault = TakeFault("Restore", label)) return *fault;
    lost = false;
    if (attached) attached->lost = false;
    return DD_OK;
}

HRESULT Surface::Unlock(LPVOID surfaceData) {
    RecordCall("Unlock", label, {Value(surfaceData)});
    if (Released("Unlock")) return DDERR_SURFACELOST;
    if (auto fault = TakeFault("Unlock", label)) return *fault;
    if (!locked) return DDERR_NOTLOCKED;
    locked = false;
    return DD_OK;
}

ULONG DirectDraw::Release() {
    RecordCall("Release", "directdraw", {});
    if (references <= 0) {
        RecordCall("UseAfterRelease", "directdraw", {}, {"Release"});
        ++State().useAfterRelease;
        return 0;
    }
    return ULONG(--references);
}

HRESULT DirectDraw::CreateSurface(LPDDSURFACEDESC desc, LPDIRECTDRAWSURFACE* surface,
                                  IUnknown* outer) {
    const bool isPrimary = desc && (desc->ddsCaps.dwCaps & DDSCAPS_PRIMARYSURFACE);
    std::string label = isPrimary ? "primary" : "offscreen" + std::to_string(offscreenCount + 1);
    RecordCall("CreateSurface", label,
               {desc ? int64_t(desc->dwSize) : -1, desc ? desc->dwFlags : 0,
                desc ? desc->dwBackBufferCount : 0, desc ? desc->ddsCaps.dwCaps : 0,
                desc ? desc->dwWidth : 0, desc ? desc->dwHeight : 0, Value(outer)});
    if (references <= 0) return DDERR_GENERIC;
    if (auto fault = TakeFault("CreateSurface", label)) return *fault;
    if (!desc || desc->dwSize != sizeof(DDSURFACEDESC) || outer) return DDERR_INVALIDPARAMS;
    auto& surfaces = State().surfaces;
    if (isPrimary) {
        const bool wantsBack = (desc->dwFlags & DDSD_BACKBUFFERCOUNT) &&
                               desc->dwBackBufferCount == 1 &&
                               (desc->ddsCaps.dwCaps & DDSCAPS_FLIP);
        if (!wantsBack) return DDERR_INVALIDPARAMS;
        surfaces.push_back(std::make_unique<Surface>(label, modeWidth, modeHeight, true));
        Surface* front = surfaces.back().get();
        surfaces.push_back(std::make_unique<Surface>("backbuffer", modeWidth, modeHeight, false));
        front->attached = surfaces.back().get();
        *surface = front;
        return DD_OK;
    }
    const DWORD sized = DDSD_WIDTH | DDSD_HEIGHT;
    if ((desc->dwFlags & sized) != sized || desc->dwWidth == 0 || desc->dwHeight == 0 ||
        desc->dwWidth > 16384 || desc->dwHeight > 16384)
        return DDERR_INVALIDPARAMS;
    ++offscreenCount;
    surfaces.push_back(
        std::make_unique<Surface>(label, int32_t(desc->dwWidth), int32_t(desc->dwHeight), false));
    *surface = surfaces.back().get();
    return DD_OK;
}

HRESULT DirectDraw::SetCooperativeLevel(HWND window, DWORD flags) {
    RecordCall("SetCooperativeLevel", "directdraw",
               {window != nullptr && window == HeadlessMainWindow(), flags});
    if (auto fault = TakeFault("SetCooperativeLevel", "")) return *fault;
    return window ? DD_OK : DDERR_INVALIDPARAMS;
}

HRESULT DirectDraw::SetDisplayMode(DWORD width, DWORD height, DWORD bitsPerPixel) {
    RecordCall("SetDisplayMode", "directdraw", {width, height, bitsPerPixel});
    if (auto fault = TakeFault("SetDisplayMode", "")) return *fault;
    if (width == 0 || height == 0 || width > 16384 || height > 16384) return DDERR_INVALIDPARAMS;
    modeWidth = int32_t(width);
    modeHeight = int32_t(height);
    return DD_OK;
}

} // namespace

void ResetDirectDraw() {
    State() = DisplayState{};
}

void HeadlessLoseSurfaces() {
    for (auto& surface : State().surfaces)
        if (surface->primary || surface->label == "backbuffer") surface->lost = true;
}

void HeadlessSetReportedBitCount(DWORD bits) {
    State().reportedBits = bits;
}

const std::vector<std::vector<uint32_t>>& HeadlessFrames() {
    return State().frames;
}
int64_t HeadlessFramesPresented() {
    return State().framesPresented;
}
void HeadlessKeepFrames(size_t count) {
    State().keepFrames = count;
}
int HeadlessUseAfterRelease() {
    return State().useAfterRelease;
}

HRESULT WINAPI DirectDrawCreate(GUID* driver, LPDIRECTDRAW* directDraw, IUnknown* outer) {
    RecordCall("DirectDrawCreate", "", {Value(driver), Value(outer)});
    *directDraw = nullptr;
    if (auto fault = TakeFault("DirectDrawCreate", "")) return *fault;
    State().objects.push_back(std::make_unique<DirectDraw>());
    *directDraw = State().objects.back().get();
    return DD_OK;
}
