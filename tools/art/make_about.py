#!/usr/bin/env python3
"""Draws the About box's picture, resources/bitmap/142.png (522 x 315).

Run from the repository's root; needs ImageMagick's `convert` and the DejaVu
fonts. The PNG is committed, so the build does not run this.

The box's controls sit on this picture, so it leaves them room: the banner
text (21,26 213x111) and the two links with their labels (21,179 213x104)
stay on a calm dark field, the credits box (264,20 237x179) gets a dark
panel to scroll in, and the OK button (476,278 45x36) is only a frame drawn
by the program, so its label is painted here.
"""
import subprocess
import sys

from make_splash import gear  # the splash screen's gears, in the same style

W, H = 522, 315
FONT_DIR = "/usr/share/fonts/truetype/dejavu/"
GOLD = "#c9963f"

CREDITS = (264, 20, 237, 179)
OK = (476, 278, 45, 36)


def main(out):
    big = gear(150, 300, 150, 128, 22, 50)
    small = gear(330, 262, 58, 48, 12, 17)
    cx, cy, cw, ch = CREDITS
    ox, oy, ow, oh = OK
    cmd = [
        "convert", "-size", f"{W}x{H}", "radial-gradient:#2f4a63-#0a1119",
        # Gears low on the left, behind the links: faint enough for text.
        "-fill", "none", "-stroke", GOLD, "-strokewidth", "3",
        "-draw", f"stroke-opacity 0.16 fill-opacity 0.07 fill {GOLD} path '{big}'",
        "-draw", f"stroke-opacity 0.14 fill-opacity 0.06 fill {GOLD} path '{small}'",
        # The credits panel: darker than the field, with a gold rim just
        # outside the box so that the scrolling text never touches it.
        "-stroke", "none", "-fill", "#050a10d0",
        "-draw", f"roundrectangle {cx - 4},{cy - 4} {cx + cw + 3},{cy + ch + 3} 6,6",
        "-fill", "none", "-stroke", GOLD, "-strokewidth", "1",
        "-draw", f"stroke-opacity 0.7 roundrectangle {cx - 4.5},{cy - 4.5} "
                 f"{cx + cw + 3.5},{cy + ch + 3.5} 6,6",
        # A thin rule between the banner and the links.
        "-stroke", "none", "-fill", GOLD,
        "-draw", "rectangle 40,166 214,167",
        # The program's name under the credits panel, in the splash's gold.
        "-font", FONT_DIR + "DejaVuSerif-Bold.ttf", "-pointsize", "30",
        "-fill", "#00000080", "-annotate", "+292+252", "Gearloft",
        "-fill", "#f0c060", "-annotate", "+290+250", "Gearloft",
        "-font", FONT_DIR + "DejaVuSans.ttf", "-pointsize", "11",
        "-fill", "#a9b6c4", "-annotate", "+292+268", "Level Equipment Editor",
        # The OK button's face and label; the program draws its frame.
        "-fill", "#1d3247", "-draw", f"rectangle {ox + 1},{oy + 1} {ox + ow - 2},{oy + oh - 2}",
        "-font", FONT_DIR + "DejaVuSans-Bold.ttf", "-pointsize", "13",
        "-fill", "#f0c060", "-gravity", "NorthWest",
        "-annotate", f"+{ox + 12}+{oy + 11}", "OK",
        # A thin frame, as the window has no border of its own.
        "-fill", "none", "-stroke", GOLD, "-strokewidth", "1",
        "-draw", f"rectangle 0.5,0.5 {W - 1.5},{H - 1.5}",
        "-type", "Palette", "-colors", "256", "PNG8:" + out,
    ]
    subprocess.run(cmd, check=True)


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else "resources/bitmap/142.png")
