#include "sys.h"

#include <windows.h>
#include <commdlg.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "shell_fixtures.h"

namespace {

std::string currentDirectory() {
    char dir[MAX_PATH] = "";
    GetCurrentDirectoryA(sizeof(dir), dir);
    return dir;
}

std::string withSeparator(std::string dir) {
    if (!dir.empty() && dir.back() != '\\') dir += '\\';
    return dir;
}

TEST(SysInit, KeepsExecutablePathDirectoryAndArguments) {
    char exe[] = "C:\\qirn\\bin\\qirn.exe";
    char option[] = "-ride";
    char* argv[] = {exe, option, nullptr};
    EXPECT_EQ(0, qeSysInit(2, argv));
    EXPECT_STREQ("C:\\qirn\\bin\\", qeSysGetExeDir());

    // A bare program name is taken from the current directory.
    char bare[] = "player.exe";
    char* argv2[] = {bare, nullptr};
    qeSysInit(1, argv2);
    EXPECT_EQ(withSeparator(currentDirectory()) + "player.exe", qeSysGetExePath());

    // No argument at all: empty texts, no crash.
    qeSysInit(0, nullptr);
    EXPECT_STREQ("", qeSysGetExeDir());
    EXPECT_STREQ("C:\\demos\\", qeSysDirOfPath("C:/demos/intro/../x.lua"));
    EXPECT_EQ(withSeparator(currentDirectory()), qeSysDirOfPath("script.lua"));
    EXPECT_STREQ("", qeSysDirOfPath(nullptr));
}

struct RequesterCall {
    std::string title, initialDir, filter;
    DWORD flags = 0;
};
RequesterCall g_call;
const char* g_answer = nullptr;

int answerDialog(tagOFNA* dialog) {
    g_call.title = dialog->lpstrTitle ? dialog->lpstrTitle : "";
    g_call.initialDir = dialog->lpstrInitialDir ? dialog->lpstrInitialDir : "";
    g_call.filter = dialog->lpstrFilter ? dialog->lpstrFilter : "";
    g_call.flags = dialog->Flags;
    // The dialog may wander to another folder; the requester must bring the caller back.
    SetCurrentDirectoryA("C:\\");
    if (!g_answer) return 0;
    lstrcpynA(dialog->lpstrFile, g_answer, dialog->nMaxFile);
    return 1;
}

struct FileRequester : testing::Test {
    std::string start = currentDirectory();
    FileRequester() { qeSysSetOpenFileHook(answerDialog); }
    ~FileRequester() override {
        qeSysSetOpenFileHook(nullptr);
        SetCurrentDirectoryA(start.c_str());
    }
};

TEST_F(FileRequester, CancelGivesNullAChosenFileIsReturnedAndTheDirectoryIsKept) {
    g_answer = nullptr;
    EXPECT_EQ(nullptr, qeSysFileRequester("Open a scene", "Scenes\0*.qirn\0\0"));
    EXPECT_EQ(start, currentDirectory());
    EXPECT_EQ("Open a scene", g_call.title);
    EXPECT_EQ(start, g_call.initialDir);
    EXPECT_EQ("Scenes", g_call.filter);
    EXPECT_EQ(static_cast<DWORD>(OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST), g_call.flags);

    g_answer = "C:\\demos\\scene.qirn";
    EXPECT_STREQ("C:\\demos\\scene.qirn", qeSysFileRequester(nullptr, nullptr));
    EXPECT_EQ(start, currentDirectory());
}

struct Boxes : testing::Test {
    qetest::BoxRecorder recorder;
    std::vector<std::string>& g_boxes = qetest::BoxRecorder::boxes();
    std::vector<unsigned int>& g_types = qetest::BoxRecorder::types();
};

TEST_F(Boxes, FileOperationProblemNamesFileAndSystemText) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    qeSysFileOperationProblem("Cannot detect changes in folder", "C:\\scenes\\100%\\");
    ASSERT_EQ(1u, g_boxes.size());
    const std::string prefix = "File Operation Problem|Cannot detect changes in folder\nFile: 'C:\\scenes\\100%\\'\nSystem reports: ";
    ASSERT_EQ(prefix, g_boxes[0].substr(0, prefix.size()));
    EXPECT_NE('\n', g_boxes[0].back());
    EXPECT_EQ(static_cast<unsigned int>(MB_ICONSTOP), g_types[0] & MB_ICONMASK);

    // A name longer than the box text is cut, not written past it.
    std::string longName(3000, 'n');
    qeSysFileOperationProblem("x", longName.c_str());
    ASSERT_EQ(2u, g_boxes.size());
    EXPECT_EQ(std::string("File Operation Problem|").size() + 1023, g_boxes[1].size());
}

TEST_F(Boxes, TextsAreBounded) {
    std::string longText(2000, 'a');
    qeSysMessageBox("%s", longText.c_str());
    ASSERT_EQ(1u, g_boxes.size());
    EXPECT_EQ("Qirn|" + std::string(1023, 'a'), g_boxes[0]);
    EXPECT_EQ(static_cast<unsigned int>(MB_OK), g_types[0]);

    testing::internal::CaptureStdout();
    qeSysDebugPrint("%s", longText.c_str());
    EXPECT_EQ(std::string(511, 'a'), testing::internal::GetCapturedStdout());

    qeSysFormatError("%s", longText.c_str());
    EXPECT_EQ(std::string(1023, 'a'), qeSysGetFormatError());
}

}  // namespace
