// The main of every test program. Modal boxes never wait for a click here: they are printed and
// answered with OK (tests that check boxes install their own hook).
#include <gtest/gtest.h>

#include <cstdio>

#include "sys.h"

namespace {
int printBox(const char* caption, const char* text, unsigned int) {
    std::printf("[box %s] %s\n", caption, text);
    return 1;  // IDOK
}
}  // namespace

int main(int argc, char** argv) {
    qeSysSetBoxHook(printBox);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
