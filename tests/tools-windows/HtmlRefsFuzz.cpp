// libFuzzer harness: any bytes as a page and as one attribute value.
#include <stddef.h>
#include <stdint.h>

#include <string>

#include "tools/HtmlRefs.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    HtmlLocalNames((const char *)data, size);
    std::string name;
    HtmlLocalName(std::string((const char *)data, size), &name);
    return 0;
}
