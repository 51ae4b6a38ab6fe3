// Drag and drop between the panels and other programs, as Wine's OLE runs
// it: a drag out of a panel into a drop target of this test program, and the
// panel's data object asked the way a drop target asks.
#include <gtest/gtest.h>

#include <windows.h>
#include <ole2.h>
#include <shellapi.h>
#include <shlobj.h>

#include <stdio.h>
#include <algorithm>
#include <utility>
#include <string.h>
#include <string>
#include <vector>

#include "AppState.h"
#include "ZipCore.h"
#include "app/DirWatch.h"
#include "frontends/ArcFrontEnd.h"
#include "panels/PanelDrag.h"
#include "panels/PanelIter.h"
#include "panels/PanelList.h"
#include "panels/PanelNav.h"
#include "panels/PanelPaint.h"
#include "panels/PanelRefresh.h"
#include "panels/PanelWindow.h"
#include "wingui/WindowUtil.h"

namespace {

char gRoot[MAX_PATH];
std::vector<UINT> gCommands;

LRESULT CALLBACK TestMainProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_SIZE) {
        PanelRelayoutAll();
        return 0;
    }
    if (message == WM_COMMAND) {
        gCommands.push_back(LOWORD(wParam));
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

std::string Path(const char *rel) { return std::string(gRoot) + "\\" + rel; }

void MakeFile(const std::string &path, const std::string &text) {
    HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE) << path;
    DWORD done;
    WriteFile(h, text.data(), (DWORD)text.size(), &done, nullptr);
    CloseHandle(h);
}

std::string ReadFileText(const std::string &path) {
    HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return "<missing>";
    char buffer[256];
    DWORD got = 0;
    ReadFile(h, buffer, sizeof buffer, &got, nullptr);
    CloseHandle(h);
    return std::string(buffer, got);
}

void RemoveTree(const std::string &dir) {
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA((dir + "\\*").c_str(), &fd);
    if (h != INVALID_HANDLE_VALUE) {
        do {
            std::string name = fd.cFileName;
            if (name == "." || name == "..")
                continue;
            std::string full = dir + "\\" + name;
            if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveTree(full);
            else
                DeleteFileA(full.c_str());
        } while (FindNextFileA(h, &fd));
        FindClose(h);
    }
    RemoveDirectoryA(dir.c_str());
}

void Pump(DWORD ms) {
    DWORD end = GetTickCount() + ms;
    do {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        Sleep(5);
    } while ((int)(end - GetTickCount()) > 0);
}

template <class F> bool WaitFor(F cond, DWORD limitMs) {
    DWORD start = GetTickCount();
    while (GetTickCount() - start < limitMs) {
        Pump(10);
        if (cond())
            return true;
    }
    return false;
}

void WaitIdle() {
    const uint32_t pending = kRefreshWanted | kRefreshBusy;
    WaitFor([&] { return !(gRefreshFlags[0].load() & pending) && !(gRefreshFlags[1].load() & pending); }, 30000);
    Pump(50);
}

std::vector<std::string> Names(int panel) {
    std::vector<std::string> names;
    PanelIter it;
    for (FileEntry *e = PanelIterBegin(&it, panel); e; e = PanelIterNext(&it))
        names.push_back(EntryName(e));
    PanelIterEnd(&it);
    return names;
}

int IndexOf(int panel, const char *name) {
    auto names = Names(panel);
    for (size_t i = 0; i < names.size(); i++)
        if (names[i] == name)
            return (int)i;
    return -1;
}

uint8_t MarkOf(int panel, const char *name) {
    PanelIter it;
    uint8_t mark = 0xFF;
    for (FileEntry *e = PanelIterBegin(&it, panel); e; e = PanelIterNext(&it))
        if (!strcmp(EntryName(e), name))
            mark = e->mark;
    PanelIterEnd(&it);
    return mark;
}

void Mark(int panel, std::initializer_list<const char *> names) {
    PanelMarkGroup(panel, kMarkClear, true, nullptr);
    PanelIter it;
    for (FileEntry *e = PanelIterBegin(&it, panel); e; e = PanelIterNext(&it))
        for (const char *n : names)
            if (!strcmp(EntryName(e), n))
                e->mark = 1;
    PanelIterEnd(&it);
}

