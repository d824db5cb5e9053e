#!/usr/bin/env python3
"""Draws the splash screen picture, resources/bitmap/144.png (400 x 284).

Run from the repository's root; needs ImageMagick's `convert` and the DejaVu
fonts. The PNG is committed, so the build does not run this.
"""
import math
import subprocess
import sys

W, H = 400, 284
FONT_DIR = "/usr/share/fonts/truetype/dejavu/"


def gear(cx, cy, r_outer, r_root, teeth, r_hole):
    """An SVG-like path of a gear with trapezoid teeth and a round hole."""
    pts = []
    step = 2 * math.pi / teeth
    for i in range(teeth):
        a = i * step
        for frac, r in ((0.00, r_root), (0.18, r_outer), (0.50, r_outer), (0.68, r_root)):
            t = a + frac * step
            pts.append((cx + r * math.cos(t), cy + r * math.sin(t)))
    path = "M " + " L ".join(f"{x:.1f},{y:.1f}" for x, y in pts) + " Z"
    # The hole, drawn in the opposite direction so that it stays open.
    path += (f" M {cx + r_hole:.1f},{cy:.1f} A {r_hole},{r_hole} 0 1,0 {cx - r_hole:.1f},{cy:.1f}"
             f" A {r_hole},{r_hole} 0 1,0 {cx + r_hole:.1f},{cy:.1f} Z")
    return path


def main(out):
    big = gear(318, 112, 118, 100, 18, 40)
    small = gear(210, 222, 56, 46, 11, 16)
    cmd = [
        "convert", "-size", f"{W}x{H}", "radial-gradient:#2f4a63-#0a1119",
        "-fill", "none", "-stroke", "#c9963f", "-strokewidth", "3",
        "-draw", f"stroke-opacity 0.22 fill-opacity 0.10 fill #c9963f path '{big}'",
        "-draw", f"stroke-opacity 0.18 fill-opacity 0.08 fill #c9963f path '{small}'",
        "-stroke", "none",
        # Title with a soft shadow.
        "-font", FONT_DIR + "DejaVuSerif-Bold.ttf", "-pointsize", "52",
        "-fill", "#00000080", "-annotate", "+34+124", "Gearloft",
        "-fill", "#f0c060", "-annotate", "+31+121", "Gearloft",
        # Rule under the title.
        "-fill", "#c9963f", "-draw", "rectangle 32,136 262,138",
        "-font", FONT_DIR + "DejaVuSans.ttf", "-pointsize", "15",
        "-fill", "#e6e9ee", "-annotate", "+33+162", "Level Equipment Editor",
        "-pointsize", "12", "-fill", "#a9b6c4", "-annotate", "+33+182", "for Qelmarch",
        "-font", FONT_DIR + "DejaVuSans-Bold.ttf", "-pointsize", "11",
        "-fill", "#f0c060", "-annotate", "+33+232", "Version 2.0",
        "-font", FONT_DIR + "DejaVuSans.ttf", "-pointsize", "10",
        "-fill", "#8796a6", "-annotate", "+33+252", "Brindlecote",
        # A thin frame, as the window has no border of its own.
        "-fill", "none", "-stroke", "#c9963f", "-strokewidth", "1",
        "-draw", f"rectangle 0.5,0.5 {W - 1.5},{H - 1.5}",
        "-type", "Palette", "-colors", "256", "PNG8:" + out,
    ]
    subprocess.run(cmd, check=True)


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else "resources/bitmap/144.png")
