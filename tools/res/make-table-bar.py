#!/usr/bin/python3
# Draws the dBase table view's tool bar pictures: fourteen 16x15 images in one
# 24-bit strip (the common controls' default image size), light grey
# (192,192,192) where the button face shows through. In order: first,
# previous, next, last record, more records, read all records, list/details
# mode; the seven after them are spare and empty.
#   make-table-bar.py table-bar.bmp
import sys
from PIL import Image, ImageDraw

FACE = (192, 192, 192)
BLACK, WHITE, GREY = (0, 0, 0), (255, 255, 255), (128, 128, 128)
BLUE, GREEN = (0, 64, 192), (0, 128, 0)
W, H = 16, 15
strip = Image.new("RGB", (W * 14, H), FACE)
draw = ImageDraw.Draw(strip)


def triangle(x, left, colour, dx=0):
    if left:
        draw.polygon([(x + 4 + dx, 7), (x + 9 + dx, 2), (x + 9 + dx, 12)], colour)
    else:
        draw.polygon([(x + 11 + dx, 7), (x + 6 + dx, 2), (x + 6 + dx, 12)], colour)


def bar(x, colour):
    draw.rectangle([x, 2, x + 1, 12], colour)


def rows(x, y, n, w=12):
    for i in range(n):
        draw.rectangle([x + 1, y + 3 * i, x + w, y + 3 * i + 2], WHITE, GREY)


x = 0
triangle(x, True, BLUE, 1); bar(x + 3, BLUE)           # first record
x += W
triangle(x, True, BLUE)                                # previous record
x += W
triangle(x, False, BLUE)                               # next record
x += W
triangle(x, False, BLUE, -1); bar(x + 12, BLUE)        # last record
x += W
rows(x, 1, 2); draw.polygon([(x + 7, 13), (x + 3, 9), (x + 11, 9)], GREEN)  # more records
x += W
rows(x, 1, 4); draw.rectangle([x + 12, 1, x + 14, 12], GREEN)               # read all records
x += W
rows(x, 1, 2, 6); draw.rectangle([x + 8, 1, x + 14, 12], WHITE, BLACK)      # list or details
draw.line([x + 9, 4, x + 13, 4], BLACK); draw.line([x + 9, 8, x + 13, 8], BLACK)
strip.save(sys.argv[1], "BMP")