void CursorTo(int panel, const char *name) {
    int at = IndexOf(panel, name);
    ASSERT_GE(at, 0) << name;
    gApp->cursorIndex[panel] = (uint32_t)at;
}

void ChangeTo(int panel, const std::string &path) {
    ASSERT_EQ(PanelChangeDir(path.c_str(), panel), 0);
    WaitIdle();
}

std::vector<std::string> DropNames(HDROP drop) {
    std::vector<std::string> names;
    UINT count = DragQueryFileA(drop, 0xFFFFFFFF, nullptr, 0);
    for (UINT i = 0; i < count; i++) {
        char path[MAX_PATH];
        DragQueryFileA(drop, i, path, sizeof path);
        names.push_back(path);
    }
    return names;
}

// What a drop target reads: CF_HDROP through GetData, the names in it.
std::vector<std::string> AskFiles(IDataObject *data, HRESULT *result = nullptr) {
    FORMATETC format = {CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    STGMEDIUM medium = {};
    HRESULT hr = data->GetData(&format, &medium);
    if (result)
        *result = hr;
    if (hr != S_OK)
        return {};
    std::vector<std::string> names = DropNames((HDROP)medium.hGlobal);
    ReleaseStgMedium(&medium);
    return names;
}

// A drop target of this program: accepts a copy, lets the (simulated) left
// button go once the drag is over it, and reads the files at Drop.
class TestDropTarget final : public IDropTarget {
  public:
    std::vector<std::string> files;
    int enters = 0, drops = 0;
    DWORD dropKeys = 0, overKeys = 0;

    STDMETHODIMP QueryInterface(REFIID iid, void **out) override {
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDropTarget)) {
            *out = this;
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP DragEnter(IDataObject *, DWORD, POINTL, DWORD *effect) override {
        enters++;
        *effect = DROPEFFECT_COPY;
        return S_OK;
    }
    STDMETHODIMP DragOver(DWORD keys, POINTL, DWORD *effect) override {
        *effect = DROPEFFECT_COPY;
        overKeys |= keys;
        SetLeftButton(false); // the user lets go over this window
        return S_OK;
    }
    STDMETHODIMP DragLeave() override { return S_OK; }
    STDMETHODIMP Drop(IDataObject *data, DWORD keys, POINTL, DWORD *effect) override {
        drops++;
        dropKeys = keys;
        files = AskFiles(data);
        *effect = files.empty() ? DROPEFFECT_NONE : DROPEFFECT_COPY;
        return S_OK;
    }

    // Wine's drag loop reads the buttons from the thread's key state.
    static void SetLeftButton(bool down, int button = VK_LBUTTON) {
        BYTE keys[256];
        GetKeyboardState(keys);
        keys[VK_LBUTTON] = keys[VK_RBUTTON] = 0;
        keys[button] = down ? 0x80 : 0;
        SetKeyboardState(keys);
    }
};

DWORD WINAPI Watchdog(void *arg) {
    auto *p = (std::pair<HANDLE, DWORD> *)arg;
    if (WaitForSingleObject(p->first, 15000) == WAIT_TIMEOUT)
        PostThreadMessageA(p->second, WM_KEYDOWN, VK_ESCAPE, 1);
    return 0;
}

// A top-level window of this program that takes OLE drops.
struct DropWindow {
    HWND window = nullptr;
    TestDropTarget target;
    DropWindow() {
        // A window of its own class: a static control is transparent to
        // hit tests, and the drag would look right through it.
        WNDCLASSA wc = {};
        wc.lpfnWndProc = DefWindowProcA;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.hbrBackground = GetSysColorBrush(COLOR_WINDOW);
        wc.lpszClassName = "PanelDragTestTarget";
        RegisterClassA(&wc);
        window = CreateWindowExA(WS_EX_TOPMOST, "PanelDragTestTarget", "drop here", WS_POPUP | WS_VISIBLE | WS_BORDER,
                                 990, 300, 240, 240, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
        RegisterDragDrop(window, &target);
        Pump(50);
    }
    ~DropWindow() {
        RevokeDragDrop(window);
        DestroyWindow(window);
        TestDropTarget::SetLeftButton(false);
    }
    // Presses the left button on the panel's cursor row, holds it and lets it
    // go over this window.
    void DragFrom(int panel) {
        RECT r;
        GetWindowRect(window, &r);
        SetCursorPos((r.left + r.right) / 2, (r.top + r.bottom) / 2);
        TestDropTarget::SetLeftButton(true);
        HWND list = gApp->panels[panel].listWindow;
        RECT row;
        PanelEntryRect(list, panel, &row, gApp->cursorIndex[panel]);
        POINT at = {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
        POINT cursor = {};
        GetCursorPos(&cursor);
        HWND under = WindowFromPoint(at);
        char cls[64] = "";
        GetClassNameA(under, cls, sizeof cls);
        DWORD pid = 0;
        GetWindowThreadProcessId(under, &pid);
        RECT ur = {};
        GetWindowRect(under, &ur);
        fprintf(stderr, "drag: target %p, under the cursor %p %s pid %lu (me %lu) %ld,%ld-%ld,%ld, cursor %ld,%ld\n",
                (void *)window, (void *)under, cls, pid, GetCurrentProcessId(), ur.left, ur.top, ur.right, ur.bottom,
                cursor.x, cursor.y);
        // A drag that never reaches this window must not hang the test:
        // Escape ends Wine's drag loop.
        DWORD thread = GetCurrentThreadId();
        HANDLE done = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        std::pair<HANDLE, DWORD> watch(done, thread);
        HANDLE watchdog = CreateThread(nullptr, 0, Watchdog, &watch, 0, nullptr);
        SendMessageA(list, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(40, (row.top + row.bottom) / 2));
        WaitFor([&] { return target.drops > 0 || !(gDragFlags & 1); }, 100);
        WaitFor([&] { return !(gDragFlags & 1); }, 20000);
        SetEvent(done);
        WaitForSingleObject(watchdog, INFINITE);
        CloseHandle(watchdog);
        CloseHandle(done);
        fprintf(stderr, "drag: %d enters, %d drops\n", target.enters, target.drops);
    }
};

void MakeZip(const std::string &path, const std::vector<std::pair<std::string, std::string>> &members) {
    FILE *out = ArcFileOpen(path.c_str(), "w+b");
    ASSERT_TRUE(out);
    ZipWriter writer(out);
    std::string scratch = path + ".member";
    for (const auto &m : members) {
        FILE *src = ArcFileOpen(scratch.c_str(), "w+b");
        fwrite(m.second.data(), 1, m.second.size(), src);
        fflush(src);
        ASSERT_EQ(writer.AddFile(src, m.first, false, 0x5021, 0x6000, 0x20, 6, ArcProgress()), 0);
        fclose(src);
    }
    ASSERT_EQ(writer.Finish(), 0);
    fclose(out);
    DeleteFileA(scratch.c_str());
}

class PanelDrag : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
        OleInitialize(nullptr);
        strcpy(gRoot, "T:\\panel-drag-work");
        RemoveTree(gRoot);
        CreateDirectoryA(gRoot, nullptr);
        for (const char *d : {"src", "src\\folder", "dst", "arc"})
            CreateDirectoryA(Path(d).c_str(), nullptr);
        for (const char *f : {"src\\one.txt", "src\\two.txt", "src\\three.txt", "src\\folder\\inner.txt"})
            MakeFile(Path(f), f);
        MakeZip(Path("arc\\pack.zip"), {{"a.txt", "member a"}, {"b.txt", "member b"}, {"dir/c.txt", "member c"}});
        gApp = (AppState *)calloc(1, sizeof(AppState));
        gApp->hInstance = GetModuleHandleA(nullptr);
        InitializeCriticalSection(&gApp->dialogListLock); // as start-up makes it: the job dialogs register there
        gApp->panelOptions = kPanelShowTitle;
        gApp->changeNotify[0] = gApp->changeNotify[1] = INVALID_HANDLE_VALUE;
        gApp->panelFilter[0].allowedAttributes = gApp->panelFilter[1].allowedAttributes = 55;
        strcpy(gApp->panelPath[0], Path("src").c_str());
        strcpy(gApp->panelPath[1], Path("dst").c_str());
        WNDCLASSA wc = {};
        wc.lpfnWndProc = TestMainProc;
        wc.hInstance = gApp->hInstance;
        wc.lpszClassName = "PanelDragTestMain";
        RegisterClassA(&wc);
        // Topmost, and away from the corner where other test programs put
        // their windows.
        gMainWindow = CreateWindowExA(WS_EX_TOPMOST, "PanelDragTestMain", "panels",
                                      WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN, 40, 440, 900, 560, nullptr, nullptr,
                                      gApp->hInstance, nullptr);
        for (int p = 0; p < 2; p++)
            PanelCreateWindows(gMainWindow, p);
        PanelRelayoutAll();
        gApp->isWinNT = AppIsWinNt(); // as the main window has it: the refresh thread asks for the shares
        ASSERT_TRUE(PanelRefreshStart());
        WaitFor([] { return PanelListCount(0) > 0 && PanelListCount(1) > 0; }, 5000);
        WaitIdle();
        DragCreateDropSource();
    }
    static void TearDownTestSuite() {
        DragReleaseDropSource();
        PanelRefreshStop();
        DestroyWindow(gMainWindow);
    }
    void SetUp() override {
        gApp->activePanel = 0;
        for (int p = 0; p < 2; p++)
            PanelMarkGroup(p, kMarkClear, true, nullptr);
    }
};

} // namespace

