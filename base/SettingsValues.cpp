#include "base/SettingsValues.h"

#include <stdio.h>
#include <string.h>

#include "base/Strings.h"

static const char *SkipBlanks(const char *p) {
    while (*p == ' ' || *p == '\t')
        p++;
    return p;
}

int IniParseNumberList(const char *text, uint32_t *values, int count) {
    for (int i = 0; i < count; i++)
        values[i] = 0;
    if (!text)
        return 0;
    int read = 0;
    const char *p = text;
    while (read < count) {
        p = SkipBlanks(p);
        if (!*p || *p == '\r' || *p == '\n')
            break; // nothing left: an empty text or a trailing ","
        bool negative = false;
        if (*p == '-' || *p == '+')
            negative = *p++ == '-';
        uint32_t value = 0;
        while (*p >= '0' && *p <= '9')
            value = value * 10u + (uint32_t)(*p++ - '0');
        values[read++] = negative ? 0u - value : value;
        while (*p && *p != ',' && *p != '\r' && *p != '\n')
            p++;
        if (*p != ',')
            break;
        p++;
    }
    return read;
}

bool IniFormatNumberList(char *out, size_t size, const uint32_t *values, int count, bool asSigned) {
    if (size == 0)
        return false;
    out[0] = 0;
    for (int i = 0; i < count; i++) {
        char one[16];
        if (asSigned)
            snprintf(one, sizeof one, i ? ",%ld" : "%ld", (long)(int32_t)values[i]);
        else
            snprintf(one, sizeof one, i ? ",%lu" : "%lu", (unsigned long)values[i]);
        if (StrAppend(out, one, size) != 0)
            return false;
    }
    return true;
}

bool IniParseWindowPos(const char *text, WindowPos *pos) {
    uint32_t v[5];
    if (IniParseNumberList(text, v, 5) != 5)
        return false;
    pos->left = (int32_t)v[0];
    pos->right = (int32_t)v[1];
    pos->top = (int32_t)v[2];
    pos->bottom = (int32_t)v[3];
    if (v[4] & 0x80) {
        pos->maximised = 3;
        pos->show = (uint8_t)(v[4] & 0x7F);
    } else {
        pos->show = (uint8_t)v[4];
    }
    return true;
}

void IniFormatWindowPos(char *out, size_t size, const WindowPos *pos) {
    snprintf(out, size, "%ld,%ld,%ld,%ld,%ld", (long)pos->left, (long)pos->right, (long)pos->top,
             (long)pos->bottom, (long)(pos->show | (pos->maximised == 3 ? 0x80 : 0)));
}

void IniParseFontValue(const char *text, IniFont *font) {
    memset(font, 0, sizeof *font);
    if (!text)
        return;
    const char *comma = strchr(text, ',');
    if (!comma)
        return;
    size_t n = (size_t)(comma - text);
    if (n > sizeof font->face - 1)
        n = sizeof font->face - 1;
    uint32_t v[14];
    // One number more than needed tells a longer list from an exact one.
    if (IniParseNumberList(comma + 1, v, 14) != 13)
        return;
    memcpy(font->face, text, n);
    font->face[n] = 0;
    for (int i = 0; i < 13; i++)
        font->values[i] = (int32_t)v[i];
}

void IniFormatFontValue(char *out, size_t size, const IniFont *font) {
    const int32_t *v = font->values;
    snprintf(out, size, "%s,%ld,%ld,%ld,%ld,%ld,%ld,%ld,%ld,%ld,%ld,%ld,%ld,%ld", font->face, (long)v[0],
             (long)v[1], (long)v[2], (long)v[3], (long)v[4], (long)v[5], (long)v[6], (long)v[7], (long)v[8],
             (long)v[9], (long)v[10], (long)v[11], (long)v[12]);
}

bool IniValidateColumns(uint16_t *codes) {
    bool haveName = false;
    for (int i = 0; i < 5; i++) {
        if (codes[i] == 0) {
            for (int j = i; j < 5; j++)
                codes[j] = 0;
            break;
        }
        for (int j = i + 1; j < 5; j++) {
            if (codes[j] == codes[i])
                return false;
        }
        if (codes[i] == 1)
            haveName = true;
    }
    return haveName;
}

const int16_t kToolbarCommands[kToolbarCommandCount] = {
    700, 101, 102, 103, 104, 802, 105, 106, 107, 108, 109, 110, 112, 113, 114, 115, 116, 117, 118, 119,
    813, 814, 815, 816, 120, 201, 204, 205, 209, 301, 305, 306, 307, 308, 309, 310, 311, 402, 403, 819,
    818, 211, 302, 303, 304, 29000, 111, 316, 317, 318, 319, 320, 121, 321, 122, 124, 123, 830, 831, 832,
    206, 207, 202, 203, 213, 214, 322, 126, 315, 324, 127, 521, 522, 523, 524, 525, 130,
};

static const int16_t kDefaultToolbar[] = {700, 120, 92,  101, 102, 104, 105, 106, 108, 109, 110, 92,  819, 301, 116,
                                          117, 211, 316, 317, 92,  830, 831, 832, 92,  319, 320, 92,  213, 214};

