// Icon and cursor files shown with all their images side by side: the file
// is kept in a host block, each image becomes an icon only while it is drawn.
#include "viewer/IconRead.h"
#include "viewer/LumoraInternal.h"

struct IconFileView {
    IconList list;
    uint8_t* data; // the whole file
    uint32_t size;
};

// Larger files are no icons anyone draws; they are left to the later readers.
const uint64_t kIconMaxFile = 64u << 20;

void* IcoLoadAll(ViewRecord* view) {
    MappedFile file;
    if (MappedFileOpen(&file, view->openPath) != 0) return nullptr;
    IconList list;
    IconFileView* icons = nullptr;
    if (file.view && file.size <= kIconMaxFile && IconParse(file.view, (size_t)file.size, &list, gPicAlloc)) {
        icons = static_cast<IconFileView*>(gHost->MemAlloc(sizeof(IconFileView)));
        uint8_t* data = icons ? static_cast<uint8_t*>(gHost->MemAlloc((size_t)file.size)) : nullptr;
        if (data) {
            memcpy(data, file.view, (size_t)file.size);
            icons->list = list;
            icons->data = data;
            icons->size = (uint32_t)file.size;
            view->contentWidth = list.contentWidth;
            view->contentHeight = list.contentHeight;
        } else {
            IconListFree(&list, gPicAlloc);
            if (icons) {
                void* p = icons;
                gHost->MemFree(&p);
                icons = nullptr;
            }
        }
    }
    MappedFileClose(&file);
    return icons;
}

void IcoPaint(HDC hdc, const RECT* rect, HBRUSH brush, ViewRecord* view) {
    FillRect(hdc, rect, brush);
    const IconFileView* icons = static_cast<const IconFileView*>(view->viewObject);
    if (!icons) return;
    int sx = view->scrollX ? *view->scrollX : 0, sy = view->scrollY ? *view->scrollY : 0;
    int x = 10;
    for (uint32_t i = 0; i < icons->list.count; i++) {
        const IconImage& image = icons->list.images[i];
        PBYTE bits = const_cast<PBYTE>(icons->data + image.offset);
        HICON icon = CreateIconFromResourceEx(bits, image.size, TRUE, 0x30000, image.width, image.height, 0);
        if (icon) {
            DrawIconEx(hdc, rect->left + x - sx, rect->top + 10 - sy, icon, image.width, image.height, 0, nullptr,
                       DI_NORMAL);
            DestroyIcon(icon);
        }
        x += image.width + 10;
    }
}

void IcoFree(ViewRecord* view) {
    IconFileView* icons = static_cast<IconFileView*>(view->viewObject);
    if (icons) {
        IconListFree(&icons->list, gPicAlloc);
        void* data = icons->data;
        gHost->MemFree(&data);
        void* p = icons;
        gHost->MemFree(&p);
    }
    view->viewObject = nullptr;
    view->contentWidth = 0;
    view->contentHeight = 0;
}
