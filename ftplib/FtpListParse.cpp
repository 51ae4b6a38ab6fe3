#include "FtpListParse.h"

#include <string.h>

namespace {

struct Field {
  size_t start, end;
};

const size_t kMaxFields = 48;

bool IsBlank(char c) { return c == ' ' || c == '\t'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
char Lower(char c) { return (c >= 'A' && c <= 'Z') ? char(c + 32) : c; }

size_t Split(const char* s, size_t len, Field* f, size_t cap) {
  size_t n = 0, i = 0;
  while (i < len && n < cap) {
    while (i < len && IsBlank(s[i])) i++;
    if (i >= len) break;
    f[n].start = i;
    while (i < len && !IsBlank(s[i])) i++;
    f[n].end = i;
    n++;
  }
  return n;
}

bool AllDigits(const char* s, const Field& f) {
  if (f.end <= f.start) return false;
  for (size_t i = f.start; i < f.end; i++)
    if (!IsDigit(s[i])) return false;
  return true;
}

// Reads a decimal number; saturates instead of wrapping on absurd lengths.
uint64_t Number(const char* s, size_t from, size_t to) {
  uint64_t v = 0;
  for (size_t i = from; i < to && IsDigit(s[i]); i++) {
    uint64_t d = uint64_t(s[i] - '0');
    if (v > (UINT64_MAX - d) / 10) return UINT64_MAX;
    v = v * 10 + d;
  }
  return v;
}

int SmallNumber(const char* s, size_t from, size_t to) {
  uint64_t v = Number(s, from, to);
  return v > 100000 ? 100000 : int(v);
}

// English and German three-letter months, the German March in Latin-1,
// UTF-8 or the older "Mrz" form. 0 when the field is no month.
int MonthOf(const char* s, const Field& f) {
  static const char kEn[] = "janfebmaraprmayjunjulaugsepoctnovdec";
  static const char kDe[] = "janfebm\xe4raprmaijunjulaugsepoktnovdez";
  size_t len = f.end - f.start;
  const char* p = s + f.start;
  if (len == 4 && Lower(p[0]) == 'm' && (unsigned char)p[1] == 0xC3 &&
      ((unsigned char)p[2] == 0xA4 || (unsigned char)p[2] == 0x84) && Lower(p[3]) == 'r')
    return 3;
  if (len != 3) return 0;
  char a = Lower(p[0]), b = Lower(p[1]), c = Lower(p[2]);
  if ((unsigned char)b == 0xC4) b = char(0xE4);  // upper-case umlaut in Latin-1
  for (int m = 0; m < 12; m++) {
    if ((a == kEn[m * 3] && b == kEn[m * 3 + 1] && c == kEn[m * 3 + 2]) ||
        (a == kDe[m * 3] && b == kDe[m * 3 + 1] && c == kDe[m * 3 + 2]))
      return m + 1;
  }
  if (a == 'm' && b == 'r' && c == 'z') return 3;
  return 0;
}

// "hh:mm" with an optional AM/PM right after; false when no colon.
bool ParseTime(const char* s, const Field& f, int* hour, int* minute) {
  size_t colon = f.start;
  while (colon < f.end && s[colon] != ':') colon++;
  if (colon >= f.end || colon == f.start || !IsDigit(s[f.start])) return false;
  int h = SmallNumber(s, f.start, colon);
  size_t m0 = colon + 1, m1 = m0;
  while (m1 < f.end && IsDigit(s[m1])) m1++;
  int m = SmallNumber(s, m0, m1);
  if (f.end - m1 >= 2) {
    char a = Lower(s[m1]), b = Lower(s[m1 + 1]);
    if (b == 'm' && a == 'p' && h < 12) h += 12;
    if (b == 'm' && a == 'a' && h == 12) h = 0;  // midnight hour, not noon
  }
  if (h > 23) h -= 12;
  if (h < 0 || h > 23 || m > 59) return false;
  *hour = h;
  *minute = m;
  return true;
}

int WindowYear(int twoDigit, const FtpToday& today) {
  int y = (today.year / 100) * 100 + twoDigit;
  if (y > today.year + 1) y -= 100;  // "99" in 2026 is 1999, not 2099
  return y;
}

// DOS form "mm-dd-yy" or "mm-dd-yyyy".
bool ParseDosDate(const char* s, const Field& f, const FtpToday& today, int* y, int* mo, int* d) {
  size_t p = f.start;
  size_t a0 = p;
  while (p < f.end && IsDigit(s[p])) p++;
  if (p == a0 || p >= f.end || s[p] != '-') return false;
  size_t a1 = p++;
  size_t b0 = p;
  while (p < f.end && IsDigit(s[p])) p++;
  if (p == b0 || p >= f.end || s[p] != '-') return false;
  size_t b1 = p++;
  size_t c0 = p;
  while (p < f.end && IsDigit(s[p])) p++;
  if (p == c0 || p != f.end) return false;
  int month = SmallNumber(s, a0, a1), day = SmallNumber(s, b0, b1), year = SmallNumber(s, c0, p);
  if (month >= 1 && month <= 12) *mo = month;
  if (day >= 1 && day <= 31) *d = day;
  if (year < 100)
    year = WindowYear(year, today);
  else if (year + 1900 <= 2107)
    year += 1900;
  *y = year;
  return true;
}

bool IsTimeOrYear(const char* s, const Field& f) {
  if (AllDigits(s, f)) return f.end - f.start == 4 || f.end - f.start == 2;
  int h, m;
  return ParseTime(s, f, &h, &m);
}

// Mode letters at positions 1..9 of a UNIX mode field.
bool ModeWord(const char* p, size_t len, uint32_t* mode) {
  static const char kLetters[] = "rwxrwxrwx";
  static const uint32_t kBits[9] = {0x0001, 0x0002, 0x0004, 0x0020, 0x0040, 0x0080, 0x0100, 0x0200, 0x0400};
  if (len < 10) return false;
  uint32_t w = kFtpModeWord;
  if (p[0] == 'l') w |= kFtpModeLink;
  for (int i = 0; i < 9; i++) {
    char c = p[i + 1];
    if (c == '-') continue;
    bool exec = (i % 3) == 2;
    if (c == kLetters[i] || (exec && (c == 's' || c == 'S' || c == 't' || c == 'T'))) {
      if (!(exec && (c == 'S' || c == 'T'))) w |= kBits[i];
      continue;
    }
    return false;
  }
  *mode = w;
  return true;
}

void CopyName(FtpListEntry* out, const char* p, size_t len) {
  if (len >= sizeof(out->name)) len = sizeof(out->name) - 1;
  memcpy(out->name, p, len);
  out->name[len] = 0;
}

bool Find(const char* s, size_t len, const char* word) {
  size_t n = strlen(word);
  for (size_t i = 0; i + n <= len; i++)
    if (memcmp(s + i, word, n) == 0) return true;
  return false;
}

size_t FieldLen(const Field& f) { return f.end - f.start; }

bool Contains(const char* s, const Field& f, char c) {
  for (size_t i = f.start; i < f.end; i++)
    if (s[i] == c) return true;
  return false;
}

bool StartsNoCase(const char* s, const Field& f, const char* word) {
  size_t n = strlen(word);
  if (FieldLen(f) < n) return false;
  for (size_t i = 0; i < n; i++)
    if (Lower(s[f.start + i]) != Lower(word[i])) return false;
  return true;
}

// Positional MVS rows: data sets (type 4) and members of a partitioned
// data set (type 5).
int ParseMvs(const char* s, size_t len, int type, FtpListEntry* out) {
  int year = 0, month = 0, day = 0;
  auto takeDate = [&](size_t yp, size_t mp, size_t dp) {
    int y = SmallNumber(s, yp, yp + 4), m = SmallNumber(s, mp, mp + 2), d = SmallNumber(s, dp, dp + 2);
    year = y;
    if (m >= 1 && m <= 12) month = m;
    if (d >= 1 && d <= 31) day = d;
  };
  if (type == kSysMvs) {
    if (len < 57 || s[56] == ' ') return 0;
    takeDate(14, 19, 22);
    size_t p = 51;
    while (p < 55 && s[p] == ' ') p++;
    if (p < 55 && Lower(s[p]) == 'p' && Lower(s[p + 1]) == 'o') {
      out->attributes = kFtpAttrDirectory;
      out->size = 0;
    } else {
      size_t q = 45;
      while (q < 51 && s[q] == ' ') q++;
      out->size = Number(s, q, 51);
    }
    CopyName(out, s + 56, len - 56);
    out->dosDate = FtpDosDate(year, month, day);
    return 1;
  }
  if (len < 51) return 0;
  size_t e = 0;
  while (e < len && s[e] != ' ') e++;
  if (e == 0 || e >= 10) return 0;
  takeDate(16, 21, 24);
  int hour = SmallNumber(s, 38, 40), minute = SmallNumber(s, 41, 43);
  size_t q = 44;
  while (q < 49 && s[q] == ' ') q++;
  out->size = Number(s, q, len);
  CopyName(out, s, e);
  out->dosDate = FtpDosDate(year, month, day);
  if (hour <= 23 && minute <= 59) out->dosTime = FtpDosTime(hour, minute, 0);
  return 1;
}

bool LooksUnixLine(const char* s, size_t len) {
  if (len < 11 || s[10] != ' ') return false;
  if (s[0] != 'd' && s[0] != 'l' && s[0] != '-') return false;
  static const char kLetters[] = "rwxrwxrwx";
  for (int i = 0; i < 9; i++)
    if (s[i + 1] != kLetters[i] && s[i + 1] != '-') return false;
  return true;
}

}  // namespace

uint16_t FtpDosDate(int year, int month, int day) {
  if (year < 1980 || year > 2107 || month < 1 || month > 12 || day < 1 || day > 31) return 0;
  return uint16_t(((year - 1980) << 9) | (month << 5) | day);
}

uint16_t FtpDosTime(int hour, int minute, int second) {
  if (hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59) return 0;
  return uint16_t((hour << 11) | (minute << 5) | (second / 2));
}

int32_t FtpSystemTypeFromReply(const char* reply, int32_t current) {
  static const struct {
    const char* name;
    int32_t type;
  } kNames[] = {{"MVS", kSysMvs},          {"OS/2", kSysOs2},           {"(EXOS", kSysExos},
                {"UNIX", kSysUnix},        {"MultiNet", kSysMultiNet},  {"VMS", kSysVms},
                {"Windows_NT", kSysWindowsNt}, {"WINDOWS NT Type: L8", kSysWinNtL8},
                {"PC Type: L8", kSysPcL8}};
  if (!reply) return current;
  for (const auto& n : kNames)
    if (strstr(reply, n.name)) return n.type;
  return current;
}

int FtpParseListLine(const char* line, size_t len, int32_t* systemType, const FtpToday& today,
                     bool firstLine, FtpListEntry* out) {
  memset(out, 0, sizeof(*out));
  while (len > 0 && (line[len - 1] == '\r' || line[len - 1] == '\n' || IsBlank(line[len - 1]))) len--;
  if (len == 0) return 0;

  if (*systemType == kSysMvs || *systemType == kSysMvsMembers) {
    if (firstLine) {
      if (Find(line, len, "Lrecl")) {
        *systemType = kSysMvs;
        return 0;
      }
      if (Find(line, len, "Name")) {
        *systemType = kSysMvsMembers;
        return 0;
      }
      *systemType = kSysUnknown;
    } else if (LooksUnixLine(line, len)) {
      *systemType = kSysUnix;
    } else {
      return ParseMvs(line, len, *systemType, out);
    }
  }

  Field f[kMaxFields];
  size_t n = Split(line, len, f, kMaxFields);
  int year = today.year, month = 1, day = 1, hour = 0, minute = 0;
  bool haveTime = false, haveYear = false;
  char kind = line[0];
  size_t nameStart = 0, nameEnd = len;

  size_t unixMonth = 0;
  for (size_t i = 2; i + 3 < n; i++) {
    int m = MonthOf(line, f[i]);
    if (!m || !AllDigits(line, f[i - 1]) || !AllDigits(line, f[i + 1])) continue;
    int d = SmallNumber(line, f[i + 1].start, f[i + 1].end);
    if (d < 1 || d > 31 || !IsTimeOrYear(line, f[i + 2])) continue;
    unixMonth = i;
    break;
  }

  if (n >= 4 && ParseDosDate(line, f[0], today, &year, &month, &day)) {
    // DOS and Windows NT: date, time, <DIR> or size, name.
    if (!ParseTime(line, f[1], &hour, &minute)) return 0;
    haveTime = true;
    if (StartsNoCase(line, f[2], "<DIR>") && FieldLen(f[2]) == 5) {
      kind = 'd';
      out->attributes = kFtpAttrDirectory;
    } else if (AllDigits(line, f[2])) {
      kind = '-';
      out->size = Number(line, f[2].start, f[2].end);
    } else {
      return 0;
    }
    nameStart = f[3].start;
  } else if (unixMonth) {
    size_t i = unixMonth;
    month = MonthOf(line, f[i]);
    day = SmallNumber(line, f[i + 1].start, f[i + 1].end);
    out->size = Number(line, f[i - 1].start, f[i - 1].end);
    if (AllDigits(line, f[i + 2])) {
      year = SmallNumber(line, f[i + 2].start, f[i + 2].end);
      if (year < 100) year = WindowYear(year, today);
      haveYear = true;
    } else {
      ParseTime(line, f[i + 2], &hour, &minute);
      haveTime = true;
    }
    nameStart = f[i + 3].start;
    uint32_t mode;
    if (FieldLen(f[0]) > 9 && ModeWord(line + f[0].start, FieldLen(f[0]), &mode)) out->attributes = mode;
    if (!haveYear && (month > today.month || (month == today.month && day > today.day))) year--;
  } else if (n >= 4 && AllDigits(line, f[0])) {
    // OS/2: size, attribute letters or DIR, date, time, name.
    size_t d = 0;
    for (size_t i = 1; i + 2 < n; i++) {
      int y, mo, dd;
      if (ParseDosDate(line, f[i], today, &y, &mo, &dd) && Contains(line, f[i + 1], ':')) {
        d = i;
        break;
      }
    }
    if (!d) return 0;
    ParseDosDate(line, f[d], today, &year, &month, &day);
    ParseTime(line, f[d + 1], &hour, &minute);
    haveTime = true;
    out->size = Number(line, f[0].start, f[0].end);
    nameStart = f[d + 2].start;
    kind = '-';
    for (size_t i = 1; i < d; i++) {
      if (StartsNoCase(line, f[i], "DIR")) {
        kind = 'd';
        continue;
      }
      for (size_t k = f[i].start; k < f[i].end; k++) {
        char c = line[k];
        if (c == 'A') out->attributes |= kFtpAttrArchive;
        if (c == 'R') out->attributes |= kFtpAttrReadOnly;
        if (c == 'S') out->attributes |= kFtpAttrSystem;
      }
    }
    if (line[nameStart] == '.' && line[nameStart + 1] == '.') kind = 'd';
    if (kind == 'd') {
      out->attributes |= kFtpAttrDirectory;
      out->size = 0;
    }
  } else {
    // Nothing recognisable: the whole line is the name, without data.
    nameStart = 0;
  }

  if (kind != '-' && kind != 'f' && kind != 'd' && kind != 'l') return 0;
  const char* name = line + nameStart;
  size_t nameLen = nameEnd - nameStart;
  if (kind == 'l') {
    for (size_t k = 0; k + 1 < nameLen; k++) {
      if (name[k] == '-' && name[k + 1] == '>') {
        nameLen = k;
        while (nameLen > 0 && IsBlank(name[nameLen - 1])) nameLen--;
        break;
      }
    }
  }
  if ((kind == 'd' || kind == 'l') && nameLen > 1 && (name[nameLen - 1] == '/' || name[nameLen - 1] == '\\'))
    nameLen--;
  if (nameLen == 0) return 0;
  if ((nameLen == 1 && name[0] == '.') || (nameLen == 2 && name[0] == '.' && name[1] == '.')) return 0;
  if (kind == 'd' || kind == 'l') out->attributes |= kFtpAttrDirectory;
  CopyName(out, name, nameLen);
  if (nameStart != 0 || unixMonth) {
    out->dosDate = FtpDosDate(year, month, day);
    if (haveTime) out->dosTime = FtpDosTime(hour, minute, 0);
  }
  return 1;
}

int FtpParseListing(const char* path, const char* text, int32_t* systemType, const FtpToday& today,
                    FtpListSink sink, void* user) {
  int count = 0;
  size_t plen = path ? strlen(path) : 0;
  bool root = plen <= 1 || path[plen - 1] == '/' || path[plen - 1] == '\\';
  if (!(text && root)) {
    FtpListEntry up;
    memset(&up, 0, sizeof(up));
    strcpy(up.name, "..");
    up.attributes = kFtpAttrDirectory | kFtpAttrUpDir;
    sink(up, user);
    count++;
  }
  if (!text) return count;
  const char* p = text;
  bool first = true;
  FtpListEntry e;
  while (*p) {
    while (*p == '\r' || *p == '\n') p++;
    if (!*p) break;
    const char* start = p;
    while (*p && *p != '\r' && *p != '\n') p++;
    if (FtpParseListLine(start, size_t(p - start), systemType, today, first, &e)) {
      sink(e, user);
      count++;
    }
    first = false;
  }
  return count;
}
