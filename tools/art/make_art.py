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
CONDITION = (40, 34)
CONDITION_PLACE = (4, 4)

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
    boxes.append((*CONDITION_PLACE, CONDITION))
    return boxes


def window_background():
    # The top-left corner is plain sky: the condition's picture goes there.
    image = gradient(WINDOW, [(0, SKY_TOP), (1, SKY_BOTTOM)])
    w, h = WINDOW

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

    under = crop(background, *CONDITION_PLACE, CONDITION)
    for name, paint in CONDITION_PICTURES.items():
        image = under.copy()
        layer = smooth_layer(CONDITION, paint)
        image.paste(layer, (0, 0), layer)
        save_bmp(image, out, "Conditions", f"{name}.bmp")


# ---------------------------------------------------------------- conditions
# Each drawn on a 40 by 34 crop of the sky at the window's top-left corner.

CLOUD_WHITE = (240, 246, 252, 255)
CLOUD_GREY = (176, 190, 206, 255)
CLOUD_DARK = (112, 124, 142, 255)
RAIN = (120, 196, 255, 255)
SNOW = (255, 255, 255, 255)
ICE = (196, 236, 255, 255)


def moon(draw, s, cx, cy, r):
    """A crescent: a pale disc with a sky-coloured bite taken out of it."""
    layer = Image.new("L", (round(r * 4 * s), round(r * 4 * s)), 0)
    mask = ImageDraw.Draw(layer)
    c = r * 2 * s
    mask.ellipse([c - r * s, c - r * s, c + r * s, c + r * s], fill=255)
    bx, by = c + r * 0.55 * s, c - r * 0.35 * s
    mask.ellipse([bx - r * 0.85 * s, by - r * 0.85 * s, bx + r * 0.85 * s, by + r * 0.85 * s],
                 fill=0)
    draw.bitmap(((cx - 2 * r) * s, (cy - 2 * r) * s), layer, fill=(246, 236, 190, 255))


def star(draw, s, x, y, r):
    draw.polygon([(x * s, (y - r) * s), ((x + r * 0.3) * s, y * s), (x * s, (y + r) * s),
                  ((x - r * 0.3) * s, y * s)], fill=(255, 250, 220, 255))
    draw.polygon([((x - r) * s, y * s), (x * s, (y - r * 0.3) * s), ((x + r) * s, y * s),
                  (x * s, (y + r * 0.3) * s)], fill=(255, 250, 220, 255))


def streaks(draw, s, points, length, colour, width=1.4):
    for x, y in points:
        draw.line([x * s, y * s, (x - length * 0.35) * s, (y + length) * s], fill=colour,
                  width=round(width * s))


def dots(draw, s, points, r, colour):
    for x, y in points:
        draw.ellipse([(x - r) * s, (y - r) * s, (x + r) * s, (y + r) * s], fill=colour)


def flakes(draw, s, points, r):
    for x, y in points:
        for i in range(3):
            a = i * math.pi / 3
            dx, dy = math.cos(a) * r, math.sin(a) * r
            draw.line([(x - dx) * s, (y - dy) * s, (x + dx) * s, (y + dy) * s], fill=SNOW,
                      width=round(1.1 * s))


def raincloud(draw, s, fill=CLOUD_GREY):
    cloud(draw, s, 5, 21, 30, fill)


def paint_clear_day(draw, s):
    sun(draw, s, 20, 17, 7.5)


def paint_clear_night(draw, s):
    moon(draw, s, 19, 17, 9)
    star(draw, s, 31, 8, 2.5)
    star(draw, s, 33, 24, 1.8)


def paint_partly_cloudy_day(draw, s):
    sun(draw, s, 25, 12, 6)
    cloud(draw, s, 4, 29, 28, CLOUD_WHITE)


def paint_partly_cloudy_night(draw, s):
    moon(draw, s, 25, 12, 7)
    cloud(draw, s, 4, 29, 28, CLOUD_WHITE)


def paint_cloudy(draw, s):
    cloud(draw, s, 14, 20, 22, CLOUD_GREY)
    cloud(draw, s, 3, 29, 28, CLOUD_WHITE)


def paint_fog(draw, s):
    cloud(draw, s, 6, 17, 28, CLOUD_GREY)
    for y, x0, x1 in ((21, 4, 30), (25, 9, 36), (29, 4, 32)):
        draw.line([x0 * s, y * s, x1 * s, y * s], fill=(214, 224, 236, 255), width=round(2 * s))


def paint_drizzle(draw, s):
    raincloud(draw, s)
    dots(draw, s, [(11, 25), (19, 28), (27, 25), (15, 31), (23, 31)], 1.0, RAIN)


def paint_rain(draw, s):
    raincloud(draw, s)
    streaks(draw, s, [(12, 23), (19, 23), (26, 23), (16, 28), (23, 28)], 4, RAIN)


def paint_freezing_rain(draw, s):
    raincloud(draw, s)
    streaks(draw, s, [(12, 23), (24, 23), (18, 28)], 4, RAIN)
    dots(draw, s, [(18, 24), (29, 27), (11, 30)], 1.2, ICE)


def paint_snow(draw, s):
    raincloud(draw, s, CLOUD_WHITE)
    flakes(draw, s, [(11, 26), (20, 29), (29, 26)], 2.6)


def paint_thunder(draw, s):
    raincloud(draw, s, CLOUD_DARK)
    bolt = [(21, 19), (14, 27), (19, 27), (16, 33), (25, 24), (20, 24), (24, 19)]
    draw.polygon([(x * s, y * s) for x, y in bolt], fill=(255, 214, 64, 255))
    streaks(draw, s, [(10, 24), (30, 24)], 4, RAIN)


CONDITION_PICTURES = {
    "clear-day": paint_clear_day,
    "clear-night": paint_clear_night,
    "partly-cloudy-day": paint_partly_cloudy_day,
    "partly-cloudy-night": paint_partly_cloudy_night,
    "cloudy": paint_cloudy,
    "fog": paint_fog,
    "drizzle": paint_drizzle,
    "rain": paint_rain,
    "freezing-rain": paint_freezing_rain,
    "snow": paint_snow,
    "thunder": paint_thunder,
}


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
    save_palette_bmp(about_banner(), out, "about.bmp")
    save_palette_bmp(search_picture(), out, "search.bmp")
    save_ico(out, "skyvane.ico", [icon_image(16), icon_image(32), icon_image(48)])


# ---------------------------------------------------------------- writers

def save_bmp(image, *parts):
    path = os.path.join(*parts)
    os.makedirs(os.path.dirname(path), exist_ok=True)
    image.convert("RGB").save(path, "BMP")  # 24 bits per pixel, bottom-up


def save_palette_bmp(image, *parts):
    """The dialog pictures are linked into the program: 256 colours of their
    own, dithered, hold them at a third of the bytes of 24-bit colour."""
    path = os.path.join(*parts)
    os.makedirs(os.path.dirname(path), exist_ok=True)
    picture = image.convert("RGB").quantize(256, method=Image.Quantize.MEDIANCUT,
                                            dither=Image.Dither.FLOYDSTEINBERG)
    picture.save(path, "BMP")  # 8 bits per pixel with a palette, bottom-up


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
