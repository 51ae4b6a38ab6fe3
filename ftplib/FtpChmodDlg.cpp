// The chmod dialog (command 43), in which the user picks UNIX permission
// bits before the host's attribute job sends SITE chmod for each item, and
// the FTP Auto dialog (command 44) with the masks of files sent as text.
#include <stdio.h>
#include <string.h>

#include "FtpInternal.h"
#include "FtpProto.h"

namespace {

enum {
  kDlgChmodMany = 14360,
  kDlgChmodOne = 14373,
  kDlgAuto = 14350,
  kOctal = 14375,
  kAutoEdit = 14352,
  kInclDirs = 10103,
  kWithFilter = 14505,
  kFilter = 14503,
  kOkAlias = 99,
  kFlagFilter = 0x100,
  kFlagInclDirs = 0x200000,
  kModeDir = 0x10,
  kMaskUnchanged = 0x8000,
};

// Boxes 14361..14369 and their mode bits, owner, group, others.
const uint32_t kBoxBits[9] = {0x0001, 0x0002, 0x0004, 0x0020, 0x0040, 0x0080, 0x0100, 0x0200, 0x0400};
const int kFirstBox = 14361;

// Caption first ("Attributes"), then the controls whose ids are text ids.
const uint16_t kChmodIds[] = {4046, kInclDirs, kWithFilter, kFilter, 0};
const uint16_t kAutoIds[] = {kDlgAuto, 14351, 0};

HINSTANCE Instance(intptr_t given) {
  if (given) return reinterpret_cast<HINSTANCE>(given);
  return gFtp.instance ? gFtp.instance : GetModuleHandleA(nullptr);
}

void Localise(HWND w, const uint16_t* ids) {
  if (gFtp.host && gFtp.host->localiseDialog) gFtp.host->localiseDialog(w, ids);
  if (gFtp.host && gFtp.host->center) gFtp.host->center(w);
}

// Boxes from a mode word: a set bit checks its box, the others are clear.
void BoxesFromMode(HWND dlg, uint32_t mode) {
  for (int i = 0; i < 9; i++) CheckDlgButton(dlg, kFirstBox + i, (mode & kBoxBits[i]) ? BST_CHECKED : BST_UNCHECKED);
}

void MasksFromBoxes(HWND dlg, uint32_t* clear, uint32_t* set) {
  *clear = *set = kMaskUnchanged;
  for (int i = 0; i < 9; i++) {
    UINT state = IsDlgButtonChecked(dlg, kFirstBox + i);
    if (state == BST_CHECKED) *set |= kBoxBits[i];
    else if (state == BST_UNCHECKED) *clear |= kBoxBits[i];
  }
}

// Mode word of an octal number (its nine permission bits).
uint32_t ModeFromOctal(unsigned value) {
  uint32_t mode = 0;
  for (int i = 0; i < 9; i++)
    if (value & (0400u >> i)) mode |= kBoxBits[i];
  return mode;
}

struct ChmodDialog {
  JobRecord* job;
  bool one;
  bool ownText;  // the dialog itself is writing the octal field
};

// The octal field from the boxes; the field's change notice is the
// dialog's own then, not a value typed.
void ShowOctal(HWND dlg, ChmodDialog* d) {
  uint32_t clear, set;
  MasksFromBoxes(dlg, &clear, &set);
  char text[8];
  snprintf(text, sizeof text, "%03o", unsigned(FtpModeToOctal((~clear | set) & 0x7E7)));
  d->ownText = true;
  SetDlgItemTextA(dlg, kOctal, text);
  d->ownText = false;
}

INT_PTR CALLBACK ChmodProc(HWND dlg, UINT msg, WPARAM wp, LPARAM lp) {
  ChmodDialog* d = reinterpret_cast<ChmodDialog*>(GetWindowLongPtrA(dlg, GWLP_USERDATA));
  switch (msg) {
    case WM_INITDIALOG: {
      d = reinterpret_cast<ChmodDialog*>(lp);
      SetWindowLongPtrA(dlg, GWLP_USERDATA, LONG_PTR(d));
      Localise(dlg, kChmodIds);
      JobRecord* job = d->job;
      if (d->one) {
        char text[8];
        FtpFormatMode(text, sizeof text, job->itemCount & 0xFFFF);
        SendDlgItemMessageA(dlg, kOctal, EM_LIMITTEXT, 8, 0);
        d->ownText = true;
        SetDlgItemTextA(dlg, kOctal, text + 1);
        d->ownText = false;
        BoxesFromMode(dlg, job->itemCount);
        SetFocus(GetDlgItem(dlg, kOctal));
      } else {
        for (int i = 0; i < 9; i++)
          SendDlgItemMessageA(dlg, kFirstBox + i, BM_SETSTYLE, BS_AUTO3STATE, TRUE);
        uint32_t folders = job->itemInfo ? uint32_t(job->state) : job->itemCount;
        if (folders) CheckDlgButton(dlg, kInclDirs, BST_CHECKED);
        if (job->flags & kFlagFilter) CheckDlgButton(dlg, kWithFilter, BST_CHECKED);
        // Undecided where a typical folder mode (755) has its bits, so
        // that OK alone changes nothing.
        for (int i = 0; i < 9; i++)
          CheckDlgButton(dlg, kFirstBox + i, (0x05A7 & kBoxBits[i]) ? BST_INDETERMINATE : BST_UNCHECKED);
        SetFocus(GetDlgItem(dlg, IDOK));
      }
      job->state = 0;
      return FALSE;
    }
    case WM_COMMAND: {
      if (!d) return FALSE;
      int id = LOWORD(wp);
      if (id >= kFirstBox && id < kFirstBox + 9) {
        if (d->one && HIWORD(wp) == BN_CLICKED) ShowOctal(dlg, d);
        return TRUE;
      }
      switch (id) {
        case kOctal:
          if (d->one && HIWORD(wp) == EN_CHANGE && !d->ownText) {
            char text[12] = "";
            GetDlgItemTextA(dlg, kOctal, text, 9);
            unsigned value = 0;
            if (sscanf(text, "%03o", &value) == 1) BoxesFromMode(dlg, ModeFromOctal(value));
          }
          return TRUE;
        case kFilter:
          if (gFtp.hostEx && gFtp.hostEx->filterDialog) gFtp.hostEx->filterDialog(dlg, nullptr);
          return TRUE;
        case IDOK:
        case kOkAlias: {
          JobRecord* job = d->job;
          uint32_t clear, set;
          MasksFromBoxes(dlg, &clear, &set);
          job->itemCount = clear;
          job->itemInfo = set;
          job->flags &= ~uint32_t(kFlagFilter | kFlagInclDirs);
          if (IsDlgButtonChecked(dlg, kWithFilter) == BST_CHECKED) job->flags |= kFlagFilter;
          if (IsDlgButtonChecked(dlg, kInclDirs) == BST_CHECKED) job->flags |= kFlagInclDirs;
          EndDialog(dlg, 1);
          return TRUE;
        }
        case IDCANCEL:
          EndDialog(dlg, 0);
          return TRUE;
      }
      return FALSE;
    }
  }
  return FALSE;
}

INT_PTR CALLBACK AutoProc(HWND dlg, UINT msg, WPARAM wp, LPARAM lp) {
  char* patterns = reinterpret_cast<char*>(GetWindowLongPtrA(dlg, GWLP_USERDATA));
  switch (msg) {
    case WM_INITDIALOG:
      patterns = reinterpret_cast<char*>(lp);
      SetWindowLongPtrA(dlg, GWLP_USERDATA, LONG_PTR(patterns));
      Localise(dlg, kAutoIds);
      SendDlgItemMessageA(dlg, kAutoEdit, EM_LIMITTEXT, 259, 0);
      if (patterns[0]) SetDlgItemTextA(dlg, kAutoEdit, patterns);
      SetFocus(GetDlgItem(dlg, kAutoEdit));
      return FALSE;
    case WM_COMMAND:
      switch (LOWORD(wp)) {
        case IDOK:
        case kOkAlias:
          GetDlgItemTextA(dlg, kAutoEdit, patterns, 260);
          EndDialog(dlg, 1);
          return TRUE;
        case IDCANCEL:
          EndDialog(dlg, 0);
          return TRUE;
      }
      return FALSE;
  }
  return FALSE;
}

}  // namespace

int32_t FtpCmdDialogs(intptr_t* r) {
  HWND owner = reinterpret_cast<HWND>(r[1]);
  if (r[0] == kFtpChmodDialog) {
    JobRecord* job = reinterpret_cast<JobRecord*>(r[3]);
    if (!job) return 0;
    ChmodDialog d = {job, job->itemInfo <= 1 && !(job->itemCount & kModeDir)};
    return int32_t(DialogBoxParamA(Instance(r[2]), MAKEINTRESOURCEA(d.one ? kDlgChmodOne : kDlgChmodMany), owner,
                                   ChmodProc, LPARAM(&d)));
  }
  if (r[0] == kFtpAutoDialog) {
    char* patterns = reinterpret_cast<char*>(r[3]);
    if (!patterns) return 0;
    return int32_t(
        DialogBoxParamA(Instance(r[2]), MAKEINTRESOURCEA(kDlgAuto), owner, AutoProc, LPARAM(patterns)));
  }
  return -1;
}
