#include "hough_accumulator.h"

#include <sstream>
#include <string>

#include <gtest/gtest.h>

namespace {

// The next peak as "votes@angle,rho".
std::string extract(HoughAccumulator& acc) {
  double rho = 0, angle = 0;
  const int32_t votes = houghExtractPeak(acc, &rho, &angle);
  std::ostringstream peak;
  peak << votes << "@" << angle << "," << rho;
  return peak.str();
}

HoughAccumulator vga() {
  HoughAccumulator acc;
  houghInit(acc, 640, 480, 300, 1.0f);
  return acc;
}

// The tie and window rules are easiest to check on a hand-filled table.
void setBin(HoughAccumulator& acc, int r, int a, int32_t value) {
  acc.votes[size_t(a) * acc.rhoBins + r] = value;
}

TEST(HoughInit, SizesFollowTheFrameDiagonal) {
  struct Case {
    int w, h, rhoBins, rhoWindow;
  };
  for (const Case& c :
       {Case{640, 480, 1600, 112}, Case{320, 240, 800, 56}, Case{720, 576, 1844, 129}}) {
    HoughAccumulator acc;
    houghInit(acc, c.w, c.h, 300, 1.0f);
    EXPECT_EQ(acc.rhoBins, c.rhoBins) << c.w;
    EXPECT_EQ(acc.rhoWindow, c.rhoWindow) << c.w;
    EXPECT_EQ(acc.angleWindow, 15) << c.w;
    EXPECT_EQ(acc.votes.size(), size_t(300) * c.rhoBins) << c.w;
  }
}

TEST(HoughInit, SameSizeReusesTablesAndClearsCounters) {
  HoughAccumulator acc = vga();
  for (int y = 0; y < 50; ++y) houghVote(acc, 10, y);
  const int32_t* votes = acc.votes.data();
  houghInit(acc, 640, 480, 300, 1.0f);
  EXPECT_EQ(acc.votes.data(), votes);
  EXPECT_EQ(acc.voteCount, 0);
  for (int32_t v : acc.votes) ASSERT_EQ(v, 0);
  houghInit(acc, 320, 240, 300, 1.0f);
  EXPECT_EQ(acc.votes.size(), size_t(300) * 800);
}

TEST(HoughExtract, VerticalRunGivesItsLineThenItsMirrorNear180) {
  HoughAccumulator acc = vga();
  for (int y = 100; y < 200; ++y) houghVote(acc, 100, y);
  EXPECT_EQ(extract(acc), "100@0,100");
  for (int ai = 0; ai <= 14; ++ai)
    for (int ri = 788; ri <= 1011; ++ri) ASSERT_EQ(houghBinAt(acc, ri, ai), 0) << ri << "," << ai;
  EXPECT_EQ(extract(acc), "57@179.4,-98");
}

TEST(HoughExtract, TiesGoToSmallerAngleThenSmallerRho) {
  HoughAccumulator acc = vga();
  setBin(acc, 1500, 40, 9);
  setBin(acc, 300, 200, 9);
  setBin(acc, 100, 200, 9);
  EXPECT_EQ(extract(acc), "9@24,700");
  EXPECT_EQ(extract(acc), "9@120,-700");
  EXPECT_EQ(extract(acc), "9@120,-500");
}

TEST(HoughExtract, WindowIsHalfOpenAndDoesNotWrap) {
  HoughAccumulator acc = vga();
  const int r = 800;
  setBin(acc, r, 290, 50);
  struct Bin {
    int r, a, votes, left;
  };
  const Bin around[] = {{r, 274, 5, 5},       {r, 275, 5, 0},       {r, 299, 5, 0},
                        {r, 0, 5, 5},         {r, 4, 5, 5},         {r - 112, 290, 5, 0},
                        {r - 113, 290, 6, 6}, {r + 111, 290, 5, 0}, {r + 112, 290, 7, 7}};
  for (const Bin& b : around) setBin(acc, b.r, b.a, b.votes);
  EXPECT_EQ(extract(acc), "50@174,0");
  for (const Bin& b : around) EXPECT_EQ(houghBinAt(acc, b.r, b.a), b.left) << b.r << "," << b.a;
}

TEST(HoughExtract, EndsWithoutPeaksAndOnTinyFrames) {
  HoughAccumulator empty;
  EXPECT_EQ(extract(empty), "0@0,0");
  HoughAccumulator acc = vga();
  houghVote(acc, 5, 5);  // single votes are never peaks
  EXPECT_EQ(extract(acc), "0@0,0");

  // A 4x4 frame has a zero rho window; each peak must still be taken out.
  HoughAccumulator tiny;
  houghInit(tiny, 4, 4, 300, 1.0f);
  ASSERT_EQ(tiny.rhoWindow, 0);
  for (int i = 0; i < 4; ++i) {
    houghVote(tiny, i, 0);
    houghVote(tiny, 0, i);
    houghVote(tiny, i, i);
  }
  int peaks = 0;
  while (extract(tiny)[0] != '0') ASSERT_LT(++peaks, 300 * tiny.rhoBins);
  EXPECT_GT(peaks, 0);
}

}  // namespace
