#!/usr/bin/python3
# Draws the compare window's tool bar pictures: twelve 16x16 images in one
# 24-bit strip, light grey (192,192,192) where the button face shows through.
#   make-compare-bar.py compare-bar.bmp
import sys
from PIL import Image, ImageDraw, ImageFont

FACE = (192, 192, 192)
BLACK, WHITE = (0, 0, 0), (255, 255, 255)
YELLOW, DARK_YELLOW = (255, 224, 96), (160, 128, 0)
BLUE, RED, GREEN = (0, 64, 192), (192, 0, 0), (0, 128, 0)
strip = Image.new("RGB", (16 * 12, 16), FACE)
draw = ImageDraw.Draw(strip)
bold = ImageFont.truetype("/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf", 9)


def folder(x):
    draw.polygon([(x + 1, 4), (x + 5, 4), (x + 6, 5), (x + 13, 5), (x + 13, 13), (x + 1, 13)], YELLOW, DARK_YELLOW)


def arrow(x, left, colour):
    y = 9
    if left:
        draw.polygon([(x + 3, y), (x + 7, y - 4), (x + 7, y + 4)], colour)
        draw.rectangle([x + 7, y - 1, x + 12, y + 1], colour)
    else:
        draw.polygon([(x + 13, y), (x + 9, y - 4), (x + 9, y + 4)], colour)
        draw.rectangle([x + 4, y - 1, x + 9, y + 1], colour)


def page(x, y, w=8, h=10):
    draw.rectangle([x, y, x + w, y + h], WHITE, BLACK)
    for row in range(y + 3, y + h - 1, 2):
        draw.line([x + 2, row, x + w - 2, row], (128, 128, 128))


def pencil(x, y):
    draw.line([x + 4, y + 10, x + 11, y + 3], DARK_YELLOW, 3)
    draw.line([x + 3, y + 12, x + 4, y + 11], BLACK, 1)


def text(x, s, colour, y=3):
    w = draw.textlength(s, font=bold)
    draw.text((x + (16 - w) / 2, y), s, fill=colour, font=bold)


images = []
x = 0
# open both files
folder(x); page(x + 7, 1, 6, 8)
x += 16
# open the left file, the right file
folder(x); arrow(x, True, BLUE)
x += 16
folder(x); arrow(x, False, BLUE)
x += 16
# edit the left file, the right file
page(x + 1, 2, 7, 11); pencil(x + 3, 1); draw.rectangle([x, 1, x + 1, 14], BLUE)
x += 16
page(x + 6, 2, 7, 11); pencil(x + 1, 1); draw.rectangle([x + 14, 1, x + 15, 14], BLUE)
x += 16
# refresh: two turning arrows
draw.arc([x + 2, 2, x + 13, 13], 200, 340, GREEN, 2)
draw.arc([x + 2, 2, x + 13, 13], 20, 160, GREEN, 2)
draw.polygon([(x + 11, 1), (x + 14, 5), (x + 10, 6)], GREEN)
draw.polygon([(x + 4, 14), (x + 1, 10), (x + 5, 9)], GREEN)
x += 16
# search: a magnifier
draw.ellipse([x + 1, 1, x + 10, 10], (224, 240, 255), BLACK)
draw.line([x + 9, 9, x + 14, 14], BLACK, 3)
x += 16
# copy: two pages
page(x + 1, 1, 8, 10); page(x + 6, 4, 8, 10)
x += 16
# ignore spaces: a space mark between two letters
text(x, "a b", BLACK, 1); draw.line([x + 2, 13, x + 13, 13], RED, 1)
x += 16
# case sensitive
text(x, "Aa", BLACK)
x += 16
# line links: two columns joined
draw.rectangle([x + 1, 2, x + 5, 13], WHITE, BLACK); draw.rectangle([x + 10, 2, x + 14, 13], WHITE, BLACK)
draw.line([x + 5, 5, x + 10, 10], RED, 1); draw.line([x + 5, 10, x + 10, 5], BLUE, 1)
x += 16
# differences only: "not equal"
draw.line([x + 3, 6, x + 12, 6], RED, 2); draw.line([x + 3, 10, x + 12, 10], RED, 2)
draw.line([x + 10, 2, x + 5, 14], RED, 1)
strip.save(sys.argv[1], "BMP")
