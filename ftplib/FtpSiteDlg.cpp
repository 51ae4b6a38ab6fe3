// Site manager: the stored sites of section "FTP" and the dialogs that pick
// one before a connection opens, edit its firewall login and ask for the
// anonymous e-mail address.
#include <stdio.h>
#include <string.h>

#include <initializer_list>

#include "FtpInternal.h"
#include "FtpSites.h"

namespace {

enum {
  kDlgSites = 14300,
  kDlgMail = 14320,
  kDlgFirewall = 14340,
  kList = 14301,
  kName = 14202,
  kHost = 14203,
  kDir = 14204,
  kUser = 14302,
  kPassword = 15202,
  kAnonymous = 14303,
  kStorePassword = 14304,
  kFirewall = 14305,
  kPassive = 14306,
  kMailEdit = 14322,
  kDelete = 96,
  kNew = 97,
  kOkAlias = 99,
  kUp = 14535,
  kDown = 14536,
};

const char* const kFirewallTypes[6] = {
    "USER User@Host / Password", "Login / USER User@Host", "SITE Host", "OPEN Host",
    "USER User@FirewallUser@Host / Pass@FirewallPass", "USER FirewallUser@Host / FirewallPass"};

const char kSection[] = "FTP";

struct SiteDialog {
  FtpOpenParams* params;
  FtpSiteSettings* settings;
  char iniPath[MAX_PATH];
  char* snapshot;
  FtpIni ini;
  bool loading;
};

HINSTANCE Instance() { return gFtp.instance ? gFtp.instance : GetModuleHandleA(nullptr); }

uint32_t HostGet(void* ctx, const char* s, const char* k, const char* d, char* b, uint32_t n) {
  return gFtp.hostEx->iniGetString(s, k, d, b, n, static_cast<const char*>(ctx));
}
void HostPut(void* ctx, const char* s, const char* k, const char* v) {
  gFtp.hostEx->iniWriteString(s, k, v, static_cast<const char*>(ctx));
}
uint32_t HostGetSection(void* ctx, const char* s, char* b, uint32_t n) {
  return gFtp.hostEx->iniGetSection(s, b, n, static_cast<const char*>(ctx));
}
void HostPutSection(void* ctx, const char* s, const char* t) {
  gFtp.hostEx->iniWriteSection(s, t, static_cast<const char*>(ctx));
}

const char* MainSection(SiteDialog* d) {
  return d->params && d->params->mainSection ? d->params->mainSection : "Zq Vandrell";
}

uint32_t* CurrentNumber() {
  static uint32_t own;
  return gFtp.hostEx && gFtp.hostEx->sharedMenuWord ? gFtp.hostEx->sharedMenuWord : &own;
}

void Localise(HWND w, const uint16_t* ids) {
  if (gFtp.host && gFtp.host->localiseDialog) gFtp.host->localiseDialog(w, ids);
  if (gFtp.host && gFtp.host->center) gFtp.host->center(w);
  SetWindowLongA(w, GWL_EXSTYLE, GetWindowLongA(w, GWL_EXSTYLE) | WS_EX_CONTEXTHELP);
}

void GetText(HWND dlg, int id, char* buf, int size) {
  buf[0] = 0;
  GetDlgItemTextA(dlg, id, buf, size);
}

INT_PTR CALLBACK MailProc(HWND dlg, UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_INITDIALOG:
      SetWindowLongPtrA(dlg, GWLP_USERDATA, lp);
      Localise(dlg, nullptr);
      SendDlgItemMessageA(dlg, kMailEdit, EM_LIMITTEXT, 80, 0);
      return TRUE;
    case WM_COMMAND: {
      char* out = reinterpret_cast<char*>(GetWindowLongPtrA(dlg, GWLP_USERDATA));
      if (LOWORD(wp) == IDOK || LOWORD(wp) == kOkAlias) {
        GetText(dlg, kMailEdit, out, 81);
        EndDialog(dlg, 1);
      } else if (LOWORD(wp) == IDCANCEL) {
        out[0] = 0;
        EndDialog(dlg, 0);
      }
      return TRUE;
    }
  }
  return FALSE;
}

