#include "filewatch.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "idtable.h"
#include "log.h"
#include "sys.h"

namespace {

const int kFileWatchCapacity = 100;
const DWORD kStopWaitMs = 2000;
const DWORD kWaitStepMs = 50;

IdTable* g_watches = nullptr;
bool g_exitHandlerSet = false;

void stopAtExit() { qeSysFileWatchTerm(); }

IdTable* watchTable() {
    if (!g_watches) {
        g_watches = qeIdTableCreate(kFileWatchCapacity);
        if (!g_watches) {
            qeLogError(-1, "fails to create FileWatch list");
            return nullptr;
        }
        if (!g_exitHandlerSet) {
            // Watcher threads touch their records: they are stopped before the process goes away.
            std::atexit(stopAtExit);
            g_exitHandlerSet = true;
        }
    }
    return g_watches;
}

// The record of `id`, or NULL after logging the unknown-ID message.
FileWatchRecord* knownWatch(int id) {
    IdTable* table = watchTable();
    FileWatchRecord* record = table ? static_cast<FileWatchRecord*>(qeIdTableGet(table, id)) : nullptr;
    if (!record) qeLogError(1, "FileWatch ID %d does not exist. %s", id, qeIdTableGetMessage());
    return record;
}

// Takes the file's last-write time and size into the record; a file whose attributes cannot be read is
// taken as missing and keeps the time and size it had.
void takeFile(FileWatchRecord* record) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    record->present = GetFileAttributesExA(record->path, GetFileExInfoStandard, &data) != 0;
    if (!record->present) return;
    record->lastWrite = data.ftLastWriteTime;
    record->size = (static_cast<unsigned long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

}  // namespace

// ---------------------------------------------------------------------------------------------------
// ActiveObject

ActiveObject::ActiveObject() : stopRequested_(0), thread_(nullptr), threadId_(0), ended_(false) {
    thread_ = CreateThread(nullptr, 0, threadEntry, this, CREATE_SUSPENDED, &threadId_);
}

ActiveObject::~ActiveObject() {
    if (thread_) CloseHandle(thread_);
}

DWORD WINAPI ActiveObject::threadEntry(void* self) {
    ActiveObject* object = static_cast<ActiveObject*>(self);
    if (!object->stopRequested()) {
        object->threadInit();
        object->threadRun();
    }
    return 0;
}

void ActiveObject::resumeThread() {
    if (thread_) ResumeThread(thread_);
}

bool ActiveObject::stopThread(DWORD timeoutMs) {
    if (!thread_ || ended_) return true;
    stopRequested_.fetch_add(1);
    threadStop();
    // A thread that was never resumed runs now, sees the request and ends at once.
    ResumeThread(thread_);
    ended_ = WaitForSingleObject(thread_, timeoutMs) == WAIT_OBJECT_0;
    return ended_;
}

// ---------------------------------------------------------------------------------------------------
// FolderWatcher

FolderWatcher* FolderWatcher::create(const char* folder, std::atomic<unsigned char>* flag) {
    // The notification comes first: without it there is nothing for a thread to wait on.
    HANDLE notification =
        FindFirstChangeNotificationA(folder, FALSE, FILE_NOTIFY_CHANGE_LAST_WRITE | FILE_NOTIFY_CHANGE_FILE_NAME);
    if (notification == INVALID_HANDLE_VALUE) return nullptr;
    FolderWatcher* watcher = new FolderWatcher(folder, flag, notification);
    if (!watcher->hasThread() || !watcher->stopEvent_) {
        DWORD error = GetLastError();
        delete watcher;
        SetLastError(error);
        return nullptr;
    }
    watcher->resumeThread();
    return watcher;
}

FolderWatcher::FolderWatcher(const char* folder, std::atomic<unsigned char>* flag, HANDLE notification)
    : ActiveObject(), stopEvent_(nullptr), notification_(notification), flag_(flag) {
    stopEvent_ = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    std::snprintf(folder_, sizeof(folder_), "%s", folder);
}

FolderWatcher::~FolderWatcher() {
    stopThread(kStopWaitMs);
    if (notification_ != INVALID_HANDLE_VALUE) FindCloseChangeNotification(notification_);
    if (stopEvent_) CloseHandle(stopEvent_);
}

void FolderWatcher::threadStop() {
    if (stopEvent_) SetEvent(stopEvent_);
}

void FolderWatcher::threadRun() {
    HANDLE handles[2] = {notification_, stopEvent_};
    for (;;) {
        DWORD result = WaitForMultipleObjects(2, handles, FALSE, INFINITE);
        if (result == WAIT_OBJECT_0) {
            if (stopRequested()) return;
            flag_->store(1);
            if (!FindNextChangeNotification(notification_)) {
                qeSysFileOperationProblem("Cannot detect changes in folder", folder_);
                return;
            }
        } else if (result == WAIT_OBJECT_0 + 1) {
            return;
        } else {
            qeSysFileOperationProblem("Cannot detect changes in folder", folder_);
            return;
        }
    }
}

// ---------------------------------------------------------------------------------------------------
// The file-watch functions

FileWatchRecord* qeSysFileWatchFind(int id) {
    if (!g_watches || id < 0 || id >= g_watches->capacity) return nullptr;
    return static_cast<FileWatchRecord*>(g_watches->slots[id]);
}

void qeSysFileWatchCreate(const char* path, int id) {
    IdTable* table = watchTable();
    if (!table) return;
    FileWatchRecord* record = new FileWatchRecord();
    record->id = id;
    if (qeIdTableAdd(table, id, record) != 0) {
        qeLogError(2, "invalid FileWatch ID %d : %s", id, qeIdTableGetMessage());
        delete record;
        return;
    }

    DWORD length = path ? GetFullPathNameA(path, sizeof(record->path), record->path, nullptr) : 0;
    if (length == 0 || length >= sizeof(record->path)) {
        qeLogError(1, "FileWatch ID %d: invalid or too long file path '%s'", id, path ? path : "(null)");
        qeIdTableRemove(table, id);
        delete record;
        return;
    }
    char drive[_MAX_DRIVE];
    char dir[_MAX_DIR];
    _splitpath(record->path, drive, dir, nullptr, nullptr);
    char folder[MAX_PATH];
    std::snprintf(folder, sizeof(folder), "%s%s", drive, dir);

    record->folderChanged.store(0);
    record->fileChanged = 0;
    takeFile(record);  // a file not there yet is taken as missing

    record->watcher = FolderWatcher::create(folder, &record->folderChanged);
    if (!record->watcher) {
        // A watch that can never see a change is refused rather than kept half-working.
        unsigned long error = GetLastError();
        qeLogError(1, "Cannot create change notification handle (system error %lu) for FileWatch ID %d, folder '%s'",
                   error, id, folder);
        qeIdTableRemove(table, id);
        delete record;
    }
}

int qeSysFileWatchChanged(int id) {
    FileWatchRecord* record = knownWatch(id);
    if (!record) return 0;
    if (record->fileChanged) return 1;
    if (!record->folderChanged.load()) return 0;
    record->folderChanged.store(0);
    // The file's own time and size decide: the folder also changes for other files (an editor's
    // temporary file, say). Any difference counts, an older time too (a file put back from a copy).
    const bool wasPresent = record->present;
    const FILETIME lastWrite = record->lastWrite;
    const unsigned long long size = record->size;
    takeFile(record);
    if (record->present == wasPresent &&
        (!wasPresent || (CompareFileTime(&lastWrite, &record->lastWrite) == 0 && size == record->size)))
        return 0;
    record->fileChanged = 1;
    return 1;
}

int qeSysFileWatchWait(int id, int timeoutMs) {
    FileWatchRecord* record = knownWatch(id);
    if (!record) return -1;
    const DWORD start = GetTickCount();
    for (;;) {
        HANDLE file = CreateFileA(record->path, GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            CloseHandle(file);
            return 0;
        }
        if (timeoutMs <= 0 || GetTickCount() - start >= static_cast<DWORD>(timeoutMs)) return -1;
        Sleep(kWaitStepMs);
    }
}

void qeSysFileWatchReset(int id) {
    FileWatchRecord* record = knownWatch(id);
    if (!record) return;
    takeFile(record);
    record->folderChanged.store(0);
    record->fileChanged = 0;
}

void qeSysFileWatchTerm() {
    if (!g_watches) return;
    for (int id = 0; id < g_watches->capacity; ++id) {
        FileWatchRecord* record = static_cast<FileWatchRecord*>(g_watches->slots[id]);
        if (!record) continue;
        g_watches->slots[id] = nullptr;
        if (record->watcher && !record->watcher->stopThread(kStopWaitMs)) {
            // The thread is stuck (in a box, say) and still holds the record: both are left to the
            // process rather than freed under it.
            continue;
        }
        delete record->watcher;
        delete record;
    }
    qeIdTableDestroy(g_watches);
    g_watches = nullptr;
}
