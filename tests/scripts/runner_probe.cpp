// A test program that the runner's own test sends through scripts/run_test_program.py. Its last
// argument picks how it ends: "pass" (one test passes), "fail-exit-0" (one test fails, the program
// still exits 0), "killed" (the process is ended in the middle of a test with status 0, as Wine
// reports a process whose server was stopped), "crash-after-result" (its tests pass and it exits 0,
// but after its result it prints what Wine prints when a thread's exception goes unhandled at exit),
// "device-after-result" (the same, with the line a test program prints for a device left alive),
// "crash" (a write through a null pointer, unhandled, before any test: the run command's test plays it
// as qirn.exe), "assert" (the same with the exception that Wine's own assertions raise), "midi" (before any
// test, it asks Wine's sound driver for its MIDI outputs, which makes the driver look for a MIDI sequencer,
// prints "midi outputs: N" and ends), "wait" (its test waits until the process is ended: a qirn.exe that
// plays on) or "read" (before any test, it copies the file named by the argument before the mode into a file
// of that name with ".read" added, and ends: 0 when it could, 1 when not; the run command's test plays it on
// a file outside the clone).
#include <gtest/gtest.h>
#include <windows.h>
#include <mmsystem.h>

#include <cstdio>
#include <cstring>
#include <string>

namespace {
const char* g_mode = "";

TEST(RunnerProbe, EndsAsItsModeSays) {
    if (std::strcmp(g_mode, "killed") == 0) {
        std::fflush(stdout);
        TerminateProcess(GetCurrentProcess(), 0);
    }
    if (std::strcmp(g_mode, "wait") == 0)
        for (;;) Sleep(1000);
    EXPECT_STRNE("fail-exit-0", g_mode);
}
}  // namespace

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    if (argc > 1) g_mode = argv[argc - 1];
    if (std::strcmp(g_mode, "read") == 0) {
        if (argc < 3) return 1;
        const std::string name = argv[argc - 2];
        std::FILE* in = std::fopen(name.c_str(), "rb");
        if (!in) {
            std::fprintf(stderr, "cannot open %s\n", name.c_str());
            return 1;
        }
        std::string content;
        char buffer[4096];
        for (size_t got; (got = std::fread(buffer, 1, sizeof buffer, in)) > 0;) content.append(buffer, got);
        std::fclose(in);
        std::FILE* out = std::fopen((name + ".read").c_str(), "wb");
        if (!out) return 1;
        const bool written = std::fwrite(content.data(), 1, content.size(), out) == content.size();
        return std::fclose(out) == 0 && written ? 0 : 1;
    }
    if (std::strcmp(g_mode, "midi") == 0) {
        std::printf("midi outputs: %u\n", midiOutGetNumDevs());
        return 0;
    }
    // Wine's code for a failed assertion of its own (EXCEPTION_WINE_ASSERTION).
    if (std::strcmp(g_mode, "assert") == 0) RaiseException(0x80000101, EXCEPTION_NONCONTINUABLE, 0, nullptr);
    if (std::strcmp(g_mode, "crash") == 0) {
        int* volatile nowhere = nullptr;
        *nowhere = 1;
    }
    const int failed = RUN_ALL_TESTS();
    if (std::strcmp(g_mode, "crash-after-result") == 0)
        std::fprintf(stderr,
                     "wine: Unhandled page fault on write access to 01EAFEF8 at address 78171EB8 (thread 00cc), "
                     "starting debugger...\n");
    if (std::strcmp(g_mode, "device-after-result") == 0)
        std::printf("A Direct3D command thread still runs at the end: a device was not released\n");
    return std::strcmp(g_mode, "fail-exit-0") == 0 ? 0 : failed;
}
