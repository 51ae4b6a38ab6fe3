#include "app/DirWatch.h"

void DirWatchClose(HANDLE *handle) {
    if (*handle != INVALID_HANDLE_VALUE && *handle != nullptr)
        FindCloseChangeNotification(*handle);
    *handle = INVALID_HANDLE_VALUE;
}

HANDLE DirWatchOpen(const char *path, HANDLE *handle) {
    DirWatchClose(handle);
    HANDLE h = FindFirstChangeNotificationA(path, FALSE,
                                            FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_DIR_NAME |
                                                FILE_NOTIFY_CHANGE_ATTRIBUTES | FILE_NOTIFY_CHANGE_SIZE |
                                                FILE_NOTIFY_CHANGE_LAST_WRITE);
    *handle = h ? h : INVALID_HANDLE_VALUE;
    return *handle;
}

int DirWatchPoll(HANDLE *handle) {
    if (*handle == INVALID_HANDLE_VALUE || *handle == nullptr)
        return 0;
    if (WaitForMultipleObjects(1, handle, FALSE, 0) != WAIT_OBJECT_0)
        return 0;
    FindNextChangeNotification(*handle);
    return 1;
}
