#include "filewatch.h"

#include <windows.h>
#include <tlhelp32.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <thread>

#include "file_fixtures.h"
#include "poll.h"
#include "log.h"
#include "sys.h"

namespace {

using qetest::waitUntil;

int threadCount() {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
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
    std::string result = text ? text : "";
    qeLogClearLastError();
    return result;
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
    void rewrite(const std::string& path) {
        Sleep(50);
        dir.write(path.substr(dir.path().size()), "changed");
    }
    static bool changed(int id) {
        return waitUntil([id] { return qeSysFileWatchChanged(id) == 1; });
    }
};

TEST_F(FileWatch, RewriteLatchesOnceUntilResetOtherFilesDoNotAndAMissingFileCounts) {
    qeSysFileWatchCreate(a.c_str(), 1);
    qeSysFileWatchCreate(a.c_str(), 2);
    EXPECT_EQ(0, qeSysFileWatchChanged(1));
    rewrite(b);
    ASSERT_TRUE(waitUntil([] { return qeSysFileWatchFind(2)->folderChanged.load() != 0; }));
    Sleep(200);  // one rewrite may bring more than one notification: let them all arrive
    EXPECT_EQ(0, qeSysFileWatchChanged(2));

    rewrite(a);
    rewrite(a);
    ASSERT_TRUE(changed(1)) << "no change seen";
    qeSysFileWatchReset(1);
    Sleep(300);  // late notifications of the same writes do not latch again
    EXPECT_EQ(0, qeSysFileWatchChanged(1));

    // A file that cannot be read counts as changed and keeps the time taken before.
    const FILETIME taken = qeSysFileWatchFind(1)->lastWrite;
    ASSERT_TRUE(DeleteFileA(a.c_str()));
    rewrite(b);
    ASSERT_TRUE(changed(1));
    qeSysFileWatchReset(1);
    EXPECT_EQ(0, CompareFileTime(&taken, &qeSysFileWatchFind(1)->lastWrite));
}

// A save made by writing a temporary file and renaming it over the watched one: the temporary file's
// write is not the watched file's change, the rename is, once.
TEST_F(FileWatch, ATemporaryFileRenamedOverTheWatchedFileLatchesOnce) {
    qeSysFileWatchCreate(a.c_str(), 3);
    Sleep(50);
    const std::string temporary = dir.write("scene.qirn.tmp", "saved by rename");
    ASSERT_TRUE(waitUntil([] { return qeSysFileWatchFind(3)->folderChanged.load() != 0; }));
    Sleep(200);
    EXPECT_EQ(0, qeSysFileWatchChanged(3));

    ASSERT_TRUE(MoveFileExA(temporary.c_str(), a.c_str(), MOVEFILE_REPLACE_EXISTING));
    ASSERT_TRUE(changed(3)) << "the rename was not seen";
    qeSysFileWatchReset(3);
    Sleep(300);
    EXPECT_EQ(0, qeSysFileWatchChanged(3));
}

TEST_F(FileWatch, WaitTriesUntilTheFileOpensExclusively) {
    qeSysFileWatchCreate(a.c_str(), 4);
    HANDLE held = CreateFileA(a.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, held);
    EXPECT_EQ(-1, qeSysFileWatchWait(4, 120));
    std::thread closer([held] {
        Sleep(200);
        CloseHandle(held);
    });
    EXPECT_EQ(0, qeSysFileWatchWait(4, 3000));
    closer.join();
}

TEST_F(FileWatch, BadIdsAndMissingFoldersAreRefusedAndTermStopsEveryThread) {
    const int before = threadCount();
    qeSysFileWatchCreate(a.c_str(), 5);
    qeSysFileWatchCreate(b.c_str(), 5);
    int arg = 0;
    EXPECT_EQ("invalid FileWatch ID 5 : id 5 already exist", lastError(&arg));
    EXPECT_EQ(2, arg);
    EXPECT_EQ(a, qeSysFileWatchFind(5)->path);  // the first watch stays
    qeSysFileWatchCreate(a.c_str(), 100);
    EXPECT_EQ("invalid FileWatch ID 100 : invalid ID 100 greater or equals than 100", lastError());
    EXPECT_EQ(0, qeSysFileWatchChanged(-1));
    EXPECT_EQ("FileWatch ID -1 does not exist. invalid negative ID -1", lastError(&arg));
    EXPECT_EQ(1, arg);
    EXPECT_EQ(-1, qeSysFileWatchWait(7, 0));
    EXPECT_EQ("FileWatch ID 7 does not exist. id 7 does not exist", lastError());

    // A folder that cannot be watched leaves no record and no thread behind.
    qeSysFileWatchCreate((dir.path() + "no-such-folder\\scene.qirn").c_str(), 6);
    EXPECT_NE(std::string::npos, lastError().find("Cannot create change notification handle"));
    EXPECT_EQ(nullptr, qeSysFileWatchFind(6));
    EXPECT_EQ(before + 1, threadCount());

    qeSysFileWatchCreate(b.c_str(), 11);
    qeSysFileWatchTerm();
    EXPECT_TRUE(waitUntil([&] { return threadCount() == before; }, 2000)) << threadCount() << " threads";
    EXPECT_EQ(nullptr, qeSysFileWatchFind(11));
    // Watches can be made again afterwards; one is left running for the exit handler to stop.
    qeSysFileWatchCreate(a.c_str(), 10);
    EXPECT_NE(nullptr, qeSysFileWatchFind(10));
}

}  // namespace
