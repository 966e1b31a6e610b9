// Array helpers on doubles. Status 0 = done, -20003 = count below 1,
// -20102 = shift distance of n or more in magnitude. Nothing is written on an error.
#pragma once

constexpr int kArrayOk = 0;
constexpr int kArrayBadCount = -20003;
constexpr int kArrayBadShift = -20102;

int Copy1D(const double* source, int n, double* destination);
int MaxMin1D(const double* array, int n, double* max, int* maxIndex, double* min, int* minIndex);
int Set1D(double* array, int n, double value);
// Positive d moves elements towards higher indices; vacated places become 0.0.
// Source and destination may be the same array.
int Shift(const double* source, int n, int d, double* destination);

// Puts the sensor's 128-word measured-value buffer into ring order: word 0 holds the ring's
// position p and is replaced by word 1; newbuf[i] = databuf[(p + i) mod 128]; the first two
// ordered values are replaced by the third.
void RingOrder(double* databuf, double* newbuf);
