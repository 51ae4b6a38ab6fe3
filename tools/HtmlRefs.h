#pragma once
// The local files an HTML page refers to: the values of <img src>,
// <body background> and <a href>, turned into names in the page's own
// folder. Pure: no windows.h, so it builds natively and is fuzzed.
#include <stddef.h>

#include <string>
#include <vector>

// Attribute values as the page writes them, in order (tag and attribute
// names in any case; only the attribute right after the tag name counts).
std::vector<std::string> HtmlReferenceValues(const char *text, size_t length);

// The name in the page's own folder that a value reaches, or false: a
// fragment alone, a URL with a scheme ("http:", "mailto:", "C:" ...), a
// query, a rooted path, a path that leaves the folder through "..", one
// that ends in a sub-folder, or a name Windows cannot hold. Entities and
// %xx escapes are decoded first; "." and "sub/.." steps fall away.
bool HtmlLocalName(const std::string &value, std::string *name);

// Both steps: the distinct local names of a page (any case counts once).
std::vector<std::string> HtmlLocalNames(const char *text, size_t length);