const int16_t kToolbarSeparator = 92;

int ToolbarCommandIndex(int command) {
    for (int i = 0; i < kToolbarCommandCount; i++) {
        if (kToolbarCommands[i] == command)
            return i;
    }
    return -1;
}

static void SetButton(ToolbarButton *b, int command) {
    b->command = (int16_t)command;
    b->image = command == kToolbarSeparator || command < 0 ? 0 : ToolbarCommandIndex(command);
    b->window = nullptr;
}

void IniParseToolbar(const char *text, ToolbarButton *buttons, uint16_t *buttonSize) {
    memset(buttons, 0, sizeof(ToolbarButton) * kToolbarButtonMax);
    uint32_t v[81];
    int n = IniParseNumberList(text, v, 81);
    int count = 0;
    uint32_t size = 0;
    if (n > 0 && v[0] <= 64) {
        size = v[0] + 4;
        for (int i = 1; i < n && count < kToolbarButtonMax; i++) {
            int32_t code = (int32_t)v[i];
            if (code == 0 || code > 78)
                break;
            if (code == 1)
                SetButton(&buttons[count++], kToolbarSeparator);
            else if (code < 0)
                SetButton(&buttons[count++], code);
            else
                SetButton(&buttons[count++], kToolbarCommands[code - 2]);
        }
    } else if (n > 0) {
        // The older form without a size: codes 1..80 are a position in the
        // command table + 1. The table is shorter than 80: codes past its
        // end name no command and are dropped.
        for (int i = 0; i < n && i < 80 && count < kToolbarButtonMax; i++) {
            if (v[i] >= 1 && v[i] <= kToolbarCommandCount)
                SetButton(&buttons[count++], kToolbarCommands[v[i] - 1]);
        }
    }
    *buttonSize = size > 31 ? 35 : 29;
    if (count == 0) {
        for (int16_t command : kDefaultToolbar)
            SetButton(&buttons[count++], command);
    }
}

void IniFormatToolbar(char *out, size_t size, const ToolbarButton *buttons, uint16_t buttonSize) {
    if (size == 0)
        return;
    snprintf(out, size, "%u", (unsigned)(buttonSize - 4));
    for (int i = 0; i < kToolbarButtonMax && buttons[i].command != 0; i++) {
        char one[16];
        int command = buttons[i].command;
        if (command == kToolbarSeparator)
            snprintf(one, sizeof one, ",1");
        else if (command < 0)
            snprintf(one, sizeof one, ",%d", command);
        else {
            int index = ToolbarCommandIndex(command);
            if (index < 0)
                continue; // not a bar command: it could not be read back
            snprintf(one, sizeof one, ",%d", index + 2);
        }
        if (StrAppend(out, one, size) != 0)
            break;
    }
}

void IniParseOptions(const char *text, OptionWords *words) {
    uint32_t v[7];
    int n = IniParseNumberList(text, v, 7);
    memset(words, 0, sizeof *words);
    if (n < 6) {
        words->confirmFlags = kDefaultConfirmFlags;
        words->panelOptions = kDefaultPanelOptions;
        words->generalOptions = kDefaultGeneralOptions;
        words->barOptions = kDefaultBarOptions;
        return;
    }
    words->confirmFlags = (uint16_t)v[0];
    words->panelOptions = (uint16_t)v[1];
    words->generalOptions = v[2];
    words->barOptions = (uint16_t)v[3];
    words->nameCase = (uint16_t)v[4];
    words->moreOptions = v[5];
    if (n == 7)
        words->splitLines = v[6];
}

void IniFormatOptions(char *out, size_t size, const OptionWords *w) {
    snprintf(out, size, "%u,%u,%lu,%u,%u,%lu,%lu", (unsigned)w->confirmFlags, (unsigned)w->panelOptions,
             (unsigned long)w->generalOptions, (unsigned)w->barOptions, (unsigned)w->nameCase,
             (unsigned long)w->moreOptions, (unsigned long)w->splitLines);
}

void IniSplitDosDate(uint16_t date, uint32_t *three) {
    three[0] = date >> 9;
    three[1] = (date >> 5) & 15;
    three[2] = date & 31;
}

uint16_t IniJoinDosDate(const uint32_t *three) {
    return (uint16_t)(((three[0] & 127) << 9) | ((three[1] & 15) << 5) | (three[2] & 31));
}

void IniSplitDosTime(uint16_t time, uint32_t *three) {
    three[0] = time >> 11;
    three[1] = (time >> 5) & 63;
    three[2] = time & 31;
}

uint16_t IniJoinDosTime(const uint32_t *three) {
    return (uint16_t)(((three[0] & 31) << 11) | ((three[1] & 63) << 5) | (three[2] & 31));
}

bool IniConvertAssocLine(char *line) {
    bool changed = false;
    for (char *p = line; *p && *p != '='; p++) {
        if (*p == ' ' || *p == ',') {
            *p = ';';
            changed = true;
        }
    }
    return changed;
}
