#!/usr/bin/env python3
"""Writes the fuzz targets' seed corpus into fuzz/corpus/<target>/ from a built tree's demo
content (build/demo, build/content, the golden test map) and small cases made here. The
outputs are committed; run again (python3 fuzz/make_corpus.py [BUILD]) when a format changes."""
import base64, json, math, os, shutil, struct, subprocess, sys, tempfile

root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
build = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else os.path.join(root, "build"))
out = os.path.join(root, "fuzz", "corpus")
targets = ["map", "bitmap", "font", "render", "scene", "bspc_args", "shot_args"]
shutil.rmtree(out, ignore_errors=True)
for t in targets:
    os.makedirs(os.path.join(out, t))


def put(target, name, data):
    with open(os.path.join(out, target, name), "wb") as f:
        f.write(data)


def bmp(width, height, bits=24, compression=0, height_field=None, rows=None):
    row = (width * 3 + 3) & ~3
    pixels = bytearray()
    for y in range(height if rows is None else rows):
        line = bytearray((x * 37 + y * 11) & 0xFF for x in range(width * 3))
        pixels += line + bytes(row - len(line))
    header = struct.pack("<2sIHHI", b"BM", 54 + len(pixels), 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, width, height if height_field is None else height_field,
                       1, bits, compression, len(pixels), 2835, 2835, 0, 0)
    return header + info + bytes(pixels)


