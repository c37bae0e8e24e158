#include "link/ProtocolKS518_Ref.h"

#include <gtest/gtest.h>

TEST(ProtocolFrames, TaskFrameLayout) {
    OutParams out;
    out.mode = 'Y';
    out.g = 3;
    out.r = 3;
    out.averagingCode = 16;
    out.gainCode = 200;
    out.decimation = 0x03FF;
    out.pulseCode = 5000;
    out.microplan = 0x12345678;
    const QByteArray frame = CProtocolKS518_Ref::BuildTaskFrame(out);
    const QByteArray expected("\x44\x10\x59\x03\x03\x10\xC8\xFF\x03\x88\x13\x78\x56\x34\x00\x00", 16);
    EXPECT_EQ(frame.toHex(' '), expected.toHex(' '));
}

TEST(ProtocolFrames, OkRepliesNeedAllThreeBytes) {
    EXPECT_TRUE(CProtocolKS518_Ref::IsOkReply(":OK"));
    EXPECT_TRUE(CProtocolKS518_Ref::IsOkReply(":OK\r\nextra"));
    EXPECT_FALSE(CProtocolKS518_Ref::IsOkReply(":O"));
    EXPECT_FALSE(CProtocolKS518_Ref::IsOkReply("OK"));
    EXPECT_FALSE(CProtocolKS518_Ref::IsOkReply(":E\x01\x02"));
    EXPECT_FALSE(CProtocolKS518_Ref::IsOkReply(""));
}
