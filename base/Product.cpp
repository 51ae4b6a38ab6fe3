#include "app/Product.h"
