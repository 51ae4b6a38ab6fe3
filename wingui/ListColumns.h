// Column tables of report list views: the arithmetic without the control,
// so it builds natively too.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include "Records.h"

// Number of columns before the end record (text id 0).
int ListColumnCount(const ListColumn *table);
// Applies a stored "width,order" value to column `index`: a value that is
// not two numbers, or a width of 0 or less, leaves the column unchanged.
void ListColumnApplyStored(ListColumn *table, int index, const char *value);
// The rules after all stored values were applied: column 0's order and
// width, the orders (keepOrder: only a gap-free run of orders from 0 is
// kept), then the subitem numbers.
void ListColumnFinishLoad(ListColumn *table, int keepOrder);
// Visible columns (order 0 or more) get subitems 0, 1, 2... in table
// order; hidden ones -1. Returns the number of visible columns.
int ListColumnNumberSubItems(ListColumn *table);
// Width of a fill column: client width minus every positive width of the
// table (hidden columns too), the scroll bar and 4; at least 50.
int ListColumnFillWidth(const ListColumn *table, int clientWidth, int scrollBarWidth);
// "width,order" of a column for the settings file.
void ListColumnFormatStored(const ListColumn *column, char *out, size_t size);
