#include "app/bars/BarLayout.h"

#include "base/SettingsValues.h"

int DriveBarPlace(const uint16_t kinds[kDriveCount], int limit, uint16_t xs[kDriveCount],
                  uint16_t ys[kDriveCount]) {
    int x = 2, y = 2;
    bool rowEmpty = true;
    for (int i = 0; i < kDriveCount; i++) {
        xs[i] = ys[i] = 0;
        if (!kinds[i])
            continue;
        // The first button of a row stays even when the bar is narrower than
        // one button: otherwise every button would open a row of its own.
        if (!rowEmpty && x + kDriveButtonWidth >= limit) {
            x = 2;
            y += kDriveButtonHeight;
        }
        xs[i] = (uint16_t)x;
        ys[i] = (uint16_t)y;
        x += kDriveButtonWidth;
        rowEmpty = false;
    }
    return y + 18;
}

void DriveBarSpan(int bar, int barCount, int clientWidth, int *x, int *width) {
    if (barCount < 2) {
        *x = 0;
        *width = clientWidth;
        return;
    }
    int half = clientWidth / 2;
    *x = bar ? half : 0;
    *width = bar ? clientWidth - half : half;
}

bool DriveBarTakesDrops(int index, unsigned kind) {
    if (index < 0 || index > 25)
        return false;
    return kind == 1 || kind == 2 || kind == 4 || kind == 5 || kind == 7;
}

bool BarTipWanted(const char *name) { return name && (unsigned char)name[0] > ' '; }

int ToolbarCount(const ToolbarButton *buttons) {
    int n = 0;
    while (n < kToolbarButtonMax && buttons[n].command != 0)
        n++;
    return n;
}

ToolbarButton *ToolbarFindRecord(ToolbarButton *buttons, int command) {
    int n = ToolbarCount(buttons);
    for (int i = 0; i < n; i++) {
        if (buttons[i].command == command)
            return &buttons[i];
    }
    return nullptr;
}

bool ToolbarCommandOffered(int command) {
    if (command == 305 || (command >= 220 && command <= 226))
        return false;
    return ToolbarCommandIndex(command) >= 0;
}

bool ToolbarCommandTakesDrops(int command, bool on) {
    switch (command) {
    case 102:
        return true;
    case 101:
    case 103:
    case 104:
    case 105:
    case 106:
    case 109:
    case 110:
    case 121:
        return on;
    }
    return false;
}

int ToolbarPlace(const ToolbarButton *buttons, int s, int width, ToolButtonPlace out[kToolbarButtonMax]) {
    const int edge = s - 4;
    int x = 2, y = 2;
    bool secondRow = false, full = false;
    int n = ToolbarCount(buttons);
    for (int i = 0; i < kToolbarButtonMax; i++)
        out[i] = ToolButtonPlace{0, 0, 0};
    for (int i = 0; i < n; i++) {
        int command = buttons[i].command;
        if (command == kToolbarSeparatorCommand) {
            x += s / 2 - 1;
            continue;
        }
        if (command > 0 && ToolbarCommandIndex(command) < 0)
            continue;
        if (full)
            continue; // a third row is never used: the buttons stay hidden
        if (x + edge > width) {
            x = 2;
            if (secondRow) {
                full = true;
                continue;
            }
            secondRow = true;
            y = s + 2;
        }
        out[i] = ToolButtonPlace{(int16_t)x, (int16_t)y, (int16_t)edge};
        x += s - 2;
    }
    return secondRow ? 2 * s : s;
}

static const uint16_t kKeyCommands[40] = {
    700,   518, 507, 0,   // F1
    29000, 618, 607, 101, // F2
    102,   103, 813, 317, // F3
    104,   120, 814, 802, // F4
    105,   112, 815, 121, // F5
    106,   113, 816, 107, // F6
    108,   301, 817, 316, // F7
    109,   302, 310, 315, // F8
    304,   211, 303, 408, // F9
    120,   0,   111, 0,   // F10
};

int KeyBarCommand(int key, int shift) {
    if (key < 0 || key > 9 || shift < 0 || shift > 30 || shift % 10)
        return 0;
    return kKeyCommands[shift / 10 + key * 4];
}

int KeyBarShiftFrom(bool alt, bool ctrl, bool shift) { return alt ? 10 : ctrl ? 20 : shift ? 30 : 0; }

void KeyBarButtonSpan(int key, int clientWidth, int *x, int *width) {
    *x = key * clientWidth / 10;
    *width = (key + 1) * clientWidth / 10 - *x;
}

void StatusFieldsPlace(StatusFieldLayout *fields, int barWidth, int t) {
    int count = 0;
    while (fields[count].flags)
        count++;
    int x = 0;
    int fill = -1;
    for (int i = 0; i < count; i++) {
        StatusFieldLayout &f = fields[i];
        if (f.flags & kFieldSeparator) {
            f.top = 0;
            f.bottom = (int16_t)(t + 6);
        } else {
            f.top = 1;
            f.bottom = (int16_t)(t + 3);
        }
        if (f.flags & kFieldRight)
            continue;
        if (f.flags & kFieldSeparator) {
            f.left = (int16_t)(x + f.gap);
            f.right = (int16_t)(f.left + 1);
            x = f.right + 1;
        } else if (f.flags & kFieldFill) {
            f.left = (int16_t)(x + f.gap);
            x = f.left + 1;
            fill = i;
        } else {
            f.left = (int16_t)(x + f.gap);
            f.right = (int16_t)(f.left + f.width);
            x = f.right + 1;
        }
    }
    const int minLeft = x;
    int r = barWidth, g = 0;
    for (int i = count - 1; i >= 0; i--) {
        StatusFieldLayout &f = fields[i];
        if (f.flags & kFieldRight) {
            int right = r - f.gap;
            int left = right - ((f.flags & kFieldSeparator) ? 1 : f.width);
            if (left < minLeft || right < minLeft) {
                f.left = f.right = 0;
                r = -1; // everything further left is hidden too
            } else {
                f.left = (int16_t)left;
                f.right = (int16_t)right;
                g = f.gap;
                r = left - 1;
            }
        } else if (i == fill) {
            int right = r - g;
            f.right = (int16_t)(right > f.left ? right : f.left);
        }
    }
}