tmp = tempfile.mkdtemp()
try:
    golden = os.path.join(tmp, "golden")
    subprocess.run([os.path.join(build, "tests/render/render-fixture"), "map", golden], check=True)
    golden_map = open(os.path.join(golden, "Vuze.BSP"), "rb").read()
    demo_map = open(os.path.join(build, "demo/Vuze.BSP"), "rb").read()

    # The map loader: the golden map whole and cut short, the demo map's start.
    put("map", "golden", golden_map)
    put("map", "golden-cut", golden_map[: len(golden_map) // 2])
    put("map", "demo-start", demo_map[:2048])

    # The BMP reader: the golden map's textures, one demo texture, odd sizes and headers.
    for name in sorted(os.listdir(os.path.join(golden, "Textures"))):
        put("bitmap", name, open(os.path.join(golden, "Textures", name), "rb").read())
    put("bitmap", "leaves.bmp", open(os.path.join(build, "demo/Textures/leaves.bmp"), "rb").read())
    put("bitmap", "1x1", bmp(1, 1))
    put("bitmap", "3x5", bmp(3, 5))
    put("bitmap", "0x4", bmp(0, 4))
    put("bitmap", "top-down", bmp(2, 2, height_field=-2))
    put("bitmap", "short-row", bmp(4, 4, rows=3))
    put("bitmap", "8-bit", bmp(2, 2, bits=8))

    # The font: counter value, x, y, then the demo's Font.bmp.
    font = open(os.path.join(build, "demo/Font.bmp"), "rb").read()
    put("font", "demo", struct.pack("<iii", 0, 10, 10) + font)
    put("font", "demo-edges", struct.pack("<iii", 2147483647, -5, 380) + font)
    put("font", "small", struct.pack("<iii", 12, 100, 100) + bmp(16, 8))

    # The renderer: the start camera and others, keys, the golden map.
    def camera(turn_z, turn_y, position):
        c, s = math.cos(turn_z), math.sin(turn_z)
        cy, sy = math.cos(turn_y), math.sin(turn_y)
        rz = [[c, s, 0], [-s, c, 0], [0, 0, 1]]
        ry = [[cy, 0, -sy], [0, 1, 0], [sy, 0, cy]]
        m = [[sum(ry[i][k] * rz[k][j] for k in range(3)) for j in range(3)] for i in range(3)]
        values = []
        for i in range(3):
            values += m[i] + [0.0]
        values += list(position) + [1.0]
        return struct.pack("<16f", *values)

    keys = bytes([1, 3, 5, 6, 2, 4])
    put("render", "start", camera(-3.1415925, 0, (0, 40, -40)) + bytes([len(keys)]) + keys + golden_map)
    put("render", "turned", camera(-3.1415925, 1.2, (30, 20, 10)) + bytes([0]) + golden_map)
    put("render", "inside", camera(0.3, 2.5, (35, 15, 35)) + bytes([3, 5, 5, 5]) + golden_map)

    # The scene import: OBJ with MTL (selector 0), glTF (1), GLB (2).
    quad_obj = (b"mtllib scene.mtl\nv 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\nvt 0 0\nvt 1 0\nvt 1 1\n"
                b"vt 0 1\nvn 0 0 1\nusemtl wall\nf 1/1/1 2/2/1 3/3/1 4/4/1\n")
    quad_mtl = b"newmtl wall\nKd 0.5 0.25 0.75\nmap_Kd wall.png\n"
    put("scene", "quad-obj", b"\0" + quad_obj + b"#mtl\n" + quad_mtl)
    demo_obj = open(os.path.join(build, "content/demo.obj"), "rb").read()
    head = demo_obj[:3000]
    head = head[: head.rfind(b"\n") + 1]
    demo_mtl = open(os.path.join(build, "content/demo.mtl"), "rb").read()
    put("scene", "demo-obj-start", b"\0" + head + b"#mtl\n" + demo_mtl)

    positions = struct.pack("<9f", 0, 0, 0, 1, 0, 0, 0, 1, 0)
    gltf = {
        "asset": {"version": "2.0"}, "scene": 0, "scenes": [{"nodes": [0]}],
        "nodes": [{"mesh": 0, "translation": [0, 1, 0]}],
        "meshes": [{"primitives": [{"attributes": {"POSITION": 0}, "material": 0}]}],
        "materials": [{"pbrMetallicRoughness": {"baseColorFactor": [1, 0.5, 0.25, 1]}}],
        "accessors": [{"bufferView": 0, "componentType": 5126, "count": 3, "type": "VEC3",
                       "min": [0, 0, 0], "max": [1, 1, 0]}],
        "bufferViews": [{"buffer": 0, "byteOffset": 0, "byteLength": 36}],
        "buffers": [{"byteLength": 36, "uri": "data:application/octet-stream;base64,"
                     + base64.b64encode(positions).decode()}],
    }
    put("scene", "triangle-gltf", b"\1" + json.dumps(gltf).encode())
    del gltf["buffers"][0]["uri"]
    chunk = json.dumps(gltf).encode()
    chunk += b" " * (-len(chunk) % 4)
    glb = struct.pack("<II", len(chunk), 0x4E4F534A) + chunk + struct.pack("<II", 36, 0x004E4942) + positions
    put("scene", "triangle-glb", b"\2" + struct.pack("<4sII", b"glTF", 2, 12 + len(glb)) + glb)

    # The command lines, NUL-separated.
    def args(*parts):
        return b"\0".join(p.encode() for p in parts)

    put("bspc_args", "fit", args("scene.obj", "--out", "out", "--fit", "--double-sided"))
    put("bspc_args", "placed", args("a.gltf", "--out", "d", "--scale", "2.5", "--offset", "1,-2,3e2",
                                    "--max-texture", "256", "--import-timeout", "0", "--no-simplify"))
    put("bspc_args", "help", args("--formats"))
    start = ",".join(["-1", "0", "0", "0", "0", "-1", "0", "0", "0", "0", "1", "0", "0", "40", "-40", "1"])
    put("shot_args", "full", args("--dir", "demo", "--camera", start, "--keys", "left,Up,delete",
                                  "--frames", "10", "--out", "frame.PNG"))
    put("shot_args", "plain", args("--out", "a.ppm"))
    put("shot_args", "bad", args("--frames", "0", "--out", "x.jpg", "--help"))
finally:
    shutil.rmtree(tmp)
