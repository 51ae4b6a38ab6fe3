#include "FtpFindExport.h"

#include <stdio.h>
#include <string.h>

const char kFtpFindHtmlHead[] = "<HTML>\r\n<BODY>\r\n<TABLE BORDER=1>";
const char kFtpFindHtmlTail[] = "</TABLE>\r\n</BODY>\r\n</HTML>";

namespace {

const char* SizeColumn(const FtpFindRow& row) {
  if (row.isLink) return "<LINK>";
  if (row.isFolder) return "<DIR>";
  return row.sizeText ? row.sizeText : "";
}

const char* Or(const char* text) { return text ? text : ""; }

}  // namespace

std::string FtpFindFullPath(const FtpFindRow& row) {
  std::string path = Or(row.folder);
  if (path.empty() || (path.back() != '/' && path.back() != '\\')) path += row.separator ? row.separator : '/';
  path += Or(row.name);
  return path;
}

std::string FtpFindTextLine(const FtpFindRow& row) {
  std::string full = FtpFindFullPath(row);
  char head[64];
  snprintf(head, sizeof head, "%6s%15s%20s   ", Or(row.attrText), SizeColumn(row), Or(row.dateText));
  return head + full;
}

std::string FtpFindCsvHeader(const char* attributes, const char* size, const char* modified, const char* name) {
  return FtpFindCsvField(attributes) + ";" + FtpFindCsvField(size) + ";" + FtpFindCsvField(modified) + ";" +
         FtpFindCsvField(name);
}

std::string FtpFindCsvField(const char* text) {
  text = Or(text);
  if (!strpbrk(text, ";\"\r\n")) return text;
  std::string out = "\"";
  for (const char* p = text; *p; p++) {
    if (*p == '"') out += '"';
    out += *p;
  }
  out += '"';
  return out;
}

std::string FtpFindCsvLine(const FtpFindRow& row) {
  return FtpFindCsvField(row.attrText) + ";" + FtpFindCsvField(SizeColumn(row)) + ";" +
         FtpFindCsvField(row.dateText) + ";" + FtpFindCsvField(FtpFindFullPath(row).c_str());
}

std::string FtpHtmlEscape(const char* text) {
  std::string out;
  for (const char* p = Or(text); *p; p++) {
    switch (*p) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      default: out += *p;
    }
  }
  return out;
}

std::string FtpFindHref(const char* folder, const char* name) {
  std::string path = Or(folder);
  for (char& c : path)
    if (c == '\\') c = '/';
  if (path.empty() || path.back() != '/') path += '/';
  path += Or(name);
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : path) {
    bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
                 c == '_' || c == '.' || c == '~' || c == '/';
    if (plain) {
      out += char(c);
    } else {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 15];
    }
  }
  return out;
}

std::string FtpFindHtmlHeader(const char* const titles[6]) {
  std::string out = "<TR>";
  for (int i = 0; i < 6; i++) out += "<TH>" + FtpHtmlEscape(titles[i]) + "</TH>";
  return out + "</TR>";
}

std::string FtpFindHtmlLine(const FtpFindRow& row) {
  std::string name = FtpHtmlEscape(row.name);
  std::string out = "<TR><TD>";
  if (row.hasModeWord)
    out += name;
  else
    out += "<A HREF=\"" + FtpFindHref(row.folder, row.name) + "\">" + name + "</A>";
  out += "</TD><TD ALIGN=RIGHT>";
  if (!row.isFolder && !row.isLink) out += FtpHtmlEscape(row.sizeText);
  out += "</TD><TD>" + FtpHtmlEscape(row.dateText) + "</TD><TD>";
  out += row.attrText && row.attrText[0] ? FtpHtmlEscape(row.attrText) : std::string("-");
  out += "</TD><TD>";
  out += row.isLink ? std::string("LINK") : FtpHtmlEscape(row.typeText);
  out += "</TD><TD>" + FtpHtmlEscape(row.folder);
  return out;
}
