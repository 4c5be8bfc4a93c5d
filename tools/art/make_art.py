#!/usr/bin/python3
"""Draws every picture of Skyvane: the default skin in Skins/ and the
dialog bitmaps and program icon in resources/.

Deterministic: the same Pillow and DejaVu fonts give the same files.
Run from anywhere: /usr/bin/python3 tools/art/make_art.py
"""

import math
import os
import struct

from PIL import Image, ImageDraw, ImageFont

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
FONTS = "/usr/share/fonts/truetype/dejavu"
SS = 4  # supersampling factor for shapes drawn smooth

# Window places, fixed by the program's layout.
WINDOW = (180, 90)
LARGE_DIGIT = (22, 30)
LARGE_DIGIT_X = (23, 45, 34)
LARGE_DIGIT_Y = 49
MINUS = (10, 4)
MINUS_PLACES = ((24, 63), (13, 63))
SMALL_DIGIT = (8, 12)
SMALL_DIGIT_X = (123, 131, 126)
SMALL_DIGIT_Y = 35
SMALL_MINUS = (4, 2)
SMALL_MINUS_PLACES = ((121, 40), (118, 40))
UNIT_GLYPH = (24, 22)
UNIT_GLYPH_PLACE = (82, 57)

SKY_TOP = (22, 52, 96)
SKY_BOTTOM = (70, 132, 190)
WHITE = (255, 255, 255)
SHADOW = (12, 30, 60)
LABEL = (196, 220, 240)


def font(name, size):
    return ImageFont.truetype(os.path.join(FONTS, name), size)


def lerp(a, b, t):
    return tuple(round(x + (y - x) * t) for x, y in zip(a, b))


def gradient(size, stops):
    """A vertical gradient through (position 0..1, colour) stops."""
    w, h = size
    image = Image.new("RGB", size)
    draw = ImageDraw.Draw(image)
    for y in range(h):
        t = y / max(h - 1, 1)
        for (p0, c0), (p1, c1) in zip(stops, stops[1:]):
            if p0 <= t <= p1:
                draw.line([(0, y), (w - 1, y)], fill=lerp(c0, c1, (t - p0) / (p1 - p0)))
                break
    return image


def smooth_layer(size, paint):
    """An RGBA layer drawn at SS times the size and scaled down, for soft edges."""
    big = Image.new("RGBA", (size[0] * SS, size[1] * SS), (0, 0, 0, 0))
    paint(ImageDraw.Draw(big), SS)
    return big.resize(size, Image.LANCZOS)


def cloud(draw, s, x, y, w, fill):
    """A cloud whose flat base starts at (x, y) and is w wide, in unscaled pixels."""
    h = w * 0.42
    puffs = [(0.00, 0.55, 0.36), (0.22, 0.20, 0.46), (0.52, 0.05, 0.40), (0.70, 0.42, 0.30)]
    for px, py, pw in puffs:
        x0, y0 = x + px * w, y - h + py * h
        draw.ellipse([x0 * s, y0 * s, (x0 + pw * w) * s, (y0 + pw * w) * s], fill=fill)
    draw.rounded_rectangle([x * s, (y - h * 0.45) * s, (x + w) * s, y * s],
                           radius=h * 0.45 * s, fill=fill)


def sun(draw, s, cx, cy, r, rays=True):
    if rays:
        ray = (255, 214, 102, 255)
        for i in range(8):
            a = i * math.pi / 4
            x0, y0 = cx + math.cos(a) * r * 1.35, cy + math.sin(a) * r * 1.35
            x1, y1 = cx + math.cos(a) * r * 1.8, cy + math.sin(a) * r * 1.8
            draw.line([x0 * s, y0 * s, x1 * s, y1 * s], fill=ray, width=max(1, round(r * 0.28 * s)))
    draw.ellipse([(cx - r) * s, (cy - r) * s, (cx + r) * s, (cy + r) * s], fill=(255, 200, 64, 255))


def text_centered(draw, box, text, fnt, fill, shadow=None):
    """Text centred by its advance and the font's digit height inside box."""
    x0, y0, x1, y1 = box
    width = draw.textlength(text, font=fnt)
    top, bottom = fnt.getbbox("0")[1], fnt.getbbox("0")[3]
    x = x0 + ((x1 - x0) - width) / 2
    y = y0 + ((y1 - y0) - (bottom - top)) / 2 - top
    x, y = round(x), round(y)
    if shadow:
        draw.text((x + 1, y + 1), text, font=fnt, fill=shadow)
    draw.text((x, y), text, font=fnt, fill=fill)


# ---------------------------------------------------------------- the skin

