#!/usr/bin/env python3
"""Draws the client's artwork: the login screen's skin (PNG), its buttons and the game and QQ
windows' toolbar pieces (24-bit BMPs).

Usage: make_art.py OUT_DIR
Needs ImageMagick's `convert` (Debian: imagemagick) and the fonts DejaVu Serif (fonts-dejavu-core)
and WenQuanYi Micro Hei (fonts-wqy-microhei). Every run draws the same pixels: the only noise
is seeded.
"""
import os
import random
import subprocess
import sys
import tempfile

TITLE_FONT = "/usr/share/fonts/truetype/dejavu/DejaVuSerif-Bold.ttf"
CJK_FONT = "/usr/share/fonts/truetype/wqy/wqy-microhei.ttc"
KEY = "#FF80FF"  # left out when buttons and keyed images are drawn

# Login screen: the picture and the places the login window puts its own things on.
W, H = 1213, 749
PANEL = (154, 136, 1110, 620)  # main panel, right and bottom exclusive
BROWSER = (383, 234, 963, 589)  # where the login page is shown
CREST_X = (BROWSER[0] + BROWSER[2]) // 2  # the title sits above the page
CREST_RISE = 46  # how far the title's arch rises above the panel

# Palette: deep violet night and old gold.
GOLD_LIGHT = "#f6e3a1"
GOLD = "#d2a64c"
GOLD_DARK = "#7a5622"
VIOLET_TOP = "#3a2862"
VIOLET_BOTTOM = "#1b1230"
INK = "#0c0913"


def run(*args):
    subprocess.run(["convert", *[str(a) for a in args]], check=True)


