#include "tools/bspc/enclosed.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

#include "tools/bspc/mesh_prep.h"

namespace {

// The space tested lies this far in front of a polygon (in map units, as the tree's own
// plane tolerance), and its corners this share of the way in from the polygon's own, so that
// a face meeting the polygon's edge (the surface it was cut along) does not count as passing
// through it.
constexpr double FrontOffset = PlaneEpsilon;
constexpr double Shrink = 1e-3;
// A ray passing within this share of the coordinates' size of an edge, or starting as near
// to a face, grazes it.
constexpr double GrazeTolerance = 1e-12;
// A shell's grid has about as many cells as faces, at most this many along each side.
constexpr int32_t MaxGridCells = 256;

using Triangle = std::array<Vector3d, 3>;

struct Box {
    double lo[3] = {HUGE_VAL, HUGE_VAL, HUGE_VAL};
    double hi[3] = {-HUGE_VAL, -HUGE_VAL, -HUGE_VAL};
    void Add(const Vector3d& p) {
        const double c[3] = {p.x, p.y, p.z};
        for (int k = 0; k < 3; ++k) {
            lo[k] = std::fmin(lo[k], c[k]);
            hi[k] = std::fmax(hi[k], c[k]);
        }
    }
    bool Overlaps(const Box& o) const {
        for (int k = 0; k < 3; ++k)
            if (o.lo[k] > hi[k] || o.hi[k] < lo[k]) return false;
        return true;
    }
};

Box BoxOf(const Triangle& t) {
    Box box;
    for (const Vector3d& p : t)
        box.Add(p);
    return box;
}

// A closed part's faces, and a grid over y and z listing the faces whose box reaches into
// each cell: a ray along x meets only the faces of one cell.
struct Shell {
    Box box;
    std::vector<Triangle> faces;
    std::vector<Box> boxes;
    int32_t cells = 1;           // along y and along z
    std::vector<uint32_t> first; // per cell (y-major), into `listed`; one more at the end
    std::vector<uint32_t> listed;

