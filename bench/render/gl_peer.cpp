// The peer on OSMesa. See gl_peer.h for what it draws and why that is the same frame.
#define GL_GLEXT_PROTOTYPES 1
#include "bench/render/gl_peer.h"

#include <GL/gl.h>
#include <GL/glext.h>
#include <GL/osmesa.h>

#include <algorithm>
#include <cstdlib>
#include <vector>

#include "geometry/projection.h"
#include "render/pipeline.h"
#include "render/render.h"
#include "scene/map.h"
#include "scene/texture.h"

namespace {

// Nothing the peer uploads may exceed this; a larger array texture is refused.
constexpr size_t MaxTextureBytes = size_t(1) << 30;

// In the renderer's projection, screen x = F x / z + W/2 and y = F y / z + H/2, y down, and
// pixel (px, py) is sampled at that very point. OpenGL samples pixel centres (i + 0.5) and
// counts rows from the bottom; the buffer is read top row first (OSMESA_Y_UP 0). So window
// x = X + 0.5 and window y = H - 0.5 - Y, which in clip space (w = z) is
//   x_clip = (2F/W) x + z/W,   y_clip = -(2F/H) y - z/H.
// z_clip = z - 0.2 keeps z >= 0.1, the renderer's near limit (it drops what it would clip).
constexpr const char* VertexShader = R"(#version 330 core
layout(location = 0) in vec3 position;
layout(location = 1) in vec2 texel;
layout(location = 2) in float layer;
uniform mat4 view;
uniform vec4 screen;
out vec2 coord;
flat out float slice;
void main() {
    vec4 c = view * vec4(position, 1.0);
    gl_Position = vec4(screen.x * c.x + screen.y * c.z, screen.z * c.y + screen.w * c.z,
                       c.z - 0.2, c.z);
    coord = texel;
    slice = layer;
}
)";
constexpr const char* FragmentShader = R"(#version 330 core
in vec2 coord;
flat in float slice;
uniform sampler2DArray atlas;
out vec4 color;
void main() {
    color = texture(atlas, vec3(coord, slice));
}
)";

struct PeerNode {
    Plane plane;
    int32_t front = -1, back = -1; // indices into GlPeer::nodes, -1 for none
    int32_t firstPolygon = 0, polygonCount = 0;
};

struct PeerVertex {
    float x, y, z, s, t, layer;
};

} // namespace

struct GlPeer {
    OSMesaContext context = nullptr;
    std::vector<uint32_t> pixels;
    std::vector<PeerNode> nodes;      // pre-order, the root first
    std::vector<Plane> polygonPlanes; // by polygon number, in walk order within each node
    std::vector<uint8_t> hasTexture;  // the renderer skips a polygon whose slot has none
    std::vector<uint32_t> indices;    // this frame's triangles, 3 vertex numbers each
    const Matrix4* mapMatrix = nullptr;
    GLuint program = 0, vertexArray = 0, vertexBuffer = 0, indexBuffer = 0, texture = 0;
    GLint viewUniform = -1;
    std::string renderer;
};

void GlPeerDeleter::operator()(GlPeer* peer) const {
    if (!peer) return;
    if (peer->context) {
        glDeleteTextures(1, &peer->texture);
        glDeleteBuffers(1, &peer->indexBuffer);
        glDeleteBuffers(1, &peer->vertexBuffer);
        glDeleteVertexArrays(1, &peer->vertexArray);
        glDeleteProgram(peer->program);
        OSMesaMakeCurrent(nullptr, nullptr, GL_UNSIGNED_BYTE, 0, 0);
        OSMesaDestroyContext(peer->context);
    }
    delete peer;
}