void AskMailAddress(HWND dlg, SiteDialog* d) {
  char pw[81];
  GetText(dlg, kPassword, pw, sizeof(pw));
  if (pw[0]) return;
  char mail[81] = "";
  d->ini.get(d->ini.ctx, MainSection(d), "MAILADDR", "", mail, sizeof(mail));
  if (!mail[0]) {
    DialogBoxParamA(Instance(), MAKEINTRESOURCEA(kDlgMail), dlg, MailProc, LPARAM(mail));
    if (mail[0]) d->ini.put(d->ini.ctx, MainSection(d), "MAILADDR", mail);
  }
  SetDlgItemTextA(dlg, kPassword, mail);
}

void AnonymousState(HWND dlg, SiteDialog* d, int options) {
  char user[81];
  GetText(dlg, kUser, user, sizeof(user));
  bool anonymous = _stricmp(user, "anonymous") == 0 || (options & kSiteAnonymous);
  HWND pw = GetDlgItem(dlg, kPassword);
  bool plain = SendMessageA(pw, EM_GETPASSWORDCHAR, 0, 0) == 0;
  bool wasLoading = d->loading;
  d->loading = true;  // the edits below are no user changes
  if (anonymous) {
    if (!plain) {
      SetWindowTextA(pw, "");
      AskMailAddress(dlg, d);
      SendMessageA(pw, EM_SETPASSWORDCHAR, 0, 0);
    }
    if (_stricmp(user, "anonymous") != 0) SetDlgItemTextA(dlg, kUser, "anonymous");
    SendDlgItemMessageA(dlg, kUser, EM_SETREADONLY, TRUE, 0);
    CheckDlgButton(dlg, kAnonymous, BST_CHECKED);
  } else {
    if (plain) {
      SetWindowTextA(pw, "");
      SendMessageA(pw, EM_SETPASSWORDCHAR, '*', 0);
    }
    SendDlgItemMessageA(dlg, kUser, EM_SETREADONLY, FALSE, 0);
    CheckDlgButton(dlg, kAnonymous, BST_UNCHECKED);
  }
  d->loading = wasLoading;
  InvalidateRect(pw, nullptr, TRUE);
}

int Options(HWND dlg) {
  int o = 0;
  if (IsDlgButtonChecked(dlg, kAnonymous) == BST_CHECKED) o |= kSiteAnonymous;
  if (IsDlgButtonChecked(dlg, kStorePassword) == BST_CHECKED) o |= kSiteStorePassword;
  if (IsDlgButtonChecked(dlg, kFirewall) == BST_CHECKED) o |= kSiteUseFirewall;
  if (IsDlgButtonChecked(dlg, kPassive) == BST_CHECKED) o |= kSitePassive;
  return o;
}

void SiteLoad(HWND dlg, SiteDialog* d) {
  uint32_t key = FtpLibMakePasswordKey();
  HWND list = GetDlgItem(dlg, kList);
  int sel = int(SendMessageA(list, LB_GETCURSEL, 0, 0));
  if (sel < 0) return;
  *CurrentNumber() = uint32_t(SendMessageA(list, LB_GETITEMDATA, WPARAM(sel), 0));
  FtpStoredSite site;
  FtpSiteRead(d->ini, int(*CurrentNumber()), key, &site);
  d->loading = true;
  SetDlgItemTextA(dlg, kName, site.name);
  SetDlgItemTextA(dlg, kHost, site.host);
  SetDlgItemTextA(dlg, kUser, site.user);
  SetDlgItemTextA(dlg, kPassword, site.password);
  SetDlgItemTextA(dlg, kDir, site.directory);
  AnonymousState(dlg, d, site.options);
  if (IsDlgButtonChecked(dlg, kAnonymous) == BST_CHECKED) {
    SetDlgItemTextA(dlg, kPassword, "");
    AskMailAddress(dlg, d);
  }
  CheckDlgButton(dlg, kStorePassword, (site.options & kSiteStorePassword) ? BST_CHECKED : BST_UNCHECKED);
  CheckDlgButton(dlg, kFirewall, (site.options & kSiteUseFirewall) ? BST_CHECKED : BST_UNCHECKED);
  CheckDlgButton(dlg, kPassive, (site.options & kSitePassive) ? BST_CHECKED : BST_UNCHECKED);
  d->loading = false;
}

