// vexmont-bench: the cost of the viewer's frame step on a map directory.
//
// The directory is started exactly as the viewer starts (map, projection, font, textures)
// on the in-memory platform, with its call record off. Then, inside the message loop, each
// frame sets the camera and times, in turn: the viewer's own frame step (RunFrame: clear,
// RenderScene, lock, copy, counter, present); RenderScene alone, with the renderer's work
// counters; and the memory floor (memory_floor.h), a clear plus one write per pixel from a
// texture with affine stepping. One warm-up frame comes first. With --peer the same cameras
// are then drawn by the OpenGL peer (gl_peer.h). Figures are printed, never judged.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <numbers>
#include <string>
#include <vector>

#include "app/viewer.h"
#include "bench/render/bench_options.h"
#include "bench/render/gl_peer.h"
#include "bench/render/memory_floor.h"
#include "platform/headless/headless.h"
#include "render/counters.h"
#include "render/render.h"
#include "scene/load_error.h"
#include "scene/map.h"
#include "tools/headless_run/headless_run.h"

namespace {

constexpr int ExitOk = 0;
constexpr int ExitStartFailed = 1;
constexpr int ExitBadArguments = 2;
constexpr size_t FramePixels = size_t(ScreenWidth) * ScreenHeight;

using Clock = std::chrono::steady_clock;

double Milliseconds(Clock::time_point from, Clock::time_point to) {
    return std::chrono::duration<double, std::milli>(to - from).count();
}

struct Spread {
    double median = 0, min = 0, max = 0;
};

Spread SpreadOf(std::vector<double> values) {
    if (values.empty()) return {};
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    const double median = n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
    return {median, values.front(), values.back()};
}

struct PeerFigures {
    std::string status = "not requested"; // "ran", "skipped" or "not requested"
    std::string detail;                   // the renderer's name, or why it was skipped
    Spread frameMs;
    std::vector<Spread> cameraFrameMs; // with --cameras: each camera's frames
    double identicalPercent = 0;
};

struct BenchFigures {
    int64_t triangles = 0;
    int32_t vertices = 0, textures = 0;
    Spread frameMs, renderMs, floorMs;
    std::vector<Spread> cameraFrameMs; // with --cameras: each camera's frame steps
    size_t worstCamera = 0;            // the camera with the highest median
    Spread visited, culled, drawn, pixels;
    PeerFigures peer;
};

int64_t CountTriangles(const MapNode& node) {
    int64_t n = node.polygonCount;
    if (node.flags & NodeHasFront) n += CountTriangles(*node.front);
    if (node.flags & NodeHasBack) n += CountTriangles(*node.back);
    return n;
}

// The map's first texture; a map without textures gets one black texel.
const Texture& FloorTexture(const Map& map) {
    if (map.textureCount > 0 && map.textureSlots[0].texture) return *map.textureSlots[0].texture;
    static const Texture black = [] {
        Texture t;
        t.width = t.height = 1;
        t.pixels = std::make_unique<uint32_t[]>(1);
        return t;
    }();
    return black;
}

// With --cameras K: which camera frame i of n belongs to.
size_t CameraOfFrame(size_t i, size_t n, long cameraCount) {
    return i * size_t(cameraCount) / n;
}

// Each camera's spread of the frame times `ms`, one per frame.
std::vector<Spread> SpreadByCamera(const std::vector<double>& ms, long cameraCount) {
    std::vector<std::vector<double>> perCamera(size_t(std::max(cameraCount, 0L)));
    for (size_t i = 0; i < ms.size() && cameraCount > 0; ++i)
        perCamera[CameraOfFrame(i, ms.size(), cameraCount)].push_back(ms[i]);
    std::vector<Spread> out;
    for (const std::vector<double>& camera : perCamera)
        out.push_back(SpreadOf(camera));
    return out;
}

// K cameras on a grid across the map's box (x and z) at the start camera's height, camera i
// turned about its own y axis by i/K of a turn, so that they look every way.
std::vector<Matrix4> SpreadCameras(long count, const Matrix4& start, const Map& map) {
    float lo[3] = {0, 0, 0}, hi[3] = {0, 0, 0};
    for (int32_t i = 0; i < map.vertexCount; ++i) {
        const float p[3] = {map.vertices[i].x, map.vertices[i].y, map.vertices[i].z};
        for (int k = 0; k < 3; ++k) {
            lo[k] = i == 0 ? p[k] : std::min(lo[k], p[k]);
            hi[k] = i == 0 ? p[k] : std::max(hi[k], p[k]);
        }
    }
    const long columns = std::max(1L, long(std::ceil(std::sqrt(double(count)))));
    const long rows = (count + columns - 1) / columns;
    std::vector<Matrix4> cameras;
    for (long i = 0; i < count; ++i) {
        Matrix4 m = start;
        Matrix4RotateY(m, float(2.0 * std::numbers::pi * double(i) / double(count)));
        const double fx = (double(i % columns) + 0.5) / double(columns);
        const double fz = (double(i / columns) + 0.5) / double(rows);
        m.m[12] = float(lo[0] + fx * (double(hi[0]) - lo[0]));
        m.m[14] = float(lo[2] + fz * (double(hi[2]) - lo[2]));
        cameras.push_back(m);
    }
    return cameras;
}

std::vector<Matrix4> Cameras(const BenchOptions& options, const Matrix4& start, const Map& map) {
    std::vector<Matrix4> cameras(size_t(options.frames), start);
    if (options.cameraCount > 0) {
        const std::vector<Matrix4> spread = SpreadCameras(options.cameraCount, start, map);
        for (size_t i = 0; i < cameras.size(); ++i)
            cameras[i] = spread[CameraOfFrame(i, cameras.size(), options.cameraCount)];
    } else if (options.path == CameraPath::Spin) {
        for (size_t i = 0; i < cameras.size(); ++i)
            Matrix4RotateY(cameras[i],
                           float(2.0 * std::numbers::pi * double(i) / double(cameras.size())));
    }
    return cameras;
}

void RunPeer(const std::vector<Matrix4>& cameras, long cameraCount,
             const std::vector<uint32_t>& ourFirstFrame, PeerFigures& figures) {
    std::string reason;
    const GlPeerHandle peer = CreateGlPeer(*MainMap, reason);
    if (!peer) {
        figures.status = "skipped";
        figures.detail = reason;
        return;
    }
    figures.status = "ran";
    figures.detail = GlPeerRenderer(*peer) + ", LP_NUM_THREADS=0";
    // The warm-up frame is the first camera's; its picture is checked against ours.
    DrawGlPeerFrame(*peer, cameras.front());
    const std::span<const uint32_t> theirs = GlPeerPixels(*peer);
    size_t same = 0;
    for (size_t i = 0; i < FramePixels; ++i)
        same += (theirs[i] & 0xFFFFFFu) == ourFirstFrame[i];
    figures.identicalPercent = 100.0 * double(same) / double(FramePixels);

    std::vector<double> ms;
    ms.reserve(cameras.size());
    for (const Matrix4& camera : cameras) {
        const auto t0 = Clock::now();
        DrawGlPeerFrame(*peer, camera);
        ms.push_back(Milliseconds(t0, Clock::now()));
    }
    figures.cameraFrameMs = SpreadByCamera(ms, cameraCount);
    figures.frameMs = SpreadOf(std::move(ms));
}

// Runs inside the viewer's message loop, after its start-up.
void RunBench(const BenchOptions& options, BenchFigures& figures) {
    HeadlessSetRecording(false);
    const Map& map = *MainMap;
    figures.triangles = map.root ? CountTriangles(*map.root) : 0;
    figures.vertices = map.vertexCount;
    figures.textures = map.textureCount;
    const std::vector<Matrix4> cameras =
        Cameras(options, options.camera.value_or(CameraMatrix), map);
    const size_t n = cameras.size();
    std::vector<double> frameMs(n), renderMs(n), floorMs(n), visited(n), culled(n), drawn(n),
        pixels(n);
    std::vector<uint32_t> floorFrame(FramePixels), ourFirstFrame(FramePixels);
    const Texture& floorTexture = FloorTexture(map);
    const FloorKind floorKind = FastestFloorKind();
    volatile uint32_t sink = 0;

    CameraMatrix = cameras.front();
    RunFrame();
    sink = sink + DrawFloorFrame(floorFrame, ScreenWidth, floorTexture, floorKind);
    for (size_t i = 0; i < n; ++i) {
        CameraMatrix = cameras[i];
        const auto t0 = Clock::now();
        RunFrame();
        const auto t1 = Clock::now();

        std::memset(FrameBuffer.get(), 0, FramePixels * sizeof(uint32_t));
        const RenderCounters before = RenderCount;
        const auto t2 = Clock::now();
        RenderScene(CameraMatrix, map, FrameBuffer.get());
        const auto t3 = Clock::now();
        const RenderCounters after = RenderCount;
        if (i == 0) std::copy_n(FrameBuffer.get(), FramePixels, ourFirstFrame.begin());

        const auto t4 = Clock::now();
        sink = sink + DrawFloorFrame(floorFrame, ScreenWidth, floorTexture, floorKind);
        const auto t5 = Clock::now();

        frameMs[i] = Milliseconds(t0, t1);
        renderMs[i] = Milliseconds(t2, t3);
        floorMs[i] = Milliseconds(t4, t5);
        visited[i] = double(after.polygonsVisited - before.polygonsVisited);
        culled[i] = double(after.polygonsFacingAway - before.polygonsFacingAway);
        drawn[i] = double(after.polygonsRasterized - before.polygonsRasterized);
        pixels[i] = double(after.pixelsWritten - before.pixelsWritten);
    }
    figures.frameMs = SpreadOf(frameMs);
    figures.cameraFrameMs = SpreadByCamera(frameMs, options.cameraCount);
    for (size_t c = 0; c < figures.cameraFrameMs.size(); ++c)
        if (figures.cameraFrameMs[c].median > figures.cameraFrameMs[figures.worstCamera].median)
            figures.worstCamera = c;
    figures.renderMs = SpreadOf(renderMs);
    figures.floorMs = SpreadOf(floorMs);
    figures.visited = SpreadOf(visited);
    figures.culled = SpreadOf(culled);
    figures.drawn = SpreadOf(drawn);
    figures.pixels = SpreadOf(pixels);
    if (options.peer) RunPeer(cameras, options.cameraCount, ourFirstFrame, figures.peer);
}

double Ratio(double a, double b) {
    return b > 0 ? a / b : 0;
}

// With --cameras and the peer: the camera whose peer / ours of medians is lowest.
size_t LowestRatioCamera(const BenchFigures& f) {
    size_t lowest = 0;
    for (size_t c = 0; c < f.cameraFrameMs.size() && c < f.peer.cameraFrameMs.size(); ++c)
        if (Ratio(f.peer.cameraFrameMs[c].median, f.cameraFrameMs[c].median) <
            Ratio(f.peer.cameraFrameMs[lowest].median, f.cameraFrameMs[lowest].median))
            lowest = c;
    return lowest;
}

std::string JsonText(const std::string& text) {
    std::string out = "\"";
    for (const char c : text) {
        if (c == '"' || c == '\\') out += '\\';
        if (static_cast<unsigned char>(c) >= 0x20) out += c;
    }
    return out + "\"";
}

std::string JsonSpread(const Spread& s) {
    char text[128];
    std::snprintf(text, sizeof text, "{\"median\": %.6g, \"min\": %.6g, \"max\": %.6g}", s.median,
                  s.min, s.max);
    return text;
}

void PrintJson(const BenchOptions& options, const BenchFigures& f) {
    const auto field = [](const char* name, const std::string& value, bool last = false) {
        std::printf("  \"%s\": %s%s\n", name, value.c_str(), last ? "" : ",");
    };
    const auto number = [](double v) {
        char text[32];
        std::snprintf(text, sizeof text, "%.6g", v);
        return std::string(text);
    };
    std::printf("{\n");
    field("dir", JsonText(options.dir));
    field("frames", number(double(options.frames)));
    field("path", JsonText(options.cameraCount > 0                ? "cameras"
                           : options.path == CameraPath::Spin ? "spin"
                                                              : "fixed"));
    field("triangles", number(double(f.triangles)));
    field("vertices", number(f.vertices));
    field("textures", number(f.textures));
    field("frame_ms", JsonSpread(f.frameMs));
    if (!f.cameraFrameMs.empty()) {
        std::string list = "[";
        for (size_t c = 0; c < f.cameraFrameMs.size(); ++c)
            list += (c ? ", " : "") + JsonSpread(f.cameraFrameMs[c]);
        field("camera_frame_ms", list + "]");
        field("worst_camera", number(double(f.worstCamera)));
    }
    field("render_ms", JsonSpread(f.renderMs));
    field("floor_ms", JsonSpread(f.floorMs));
    field("polygons_visited", JsonSpread(f.visited));
    field("polygons_culled", JsonSpread(f.culled));
    field("polygons_drawn", JsonSpread(f.drawn));
    field("pixels_written", JsonSpread(f.pixels));
    field("frame_over_floor", number(Ratio(f.frameMs.median, f.floorMs.median)));
    field("ns_per_visited_polygon", number(Ratio(f.renderMs.median * 1e6, f.visited.median)));
    field("ns_per_written_pixel", number(Ratio(f.renderMs.median * 1e6, f.pixels.median)));
    std::string peer = "{\"status\": " + JsonText(f.peer.status);
    if (!f.peer.detail.empty()) peer += ", \"detail\": " + JsonText(f.peer.detail);
    if (f.peer.status == "ran") {
        peer += ", \"frame_ms\": " + JsonSpread(f.peer.frameMs) +
                ", \"peer_over_ours\": " + number(Ratio(f.peer.frameMs.median, f.frameMs.median)) +
                ", \"identical_pixels_percent\": " + number(f.peer.identicalPercent);
        if (!f.peer.cameraFrameMs.empty()) {
            std::string list = "[";
            for (size_t c = 0; c < f.peer.cameraFrameMs.size(); ++c)
                list += (c ? ", " : "") + JsonSpread(f.peer.cameraFrameMs[c]);
            const size_t lowest = LowestRatioCamera(f);
            peer += ", \"camera_frame_ms\": " + list + "], \"lowest_ratio_camera\": " +
                    number(double(lowest)) + ", \"lowest_camera_peer_over_ours\": " +
                    number(Ratio(f.peer.cameraFrameMs[lowest].median, f.cameraFrameMs[lowest].median));
        }
    }
    field("peer", peer + "}", true);
    std::printf("}\n");
}

void PrintText(const BenchOptions& options, const BenchFigures& f) {
    std::printf("vexmont-bench: %s: %lld triangles, %d vertices, %d textures; %ld frames, %s\n",
                options.dir.c_str(), (long long)f.triangles, f.vertices, f.textures, options.frames,
                options.cameraCount > 0 ? "cameras over the map"
                : options.path == CameraPath::Spin ? "spin" : "fixed");
    std::printf("%-32s %10s %10s %10s\n", "", "median", "min", "max");
    const auto row = [](const char* name, const Spread& s, const char* format) {
        std::printf("%-32s ", name);
        for (double v : {s.median, s.min, s.max})
            std::printf(format, v);
        std::printf("\n");
    };
    row("frame step (ms)", f.frameMs, " %10.3f");
    for (size_t c = 0; c < f.cameraFrameMs.size(); ++c) {
        char name[64];
        std::snprintf(name, sizeof name, "  camera %zu%s", c, c == f.worstCamera ? " (worst)" : "");
        row(name, f.cameraFrameMs[c], " %10.3f");
    }
    row("RenderScene (ms)", f.renderMs, " %10.3f");
    row("memory floor (ms)", f.floorMs, " %10.3f");
    row("polygons visited", f.visited, " %10.0f");
    row("polygons culled (facing away)", f.culled, " %10.0f");
    row("polygons drawn (rasterized)", f.drawn, " %10.0f");
    row("pixels written", f.pixels, " %10.0f");
    std::printf("frame step / floor %.1fx; RenderScene per visited polygon %.1f ns, per written "
                "pixel %.2f ns (medians)\n",
                Ratio(f.frameMs.median, f.floorMs.median),
                Ratio(f.renderMs.median * 1e6, f.visited.median),
                Ratio(f.renderMs.median * 1e6, f.pixels.median));
    if (f.peer.status == "ran") {
        std::printf("peer (%s): frame %.3f ms median, min %.3f, max %.3f; peer / ours %.2fx; "
                    "identical pixels in the first frame %.2f%%\n",
                    f.peer.detail.c_str(), f.peer.frameMs.median, f.peer.frameMs.min,
                    f.peer.frameMs.max, Ratio(f.peer.frameMs.median, f.frameMs.median),
                    f.peer.identicalPercent);
        if (!f.peer.cameraFrameMs.empty()) {
            std::printf("peer by camera (median ms, peer / ours):");
            for (size_t c = 0; c < f.peer.cameraFrameMs.size(); ++c)
                std::printf(" %zu: %.3f, %.1fx;", c, f.peer.cameraFrameMs[c].median,
                            Ratio(f.peer.cameraFrameMs[c].median, f.cameraFrameMs[c].median));
            const size_t lowest = LowestRatioCamera(f);
            std::printf(" lowest %.2fx (camera %zu)\n",
                        Ratio(f.peer.cameraFrameMs[lowest].median, f.cameraFrameMs[lowest].median),
                        lowest);
        }
    } else if (f.peer.status == "skipped") {
        std::printf("peer skipped: %s\n", f.peer.detail.c_str());
    }
}

} // namespace