def protected_boxes():
    """Every rectangle a skin picture is copied to: the background under them
    must be the same on every row, so one picture fits all its places."""
    boxes = []
    for x in LARGE_DIGIT_X:
        boxes.append((x, LARGE_DIGIT_Y, LARGE_DIGIT))
    for x in SMALL_DIGIT_X:
        boxes.append((x, SMALL_DIGIT_Y, SMALL_DIGIT))
    boxes += [(x, y, MINUS) for x, y in MINUS_PLACES]
    boxes += [(x, y, SMALL_MINUS) for x, y in SMALL_MINUS_PLACES]
    boxes.append((*UNIT_GLYPH_PLACE, UNIT_GLYPH))
    return boxes


def window_background():
    image = gradient(WINDOW, [(0, SKY_TOP), (1, SKY_BOTTOM)])
    w, h = WINDOW

    # A small sun behind a cloud in the top-left corner.
    def paint(draw, s):
        sun(draw, s, 20, 17, 6)
        cloud(draw, s, 16, 30, 26, (236, 244, 252, 235))

    image.paste(smooth_layer(WINDOW, paint), (0, 0), smooth_layer(WINDOW, paint))

    draw = ImageDraw.Draw(image)
    draw.text((48, 10), "Skyvane", font=font("DejaVuSans-Bold.ttf", 11), fill=(214, 230, 246))
    # The quiet label over the small digits, centred on their two places.
    label = font("DejaVuSans.ttf", 9)
    lw = draw.textlength("feels like", font=label)
    draw.text((round(127 + 4 - lw / 2), 21), "feels like", font=label, fill=LABEL)
    # A hairline between the current value and the feels-like value.
    for y in range(36, 80):
        t = (y - 36) / 43
        alpha = 0.35 * (1 - abs(2 * t - 1))
        base = image.getpixel((111, y))
        image.putpixel((111, y), lerp(base, WHITE, alpha))
    # A frame: light on top and left, dark on the bottom and right.
    draw.line([(0, 0), (w - 1, 0)], fill=lerp(SKY_TOP, WHITE, 0.3))
    draw.line([(0, 0), (0, h - 1)], fill=lerp(SKY_TOP, WHITE, 0.2))
    draw.line([(0, h - 1), (w - 1, h - 1)], fill=lerp(SKY_BOTTOM, SHADOW, 0.6))
    draw.line([(w - 1, 0), (w - 1, h - 1)], fill=lerp(SKY_BOTTOM, SHADOW, 0.5))

    for x, y, (bw, bh) in protected_boxes():
        for row in range(y, y + bh):
            first = image.getpixel((x, row))
            assert all(image.getpixel((x + i, row)) == first for i in range(bw)), (x, row)
            assert first == gradient_row(row), (x, row)
    return image


def gradient_row(y):
    return lerp(SKY_TOP, SKY_BOTTOM, y / (WINDOW[1] - 1))


def crop(background, x, y, size):
    return background.crop((x, y, x + size[0], y + size[1]))


def same_everywhere(background, places, size):
    """The background under a picture, identical at each of its places."""
    crops = [crop(background, x, y, size) for x, y in places]
    assert all(c.tobytes() == crops[0].tobytes() for c in crops)
    return crops[0]


def skin(out):
    background = window_background()
    save_bmp(background, out, "MainWindow.bmp")

    large_font = font("DejaVuSans-Bold.ttf", 32)
    under = same_everywhere(background, [(x, LARGE_DIGIT_Y) for x in LARGE_DIGIT_X], LARGE_DIGIT)
    for d in range(10):
        image = under.copy()
        text_centered(ImageDraw.Draw(image), (0, 0, *LARGE_DIGIT), str(d), large_font, WHITE,
                      SHADOW)
        save_bmp(image, out, "Numbers", f"{d}.bmp")

    small_font = font("DejaVuSans-Bold.ttf", 10)
    under = same_everywhere(background, [(x, SMALL_DIGIT_Y) for x in SMALL_DIGIT_X], SMALL_DIGIT)
    for d in range(10):
        image = under.copy()
        text_centered(ImageDraw.Draw(image), (0, 0, *SMALL_DIGIT), str(d), small_font, WHITE)
        save_bmp(image, out, "Small Numbers", f"{d}.bmp")

    unit_font = font("DejaVuSans-Bold.ttf", 15)
    under = crop(background, *UNIT_GLYPH_PLACE, UNIT_GLYPH)
    for index, text in enumerate(["\u00b0F", "\u00b0C"]):
        image = under.copy()
        draw = ImageDraw.Draw(image)
        draw.text((3, 4), text, font=unit_font, fill=SHADOW)
        draw.text((2, 3), text, font=unit_font, fill=WHITE)
        save_bmp(image, out, "Metric", f"{index}.bmp")

    image = same_everywhere(background, MINUS_PLACES, MINUS).copy()
    draw = ImageDraw.Draw(image)
    draw.rectangle([1, 2, 9, 3], fill=SHADOW)
    draw.rectangle([0, 0, 8, 2], fill=WHITE)
    save_bmp(image, out, "Minus", "Minus.bmp")

    image = same_everywhere(background, SMALL_MINUS_PLACES, SMALL_MINUS).copy()
    ImageDraw.Draw(image).rectangle([0, 0, 3, 1], fill=WHITE)
    save_bmp(image, out, "Minus", "SmallMinus.bmp")

    save_ico(out, "Default.ico", [icon_image(16), icon_image(32)])


