// The site manager dialog on a real settings file: delete and renumber on
// OK, Cancel undoing every change, the "ftp://" prefix, passwords kept
// scrambled.
#include <gtest/gtest.h>
#include "tests/OwnWindow.h"

#include <string>
#include <thread>

#include "FtpInternal.h"
#include "FtpSites.h"
#include "FtpTestHost.h"

namespace {


const char* Ini() { return FtpTestHost::Get().iniPath.c_str(); }

uint32_t Get(void*, const char* s, const char* k, const char* d, char* b, uint32_t n) {
  return GetPrivateProfileStringA(s, k, d, b, n, Ini());
}
void Put(void*, const char* s, const char* k, const char* v) { WritePrivateProfileStringA(s, k, v, Ini()); }
uint32_t GetSection(void*, const char* s, char* b, uint32_t n) { return GetPrivateProfileSectionA(s, b, n, Ini()); }
void PutSection(void*, const char* s, const char* t) { WritePrivateProfileSectionA(s, t, Ini()); }
FtpIni Profile() { return {nullptr, &Get, &Put, &GetSection, &PutSection}; }

std::string Key(const char* section, const char* key) {
  char buf[512];
  GetPrivateProfileStringA(section, key, "<none>", buf, sizeof(buf), Ini());
  return buf;
}

std::string Section() {
  static char buf[65536];
  DWORD n = GetPrivateProfileSectionA("FTP", buf, sizeof(buf), Ini());
  return std::string(buf, n);
}

void WriteThreeSites() {
  DeleteFileA(Ini());
  FtpIni ini = Profile();
  uint32_t key = FtpLibMakePasswordKey();
  const char* names[] = {"one", "two", "three"};
  for (int i = 0; i < 3; i++) {
    FtpStoredSite s = {};
    snprintf(s.name, sizeof(s.name), "%s", names[i]);
    snprintf(s.host, sizeof(s.host), "%s.example:2%d", names[i], i);
    snprintf(s.user, sizeof(s.user), "user-%s", names[i]);
    snprintf(s.password, sizeof(s.password), "pw-%s", names[i]);
    snprintf(s.directory, sizeof(s.directory), "/%s", names[i]);
    s.options = kSiteStorePassword | kSitePassive;
    FtpSiteWrite(ini, i + 1, key, s);
  }
  WritePrivateProfileStringA("Zq Vandrell", "FTP", "one", Ini());
  WritePrivateProfileStringA("Zq Vandrell", "MAILADDR", "me@example.org", Ini());
}

// Runs the dialog on this thread while `drive` works it from another.
int RunDialog(FtpSiteSettings* out, void (*drive)(HWND)) {
  std::thread driver([drive] {
    HWND dlg = nullptr;
    // Visible only once WM_INITDIALOG has filled it.
    for (int i = 0; i < 400 && !(dlg && IsWindowVisible(dlg)); i++) {
      dlg = FindOwnWindow("#32770", "FTP sites");
      Sleep(25);
    }
    if (dlg) drive(dlg);
  });
  FtpOpenParams params = {"Zq Vandrell", nullptr, nullptr, nullptr};
  int r = FtpLibSiteManagerDialog(nullptr, &params, out);
  driver.join();
  return r;
}

void Command(HWND dlg, int id, int code = BN_CLICKED) {
  SendMessageA(dlg, WM_COMMAND, MAKEWPARAM(id, code), LPARAM(GetDlgItem(dlg, id)));
}
void Select(HWND dlg, int index) {
  SendDlgItemMessageA(dlg, 14301, LB_SETCURSEL, WPARAM(index), 0);
  Command(dlg, 14301, LBN_SELCHANGE);
}

class FtpSiteDialog : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { FtpTestHost::Get().Install(); }
};

TEST_F(FtpSiteDialog, DeleteSecondOfThreeRenumbersOnOk) {
  WriteThreeSites();
  FtpSiteSettings s = {};
  int r = RunDialog(&s, [](HWND dlg) {
    Select(dlg, 1);
    Command(dlg, 96);  // delete "two": "three" takes its place
    SetDlgItemTextA(dlg, 14203, "ftp://three.example:22");
    Command(dlg, IDOK);
  });
  EXPECT_EQ(2, r);
  EXPECT_STREQ("three", s.sessionName);
  EXPECT_STREQ("three.example:22", s.host);
  EXPECT_STREQ("user-three", s.user);
  EXPECT_STREQ("pw-three", s.password);
  EXPECT_STREQ("/three", s.remoteDir);
  EXPECT_EQ(kSiteStorePassword | kSitePassive, s.options);
  EXPECT_EQ("one", Key("FTP", "M1"));
  EXPECT_EQ("three", Key("FTP", "M2"));
  EXPECT_EQ("three.example:22", Key("FTP", "H2"));
  EXPECT_EQ("/three", Key("FTP", "D2"));
  EXPECT_EQ("<none>", Key("FTP", "M3"));
  EXPECT_EQ("<none>", Key("FTP", "H3"));
  std::string w = Key("FTP", "W2");
  EXPECT_EQ(16u, w.size());  // scrambled, never plain
  FtpStoredSite back;
  FtpSiteRead(Profile(), 2, FtpLibMakePasswordKey(), &back);
  EXPECT_STREQ("pw-three", back.password);
  EXPECT_EQ("three", Key("Zq Vandrell", "FTP"));
  char bak[64];
  EXPECT_EQ(0u, GetPrivateProfileSectionA("Bak", bak, sizeof(bak), Ini()));
}

TEST_F(FtpSiteDialog, CancelRestoresTheSection) {
  WriteThreeSites();
  std::string before = Section();
  FtpSiteSettings s = {};
  int r = RunDialog(&s, [](HWND dlg) {
    SetDlgItemTextA(dlg, 14202, "fresh");
    SetDlgItemTextA(dlg, 14203, "fresh.example");
    Command(dlg, 97);  // new site, saved at once
    Select(dlg, 2);
    SetDlgItemTextA(dlg, 14203, "changed.example");
    Select(dlg, 0);  // switching saves the changed site
    Command(dlg, IDCANCEL);
  });
  EXPECT_EQ(0, r);
  EXPECT_EQ(before, Section());
}

TEST_F(FtpSiteDialog, NoPasswordKeptWhenNotAsked) {
  WriteThreeSites();
  FtpSiteSettings s = {};
  RunDialog(&s, [](HWND dlg) {
    CheckDlgButton(dlg, 14304, BST_UNCHECKED);
    Command(dlg, IDOK);
  });
  EXPECT_EQ("<none>", Key("FTP", "W1"));
  EXPECT_STREQ("pw-one", s.password);  // still used for this connection
}

}  // namespace
