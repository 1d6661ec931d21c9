// The compiled-shader cache's calls on files: a file's date and size from the system, and files read
// and written whole through the engine's file system.
#include <gtest/gtest.h>
#include <irrlicht.h>
#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "file_fixtures.h"
#include "gpu/QeShaderCacheFiles.h"
#include "gpu_fixture.h"

using namespace irr;

namespace {

class GpuCacheFiles : public qetest::DeviceTest {};

// Dates a file's last write by a system file time (100 ns steps since 1601).
void setFileTicks(const std::string& path, ULONGLONG ticks) {
    HANDLE file = CreateFileW(qetest::TempDir::longForm(path).c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, file) << path;
    FILETIME time;
    time.dwLowDateTime = static_cast<DWORD>(ticks);
    time.dwHighDateTime = static_cast<DWORD>(ticks >> 32);
    EXPECT_TRUE(SetFileTime(file, nullptr, nullptr, &time)) << path;
    CloseHandle(file);
}

// A file's status gives its size and its date in whole seconds since 1970 (a part of a second counts
// down), for dates past 2106 and before 1970 too, and for a path past MAX_PATH; a missing file has none.
TEST_F(GpuCacheFiles, AFileStatusGivesItsDateAndSizeAtAnyDateAndPathLength) {
    qetest::TempDir dir("gpufiles");
    std::string relative;
    for (char part = 'a'; part <= 'c'; ++part) relative += std::string(90, part) + "\\";
    dir.mkdir(relative);
    const std::string shallow = dir.write("fx.hlsl", "12345");
    const std::string deep = dir.write(relative + "fx.hlsl", "1234567");
    ASSERT_GT(deep.size(), 260u);
    const ULONGLONG epoch = 116444736000000000ULL;  // 1970 as a file time
    const struct {
        ULONGLONG ticks;
        s64 seconds;
    } dates[] = {
        {epoch + 1700000000ULL * 10000000ULL + 9999999ULL, 1700000000LL},
        {epoch + 7258118400ULL * 10000000ULL, 7258118400LL},  // 2200
        {epoch - 5000000ULL, -1LL},                            // half a second before 1970
    };
    for (const std::string& path : {shallow, deep}) {
        for (const auto& date : dates) {
            setFileTicks(path, date.ticks);
            s64 time = 0, size = 0;
            ASSERT_TRUE(shaderFileStatus(path.c_str(), &time, &size)) << path;
            EXPECT_EQ(date.seconds, time) << path;
            EXPECT_EQ(path == shallow ? 5 : 7, size) << path;
        }
    }
    s64 time = 0, size = 0;
    EXPECT_FALSE(shaderFileStatus((dir.path() + "none.hlsl").c_str(), &time, &size));
}

// A file written whole reads back byte for byte (with a zero byte after its end when asked); a file
// that cannot be opened for writing says so, and one that is not there cannot be read.
TEST_F(GpuCacheFiles, WholeFilesReadBackWhatWasWritten) {
    qetest::TempDir dir("gpuwhole");
    const std::string path = dir.path() + "blob.pso";
    bool opened = false;
    ASSERT_TRUE(writeWholeFile(fs, path.c_str(), "abc\0def", 7, &opened));
    EXPECT_TRUE(opened);
    EXPECT_EQ(std::string("abc\0def", 7), qetest::readFile(path));
    void* data = nullptr;
    u32 size = 0;
    ASSERT_TRUE(readWholeFile(fs, path.c_str(), true, &data, &size));
    EXPECT_EQ(7u, size);
    EXPECT_EQ(0, std::memcmp("abc\0def", data, 8));
    std::free(data);
    ASSERT_TRUE(writeWholeFile(fs, path.c_str(), nullptr, 0, &opened));
    ASSERT_TRUE(readWholeFile(fs, path.c_str(), false, &data, &size));
    EXPECT_EQ(0u, size);
    std::free(data);

    dir.mkdir("folder");
    EXPECT_FALSE(writeWholeFile(fs, (dir.path() + "folder").c_str(), "x", 1, &opened));
    EXPECT_FALSE(opened);
    EXPECT_FALSE(readWholeFile(fs, (dir.path() + "none.pso").c_str(), false, &data, &size));
}

}  // namespace
