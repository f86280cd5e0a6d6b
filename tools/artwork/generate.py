#!/usr/bin/python3
"""Draws the editors' pictures: the shared lamp, thumb and track pictures and
the two 350 x 615 editor backgrounds.

    /usr/bin/python3 tools/artwork/generate.py              write the PNGs
    /usr/bin/python3 tools/artwork/generate.py --check      exit 1 if a committed PNG is stale
    /usr/bin/python3 tools/artwork/generate.py --preview D  also write editor previews into D

Everything is drawn with cairo in grey levels and saved through Pillow in the
pixel formats the look and feel expects. No randomness without a fixed seed,
no timestamps, no text chunks: the same machine writes the same bytes.
"""

import argparse
import math
import os
import random
import subprocess
import sys
import tempfile

import cairo
from PIL import Image

REPO_ROOT = os.path.abspath (os.path.join (os.path.dirname (__file__), "..", ".."))

EDITOR_W, EDITOR_H = 350, 615
LAMP_W, LAMP_H = 56, 29
THUMB_W, THUMB_H = 28, 13
TRACK_W, TRACK_H = 197, 7
THUMB_TRAVEL = TRACK_W - THUMB_W          # the look and feel clamps the thumb's left edge to 0..169

# The fonts come from fonts-dejavu-extra and fonts-urw-base35; each family is
# checked to resolve to its file so that a missing package cannot silently
# change the pictures.
CAPTION_FONT = ("DejaVu Sans Condensed", "DejaVuSansCondensed-Bold")
TITLE_FONT = ("URW Gothic", "URWGothic-Demi")
SMALL_TITLE_FONT = ("DejaVu Sans", "DejaVuSans-Bold")
LABEL_FONT = ("Liberation Sans", "LiberationSans-Bold")   # previews only: stands in for the editor's label font

CAPTION_SIZE = 8.0
CAPTION_TRACKING = 0.35
CAPTION_LINE = 9.0
CAPTION_MAX_WIDTH = 64

# Grey levels of the faceplate and of the dark panels.
PLATE = 0.80
INK = 0.10
PANEL = 0.17
PANEL_INK = 0.86
RECESS = 0.07


# --------------------------------------------------------------------------
# Editor layouts: (x, y, w, h) in editor pixels and the caption printed there

SLICER_BUTTONS = [
    ((99, 24, 65, 34), "FORWARD / BYPASS", True),
    ((99, 85, 65, 34), "BACKWARDS", False),
    ((24, 272, 65, 34), "SKIP EVERY 2ND SLICE", False),
    ((24, 333, 65, 34), "SKIP EVERY 3RD SLICE", False),
    ((24, 392, 65, 34), "SKIP EVERY 4TH SLICE", False),
    ((24, 451, 65, 34), "SKIP EVERY 5TH SLICE", False),
    ((24, 24, 65, 34), "PLAY EVERY 3RD SLICE", False),
    ((24, 85, 65, 34), "PLAY EVERY 4TH SLICE", False),
    ((24, 144, 65, 34), "PLAY EVERY 5TH SLICE", False),
    ((24, 202, 65, 34), "PLAY EVERY 6TH SLICE", False),
    ((99, 203, 65, 34), "SLICE ORDER 1243", False),
    ((99, 324, 65, 34), "SLICE ORDER 2134", False),
    ((99, 265, 65, 34), "SLICE ORDER 1233", False),
    ((99, 143, 65, 34), "RANDOM", False),
    ((222, 23, 65, 34), "HOLD", False),
    ((222, 94, 65, 34), "REVERSE", False),
]

# slider bounds, caption, label bounds, label text in the preview, thumb position in the preview
SLICER_SLIDERS = [
    ((23, 538, 197, 13), "BUFFER SIZE:", (295, 533, 40, 24), "1 bars", 0),
    ((23, 560, 197, 13), "SLICE SIZE:", (284, 555, 72, 24), "1/8 bar", 85),
    ((23, 582, 197, 13), "TRIM:", (257, 576, 64, 24), "-5 ms", 76),
]

LOOPER_BUTTONS = [
    ((23, 431, 65, 34), "BYPASS", True),
    ((86, 431, 65, 34), "LOOP", False),
    ((151, 431, 65, 34), "ALTERNATING", False),
]

LOOPER_SLIDERS = [
    ((23, 496, 197, 13), "START POS:", (286, 491, 51, 24), "0 %", 0),
    ((23, 517, 197, 13), "LOOP SIZE:", (284, 513, 53, 24), "50 %", 85),
    ((23, 538, 197, 13), "SIZE MOD:", (280, 533, 56, 24), "Off", 85),
    ((23, 560, 197, 13), "SLICE SIZE:", (283, 555, 72, 24), "1/4 bar", 57),
    ((23, 581, 197, 13), "TRIM:", (256, 576, 73, 24), "-5 ms", 76),
]

CAPTION_GAP_TO_LABEL = 3      # a caption ends at least this far left of its value label


# --------------------------------------------------------------------------
# Fonts and text

def require_font (family, expected_file_stem):
    """Fails unless fontconfig resolves the bold face of family to the expected file."""
    resolved = subprocess.run (["fc-match", "-f", "%{file}", family + ":bold"],
                               capture_output=True, text=True, check=True).stdout
    if os.path.splitext (os.path.basename (resolved))[0] != expected_file_stem:
        sys.exit ("artwork: font '%s' resolves to '%s', expected %s (run tools/setup.sh)"
                  % (family, resolved, expected_file_stem))