void SiteSave(HWND dlg, SiteDialog* d) {
  uint32_t key = FtpLibMakePasswordKey();
  int n = int(*CurrentNumber());
  if (n <= 0) return;
  FtpStoredSite site = {};
  GetText(dlg, kName, site.name, sizeof(site.name));
  GetText(dlg, kHost, site.host, sizeof(site.host));
  GetText(dlg, kUser, site.user, sizeof(site.user));
  GetText(dlg, kPassword, site.password, sizeof(site.password));
  GetText(dlg, kDir, site.directory, sizeof(site.directory));
  site.options = Options(dlg);
  FtpSiteWrite(d->ini, n, key, site);
  HWND list = GetDlgItem(dlg, kList);
  int count = int(SendMessageA(list, LB_GETCOUNT, 0, 0));
  int sel = int(SendMessageA(list, LB_GETCURSEL, 0, 0));
  for (int i = 0; i < count; i++) {
    if (int(SendMessageA(list, LB_GETITEMDATA, WPARAM(i), 0)) != n) continue;
    char old[64] = "";
    if (SendMessageA(list, LB_GETTEXTLEN, WPARAM(i), 0) < LRESULT(sizeof(old))) SendMessageA(list, LB_GETTEXT, WPARAM(i), LPARAM(old));
    if (strcmp(old, site.name) != 0 && site.name[0]) {
      SendMessageA(list, LB_DELETESTRING, WPARAM(i), 0);
      SendMessageA(list, LB_INSERTSTRING, WPARAM(i), LPARAM(site.name));
      SendMessageA(list, LB_SETITEMDATA, WPARAM(i), LPARAM(n));
      SendMessageA(list, LB_SETCURSEL, WPARAM(sel), 0);
    }
    break;
  }
}

struct FirewallDialog {
  SiteDialog* site;
  FtpSiteSettings* settings;
};

INT_PTR CALLBACK FirewallProc(HWND dlg, UINT msg, WPARAM wp, LPARAM lp) {
  FirewallDialog* fd = reinterpret_cast<FirewallDialog*>(GetWindowLongPtrA(dlg, GWLP_USERDATA));
  switch (msg) {
    case WM_INITDIALOG: {
      SetWindowLongPtrA(dlg, GWLP_USERDATA, lp);
      fd = reinterpret_cast<FirewallDialog*>(lp);
      static const uint16_t ids[] = {14340, 0};
      Localise(dlg, ids);
      for (int id : {kHost, kUser, kPassword}) SendDlgItemMessageA(dlg, id, EM_LIMITTEXT, 80, 0);
      FtpStoredSite s;
      FtpSiteRead(fd->site->ini, int(*CurrentNumber()), FtpLibMakePasswordKey(), &s);
      SetDlgItemTextA(dlg, kHost, s.fwHost);
      SetDlgItemTextA(dlg, kUser, s.fwUser);
      SetDlgItemTextA(dlg, kPassword, s.fwPassword);
      HWND combo = GetDlgItem(dlg, kList);
      int select = 0;
      for (int i = 0; i < 6; i++) {
        int at = int(SendMessageA(combo, CB_ADDSTRING, 0, LPARAM(kFirewallTypes[i])));
        SendMessageA(combo, CB_SETITEMDATA, WPARAM(at), LPARAM(i + 1));
        if (s.fwType == i + 1) select = at;
      }
      SendMessageA(combo, CB_SETCURSEL, WPARAM(select), 0);
      SetFocus(GetDlgItem(dlg, IDOK));
      return FALSE;
    }
    case WM_COMMAND:
      if (LOWORD(wp) == IDOK || LOWORD(wp) == kOkAlias) {
        FtpStoredSite s = {};
        GetText(dlg, kHost, s.fwHost, sizeof(s.fwHost));
        GetText(dlg, kUser, s.fwUser, sizeof(s.fwUser));
        GetText(dlg, kPassword, s.fwPassword, sizeof(s.fwPassword));
        FtpCopy(fd->settings->fwHost, s.fwHost, sizeof(fd->settings->fwHost));
        FtpCopy(fd->settings->fwUser, s.fwUser, sizeof(fd->settings->fwUser));
        FtpCopy(fd->settings->fwPassword, s.fwPassword, sizeof(fd->settings->fwPassword));
        int sel = int(SendDlgItemMessageA(dlg, kList, CB_GETCURSEL, 0, 0));
        if (sel >= 0) {
          s.fwType = int(SendDlgItemMessageA(dlg, kList, CB_GETITEMDATA, WPARAM(sel), 0));
          fd->settings->fwType = s.fwType;
        }
        FtpSiteWriteFirewall(fd->site->ini, int(*CurrentNumber()), FtpLibMakePasswordKey(), s);
        EndDialog(dlg, 1);
      } else if (LOWORD(wp) == IDCANCEL) {
        EndDialog(dlg, 0);
      }
      return TRUE;
  }
  return FALSE;
}

