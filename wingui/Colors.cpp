#include "wingui/Colors.h"

static inline uint8_t ClampByte(double v) {
    if (v <= 0)
        return 0;
    if (v >= 255)
        return 255;
    return (uint8_t)(v + 0.5);
}

uint32_t ColorToHsl(uint32_t color) {
    const double r = color & 0xFF, g = (color >> 8) & 0xFF, b = (color >> 16) & 0xFF;
    double max = r, min = r;
    if (g > max) max = g;
    if (b > max) max = b;
    if (g < min) min = g;
    if (b < min) min = b;
    const double l = (max + min) / 510.0;
    double s = 0, h = 0;
    // Greys have neither hue nor saturation; dividing by max - min would be
    // a division by zero.
    if (max != min) {
        const double d = max - min;
        s = l <= 0.5 ? d / (max + min) : d / (510.0 - max - min);
        const double rc = (max - r) / d, gc = (max - g) / d, bc = (max - b) / d;
        if (b == max)
            h = (4 + gc - rc) * 60;
        else if (g == max)
            h = (2 + rc - bc) * 60;
        else
            h = (6 + bc - gc) * 60;
        if (h > 360)
            h -= 360;
        if (h >= 360)
            h = 0;
    }
    const uint32_t hue = (uint32_t)(h * 255 / 360 + 0.5) & 0xFF;
    return hue | (uint32_t)ClampByte(l * 255) << 8 | (uint32_t)ClampByte(s * 255) << 16;
}

uint8_t HslHueToByte(double m1, double m2, double angle) {
    while (angle < 0)
        angle += 360;
    while (angle >= 360)
        angle -= 360;
    double v;
    if (angle < 60)
        v = m1 + (m2 - m1) * angle / 60;
    else if (angle < 180)
        v = m2;
    else if (angle < 240)
        v = m1 + (m2 - m1) * (240 - angle) / 60;
    else
        v = m1;
    return ClampByte(v * 255);
}

uint32_t HslToColor(uint32_t hsl) {
    const uint32_t hue = hsl & 0xFF, lum = (hsl >> 8) & 0xFF, sat = (hsl >> 16) & 0xFF;
    if (sat == 0)
        return lum | lum << 8 | lum << 16;
    const double l = lum / 255.0, s = sat / 255.0;
    const double m2 = l <= 0.5 ? l * (1 + s) : l + s - l * s;
    const double m1 = 2 * l - m2;
    const double h = hue * 360.0 / 255.0;
    const uint32_t r = HslHueToByte(m1, m2, h + 120);
    const uint32_t g = HslHueToByte(m1, m2, h);
    const uint32_t b = HslHueToByte(m1, m2, h - 120);
    return r | g << 8 | b << 16;
}

static uint32_t AdjustComponent(uint32_t value, int percent) {
    if (percent > 0)
        return value + (255 - value) * (uint32_t)percent / 100;
    if (percent < 0) {
        const int scale = percent < -100 ? 0 : percent + 100;
        return value * (uint32_t)scale / 100;
    }
    return value;
}

uint32_t ColorAdjust(uint32_t color, int lightnessPercent, int saturationPercent) {
    const uint32_t hsl = ColorToHsl(color);
    uint32_t l = AdjustComponent((hsl >> 8) & 0xFF, lightnessPercent > 100 ? 100 : lightnessPercent);
    uint32_t s = AdjustComponent((hsl >> 16) & 0xFF, saturationPercent > 100 ? 100 : saturationPercent);
    return HslToColor((hsl & 0xFF) | (l & 0xFF) << 8 | (s & 0xFF) << 16);
}
