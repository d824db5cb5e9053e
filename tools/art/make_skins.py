#!/usr/bin/python3
"""Draws the skinned dialog's pictures: the program's own set and two skins.

    resources/bitmap/147.png ... 169.png, 172.png   the program's own (steel)
    skins/workshop/art/bitmap/*.png                 brass and wood
    skins/console/art/bitmap/*.png                  a dark console

Run from the repository's root with the system's Python 3 and its imaging
library (Debian: python3-pil, scripts/deps art) and the DejaVu fonts. The
PNGs are committed, so the build does not run this. Every picture is drawn
from the same layout as template 103, so each background carries a slot and
a label for every control that lies on it.
"""
import math
import os
import sys

from PIL import Image, ImageDraw, ImageFilter, ImageFont

FONT_DIR = "/usr/share/fonts/truetype/dejavu/"
W, H = 360, 208

# Control rectangles of template 103 in pixels (x, y, width, height).
LAYOUT = {
    "about": (306, 8, 35, 24),
    "quit": (291, 36, 69, 31),
    "restore": (279, 68, 81, 24),
    "save": (279, 93, 81, 23),
    "start": (291, 117, 69, 33),
    "count": (36, 62, 21, 16),
    "disk": (144, 52, 66, 20),
    "cannon": (68, 72, 101, 26),
    "hook": (180, 72, 99, 26),
    "jetpack": (89, 104, 63, 23),
    "pistol": (198, 104, 65, 23),
    "medicomp": (138, 133, 78, 21),
    "levels": (8, 179, 161, 22),
}

# Faces: (off or not pressed, on or pressed, own size, label, equipment?)
FACES = {
    "about": (148, 150, (34, 24), "?", False),
    "start": (149, 151, (68, 33), "START", False),
    "quit": (153, 152, (69, 32), "QUIT", False),
    "restore": (155, 154, (80, 23), "RESTORE", False),
    "save": (157, 156, (80, 23), "SAVE", False),
    "disk": (158, 159, (65, 20), "DISK", True),
    "hook": (160, 162, (99, 27), "GRAPPLE", True),
    "cannon": (161, 163, (101, 26), "CANNON", True),
    "pistol": (164, 168, (64, 22), "PISTOL", True),
    "jetpack": (165, 169, (63, 21), "JET PACK", True),
    "medicomp": (167, 166, (77, 22), "MEDICOMP", True),
}


def font(name, size):
    return ImageFont.truetype(os.path.join(FONT_DIR, name), size)


def lerp(a, b, t):
    return tuple(int(round(a[i] + (b[i] - a[i]) * t)) for i in range(len(a)))


def centred_text(draw, box, text, fnt, fill, shadow=None):
    x0, y0, x1, y1 = box
    l, t, r, b = draw.textbbox((0, 0), text, font=fnt)
    x = x0 + (x1 - x0 - (r - l)) / 2 - l
    y = y0 + (y1 - y0 - (b - t)) / 2 - t
    if shadow:
        draw.text((x + 1, y + 1), text, font=fnt, fill=shadow)
    draw.text((x, y), text, font=fnt, fill=fill)


def fit_font(draw, text, name, size, width):
    while size > 6:
        fnt = font(name, size)
        l, _, r, _ = draw.textbbox((0, 0), text, font=fnt)
        if r - l <= width:
            return fnt
        size -= 1
    return font(name, 6)


def save(img, path, palette=True):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    if palette:
        # 8 bits per pixel, as the program's own set is kept.
        img = img.convert("RGB").quantize(colors=256, method=Image.Quantize.MEDIANCUT, dither=0)
    img.save(path, optimize=True)


# ---------------------------------------------------------------------------
# Themes: how a plate, a lamp and the background look

class Theme:
    font = "DejaVuSansCondensed-Bold.ttf"
    corner = 0

    def background(self):
        raise NotImplementedError

    def face(self, size, label, equipment, lit, pressed):
        raise NotImplementedError


def bevel(draw, box, light, dark, width=1):
    x0, y0, x1, y1 = box
    for i in range(width):
        draw.line([(x0 + i, y1 - i), (x0 + i, y0 + i), (x1 - i, y0 + i)], fill=light)
        draw.line([(x0 + i, y1 - i), (x1 - i, y1 - i), (x1 - i, y0 + i)], fill=dark)


def vertical_gradient(size, top, bottom):
    w, h = size
    img = Image.new("RGB", size)
    d = ImageDraw.Draw(img)
    for y in range(h):
        d.line([(0, y), (w, y)], fill=lerp(top, bottom, y / max(1, h - 1)))
    return img


