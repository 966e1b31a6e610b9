// Array helpers: extremes with ties, in-place shifts in both directions, bad counts.
#include "arrays.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

TEST(MaxMin1D, FirstOfEqualExtremesWins) {
    const double a[] = {3, 7, 1, 7, 1};
    double max = 0, min = 0;
    int maxAt = -1, minAt = -1;
    ASSERT_EQ(MaxMin1D(a, 5, &max, &maxAt, &min, &minAt), 0);
    EXPECT_EQ(max, 7);
    EXPECT_EQ(maxAt, 1);
    EXPECT_EQ(min, 1);
    EXPECT_EQ(minAt, 2);

    const double flat[] = {5, 5, 5};
    MaxMin1D(flat, 3, &max, &maxAt, &min, &minAt);
    EXPECT_EQ(maxAt, 0);
    EXPECT_EQ(minAt, 0);

    MaxMin1D(a + 2, 1, &max, &maxAt, &min, &minAt);
    EXPECT_EQ(max, 1);
    EXPECT_EQ(min, 1);
    EXPECT_EQ(maxAt, 0);
}

TEST(MaxMin1D, NaNChangesNeitherExtreme) {
    const double a[] = {4, NAN, 9, 2};
    double max = 0, min = 0;
    int maxAt = 0, minAt = 0;
    MaxMin1D(a, 4, &max, &maxAt, &min, &minAt);
    EXPECT_EQ(max, 9);
    EXPECT_EQ(min, 2);
}

TEST(Shift, InPlaceBothDirections) {
    double a[] = {1, 2, 3, 4, 5, 6, 7};
    ASSERT_EQ(Shift(a, 7, -5, a), 0);
    EXPECT_EQ(std::vector<double>(a, a + 7), (std::vector<double>{6, 7, 0, 0, 0, 0, 0}));

    double b[] = {1, 2, 3, 4, 5, 6, 7};
    ASSERT_EQ(Shift(b, 7, 2, b), 0);
    EXPECT_EQ(std::vector<double>(b, b + 7), (std::vector<double>{0, 0, 1, 2, 3, 4, 5}));
}

TEST(Shift, HistoryOfFiveHundredAgesByOneSample) {
    std::vector<double> h(500);
    for (int i = 0; i < 500; ++i) h[i] = i;
    ASSERT_EQ(Shift(h.data(), 500, -5, h.data()), 0);
    for (int i = 0; i < 495; ++i) ASSERT_EQ(h[i], i + 5);
    for (int i = 495; i < 500; ++i) EXPECT_EQ(h[i], 0.0);
}

TEST(ArrayHelpers, BadCountsAndDistancesWriteNothing) {
    double src[] = {1, 2, 3, 4, 5, 6, 7};
    double dst[] = {9, 9, 9, 9, 9, 9, 9};
    EXPECT_EQ(Shift(src, 7, 7, dst), -20102);
    EXPECT_EQ(Shift(src, 7, -7, dst), -20102);
    EXPECT_EQ(Shift(src, 7, -2147483647 - 1, dst), -20102);
    EXPECT_EQ(Shift(src, 0, 0, dst), -20003);
    for (double v : dst) EXPECT_EQ(v, 9);
    EXPECT_EQ(Set1D(dst, 0, 1.0), -20003);
    EXPECT_EQ(Copy1D(src, 0, dst), -20003);
    double max = -1, min = -1;
    int maxAt = -1, minAt = -1;
    EXPECT_EQ(MaxMin1D(src, 0, &max, &maxAt, &min, &minAt), -20003);
    EXPECT_EQ(maxAt, -1);
    EXPECT_EQ(dst[0], 9);
}

TEST(RingOrder, WorkedExample) {
    double databuf[128], newbuf[128];
    databuf[0] = 130;
    for (int k = 1; k < 128; ++k) databuf[k] = 1000 + k;
    RingOrder(databuf, newbuf);
    EXPECT_EQ(databuf[0], 1001);
    EXPECT_EQ(newbuf[0], 1004);
    EXPECT_EQ(newbuf[1], 1004);
    EXPECT_EQ(newbuf[2], 1004);
    EXPECT_EQ(newbuf[3], 1005);
    EXPECT_EQ(newbuf[125], 1127);
    EXPECT_EQ(newbuf[126], 1001);
    EXPECT_EQ(newbuf[127], 1001);

    databuf[0] = 256;  // a multiple of 128 keeps the stored order
    for (int k = 1; k < 128; ++k) databuf[k] = k;
    RingOrder(databuf, newbuf);
    for (int i = 3; i < 128; ++i) EXPECT_EQ(newbuf[i], i);
}

}  // namespace
