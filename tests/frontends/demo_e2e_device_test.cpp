// qirn.exe plays the bundled example demo to its end and exits 0. A message box (a load failure) or a
// stalled time line would keep it running: the wait has a limit, after which the process is ended.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

namespace {

TEST(DemoEndToEnd, ExampleDemoPlaysToItsEnd) {
    const std::string exe = std::string(QIRN_OUTPUT_DIR) + "qirn.exe";
    std::string command = "\"" + exe + "\" \"" + QIRN_EXAMPLES_DIR + "demo/example.demo.ini\"";
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    ASSERT_TRUE(CreateProcessA(exe.c_str(), &command[0], nullptr, nullptr, FALSE, 0, nullptr, QIRN_OUTPUT_DIR,
                               &startup, &process))
        << GetLastError();
    // The demo lasts 32 s; loading and the translated code of the test machines add to it.
    const DWORD waited = WaitForSingleObject(process.hProcess, 420 * 1000);
    DWORD code = 0xFFFFFFFF;
    if (waited != WAIT_OBJECT_0) TerminateProcess(process.hProcess, 99);
    WaitForSingleObject(process.hProcess, 10 * 1000);
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    ASSERT_EQ(WAIT_OBJECT_0, waited) << "qirn.exe did not end within the limit";
    EXPECT_EQ(0u, code);
}

}  // namespace