class Art:
    def __init__(self, work):
        self.work = work

    def path(self, name):
        return os.path.join(self.work, name)

    # ---- login skin -------------------------------------------------------------------------

    def panel_shape(self, out):
        """White where the panel and the crest above it are, black elsewhere."""
        l, t, r, b = PANEL
        rise = CREST_RISE
        crest = (f"path 'M {CREST_X - 170},{t + 12} "
                 f"C {CREST_X - 120},{t - rise * 2 // 3} {CREST_X - 60},{t - rise} {CREST_X},{t - rise} "
                 f"C {CREST_X + 60},{t - rise} {CREST_X + 120},{t - rise * 2 // 3} {CREST_X + 170},{t + 12} Z'")
        run("-size", f"{W}x{H}", "xc:black", "-fill", "white",
            "-draw", f"roundrectangle {l},{t} {r - 1},{b - 1} 26,26",
            "-draw", crest, out)

    def panel_body(self, out):
        """The panel's surface: violet gradient, a cloudy texture and a vignette."""
        l, t, r, b = PANEL
        grad = self.path("grad.png")
        run("-size", f"{W}x{H}", f"gradient:{VIOLET_TOP}-{VIOLET_BOTTOM}", grad)
        clouds = self.path("clouds.png")
        run("-size", f"{W // 6}x{H // 6}", "-seed", "1078", "plasma:grey30-grey70",
            "-colorspace", "Gray", "-blur", "0x1.5", "-resize", f"{W}x{H}!", clouds)
        vignette = self.path("vignette.png")
        run("-size", f"{W}x{H}", "radial-gradient:white-grey55", vignette)
        run(grad, clouds, "-compose", "Overlay", "-composite",
            vignette, "-compose", "Multiply", "-composite", out)

    def frame(self, draw, box, width_px, radius):
        """Gold band around box with a light top edge and a dark inner line."""
        l, t, r, b = box
        o = width_px
        draw += ["-fill", GOLD_DARK, "-stroke", "none",
                 "-draw", f"roundrectangle {l - o},{t - o} {r + o - 1},{b + o - 1} {radius},{radius}",
                 "-fill", GOLD,
                 "-draw", f"roundrectangle {l - o + 1},{t - o + 1} {r + o - 2},{b + o - 2} {radius},{radius}",
                 "-fill", "none", "-stroke", GOLD_LIGHT, "-strokewidth", "1",
                 "-draw", f"roundrectangle {l - o + 2},{t - o + 2} {r + o - 3},{b + o - 3} {radius},{radius}",
                 "-stroke", GOLD_DARK, "-strokewidth", "2",
                 "-draw", f"rectangle {l - 2},{t - 2} {r + 1},{b + 1}",
                 "-stroke", "none"]

    def diamond(self, draw, x, y, size, fill=GOLD):
        draw += ["-fill", GOLD_DARK, "-stroke", "none", "-draw",
                 f"polygon {x},{y - size - 2} {x + size + 2},{y} {x},{y + size + 2} {x - size - 2},{y}",
                 "-fill", fill, "-draw",
                 f"polygon {x},{y - size} {x + size},{y} {x},{y + size} {x - size},{y}",
                 "-fill", GOLD_LIGHT, "-draw",
                 f"polygon {x},{y - size} {x + size // 2},{y - size // 2} {x},{y} {x - size // 2},{y - size // 2}"]

    def scroll(self, draw, x0, y, length, direction):
        """A gold vine of waves with curled ends and small leaves, running from x0."""
        step = 22
        waves = length // step
        # one path per wave: long chains of curves in one path come out with a stray chord
        draw += ["-fill", "none", "-stroke", GOLD, "-strokewidth", "2.5"]
        for i in range(waves):
            xs = x0 + direction * i * step
            xa = x0 + direction * (i * step + step // 2)
            xb = x0 + direction * (i + 1) * step
            dy = -14 if i % 2 == 0 else 14
            draw += ["-draw", f"path 'M {xs},{y} Q {xa},{y + dy} {xb},{y}'"]
        end = x0 + direction * waves * step
        draw += ["-draw", f"path 'M {end},{y} C {end + direction * 10},{y - 12} "
                          f"{end + direction * 20},{y + 2} {end + direction * 8},{y + 6}'",
                 "-stroke", "none"]
        for i in range(waves):
            xa = x0 + direction * (i * step + step // 2)
            dy = -12 if i % 2 == 0 else 12
            draw += ["-fill", GOLD_DARK, "-draw", f"circle {xa},{y + dy} {xa + 3},{y + dy}",
                     "-fill", GOLD_LIGHT, "-draw", f"circle {xa},{y + dy} {xa + 2},{y + dy}"]
        self.diamond(draw, end + direction * 10, y - 4, 3)

    def gem(self, draw, x, y, radius, colour, light):
        draw += ["-fill", GOLD_DARK, "-draw", f"circle {x},{y} {x + radius + 3},{y}",
                 "-fill", GOLD, "-draw", f"circle {x},{y} {x + radius + 2},{y}",
                 "-fill", colour, "-draw", f"circle {x},{y} {x + radius},{y}",
                 "-fill", light, "-draw",
                 f"circle {x - radius // 3},{y - radius // 3} {x - radius // 3 + max(1, radius // 3)},{y - radius // 3}"]

    def soft(self, out, w, h, colour, strength, blur, *shapes):
        """A blurred, partly see-through patch of colour made of the given draw shapes."""
        mask = out + ".mask.png"
        run("-size", f"{w}x{h}", "xc:black", "-fill", "white", *shapes, "-blur", f"0x{blur}",
            "-evaluate", "multiply", str(strength), mask)
        run("-size", f"{w}x{h}", f"xc:{colour}", mask, "-alpha", "off", "-compose",
            "CopyOpacity", "-composite", out)

    def scene(self, out, box):
        """Moonlit fortress on a crag, for the column left of the login page."""
        l, t, r, b = box
        w, h = r - l, b - t
        sky = self.path("sky.png")
        run("-size", f"{w}x{h}", "gradient:#14224f-#5b2f5c", sky)
        draw = []
        rnd = random.Random(1078)
        for _ in range(70):
            x, y = rnd.randrange(w), rnd.randrange(int(h * 0.55))
            s = rnd.choice((0, 0, 0, 1))
            draw += ["-fill", rnd.choice(("#fff8e0", "#cfd8ff", "#ffffff")),
                     "-draw", f"circle {x},{y} {x + s},{y}" if s else f"point {x},{y}"]
        mx, my = int(w * 0.62), int(h * 0.2)
        glow = self.path("moonglow.png")
        self.soft(glow, w, h, "#fff4c8", 0.6, 16, "-draw", f"circle {mx},{my} {mx + 40},{my}")
        draw += ["-fill", "#fff6d8", "-draw", f"circle {mx},{my} {mx + 30},{my}",
                 "-fill", "#e9dcb2", "-draw", f"circle {mx + 9},{my - 7} {mx + 15},{my - 7}",
                 "-draw", f"circle {mx - 12},{my + 9} {mx - 6},{my + 9}"]
        far = [(0, 0.62), (0.15, 0.52), (0.3, 0.58), (0.48, 0.47), (0.7, 0.56), (0.85, 0.5),
               (1, 0.57)]
        draw += ["-fill", "#463466", "-draw", "polygon " + " ".join(
            f"{int(x * w)},{int(y * h)}" for x, y in far) + f" {w},{h} 0,{h}"]
        near = [(0, 0.8), (0.12, 0.74), (0.25, 0.69), (0.38, 0.66), (0.62, 0.66), (0.74, 0.7),
                (0.88, 0.78), (1, 0.82)]
        draw += ["-fill", "#2a1e44", "-draw", "polygon " + " ".join(
            f"{int(x * w)},{int(y * h)}" for x, y in near) + f" {w},{h} 0,{h}"]
        # the fortress: a keep, two towers with spires, a wall between
        base = int(h * 0.67)
        cx = w // 2
        sil = "#120c1f"
        draw += ["-fill", sil,
                 "-draw", f"rectangle {cx - 62},{base - 38} {cx + 62},{base + 4}",
                 "-draw", f"rectangle {cx - 22},{base - 92} {cx + 22},{base}",
                 "-draw", f"rectangle {cx - 70},{base - 70} {cx - 46},{base}",
                 "-draw", f"rectangle {cx + 46},{base - 78} {cx + 70},{base}",
                 "-draw", f"polygon {cx - 74},{base - 70} {cx - 58},{base - 112} {cx - 42},{base - 70}",
                 "-draw", f"polygon {cx + 42},{base - 78} {cx + 58},{base - 124} {cx + 74},{base - 78}",
                 "-draw", f"polygon {cx - 26},{base - 92} {cx},{base - 140} {cx + 26},{base - 92}"]
        for i in range(-60, 62, 12):  # crenellations of the wall
            draw += ["-draw", f"rectangle {cx + i},{base - 46} {cx + i + 6},{base - 38}"]
        draw += ["-stroke", sil, "-strokewidth", "2",
                 "-draw", f"line {cx},{base - 140} {cx},{base - 156}",
                 "-stroke", "none", "-fill", "#b8323a",
                 "-draw", f"polygon {cx + 1},{base - 156} {cx + 16},{base - 151} {cx + 1},{base - 146}"]
        for x, y in ((cx - 8, base - 76), (cx + 4, base - 62), (cx - 62, base - 54),
                     (cx + 54, base - 60), (cx - 30, base - 22), (cx + 24, base - 26)):
            draw += ["-fill", "#ffcf5a", "-draw", f"rectangle {x},{y} {x + 3},{y + 5}"]
        mist = self.path("mist.png")
        self.soft(mist, w, h, "#b7a6d8", 0.4, 9,
                  "-draw", f"ellipse {w // 2},{int(h * 0.88)} {w},{int(h * 0.05)} 0,360",
                  "-draw", f"ellipse {w // 4},{int(h * 0.8)} {w // 2},{int(h * 0.03)} 0,360")
        run(sky, glow, "-composite", *draw, mist, "-composite", out)

    def title(self, out):
        """"Velmora" in gold with a dark rim and a soft glow, on a transparent canvas."""
        size = "520x120"
        text = ["-gravity", "center", "-font", TITLE_FONT, "-pointsize", "50",
                "-annotate", "+0+0", "Velmora"]
        mask = self.path("title_mask.png")
        run("-size", size, "xc:black", "-fill", "white", *text, mask)
        fill = self.path("title_fill.png")
        run("-size", "520x50", "gradient:#fff6c8-#b5781e", "-gravity", "center",
            "-background", "#b5781e", "-extent", size, fill)
        rim = self.path("title_rim.png")
        run("-size", size, "xc:black", "-fill", "white", "-stroke", "white", "-strokewidth", "5",
            *text, rim)
        glow = self.path("title_glow.png")
        run(rim, "-blur", "0x9", "-level", "0%,70%", glow)
        # layers: warm glow, dark rim, gold letters
        run("-size", size, "xc:#ffb84a", glow, "-alpha", "off", "-compose", "CopyOpacity",
            "-composite",
            "(", "-size", size, "xc:#2a1606", rim, "-alpha", "off", "-compose", "CopyOpacity",
            "-composite", ")", "-compose", "over", "-composite",
            "(", fill, mask, "-alpha", "off", "-compose", "CopyOpacity", "-composite", ")",
            "-compose", "over", "-composite", out)

    def login_skin(self, out):
        shape = self.path("shape.png")
        self.panel_shape(shape)
        # soft shadow around everything: the only partly transparent band besides anti-aliasing
        shadow = self.path("shadow.png")
        run(shape, "-blur", "0x7", "-level", "1.5%,100%", shadow)
        body = self.path("body.png")
        self.panel_body(body)

        l, t, r, b = PANEL
        draw = []
        # outer rim of the panel and crest
        draw += ["-fill", "none", "-stroke", GOLD_DARK, "-strokewidth", "7",
                 "-draw", f"roundrectangle {l + 3},{t + 3} {r - 4},{b - 4} 24,24",
                 "-stroke", GOLD, "-strokewidth", "3",
                 "-draw", f"roundrectangle {l + 4},{t + 4} {r - 5},{b - 5} 23,23",
                 "-stroke", GOLD_DARK, "-strokewidth", "1",
                 "-draw", f"roundrectangle {l + 12},{t + 12} {r - 13},{b - 13} 16,16",
                 "-stroke", "none"]
        crest_top = t - CREST_RISE
        draw += ["-fill", "none", "-stroke", GOLD, "-strokewidth", "3", "-draw",
                 f"path 'M {CREST_X - 166},{t + 10} C {CREST_X - 118},{t - CREST_RISE * 2 // 3 + 4} "
                 f"{CREST_X - 58},{crest_top + 4} {CREST_X},{crest_top + 4} "
                 f"C {CREST_X + 58},{crest_top + 4} {CREST_X + 118},{t - CREST_RISE * 2 // 3 + 4} {CREST_X + 166},{t + 10}'",
                 "-stroke", "none"]
        # the login page's frame and the scene's frame share their top and bottom
        scene_box = (l + 24, BROWSER[1], BROWSER[0] - 24, BROWSER[3])
        self.frame(draw, BROWSER, 12, 8)
        self.frame(draw, scene_box, 8, 6)
        draw += ["-fill", INK, "-draw",
                 f"rectangle {BROWSER[0]},{BROWSER[1]} {BROWSER[2] - 1},{BROWSER[3] - 1}"]
        # header rule under the title, footer rule, corner diamonds
        rule_y = BROWSER[1] - 26
        for y in (rule_y, BROWSER[3] + 20):
            draw += ["-stroke", GOLD_DARK, "-strokewidth", "3",
                     "-draw", f"line {BROWSER[0] - 4},{y} {BROWSER[2] + 3},{y}",
                     "-stroke", GOLD, "-strokewidth", "1",
                     "-draw", f"line {BROWSER[0] - 4},{y} {BROWSER[2] + 3},{y}", "-stroke", "none"]
            self.diamond(draw, CREST_X, y, 7)
            self.diamond(draw, BROWSER[0] - 6, y, 4)
            self.diamond(draw, BROWSER[2] + 5, y, 4)
        for x, y in ((l + 12, t + 12), (r - 13, t + 12), (l + 12, b - 13), (r - 13, b - 13)):
            self.diamond(draw, x, y, 8)
        scroll_y = t + 40
        self.scroll(draw, CREST_X - 176, scroll_y, 110, -1)
        self.scroll(draw, CREST_X + 176, scroll_y, 110, 1)
        # right column: a string of gems between gold diamonds
        col_x = (BROWSER[2] + 12 + r - 14) // 2
        draw += ["-stroke", GOLD_DARK, "-strokewidth", "3",
                 "-draw", f"line {col_x},{BROWSER[1] + 10} {col_x},{BROWSER[3] - 10}",
                 "-stroke", GOLD, "-strokewidth", "1",
                 "-draw", f"line {col_x},{BROWSER[1] + 10} {col_x},{BROWSER[3] - 10}",
                 "-stroke", "none"]
        gems = (("#b8323a", "#ff9a8a"), ("#2f58c8", "#a8c4ff"), ("#2d9a5a", "#a8f0c0"),
                ("#8a3ac8", "#e0b0ff"), ("#b8323a", "#ff9a8a"))
        span = BROWSER[3] - BROWSER[1] - 60
        for i, (c, light) in enumerate(gems):
            y = BROWSER[1] + 30 + i * span // (len(gems) - 1)
            self.gem(draw, col_x, y, 9, c, light)
            if i < len(gems) - 1:
                self.diamond(draw, col_x, y + span // (2 * (len(gems) - 1)), 4)
        # a plate under the window buttons
        draw += ["-fill", GOLD_DARK, "-draw", "roundrectangle 1016,140 1103,191 22,22",
                 "-fill", "#1a1228", "-draw", "roundrectangle 1018,142 1101,189 20,20"]
        scene = self.path("scene.png")
        self.scene(scene, scene_box)
        title = self.path("title.png")
        self.title(title)
        shield = self.path("shield.png")
        self.shield(shield, 84)

        panel = self.path("panel.png")
        run(body, *draw,
            scene, "-geometry", f"+{scene_box[0]}+{scene_box[1]}", "-composite",
            title, "-geometry", f"+{CREST_X - 260}+{t - 72}", "-composite",
            shield, "-geometry", f"+{(scene_box[0] + scene_box[2]) // 2 - 42}+{t + 6}",
            "-composite", panel)
        # panel pixels inside the shape, a dark shadow outside it
        run("-size", f"{W}x{H}", "xc:#07040c", shadow, "-alpha", "off", "-compose",
            "CopyOpacity", "-composite",
            "(", panel, shape, "-alpha", "off", "-compose", "CopyOpacity", "-composite", ")",
            "-compose", "over", "-composite", "-define", "png:color-type=6",
            "-define", "png:bit-depth=8", "-strip", out)

    def shield(self, out, size):
        """The client's emblem: a gold-rimmed violet shield with a V."""
        s = size
        def pts(scale, dy=0):
            c = s / 2
            raw = [(0.12, 0.08), (0.88, 0.08), (0.88, 0.5), (0.8, 0.72), (0.5, 0.96),
                   (0.2, 0.72), (0.12, 0.5)]
            return " ".join(f"{c + (x - 0.5) * s * scale:.1f},{c + (y - 0.5) * s * scale + dy:.1f}"
                            for x, y in raw)
        run("-size", f"{s}x{s}", "xc:none",
            "-fill", GOLD_DARK, "-draw", f"polygon {pts(1.0)}",
            "-fill", GOLD, "-draw", f"polygon {pts(0.94)}",
            "-fill", "#4a2a7a", "-draw", f"polygon {pts(0.8)}",
            "-fill", "#6a44a6", "-draw", f"polygon {pts(0.6, -3)}",
            "-fill", "#f4ecd8", "-draw",
            f"polygon {s * 0.3:.0f},{s * 0.26:.0f} {s * 0.41:.0f},{s * 0.26:.0f} {s * 0.5:.0f},{s * 0.6:.0f} "
            f"{s * 0.59:.0f},{s * 0.26:.0f} {s * 0.7:.0f},{s * 0.26:.0f} {s * 0.5:.0f},{s * 0.78:.0f}",
            out)


# ---- bitmaps ----------------------------------------------------------------------------------

PLATE = "#1a1228"  # the skin's plate under the login window's buttons
STRIP_TOP, STRIP_BOTTOM = "#3d2b66", "#1a1130"  # toolbar strip of the game and QQ windows
HOVER_RED = "#8e1f28"


def bmp(src, out):
    """Writes a 24-bit BMP (no alpha, no colour table)."""
    run(src, "-alpha", "off", "-type", "TrueColor", f"BMP3:{out}")


class Bitmaps:
    def __init__(self, work, out_dir):
        self.work = work
        self.out_dir = out_dir

    def path(self, name):
        return os.path.join(self.work, name)

    def out(self, name):
        return os.path.join(self.out_dir, name)

    def keyed(self, drawn, background, out):
        """Flattens a drawing onto its background; where it is less than half covered the key
        colour takes over, so no blended fringe is left around the see-through part."""
        mask = self.path("keymask.png")
        run(drawn, "-alpha", "extract", "-threshold", "50%", mask)
        flat = self.path("keyflat.png")
        run(drawn, "-background", background, "-flatten", flat)
        size = subprocess.run(["identify", "-format", "%wx%h", drawn], check=True,
                              capture_output=True, text=True).stdout
        merged = self.path("keyed.png")
        run("-size", size, f"xc:{KEY}", flat, mask, "-composite", merged)
        bmp(merged, out)

    # login window
    def round_button(self, out, w, h, radius, disc, rim, glyph, glyph_colour):
        cx, cy = (w - 1) / 2, (h - 1) / 2
        drawn = self.path("round.png")
        draw = ["-fill", GOLD_DARK, "-draw", f"circle {cx},{cy} {cx + radius},{cy}",
                "-fill", rim, "-draw", f"circle {cx},{cy} {cx + radius - 1.5},{cy}",
                "-fill", disc, "-draw", f"circle {cx},{cy} {cx + radius - 4},{cy}",
                "-fill", "#ffffff40", "-draw",
                f"ellipse {cx},{cy - radius * 0.45} {radius * 0.55},{radius * 0.3} 0,360",
                "-stroke", glyph_colour, "-strokewidth", "3", "-fill", "none"]
        g = radius * 0.38
        if glyph == "close":
            draw += ["-draw", f"line {cx - g},{cy - g} {cx + g},{cy + g}",
                     "-draw", f"line {cx - g},{cy + g} {cx + g},{cy - g}"]
        else:
            draw += ["-draw", f"line {cx - g - 1},{cy} {cx + g + 1},{cy}"]
        run("-size", f"{w}x{h}", "xc:none", *draw, drawn)
        self.keyed(drawn, PLATE, out)

    def login_buttons(self):
        self.round_button(self.out("login_close.bmp"), 40, 41, 19, "#6e1820", GOLD, "close", GOLD_LIGHT)
        self.round_button(self.out("login_close_hover.bmp"), 40, 41, 19, "#c8303a", GOLD_LIGHT,
                          "close", "#ffffff")
        self.round_button(self.out("login_min.bmp"), 31, 31, 15, "#3c2a66", GOLD, "min", GOLD_LIGHT)
        self.round_button(self.out("login_min_hover.bmp"), 31, 31, 15, "#6a4fb0", GOLD_LIGHT,
                          "min", "#ffffff")
        # the login window's full-window picture: nothing but the key colour
        run("-size", "8x8", f"xc:{KEY}", "-type", "TrueColor", f"BMP3:{self.out('key.bmp')}")

    # toolbar of the game and QQ windows
    def strip(self):
        strip = self.path("strip.png")
        run("-size", "1500x27", f"gradient:{STRIP_TOP}-{STRIP_BOTTOM}",
            "-fill", "#6a55a0", "-draw", "line 0,0 1499,0",
            "-fill", GOLD_DARK, "-draw", "line 0,25 1499,25",
            "-fill", GOLD, "-draw", "line 0,26 1499,26", strip)
        bmp(strip, self.out("toolbar_strip.bmp"))
        return strip

    def strip_piece(self, strip, w, h, top):
        piece = self.path(f"piece_{w}x{h}_{top}.png")
        run(strip, "-crop", f"{w}x{h}+0+{top}", "+repage", piece)
        return piece

    def tool_button(self, strip, out, w, glyph, hover):
        h = 27
        back = self.strip_piece(strip, w, h, 0)
        colour = "#ffffff" if hover else GOLD_LIGHT
        draw = []
        if hover:
            fill = HOVER_RED if glyph == "close" else "#54407e"
            draw += ["-fill", fill, "-draw", f"rectangle 0,1 {w - 1},24"]
        cx, cy = w // 2, 12
        draw += ["-stroke", colour, "-strokewidth", "1.6", "-fill", "none"]
        if glyph == "close":
            draw += ["-draw", f"line {cx - 5},{cy - 5} {cx + 5},{cy + 5}",
                     "-draw", f"line {cx - 5},{cy + 5} {cx + 5},{cy - 5}"]
        elif glyph == "min":
            draw += ["-draw", f"line {cx - 6},{cy + 4} {cx + 6},{cy + 4}"]
        elif glyph == "max":  # one frame
            draw += ["-draw", f"rectangle {cx - 6},{cy - 5} {cx + 6},{cy + 5}",
                     "-draw", f"line {cx - 6},{cy - 4} {cx + 6},{cy - 4}"]
        elif glyph == "restore":  # two overlapping frames
            draw += ["-draw", f"rectangle {cx - 3},{cy - 7} {cx + 7},{cy + 2}",
                     "-fill", STRIP_TOP if not hover else "#54407e",
                     "-draw", f"rectangle {cx - 7},{cy - 3} {cx + 3},{cy + 6}"]
        elif glyph == "tray":  # arrow down into a tray
            draw += ["-draw", f"line {cx},{cy - 7} {cx},{cy + 2}",
                     "-draw", f"polyline {cx - 4},{cy - 2} {cx},{cy + 2} {cx + 4},{cy - 2}",
                     "-draw", f"polyline {cx - 7},{cy + 2} {cx - 7},{cy + 6} {cx + 7},{cy + 6} {cx + 7},{cy + 2}"]
        tmp = self.path("tool.png")
        run(back, *draw, tmp)
        bmp(tmp, out)

    def page_button(self, strip, out, text, hover):
        w, h, top = 38, 18, 4
        back = self.strip_piece(strip, w, h, top)
        draw = []
        if hover:
            draw += ["-fill", HOVER_RED, "-stroke", "#d24a50", "-strokewidth", "1",
                     "-draw", f"roundrectangle 0,0 {w - 1},{h - 1} 3,3", "-stroke", "none",
                     "-fill", "#fff3dc"]
        else:
            draw += ["-fill", "none", "-stroke", "#7a5a9a", "-strokewidth", "1",
                     "-draw", f"roundrectangle 0,0 {w - 1},{h - 1} 3,3", "-stroke", "none",
                     "-fill", GOLD_LIGHT]
        draw += ["-font", CJK_FONT, "-pointsize", "12", "-gravity", "center",
                 "-annotate", "+0+0", text]
        tmp = self.path("page.png")
        run(back, *draw, tmp)
        bmp(tmp, out)

    def toolbar(self, shield_png):
        strip = self.strip()
        for name, glyph, w in (("close", "close", 28), ("min", "min", 28), ("max", "max", 27),
                               ("restore", "restore", 27), ("tray", "tray", 27)):
            self.tool_button(strip, self.out(f"tool_{name}.bmp"), w, glyph, False)
            self.tool_button(strip, self.out(f"tool_{name}_hover.bmp"), w, glyph, True)
        for name, text in (("forum", "论坛"), ("official", "官网"), ("recharge", "充值"),
                           ("service", "客服"), ("setting", "设置")):
            self.page_button(strip, self.out(f"page_{name}.bmp"), text, False)
            self.page_button(strip, self.out(f"page_{name}_hover.bmp"), text, True)
        small = self.path("shield16.png")
        run(shield_png, "-resize", "16x16", small)
        self.keyed(small, STRIP_TOP, self.out("icon16.bmp"))

    def borders(self):
        edge = "#2a1e44"
        run("-size", "3x359", "xc:" + edge, "-fill", GOLD, "-draw", "line 1,0 1,358",
            "-type", "TrueColor", f"BMP3:{self.out('border_side.bmp')}")
        run("-size", "469x4", "xc:" + edge, "-fill", GOLD_DARK, "-draw", "line 0,1 468,1",
            "-fill", GOLD, "-draw", "line 0,2 468,2", "-type", "TrueColor",
            f"BMP3:{self.out('border_bottom.bmp')}")


def main():
    out_dir = sys.argv[1] if len(sys.argv) > 1 else os.path.join(
        os.path.dirname(os.path.abspath(__file__)), "..", "..", "res", "art")
    os.makedirs(out_dir, exist_ok=True)
    with tempfile.TemporaryDirectory() as work:
        art = Art(work)
        art.login_skin(os.path.join(out_dir, "login_skin.png"))
        shield = os.path.join(work, "shield64.png")
        art.shield(shield, 64)
        bitmaps = Bitmaps(work, out_dir)
        bitmaps.login_buttons()
        bitmaps.toolbar(shield)
        bitmaps.borders()


if __name__ == "__main__":
    main()