void ClearFields(HWND dlg) {
  for (int id : {kName, kHost, kUser, kPassword, kDir}) SetDlgItemTextA(dlg, id, "");
}

void MoveEntry(HWND dlg, int delta) {
  HWND list = GetDlgItem(dlg, kList);
  int sel = int(SendMessageA(list, LB_GETCURSEL, 0, 0));
  int count = int(SendMessageA(list, LB_GETCOUNT, 0, 0));
  int to = sel + delta;
  if (sel < 0 || to < 0 || to >= count) {
    MessageBeep(0);
    return;
  }
  char text[64] = "";
  if (SendMessageA(list, LB_GETTEXTLEN, WPARAM(sel), 0) < LRESULT(sizeof(text))) SendMessageA(list, LB_GETTEXT, WPARAM(sel), LPARAM(text));
  LRESULT data = SendMessageA(list, LB_GETITEMDATA, WPARAM(sel), 0);
  SendMessageA(list, LB_DELETESTRING, WPARAM(sel), 0);
  SendMessageA(list, LB_INSERTSTRING, WPARAM(to), LPARAM(text));
  SendMessageA(list, LB_SETITEMDATA, WPARAM(to), data);
  SendMessageA(list, LB_SETCURSEL, WPARAM(to), 0);
}

void OnOk(HWND dlg, SiteDialog* d) {
  HWND list = GetDlgItem(dlg, kList);
  FtpSiteSettings* st = d->settings;
  char host[81];
  GetText(dlg, kName, st->sessionName, sizeof(st->sessionName));
  GetText(dlg, kUser, st->user, sizeof(st->user));
  GetText(dlg, kPassword, st->password, sizeof(st->password));
  GetText(dlg, kHost, host, sizeof(host));
  GetText(dlg, kDir, st->remoteDir, 260);
  FtpCopy(st->host, _strnicmp(host, "ftp://", 6) == 0 ? host + 6 : host, sizeof(st->host));
  SetDlgItemTextA(dlg, kHost, st->host);
  st->options = Options(dlg);
  int count = int(SendMessageA(list, LB_GETCOUNT, 0, 0));
  if (count == 0) {
    *CurrentNumber() = 1;
    char name[28];
    GetText(dlg, kName, name, sizeof(name));
    if (name[0]) {
      SendMessageA(list, LB_ADDSTRING, 0, LPARAM(name));
      SendMessageA(list, LB_SETITEMDATA, 0, 1);
      SendMessageA(list, LB_SETCURSEL, 0, 0);
      count = 1;
    }
  }
  SiteSave(dlg, d);
  if ((st->options & kSiteUseFirewall) && !st->fwHost[0]) {
    FtpStoredSite s;
    FtpSiteRead(d->ini, int(*CurrentNumber()), FtpLibMakePasswordKey(), &s);
    FtpCopy(st->fwHost, s.fwHost, sizeof(st->fwHost));
    FtpCopy(st->fwUser, s.fwUser, sizeof(st->fwUser));
    FtpCopy(st->fwPassword, s.fwPassword, sizeof(st->fwPassword));
    st->fwType = s.fwType;
  }
  int* order = static_cast<int*>(calloc(size_t(count) + 1, sizeof(int)));
  if (order) {
    for (int i = 0; i < count; i++) order[i] = int(SendMessageA(list, LB_GETITEMDATA, WPARAM(i), 0));
    FtpSitesRenumber(d->ini, order, count);
    free(order);
  }
  int sel = int(SendMessageA(list, LB_GETCURSEL, 0, 0));
  d->ini.put(d->ini.ctx, MainSection(d), "FTP", st->sessionName);
  EndDialog(dlg, sel >= 0 ? sel + 1 : 1);
}

