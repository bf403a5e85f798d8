// The Hough accumulator and the board detector built on it: sizes, votes, peaks and their
// tie rules, the line families, the side walks and the choice of the quadrilateral.

#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include <opencv2/imgproc.hpp>

#include "screen/board_detector.h"
#include "screen/hough_accumulator.h"

using namespace slidetrack;

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

// One-pixel outline of the rectangle (30, 25)-(130, 95) in a 160x120 edge image.
cv::Mat rectangleOutline() {
  cv::Mat edges(120, 160, CV_8UC1, cv::Scalar(0));
  cv::rectangle(edges, cv::Point(30, 25), cv::Point(130, 95), cv::Scalar(255), 1);
  return edges;
}

std::vector<cv::Point> walk(cv::Point a, cv::Point b) {
  std::vector<cv::Point> visited;
  boardWalkSide(a, b, [&](int x, int y) { visited.emplace_back(x, y); });
  return visited;
}

std::vector<float> anglesOf(const std::vector<HoughLine>& lines) {
  std::vector<float> angles;
  for (const HoughLine& l : lines) angles.push_back(l.angle);
  return angles;
}

TEST(BoardLines, RectangleOutlineGivesSixLinesAndTheFirstFullCandidate) {
  const cv::Mat edges = rectangleOutline();
  HoughAccumulator acc;
  BoardLines lines;
  std::vector<HoughPeak> peaks;
  boardCollectLines(acc, edges, boardMinLineVotes(160), lines, &peaks);
  ASSERT_EQ(peaks.size(), 7u);
  std::ostringstream taken;
  for (int i = 0; i < 6; ++i)
    taken << peaks[i].votes << "@" << peaks[i].angle << "," << peaks[i].rho << " ";
  // The last two lines are the vertical sides seen again near 180 degrees.
  EXPECT_EQ(taken.str(), "101@90,25 101@90,95 71@0,30 71@0,130 49@179.4,-129 48@178.8,-29 ");
  EXPECT_EQ(peaks[6].votes, 9);  // below the 24 votes a line needs: the extraction stops
  ASSERT_EQ(lines.horizontalCount, 2);
  EXPECT_EQ(anglesOf(lines.verticalLines), (std::vector<float>{179.4f, 178.8f, 0, 0}));  // by rho

  // Two candidates reach full support; the first in loop order wins.
  cv::Point2f corners[4];
  EXPECT_FLOAT_EQ(boardFindQuadrilateral(lines, edges, 160, 120, corners), 1.0f);
  const cv::Point2f want[] = {{29.53f, 25}, {130, 25}, {130, 95}, {31.00f, 95}};
  for (int i = 0; i < 4; ++i) EXPECT_LT(cv::norm(corners[i] - want[i]), 0.01) << i;
}

TEST(BoardLines, FamiliesSplitAt45And135AndSortStably) {
  BoardLines lines;
  boardLinesReset(lines, 640, 480);
  const HoughLine added[] = {{44.4f, 5},   {45, 7},  {135, 7},
                             {135.6f, -3}, {-90, 1}, {270, 7}};  // -90, 270: 90 for the split
  for (const HoughLine& l : added) boardLinesAdd(lines, l.rho, l.angle);
  boardLinesFinish(lines);
  EXPECT_EQ(anglesOf(lines.verticalLines), (std::vector<float>{135.6f, 44.4f}));
  // Equal rho keeps the order of extraction.
  EXPECT_EQ(anglesOf(lines.horizontalLines), (std::vector<float>{-90, 45, 135, 270}));
  boardLinesAdd(lines, 9, 1e30f);  // far out of range: still filed, in finite time
  EXPECT_EQ(lines.verticalLines.size() + lines.horizontalLines.size(), 7u);
}