namespace {

int32_t AddNode(GlPeer& peer, const MapNode& node, const Map& map,
                std::vector<PeerVertex>& vertices) {
    const auto index = int32_t(peer.nodes.size());
    peer.nodes.push_back(
        {node.plane, -1, -1, int32_t(peer.polygonPlanes.size()), node.polygonCount});
    for (int32_t i = 0; i < node.polygonCount; ++i) {
        const MapPolygon& polygon = node.polygons[i];
        const bool inRange = polygon.textureIndex >= 0 && polygon.textureIndex < map.textureCount;
        const Texture* texture =
            inRange ? map.textureSlots[polygon.textureIndex].texture.get() : nullptr;
        peer.polygonPlanes.push_back(polygon.plane);
        peer.hasTexture.push_back(texture != nullptr);
        for (const MapVertex* v : polygon.vertices) {
            PeerVertex out{v->x, v->y, v->z, 0.0f, 0.0f, float(polygon.textureIndex)};
            if (texture) {
                // The texel coordinates exactly as the renderer forms them; the layer's size
                // is a power of two, so the division is exact.
                out.s = float(double(float(texture->width)) * v->u);
                out.t = float(double(float(texture->height)) * v->v);
            }
            vertices.push_back(out);
        }
    }
    if (node.flags & NodeHasFront) {
        const int32_t front = AddNode(peer, *node.front, map, vertices);
        peer.nodes[size_t(index)].front = front;
    }
    if (node.flags & NodeHasBack) {
        const int32_t back = AddNode(peer, *node.back, map, vertices);
        peer.nodes[size_t(index)].back = back;
    }
    return index;
}

GLuint CompileShader(GLenum kind, const char* source) {
    const GLuint shader = glCreateShader(kind);
    glShaderSource(shader, 1, &source, nullptr);
    glCompileShader(shader);
    GLint ok = 0;
    glGetShaderiv(shader, GL_COMPILE_STATUS, &ok);
    if (!ok) {
        glDeleteShader(shader);
        return 0;
    }
    return shader;
}

bool BuildProgram(GlPeer& peer) {
    const GLuint vs = CompileShader(GL_VERTEX_SHADER, VertexShader);
    const GLuint fs = CompileShader(GL_FRAGMENT_SHADER, FragmentShader);
    if (!vs || !fs) return false;
    peer.program = glCreateProgram();
    glAttachShader(peer.program, vs);
    glAttachShader(peer.program, fs);
    glLinkProgram(peer.program);
    glDeleteShader(vs);
    glDeleteShader(fs);
    GLint ok = 0;
    glGetProgramiv(peer.program, GL_LINK_STATUS, &ok);
    if (!ok) return false;
    glUseProgram(peer.program);
    peer.viewUniform = glGetUniformLocation(peer.program, "view");
    const double f = FocalLength, w = ViewWidth, h = ViewHeight;
    glUniform4f(glGetUniformLocation(peer.program, "screen"), float(2.0 * f / w), float(1.0 / w),
                float(-2.0 * f / h), float(-1.0 / h));
    glUniform1i(glGetUniformLocation(peer.program, "atlas"), 0);
    return true;
}

// Every texture in one layer of the largest width and height, repeated to fill it.
bool UploadTextures(const Map& map, std::vector<PeerVertex>& vertices, GlPeer& peer,
                    std::string& reason) {
    int32_t width = 1, height = 1;
    for (int32_t i = 0; i < map.textureCount; ++i) {
        if (const Texture* t = map.textureSlots[i].texture.get()) {
            width = std::max(width, t->width);
            height = std::max(height, t->height);
        }
    }
    const int32_t layers = std::max(map.textureCount, 1);
    GLint maxSize = 0, maxLayers = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxSize);
    glGetIntegerv(GL_MAX_ARRAY_TEXTURE_LAYERS, &maxLayers);
    const size_t bytes = size_t(width) * size_t(height) * size_t(layers) * 4;
    if (width > maxSize || height > maxSize || layers > maxLayers || bytes > MaxTextureBytes) {
        reason = "the textures do not fit one array texture (" + std::to_string(layers) +
                 " layers of " + std::to_string(width) + " x " + std::to_string(height) + ")";
        return false;
    }
    std::vector<uint32_t> texels(bytes / 4, 0);
    for (int32_t i = 0; i < map.textureCount; ++i) {
        const Texture* t = map.textureSlots[i].texture.get();
        if (!t) continue;
        uint32_t* layer = &texels[size_t(i) * size_t(width) * size_t(height)];
        for (int32_t y = 0; y < height; ++y)
            for (int32_t x = 0; x < width; ++x)
                layer[size_t(y) * size_t(width) + size_t(x)] =
                    t->pixels[size_t(y % t->height) * size_t(t->width) + size_t(x % t->width)];
    }
    for (PeerVertex& v : vertices) {
        v.s /= float(width);
        v.t /= float(height);
    }
    glGenTextures(1, &peer.texture);
    glActiveTexture(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_2D_ARRAY, peer.texture);
    glTexParameteri(GL_TEXTURE_2D_ARRAY, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D_ARRAY, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D_ARRAY, GL_TEXTURE_WRAP_S, GL_REPEAT);
    glTexParameteri(GL_TEXTURE_2D_ARRAY, GL_TEXTURE_WRAP_T, GL_REPEAT);
    glTexParameteri(GL_TEXTURE_2D_ARRAY, GL_TEXTURE_BASE_LEVEL, 0);
    glTexParameteri(GL_TEXTURE_2D_ARRAY, GL_TEXTURE_MAX_LEVEL, 0);
    // Our pixels are 0x00RRGGBB: the bytes B, G, R, 0 in memory.
    glTexImage3D(GL_TEXTURE_2D_ARRAY, 0, GL_RGBA8, width, height, layers, 0, GL_BGRA,
                 GL_UNSIGNED_BYTE, texels.data());
    return true;
}

