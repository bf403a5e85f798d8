#include "hough_accumulator.h"

#include <gtest/gtest.h>

namespace {

struct Peak {
  int32_t votes;
  double rho;
  double angle;
};

Peak extract(HoughAccumulator& acc) {
  Peak p{0, 0, 0};
  p.votes = houghExtractPeak(acc, &p.rho, &p.angle);
  return p;
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
    EXPECT_EQ(acc.angleBins, 300);
    EXPECT_EQ(acc.votes.size(), size_t(300) * c.rhoBins);
    EXPECT_EQ(acc.voteCount, 0);
  }
}

TEST(HoughInit, SameSizeReusesTablesAndClearsCounters) {
  HoughAccumulator acc;
  houghInit(acc, 640, 480, 300, 1.0f);
  for (int y = 0; y < 50; ++y) houghVote(acc, 10, y);
  ASSERT_EQ(acc.voteCount, 50);
  const int32_t* votes = acc.votes.data();
  const float* sines = acc.sinTable.data();
  houghInit(acc, 640, 480, 300, 1.0f);
  EXPECT_EQ(acc.votes.data(), votes);
  EXPECT_EQ(acc.sinTable.data(), sines);
  EXPECT_EQ(acc.voteCount, 0);
  EXPECT_EQ(houghFindMax(acc, nullptr, nullptr), 1);
  for (int32_t v : acc.votes) ASSERT_EQ(v, 0);

  houghInit(acc, 320, 240, 300, 1.0f);
  EXPECT_EQ(acc.votes.size(), size_t(300) * 800);
}

TEST(HoughVote, OriginVotesIntoTheMiddleBinForEveryAngle) {
  HoughAccumulator acc;
  houghInit(acc, 640, 480, 300, 1.0f);
  houghVote(acc, 0, 0);
  for (int a = 0; a < 300; ++a) ASSERT_EQ(houghBinAt(acc, 800, a), 1) << a;
  EXPECT_EQ(houghBinAt(acc, -1, 0), -1);
  EXPECT_EQ(houghBinAt(acc, 1600, 0), -1);
  EXPECT_EQ(houghBinAt(acc, 0, 300), -1);
  // Pixels far outside the frame drop their out-of-table votes silently.
  houghVote(acc, 100000, 100000);
  EXPECT_EQ(acc.voteCount, 2);
}

TEST(HoughExtract, VerticalRunGivesItsLineThenItsMirrorNear180) {
  HoughAccumulator acc;
  houghInit(acc, 640, 480, 300, 1.0f);
  for (int y = 100; y < 200; ++y) houghVote(acc, 100, y);
  int32_t r = -1, a = -1;
  EXPECT_EQ(houghFindMax(acc, &r, &a), 100);
  EXPECT_EQ(r, 900);
  EXPECT_EQ(a, 0);

  Peak first = extract(acc);
  EXPECT_EQ(first.votes, 100);
  EXPECT_DOUBLE_EQ(first.rho, 100.0);
  EXPECT_DOUBLE_EQ(first.angle, 0.0);
  for (int ai = 0; ai <= 14; ++ai)
    for (int ri = 788; ri <= 1011; ++ri) ASSERT_EQ(houghBinAt(acc, ri, ai), 0) << ri << "," << ai;

  ASSERT_EQ(houghFindMax(acc, &r, &a), 57);
  EXPECT_EQ(r, 702);
  EXPECT_EQ(a, 299);
  Peak second = extract(acc);
  EXPECT_EQ(second.votes, 57);
  EXPECT_DOUBLE_EQ(second.rho, -98.0);
  EXPECT_DOUBLE_EQ(second.angle, 179.4);
}

TEST(HoughExtract, TiesGoToSmallerAngleThenSmallerRho) {
  HoughAccumulator acc;
  houghInit(acc, 640, 480, 300, 1.0f);
  setBin(acc, 1500, 40, 9);
  setBin(acc, 300, 200, 9);
  setBin(acc, 100, 200, 9);
  int32_t r = -1, a = -1;
  EXPECT_EQ(houghFindMax(acc, &r, &a), 9);
  EXPECT_EQ(a, 40);
  EXPECT_EQ(r, 1500);
  extract(acc);
  EXPECT_EQ(houghFindMax(acc, &r, &a), 9);
  EXPECT_EQ(a, 200);
  EXPECT_EQ(r, 100);
}

TEST(HoughExtract, WindowIsHalfOpenAndDoesNotWrap) {
  HoughAccumulator acc;
  houghInit(acc, 640, 480, 300, 1.0f);
  const int r = 800;
  setBin(acc, r, 290, 50);
  for (int a : {274, 275, 299, 0, 4}) setBin(acc, r, a, 5);
  setBin(acc, r - 112, 290, 5);
  setBin(acc, r - 113, 290, 6);
  setBin(acc, r + 111, 290, 5);
  setBin(acc, r + 112, 290, 7);
  Peak p = extract(acc);
  EXPECT_EQ(p.votes, 50);
  EXPECT_NEAR(p.angle, 174.0, 1e-9);
  EXPECT_DOUBLE_EQ(p.rho, 0.0);
  EXPECT_EQ(houghBinAt(acc, r, 274), 5);
  EXPECT_EQ(houghBinAt(acc, r, 275), 0);
  EXPECT_EQ(houghBinAt(acc, r, 299), 0);
  EXPECT_EQ(houghBinAt(acc, r, 0), 5);
  EXPECT_EQ(houghBinAt(acc, r, 4), 5);
  EXPECT_EQ(houghBinAt(acc, r - 112, 290), 0);
  EXPECT_EQ(houghBinAt(acc, r - 113, 290), 6);
  EXPECT_EQ(houghBinAt(acc, r + 111, 290), 0);
  EXPECT_EQ(houghBinAt(acc, r + 112, 290), 7);
}

TEST(HoughExtract, EndsWithoutPeaksAndOnTinyFrames) {
  HoughAccumulator empty;
  double rho = 7, angle = 7;
  EXPECT_EQ(houghExtractPeak(empty, &rho, &angle), 0);
  EXPECT_EQ(rho, 7);

  HoughAccumulator acc;
  houghInit(acc, 640, 480, 300, 1.0f);
  houghVote(acc, 5, 5);  // single votes are never peaks
  EXPECT_EQ(houghExtractPeak(acc, &rho, &angle), 0);

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
  while (houghExtractPeak(tiny, &rho, &angle) > 0) ASSERT_LT(++peaks, 300 * tiny.rhoBins);
  EXPECT_GT(peaks, 0);
  EXPECT_EQ(houghFindMax(tiny, nullptr, nullptr), 1);
}

}  // namespace
