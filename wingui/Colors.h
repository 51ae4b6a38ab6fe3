// Colour arithmetic for the owner-drawn menus and bars. No windows.h: a
// colour is the 0x00BBGGRR value of a COLORREF.
#pragma once

#include <stdint.h>

// Packed HSL: hue (0-255 for 0-360 degrees) in the low byte, lightness in
// the second, saturation in the third.
uint32_t ColorToHsl(uint32_t color);
uint32_t HslToColor(uint32_t hsl);
// One channel from the two HSL helper values and an angle in degrees (any
// value: wrapped into 0-360).
uint8_t HslHueToByte(double m1, double m2, double angle);
// A positive percentage moves lightness (saturation) towards 255 by that
// share of the distance, a negative one scales it down; hue is kept.
uint32_t ColorAdjust(uint32_t color, int lightnessPercent, int saturationPercent);