TEST_F(PanelDrag, DragOutOfAPanelDropsTheMarkedFilesOnAnotherWindow) {
    ChangeTo(0, Path("src"));
    Mark(0, {"one.txt", "three.txt", "folder"});
    CursorTo(0, "one.txt");
    DropWindow drop;
    drop.DragFrom(0);
    ASSERT_EQ(drop.target.drops, 1);
    std::vector<std::string> want = {Path("src\\folder"), Path("src\\one.txt"), Path("src\\three.txt")};
    std::vector<std::string> got = drop.target.files;
    std::sort(got.begin(), got.end());
    EXPECT_EQ(got, want);
    // A finished copy turns the marks into restorable ones.
    EXPECT_EQ(MarkOf(0, "one.txt"), 2);
    EXPECT_EQ(MarkOf(0, "folder"), 2);
    EXPECT_EQ(MarkOf(0, "two.txt"), 0);
}

TEST_F(PanelDrag, NothingMarkedDragsTheCursorEntry) {
    ChangeTo(0, Path("src"));
    CursorTo(0, "two.txt");
    DropWindow drop;
    drop.DragFrom(0);
    ASSERT_EQ(drop.target.drops, 1);
    EXPECT_EQ(drop.target.files, std::vector<std::string>{Path("src\\two.txt")});
}

