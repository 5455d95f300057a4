// vexmont-demoscene OUT_DIR TEXTURE_DIR: writes the bundled demo scene, demo.obj and
// demo.mtl, into OUT_DIR. The MTL names the textures as TEXTURE_DIR/NAME.bmp.
//
// A basilica-like hall, built in OBJ coordinates (Y up, the viewer looking along -Z): the
// viewer starts at (0, 40, 40) in an entrance vestibule and looks down a nave of tiled
// floor between two arcades of stone columns, under a planked ceiling with metal beams,
// towards steps, a dais with an altar and an arched opening onto a walled garden under
// the sky. Faces are counter-clockwise seen from the side they show.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "geometry/plane.h"

namespace {

using V3 = Vector3d;

V3 operator+(V3 a, V3 b) {
    return {a.x + b.x, a.y + b.y, a.z + b.z};
}
V3 operator-(V3 a, V3 b) {
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}
V3 operator*(V3 a, double k) {
    return {a.x * k, a.y * k, a.z * k};
}
V3 Normalize(V3 a) {
    return a * (1.0 / std::sqrt(Dot(a, a)));
}

struct UV {
    double u, v;
};

enum Material { Tiles, Stone, Brick, Planks, Marble, Metal, Sky, Leaves, MaterialCount };
const char* const MaterialNames[MaterialCount] = {"tiles",  "stone", "brick", "planks",
                                                  "marble", "metal", "sky",   "leaves"};
// Scene units per texture repeat.
const double RepeatSize[MaterialCount] = {40, 48, 48, 64, 32, 24, 256, 32};

struct Quad {
    Material material;
    V3 p[4];
    UV t[4];
};

std::vector<Quad> Quads;

// Texture frame of a face that shows towards `normal`: right and up as a viewer facing it
// sees them (up is +Y on walls, forwards (-Z) on floors, backwards on ceilings).
void FaceFrame(V3 normal, V3& right, V3& up) {
    const V3 view = normal * -1.0;
    V3 worldUp = {0, 1, 0};
    if (normal.y > 0.7) worldUp = {0, 0, -1};
    if (normal.y < -0.7) worldUp = {0, 0, 1};
    right = Normalize(Cross(view, worldUp));
    up = Normalize(Cross(right, view));
}

// Adds a planar convex quad, reordered if needed so that it shows towards `facing`, cut
// into cells of at most `cell` units. Without explicit uv the texture is projected along
// the face normal.
void AddQuad(Material material, V3 a, V3 b, V3 c, V3 d, V3 facing, double cell = 40.0,
             const UV* uv = nullptr) {
    V3 p[4] = {a, b, c, d};
    UV t[4] = {};
    if (uv) std::copy(uv, uv + 4, t);
    if (Dot(Cross(p[1] - p[0], p[2] - p[0]), facing) < 0) {
        std::swap(p[1], p[3]);
        std::swap(t[1], t[3]);
    }
    V3 right;
    V3 up;
    FaceFrame(Normalize(facing), right, up);
    auto len = [](V3 v) { return std::sqrt(Dot(v, v)); };
    const int nu =
        std::max(1, int(std::ceil(std::max(len(p[1] - p[0]), len(p[2] - p[3])) / cell - 1e-9)));
    const int nv =
        std::max(1, int(std::ceil(std::max(len(p[3] - p[0]), len(p[2] - p[1])) / cell - 1e-9)));
    auto point = [&](double s, double r) {
        const V3 bottom = p[0] + (p[1] - p[0]) * s;
        const V3 top = p[3] + (p[2] - p[3]) * s;
        return bottom + (top - bottom) * r;
    };
    auto texel = [&](double s, double r, V3 q) -> UV {
        if (!uv) return {Dot(q, right) / RepeatSize[material], Dot(q, up) / RepeatSize[material]};
        const UV bottom = {t[0].u + (t[1].u - t[0].u) * s, t[0].v + (t[1].v - t[0].v) * s};
        const UV top = {t[3].u + (t[2].u - t[3].u) * s, t[3].v + (t[2].v - t[3].v) * s};
        return {bottom.u + (top.u - bottom.u) * r, bottom.v + (top.v - bottom.v) * r};
    };
    for (int i = 0; i < nu; ++i) {
        for (int j = 0; j < nv; ++j) {
            Quad q{material, {}, {}};
            const double s[4] = {double(i) / nu, double(i + 1) / nu, double(i + 1) / nu,
                                 double(i) / nu};
            const double r[4] = {double(j) / nv, double(j) / nv, double(j + 1) / nv,
                                 double(j + 1) / nv};
            for (int k = 0; k < 4; ++k) {
                q.p[k] = point(s[k], r[k]);
                q.t[k] = texel(s[k], r[k], q.p[k]);
            }
            Quads.push_back(q);
        }
    }
}

constexpr unsigned FaceLeft = 1, FaceRight = 2, FaceBottom = 4, FaceTop = 8, FaceBack = 16,
                   FaceFront = 32, AllFaces = 63;

// An axis-aligned box showing its outside; `faces` picks which sides exist
// (left -X, right +X, bottom -Y, top +Y, back -Z, front +Z).
void AddBox(Material m, V3 lo, V3 hi, unsigned faces = AllFaces, double cell = 40.0) {
    const V3 c[8] = {{lo.x, lo.y, lo.z}, {hi.x, lo.y, lo.z}, {hi.x, hi.y, lo.z},
                     {lo.x, hi.y, lo.z}, {lo.x, lo.y, hi.z}, {hi.x, lo.y, hi.z},
                     {hi.x, hi.y, hi.z}, {lo.x, hi.y, hi.z}};
    if (faces & FaceLeft) AddQuad(m, c[0], c[4], c[7], c[3], {-1, 0, 0}, cell);
    if (faces & FaceRight) AddQuad(m, c[1], c[2], c[6], c[5], {1, 0, 0}, cell);
    if (faces & FaceBottom) AddQuad(m, c[0], c[1], c[5], c[4], {0, -1, 0}, cell);
    if (faces & FaceTop) AddQuad(m, c[3], c[7], c[6], c[2], {0, 1, 0}, cell);
    if (faces & FaceBack) AddQuad(m, c[0], c[3], c[2], c[1], {0, 0, -1}, cell);
    if (faces & FaceFront) AddQuad(m, c[4], c[5], c[6], c[7], {0, 0, 1}, cell);
}

// A vertical cylinder's side, showing outwards; the texture wraps once around it.
void AddCylinder(Material m, double cx, double cz, double radius, double y0, double y1,
                 int segments, int rings) {
    const double pi = std::acos(-1.0);
    for (int i = 0; i < segments; ++i) {
        const double a0 = 2 * pi * i / segments;
        const double a1 = 2 * pi * (i + 1) / segments;
        const V3 r0 = {std::sin(a0), 0, std::cos(a0)};
        const V3 r1 = {std::sin(a1), 0, std::cos(a1)};
        for (int j = 0; j < rings; ++j) {
            const double ya = y0 + (y1 - y0) * j / rings;
            const double yb = y0 + (y1 - y0) * (j + 1) / rings;
            const V3 base = {cx, 0, cz};
            const UV uv[4] = {{double(i) / segments, ya / RepeatSize[m]},
                              {double(i + 1) / segments, ya / RepeatSize[m]},
                              {double(i + 1) / segments, yb / RepeatSize[m]},
                              {double(i) / segments, yb / RepeatSize[m]}};
            AddQuad(m, base + r0 * radius + V3{0, ya, 0}, base + r1 * radius + V3{0, ya, 0},
                    base + r1 * radius + V3{0, yb, 0}, base + r0 * radius + V3{0, yb, 0}, r0 + r1,
                    1e9, uv);
        }
    }
}

// A wall pierced by a round-headed arch, in a vertical plane: the point at distance s
// along the unit horizontal direction `along` and height y is origin + along s + (0, y, 0),
// and the wall covers s0..s1. The opening, 2 r wide and centred at sc, rises straight from
// `bottom` to the spring line `spring` and closes in a half circle of radius r above it;
// beside the opening the wall reaches from `bottom` to `top`, and above the arc (drawn in
// `segments` pieces) up to `top`. Its faces show towards `facing`.
void AddArchWall(Material m, V3 origin, V3 along, V3 facing, double s0, double s1, double sc,
                 double r, double bottom, double spring, double top, int segments) {
    const double pi = std::acos(-1.0);
    auto at = [&](double s, double y) { return origin + along * s + V3{0, y, 0}; };
    AddQuad(m, at(s0, bottom), at(sc - r, bottom), at(sc - r, top), at(s0, top), facing);
    AddQuad(m, at(sc + r, bottom), at(s1, bottom), at(s1, top), at(sc + r, top), facing);
    for (int i = 0; i < segments; ++i) {
        const double a0 = pi - pi * i / segments;
        const double a1 = pi - pi * (i + 1) / segments;
        const double sa = sc + r * std::cos(a0);
        const double sb = sc + r * std::cos(a1);
        const double ya = spring + r * std::sin(a0);
        const double yb = spring + r * std::sin(a1);
        AddQuad(m, at(sa, ya), at(sb, yb), at(sb, top), at(sa, top), facing);
    }
}

// The curved underside of an arch between two parallel walls `thickness` apart (`across`
// points from the first wall to the second), showing downwards into the opening.
void AddArchSoffit(Material m, V3 origin, V3 along, V3 across, double thickness, double sc,
                   double r, double bottom, double spring, int segments) {
    const double pi = std::acos(-1.0);
    auto at = [&](double s, double y, double w) {
        return origin + along * s + across * w + V3{0, y, 0};
    };
    // The straight reveals below the spring line, if the arch has any.
    for (double side : {-1.0, 1.0}) {
        if (spring <= bottom) break;
        const double s = sc + side * r;
        AddQuad(m, at(s, bottom, 0), at(s, bottom, thickness), at(s, spring, thickness),
                at(s, spring, 0), along * -side);
    }
    double arc = 0;
    for (int i = 0; i < segments; ++i) {
        const double a0 = pi - pi * i / segments;
        const double a1 = pi - pi * (i + 1) / segments;
        const V3 p0 = at(sc + r * std::cos(a0), spring + r * std::sin(a0), 0);
        const V3 p1 = at(sc + r * std::cos(a1), spring + r * std::sin(a1), 0);
        const double step = pi * r / segments / RepeatSize[m];
        const UV uv[4] = {{0, arc},
                          {0, arc + step},
                          {thickness / RepeatSize[m], arc + step},
                          {thickness / RepeatSize[m], arc}};
        const double mid = (a0 + a1) / 2;
        const V3 inward = along * -std::cos(mid) + V3{0, -std::sin(mid), 0};
        AddQuad(m, p0, p1, p1 + across * thickness, p0 + across * thickness, inward, 1e9, uv);
        arc += step;
    }
}

void BuildScene() {
    constexpr double HallBack = 120;    // wall behind the start camera
    constexpr double HallEnd = -520;    // far wall
    constexpr double NaveHalf = 74;     // inner face of the arcades
    constexpr double ArcadeOuter = 86;  // aisle face of the arcades
    constexpr double HallHalf = 160;    // outer walls
    constexpr double AisleHeight = 150; // aisle ceiling, arcade top
    constexpr double NaveHeight = 220;  // nave ceiling
    constexpr double ColumnX = 80;
    constexpr double ColumnSpacing = 60;
    constexpr int ColumnCount = 7;      // at z = -20, -80, ..., -380
    constexpr double ArcadeStart = -10; // the vestibule's solid walls end here
    constexpr double StepsStart = -390;
    constexpr double StepDepth = 10;
    constexpr double StepHeight = 6;
    constexpr int StepCount = 4;
    constexpr double DaisHeight = StepHeight * StepCount;
    constexpr double WallThickness = 10;

    // Floor of the nave and aisles, up to the steps.
    AddQuad(Tiles, {-HallHalf, 0, HallBack}, {HallHalf, 0, HallBack}, {HallHalf, 0, StepsStart},
            {-HallHalf, 0, StepsStart}, {0, 1, 0});
    // Steps and the dais across the whole width: treads and risers only.
    for (int i = 0; i < StepCount; ++i) {
        const double z = StepsStart - StepDepth * i;
        const double y = StepHeight * i;
        AddQuad(Marble, {-HallHalf, y, z}, {HallHalf, y, z}, {HallHalf, y + StepHeight, z},
                {-HallHalf, y + StepHeight, z}, {0, 0, 1});
        const double zEnd = i + 1 < StepCount ? z - StepDepth : HallEnd;
        AddQuad(Marble, {-HallHalf, y + StepHeight, z}, {HallHalf, y + StepHeight, z},
                {HallHalf, y + StepHeight, zEnd}, {-HallHalf, y + StepHeight, zEnd}, {0, 1, 0});
    }
    // Outer walls of the aisles, showing inwards.
    for (double side : {-1.0, 1.0}) {
        AddQuad(Brick, {side * HallHalf, 0, HallBack}, {side * HallHalf, 0, HallEnd},
                {side * HallHalf, AisleHeight, HallEnd}, {side * HallHalf, AisleHeight, HallBack},
                {-side, 0, 0});
        // Aisle ceilings.
        AddQuad(Planks, {side * ArcadeOuter, AisleHeight, HallBack},
                {side * HallHalf, AisleHeight, HallBack}, {side * HallHalf, AisleHeight, HallEnd},
                {side * ArcadeOuter, AisleHeight, HallEnd}, {0, -1, 0});
        // Clerestory above the arcades.
        AddQuad(Brick, {side * NaveHalf, AisleHeight, HallBack},
                {side * NaveHalf, AisleHeight, HallEnd}, {side * NaveHalf, NaveHeight, HallEnd},
                {side * NaveHalf, NaveHeight, HallBack}, {-side, 0, 0});
    }
    // Back wall behind the start position, nave and aisles.
    AddQuad(Brick, {-NaveHalf, 0, HallBack}, {NaveHalf, 0, HallBack},
            {NaveHalf, NaveHeight, HallBack}, {-NaveHalf, NaveHeight, HallBack}, {0, 0, -1});
    for (double side : {-1.0, 1.0})
        AddQuad(Brick, {side * NaveHalf, 0, HallBack}, {side * HallHalf, 0, HallBack},
                {side * HallHalf, AisleHeight, HallBack}, {side * NaveHalf, AisleHeight, HallBack},
                {0, 0, -1});
    // Nave ceiling with metal beams over every pair of columns.
    AddQuad(Planks, {-NaveHalf, NaveHeight, HallBack}, {NaveHalf, NaveHeight, HallBack},
            {NaveHalf, NaveHeight, HallEnd}, {-NaveHalf, NaveHeight, HallEnd}, {0, -1, 0});
    for (int k = 0; k < ColumnCount; ++k) {
        const double z = -20 - ColumnSpacing * k;
        AddBox(Metal, {-NaveHalf, NaveHeight - 12, z - 4}, {NaveHalf, NaveHeight, z + 4},
               FaceBottom | FaceFront | FaceBack);
    }

    // The vestibule: solid walls between the nave and the aisles.
    for (double side : {-1.0, 1.0}) {
        for (double x : {NaveHalf, ArcadeOuter}) {
            const double facing = x == NaveHalf ? -side : side;
            AddQuad(Brick, {side * x, 0, HallBack}, {side * x, 0, ArcadeStart},
                    {side * x, AisleHeight, ArcadeStart}, {side * x, AisleHeight, HallBack},
                    {facing, 0, 0});
        }
        AddQuad(Brick, {side * NaveHalf, 0, ArcadeStart}, {side * ArcadeOuter, 0, ArcadeStart},
                {side * ArcadeOuter, AisleHeight, ArcadeStart},
                {side * NaveHalf, AisleHeight, ArcadeStart}, {0, 0, -1});
    }

    // Columns and the arcades they carry.
    for (double side : {-1.0, 1.0}) {
        const double cx = side * ColumnX;
        for (int k = 0; k < ColumnCount; ++k) {
            const double z = -20 - ColumnSpacing * k;
            AddBox(Marble, {cx - 10, 0, z - 10}, {cx + 10, 8, z + 10}, AllFaces & ~FaceBottom);
            AddCylinder(Stone, cx, z, 7, 8, 92, 12, 3);
            AddBox(Marble, {cx - 10, 92, z - 10}, {cx + 10, 100, z + 10}, AllFaces & ~FaceTop);
        }
        // The arcade wall above the capitals, from the vestibule to the last column.
        const V3 along = {0, 0, -1};
        for (double x : {NaveHalf, ArcadeOuter}) {
            const V3 facing = {x == NaveHalf ? -side : side, 0, 0};
            const V3 origin = {side * x, 0, 0};
            // From the vestibule to the first column's capital: solid.
            AddQuad(Stone, origin + V3{0, 100, ArcadeStart}, origin + V3{0, 100, -20},
                    origin + V3{0, AisleHeight, -20}, origin + V3{0, AisleHeight, ArcadeStart},
                    facing);
            for (int k = 0; k + 1 < ColumnCount; ++k) {
                const double s0 = 20 + ColumnSpacing * k;
                AddArchWall(Stone, origin, along, facing, s0, s0 + ColumnSpacing,
                            s0 + ColumnSpacing / 2, 20, 100, 100, AisleHeight, 10);
            }
        }
        // Under the arches.
        for (int k = 0; k + 1 < ColumnCount; ++k) {
            const double s0 = 20 + ColumnSpacing * k;
            AddArchSoffit(Stone, {side * NaveHalf, 0, 0}, along, {side, 0, 0},
                          ArcadeOuter - NaveHalf, s0 + ColumnSpacing / 2, 20, 100, 100, 10);
        }
        // The arcade's end above the last capital.
        const double zLast = -20 - ColumnSpacing * (ColumnCount - 1);
        AddQuad(Stone, {side * NaveHalf, 100, zLast - 10}, {side * ArcadeOuter, 100, zLast - 10},
                {side * ArcadeOuter, AisleHeight, zLast - 10},
                {side * NaveHalf, AisleHeight, zLast - 10}, {0, 0, -1});
        // Beyond the arcade the aisle ceiling reaches the clerestory.
        AddQuad(Planks, {side * NaveHalf, AisleHeight, zLast - 10},
                {side * ArcadeOuter, AisleHeight, zLast - 10},
                {side * ArcadeOuter, AisleHeight, HallEnd}, {side * NaveHalf, AisleHeight, HallEnd},
                {0, -1, 0});
        for (double x : {NaveHalf, ArcadeOuter}) {
            const V3 facing = {x == NaveHalf ? -side : side, 0, 0};
            AddQuad(Stone, {side * x, 100, zLast}, {side * x, 100, zLast - 10},
                    {side * x, AisleHeight, zLast - 10}, {side * x, AisleHeight, zLast}, facing);
        }
    }

    // The far wall with an arched opening onto the garden.
    constexpr double OpeningRadius = 40;
    constexpr double OpeningSpring = DaisHeight + 70;
    const V3 farOrigin = {HallHalf, 0, HallEnd};
    AddArchWall(Brick, farOrigin, {-1, 0, 0}, {0, 0, 1}, 0, 2 * HallHalf, HallHalf, OpeningRadius,
                DaisHeight, OpeningSpring, NaveHeight, 16);
    AddArchSoffit(Marble, farOrigin, {-1, 0, 0}, {0, 0, -1}, WallThickness, HallHalf, OpeningRadius,
                  DaisHeight, OpeningSpring, 16);
    AddQuad(Marble, {-OpeningRadius, DaisHeight, HallEnd}, {OpeningRadius, DaisHeight, HallEnd},
            {OpeningRadius, DaisHeight, HallEnd - WallThickness},
            {-OpeningRadius, DaisHeight, HallEnd - WallThickness}, {0, 1, 0});
    // Its garden side, up to the garden wall's height and with the sky above.
    constexpr double GardenEnd = -720;
    constexpr double GardenHalf = 120;
    constexpr double GardenWall = 90;
    constexpr double SkyHeight = 320;
    const double farBack = HallEnd - WallThickness;
    AddArchWall(Brick, {-GardenHalf, 0, farBack}, {1, 0, 0}, {0, 0, -1}, 0, 2 * GardenHalf,
                GardenHalf, OpeningRadius, DaisHeight, OpeningSpring, NaveHeight + 20, 16);

    // The garden: a lawn, hedges, a fountain basin, walls, and the sky over it all.
    AddQuad(Leaves, {-GardenHalf, DaisHeight, farBack}, {GardenHalf, DaisHeight, farBack},
            {GardenHalf, DaisHeight, GardenEnd}, {-GardenHalf, DaisHeight, GardenEnd}, {0, 1, 0});
    for (double side : {-1.0, 1.0}) {
        AddBox(Leaves, {side * 70 - 15, DaisHeight, -690}, {side * 70 + 15, DaisHeight + 30, -560},
               AllFaces & ~FaceBottom);
        AddQuad(Brick, {side * GardenHalf, DaisHeight, farBack},
                {side * GardenHalf, DaisHeight, GardenEnd},
                {side * GardenHalf, GardenWall, GardenEnd},
                {side * GardenHalf, GardenWall, farBack}, {-side, 0, 0});
        AddQuad(Sky, {side * GardenHalf, GardenWall, farBack},
                {side * GardenHalf, GardenWall, GardenEnd},
                {side * GardenHalf, SkyHeight, GardenEnd}, {side * GardenHalf, SkyHeight, farBack},
                {-side, 0, 0}, 80);
    }
    AddQuad(Brick, {-GardenHalf, DaisHeight, GardenEnd}, {GardenHalf, DaisHeight, GardenEnd},
            {GardenHalf, GardenWall, GardenEnd}, {-GardenHalf, GardenWall, GardenEnd}, {0, 0, 1});
    AddQuad(Sky, {-GardenHalf, GardenWall, GardenEnd}, {GardenHalf, GardenWall, GardenEnd},
            {GardenHalf, SkyHeight, GardenEnd}, {-GardenHalf, SkyHeight, GardenEnd}, {0, 0, 1}, 80);
    AddQuad(Sky, {-GardenHalf, SkyHeight, farBack}, {GardenHalf, SkyHeight, farBack},
            {GardenHalf, SkyHeight, GardenEnd}, {-GardenHalf, SkyHeight, GardenEnd}, {0, -1, 0},
            80);
    // Sky above the far wall's garden face, closing the box.
    AddQuad(Sky, {-GardenHalf, NaveHeight + 20, farBack}, {GardenHalf, NaveHeight + 20, farBack},
            {GardenHalf, SkyHeight, farBack}, {-GardenHalf, SkyHeight, farBack}, {0, 0, -1}, 80);
    AddBox(Marble, {-25, DaisHeight, -650}, {25, DaisHeight + 10, -600}, AllFaces & ~FaceBottom,
           20);
    AddCylinder(Metal, 0, -625, 5, DaisHeight + 10, DaisHeight + 45, 8, 1);

    // The altar on the dais, and two metal-clad pedestals flanking the steps.
    AddBox(Metal, {-24, DaisHeight, -480}, {24, DaisHeight + 26, -460}, AllFaces & ~FaceBottom, 24);
    AddBox(Marble, {-28, DaisHeight + 26, -484}, {28, DaisHeight + 30, -456},
           AllFaces & ~FaceBottom);
    for (double side : {-1.0, 1.0}) {
        AddBox(Metal, {side * 50 - 8, DaisHeight, -440}, {side * 50 + 8, DaisHeight + 40, -424},
               AllFaces & ~FaceBottom, 20);
    }
}

bool WriteScene(const std::string& dir, const std::string& textureDir) {
    const std::string mtlPath = dir + "/demo.mtl";
    std::FILE* mtl = std::fopen(mtlPath.c_str(), "w");
    if (!mtl) return false;
    for (int m = 0; m < MaterialCount; ++m)
        std::fprintf(mtl, "newmtl %s\nKd 1 1 1\nmap_Kd %s/%s.bmp\n\n", MaterialNames[m],
                     textureDir.c_str(), MaterialNames[m]);
    if (std::fclose(mtl) != 0) return false;

    const std::string objPath = dir + "/demo.obj";
    std::FILE* obj = std::fopen(objPath.c_str(), "w");
    if (!obj) return false;
    std::fprintf(obj, "# Vexmont demo hall; generated by vexmont-demoscene.\nmtllib demo.mtl\n");
    for (const Quad& q : Quads)
        for (const V3& p : q.p)
            std::fprintf(obj, "v %.4f %.4f %.4f\n", p.x, p.y, p.z);
    for (const Quad& q : Quads)
        for (const UV& t : q.t)
            std::fprintf(obj, "vt %.5f %.5f\n", t.u, t.v);
    int current = -1;
    for (size_t i = 0; i < Quads.size(); ++i) {
        if (Quads[i].material != current) {
            current = Quads[i].material;
            std::fprintf(obj, "usemtl %s\n", MaterialNames[current]);
        }
        const size_t b = i * 4 + 1;
        std::fprintf(obj, "f %zu/%zu %zu/%zu %zu/%zu %zu/%zu\n", b, b, b + 1, b + 1, b + 2, b + 2,
                     b + 3, b + 3);
    }
    return std::fclose(obj) == 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: vexmont-demoscene OUT_DIR TEXTURE_DIR\n");
        return 2;
    }
    BuildScene();
    if (!WriteScene(argv[1], argv[2])) {
        std::fprintf(stderr, "vexmont-demoscene: cannot write the scene into \"%s\"\n", argv[1]);
        return 1;
    }
    std::printf("demo scene: %zu quads\n", Quads.size());
    return 0;
}
