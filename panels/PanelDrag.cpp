#include "panels/PanelDrag.h"

#include <shlobj.h>
#include <string.h>

#include <new>
#include <string>
#include <vector>

#include "AppState.h"
#include "app/bars/DriveBar.h"
#include "app/bars/ToolBar.h"
#include "base/Memory.h"
#include "base/Strings.h"
#include "fileops/FileHelpers.h"
#include "fileops/FileSystem.h"
#include "fileops/Job.h"
#include "frontends/ArcFrontEnd.h"
#include "panels/Location.h"
#include "panels/PanelIter.h"
#include "panels/PanelRefresh.h"
#include "panels/PanelShell.h"
#include "panels/PanelWindow.h"
#include "wingui/ComObject.h"

namespace {

const int kMaxFormats = 5;

// The DROPFILES block: header, every path with its NUL, one more NUL. ANSI.
HGLOBAL BuildDropBlock(const std::vector<std::string> &paths) {
    if (paths.empty())
        return nullptr;
    size_t size = sizeof(DROPFILES) + 1;
    for (const std::string &p : paths)
        size += p.size() + 1;
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT | GMEM_DDESHARE, size);
    if (!block)
        return nullptr;
    auto *head = (DROPFILES *)GlobalLock(block);
    if (!head) {
        GlobalFree(block);
        return nullptr;
    }
    head->pFiles = sizeof(DROPFILES);
    char *at = (char *)head + sizeof(DROPFILES);
    for (const std::string &p : paths) {
        memcpy(at, p.c_str(), p.size() + 1);
        at += p.size() + 1;
    }
    GlobalUnlock(block);
    return block;
}

HGLOBAL CopyBlock(HGLOBAL source) {
    SIZE_T size = GlobalSize(source);
    HGLOBAL copy = size ? GlobalAlloc(GMEM_MOVEABLE | GMEM_DDESHARE, size) : nullptr;
    if (!copy)
        return nullptr;
    void *from = GlobalLock(source), *to = GlobalLock(copy);
    if (from && to)
        memcpy(to, from, size);
    if (from)
        GlobalUnlock(source);
    if (to)
        GlobalUnlock(copy);
    if (!from || !to) {
        GlobalFree(copy);
        return nullptr;
    }
    return copy;
}

// Marked entries of a plain folder (or the cursor entry), never "..".
std::vector<std::string> PlainPaths(int panel) {
    std::vector<std::string> paths;
    char path[MAX_PATH + 8];
    PanelIter it;
    bool marked = false;
    for (FileEntry *e = PanelIterBegin(&it, panel); e; e = PanelIterNext(&it)) {
        if (!(e->mark & 1) || EntryIsUpDir(e))
            continue;
        marked = true;
        if (PanelEntryPath(e, panel, path, sizeof path) == 0)
            paths.push_back(path);
    }
    PanelIterEnd(&it);
    if (!marked) {
        FileEntry *e = PanelGetCursorEntry(&it, panel);
        if (e && !EntryIsUpDir(e) && PanelEntryPath(e, panel, path, sizeof path) == 0)
            paths.push_back(path);
        PanelIterEnd(&it);
    }
    return paths;
}

// Extracts the selection of an archive level into a new folder of the
// temporary folder, through the same copy step as the panel's Copy command.
// The paths of the extracted top-level entries that exist afterwards.
std::vector<std::string> ArchivePaths(int panel) {
    std::vector<std::string> paths;
    auto *job = (JobRecord *)calloc(1, sizeof(JobRecord));
    if (!job)
        return paths;
    HCURSOR old = SetCursor(LoadCursor(nullptr, IDC_WAIT));
    job->sourcePanel = (uint16_t)panel;
    job->dialog = gMainWindow;
    job->flags = kJobInclSubDirs;
    job->sourceLocation = LocationClone(gApp->panels[panel].location);
    job->jobCode = kJobCodeCopy;
    if (job->sourceLocation) {
        job->itemInfo = LocationRootKind(job->sourceLocation);
        LocationRootFile(job->sourceLocation, job->secondName);
        // The inner path, never the panel's folder: the drag moves the marks
        // itself once the drop is done.
        LocationInnerPath(job->sourceLocation, job->sourceDir);
        job->selection = JobBuildSelection(job);
    }
    std::vector<std::string> names;
    for (const SelectionRecord *rec = SelListFirst(job->selection); rec; rec = SelListNext(rec))
        if (!(rec->attributes & kEntryUpDir))
            names.push_back(rec->name);
    if (!names.empty()) {
        char folder[MAX_PATH] = "";
        PathMakeUniqueName("", folder, sizeof folder);
        if (folder[0] && FsResultOf(FileMakeDirs(gMainWindow, folder)) == 0) {
            lstrcpynA(job->target, folder, sizeof job->target);
            ArcJobCopyOut(job);
            if (!JobStopped(job))
                for (const std::string &name : names) {
                    std::string path = std::string(folder) + "\\" + name;
                    if (GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES)
                        paths.push_back(path);
                }
        }
    }
    free(job->selection);
    LocationCloneFree(job->sourceLocation);
    free(job);
    SetCursor(old);
    return paths;
}

