// The packet copies and the frame codec: every 16-bit value survives, layouts stay apart.
#include <gtest/gtest.h>

#include <cstring>

#include "model.h"
#include "rs232.h"
#include "sensor_link.h"

namespace {

class ModelCodec : public ::testing::Test {
  protected:
    std::uint16_t* ParamWords() { return &params.powerA; }
    SensorLink line{1};
    ParameterSet params = StartParameters();
    MeasurementRecord meas;
};

TEST_F(ModelCodec, ParameterSetRoundTripsEveryValueInEveryWord) {
    static_assert(sizeof(ParameterSet) == PNUM * sizeof(std::uint16_t));
    for (int k = 0; k < PNUM; ++k) {
        for (std::uint32_t v = 0; v <= 0xFFFF; v += (v < 300 || v > 0xFF00) ? 1 : 97) {
            ParamWords()[k] = static_cast<std::uint16_t>(v);
            CopyVarsToPP(params, line.pp);
            ASSERT_EQ(line.pp[k], v);
            ParamWords()[k] = 0;
            CopyPPtoVars(line.pp, params);
            ASSERT_EQ(ParamWords()[k], v) << "word " << k;
        }
    }
}

TEST_F(ModelCodec, RecordWordsThreeToFiveLandInToleranceAndSetPoints) {
    const ParameterSet before = params;
    for (int k = 0; k < PNUM; ++k) line.pp[k] = static_cast<std::uint16_t>(1000 + k);
    line.pp[3] = 7;
    line.pp[4] = 300;
    line.pp[5] = 400;
    line.pp[11] = 600;
    line.pp[12] = 500;
    CopyPPtoRAWVars(line.pp, meas, params);
    EXPECT_EQ(params.tTol, 7);
    EXPECT_EQ(params.tValA, 300);
    EXPECT_EQ(params.tValB, 400);
    EXPECT_EQ(params.powerA, before.powerA);
    EXPECT_EQ(params.vThdA, before.vThdA);
    EXPECT_EQ(params.ePoti, before.ePoti);
    EXPECT_EQ(params.sTime, before.sTime);
    EXPECT_EQ(meas.Avalue, 1000);
    EXPECT_EQ(meas.Mvalue, 1002);
    EXPECT_EQ(meas.tVal, 1006);
    EXPECT_EQ(meas.leftA, 1009);
    EXPECT_EQ(meas.rightA, 1010);
    EXPECT_EQ(meas.rightB, 600);  // channel B's edges come right, then left
    EXPECT_EQ(meas.leftB, 500);
    EXPECT_EQ(meas.sIndex, 1015);
}

TEST_F(ModelCodec, FrameIsBigEndianWithSyncAndOrder) {
    std::uint16_t zeros[PNUM] = {};
    line.FillTxBuf(5, zeros);
    const std::uint8_t head[] = {0x00, 0x55, 0x00, 0x05};
    EXPECT_EQ(std::memcmp(line.szWriteBuf, head, 4), 0);
    for (int i = 4; i < kFrameBytes; ++i) EXPECT_EQ(line.szWriteBuf[i], 0) << i;

    std::uint16_t words[PNUM] = {0x1234};
    words[15] = 0xFFFF;
    line.FillTxBuf(0x0102, words);
    EXPECT_EQ(line.szWriteBuf[2], 0x01);
    EXPECT_EQ(line.szWriteBuf[3], 0x02);
    EXPECT_EQ(line.szWriteBuf[4], 0x12);
    EXPECT_EQ(line.szWriteBuf[5], 0x34);
    EXPECT_EQ(line.szWriteBuf[34], 0xFF);
    EXPECT_EQ(line.szWriteBuf[35], 0xFF);
}

TEST_F(ModelCodec, ReceivedWordsDecodeUnsigned) {
    line.szReadBuf[4] = 0xFF;
    line.szReadBuf[5] = 0xFE;
    line.szReadBuf[6] = 0x80;
    line.szReadBuf[7] = 0x00;
    line.GetRxBuf(PNUM);
    EXPECT_EQ(line.pp[0], 65534);
    EXPECT_EQ(line.pp[1], 0x8000);
    CopyPPtoRAWVars(line.pp, meas, params);
    EXPECT_EQ(meas.Bvalue, 32768u);
    CopyPPtoVars(line.pp, params);
    EXPECT_EQ(params.powerB, 32768u);
    EXPECT_GT(static_cast<int>(params.powerB), 0);
}

TEST_F(ModelCodec, NotificationWithoutReceiveBitChangesNothing) {
    line.pp[0] = 42;
    line.szReadBuf[4] = 0x12;
    for (int mask : {LWRS_RXFLAG, LWRS_TXEMPTY, LWRS_RXFLAG | LWRS_TXEMPTY}) {
        SensorLink::RX_Receive_Function(1, mask, &line);
        EXPECT_EQ(line.FramesReceived(), 0u);
        EXPECT_EQ(line.pp[0], 42);
    }
}

TEST_F(ModelCodec, StatusTextIsCutTo71Characters) {
    const std::string longText(100, 'x');
    line.SetStatus(longText.c_str());
    EXPECT_EQ(std::strlen(line.szStatus), 71u);
}

}  // namespace