def set_font (ctx, font, size):
    ctx.select_font_face (font[0], cairo.FONT_SLANT_NORMAL, cairo.FONT_WEIGHT_BOLD)
    ctx.set_font_size (size)
    options = cairo.FontOptions ()
    options.set_antialias (cairo.ANTIALIAS_GRAY)
    options.set_hint_style (cairo.HINT_STYLE_SLIGHT)
    options.set_hint_metrics (cairo.HINT_METRICS_OFF)
    ctx.set_font_options (options)


def tracked_width (ctx, text, tracking):
    return ctx.text_extents (text).x_advance + tracking * (len (text) - 1)


def show_tracked (ctx, x, baseline, text, tracking):
    """Draws text with extra space between letters, which small capitals need to stay legible."""
    for ch in text:
        ctx.move_to (x, baseline)
        ctx.show_text (ch)
        x += ctx.text_extents (ch).x_advance + tracking


def wrap_caption (ctx, text):
    """Fills lines word by word up to the caption width; a line never starts with '/',
    so "FORWARD / BYPASS" breaks after the slash."""
    lines = []
    for word in text.split (" "):
        candidate = (lines[-1] + " " + word) if lines else word
        fits = tracked_width (ctx, candidate, CAPTION_TRACKING) <= CAPTION_MAX_WIDTH
        if lines and (fits or word == "/"):
            lines[-1] = candidate
        else:
            lines.append (word)
    return lines


def draw_caption_below (ctx, bounds, text, level):
    """The caption centred under the lamp picture of a button; returns the box it covers."""
    x, y = bounds[0], bounds[1]
    set_font (ctx, CAPTION_FONT, CAPTION_SIZE)
    grey (ctx, level)
    lines = wrap_caption (ctx, text)
    baseline = y + LAMP_H + 12
    widest = max (tracked_width (ctx, line, CAPTION_TRACKING) for line in lines)
    box = (x + LAMP_W / 2 - widest / 2, baseline - CAPTION_SIZE, widest, CAPTION_LINE * len (lines))
    for line in lines:
        width = tracked_width (ctx, line, CAPTION_TRACKING)
        show_tracked (ctx, round (x + LAMP_W / 2 - width / 2), baseline, line, CAPTION_TRACKING)
        baseline += CAPTION_LINE
    return box


def lamp_frame_box (bounds, margin):
    return (bounds[0] - margin, bounds[1] - margin, LAMP_W + 2 * margin, LAMP_H + 2 * margin)


def require_apart (boxes, what):
    """Stops the script if two of the boxes (x, y, w, h) overlap: a caption would run into a frame or another caption."""
    for i, a in enumerate (boxes):
        for b in boxes[i + 1:]:
            if a[0] < b[0] + b[2] and b[0] < a[0] + a[2] and a[1] < b[1] + b[3] and b[1] < a[1] + a[3]:
                sys.exit ("artwork: %s overlap: %s and %s" % (what, a, b))


# --------------------------------------------------------------------------
# Surfaces and files

def new_surface (w, h):
    surface = cairo.ImageSurface (cairo.FORMAT_ARGB32, w, h)
    return surface, cairo.Context (surface)


def surface_to_image (surface):
    """Cairo's premultiplied native-endian ARGB as an un-premultiplied Pillow RGBA image."""
    surface.flush ()
    w, h = surface.get_width (), surface.get_height ()
    return Image.frombuffer ("RGBA", (w, h), bytes (surface.get_data ()), "raw", "BGRa",
                             surface.get_stride (), 1)


def grey_surface_from_levels (w, h, levels):
    """An opaque cairo surface whose pixels are the given grey levels (0..255), row by row."""
    image = Image.frombytes ("L", (w, h), bytes (levels)).convert ("RGBA")
    data = bytearray (image.tobytes ("raw", "BGRA"))
    return cairo.ImageSurface.create_for_data (data, cairo.FORMAT_ARGB32, w, h, w * 4)


def save_grey_alpha (surface, path):
    surface_to_image (surface).convert ("LA").save (path, format="PNG", optimize=False, compress_level=9)


def save_palette_opaque (surface, path):
    """8-bit palette of 256 grey levels; no transparency chunk."""
    grey = surface_to_image (surface).convert ("L")
    image = grey.convert ("P")
    image.putpalette ([v for level in range (256) for v in (level, level, level)])
    image.putdata (list (grey.getdata ()))
    image.info.pop ("transparency", None)
    image.save (path, format="PNG", bits=8, optimize=False, compress_level=9)


# --------------------------------------------------------------------------
# Shapes

def rounded_rect (ctx, x, y, w, h, r):
    ctx.new_sub_path ()
    ctx.arc (x + w - r, y + r, r, -math.pi / 2, 0)
    ctx.arc (x + w - r, y + h - r, r, 0, math.pi / 2)
    ctx.arc (x + r, y + h - r, r, math.pi / 2, math.pi)
    ctx.arc (x + r, y + r, r, math.pi, 3 * math.pi / 2)
    ctx.close_path ()


def vertical_gradient (y0, y1, stops):
    gradient = cairo.LinearGradient (0, y0, 0, y1)
    for offset, grey in stops:
        gradient.add_color_stop_rgb (offset, grey, grey, grey)
    return gradient


def grey (ctx, level, alpha=1.0):
    ctx.set_source_rgba (level, level, level, alpha)


