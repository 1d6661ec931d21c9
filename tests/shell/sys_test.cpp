#include "sys.h"

#include <windows.h>
#include <commdlg.h>

#include <gtest/gtest.h>

#include <string>

#include "shell_fixtures.h"

namespace {

std::string currentDirectory() {
    char dir[MAX_PATH] = "";
    GetCurrentDirectoryA(sizeof(dir), dir);
    std::string result = dir;
    return result.back() == '\\' ? result : result + "\\";
}

TEST(Sys, ExecutablePathsAndDirectoriesOfPaths) {
    char exe[] = "C:\\qirn\\bin\\qirn.exe", bare[] = "player.exe";
    char* argv[] = {exe, nullptr};
    EXPECT_EQ(0, qeSysInit(1, argv));
    EXPECT_STREQ("C:\\qirn\\bin\\", qeSysGetExeDir());
    argv[0] = bare;  // a bare program name is taken from the current directory
    qeSysInit(1, argv);
    EXPECT_EQ(currentDirectory() + "player.exe", qeSysGetExePath());
    qeSysInit(0, nullptr);  // no argument at all: empty texts, no crash
    EXPECT_STREQ("", qeSysGetExeDir());

    EXPECT_STREQ("C:\\demos\\", qeSysDirOfPath("C:/demos/intro/../x.lua"));
    EXPECT_EQ(currentDirectory(), qeSysDirOfPath("script.lua"));
    EXPECT_STREQ("", qeSysDirOfPath(nullptr));
}

std::string g_call;
const char* g_answer = nullptr;

TEST(Sys, FileRequesterGivesTheChosenFileOrNullAndKeepsTheDirectory) {
    const std::string start = currentDirectory();
    qeSysSetOpenFileHook([](tagOFNA* dialog) {
        auto text = [](const char* t) { return std::string(t ? t : ""); };
        g_call = text(dialog->lpstrTitle) + "|" + text(dialog->lpstrInitialDir) + "\\|" + text(dialog->lpstrFilter) +
                 "|" + std::to_string(dialog->Flags);
        SetCurrentDirectoryA("C:\\");  // the dialog may wander to another folder
        if (!g_answer) return 0;
        lstrcpynA(dialog->lpstrFile, g_answer, dialog->nMaxFile);
        return 1;
    });
    EXPECT_EQ(nullptr, qeSysFileRequester("Open a scene", "Scenes\0*.qirn\0\0"));
    EXPECT_EQ(start, currentDirectory());
    EXPECT_EQ("Open a scene|" + start + "|Scenes|" + std::to_string(OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST), g_call);
    g_answer = "C:\\demos\\scene.qirn";
    EXPECT_STREQ("C:\\demos\\scene.qirn", qeSysFileRequester(nullptr, nullptr));
    EXPECT_EQ(start, currentDirectory());
    qeSysSetOpenFileHook(nullptr);
    SetCurrentDirectoryA(start.c_str());
}

TEST(Sys, BoxTextsAreBoundedAndNameTheFileAndTheSystemText) {
    qetest::BoxRecorder recorder;
    SetLastError(ERROR_FILE_NOT_FOUND);
    qeSysFileOperationProblem("Cannot detect changes in folder", "C:\\scenes\\100%\\");
    const std::string prefix = "File Operation Problem|Cannot detect changes in folder\nFile: 'C:\\scenes\\100%\\'\nSystem reports: ";
    ASSERT_EQ(1u, recorder.boxes().size());
    EXPECT_EQ(prefix, recorder.boxes()[0].substr(0, prefix.size()));
    EXPECT_NE('\n', recorder.boxes()[0].back());
    EXPECT_EQ(static_cast<unsigned int>(MB_ICONSTOP), recorder.types()[0] & MB_ICONMASK);
    EXPECT_TRUE(recorder.types()[0] & MB_TOPMOST);  // not behind a full-screen engine window

    // A name longer than the box text is cut, not written past it.
    qeSysFileOperationProblem("x", std::string(3000, 'n').c_str());
    EXPECT_EQ(std::string("File Operation Problem|").size() + 1023, recorder.boxes()[1].size());
    const std::string longText(2000, 'a');
    qeSysMessageBox("%s", longText.c_str());
    EXPECT_EQ("Qirn|" + std::string(1023, 'a'), recorder.boxes()[2]);
    testing::internal::CaptureStdout();
    qeSysDebugPrint("%s", longText.c_str());
    EXPECT_EQ(std::string(511, 'a'), testing::internal::GetCapturedStdout());
    qeSysFormatError("%s", longText.c_str());
    EXPECT_EQ(std::string(1023, 'a'), qeSysGetFormatError());
}

}  // namespace