TEST(BoardLines, A640WideFrameNeeds97Votes) {
  for (int length : {96, 97}) {
    cv::Mat edges(480, 640, CV_8UC1, cv::Scalar(0));
    edges(cv::Rect(300, 50, 1, length)).setTo(255);
    HoughAccumulator acc;
    BoardLines lines;
    boardCollectLines(acc, edges, boardMinLineVotes(640), lines);
    EXPECT_EQ(lines.verticalCount, length == 97 ? 1 : 0) << length;
  }
}

TEST(BoardPasses, RetryWhileTooManyLinesAndThresholdBelow255) {
  int low = 120, high = 150;
  EXPECT_EQ(boardPassDecide(25, 40, low, high), BoardPass::Search);
  EXPECT_EQ(low, 140);
  EXPECT_EQ(high, 170);

  low = 120, high = 150;
  int passes = 1;
  while (boardPassDecide(25, 41, low, high) == BoardPass::Retry) ++passes;
  EXPECT_EQ(passes, 6);  // the last pass ran with 220 / 250
  EXPECT_EQ(high, 270);

  low = 120, high = 240;
  EXPECT_EQ(boardPassDecide(25, 41, low, high), BoardPass::Search);
  EXPECT_EQ(boardPassDecide(1, 500, low, high), BoardPass::NoScreen);
  EXPECT_EQ(boardPassDecide(500, 0, low, high), BoardPass::NoScreen);
}

TEST(BoardSides, WalkFromBTowardsAWithoutA) {
  const std::vector<cv::Point> shallow{{20, 13}, {19, 13}, {18, 12}, {17, 12}, {16, 12},
                                       {15, 11}, {14, 11}, {13, 11}, {12, 10}, {11, 10}};
  EXPECT_EQ(walk({10, 10}, {20, 13}), shallow);
  const std::vector<cv::Point> steep{{13, 20}, {13, 19}, {12, 18}, {12, 17}, {12, 16},
                                     {11, 15}, {11, 14}, {11, 13}, {10, 12}, {10, 11}};
  EXPECT_EQ(walk({10, 10}, {13, 20}), steep);
  const std::vector<cv::Point> diagonal{{14, 14}, {13, 13}, {12, 12}, {11, 11}};
  EXPECT_EQ(walk({10, 10}, {14, 14}), diagonal);
  EXPECT_TRUE(walk({10, 10}, {10, 10}).empty());
}

TEST(BoardSides, SupportIsTheMeanShareOfSidesOnEdges) {
  cv::Mat edges = rectangleOutline();
  const cv::Point2f rect[] = {{30, 25}, {130, 25}, {130, 95}, {30, 95}};
  const cv::Point2f same[] = {{40, 40}, {40, 40}, {40, 40}, {40, 40}};
  EXPECT_EQ(quadEdgeSupport(edges, 160, 120, same, 4), 0.0f);

  // A lone edge pixel in the block is not enough: of the top side's 100 samples only the
  // three next to the corners still see two edge pixels.
  edges.row(25).setTo(0);
  for (int x = 30; x <= 130; x += 4) edges.at<uchar>(25, x) = 255;
  EXPECT_NEAR(quadEdgeSupport(edges, 160, 120, rect, 4), (3 + 0.03) / 4, 1e-6);

  // Sides on the frame border are never examined but still count in the mean.
  const cv::Point2f border[] = {{0, 0}, {159, 0}, {159, 119}, {0, 119}};
  EXPECT_EQ(quadEdgeSupport(cv::Mat(120, 160, CV_8UC1, cv::Scalar(255)), 160, 120, border, 4),
            0.0f);
}