class PlateTheme(Theme):
    """Bevelled plates with a lamp: the steel and brass looks share it."""

    def __init__(self, plate_top, plate_bottom, edge_light, edge_dark, text, text_shadow,
                 lamp_off, lamp_on, lit_top, lit_bottom, lit_text):
        self.plate_top, self.plate_bottom = plate_top, plate_bottom
        self.edge_light, self.edge_dark = edge_light, edge_dark
        self.text, self.text_shadow = text, text_shadow
        self.lamp_off, self.lamp_on = lamp_off, lamp_on
        self.lit_top, self.lit_bottom, self.lit_text = lit_top, lit_bottom, lit_text

    def face(self, size, label, equipment, lit, pressed):
        w, h = size
        top, bottom = (self.lit_top, self.lit_bottom) if lit else (self.plate_top, self.plate_bottom)
        if pressed:
            top, bottom = lerp(bottom, (0, 0, 0), 0.15), lerp(top, (0, 0, 0), 0.15)
        img = vertical_gradient(size, top, bottom)
        d = ImageDraw.Draw(img)
        light, dark = (self.edge_dark, self.edge_light) if pressed else (self.edge_light, self.edge_dark)
        d.rectangle([0, 0, w - 1, h - 1], outline=(0, 0, 0))
        bevel(d, (1, 1, w - 2, h - 2), light, dark, 2 if h > 22 else 1)
        shift = 1 if pressed else 0
        text_left = 4
        if equipment:
            r = max(3, min(5, (h - 10) // 2))
            cx, cy = 4 + r, h // 2 + shift
            colour = self.lamp_on if lit else self.lamp_off
            if lit:
                glow = Image.new("RGBA", size, (0, 0, 0, 0))
                ImageDraw.Draw(glow).ellipse([cx - r - 3, cy - r - 3, cx + r + 3, cy + r + 3],
                                             fill=colour + (150,))
                img.paste(glow.filter(ImageFilter.GaussianBlur(2)), (0, 0), glow.filter(ImageFilter.GaussianBlur(2)))
                d = ImageDraw.Draw(img)
            d.ellipse([cx - r, cy - r, cx + r, cy + r], fill=colour, outline=(0, 0, 0))
            d.ellipse([cx - r // 2 - 1, cy - r // 2 - 1, cx - r // 4, cy - r // 4],
                      fill=lerp(colour, (255, 255, 255), 0.6))
            text_left = cx + r + 2
        fnt = fit_font(d, label, self.font, 10 if h < 26 else 12, w - text_left - 5)
        centred_text(d, (text_left + shift, shift, w - 3 + shift, h + shift), label, fnt,
                     self.lit_text if lit else self.text, self.text_shadow)
        return img


class SteelTheme(PlateTheme):
    """The program's own look: brushed steel with blue lamps."""

    def __init__(self):
        super().__init__((196, 202, 210), (128, 136, 148), (236, 240, 246), (70, 76, 88),
                         (30, 36, 48), (220, 226, 234), (60, 70, 86), (90, 200, 255),
                         (150, 210, 250), (60, 130, 200), (10, 24, 48))

    def background(self):
        img = vertical_gradient((W, H), (92, 100, 112), (44, 50, 60))
        d = ImageDraw.Draw(img)
        for y in range(0, H, 3):
            d.line([(0, y), (W, y)], fill=lerp((92, 100, 112), (44, 50, 60), y / H), width=1)
        d.rectangle([0, 0, W - 1, H - 1], outline=(20, 22, 28))
        bevel(d, (1, 1, W - 2, H - 2), (150, 158, 170), (24, 28, 34), 2)
        panel(d, (58, 28, 272, 168), (36, 42, 52), (130, 140, 152))
        engrave(d, "EQUIPMENT", (58, 28, 272, 48), font("DejaVuSans-Bold.ttf", 11), (200, 210, 222))
        title(d, "GEARLOFT", (8, 6), font("DejaVuSans-Bold.ttf", 16), (220, 228, 238), (20, 24, 30))
        engrave(d, "SPEARS", (20, 46, 74, 60), font("DejaVuSans-Bold.ttf", 9), (200, 210, 222))
        well(d, LAYOUT["count"], (10, 14, 20), (150, 160, 172))
        engrave(d, "LEVEL", (8, 164, 80, 178), font("DejaVuSans-Bold.ttf", 9), (200, 210, 222), left=True)
        rivets(d, (150, 158, 170), (30, 34, 40))
        return img


class WorkshopTheme(PlateTheme):
    """A workbench: oak boards, brass plates, amber lamps."""

    def __init__(self):
        super().__init__((214, 172, 92), (150, 104, 40), (250, 226, 160), (84, 54, 18),
                         (52, 30, 8), (240, 210, 140), (90, 52, 30), (255, 190, 60),
                         (255, 224, 130), (230, 150, 40), (60, 24, 0))
        self.font = "DejaVuSerifCondensed-Bold.ttf"

    def background(self):
        img = Image.new("RGB", (W, H))
        d = ImageDraw.Draw(img)
        # Oak boards with a grain that repeats from the same formula each run.
        board = 26
        for b in range(0, H // board + 1):
            base = lerp((112, 72, 38), (92, 58, 30), (b % 3) / 2)
            for y in range(b * board, min(H, (b + 1) * board)):
                for x in range(W):
                    g = math.sin(x * 0.045 + b * 1.7 + math.sin(y * 0.21 + x * 0.01) * 2.2)
                    k = 0.82 + 0.18 * g
                    d.point((x, y), fill=tuple(int(c * k) for c in base))
            d.line([(0, b * board), (W, b * board)], fill=(48, 28, 12))
        d.rectangle([0, 0, W - 1, H - 1], outline=(40, 22, 8))
        # A brass name plate and a recessed tray for the equipment.
        panel(d, (58, 28, 272, 168), (64, 40, 20), (200, 150, 70))
        engrave(d, "EQUIPMENT", (58, 28, 272, 48), font("DejaVuSerif-Bold.ttf", 11), (240, 200, 120))
        plate = (6, 4, 148, 26)
        d.rectangle(plate, fill=(196, 150, 66), outline=(70, 44, 12))
        bevel(d, (plate[0] + 1, plate[1] + 1, plate[2] - 1, plate[3] - 1), (250, 220, 150), (120, 80, 26))
        centred_text(d, plate, "GEARLOFT", font("DejaVuSerif-Bold.ttf", 14), (60, 32, 6), (236, 200, 120))
        engrave(d, "SPEARS", (18, 46, 76, 60), font("DejaVuSerif-Bold.ttf", 9), (240, 200, 120))
        well(d, LAYOUT["count"], (36, 20, 8), (200, 150, 70))
        engrave(d, "LEVEL", (8, 164, 80, 178), font("DejaVuSerif-Bold.ttf", 9), (240, 200, 120), left=True)
        rivets(d, (230, 190, 110), (60, 36, 10))
        gear_mark(d, (304, 176), 22, 16, 12, (200, 150, 70), (64, 40, 20))
        return img


class ConsoleTheme(Theme):
    """A dark console: black glass, thin outlines, green and cyan glow."""

    corner = 18

    def face(self, size, label, equipment, lit, pressed):
        w, h = size
        img = Image.new("RGB", size, (10, 14, 18))
        d = ImageDraw.Draw(img)
        line = (0, 255, 170) if lit else (50, 90, 100)
        fill = (0, 70, 52) if lit else (16, 24, 30)
        if pressed:
            fill = lerp(fill, (0, 0, 0), 0.4)
        if lit:
            glow = Image.new("RGB", size, (10, 14, 18))
            ImageDraw.Draw(glow).rounded_rectangle([2, 2, w - 3, h - 3], radius=5, outline=line, width=3)
            img = glow.filter(ImageFilter.GaussianBlur(2))
            d = ImageDraw.Draw(img)
        inset = 2 if pressed else 1
        d.rounded_rectangle([inset, inset, w - 1 - inset, h - 1 - inset], radius=5, fill=fill,
                            outline=line, width=1)
        shift = 1 if pressed else 0
        text_left = 4
        if equipment:
            bar_w = 4
            d.rectangle([6, 5 + shift, 6 + bar_w, h - 6 + shift],
                        fill=(120, 255, 210) if lit else (40, 56, 62))
            text_left = 6 + bar_w + 3
        fnt = fit_font(d, label, "DejaVuSansMono-Bold.ttf", 10 if h < 26 else 12, w - text_left - 5)
        centred_text(d, (text_left + shift, shift, w - 3 + shift, h + shift), label, fnt,
                     (200, 255, 235) if lit else (110, 150, 160))
        return img

    def background(self):
        img = vertical_gradient((W, H), (22, 28, 34), (6, 8, 12))
        d = ImageDraw.Draw(img)
        # A faint grid like a display's raster.
        for x in range(0, W, 12):
            d.line([(x, 0), (x, H)], fill=(18, 30, 34))
        for y in range(0, H, 12):
            d.line([(0, y), (W, y)], fill=(18, 30, 34))
        d.rounded_rectangle([0, 0, W - 1, H - 1], radius=self.corner, outline=(0, 200, 150), width=2)
        d.rounded_rectangle([58, 28, 272, 168], radius=8, fill=(8, 12, 16), outline=(30, 120, 110))
        mono = "DejaVuSansMono-Bold.ttf"
        engrave(d, "// EQUIPMENT", (58, 30, 272, 48), font(mono, 10), (0, 220, 170))
        d.text((16, 8), "GEARLOFT", font=font(mono, 15), fill=(0, 255, 190))
        d.text((16, 26), "LOADOUT CONSOLE", font=font(mono, 7), fill=(60, 150, 140))
        engrave(d, "SPEARS", (18, 46, 76, 60), font(mono, 9), (0, 220, 170))
        x, y, w, h = LAYOUT["count"]
        d.rounded_rectangle([x - 3, y - 2, x + w + 2, y + h + 1], radius=3, fill=(12, 16, 20),
                            outline=(0, 200, 150))
        d.text((10, 164), "LEVEL >", font=font(mono, 9), fill=(0, 220, 170))
        return img


def panel(d, box, fill, edge):
    d.rectangle(box, fill=fill, outline=edge)
    bevel(d, (box[0] + 1, box[1] + 1, box[2] - 1, box[3] - 1), lerp(fill, (0, 0, 0), 0.5),
          lerp(edge, (255, 255, 255), 0.2))
    # A slot under each equipment button, so the tray reads as six places.
    for key in ("disk", "cannon", "hook", "jetpack", "pistol", "medicomp"):
        x, y, w, h = LAYOUT[key]
        d.rectangle([x - 2, y - 2, x + w + 1, y + h + 1], fill=lerp(fill, (0, 0, 0), 0.4))


def well(d, rect, fill, edge):
    x, y, w, h = rect
    d.rectangle([x - 3, y - 2, x + w + 2, y + h + 1], fill=fill)
    bevel(d, (x - 3, y - 2, x + w + 2, y + h + 1), lerp(fill, (0, 0, 0), 0.5), edge)


def engrave(d, text, box, fnt, fill, left=False):
    if left:
        d.text((box[0] + 1, box[1] + 1), text, font=fnt, fill=(0, 0, 0))
        d.text((box[0], box[1]), text, font=fnt, fill=fill)
    else:
        centred_text(d, box, text, fnt, fill, (0, 0, 0))


def title(d, text, pos, fnt, fill, shadow):
    d.text((pos[0] + 1, pos[1] + 1), text, font=fnt, fill=shadow)
    d.text(pos, text, font=fnt, fill=fill)


def rivets(d, light, dark):
    for x, y in ((6, 36), (6, 150), (48, 196), (176, 196), (272, 196)):
        d.ellipse([x - 3, y - 3, x + 3, y + 3], fill=dark)
        d.ellipse([x - 2, y - 2, x + 1, y + 1], fill=light)


def gear_mark(d, centre, r_outer, r_root, teeth, fill, hole):
    cx, cy = centre
    pts = []
    step = 2 * math.pi / teeth
    for i in range(teeth):
        for frac, r in ((0.0, r_root), (0.2, r_outer), (0.5, r_outer), (0.7, r_root)):
            t = i * step + frac * step
            pts.append((cx + r * math.cos(t), cy + r * math.sin(t)))
    d.polygon(pts, fill=fill, outline=(40, 22, 8))
    d.ellipse([cx - 6, cy - 6, cx + 6, cy + 6], fill=hole)


# ---------------------------------------------------------------------------

def draw_set(theme, folder, palette):
    save(theme.background(), os.path.join(folder, "bitmap/147.png"), palette)
    for key, (off, on, size, label, equipment) in FACES.items():
        if equipment:
            # Off, and on (pressed shows the on face too).
            save(theme.face(size, label, True, False, False), os.path.join(folder, f"bitmap/{off}.png"), palette)
            save(theme.face(size, label, True, True, False), os.path.join(folder, f"bitmap/{on}.png"), palette)
        else:
            save(theme.face(size, label, False, False, False), os.path.join(folder, f"bitmap/{off}.png"), palette)
            save(theme.face(size, label, False, False, True), os.path.join(folder, f"bitmap/{on}.png"), palette)


def main():
    if not os.path.isdir("resources"):
        sys.exit("make_skins.py: run from the repository's root")
    steel = SteelTheme()
    draw_set(steel, "resources", True)
    # 172: the picture that the template's hidden picture control names.
    save(steel.background(), "resources/bitmap/172.png", True)
    draw_set(WorkshopTheme(), "skins/workshop/art", False)
    draw_set(ConsoleTheme(), "skins/console/art", False)


if __name__ == "__main__":
    main()
