#include "filewatch.h"

#include <windows.h>
#include <tlhelp32.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <thread>

#include "file_fixtures.h"
#include "log.h"
#include "sys.h"

namespace {

template <typename Pred>
bool waitUntil(Pred pred, DWORD timeoutMs = 5000) {
    const DWORD start = GetTickCount();
    while (!pred()) {
        if (GetTickCount() - start > timeoutMs) return false;
        Sleep(20);
    }
    return true;
}

int threadCount() {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return -1;
    THREADENTRY32 entry;
    entry.dwSize = sizeof(entry);
    int count = 0;
    for (BOOL ok = Thread32First(snapshot, &entry); ok; ok = Thread32Next(snapshot, &entry))
        if (entry.th32OwnerProcessID == GetCurrentProcessId()) ++count;
    CloseHandle(snapshot);
    return count;
}

std::string lastError(int* arg = nullptr) {
    const char* text = qeLogGetLastError(arg);
    return text ? text : "";
}

struct FileWatch : testing::Test {
    qetest::TempDir dir{"watch"};
    std::string a = dir.write("scene.qirn", "first"), b = dir.write("other.txt", "first");

    FileWatch() {
        qeLogClearLastError();
        qeLogSetLevel(QE_LOG_NONE);
    }
    ~FileWatch() override {
        qeSysFileWatchTerm();
        qeLogSetLevel(QE_LOG_INFO);
    }
    static void write(const std::string& path, const char* text) {
        FILE* file = std::fopen(path.c_str(), "wb");
        ASSERT_NE(nullptr, file);
        std::fputs(text, file);
        std::fclose(file);
    }
    static bool folderFlag(int id) {
        FileWatchRecord* record = qeSysFileWatchFind(id);
        return record && record->folderChanged.load() != 0;
    }
};

TEST_F(FileWatch, RewriteLatchesOnceUntilReset) {
    qeSysFileWatchCreate(a.c_str(), 1);
    ASSERT_NE(nullptr, qeSysFileWatchFind(1));
    EXPECT_EQ("", lastError());
    EXPECT_EQ(0, qeSysFileWatchChanged(1));

    Sleep(50);
    write(a, "second");
    write(a, "third");
    ASSERT_TRUE(waitUntil([] { return qeSysFileWatchChanged(1) == 1; })) << "no change seen";
    EXPECT_EQ(1, qeSysFileWatchChanged(1));  // latched

    qeSysFileWatchReset(1);
    EXPECT_EQ(0, qeSysFileWatchChanged(1));
    // Late notifications of the same writes do not latch again.
    Sleep(300);
    EXPECT_EQ(0, qeSysFileWatchChanged(1));

    // The watch keeps working after a reset.
    Sleep(50);
    write(a, "fourth");
    EXPECT_TRUE(waitUntil([] { return qeSysFileWatchChanged(1) == 1; }));
}

TEST_F(FileWatch, OtherFileInTheFolderDoesNotLatch) {
    qeSysFileWatchCreate(a.c_str(), 2);
    Sleep(50);
    write(b, "second");
    ASSERT_TRUE(waitUntil([] { return folderFlag(2); })) << "the watcher never saw the folder change";
    Sleep(200);  // one rewrite may bring more than one notification: let them all arrive
    EXPECT_EQ(0, qeSysFileWatchChanged(2));
    EXPECT_FALSE(folderFlag(2));
}

TEST_F(FileWatch, UnreadableFileCountsAsChangedAndKeepsItsTime) {
    qeSysFileWatchCreate(a.c_str(), 3);
    FileWatchRecord* record = qeSysFileWatchFind(3);
    ASSERT_NE(nullptr, record);
    const FILETIME taken = record->lastWrite;
    EXPECT_TRUE(taken.dwLowDateTime != 0 || taken.dwHighDateTime != 0);

    ASSERT_TRUE(DeleteFileA(a.c_str()));
    Sleep(50);
    write(b, "wake the watcher");
    ASSERT_TRUE(waitUntil([] { return qeSysFileWatchChanged(3) == 1; }));
    EXPECT_EQ(0, CompareFileTime(&taken, &record->lastWrite));

    qeSysFileWatchReset(3);
    EXPECT_EQ(0, CompareFileTime(&taken, &record->lastWrite));
    EXPECT_EQ(0, qeSysFileWatchChanged(3));
}

TEST_F(FileWatch, WaitTriesUntilTheFileOpensExclusively) {
    qeSysFileWatchCreate(a.c_str(), 4);
    HANDLE held = CreateFileA(a.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, held);
    EXPECT_EQ(-1, qeSysFileWatchWait(4, 0));
    EXPECT_EQ(-1, qeSysFileWatchWait(4, 120));

    // Closed while the wait goes on: the wait succeeds.
    std::thread closer([held] {
        Sleep(200);
        CloseHandle(held);
    });
    const DWORD start = GetTickCount();
    EXPECT_EQ(0, qeSysFileWatchWait(4, 3000));
    EXPECT_LT(GetTickCount() - start, 2500u);
    closer.join();
    EXPECT_EQ(0, qeSysFileWatchWait(4, 0));
}

TEST_F(FileWatch, BadAndUnknownIds) {
    qeSysFileWatchCreate(a.c_str(), 5);
    qeSysFileWatchCreate(b.c_str(), 5);
    int arg = 0;
    EXPECT_EQ("invalid FileWatch ID 5 : id 5 already exist", lastError(&arg));
    EXPECT_EQ(2, arg);
    ASSERT_NE(nullptr, qeSysFileWatchFind(5));
    EXPECT_EQ(a, qeSysFileWatchFind(5)->path);  // the first watch stays

    qeSysFileWatchCreate(a.c_str(), 100);
    EXPECT_EQ("invalid FileWatch ID 100 : invalid ID 100 greater or equals than 100", lastError());

    qeLogClearLastError();
    EXPECT_EQ(0, qeSysFileWatchChanged(-1));
    EXPECT_EQ("FileWatch ID -1 does not exist. invalid negative ID -1", lastError(&arg));
    EXPECT_EQ(1, arg);
    qeLogClearLastError();
    EXPECT_EQ(-1, qeSysFileWatchWait(7, 0));
    EXPECT_EQ(0u, lastError().find("FileWatch ID 7 does not exist."));
    qeLogClearLastError();
    qeSysFileWatchReset(8);
    EXPECT_EQ(0u, lastError().find("FileWatch ID 8 does not exist."));
}

TEST_F(FileWatch, WatchOnMissingFolderIsRefused) {
    const int before = threadCount();
    const std::string missing = dir.path() + "no-such-folder\\scene.qirn";
    qeSysFileWatchCreate(missing.c_str(), 6);
    EXPECT_NE(std::string::npos, lastError().find("Cannot create change notification handle"));
    EXPECT_EQ(nullptr, qeSysFileWatchFind(6));
    EXPECT_EQ(before, threadCount());

    qeLogClearLastError();
    EXPECT_EQ(0, qeSysFileWatchChanged(6));
    EXPECT_EQ(0u, lastError().find("FileWatch ID 6 does not exist."));

    // The ID is free for a watch that works.
    qeLogClearLastError();
    qeSysFileWatchCreate(a.c_str(), 6);
    EXPECT_EQ("", lastError());
    EXPECT_NE(nullptr, qeSysFileWatchFind(6));
}

TEST_F(FileWatch, TermStopsEveryWatcherThread) {
    const int before = threadCount();
    ASSERT_GT(before, 0);
    qeSysFileWatchCreate(a.c_str(), 10);
    qeSysFileWatchCreate(b.c_str(), 11);
    qeSysFileWatchCreate(a.c_str(), 12);
    EXPECT_EQ(before + 3, threadCount());

    qeSysFileWatchTerm();
    EXPECT_TRUE(waitUntil([&] { return threadCount() == before; }, 2000)) << threadCount() << " threads";
    EXPECT_EQ(nullptr, qeSysFileWatchFind(10));
    EXPECT_EQ(0, qeSysFileWatchChanged(10));
    EXPECT_EQ(0u, lastError().find("FileWatch ID 10 does not exist."));

    // Watches can be made again afterwards; one is left running for the exit handler to stop.
    qeLogClearLastError();
    qeSysFileWatchCreate(a.c_str(), 10);
    EXPECT_NE(nullptr, qeSysFileWatchFind(10));
}

}  // namespace