TEST(BoardCandidates, SizeAndAspectTestsAreStrict) {
  struct Case {
    float width, height, s, best;
    bool accepted;
  };
  const Case cases[] = {
      {192, 150, 1, 0, false}, {192.5f, 150, 1, 0, true},     {512, 300, 1, 0, false},
      {511, 300, 1, 0, true},  {250, 150, 0.5f, 0.5f, false}, {250, 150, 0.51f, 0.5f, true},
      {300, 150, 1, 0, false}, {299, 150, 1, 0, true},        {200, 250, 1, 0, false}};
  for (const Case& c : cases) {
    const cv::Point2f q[4] = {
        {100, 100}, {100 + c.width, 100}, {100 + c.width, 100 + c.height}, {100, 100 + c.height}};
    EXPECT_EQ(boardCandidateAccepted(q, c.s, c.best, 640), c.accepted)
        << c.width << "x" << c.height;
  }
  const cv::Point2f flat[4] = {{100, 100}, {350, 100}, {350, 100}, {100, 250}};  // r1 = 0
  EXPECT_FALSE(boardCandidateAccepted(flat, 1, 0, 640));
  const cv::Point2f mirrored[4] = {{350, 100}, {100, 100}, {350, 250}, {100, 250}};
  EXPECT_FALSE(boardCandidateAccepted(mirrored, 1, 0, 640));
}

// The search memoises side shares; it must pick exactly what scoring every candidate
// with quadEdgeSupport in loop order picks.
TEST(BoardCandidates, SearchMatchesScoringEveryCandidate) {
  cv::Mat edges(240, 320, CV_8UC1);
  cv::randu(edges, 0, 256);
  cv::threshold(edges, edges, 200, 255, cv::THRESH_BINARY);
  BoardLines lines;
  boardLinesReset(lines, 320, 240);
  cv::RNG rng(7);
  for (int i = 0; i < 9; ++i) {
    boardLinesAdd(lines, float(rng.uniform(10, 230)), 84 + 0.6f * rng.uniform(0, 21));
    const bool nearZero = i % 2 == 0;
    boardLinesAdd(lines, nearZero ? float(rng.uniform(5, 315)) : -float(rng.uniform(5, 315)),
                  nearZero ? 0.6f * rng.uniform(0, 10) : 180 - 0.6f * rng.uniform(1, 10));
  }
  boardLinesFinish(lines);

  const auto& hor = lines.horizontalLines;
  const auto& ver = lines.verticalLines;
  float best = 0;
  cv::Point2f want[4] = {};
  for (size_t a1 = 0; a1 < hor.size(); ++a1)
    for (size_t b1 = 0; b1 < ver.size(); ++b1)
      for (size_t b2 = b1 + 1; b2 < ver.size(); ++b2)
        for (size_t a2 = a1 + 1; a2 < hor.size(); ++a2) {
          cv::Point2f q[4];
          const size_t b[] = {b1, b2, b2, b1}, a[] = {a1, a1, a2, a2};
          for (int k = 0; k < 4; ++k) intersectLines(ver[b[k]], hor[a[k]], &q[k]);
          const float s = quadEdgeSupport(edges, 320, 240, q, 4);
          if (boardCandidateAccepted(q, s, best, 320)) {
            std::copy(q, q + 4, want);
            best = s;
          }
        }
  ASSERT_GT(best, 0.0f);
  cv::Point2f got[4];
  EXPECT_EQ(boardFindQuadrilateral(lines, edges, 320, 240, got), best);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(got[i], want[i]) << i;
}

TEST(BoardDetect, FramesWithoutAScreenGiveZeroCorners) {
  cv::Mat half(480, 640, CV_8UC1, cv::Scalar(20));  // a single vertical line
  half.colRange(320, 640).setTo(220);
  cv::Mat tiny(4, 4, CV_8UC1, cv::Scalar(0));  // its Hough window is empty
  tiny(cv::Rect(1, 1, 2, 2)).setTo(255);
  const cv::Mat frames[] = {cv::Mat(480, 640, CV_8UC1, cv::Scalar(0)), half, tiny, cv::Mat(),
                            cv::Mat(480, 640, CV_8UC3, cv::Scalar(0))};
  for (const cv::Mat& frame : frames) {
    cv::Point2f corners[4];
    std::fill(corners, corners + 4, cv::Point2f(7, 7));
    EXPECT_EQ(boardDetect(frame, corners, 120, 150), 0.0f) << frame.size();
    for (int i = 0; i < 4; ++i) EXPECT_EQ(corners[i], cv::Point2f(0, 0)) << i;
  }
}

}  // namespace
