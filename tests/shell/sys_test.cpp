#include "sys.h"

#include <windows.h>
#include <commdlg.h>

#include <gtest/gtest.h>

#include <string>

#include "file_fixtures.h"
#include "shell_fixtures.h"

namespace {

std::string currentDirectory() {
    char dir[MAX_PATH] = "";
    GetCurrentDirectoryA(sizeof(dir), dir);
    std::string result = dir;
    return result.back() == '\\' ? result : result + "\\";
}

TEST(Sys, ExecutablePathsAndDirectoriesOfPaths) {
    // The program's own path, whatever argument 0 says: a bare name found through PATH (which the current
    // directory does not hold), a path elsewhere, or nothing at all.
    char module[MAX_PATH] = "";
    ASSERT_NE(0u, GetModuleFileNameA(nullptr, module, MAX_PATH));
    const std::string exe = module, dir = exe.substr(0, exe.find_last_of('\\') + 1);
    char elsewhere[] = "C:\\qirn\\bin\\qirn.exe", bare[] = "qirn.exe";
    for (char* first : {elsewhere, bare, static_cast<char*>(nullptr)}) {
        char* argv[] = {first, nullptr};
        EXPECT_EQ(0, qeSysInit(first ? 1 : 0, argv));
        EXPECT_EQ(exe, qeSysGetExePath()) << (first ? first : "(none)");
        EXPECT_EQ(dir, qeSysGetExeDir()) << (first ? first : "(none)");
    }

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

TEST(Sys, TheShellCopiesFilesAndFoldersAndDeletesFolders) {
    qetest::TempDir root("shell files");
    const std::string from = root.mkdir("from dir");
    root.mkdir("from dir\\inner");
    root.write("from dir\\a.txt", "a");
    root.write("from dir\\inner\\b.txt", "b");
    EXPECT_EQ(0, qeSysCopyFile((from + "a.txt").c_str(), (root.path() + "copy.txt").c_str()));
    EXPECT_EQ("a", qetest::readFile(root.path() + "copy.txt"));
    // a folder goes with everything in it
    EXPECT_EQ(0, qeSysCopyFile((root.path() + "from dir").c_str(), (root.path() + "to dir").c_str()));
    EXPECT_EQ("b", qetest::readFile(root.path() + "to dir\\inner\\b.txt"));
    EXPECT_EQ(-1, qeSysCopyFile((root.path() + "missing.txt").c_str(), (root.path() + "x.txt").c_str()));
    EXPECT_FALSE(qetest::exists(root.path() + "x.txt"));
    EXPECT_EQ(-1, qeSysCopyFile(nullptr, (root.path() + "x.txt").c_str()));

    EXPECT_EQ(1, qeSysDeleteFolder((root.path() + "to dir").c_str(), 1));
    EXPECT_FALSE(qetest::exists(root.path() + "to dir"));
    EXPECT_TRUE(qetest::exists(from + "inner\\b.txt"));
    EXPECT_EQ(0, qeSysDeleteFolder("", 1));
    EXPECT_EQ(0, qeSysDeleteFolder(nullptr, 1));
}

}  // namespace