int main(int argc, char** argv) {
    BenchOptions options;
    const std::string problem = ParseBenchArguments(argc, argv, options);
    if (problem == "help") {
        std::fputs(BenchUsage, stdout);
        return ExitOk;
    }
    if (!problem.empty()) {
        std::fprintf(stderr, "vexmont-bench: %s (see --help)\n", problem.c_str());
        return ExitBadArguments;
    }
    std::error_code error;
    std::filesystem::current_path(options.dir, error);
    if (error) {
        std::fprintf(stderr, "vexmont-bench: cannot enter %s: %s\n", options.dir.c_str(),
                     error.message().c_str());
        return ExitStartFailed;
    }

    BenchFigures figures;
    HeadlessReset();
    HeadlessQueueAction([&] { RunBench(options, figures); });
    HeadlessQueueClose();
    WinMain(nullptr, nullptr, nullptr, SW_SHOWDEFAULT);
    if (!HeadlessMessageLoopReached()) {
        // A file that did not load has been named by the viewer already, in one line.
        const std::string why = StartFailure();
        if (why != DescribeLoadError())
            std::fprintf(stderr, "vexmont-bench: %s: start-up failed: %s\n", options.dir.c_str(),
                         why.c_str());
        return ExitStartFailed;
    }
    if (options.json)
        PrintJson(options, figures);
    else
        PrintText(options, figures);
    return ExitOk;
}
