// A test program that the runner's own test sends through scripts/run_test_program.py. Its last
// argument picks how it ends: "pass" (one test passes), "fail-exit-0" (one test fails, the program
// still exits 0) or "killed" (the process is ended in the middle of a test with status 0, as Wine
// reports a process whose server was stopped).
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <cstring>

namespace {
const char* g_mode = "";

TEST(RunnerProbe, EndsAsItsModeSays) {
    if (std::strcmp(g_mode, "killed") == 0) {
        std::fflush(stdout);
        TerminateProcess(GetCurrentProcess(), 0);
    }
    EXPECT_STRNE("fail-exit-0", g_mode);
}
}  // namespace

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    if (argc > 1) g_mode = argv[argc - 1];
    const int failed = RUN_ALL_TESTS();
    return std::strcmp(g_mode, "fail-exit-0") == 0 ? 0 : failed;
}