void OnNew(HWND dlg, SiteDialog* d) {
  char name[28];
  GetText(dlg, kName, name, sizeof(name));
  if (!name[0]) return;
  HWND list = GetDlgItem(dlg, kList);
  int count = int(SendMessageA(list, LB_GETCOUNT, 0, 0));
  int highest = 0;
  for (int i = 0; i < count; i++) {
    int v = int(SendMessageA(list, LB_GETITEMDATA, WPARAM(i), 0));
    if (v > highest) highest = v;
  }
  int sel = int(SendMessageA(list, LB_GETCURSEL, 0, 0));
  int at = int(SendMessageA(list, LB_INSERTSTRING, WPARAM(sel >= 0 ? sel : -1), LPARAM(name)));
  SendMessageA(list, LB_SETITEMDATA, WPARAM(at), LPARAM(highest + 1));
  SendMessageA(list, LB_SETCURSEL, WPARAM(at), 0);
  *CurrentNumber() = uint32_t(highest + 1);
  SiteSave(dlg, d);
}

void OnDelete(HWND dlg, SiteDialog* d) {
  HWND list = GetDlgItem(dlg, kList);
  int sel = int(SendMessageA(list, LB_GETCURSEL, 0, 0));
  if (sel < 0) return;
  int left = int(SendMessageA(list, LB_DELETESTRING, WPARAM(sel), 0));
  if (left <= 0) {
    ClearFields(dlg);
    return;
  }
  SendMessageA(list, LB_SETCURSEL, WPARAM(sel < left ? sel : left - 1), 0);
  SiteLoad(dlg, d);
}

