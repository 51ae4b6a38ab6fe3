// The lines of the FTP Find window's three export files (text list, CSV,
// HTML table). Names come from a server: they are data, escaped for the
// format they land in. No windows.h: built natively too.
#pragma once
#include <stdint.h>

#include <string>

// One hit as the exports see it: its texts already formatted.
struct FtpFindRow {
  const char* folder;    // folder of the hit as the server printed it
  const char* name;
  char separator;        // between folder and name in the texts
  bool isFolder;
  bool isLink;
  bool hasModeWord;      // a UNIX listing entry (no link in the HTML table)
  const char* attrText;  // attribute text, may be empty
  const char* sizeText;  // size with separators; unused for folders and links
  const char* dateText;
  const char* typeText;  // the list's type column ("<LINK>" for links)
};

// folder, separator, name; no doubled separator after a root "/".
std::string FtpFindFullPath(const FtpFindRow& row);

// "%6s%15s%20s   %s": attributes, size ("<DIR>", "<LINK>"), date, full path.
std::string FtpFindTextLine(const FtpFindRow& row);

// Header of the CSV file from the four column titles.
std::string FtpFindCsvHeader(const char* attributes, const char* size, const char* modified, const char* name);
// A field holding ";", a quote or a line end goes in quotes, its quotes doubled.
std::string FtpFindCsvField(const char* text);
std::string FtpFindCsvLine(const FtpFindRow& row);

// Text with &, <, > and the double quote written as entities.
std::string FtpHtmlEscape(const char* text);
// folder "/" name with every byte outside the URL's unreserved set and "/"
// written as %XX, so blanks, quotes and non-ASCII bytes survive in an HREF.
std::string FtpFindHref(const char* folder, const char* name);

extern const char kFtpFindHtmlHead[];  // "<HTML>", "<BODY>", "<TABLE BORDER=1>"
extern const char kFtpFindHtmlTail[];  // "</TABLE>", "</BODY>", "</HTML>"
// "<TR>" and six "<TH>" cells of the given titles, then "</TR>".
std::string FtpFindHtmlHeader(const char* const titles[6]);
std::string FtpFindHtmlLine(const FtpFindRow& row);
