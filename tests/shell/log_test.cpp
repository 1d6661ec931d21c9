#include "log.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "shell_fixtures.h"
#include "sys.h"

namespace {

struct LogFixture : testing::Test {
    qetest::BoxRecorder recorder;
    std::vector<std::string>& g_boxes = qetest::BoxRecorder::boxes();
    LogFixture() {
        qeLogSetLevel(QE_LOG_INFO);
        qeLogClearLastError();
    }
    ~LogFixture() override { qeLogSetLevel(QE_LOG_INFO); }
    static std::string capture(void (*body)()) {
        testing::internal::CaptureStdout();
        body();
        return testing::internal::GetCapturedStdout();
    }
};

TEST_F(LogFixture, ThresholdDecidesWhatIsPrinted) {
    EXPECT_EQ("", capture([] { qeLogPrint(QE_LOG_DEBUG, "hidden %d", 1); }));
    EXPECT_EQ("INFO : setup filesystem windows\n", capture([] { qeLogPrint(QE_LOG_INFO, "setup filesystem windows"); }));
    EXPECT_EQ("??? : odd\n", capture([] { qeLogPrint(7, "odd"); }));
    qeLogSetLevel(QE_LOG_NONE);
    EXPECT_EQ(QE_LOG_NONE, qeLogGetLevel());
    EXPECT_EQ("", capture([] { qeLogPrint(QE_LOG_ERROR, "quiet"); }));
    EXPECT_STREQ("WARN", qeLogLevelName(2));
    EXPECT_STREQ("???", qeLogLevelName(-1));
}

TEST_F(LogFixture, ErrorIsKeptEvenWhenNotPrinted) {
    int arg = 99;
    EXPECT_EQ(nullptr, qeLogGetLastError(&arg));
    EXPECT_EQ(-1, arg);
    EXPECT_EQ(nullptr, qeLogGetLastError(nullptr));

    qeLogSetLevel(QE_LOG_NONE);
    std::string out = capture([] { qeLogError(2, "Light ID %d does not exist. %s", 5, "id 5 does not exist"); });
    EXPECT_EQ("", out);
    EXPECT_STREQ("Light ID 5 does not exist. id 5 does not exist", qeLogGetLastError(&arg));
    EXPECT_EQ(2, arg);
    // Reading does not clear; clearing keeps nothing pending.
    EXPECT_NE(nullptr, qeLogGetLastError(nullptr));
    qeLogClearLastError();
    EXPECT_EQ(nullptr, qeLogGetLastError(&arg));
    EXPECT_EQ(-1, arg);
    // A plain print never touches the last error.
    qeLogPrint(QE_LOG_ERROR, "not kept");
    EXPECT_EQ(nullptr, qeLogGetLastError(nullptr));
}

TEST_F(LogFixture, LongTextIsCutToTheBuffer) {
    std::string text(2000, 'a');
    qeLogSetLevel(QE_LOG_NONE);
    qeLogError(1, "%s", text.c_str());
    EXPECT_EQ(std::string(1023, 'a'), qeLogGetLastError(nullptr));
}

TEST_F(LogFixture, BoxShowsTheTextAsItStandsEvenWithPercentSigns) {
    qeLogSetLevel(QE_LOG_NONE);
    qeLogErrorBox(-1, "Setup failed: %s", "C:\\demo\\100%d%s\\scene.qirn");
    ASSERT_EQ(1u, g_boxes.size());
    EXPECT_EQ("Qirn|Setup failed: C:\\demo\\100%d%s\\scene.qirn", g_boxes[0]);
    int arg = 0;
    EXPECT_NE(nullptr, qeLogGetLastError(&arg));
    EXPECT_EQ(-1, arg);

    // Boxes can be switched off for good; errors are still kept.
    qeLogClearLastError();
    qeLogDisableMessageBoxes();
    qeLogErrorBox(3, "second");
    EXPECT_EQ(1u, g_boxes.size());
    EXPECT_STREQ("second", qeLogGetLastError(&arg));
    EXPECT_EQ(3, arg);
}

}  // namespace