    int32_t Cell(double value, int axis) const {
        // A span of 0 or beyond the doubles, or a value outside the box, lands in an end cell.
        const double at = (value - box.lo[axis]) / (box.hi[axis] - box.lo[axis]) * cells;
        if (!(at > 0.0)) return 0;
        return at < double(cells - 1) ? int32_t(at) : cells - 1;
    }
    // The faces listed in the cells that [lo, hi] in y and z reaches; calls visit(face) and
    // stops when it returns true. Returns the faces visited.
    template <typename F> int64_t Visit(const double lo[3], const double hi[3], F&& visit) const {
        int64_t visited = 0;
        for (int32_t y = Cell(lo[1], 1); y <= Cell(hi[1], 1); ++y)
            for (int32_t z = Cell(lo[2], 2); z <= Cell(hi[2], 2); ++z) {
                const size_t cell = size_t(y) * size_t(cells) + size_t(z);
                for (uint32_t i = first[cell]; i < first[cell + 1]; ++i) {
                    ++visited;
                    if (visit(listed[i])) return visited;
                }
            }
        return visited;
    }
};

void BuildGrid(Shell& shell) {
    shell.cells = std::clamp(int32_t(std::sqrt(double(shell.faces.size()))), 1, MaxGridCells);
    const size_t cellCount = size_t(shell.cells) * size_t(shell.cells);
    auto forCells = [&](const Box& b, auto&& f) {
        for (int32_t y = shell.Cell(b.lo[1], 1); y <= shell.Cell(b.hi[1], 1); ++y)
            for (int32_t z = shell.Cell(b.lo[2], 2); z <= shell.Cell(b.hi[2], 2); ++z)
                f(size_t(y) * size_t(shell.cells) + size_t(z));
    };
    std::vector<uint32_t> count(cellCount + 1, 0);
    for (const Box& b : shell.boxes)
        forCells(b, [&](size_t cell) { ++count[cell + 1]; });
    for (size_t c = 0; c < cellCount; ++c)
        count[c + 1] += count[c];
    shell.first = count;
    shell.listed.resize(count[cellCount]);
    for (uint32_t i = 0; i < shell.boxes.size(); ++i)
        forCells(shell.boxes[i], [&](size_t cell) { shell.listed[count[cell]++] = i; });
}

struct Shells {
    std::vector<Shell> list;
    int64_t work = 0; // face and shell tests left
};

// Whether segment a-b meets the triangle, touching included.
bool SegmentMeets(const Vector3d& a, const Vector3d& b, const Triangle& t) {
    const Vector3d d = Difference(b, a);
    const Vector3d e1 = Difference(t[1], t[0]);
    const Vector3d e2 = Difference(t[2], t[0]);
    const Vector3d q = Cross(d, e2);
    const double det = Dot(e1, q);
    if (det == 0.0) return false;
    const Vector3d s = Difference(a, t[0]);
    const double u = Dot(s, q) / det;
    if (u < 0.0 || u > 1.0) return false;
    const Vector3d r = Cross(s, e1);
    const double v = Dot(d, r) / det;
    if (v < 0.0 || u + v > 1.0) return false;
    const double along = Dot(e2, r) / det;
    return along >= 0.0 && along <= 1.0;
}

bool Meet(const Triangle& f, const Triangle& t) {
    for (int k = 0; k < 3; ++k)
        if (SegmentMeets(f[size_t(k)], f[size_t(k + 1) % 3], t) ||
            SegmentMeets(t[size_t(k)], t[size_t(k + 1) % 3], f))
            return true;
    return false;
}

// What the ray from p along +x meets of one closed part: the signed count of faces it
// passes through, each +1 when it leaves through the face's seen side (the part's winding
// number at p), and the nearest of them. False when the ray grazes an edge or starts on a
// face, where rounding could count a face twice or not at all.
struct Crossings {
    int64_t winding = 0;
    double nearest = HUGE_VAL;
};

bool CrossAlongX(const Shell& shell, const Vector3d& p, Crossings& out, int64_t& work) {
    const double at[3] = {p.x, p.y, p.z};
    bool grazed = false;
    work += shell.Visit(at, at, [&](uint32_t i) {
        const Box& box = shell.boxes[i];
        if (p.y < box.lo[1] || p.y > box.hi[1] || p.z < box.lo[2] || p.z > box.hi[2] ||
            p.x > box.hi[0])
            return false;
        const Triangle& t = shell.faces[i];
        double edge[3];
        for (int k = 0; k < 3; ++k) {
            const Vector3d& a = t[size_t(k)];
            const Vector3d& b = t[size_t(k + 1) % 3];
            const double dy = b.y - a.y, dz = b.z - a.z;
            const double py = p.y - a.y, pz = p.z - a.z;
            edge[k] = dy * pz - dz * py;
            if (std::fabs(edge[k]) <=
                GrazeTolerance * (std::fabs(dy) + std::fabs(dz)) * (std::fabs(py) + std::fabs(pz)))
                return grazed = true;
        }
        if ((edge[0] > 0) != (edge[1] > 0) || (edge[1] > 0) != (edge[2] > 0)) return false;
        const Vector3d n = Cross(Difference(t[1], t[0]), Difference(t[2], t[0]));
        const double x = t[0].x - (n.y * (p.y - t[0].y) + n.z * (p.z - t[0].z)) / n.x;
        if (!std::isfinite(x) ||
            std::fabs(x - p.x) <= GrazeTolerance * (std::fabs(x) + std::fabs(p.x) + 1.0))
            return grazed = true;
        if (x > p.x) {
            out.winding += n.x > 0 ? 1 : -1;
            out.nearest = std::fmin(out.nearest, x);
        }
        return false;
    });
    return !grazed;
}

enum class Space { Open, Solid, Unknown };

// Whether p lies in solid matter: the innermost closed part around it (of those whose
// winding number at p is not 0, the one the ray leaves first) is seen from outside. A box
// inside a room is solid; the room inside a building's outer wall is open space, and so is
// everything outside every closed part.
Space SpaceAt(Shells& shells, const Vector3d& p) {
    const Box point = BoxOf({p, p, p});
    double innermost = HUGE_VAL;
    int64_t winding = 0;
    shells.work -= int64_t(shells.list.size());
    for (const Shell& shell : shells.list) {
        if (!shell.box.Overlaps(point)) continue;
        Crossings crossings;
        int64_t work = 0;
        const bool clear = CrossAlongX(shell, p, crossings, work);
        shells.work -= work;
        if (!clear) return Space::Unknown;
        if (crossings.winding != 0 && crossings.nearest < innermost) {
            innermost = crossings.nearest;
            winding = crossings.winding;
        }
    }
    return winding > 0 ? Space::Solid : Space::Open;
}

// Whether the triangle lies wholly in solid matter: no closed part's face passes through
// it, and a point of it is shell (another one when the ray from the first grazes a face).
// False also once the work is spent.
bool InSolid(Shells& shells, const Triangle& f) {
    const Box box = BoxOf(f);
    shells.work -= int64_t(shells.list.size());
    for (const Shell& shell : shells.list) {
        if (!shell.box.Overlaps(box)) continue;
        if (shells.work < 0) return false;
        bool meets = false;
        shells.work -= shell.Visit(box.lo, box.hi, [&](uint32_t i) {
            return meets = shell.boxes[i].Overlaps(box) && Meet(f, shell.faces[i]);
        });
        if (meets) return false;
    }
    constexpr double Samples[4][3] = {
        {1.0 / 3, 1.0 / 3, 1.0 / 3}, {0.5, 0.25, 0.25}, {0.25, 0.5, 0.25}, {0.25, 0.25, 0.5}};
    for (const double* w : Samples) {
        const Vector3d p = {w[0] * f[0].x + w[1] * f[1].x + w[2] * f[2].x,
                            w[0] * f[0].y + w[1] * f[1].y + w[2] * f[2].y,
                            w[0] * f[0].z + w[1] * f[1].z + w[2] * f[2].z};
        const Space space = SpaceAt(shells, p);
        if (space != Space::Unknown) return space == Space::Solid && shells.work >= 0;
    }
    return false;
}

Vector3d Widen(const MapVertex& v) {
    return {v.x, v.y, v.z};
}

// The space just in front of a polygon: pulled in from its corners, moved out along the
// side it is seen from (against the plane's normal).
Triangle InFront(const BspTriangle& t) {
    Triangle f = {Widen(t.v[0]), Widen(t.v[1]), Widen(t.v[2])};
    const Vector3d centre = {(f[0].x + f[1].x + f[2].x) / 3, (f[0].y + f[1].y + f[2].y) / 3,
                             (f[0].z + f[1].z + f[2].z) / 3};
    const Vector3d out = {-FrontOffset * t.plane.a, -FrontOffset * t.plane.b,
                          -FrontOffset * t.plane.c};
    for (Vector3d& p : f)
        p = {p.x + (centre.x - p.x) * Shrink + out.x, p.y + (centre.y - p.y) * Shrink + out.y,
             p.z + (centre.z - p.z) * Shrink + out.z};
    return f;
}

int64_t DropIn(BspNode& node, Shells& shells, BspStats& stats) {
    int64_t dropped = 0;
    for (std::unique_ptr<BspNode>* child : {&node.front, &node.back}) {
        if (!*child) continue;
        dropped += DropIn(**child, shells, stats);
        if ((*child)->polygons.empty() && !(*child)->front && !(*child)->back) {
            child->reset();
            --stats.nodes;
        }
    }
    const auto kept =
        std::remove_if(node.polygons.begin(), node.polygons.end(),
                       [&](const BspTriangle& t) { return InSolid(shells, InFront(t)); });
    dropped += node.polygons.end() - kept;
    node.polygons.erase(kept, node.polygons.end());
    return dropped;
}

} // namespace

int64_t DropEnclosedFaces(BspNode& root, std::span<const BspTriangle> input, int64_t work,
                          BspStats& stats) {
    const std::vector<int32_t> part = ClosedParts(input);
    Shells shells;
    shells.work = work;
    for (size_t i = 0; i < input.size(); ++i) {
        if (part[i] < 0) continue;
        if (size_t(part[i]) >= shells.list.size()) shells.list.resize(size_t(part[i]) + 1);
        Shell& shell = shells.list[size_t(part[i])];
        const BspTriangle& t = input[i];
        shell.faces.push_back({Widen(t.v[0]), Widen(t.v[1]), Widen(t.v[2])});
        shell.boxes.push_back(BoxOf(shell.faces.back()));
        for (const Vector3d& p : shell.faces.back())
            shell.box.Add(p);
    }
    if (shells.list.empty()) return 0;
    for (Shell& shell : shells.list)
        BuildGrid(shell);
    const int64_t dropped = DropIn(root, shells, stats);
    stats.outputTriangles -= dropped;
    return dropped;
}
