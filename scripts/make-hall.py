#!/usr/bin/python3
"""Writes a scene of much repeated geometry for the benchmark: a textured hall, 30 x 5 x 30
units, with 36 copies of the Wuson model of Debian's assimp-testmodels standing on a 6 x 6
grid (134,364 triangles, 76,220 vertices, so the map compiler simplifies it to fit).
  make-hall.py MODELS_OBJ_DIR OUT_DIR      (writes OUT_DIR/hall.obj, hall.mtl and textures)"""
import shutil
import sys
from pathlib import Path

HALF_SIDE, HEIGHT = 15.0, 5.0
GRID, SPACING = 6, 4.0
TEXTURES = {"wall": "wal67ar_small.jpg", "floor": "wal69ar_small.jpg", "statue": "drkwood2.jpg"}


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    models, out = Path(sys.argv[1]), Path(sys.argv[2])
    out.mkdir(parents=True, exist_ok=True)
    model = (models / "WusonOBJ.obj").read_text(encoding="utf-8").splitlines()
    positions = [line.split()[1:4] for line in model if line.startswith("v ")]
    texels = [line for line in model if line.startswith("vt ")]
    faces = [line.split()[1:] for line in model if line.startswith("f ")]

    s, h = HALF_SIDE, HEIGHT
    lines = ["mtllib hall.mtl"]
    lines += [f"v {x} {y} {z}" for x, y, z in
              [(-s, 0, -s), (s, 0, -s), (s, 0, s), (-s, 0, s),
               (-s, h, -s), (s, h, -s), (s, h, s), (-s, h, s)]]
    lines += ["vt 0 0", "vt 8 0", "vt 8 8", "vt 0 8"]
    # The room's six sides, each facing in.
    sides = [("floor", (1, 4, 3, 2)), ("wall", (5, 6, 7, 8)), ("wall", (1, 2, 6, 5)),
             ("wall", (2, 3, 7, 6)), ("wall", (3, 4, 8, 7)), ("wall", (4, 1, 5, 8))]
    for material, quad in sides:
        lines.append(f"usemtl {material}")
        lines.append("f " + " ".join(f"{v}/{t + 1}" for t, v in enumerate(quad)))

    lines.append("usemtl statue")
    vertex_base, texel_base = 8, 4
    first = -(GRID - 1) * SPACING / 2
    for gx in range(GRID):
        for gz in range(GRID):
            ox, oz = first + gx * SPACING, first + gz * SPACING
            lines += [f"v {float(x) + ox:g} {y} {float(z) * 0.8 + oz:g}" for x, y, z in positions]
            lines += texels
            for face in faces:
                corners = []
                for corner in face:
                    parts = corner.split("/")
                    vertex = int(parts[0]) + vertex_base
                    texel = f"/{int(parts[1]) + texel_base}" if len(parts) > 1 and parts[1] else ""
                    corners.append(f"{vertex}{texel}")
                lines.append("f " + " ".join(corners))
            vertex_base += len(positions)
            texel_base += len(texels)
    (out / "hall.obj").write_text("\n".join(lines) + "\n", encoding="utf-8")
    (out / "hall.mtl").write_text(
        "".join(f"newmtl {name}\nmap_Kd {file}\n" for name, file in TEXTURES.items()),
        encoding="utf-8")
    for file in TEXTURES.values():
        shutil.copyfile(models / file, out / file)


if __name__ == "__main__":
    main()