void UploadGeometry(GlPeer& peer, const std::vector<PeerVertex>& vertices) {
    glGenVertexArrays(1, &peer.vertexArray);
    glBindVertexArray(peer.vertexArray);
    glGenBuffers(1, &peer.vertexBuffer);
    glBindBuffer(GL_ARRAY_BUFFER, peer.vertexBuffer);
    glBufferData(GL_ARRAY_BUFFER, GLsizeiptr(vertices.size() * sizeof(PeerVertex)), vertices.data(),
                 GL_STATIC_DRAW);
    const auto stride = GLsizei(sizeof(PeerVertex));
    glVertexAttribPointer(0, 3, GL_FLOAT, GL_FALSE, stride, nullptr);
    glVertexAttribPointer(1, 2, GL_FLOAT, GL_FALSE, stride,
                          reinterpret_cast<const void*>(offsetof(PeerVertex, s)));
    glVertexAttribPointer(2, 1, GL_FLOAT, GL_FALSE, stride,
                          reinterpret_cast<const void*>(offsetof(PeerVertex, layer)));
    for (GLuint a = 0; a < 3; ++a)
        glEnableVertexAttribArray(a);
    glGenBuffers(1, &peer.indexBuffer);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, peer.indexBuffer);
    glBufferData(GL_ELEMENT_ARRAY_BUFFER, GLsizeiptr(peer.indices.capacity() * sizeof(uint32_t)),
                 nullptr, GL_STREAM_DRAW);
}

double Distance(const Plane& p, const Point3& c) {
    return double(p.a) * c.x + double(p.b) * c.y + double(p.c) * c.z + p.d;
}

// DrawBspNode's order and DrawMapPolygon's back-face test, collecting instead of drawing.
void Collect(GlPeer& peer, int32_t index, const Point3& camera) {
    const PeerNode& node = peer.nodes[size_t(index)];
    const auto polygons = [&] {
        for (int32_t k = node.firstPolygon; k < node.firstPolygon + node.polygonCount; ++k) {
            if (!peer.hasTexture[size_t(k)]) continue;
            if (Distance(peer.polygonPlanes[size_t(k)], camera) > BackFaceThreshold) continue;
            for (uint32_t corner = 0; corner < 3; ++corner)
                peer.indices.push_back(3 * uint32_t(k) + corner);
        }
    };
    const double dist = Distance(node.plane, camera);
    if (dist > BspPlaneBand) {
        if (node.back >= 0) Collect(peer, node.back, camera);
        polygons();
        if (node.front >= 0) Collect(peer, node.front, camera);
    } else if (dist < -BspPlaneBand) {
        if (node.front >= 0) Collect(peer, node.front, camera);
        polygons();
        if (node.back >= 0) Collect(peer, node.back, camera);
    } else {
        if (node.back >= 0) Collect(peer, node.back, camera);
        if (node.front >= 0) Collect(peer, node.front, camera);
    }
}

} // namespace