# ---------------------------------------------------------------- resources

def icon_image(size):
    """The program's mark: a sun rising behind a cloud, on transparency."""
    def paint(draw, s):
        n = size
        sun(draw, s, n * 0.62, n * 0.38, n * 0.2, rays=n >= 32)
        cloud(draw, s, n * 0.06, n * 0.86, n * 0.86, (92, 140, 200, 255))
        cloud(draw, s, n * 0.09, n * 0.82, n * 0.80, (250, 252, 255, 255))
    return smooth_layer((size, size), paint)


def about_banner():
    size = (308, 70)
    image = gradient(size, [(0, (24, 60, 114)), (1, (88, 152, 210))])

    def paint(draw, s):
        sun(draw, s, 270, 24, 11)
        cloud(draw, s, 236, 54, 58, (255, 255, 255, 235))
        cloud(draw, s, 286, 72, 40, (236, 244, 252, 190))

    layer = smooth_layer(size, paint)
    image.paste(layer, (0, 0), layer)
    draw = ImageDraw.Draw(image)
    title = font("DejaVuSans-Bold.ttf", 26)
    draw.text((15, 8), "Skyvane", font=title, fill=SHADOW)
    draw.text((14, 7), "Skyvane", font=title, fill=WHITE)
    notice = "\u00a9 2026 the Skyvane team. All rights reserved."
    small = font("DejaVuSans.ttf", 9)
    draw.text((16, 46), notice, font=small, fill=SHADOW)
    draw.text((15, 45), notice, font=small, fill=(236, 244, 252))
    return image


def search_picture():
    size = (94, 260)
    image = gradient(size, [(0, (18, 46, 94)), (0.55, (76, 140, 200)), (0.8, (168, 206, 236)),
                            (1, (168, 206, 236))])

    def paint(draw, s):
        sun(draw, s, 62, 58, 14)
        cloud(draw, s, 14, 98, 56, (255, 255, 255, 235))
        cloud(draw, s, 48, 140, 40, (240, 246, 252, 200))
        cloud(draw, s, -6, 168, 36, (235, 243, 251, 170))
        # Hills at the foot of the sky.
        draw.ellipse([-60 * s, 206 * s, 90 * s, 320 * s], fill=(70, 128, 84, 255))
        draw.ellipse([30 * s, 220 * s, 170 * s, 330 * s], fill=(52, 108, 70, 255))

    layer = smooth_layer(size, paint)
    image.paste(layer, (0, 0), layer)
    return image


def resources(out):
    save_bmp(about_banner(), out, "about.bmp")
    save_bmp(search_picture(), out, "search.bmp")
    save_ico(out, "skyvane.ico", [icon_image(16), icon_image(32), icon_image(48)])


# ---------------------------------------------------------------- writers

def save_bmp(image, *parts):
    path = os.path.join(*parts)
    os.makedirs(os.path.dirname(path), exist_ok=True)
    image.convert("RGB").save(path, "BMP")  # 24 bits per pixel, bottom-up


def save_ico(folder, name, images):
    """An icon file whose images are 32-bit BGRA bitmaps with an AND mask,
    which every Windows and every resource compiler reads."""
    entries, blobs = [], []
    offset = 6 + 16 * len(images)
    for image in images:
        w, h = image.size
        header = struct.pack("<IiiHHIIiiII", 40, w, h * 2, 1, 32, 0, 0, 0, 0, 0, 0)
        pixels = bytearray()
        for y in reversed(range(h)):
            for x in range(w):
                r, g, b, a = image.getpixel((x, y))
                pixels += bytes((b, g, r, a))
        stride = ((w + 31) // 32) * 4
        mask = bytearray()
        for y in reversed(range(h)):
            row = bytearray(stride)
            for x in range(w):
                if image.getpixel((x, y))[3] == 0:
                    row[x // 8] |= 0x80 >> (x % 8)
            mask += row
        blob = header + pixels + mask
        entries.append(struct.pack("<BBBBHHII", w % 256, h % 256, 0, 0, 1, 32, len(blob), offset))
        blobs.append(blob)
        offset += len(blob)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), "wb") as f:
        f.write(struct.pack("<HHH", 0, 1, len(images)))
        f.write(b"".join(entries))
        f.write(b"".join(blobs))


def main():
    skin(os.path.join(ROOT, "Skins"))
    resources(os.path.join(ROOT, "resources"))


if __name__ == "__main__":
    main()