HGLOBAL BuildFileList(int panel) {
    if (panel < 0 || panel > 1 || !gApp)
        return nullptr;
    return BuildDropBlock(gApp->panels[panel].location ? ArchivePaths(panel) : PlainPaths(panel));
}

// ---- the format enumerator

class DragFormatEnum final : public ComObject<IEnumFORMATETC, &IID_IEnumFORMATETC> {
  public:
    DragFormatEnum(const FORMATETC *formats, ULONG count, ULONG index)
        : formats_(formats, formats + count), index_(index) {}

    STDMETHODIMP Next(ULONG count, FORMATETC *out, ULONG *fetched) override {
        if (count == 0 || !out || index_ >= formats_.size() || (!fetched && count != 1))
            return S_FALSE;
        ULONG copied = 0;
        while (copied < count && index_ < formats_.size())
            out[copied++] = formats_[index_++];
        if (fetched)
            *fetched = copied;
        return copied == count ? S_OK : S_FALSE;
    }
    STDMETHODIMP Skip(ULONG n) override {
        if (index_ + n > formats_.size())
            return S_FALSE;
        index_ += n;
        return S_OK;
    }
    STDMETHODIMP Reset() override {
        index_ = 0;
        return S_OK;
    }
    STDMETHODIMP Clone(IEnumFORMATETC **out) override {
        if (!out)
            return S_FALSE;
        *out = new (std::nothrow) DragFormatEnum(formats_.data(), (ULONG)formats_.size(), index_);
        return *out ? S_OK : E_OUTOFMEMORY;
    }

  private:
    std::vector<FORMATETC> formats_;
    ULONG index_;
};

// ---- the data object

class DragDataObject final : public ComObject<IDataObject, &IID_IDataObject> {
  public:
    explicit DragDataObject(int panel) : panel_(panel) {}

    STDMETHODIMP GetData(FORMATETC *format, STGMEDIUM *medium) override {
        if (!format || !medium)
            return E_INVALIDARG;
        int i = Find(format);
        if (i < 0)
            return DV_E_FORMATETC;
        if (formats_[i].cfFormat != CF_HDROP)
            return DV_E_FORMATETC;
        // The files are made once, at the first request: an archive level
        // is extracted then and never again for the same drag.
        if (!built_) {
            built_ = true;
            block_ = BuildFileList(panel_);
        }
        HGLOBAL copy = block_ ? CopyBlock(block_) : nullptr;
        if (!copy)
            return OLE_E_NOTRUNNING;
        medium->tymed = formats_[i].tymed;
        medium->hGlobal = copy;
        medium->pUnkForRelease = nullptr;
        return S_OK;
    }
    STDMETHODIMP GetDataHere(FORMATETC *format, STGMEDIUM *medium) override {
        return format && medium ? E_NOTIMPL : E_INVALIDARG;
    }
    STDMETHODIMP QueryGetData(FORMATETC *format) override {
        if (!format)
            return S_FALSE;
        if (!(format->dwAspect & DVASPECT_CONTENT))
            return DV_E_DVASPECT;
        bool known = false;
        for (int i = 0; i < count_; i++) {
            if (formats_[i].cfFormat != format->cfFormat)
                continue;
            known = true;
            if (formats_[i].tymed & format->tymed)
                return S_OK;
        }
        return known ? DV_E_TYMED : DV_E_FORMATETC;
    }
    STDMETHODIMP GetCanonicalFormatEtc(FORMATETC *, FORMATETC *) override { return DATA_S_SAMEFORMATETC; }
    STDMETHODIMP SetData(FORMATETC *format, STGMEDIUM *medium, BOOL release) override {
        if (!release)
            return E_FAIL;
        if (!format || !medium)
            return E_INVALIDARG;
        for (int i = 0; i < count_; i++)
            if (formats_[i].cfFormat == format->cfFormat) {
                formats_[i] = *format;
                media_[i] = *medium;
                return S_OK;
            }
        if (count_ >= kMaxFormats)
            return E_OUTOFMEMORY;
        formats_[count_] = *format;
        media_[count_] = *medium;
        count_++;
        return S_OK;
    }
    STDMETHODIMP EnumFormatEtc(DWORD direction, IEnumFORMATETC **out) override {
        if (!out)
            return E_INVALIDARG;
        if (direction != DATADIR_GET)
            return OLE_S_USEREG;
        *out = new (std::nothrow) DragFormatEnum(formats_, (ULONG)count_, 0);
        return *out ? S_OK : E_OUTOFMEMORY;
    }
    STDMETHODIMP DAdvise(FORMATETC *, DWORD, IAdviseSink *, DWORD *) override { return E_NOTIMPL; }
    STDMETHODIMP DUnadvise(DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP EnumDAdvise(IEnumSTATDATA **) override { return OLE_E_ADVISENOTSUPPORTED; }

  private:
    ~DragDataObject() {
        if (block_)
            GlobalFree(block_);
    }
    int Find(const FORMATETC *format) const {
        for (int i = 0; i < count_; i++)
            if ((formats_[i].tymed & format->tymed) && formats_[i].dwAspect == format->dwAspect &&
                formats_[i].cfFormat == format->cfFormat)
                return i;
        return -1;
    }

    int panel_;
    int count_ = 0;
    FORMATETC formats_[kMaxFormats] = {};
    STGMEDIUM media_[kMaxFormats] = {};
    bool built_ = false;
    HGLOBAL block_ = nullptr;
};

// ---- the drop source

class DragDropSource final : public ComObject<IDropSource, &IID_IDropSource> {
  public:
    explicit DragDropSource(DWORD buttons) : buttons_(buttons) {}
    STDMETHODIMP QueryContinueDrag(BOOL escape, DWORD keys) override {
        if (escape)
            return DRAGDROP_S_CANCEL;
        return (keys & buttons_) ? S_OK : DRAGDROP_S_DROP;
    }
    STDMETHODIMP GiveFeedback(DWORD) override { return DRAGDROP_S_USEDEFAULTCURSORS; }

