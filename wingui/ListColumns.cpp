#include "wingui/ListColumns.h"

#include <stdio.h>
#include <stdlib.h>

int ListColumnCount(const ListColumn *table) {
    int n = 0;
    while (table && table[n].textId != 0)
        ++n;
    return n;
}

static bool ParseLong(const char *&p, long *out) {
    char *end = nullptr;
    long v = strtol(p, &end, 10);
    if (end == p)
        return false;
    *out = v;
    p = end;
    return true;
}

void ListColumnApplyStored(ListColumn *table, int index, const char *value) {
    if (!value)
        return;
    const char *p = value;
    long width = 0, order = 0;
    if (!ParseLong(p, &width))
        return;
    while (*p == ' ')
        ++p;
    if (*p != ',')
        return;
    ++p;
    if (!ParseLong(p, &order))
        return;
    if (width <= 0)
        return;
    table[index].width = (int32_t)width;
    table[index].order = (int32_t)order;
}

int ListColumnNumberSubItems(ListColumn *table) {
    int visible = 0;
    for (int i = 0; table[i].textId != 0; ++i)
        table[i].subItem = table[i].order >= 0 ? visible++ : -1;
    return visible;
}

void ListColumnFinishLoad(ListColumn *table, int keepOrder) {
    const int count = ListColumnCount(table);
    if (count == 0)
        return;
    if (table[0].order < 0)
        table[0].order = 0;
    if (table[0].width <= 10)
        table[0].width = 100;
    if (!keepOrder) {
        for (int i = 0; i < count; ++i)
            table[i].order = table[i].subItem = i;
        return;
    }
    for (int position = 0;; ++position) {
        bool carried = false;
        for (int i = 0; i < count && !carried; ++i)
            carried = table[i].order == position;
        if (!carried) {
            if (position == 0)
                for (int i = 0; i < count; ++i)
                    table[i].order = i;
            break;
        }
    }
    ListColumnNumberSubItems(table);
}

int ListColumnFillWidth(const ListColumn *table, int clientWidth, int scrollBarWidth) {
    int sum = 0;
    for (int i = 0; table[i].textId != 0; ++i)
        if (table[i].width > 0)
            sum += table[i].width;
    int width = clientWidth - sum - scrollBarWidth - 4;
    return width < 50 ? 50 : width;
}

void ListColumnFormatStored(const ListColumn *column, char *out, size_t size) {
    snprintf(out, size, "%ld,%ld", (long)column->width, (long)column->order);
}
