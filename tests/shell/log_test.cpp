#include "log.h"

#include <gtest/gtest.h>

#include <string>

#include "shell_fixtures.h"

namespace {

std::string printed(void (*body)()) {
    testing::internal::CaptureStdout();
    body();
    return testing::internal::GetCapturedStdout();
}

TEST(Log, ThresholdDecidesWhatIsPrintedAndErrorsAreKeptAnyway) {
    qeLogSetLevel(QE_LOG_INFO);
    qeLogClearLastError();
    EXPECT_EQ("", printed([] { qeLogPrint(QE_LOG_DEBUG, "hidden %d", 1); }));
    EXPECT_EQ("INFO : setup filesystem windows\n", printed([] { qeLogPrint(QE_LOG_INFO, "setup filesystem windows"); }));
    EXPECT_EQ("??? : odd\n", printed([] { qeLogPrint(7, "odd"); }));
    int arg = 99;
    EXPECT_EQ(nullptr, qeLogGetLastError(&arg));
    EXPECT_EQ(-1, arg);

    qeLogSetLevel(QE_LOG_NONE);
    EXPECT_EQ("", printed([] { qeLogError(2, "Light ID %d does not exist. %s", 5, "id 5 does not exist"); }));
    EXPECT_STREQ("Light ID 5 does not exist. id 5 does not exist", qeLogGetLastError(&arg));
    EXPECT_EQ(2, arg);
    qeLogClearLastError();
    qeLogPrint(QE_LOG_ERROR, "not kept");  // a plain print never touches the last error
    EXPECT_EQ(nullptr, qeLogGetLastError(nullptr));
    qeLogError(1, "%s", std::string(2000, 'a').c_str());
    EXPECT_EQ(std::string(1023, 'a'), qeLogGetLastError(nullptr));
    qeLogSetLevel(QE_LOG_INFO);
}

TEST(Log, BoxShowsTheTextAsItStandsEvenWithPercentSigns) {
    qetest::BoxRecorder recorder;
    qeLogSetLevel(QE_LOG_NONE);
    qeLogErrorBox(-1, "Setup failed: %s", "C:\\demo\\100%d%s\\scene.qirn");
    ASSERT_EQ(1u, recorder.boxes().size());
    EXPECT_EQ("Qirn|Setup failed: C:\\demo\\100%d%s\\scene.qirn", recorder.boxes()[0]);

    // Boxes can be switched off for good; errors are still kept.
    qeLogDisableMessageBoxes();
    qeLogErrorBox(3, "second");
    EXPECT_EQ(1u, recorder.boxes().size());
    EXPECT_STREQ("second", qeLogGetLastError(nullptr));
    qeLogSetLevel(QE_LOG_INFO);
}

}  // namespace
