// Which names an HTML page's references reach in its own folder.
#include <gtest/gtest.h>

#include <string.h>

#include "tools/HtmlRefs.h"

namespace {

std::vector<std::string> Names(const char *page) { return HtmlLocalNames(page, strlen(page)); }
using List = std::vector<std::string>;

struct PageCase {
    const char *page;
    List names;
};

TEST(HtmlRefs, TagsAndTheAttributeRightAfterTheirName) {
    const PageCase cases[] = {
        {"<img src=\"a.png\">", {"a.png"}},
        {"<IMG SRC=\"a.png\">", {"a.png"}},
        {"<body background=\"bg.gif\"><a href=\"b.html\">b</a>", {"bg.gif", "b.html"}},
        {"<a\r\n  href = \"c.html\">", {"c.html"}},
        {"<a href='single.html'>", {"single.html"}},
        {"<a href=bare.html>x</a>", {"bare.html"}},
        // Another attribute first: nothing.
        {"<img alt=\"x\" src=\"a.png\">", {}},
        // Other tags and attributes: nothing.
        {"<link href=\"s.css\"><script src=\"j.js\"></script><a name=\"n\">", {}},
        // The attribute must stand inside the tag.
        {"<a>href=\"outside.html\"", {}},
        // An attribute without a value, and an unterminated quote.
        {"<a href><img src=\"open.png", {}},
        // Twice, in any case: once.
        {"<a href=\"Same.html\"><a href=\"same.html\">", {"Same.html"}},
        {"", {}},
        {"<", {}},
        {"<a href=", {}},
    };
    for (const PageCase &c : cases)
        EXPECT_EQ(Names(c.page), c.names) << c.page;
}

struct ValueCase {
    const char *value;
    const char *name; // null: no name of the page's folder
};

TEST(HtmlRefs, ValuesBecomeNamesOfThePagesFolderOrNothing) {
    const ValueCase cases[] = {
        {"a.png", "a.png"},
        {"  a.png ", "a.png"},
        // Entities and %xx escapes are decoded.
        {"Tom &amp; Jerry.html", "Tom & Jerry.html"},
        {"&#65;&#x42;.txt", "AB.txt"},
        {"my%20file.html", "my file.html"},
        {"100%25.html", "100%.html"},
        {"half%2.html", "half%2.html"},
        {"a&unknown;b.html", "a&unknown;b.html"},
        {"&#x263A;.html", nullptr}, // no single byte for it
        {"a%00.html", nullptr},
        {"a%3F.html", nullptr},
        // Steps that stay inside the folder.
        {"./a.png", "a.png"},
        {"sub/../a.png", "a.png"},
        {"sub\\..\\a.png", "a.png"},
        // Fragments and queries.
        {"#top", nullptr},
        {"page.html#part", "page.html#part"},
        {"page.php?x=1", nullptr},
        // URLs with a scheme, whatever their case, and drive paths.
        {"http://example.org/a.png", nullptr},
        {"HTTPS://example.org/", nullptr},
        {"mailto:someone@example.org", nullptr},
        {"JavaScript:void(0)", nullptr},
        {"file:a.png", nullptr},
        {"ftp://host/a.png", nullptr},
        {"data:image/png;base64,AAAA", nullptr},
        {"C:\\Windows\\win.ini", nullptr},
        {"c:a.png", nullptr},
        // Rooted paths and every way out of the folder.
        {"/a.png", nullptr},
        {"\\a.png", nullptr},
        {"//host/a.png", nullptr},
        {"../a.png", nullptr},
        {"..\\a.png", nullptr},
        {"%2e%2e/a.png", nullptr},
        {"..%2fa.png", nullptr},
        {"..%5ca.png", nullptr},
        {"sub/../../a.png", nullptr},
        {"&#46;&#46;/a.png", nullptr},
        {"..", nullptr},
        {".", nullptr},
        // A sub-folder's file is not an entry of this panel.
        {"sub/a.png", nullptr},
        {"sub%2fa.png", nullptr},
        // Names Windows cannot hold, or that name a stream.
        {"a.png:stream", nullptr},
        {"a|b.png", nullptr},
        {"a%0ab.png", nullptr},
        {"", nullptr},
    };
    for (const ValueCase &c : cases) {
        std::string name = "unchanged";
        bool found = HtmlLocalName(c.value, &name);
        EXPECT_EQ(found, c.name != nullptr) << c.value;
        if (c.name)
            EXPECT_EQ(name, c.name) << c.value;
        else
            EXPECT_EQ(name, "unchanged") << c.value;
    }
}

TEST(HtmlRefs, OverLongValuesAreNotCutIntoAnotherName) {
    std::string stem(300, 'x');
    std::string page = "<a href=\"" + stem + ".html\"><img src=\"" + std::string(3000, 'y') + "\">";
    EXPECT_EQ(HtmlLocalNames(page.data(), page.size()), List{});
    // A 258-character tag or attribute token is cut, never read past.
    std::string tag = "<" + std::string(5000, 'a') + " href=\"z.html\">";
    EXPECT_EQ(HtmlLocalNames(tag.data(), tag.size()), List{});
}

TEST(HtmlRefs, TextWithoutItsEndIsReadOnlyToItsLength) {
    const char page[] = "<a href=\"cut.html\">";
    // Cut inside the value: the quote never closes within the length.
    EXPECT_EQ(HtmlLocalNames(page, 12), List{});
    EXPECT_EQ(HtmlLocalNames(page, sizeof page - 1), List{"cut.html"});
}

} // namespace