INT_PTR CALLBACK SitesProc(HWND dlg, UINT msg, WPARAM wp, LPARAM lp) {
  SiteDialog* d = reinterpret_cast<SiteDialog*>(GetWindowLongPtrA(dlg, GWLP_USERDATA));
  switch (msg) {
    case WM_INITDIALOG: {
      SetWindowLongPtrA(dlg, GWLP_USERDATA, lp);
      d = reinterpret_cast<SiteDialog*>(lp);
      static const uint16_t ids[] = {14300, kAnonymous, kStorePassword, kFirewall, kPassive, 0};
      Localise(dlg, ids);
      SetFocus(GetDlgItem(dlg, kList));
      SendDlgItemMessageA(dlg, kName, EM_LIMITTEXT, 27, 0);
      for (int id : {kHost, kUser, kPassword}) SendDlgItemMessageA(dlg, id, EM_LIMITTEXT, 80, 0);
      SendDlgItemMessageA(dlg, kDir, EM_LIMITTEXT, 259, 0);
      d->snapshot = FtpSitesSnapshot(d->ini);
      HWND list = GetDlgItem(dlg, kList);
      for (int n = 1;; n++) {
        char k[16], name[64] = "";
        snprintf(k, sizeof(k), "M%d", n);
        d->ini.get(d->ini.ctx, kSection, k, "", name, sizeof(name));
        if (!name[0]) break;
        int at = int(SendMessageA(list, LB_ADDSTRING, 0, LPARAM(name)));
        SendMessageA(list, LB_SETITEMDATA, WPARAM(at), LPARAM(n));
      }
      char last[64] = "";
      d->ini.get(d->ini.ctx, MainSection(d), "FTP", "", last, sizeof(last));
      int sel = last[0] ? int(SendMessageA(list, LB_FINDSTRINGEXACT, WPARAM(-1), LPARAM(last))) : -1;
      SendMessageA(list, LB_SETCURSEL, WPARAM(sel >= 0 ? sel : 0), 0);
      SiteLoad(dlg, d);
      return FALSE;
    }
    case WM_DESTROY:
      if (d) {
        free(d->snapshot);
        d->snapshot = nullptr;
      }
      return FALSE;
    case WM_COMMAND:
      switch (LOWORD(wp)) {
        case IDOK:
        case kOkAlias:
          OnOk(dlg, d);
          return TRUE;
        case IDCANCEL:
          // Every save made while the dialog was open is undone.
          FtpSitesRestore(d->ini, d->snapshot);
          EndDialog(dlg, 0);
          return TRUE;
        case kDelete:
          OnDelete(dlg, d);
          return TRUE;
        case kNew:
          OnNew(dlg, d);
          return TRUE;
        case kUp:
          MoveEntry(dlg, -1);
          return TRUE;
        case kDown:
          MoveEntry(dlg, 1);
          return TRUE;
        case kList:
          if (HIWORD(wp) == LBN_SELCHANGE) {
            SiteSave(dlg, d);
            SiteLoad(dlg, d);
          } else if (HIWORD(wp) == LBN_DBLCLK) {
            PostMessageA(dlg, WM_COMMAND, kOkAlias, 0);
          }
          return TRUE;
        case kUser:
          if (HIWORD(wp) == EN_CHANGE && !d->loading) AnonymousState(dlg, d, 0);
          return TRUE;
        case kAnonymous:
          if (HIWORD(wp) == BN_CLICKED) {
            bool on = IsDlgButtonChecked(dlg, kAnonymous) == BST_CHECKED;
            d->loading = true;
            SetDlgItemTextA(dlg, kUser, "");
            d->loading = false;
            AnonymousState(dlg, d, on ? kSiteAnonymous : 0);
          }
          return TRUE;
        case kFirewall:
          if (HIWORD(wp) == BN_CLICKED && IsDlgButtonChecked(dlg, kFirewall) == BST_CHECKED) {
            FirewallDialog fd = {d, d->settings};
            DialogBoxParamA(Instance(), MAKEINTRESOURCEA(kDlgFirewall), dlg, FirewallProc, LPARAM(&fd));
          }
          return TRUE;
      }
      return FALSE;
  }
  return FALSE;
}

}  // namespace

uint32_t FtpLibMakePasswordKey() {
  if (!gFtp.seedWord) return FtpPasswordKey(false, 0);
  if (*gFtp.seedWord) return *gFtp.seedWord;
  char temp[260] = "";
  if (gFtp.hostEx && gFtp.hostEx->pathGetTempFolder) gFtp.hostEx->pathGetTempFolder(temp, sizeof(temp));
  char letter = temp[0];
  if (letter >= 'a' && letter <= 'z') letter = char(letter - 32);
  if (letter < 'A' || letter > 'Z') letter = 'C';
  char root[4] = {letter, ':', '\\', 0};
  DWORD serial = 0;
  BOOL ok = GetVolumeInformationA(root, nullptr, 0, &serial, nullptr, nullptr, nullptr, 0);
  *gFtp.seedWord = FtpPasswordKey(ok != FALSE, serial);
  return *gFtp.seedWord;
}

int FtpLibSiteManagerDialog(HWND owner, FtpOpenParams* params, FtpSiteSettings* settings) {
  if (!gFtp.host || !gFtp.hostEx || !gFtp.hostEx->iniGetString || !gFtp.hostEx->iniWriteString ||
      !gFtp.hostEx->iniGetSection || !gFtp.hostEx->iniWriteSection)
    return 0;
  SiteDialog d = {};
  d.params = params;
  d.settings = settings;
  if (gFtp.host->iniMakePath) gFtp.host->iniMakePath(gFtp.host->app, d.iniPath);
  d.ini = {d.iniPath, &HostGet, &HostPut, &HostGetSection, &HostPutSection};
  INT_PTR r = DialogBoxParamA(Instance(), MAKEINTRESOURCEA(kDlgSites), owner, SitesProc, LPARAM(&d));
  return r > 0 ? int(r) : 0;
}