def brushed_levels (w, h, seed, depth):
    """Horizontal streaks around mid grey: random rows stretched sideways, plus fine grain."""
    rng = random.Random (seed)
    coarse_w = max (4, w // 24)
    coarse = Image.frombytes ("L", (coarse_w, h),
                              bytes (128 + rng.randint (-depth, depth) for _ in range (coarse_w * h)))
    streaks = coarse.resize ((w, h), Image.BILINEAR)
    grain = bytes (max (0, min (255, s + rng.randint (-depth // 3, depth // 3)))
                   for s in streaks.tobytes ())
    return grain


def overlay_texture (ctx, w, h, seed, depth, strength):
    """Brushes whatever is painted already: an overlay of mid-grey noise leaves the average level."""
    texture = grey_surface_from_levels (w, h, brushed_levels (w, h, seed, depth))
    ctx.save ()
    ctx.set_operator (cairo.OPERATOR_OVERLAY)
    ctx.set_source_surface (texture, 0, 0)
    ctx.paint_with_alpha (strength)
    ctx.restore ()


def screw (ctx, cx, cy, angle):
    """A slotted screw head in a small countersink, lit from the top left."""
    grey (ctx, 0.0, 0.35)
    ctx.arc (cx + 0.5, cy + 0.8, 4.6, 0, 2 * math.pi)
    ctx.fill ()
    head = cairo.RadialGradient (cx - 1.5, cy - 1.5, 0.5, cx, cy, 4.5)
    head.add_color_stop_rgb (0, 0.95, 0.95, 0.95)
    head.add_color_stop_rgb (1, 0.55, 0.55, 0.55)
    ctx.set_source (head)
    ctx.arc (cx, cy, 4.0, 0, 2 * math.pi)
    ctx.fill ()
    ctx.save ()
    ctx.translate (cx, cy)
    ctx.rotate (angle)
    grey (ctx, 0.22)
    ctx.rectangle (-3.2, -0.6, 6.4, 1.2)
    ctx.fill ()
    grey (ctx, 1.0, 0.5)
    ctx.rectangle (-3.2, 0.6, 6.4, 0.5)
    ctx.fill ()
    ctx.restore ()


# --------------------------------------------------------------------------
# The small pictures

def draw_lamp_face (ctx):
    """The light grey button face shared by both lamp pictures."""
    rounded_rect (ctx, 0.5, 0.5, LAMP_W - 1, LAMP_H - 1, 3.5)
    ctx.set_source (vertical_gradient (0, LAMP_H, [(0, 0.90), (0.5, 0.80), (1, 0.70)]))
    ctx.fill_preserve ()
    grey (ctx, 0.30)
    ctx.set_line_width (1)
    ctx.stroke ()
    # bevel: bright top-left edge, dark bottom-right edge
    ctx.set_line_width (1)
    grey (ctx, 1.0, 0.8)
    ctx.move_to (2, LAMP_H - 3)
    ctx.line_to (2, 3)
    ctx.curve_to (2, 2, 2, 1.5, 3.5, 1.5)
    ctx.line_to (LAMP_W - 3, 1.5)
    ctx.stroke ()
    grey (ctx, 0.0, 0.22)
    ctx.move_to (2.5, LAMP_H - 1.5)
    ctx.line_to (LAMP_W - 3, LAMP_H - 1.5)
    ctx.curve_to (LAMP_W - 1.5, LAMP_H - 1.5, LAMP_W - 1.5, LAMP_H - 2, LAMP_W - 1.5, LAMP_H - 3)
    ctx.line_to (LAMP_W - 1.5, 3)
    ctx.stroke ()
    # three fine grip ribs at the left end, where the finger presses
    for i in range (3):
        x = 8.5 + i * 4
        grey (ctx, 0.0, 0.28)
        ctx.move_to (x, 8)
        ctx.line_to (x, LAMP_H - 8)
        ctx.stroke ()
        grey (ctx, 1.0, 0.6)
        ctx.move_to (x + 1, 8)
        ctx.line_to (x + 1, LAMP_H - 8)
        ctx.stroke ()


LAMP_CX, LAMP_CY, LAMP_R = 41.5, 14.5, 7.0


def draw_lamp_bezel (ctx):
    """The dark ring the lamp sits in, sunk into the face."""
    ring = cairo.LinearGradient (0, LAMP_CY - LAMP_R - 2, 0, LAMP_CY + LAMP_R + 2)
    ring.add_color_stop_rgb (0, 0.35, 0.35, 0.35)
    ring.add_color_stop_rgb (1, 0.98, 0.98, 0.98)
    ctx.set_source (ring)
    ctx.arc (LAMP_CX, LAMP_CY, LAMP_R + 2.2, 0, 2 * math.pi)
    ctx.fill ()
    grey (ctx, 0.12)
    ctx.arc (LAMP_CX, LAMP_CY, LAMP_R + 0.8, 0, 2 * math.pi)
    ctx.fill ()


def draw_lamp_spill (ctx):
    """The lit lamp's light falling on the face around its bezel."""
    spill = cairo.RadialGradient (LAMP_CX, LAMP_CY, LAMP_R + 1, LAMP_CX, LAMP_CY, LAMP_R + 6)
    spill.add_color_stop_rgba (0, 1, 1, 1, 0.75)
    spill.add_color_stop_rgba (1, 1, 1, 1, 0.0)
    ctx.set_source (spill)
    ctx.arc (LAMP_CX, LAMP_CY, LAMP_R + 6, 0, 2 * math.pi)
    ctx.fill ()


def draw_lamp_lit (ctx):
    glow = cairo.RadialGradient (LAMP_CX, LAMP_CY, 0, LAMP_CX, LAMP_CY, LAMP_R)
    glow.add_color_stop_rgb (0.0, 1.0, 1.0, 1.0)
    glow.add_color_stop_rgb (0.55, 1.0, 1.0, 1.0)
    glow.add_color_stop_rgb (1.0, 0.78, 0.78, 0.78)
    ctx.set_source (glow)
    ctx.arc (LAMP_CX, LAMP_CY, LAMP_R, 0, 2 * math.pi)
    ctx.fill ()
    halo = cairo.RadialGradient (LAMP_CX, LAMP_CY, LAMP_R * 0.6, LAMP_CX, LAMP_CY, LAMP_R + 1)
    halo.add_color_stop_rgba (0, 1, 1, 1, 0.0)
    halo.add_color_stop_rgba (0.8, 1, 1, 1, 0.55)
    halo.add_color_stop_rgba (1, 1, 1, 1, 0.0)
    ctx.set_source (halo)
    ctx.arc (LAMP_CX, LAMP_CY, LAMP_R + 1, 0, 2 * math.pi)
    ctx.fill ()


def draw_lamp_dark (ctx):
    body = cairo.RadialGradient (LAMP_CX - 2, LAMP_CY - 2.5, 0.5, LAMP_CX, LAMP_CY, LAMP_R)
    body.add_color_stop_rgb (0, 0.30, 0.30, 0.30)
    body.add_color_stop_rgb (0.5, 0.06, 0.06, 0.06)
    body.add_color_stop_rgb (1, 0.0, 0.0, 0.0)
    ctx.set_source (body)
    ctx.arc (LAMP_CX, LAMP_CY, LAMP_R, 0, 2 * math.pi)
    ctx.fill ()
    grey (ctx, 1.0, 0.55)
    ctx.arc (LAMP_CX - 2.4, LAMP_CY - 2.6, 1.3, 0, 2 * math.pi)
    ctx.fill ()


def draw_lamp (lit):
    surface, ctx = new_surface (LAMP_W, LAMP_H)
    draw_lamp_face (ctx)
    if lit:
        draw_lamp_spill (ctx)
    draw_lamp_bezel (ctx)
    (draw_lamp_lit if lit else draw_lamp_dark) (ctx)
    return surface


def draw_thumb ():
    """An opaque ribbed metal cap; its corners take the dark panel's grey it slides over."""
    surface, ctx = new_surface (THUMB_W, THUMB_H)
    grey (ctx, RECESS + 0.06)
    ctx.paint ()
    rounded_rect (ctx, 0.5, 0.5, THUMB_W - 1, THUMB_H - 1, 2.0)
    ctx.set_source (vertical_gradient (0, THUMB_H, [(0, 0.96), (0.45, 0.78), (1, 0.50)]))
    ctx.fill_preserve ()
    grey (ctx, 0.12)
    ctx.set_line_width (1)
    ctx.stroke ()
    ctx.set_line_width (1)
    for i in range (-3, 4):
        x = THUMB_W / 2 + i * 3 + 0.5
        if i == 0:
            grey (ctx, 0.08)        # the centre rib marks the value
            ctx.move_to (x, 2)
            ctx.line_to (x, THUMB_H - 2)
            ctx.stroke ()
            continue
        grey (ctx, 0.0, 0.45)
        ctx.move_to (x, 3)
        ctx.line_to (x, THUMB_H - 3)
        ctx.stroke ()
        grey (ctx, 1.0, 0.7)
        ctx.move_to (x + 1, 3)
        ctx.line_to (x + 1, THUMB_H - 3)
        ctx.stroke ()
    grey (ctx, 1.0, 0.85)
    ctx.move_to (2.5, 1.5)
    ctx.line_to (THUMB_W - 2.5, 1.5)
    ctx.stroke ()
    return surface


def draw_groove (ctx, x, y, w, h):
    """A slot cut into a dark panel: black inside, a lit lower lip."""
    cy = y + h / 2
    rounded_rect (ctx, x + 0.5, cy - 2.5, w - 1, 5, 2.5)
    grey (ctx, 0.0)
    ctx.fill ()
    rounded_rect (ctx, x + 0.5, cy - 2.5, w - 1, 5, 2.5)
    ctx.set_source (vertical_gradient (cy - 2.5, cy + 2.5, [(0, 0.0), (0.6, 0.04), (1, 0.10)]))
    ctx.fill ()
    ctx.set_line_width (1)
    grey (ctx, 1.0, 0.18)
    ctx.move_to (x + 3, cy + 3)
    ctx.line_to (x + w - 3, cy + 3)
    ctx.stroke ()


def draw_track ():
    surface, ctx = new_surface (TRACK_W, TRACK_H)
    draw_groove (ctx, 0, 0, TRACK_W, TRACK_H - 1)
    return surface


# --------------------------------------------------------------------------
# Backgrounds: shared parts

def draw_faceplate (ctx, seed):
    """Brushed aluminium over the whole editor, with a soft bevel at the edges."""
    ctx.set_source (vertical_gradient (0, EDITOR_H, [(0, PLATE + 0.06), (0.5, PLATE), (1, PLATE - 0.06)]))
    ctx.paint ()
    overlay_texture (ctx, EDITOR_W, EDITOR_H, seed, 26, 0.55)
    ctx.set_line_width (1)
    grey (ctx, 1.0, 0.7)
    ctx.move_to (0.5, EDITOR_H)
    ctx.line_to (0.5, 0.5)
    ctx.line_to (EDITOR_W, 0.5)
    ctx.stroke ()
    grey (ctx, 0.0, 0.35)
    ctx.move_to (0.5, EDITOR_H - 0.5)
    ctx.line_to (EDITOR_W - 0.5, EDITOR_H - 0.5)
    ctx.line_to (EDITOR_W - 0.5, 0.5)
    ctx.stroke ()


PANEL_MARGIN = 8    # faceplate left showing around the dark panel


def column_centre (column_x):
    return (column_x + EDITOR_W - PANEL_MARGIN) / 2


def dark_panel_path (ctx, column_x, column_top, panel_top):
    """The dark area: a title column at the right running down into the control strip at the bottom."""
    left, right, bottom, r = PANEL_MARGIN, EDITOR_W - PANEL_MARGIN, EDITOR_H - PANEL_MARGIN, 6
    ctx.new_path ()
    ctx.move_to (left + r, panel_top)
    ctx.line_to (column_x - r, panel_top)
    ctx.arc_negative (column_x - r, panel_top - r, r, math.pi / 2, 0)
    ctx.line_to (column_x, column_top + r)
    ctx.arc (column_x + r, column_top + r, r, math.pi, 3 * math.pi / 2)
    ctx.line_to (right - r, column_top)
    ctx.arc (right - r, column_top + r, r, -math.pi / 2, 0)
    ctx.line_to (right, bottom - r)
    ctx.arc (right - r, bottom - r, r, 0, math.pi / 2)
    ctx.line_to (left + r, bottom)
    ctx.arc (left + r, bottom - r, r, math.pi / 2, math.pi)
    ctx.line_to (left, panel_top + r)
    ctx.arc (left + r, panel_top + r, r, math.pi, 3 * math.pi / 2)
    ctx.close_path ()


def draw_dark_panel (ctx, column_x, column_top, panel_top, seed):
    """A dark anodised panel let into the faceplate: a shadow above, a lit edge below."""
    ctx.save ()
    ctx.translate (0, -1)
    dark_panel_path (ctx, column_x, column_top, panel_top)
    grey (ctx, 0.0, 0.45)
    ctx.fill ()
    ctx.restore ()
    ctx.save ()
    ctx.translate (0, 1)
    dark_panel_path (ctx, column_x, column_top, panel_top)
    grey (ctx, 1.0, 0.75)
    ctx.fill ()
    ctx.restore ()
    dark_panel_path (ctx, column_x, column_top, panel_top)
    ctx.set_source (vertical_gradient (column_top, EDITOR_H, [(0, PANEL + 0.04), (1, PANEL - 0.04)]))
    ctx.fill_preserve ()
    ctx.save ()
    ctx.clip ()
    overlay_texture (ctx, EDITOR_W, EDITOR_H, seed, 18, 0.35)
    ctx.restore ()


def draw_lamp_recess (ctx, bounds):
    """A dark frame a few pixels larger than the 56 x 29 lamp picture drawn at the button's corner."""
    x, y = bounds[0], bounds[1]
    rounded_rect (ctx, *lamp_frame_box (bounds, 3), 4.5)
    ctx.set_source (vertical_gradient (y - 3, y + LAMP_H + 3, [(0, 0.0), (1, 0.25)]))
    ctx.fill ()
    rounded_rect (ctx, x - 3, y - 3 + 1, LAMP_W + 6, LAMP_H + 6, 4.5)
    ctx.set_line_width (1)
    grey (ctx, 1.0, 0.35)
    ctx.stroke ()
    rounded_rect (ctx, x - 2, y - 2, LAMP_W + 4, LAMP_H + 4, 3.5)
    grey (ctx, RECESS)
    ctx.fill ()


def draw_slider_row (ctx, bounds, caption, label_bounds):
    x, y, w, h = bounds
    draw_groove (ctx, x, y, w, h)
    set_font (ctx, CAPTION_FONT, CAPTION_SIZE)
    caption_x = x + w + 5
    width = tracked_width (ctx, caption, CAPTION_TRACKING)
    if caption_x + width > label_bounds[0] - CAPTION_GAP_TO_LABEL:
        sys.exit ("artwork: caption '%s' runs into its value label" % caption)
    grey (ctx, PANEL_INK * 0.9)
    show_tracked (ctx, caption_x, y + h / 2 + 3, caption, CAPTION_TRACKING)


TITLE_SIZE = 30
TITLE_TRACKING = 4.0


def title_length (ctx, name):
    set_font (ctx, TITLE_FONT, TITLE_SIZE)
    return tracked_width (ctx, name, TITLE_TRACKING)


def draw_vertical_title (ctx, name, product, column_x, bottom):
    """The plug-in's name in large letters reading upwards from bottom, the vendor and product beside it in small."""
    centre_x = column_centre (column_x)
    length = title_length (ctx, name)
    ctx.save ()
    ctx.translate (centre_x + 3, bottom)
    ctx.rotate (-math.pi / 2)
    set_font (ctx, TITLE_FONT, TITLE_SIZE)
    grey (ctx, 0.0, 0.6)
    show_tracked (ctx, 1, 11 + 1, name, TITLE_TRACKING)
    grey (ctx, 0.93)
    show_tracked (ctx, 0, 11, name, TITLE_TRACKING)
    set_font (ctx, SMALL_TITLE_FONT, 6.5)
    grey (ctx, 0.62)
    show_tracked (ctx, 1, -13, product, 1.6)
    small = tracked_width (ctx, product, 1.6)
    ctx.set_line_width (1)
    ctx.move_to (small + 7, -15.5)
    ctx.line_to (length - TITLE_TRACKING, -15.5)
    ctx.stroke ()
    ctx.restore ()


COLUMN_TOP = 22     # leaves the faceplate's top-right corner free for a screw


def draw_corner_screws (ctx):
    for (cx, cy), angle in (((12, 11), 0.6), ((EDITOR_W - 12, 11), -0.3)):
        screw (ctx, cx, cy, angle)


# --------------------------------------------------------------------------
# The slicer's background

SLICER_COLUMN_X = 296
SLICER_PANEL_TOP = 524


def drum_level (beats):
    """The level of a made-up one-bar drum loop, beats in 0..4: a hit every half beat,
    the kicks and snares on the beats louder, each hit decaying; a fast ripple on top."""
    hit = math.floor (beats * 2)
    since = beats * 2 - hit
    accent = 1.0 if hit % 2 == 0 else 0.55
    decay = math.exp (-since * (2.5 if hit % 2 == 0 else 4.0))
    ripple = 0.72 + 0.28 * math.sin (beats * 97.0) * math.sin (beats * 23.0 + 0.7)
    return (0.12 + 0.88 * accent * decay) * ripple


def draw_recessed_window (ctx, x0, y0, x1, y1, radius):
    rounded_rect (ctx, x0, y0, x1 - x0, y1 - y0, radius)
    grey (ctx, 0.0, 0.08)
    ctx.fill ()
    ctx.set_line_width (1)
    rounded_rect (ctx, x0 + 0.5, y0 + 1.5, x1 - x0 - 1, y1 - y0 - 1, radius)
    grey (ctx, 1.0, 0.55)
    ctx.stroke ()
    rounded_rect (ctx, x0 + 0.5, y0 + 0.5, x1 - x0 - 1, y1 - y0 - 1, radius)
    grey (ctx, 0.0, 0.30)
    ctx.stroke ()


def draw_slice_motif (ctx, x0, y0, x1, y1):
    """One bar of a drum loop running down a window, cut into sixteen slices;
    three slices are played from elsewhere and stand out darker."""
    draw_recessed_window (ctx, x0, y0, x1, y1, 5)
    slices = 16
    slice_h = (y1 - y0 - 12) / slices
    top0 = y0 + 6
    cx = (x0 + x1) / 2
    half = (x1 - x0) / 2 - 10
    ctx.set_line_width (1)
    for dx in (-half, -half / 2, half / 2, half):
        grey (ctx, 0.0, 0.10)
        ctx.move_to (round (cx + dx) + 0.5, y0 + 3)
        ctx.line_to (round (cx + dx) + 0.5, y1 - 3)
        ctx.stroke ()
    order = [0, 1, 2, 3, 4, 5, 6, 6, 8, 9, 11, 10, 12, 13, 14, 13]
    for i, source in enumerate (order):
        top = top0 + i * slice_h + 1
        bottom = top + slice_h - 2
        steps = 24
        points = [(source + s / steps, top + (bottom - top) * s / steps) for s in range (steps + 1)]
        ctx.move_to (cx, top)
        for t, y in points:
            ctx.line_to (cx + half * drum_level (t / 4), y)
        for t, y in reversed (points):
            ctx.line_to (cx - half * drum_level (t / 4), y)
        ctx.close_path ()
        grey (ctx, 0.0, 0.62 if source != i else 0.30)
        ctx.fill ()
    for i in range (0, slices + 1, 4):
        y = round (top0 + i * slice_h) + 0.5
        grey (ctx, 0.0, 0.35)
        ctx.move_to (x0 + 4, y)
        ctx.line_to (x0 + 9, y)
        ctx.move_to (x1 - 9, y)
        ctx.line_to (x1 - 4, y)
        ctx.stroke ()


def draw_emblem (ctx, cx, cy):
    """The vendor's mark: a ring cut by a bar, like a slice through a loop."""
    ctx.set_line_width (2)
    grey (ctx, 0.55)
    ctx.arc (cx, cy, 9, 0, 2 * math.pi)
    ctx.stroke ()
    ctx.rectangle (cx - 1.5, cy - 13, 3, 26)
    grey (ctx, PANEL + 0.02)
    ctx.fill ()
    ctx.rectangle (cx - 0.5, cy - 11, 1, 22)
    grey (ctx, 0.55)
    ctx.fill ()
    ctx.set_line_width (1)


def draw_slicer_background ():
    surface, ctx = new_surface (EDITOR_W, EDITOR_H)
    draw_faceplate (ctx, seed=1201)
    draw_dark_panel (ctx, SLICER_COLUMN_X, COLUMN_TOP, SLICER_PANEL_TOP, seed=1202)
    draw_corner_screws (ctx)
    screw (ctx, 12, SLICER_PANEL_TOP - 11, 1.2)
    draw_slice_motif (ctx, 184, 170, 282, 510)
    boxes = []
    for bounds, caption, _ in SLICER_BUTTONS:
        draw_lamp_recess (ctx, bounds)
        boxes.append (lamp_frame_box (bounds, 4))
        boxes.append (draw_caption_below (ctx, bounds, caption, INK))
    require_apart (boxes, "slicer lamp frames and captions")
    for bounds, caption, label_bounds, _, _ in SLICER_SLIDERS:
        draw_slider_row (ctx, bounds, caption, label_bounds)
    draw_vertical_title (ctx, "ZINTRAK", "TAVREL SLICER", SLICER_COLUMN_X, COLUMN_TOP + 14 + title_length (ctx, "ZINTRAK"))
    draw_emblem (ctx, column_centre (SLICER_COLUMN_X), SLICER_PANEL_TOP - 26)
    return surface


# --------------------------------------------------------------------------
# The looper's background

LOOPER_COLUMN_X = 296
LOOPER_PANEL_TOP = 420


def draw_loop_motif (ctx, cx, cy, radius):
    """A round window with the drum loop wrapped into a ring, the end meeting the start;
    two smaller rings are the loop window repeating and shrinking."""
    ctx.set_line_width (1)
    grey (ctx, 1.0, 0.6)
    ctx.arc (cx, cy + 1, radius, 0, 2 * math.pi)
    ctx.stroke ()
    grey (ctx, 0.0, 0.08)
    ctx.arc (cx, cy, radius, 0, 2 * math.pi)
    ctx.fill ()
    grey (ctx, 0.0, 0.30)
    ctx.arc (cx, cy, radius - 0.5, 0, 2 * math.pi)
    ctx.stroke ()
    for k in range (16):
        a = k * 2 * math.pi / 16 - math.pi / 2
        inner = radius - (9 if k % 4 == 0 else 5)
        grey (ctx, 0.0, 0.35 if k % 4 == 0 else 0.18)
        ctx.move_to (cx + inner * math.cos (a), cy + inner * math.sin (a))
        ctx.line_to (cx + (radius - 2) * math.cos (a), cy + (radius - 2) * math.sin (a))
        ctx.stroke ()
    steps = 720
    for ring_r, depth, alpha in ((radius * 0.70, radius * 0.19, 0.42), (radius * 0.43, radius * 0.10, 0.30),
                                 (radius * 0.25, radius * 0.055, 0.20)):
        angles = [s * 2 * math.pi / steps for s in range (steps + 1)]
        for i, a in enumerate (angles):
            r = ring_r + depth * drum_level (4 * a / (2 * math.pi))
            (ctx.move_to if i == 0 else ctx.line_to) (cx + r * math.sin (a), cy - r * math.cos (a))
        for a in reversed (angles):
            r = ring_r - depth * drum_level (4 * a / (2 * math.pi))
            ctx.line_to (cx + r * math.sin (a), cy - r * math.cos (a))
        ctx.close_path ()
        ctx.set_fill_rule (cairo.FILL_RULE_EVEN_ODD)
        grey (ctx, 0.0, alpha)
        ctx.fill ()
        ctx.set_fill_rule (cairo.FILL_RULE_WINDING)
    # the play head at the top, where the loop closes, and its direction of travel
    grey (ctx, 0.0, 0.6)
    ctx.move_to (cx + 0.5, cy - radius + 2)
    ctx.line_to (cx + 0.5, cy - radius * 0.16)
    ctx.stroke ()
    ctx.set_line_width (1.5)
    arc_r = radius * 0.10
    end = math.pi * 1.15
    ctx.arc (cx, cy, arc_r, -math.pi / 2 + 0.5, end)
    ctx.stroke ()
    # arrowhead pointing along the clockwise travel at the arc's end
    tip_x, tip_y = cx + arc_r * math.cos (end), cy + arc_r * math.sin (end)
    along_x, along_y = -math.sin (end), math.cos (end)
    out_x, out_y = math.cos (end), math.sin (end)
    ctx.move_to (tip_x + along_x * 4.5, tip_y + along_y * 4.5)
    ctx.line_to (tip_x + out_x * 3.5, tip_y + out_y * 3.5)
    ctx.line_to (tip_x - out_x * 3.5, tip_y - out_y * 3.5)
    ctx.close_path ()
    ctx.fill ()
    ctx.set_line_width (1)


def looper_lamp_frame_box ():
    left = LOOPER_BUTTONS[0][0][0] - 4
    right = LOOPER_BUTTONS[-1][0][0] + LAMP_W + 4
    return (left, LOOPER_BUTTONS[0][0][1] - 4, right - left, LAMP_H + 8)


def draw_looper_lamp_frame (ctx):
    """One dark frame holding the three lamps side by side."""
    left, top, w, h = looper_lamp_frame_box ()
    y = top + 4
    rounded_rect (ctx, left, top, w, h, 5)
    ctx.set_source (vertical_gradient (y - 4, y + LAMP_H + 4, [(0, 0.0), (1, 0.06)]))
    ctx.fill ()
    rounded_rect (ctx, left + 0.5, top + 1.5, w - 1, h - 1, 5)
    grey (ctx, 1.0, 0.12)
    ctx.set_line_width (1)
    ctx.stroke ()


def draw_looper_background ():
    surface, ctx = new_surface (EDITOR_W, EDITOR_H)
    draw_faceplate (ctx, seed=2201)
    draw_dark_panel (ctx, LOOPER_COLUMN_X, COLUMN_TOP, LOOPER_PANEL_TOP, seed=2202)
    draw_corner_screws (ctx)
    screw (ctx, 12, LOOPER_PANEL_TOP - 11, 1.2)
    screw (ctx, LOOPER_COLUMN_X - 11, LOOPER_PANEL_TOP - 11, 2.0)
    draw_loop_motif (ctx, 152, 218, 126)
    draw_looper_lamp_frame (ctx)
    require_apart ([draw_caption_below (ctx, bounds, caption, PANEL_INK) for bounds, caption, _ in LOOPER_BUTTONS]
                   + [looper_lamp_frame_box ()], "looper lamp frame and captions")
    for bounds, caption, label_bounds, _, _ in LOOPER_SLIDERS:
        draw_slider_row (ctx, bounds, caption, label_bounds)
    draw_vertical_title (ctx, "MORLUNE", "TAVREL LOOPER", LOOPER_COLUMN_X, 478)
    draw_emblem (ctx, column_centre (LOOPER_COLUMN_X), COLUMN_TOP + 26)
    return surface


# --------------------------------------------------------------------------
# Output

OUTPUTS = [
    ("shared_toolkit/artwork/sliderThumb.png", draw_thumb, save_palette_opaque),
    ("shared_toolkit/artwork/sliderTrack.png", draw_track, save_grey_alpha),
    ("shared_toolkit/artwork/lampOn.png", lambda: draw_lamp (True), save_grey_alpha),
    ("shared_toolkit/artwork/lampOff.png", lambda: draw_lamp (False), save_grey_alpha),
    ("slicer/artwork/slicerBackground.png", draw_slicer_background, save_grey_alpha),
    ("looper/artwork/looperBackground.png", draw_looper_background, save_grey_alpha),
]


def write_all (root):
    for relative, draw, save in OUTPUTS:
        path = os.path.join (root, relative)
        os.makedirs (os.path.dirname (path), exist_ok=True)
        save (draw (), path)


def stale_files (fresh_root):
    stale = []
    for relative, _, _ in OUTPUTS:
        committed = os.path.join (REPO_ROOT, relative)
        with open (os.path.join (fresh_root, relative), "rb") as f:
            fresh = f.read ()
        if not os.path.exists (committed):
            stale.append (relative + " (missing)")
            continue
        with open (committed, "rb") as f:
            if f.read () != fresh:
                stale.append (relative)
    return stale


# --------------------------------------------------------------------------
# Previews: the pictures put together as the editors paint them

def paint_png (ctx, path, x, y):
    ctx.set_source_surface (cairo.ImageSurface.create_from_png (path), x, y)
    ctx.paint ()


def paint_label (ctx, bounds, text):
    """White bold text 11.7 pixels high, centred vertically and left aligned inside the label's border."""
    x, y, w, h = bounds
    set_font (ctx, LABEL_FONT, 10)
    extents = ctx.font_extents ()
    size = 10 * 11.7 / (extents[0] + extents[1])
    set_font (ctx, LABEL_FONT, size)
    ascent, descent = ctx.font_extents ()[:2]
    grey (ctx, 1.0)
    ctx.move_to (x + 5, y + (h - (ascent + descent)) / 2 + ascent)
    ctx.show_text (text)


def write_preview (root, background, buttons, sliders, path):
    surface, ctx = new_surface (EDITOR_W, EDITOR_H)
    grey (ctx, 1.0)
    ctx.paint ()
    paint_png (ctx, os.path.join (root, background), 0, 0)
    lamp_dir = os.path.join (root, "shared_toolkit/artwork")
    for bounds, _, lit in buttons:
        paint_png (ctx, os.path.join (lamp_dir, "lampOn.png" if lit else "lampOff.png"), bounds[0], bounds[1])
    for bounds, _, label_bounds, label_text, position in sliders:
        paint_png (ctx, os.path.join (lamp_dir, "sliderThumb.png"), bounds[0] + min (position, THUMB_TRAVEL), bounds[1])
        paint_label (ctx, label_bounds, label_text)
    surface.write_to_png (path)
    zoomed = surface_to_image (surface).resize ((EDITOR_W * 2, EDITOR_H * 2), Image.NEAREST)
    zoomed.save (path.replace (".png", "@2x.png"))


def write_small_previews (root, out_dir):
    """Each small picture at 8 x, side by side on the dark panel grey, for a close look."""
    scale = 8
    names = ["lampOn.png", "lampOff.png", "sliderThumb.png", "sliderTrack.png"]
    images = [Image.open (os.path.join (root, "shared_toolkit/artwork", n)).convert ("RGBA") for n in names]
    width = max (i.width for i in images) * scale // 2 + 16
    height = sum (i.height * scale + 16 for i in images[:3]) + images[3].height * 4 + 16
    sheet = Image.new ("RGBA", (width, height), (43, 43, 43, 255))
    y = 8
    for image in images[:3]:
        sheet.alpha_composite (image.resize ((image.width * scale, image.height * scale), Image.NEAREST), (8, y))
        y += image.height * scale + 16
    track = images[3]
    sheet.alpha_composite (track.resize ((track.width * 2, track.height * 4), Image.NEAREST), (8, y))
    sheet.save (os.path.join (out_dir, "small-pictures.png"))


def write_previews (root, out_dir):
    os.makedirs (out_dir, exist_ok=True)
    write_preview (root, "slicer/artwork/slicerBackground.png", SLICER_BUTTONS, SLICER_SLIDERS,
                   os.path.join (out_dir, "slicer-preview.png"))
    write_preview (root, "looper/artwork/looperBackground.png", LOOPER_BUTTONS, LOOPER_SLIDERS,
                   os.path.join (out_dir, "looper-preview.png"))
    write_small_previews (root, out_dir)


# --------------------------------------------------------------------------

def main ():
    parser = argparse.ArgumentParser (description="Draws the editors' pictures.")
    parser.add_argument ("--check", action="store_true",
                         help="regenerate into a temporary directory and fail if a committed picture differs")
    parser.add_argument ("--preview", metavar="DIR",
                         help="also write pictures of the assembled editors into DIR")
    args = parser.parse_args ()

    for font in (CAPTION_FONT, TITLE_FONT, SMALL_TITLE_FONT) + ((LABEL_FONT,) if args.preview else ()):
        require_font (*font)

    if args.check:
        with tempfile.TemporaryDirectory () as fresh_root:
            write_all (fresh_root)
            stale = stale_files (fresh_root)
            if args.preview:
                write_previews (fresh_root, args.preview)
        if stale:
            print ("artwork: out of date, run tools/artwork/generate.py: " + ", ".join (stale))
            return 1
        print ("artwork: all %d pictures up to date" % len (OUTPUTS))
        return 0

    write_all (REPO_ROOT)
    if args.preview:
        write_previews (REPO_ROOT, args.preview)
    return 0


if __name__ == "__main__":
    sys.exit (main ())
