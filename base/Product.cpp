#include "base/Product.h"
