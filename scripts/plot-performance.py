#!/usr/bin/python3
"""Reads the JSON that scripts/bench.sh wrote, prints the README's performance table and
draws the frame step of Vexmont and of the OpenGL peer against the map's size, each map's
figures from its run with the median ratio."""
import json
import sys
from pathlib import Path

import matplotlib

matplotlib.use("Agg")
import matplotlib.pyplot as plt  # noqa: E402

MAPS = [("demo", "bundled demo"), ("2k", "generated 2k"), ("20k", "generated 20k"),
        ("max", "generated max")]


def peer_ms(figures):
    peer = figures["peer"]
    return peer["frame_ms"]["median"] if peer["status"] == "ran" else None


def load(directory, name):
    """The run of NAME.*.json with the median peer / ours (with no peer, the median frame
    step), so that each row keeps one run's figures, ours and the peer's together."""
    runs = []
    for path in sorted(Path(directory).glob(f"{name}.*.json")):
        with open(path, encoding="utf-8") as f:
            runs.append(json.load(f))
    if not runs:
        sys.exit(f"plot-performance.py: no {name}.*.json in {directory}")

    def key(f):
        peer = peer_ms(f)
        return peer / f["frame_ms"]["median"] if peer else f["frame_ms"]["median"]
    return sorted(runs, key=key)[(len(runs) - 1) // 2]


def print_cameras(label, cams):
    worst = cams["camera_frame_ms"][int(cams["worst_camera"])]["median"]
    peer = peer_ms(cams)
    lowest = cams["peer"].get("lowest_camera_peer_over_ours")
    print(f"{label} from 12 cameras over the map: worst camera's median frame step "
          f"{worst:.3f} ms, all frames' median {cams['frame_ms']['median']:.3f} ms"
          + (f"; peer {peer:.3f} ms, {peer / cams['frame_ms']['median']:.1f}x" if peer else "")
          + (f", {lowest:.1f}x at the camera where we lead least" if lowest else ""))


def main():
    if len(sys.argv) != 3:
        sys.exit("usage: plot-performance.py RESULTS_DIR OUT.png")
    directory, png = sys.argv[1], sys.argv[2]
    rows = [(label, load(directory, name)) for name, label in MAPS]

    print("| map | triangles | frame step (ms) | RenderScene (ms) | peer (ms) | peer / ours "
          "| floor (ms) | ours / floor | ns per visited polygon | ns per written pixel |")
    print("|---|---:|---:|---:|---:|---:|---:|---:|---:|---:|")
    for label, f in rows:
        ours, peer = f["frame_ms"]["median"], peer_ms(f)
        floor = f["floor_ms"]["median"]
        print(f"| {label} | {int(f['triangles']):,} | {ours:.3f} | {f['render_ms']['median']:.3f} "
              f"| {peer:.3f} | {peer / ours:.1f}x | {floor:.3f} | {ours / floor:.1f}x "
              f"| {f['ns_per_visited_polygon']:.0f} | {f['ns_per_written_pixel']:.2f} |"
              if peer else
              f"| {label} | {int(f['triangles']):,} | {ours:.3f} | {f['render_ms']['median']:.3f} "
              f"| skipped | - | {floor:.3f} | {ours / floor:.1f}x "
              f"| {f['ns_per_visited_polygon']:.0f} | {f['ns_per_written_pixel']:.2f} |")
    print()
    print_cameras("Generated 20k", load(directory, "20k-cameras"))
    print_cameras("Generated max", load(directory, "max-cameras"))
    if any(Path(directory).glob("house-cameras.*.json")):
        house = load(directory, "house-cameras")
        print_cameras(f"A real building (assimp-testmodels' IFC/AC14-FZK-Haus.ifc, compiled to "
                      f"{int(house['triangles']):,} triangles)", house)
    if any(Path(directory).glob("hall-cameras.*.json")):
        hall = load(directory, "hall-cameras")
        print_cameras(f"A hall of 36 statues (scripts/make-hall.py, compiled to "
                      f"{int(hall['triangles']):,} triangles)", hall)

    generated = [f for label, f in rows if label.startswith("generated")]
    demo = rows[0][1]
    fig, ax = plt.subplots(figsize=(7, 4.2), dpi=100)
    sizes = [f["triangles"] for f in generated]
    ax.plot(sizes, [f["frame_ms"]["median"] for f in generated], "o-", label="Vexmont")
    if all(peer_ms(f) for f in generated):
        ax.plot(sizes, [peer_ms(f) for f in generated], "s-", label="OpenGL peer (llvmpipe, 1 thread)")
    ax.plot([demo["triangles"]], [demo["frame_ms"]["median"]], "o", color="C0", fillstyle="none",
            label="Vexmont, bundled demo")
    if peer_ms(demo):
        ax.plot([demo["triangles"]], [peer_ms(demo)], "s", color="C1", fillstyle="none",
                label="peer, bundled demo")
    ax.axhline(generated[0]["floor_ms"]["median"], color="grey", linestyle=":",
               label="memory floor (clear + one write per pixel)")
    ax.set_xscale("log")
    ax.set_yscale("log")
    ax.set_xlabel("triangles in the map")
    ax.set_ylabel("frame step, median (ms)")
    ax.set_title("Frame step against map size, 512 x 384, one thread")
    ax.grid(True, which="both", alpha=0.3)
    ax.legend(fontsize=8, loc="best")
    fig.tight_layout()
    fig.savefig(png)


if __name__ == "__main__":
    main()