TEST_F(PanelDrag, ArchiveMembersAreExtractedOnceAndOnlyWhenAsked) {
    ChangeTo(0, Path("arc"));
    CursorTo(0, "pack.zip");
    SendMessageA(gApp->panels[0].listWindow, WM_KEYDOWN, VK_RETURN, 1);
    ASSERT_TRUE(WaitFor([] { return gApp->panels[0].location && IndexOf(0, "a.txt") >= 0; }, 5000));
    WaitIdle();
    Mark(0, {"a.txt", "dir"});

    IDataObject *data = DragNewDataObject(0);
    ASSERT_TRUE(data);
    // Asking which formats there are extracts nothing.
    FORMATETC hdrop = {CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    EXPECT_EQ(data->QueryGetData(&hdrop), S_OK);
    FORMATETC text = {CF_TEXT, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    EXPECT_NE(data->QueryGetData(&text), S_OK); // the format asked for counts, not only the medium
    FORMATETC file = {CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_FILE};
    EXPECT_EQ(data->QueryGetData(&file), DV_E_TYMED);
    FORMATETC thumb = {CF_HDROP, nullptr, DVASPECT_THUMBNAIL, -1, TYMED_HGLOBAL};
    EXPECT_EQ(data->QueryGetData(&thumb), DV_E_DVASPECT);
    STGMEDIUM medium = {};
    EXPECT_EQ(data->GetData(&text, &medium), DV_E_FORMATETC);
    IEnumFORMATETC *formats = nullptr;
    ASSERT_EQ(data->EnumFormatEtc(DATADIR_GET, &formats), S_OK);
    FORMATETC got[3];
    ULONG fetched = 0;
    EXPECT_EQ(formats->Next(3, got, &fetched), S_FALSE);
    EXPECT_EQ(fetched, 1u);
    EXPECT_EQ(got[0].cfFormat, CF_HDROP);
    formats->Release();

    std::vector<std::string> first = AskFiles(data);
    ASSERT_EQ(first.size(), 2u);
    // The files are real files in a folder of their own under the temporary
    // folder, with the members' contents.
    std::string folder = first[0].substr(0, first[0].rfind('\\'));
    EXPECT_EQ(ReadFileText(folder + "\\a.txt"), "member a");
    EXPECT_EQ(ReadFileText(folder + "\\dir\\c.txt"), "member c");
    EXPECT_EQ(GetFileAttributesA((folder + "\\b.txt").c_str()), INVALID_FILE_ATTRIBUTES);
    // A second request gets the same files, extracted no second time.
    DeleteFileA((folder + "\\a.txt").c_str());
    EXPECT_EQ(AskFiles(data), first);
    EXPECT_EQ(GetFileAttributesA((folder + "\\a.txt").c_str()), INVALID_FILE_ATTRIBUTES);
    data->Release();

    // Only ".." offers nothing: GetData fails and no drop can happen.
    PanelMarkGroup(0, kMarkClear, true, nullptr);
    CursorTo(0, "..");
    data = DragNewDataObject(0);
    HRESULT hr = S_OK;
    EXPECT_TRUE(AskFiles(data, &hr).empty());
    EXPECT_EQ(hr, OLE_E_NOTRUNNING);
    data->Release();

    SendMessageA(gApp->panels[0].listWindow, WM_KEYDOWN, VK_RETURN, 1);
    ASSERT_TRUE(WaitFor([] { return !gApp->panels[0].location; }, 5000));
    WaitIdle();
}

TEST_F(PanelDrag, APlainClickStartsNoDrag) {
    ChangeTo(0, Path("src"));
    CursorTo(0, "one.txt");
    DropWindow drop;
    TestDropTarget::SetLeftButton(false);
    HWND list = gApp->panels[0].listWindow;
    RECT row;
    PanelEntryRect(list, 0, &row, gApp->cursorIndex[0]);
    SendMessageA(list, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(40, (row.top + row.bottom) / 2));
    SendMessageA(list, WM_LBUTTONUP, 0, MAKELPARAM(40, (row.top + row.bottom) / 2));
    Pump(300);
    EXPECT_EQ(drop.target.enters, 0);
    EXPECT_EQ(drop.target.drops, 0);
}

namespace {

// The shell's data object of files in one folder, as Explorer offers it
// when files are dragged out of it.
IDataObject *ShellData(const std::string &folder, const std::vector<std::string> &names) {
    IShellFolder *desktop = nullptr, *parent = nullptr;
    if (SHGetDesktopFolder(&desktop) != S_OK)
        return nullptr;
    WCHAR wide[MAX_PATH];
    MultiByteToWideChar(CP_ACP, 0, folder.c_str(), -1, wide, MAX_PATH);
    LPITEMIDLIST folderId = nullptr;
    desktop->ParseDisplayName(nullptr, nullptr, wide, nullptr, &folderId, nullptr);
    if (folderId)
        desktop->BindToObject(folderId, nullptr, IID_IShellFolder, (void **)&parent);
    std::vector<LPITEMIDLIST> children;
    for (const std::string &n : names) {
        MultiByteToWideChar(CP_ACP, 0, n.c_str(), -1, wide, MAX_PATH);
        LPITEMIDLIST child = nullptr;
        if (parent && parent->ParseDisplayName(nullptr, nullptr, wide, nullptr, &child, nullptr) == S_OK)
            children.push_back(child);
    }
    IDataObject *data = nullptr;
    if (parent && children.size() == names.size())
        parent->GetUIObjectOf(nullptr, (UINT)children.size(), (LPCITEMIDLIST *)children.data(), IID_IDataObject,
                              nullptr, (void **)&data);
    for (LPITEMIDLIST c : children)
        CoTaskMemFree(c);
    CoTaskMemFree(folderId);
    if (parent)
        parent->Release();
    desktop->Release();
    return data;
}

// A drag source of this program that lets go after a few steps, with the
// keys the test holds in the thread's key state.
class TestDropSource final : public IDropSource {
  public:
    int steps = 0;
    STDMETHODIMP QueryInterface(REFIID iid, void **out) override {
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDropSource)) {
            *out = this;
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP QueryContinueDrag(BOOL escape, DWORD) override {
        if (escape || ++steps > 200)
            return DRAGDROP_S_CANCEL;
        return steps < 4 ? S_OK : DRAGDROP_S_DROP;
    }
    STDMETHODIMP GiveFeedback(DWORD) override { return DRAGDROP_S_USEDEFAULTCURSORS; }
};

void SetKeys(std::initializer_list<int> down) {
    BYTE keys[256];
    GetKeyboardState(keys);
    for (int k : {VK_LBUTTON, VK_SHIFT, VK_MENU, VK_CONTROL})
        keys[k] = 0;
    for (int k : down)
        keys[k] = 0x80;
    SetKeyboardState(keys);
}

// Drags files of the shell over the middle of a panel and drops them there.
DWORD DropOnPanel(int panel, IDataObject *data, std::initializer_list<int> keys) {
    RECT r;
    GetWindowRect(gApp->panels[panel].listWindow, &r);
    SetCursorPos((r.left + r.right) / 2, (r.top + r.bottom) / 2);
    SetKeys(keys);
    TestDropSource source;
    DWORD effect = DROPEFFECT_NONE;
    DoDragDrop(data, &source, DROPEFFECT_COPY | DROPEFFECT_MOVE | DROPEFFECT_LINK, &effect);
    SetKeys({});
    return effect;
}

bool Exists(const std::string &path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

} // namespace

TEST_F(PanelDrag, FilesDroppedOnAPanelAreCopiedMovedOrLinkedByTheKeysHeld) {
    struct Case {
        const char *name;
        std::initializer_list<int> keys;
        bool sourceStays;
        const char *arrives;
    } cases[] = {
        {"copy.txt", {VK_LBUTTON}, true, "copy.txt"},
        {"move.txt", {VK_LBUTTON, VK_SHIFT}, false, "move.txt"},
        {"link.txt", {VK_LBUTTON, VK_MENU}, true, "link.txt.lnk"},
    };
    CreateDirectoryA(Path("from").c_str(), nullptr);
    CreateDirectoryA(Path("into").c_str(), nullptr);
    ChangeTo(0, Path("src"));
    ChangeTo(1, Path("into"));
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        std::string source = Path("from\\") + c.name;
        MakeFile(source, c.name);
        IDataObject *data = ShellData(Path("from"), {c.name});
        ASSERT_TRUE(data) << "the shell gives no data object";
        DWORD effect = DropOnPanel(1, data, c.keys);
        EXPECT_NE(effect, (DWORD)DROPEFFECT_MOVE) << "a move is ours to do: the source must not delete";
        data->Release();
        std::string arrived = Path("into\\") + c.arrives;
        EXPECT_TRUE(WaitFor([&] { return Exists(arrived) && (c.sourceStays || !Exists(source)); }, 15000));
        EXPECT_EQ(Exists(source), c.sourceStays);
        if (std::string(c.arrives) == c.name)
            EXPECT_EQ(ReadFileText(arrived), c.name);
        WaitIdle();
    }
    // The shortcut leads to the dropped file.
    IShellLinkA *link = nullptr;
    ASSERT_EQ(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA, (void **)&link), S_OK);
    IPersistFile *file = nullptr;
    link->QueryInterface(IID_IPersistFile, (void **)&file);
    WCHAR wide[MAX_PATH];
    MultiByteToWideChar(CP_ACP, 0, Path("into\\link.txt.lnk").c_str(), -1, wide, MAX_PATH);
    ASSERT_EQ(file->Load(wide, STGM_READ), S_OK);
    char target[MAX_PATH] = "";
    link->GetPath(target, sizeof target, nullptr, 0);
    EXPECT_EQ(lstrcmpiA(target, Path("from\\link.txt").c_str()), 0) << target;
    file->Release();
    link->Release();
}

TEST_F(PanelDrag, NoDropWhileAPanelShowsAnArchive) {
    CreateDirectoryA(Path("from").c_str(), nullptr);
    MakeFile(Path("from\\refused.txt"), "x");
    ChangeTo(1, Path("dst"));
    ChangeTo(0, Path("arc"));
    CursorTo(0, "pack.zip");
    SendMessageA(gApp->panels[0].listWindow, WM_KEYDOWN, VK_RETURN, 1);
    ASSERT_TRUE(WaitFor([] { return gApp->panels[0].location != nullptr; }, 5000));
    WaitIdle();
    IDataObject *data = ShellData(Path("from"), {"refused.txt"});
    ASSERT_TRUE(data);
    EXPECT_EQ(DropOnPanel(1, data, {VK_LBUTTON}), (DWORD)DROPEFFECT_NONE);
    data->Release();
    Pump(300);
    EXPECT_FALSE(Exists(Path("dst\\refused.txt")));
    SendMessageA(gApp->panels[0].listWindow, WM_KEYDOWN, VK_RETURN, 1); // ".." is the cursor entry
    ASSERT_TRUE(WaitFor([] { return !gApp->panels[0].location; }, 5000));
    WaitIdle();
}

namespace {

// What the menu that opened showed, read by a helper thread from the menu
// window of this process, which then picks the first item (or closes it).
struct MenuSeen {
    std::vector<std::string> items;
    int defaultPosition = -2;
    bool pick = true;
    HANDLE thread = nullptr;
};

DWORD WINAPI ReadMenu(void *arg) {
    auto *seen = (MenuSeen *)arg;
    for (int tries = 0; tries < 1000; tries++) {
        for (HWND w = FindWindowExA(nullptr, nullptr, "#32768", nullptr); w;
             w = FindWindowExA(nullptr, w, "#32768", nullptr)) {
            DWORD pid = 0;
            GetWindowThreadProcessId(w, &pid);
            if (pid != GetCurrentProcessId() || !IsWindowVisible(w))
                continue;
            HMENU menu = (HMENU)SendMessageA(w, MN_GETHMENU, 0, 0);
            if (!menu)
                continue;
            for (int i = 0; i < GetMenuItemCount(menu); i++) {
                char text[128] = "";
                GetMenuStringA(menu, i, text, sizeof text, MF_BYPOSITION);
                seen->items.push_back(text);
            }
            seen->defaultPosition = (int)GetMenuDefaultItem(menu, TRUE, 0);
            if (seen->pick) {
                PostMessageA(w, WM_KEYDOWN, VK_DOWN, 0);
                PostMessageA(w, WM_KEYDOWN, VK_RETURN, 0);
            } else {
                PostMessageA(w, WM_KEYDOWN, VK_ESCAPE, 0);
            }
            return 0;
        }
        Sleep(10);
    }
    return 0;
}

// Opens a panel's context menu on an entry, as a right click does.
MenuSeen ContextMenuOn(int panel, const char *name, bool pick) {
    MenuSeen seen;
    seen.pick = pick;
    CursorTo(panel, name);
    HWND list = gApp->panels[panel].listWindow;
    RECT row;
    PanelEntryRect(list, panel, &row, gApp->cursorIndex[panel]);
    POINT at = {40, (row.top + row.bottom) / 2};
    ClientToScreen(list, &at);
    gCommands.clear();
    seen.thread = CreateThread(nullptr, 0, ReadMenu, &seen, 0, nullptr);
    SendMessageA(list, WM_CONTEXTMENU, (WPARAM)list, MAKELPARAM(at.x, at.y));
    WaitForSingleObject(seen.thread, 15000);
    CloseHandle(seen.thread);
    Pump(100);
    return seen;
}

} // namespace

TEST_F(PanelDrag, ContextMenuHasTheProgramsDefaultItemAndTheShellsItems) {
    ChangeTo(0, Path("src"));
    gApp->activePanel = 0;
    // A folder: the bold first item is its name and opens it.
    MenuSeen folder = ContextMenuOn(0, "folder", true);
    ASSERT_FALSE(folder.items.empty()) << "no menu opened";
    EXPECT_EQ(folder.items[0], "folder");
    EXPECT_EQ(folder.defaultPosition, 0);
    EXPECT_GT(folder.items.size(), 1u) << "the shell added nothing";
    EXPECT_EQ(gCommands, std::vector<UINT>{810});
    for (const std::string &item : folder.items)
        printf("  shell menu item: \"%s\"\n", item.c_str());

    // "..": the default item goes up.
    MenuSeen up = ContextMenuOn(0, "..", true);
    ASSERT_FALSE(up.items.empty());
    EXPECT_EQ(up.items[0], "..");
    EXPECT_EQ(gCommands, std::vector<UINT>{807});

    // Marked files: the shell's menu of those files, without our item.
    Mark(0, {"one.txt", "two.txt"});
    MenuSeen marked = ContextMenuOn(0, "one.txt", false);
    ASSERT_FALSE(marked.items.empty());
    EXPECT_NE(marked.items[0], "one.txt");
    EXPECT_TRUE(gCommands.empty());
}

TEST_F(PanelDrag, DragOutOfAnArchiveDropsExtractedMembers) {
    ChangeTo(0, Path("arc"));
    CursorTo(0, "pack.zip");
    SendMessageA(gApp->panels[0].listWindow, WM_KEYDOWN, VK_RETURN, 1);
    ASSERT_TRUE(WaitFor([] { return gApp->panels[0].location && IndexOf(0, "b.txt") >= 0; }, 5000));
    WaitIdle();
    Mark(0, {"b.txt"});
    CursorTo(0, "b.txt");
    DropWindow drop;
    drop.DragFrom(0);
    ASSERT_EQ(drop.target.drops, 1);
    ASSERT_EQ(drop.target.files.size(), 1u);
    EXPECT_EQ(ReadFileText(drop.target.files[0]), "member b");
    EXPECT_EQ(MarkOf(0, "b.txt"), 2);
    PanelMarkGroup(0, kMarkClear, true, nullptr);
    CursorTo(0, "..");
    SendMessageA(gApp->panels[0].listWindow, WM_KEYDOWN, VK_RETURN, 1);
    ASSERT_TRUE(WaitFor([] { return !gApp->panels[0].location; }, 5000));
    WaitIdle();
}

TEST_F(PanelDrag, ARightButtonDragGoesOnWhileTheRightButtonIsHeld) {
    ChangeTo(0, Path("src"));
    CursorTo(0, "three.txt");
    DropWindow drop;
    RECT r;
    GetWindowRect(drop.window, &r);
    SetCursorPos((r.left + r.right) / 2, (r.top + r.bottom) / 2);
    TestDropTarget::SetLeftButton(true, VK_RBUTTON);
    HWND list = gApp->panels[0].listWindow;
    RECT row;
    PanelEntryRect(list, 0, &row, gApp->cursorIndex[0]);
    int y = (row.top + row.bottom) / 2;
    SendMessageA(list, WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(40, y));
    SendMessageA(list, WM_MOUSEMOVE, MK_RBUTTON, MAKELPARAM(60, y));
    WaitFor([&] { return drop.target.drops > 0; }, 15000);
    TestDropTarget::SetLeftButton(false);
    EXPECT_TRUE(drop.target.overKeys & MK_RBUTTON) << "the drag went on with the right button held";
    ASSERT_EQ(drop.target.drops, 1);
    EXPECT_EQ(drop.target.files, std::vector<std::string>{Path("src\\three.txt")});
}