GlPeerHandle CreateGlPeer(const Map& map, std::string& reason) {
    // llvmpipe reads these when its first context is made: rasterize on this thread, and
    // keep no shader cache (nor its thread).
    setenv("LP_NUM_THREADS", "0", 1);
    setenv("MESA_SHADER_CACHE_DISABLE", "true", 1);
    GlPeerHandle peer(new GlPeer());
    const int attributes[] = {OSMESA_FORMAT,
                              OSMESA_BGRA,
                              OSMESA_DEPTH_BITS,
                              0,
                              OSMESA_STENCIL_BITS,
                              0,
                              OSMESA_ACCUM_BITS,
                              0,
                              OSMESA_PROFILE,
                              OSMESA_CORE_PROFILE,
                              OSMESA_CONTEXT_MAJOR_VERSION,
                              3,
                              OSMESA_CONTEXT_MINOR_VERSION,
                              3,
                              0};
    peer->context = OSMesaCreateContextAttribs(attributes, nullptr);
    if (!peer->context) {
        reason = "OSMesa could not make an OpenGL 3.3 core context";
        return nullptr;
    }
    peer->pixels.assign(size_t(ViewWidth) * size_t(ViewHeight), 0);
    if (!OSMesaMakeCurrent(peer->context, peer->pixels.data(), GL_UNSIGNED_BYTE, ViewWidth,
                           ViewHeight)) {
        reason = "OSMesa could not bind the frame buffer";
        return nullptr;
    }
    OSMesaPixelStore(OSMESA_Y_UP, 0);
    peer->renderer = reinterpret_cast<const char*>(glGetString(GL_RENDERER));

    std::vector<PeerVertex> vertices;
    if (map.root) AddNode(*peer, *map.root, map, vertices);
    peer->indices.reserve(vertices.size());
    peer->mapMatrix = &map.matrix;
    if (!BuildProgram(*peer)) {
        reason = "the peer's shaders did not compile or link";
        return nullptr;
    }
    if (!UploadTextures(map, vertices, *peer, reason)) return nullptr;
    UploadGeometry(*peer, vertices);

    glViewport(0, 0, ViewWidth, ViewHeight);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_CULL_FACE);
    glDisable(GL_BLEND);
    // Columns 2..W-2 and rows 2..H-2 counted from the top: the frustum keeps every vertex
    // 2 pixels inside the screen, and rounding lets the fill rule reach column and row 2.
    glScissor(2, 1, ViewWidth - 3, ViewHeight - 3);
    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    if (glGetError() != GL_NO_ERROR) {
        reason = "OpenGL reported an error while setting up the peer";
        return nullptr;
    }
    return peer;
}

void DrawGlPeerFrame(GlPeer& peer, const Matrix4& camera) {
    // ViewMatrix and CameraPosition as RenderScene builds them.
    Matrix4 view, inverse;
    Matrix4InvertAffine(camera, view);
    Matrix4Multiply(view, *peer.mapMatrix, view);
    Matrix4InvertAffine(view, inverse);
    const Point3 position{inverse.m[12], inverse.m[13], inverse.m[14]};

    peer.indices.clear();
    if (!peer.nodes.empty()) Collect(peer, 0, position);
    glBufferSubData(GL_ELEMENT_ARRAY_BUFFER, 0, GLsizeiptr(peer.indices.size() * sizeof(uint32_t)),
                    peer.indices.data());
    // Row-major rows become the shader's columns, so view * p is the row vector p times V.
    glUniformMatrix4fv(peer.viewUniform, 1, GL_FALSE, view.m);
    glDisable(GL_SCISSOR_TEST);
    glClear(GL_COLOR_BUFFER_BIT);
    glEnable(GL_SCISSOR_TEST);
    glDrawElements(GL_TRIANGLES, GLsizei(peer.indices.size()), GL_UNSIGNED_INT, nullptr);
    glFinish();
}

std::span<const uint32_t> GlPeerPixels(const GlPeer& peer) {
    return peer.pixels;
}

std::string GlPeerRenderer(const GlPeer& peer) {
    return peer.renderer;
}
