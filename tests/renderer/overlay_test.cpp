#include "overlay.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct OverlayFixture : testing::Test {
    OverlayFixture() { qeIrrlichtOverlayClear(); }
    ~OverlayFixture() override { qeIrrlichtOverlayReset(); }
};

TEST_F(OverlayFixture, TheQueueHoldsAtMost1024CommandsAnd64Texts) {
    for (int i = 0; i < 64; ++i) ASSERT_EQ(0, qeIrrlichtOverlayAddText(nullptr, i, 0, "t", 0xFFFFFFFF));
    EXPECT_EQ(-1, qeIrrlichtOverlayAddText(nullptr, 0, 0, "65th", 0xFFFFFFFF));
    for (int i = 64; i < 1024; ++i) ASSERT_EQ(0, qeIrrlichtOverlayAddBox(0, 0, i, i, 0xFF000000));
    EXPECT_EQ(-1, qeIrrlichtOverlayAddLine(0, 0, 1, 1, 0));
    EXPECT_EQ(-1, qeIrrlichtOverlayAddImageWithEffect(nullptr, 0, 0, 1, 1, nullptr, 0));
    const OverlayQueue* q = qeIrrlichtOverlayQueue();
    EXPECT_EQ(1024, q->commandCount);
    EXPECT_EQ(1023, q->commands[1023].p[2]);

    // Drawing without a driver still empties the queue; a new frame starts empty.
    qeIrrlichtOverlayDraw(nullptr);
    EXPECT_EQ(0, q->commandCount);
    EXPECT_EQ(0, q->textCount);
    EXPECT_EQ(0, qeIrrlichtOverlayAddText(nullptr, 0, 0, "again", 0));
}

TEST_F(OverlayFixture, CommandsKeepTheirWordsAndLongTextsAreCut) {
    std::string longText(2000, 'q');
    ASSERT_EQ(0, qeIrrlichtOverlayAddText(nullptr, 5, 6, longText.c_str(), 0x80FF0000));
    ASSERT_EQ(0, qeIrrlichtOverlayAddBoxWithEffect(1, 2, 3, 4, nullptr, 9));
    const OverlayQueue* q = qeIrrlichtOverlayQueue();
    ASSERT_EQ(2, q->commandCount);
    EXPECT_EQ(QE_OVERLAY_TEXT, q->commands[0].kind);
    EXPECT_EQ(static_cast<int32_t>(0x80FF0000), q->commands[0].p[3]);
    EXPECT_EQ(std::string(511, 'q'), q->texts[0]);
    EXPECT_EQ(QE_OVERLAY_BOX_EFFECT, q->commands[1].kind);
    EXPECT_EQ(9, q->commands[1].p[5]);
}

}  // namespace