  private:
    DWORD buttons_;
};

IDropSource *gDropSource;

} // namespace

IDataObject *DragNewDataObject(int panel) {
    auto *object = new (std::nothrow) DragDataObject(panel);
    if (!object)
        return nullptr;
    FORMATETC format = {CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    STGMEDIUM medium = {};
    medium.tymed = TYMED_HGLOBAL;
    object->SetData(&format, &medium, TRUE);
    return object;
}

HGLOBAL DragBuildFileList() { return gApp ? BuildFileList(gApp->activePanel & 1) : nullptr; }

IDropSource *DragNewDropSource(DWORD buttons) {
    return new (std::nothrow) DragDropSource(buttons);
}

void DragCreateDropSource() {
    if (!gDropSource)
        gDropSource = DragNewDropSource(MK_LBUTTON);
}

void DragReleaseDropSource() {
    if (gDropSource)
        gDropSource->Release();
    gDropSource = nullptr;
}

// Marks of a finished drag become the previous marks (Restore selection
// brings them back).
static void ShiftMarks(int panel) {
    PanelIter it;
    for (FileEntry *e = PanelIterBegin(&it, panel); e; e = PanelIterNext(&it))
        e->mark = (uint8_t)(e->mark << 1);
    PanelIterEnd(&it);
}

void DragStartPanelFiles() {
    if (!gApp)
        return;
    int panel = gApp->activePanel & 1;
    DragCreateDropSource();
    IDataObject *object = DragNewDataObject(panel);
    if (!object || !gDropSource) {
        if (object)
            object->Release();
        return;
    }
    DWORD effect = DROPEFFECT_NONE;
    DoDragDrop(object, gDropSource, DROPEFFECT_COPY | DROPEFFECT_MOVE | DROPEFFECT_LINK, &effect);
    if (effect & (DROPEFFECT_COPY | DROPEFFECT_MOVE | DROPEFFECT_LINK))
        ShiftMarks(panel);
    if (effect & (DROPEFFECT_MOVE | DROPEFFECT_LINK))
        PanelRequestRereadBoth();
    else if (gApp->panels[panel].listWindow)
        PostMessageA(gApp->panels[panel].listWindow, kPanelMsgRefresh, 0, 0);
    object->Release();
}

uint16_t gDragFlags;

static void AcceptDrops(int panel, bool on, bool bars) {
    PanelState &ps = gApp->panels[panel];
    ps.dropFlags = on ? 0x20 : 0;
    if (ps.listWindow)
        DragAcceptFiles(ps.listWindow, on);
    if (ps.pathBar)
        DragAcceptFiles(ps.pathBar, on);
    if (bars) {
        DriveBarAcceptDrops(on);
        ToolBarAcceptDrops(on);
    }
}

void PanelStartDrag(HWND listWindow) {
    int panel = PanelFromWindow(listWindow);
    if (panel < 0 || !gApp || gDragFlags & 1)
        return;
    // Pressed and already let go: a click, not a drag.
    if (GetKeyState(VK_LBUTTON) >= 0 && GetKeyState(VK_RBUTTON) >= 0)
        return;
    const LocationNode *location = gApp->panels[panel].location;
    if (location && LocationRootKind(location) >= kLocationFtp)
        return;
    bool archive = location != nullptr;
    gDragFlags |= 1;
    AcceptDrops(panel, false, archive);
    // A plain folder hands the shell's own data object over; an archive
    // level our own, which extracts only when the drop target asks.
    if (archive)
        DragStartPanelFiles();
    else
        DragStartShellItems(listWindow);
    AcceptDrops(panel, true, archive);
    gDragFlags &= ~1;
}
