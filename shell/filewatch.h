#ifndef QIRN_SHELL_FILEWATCH_H
#define QIRN_SHELL_FILEWATCH_H

#include <windows.h>

#include <atomic>

// Worker threads and the records behind the qeSysFileWatch* functions of sys.h.

// Base of an object that owns one worker thread. The thread is created suspended; the derived class
// resumes it once it is complete. The thread calls threadInit, then threadRun, unless a stop was
// requested before it got going.
class ActiveObject {
public:
    virtual ~ActiveObject();  // closes the thread handle; the thread must have ended (stopThread)

    // Requests the stop, wakes the thread (threadStop) and waits for it up to `timeoutMs`. True once the
    // thread has ended (or never existed); false when it is still running.
    bool stopThread(DWORD timeoutMs);
    bool hasThread() const { return thread_ != nullptr; }

protected:
    ActiveObject();
    virtual void threadInit() = 0;
    virtual void threadRun() = 0;
    virtual void threadStop() = 0;
    void resumeThread();
    bool stopRequested() const { return stopRequested_.load() != 0; }

private:
    static DWORD WINAPI threadEntry(void* self);
    std::atomic<int> stopRequested_;
    HANDLE thread_;
    DWORD threadId_;
    bool ended_;
};

// Waits on the change notification of one folder (its files' last-write times and names, not the
// sub-folders) and sets the owner's flag to 1 on every change. Names count because many programs save by
// writing a temporary file and renaming it over the old one: the rename is the only change the saved
// file's name sees.
class FolderWatcher : public ActiveObject {
public:
    // A running watcher, or NULL when the notification, the stop event or the thread cannot be made; the
    // thread's last error then tells why.
    static FolderWatcher* create(const char* folder, std::atomic<unsigned char>* flag);
    ~FolderWatcher() override;

protected:
    void threadInit() override {}
    void threadRun() override;
    void threadStop() override;

private:
    FolderWatcher(const char* folder, std::atomic<unsigned char>* flag, HANDLE notification);
    HANDLE stopEvent_;
    HANDLE notification_;
    std::atomic<unsigned char>* flag_;
    char folder_[MAX_PATH];
};

struct FileWatchRecord {
    int id = 0;
    char path[MAX_PATH] = {};
    FolderWatcher* watcher = nullptr;
    std::atomic<unsigned char> folderChanged{0};  // written by the watcher thread
    unsigned char fileChanged = 0;                // the latch, main thread only
    // The file as last taken: whether it was there, its last-write time and size. The time and size stay
    // as they were while the file is missing.
    bool present = false;
    FILETIME lastWrite = {0, 0};
    unsigned long long size = 0;
};

// The record of a watch, NULL for an unknown ID (no message logged).
FileWatchRecord* qeSysFileWatchFind(int id);

#endif
