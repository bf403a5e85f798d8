#include "board_detector.h"

#include <gtest/gtest.h>
#include <opencv2/imgproc.hpp>

#include "hough_accumulator.h"

namespace {

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

TEST(BoardLines, RectangleOutlineGivesSixLinesInExtractionOrder) {
  const cv::Mat edges = rectangleOutline();
  HoughAccumulator acc;
  BoardLines lines;
  std::vector<HoughPeak> peaks;
  ASSERT_LT(boardMinLineVotes(160), 25.0);
  ASSERT_GT(boardMinLineVotes(160), 24.0);
  boardCollectLines(acc, edges, boardMinLineVotes(160), lines, &peaks);

  const HoughPeak expected[] = {{101, 25, 90}, {101, 95, 90},     {71, 30, 0},
                                {71, 130, 0},  {49, -129, 179.4}, {48, -29, 178.8}};
  ASSERT_EQ(peaks.size(), 7u);
  for (int i = 0; i < 6; ++i) {
    EXPECT_EQ(peaks[i].votes, expected[i].votes) << i;
    EXPECT_NEAR(peaks[i].rho, expected[i].rho, 1e-9) << i;
    EXPECT_NEAR(peaks[i].angle, expected[i].angle, 1e-9) << i;
  }
  EXPECT_EQ(peaks[6].votes, 9);

  ASSERT_EQ(lines.horizontalCount, 2);
  EXPECT_EQ(lines.horizontalLines[0].rho, 25.0f);
  EXPECT_EQ(lines.horizontalLines[1].rho, 95.0f);
  ASSERT_EQ(lines.verticalCount, 4);
  const HoughLine vertical[] = {{179.4f, -129}, {178.8f, -29}, {0, 30}, {0, 130}};
  for (int i = 0; i < 4; ++i) {
    EXPECT_FLOAT_EQ(lines.verticalLines[i].angle, vertical[i].angle) << i;
    EXPECT_EQ(lines.verticalLines[i].rho, vertical[i].rho) << i;
  }

  cv::Point2f corners[4];
  EXPECT_FLOAT_EQ(boardFindQuadrilateral(lines, edges, 160, 120, corners), 1.0f);
  const cv::Point2f want[] = {{29.53f, 25}, {130, 25}, {130, 95}, {31.00f, 95}};
  for (int i = 0; i < 4; ++i) {
    EXPECT_NEAR(corners[i].x, want[i].x, 0.01) << i;
    EXPECT_NEAR(corners[i].y, want[i].y, 1e-4) << i;
  }
}

TEST(BoardLines, FamiliesSplitAt45And135AndSortStably) {
  BoardLines lines;
  boardLinesReset(lines, 640, 480);
  boardLinesAdd(lines, 5, 44.4f);
  boardLinesAdd(lines, 7, 45);
  boardLinesAdd(lines, 7, 135);
  boardLinesAdd(lines, -3, 135.6f);
  boardLinesAdd(lines, 1, -90);  // brought to 90 for the split only
  boardLinesAdd(lines, 7, 270);
  boardLinesFinish(lines);
  EXPECT_EQ(lines.width, 640);
  ASSERT_EQ(lines.verticalCount, 2);
  EXPECT_EQ(lines.verticalLines[0].angle, 135.6f);
  EXPECT_EQ(lines.verticalLines[1].angle, 44.4f);
  ASSERT_EQ(lines.horizontalCount, 4);
  EXPECT_EQ(lines.horizontalLines[0].angle, -90.0f);
  EXPECT_EQ(lines.horizontalLines[1].angle, 45.0f);  // equal rho: extraction order
  EXPECT_EQ(lines.horizontalLines[2].angle, 135.0f);
  EXPECT_EQ(lines.horizontalLines[3].angle, 270.0f);

  boardLinesAdd(lines, 9, 1e30f);  // far out of range: still filed, in finite time
  EXPECT_EQ(lines.verticalLines.size() + lines.horizontalLines.size(), 7u);

  boardLinesReset(lines, 10, 10);
  EXPECT_TRUE(lines.verticalLines.empty() && lines.horizontalLines.empty());
  EXPECT_EQ(lines.verticalCount + lines.horizontalCount, 0);
}

TEST(BoardLines, A640WideFrameNeeds97Votes) {
  for (int length : {96, 97}) {
    cv::Mat edges(480, 640, CV_8UC1, cv::Scalar(0));
    edges(cv::Rect(300, 50, 1, length)).setTo(255);
    HoughAccumulator acc;
    BoardLines lines;
    boardCollectLines(acc, edges, boardMinLineVotes(640), lines);
    EXPECT_EQ(lines.verticalCount, length == 97 ? 1 : 0) << length;
    EXPECT_EQ(lines.horizontalCount, 0);
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

  low = 120, high = 150;
  EXPECT_EQ(boardPassDecide(1, 500, low, high), BoardPass::NoScreen);
  EXPECT_EQ(boardPassDecide(500, 0, low, high), BoardPass::NoScreen);
  EXPECT_EQ(high, 150);
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
  EXPECT_FLOAT_EQ(quadEdgeSupport(edges, 160, 120, rect, 4), 1.0f);
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
  auto quad = [](float width, float height = 150) {
    return std::array<cv::Point2f, 4>{
        {{100, 100}, {100 + width, 100}, {100 + width, 100 + height}, {100, 100 + height}}};
  };
  EXPECT_FALSE(boardCandidateAccepted(quad(192).data(), 1, 0, 640));
  EXPECT_TRUE(boardCandidateAccepted(quad(192.5f).data(), 1, 0, 640));
  EXPECT_FALSE(boardCandidateAccepted(quad(512, 300).data(), 1, 0, 640));
  EXPECT_TRUE(boardCandidateAccepted(quad(511, 300).data(), 1, 0, 640));
  EXPECT_FALSE(boardCandidateAccepted(quad(250).data(), 0.5f, 0.5f, 640));  // not better
  EXPECT_TRUE(boardCandidateAccepted(quad(250).data(), 0.51f, 0.5f, 640));
  EXPECT_FALSE(boardCandidateAccepted(quad(300).data(), 1, 0, 640));  // 300 / 150 = 2
  EXPECT_TRUE(boardCandidateAccepted(quad(299).data(), 1, 0, 640));
  EXPECT_FALSE(boardCandidateAccepted(quad(200, 250).data(), 1, 0, 640));  // 0.8

  auto flat = quad(250);
  flat[2].y = flat[1].y;  // r1 = 0
  EXPECT_FALSE(boardCandidateAccepted(flat.data(), 1, 0, 640));
  auto mirrored = quad(250);
  std::swap(mirrored[0], mirrored[1]);  // negative top width
  EXPECT_FALSE(boardCandidateAccepted(mirrored.data(), 1, 0, 640));
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
          intersectLines(ver[b1], hor[a1], &q[0]);
          intersectLines(ver[b2], hor[a1], &q[1]);
          intersectLines(ver[b2], hor[a2], &q[2]);
          intersectLines(ver[b1], hor[a2], &q[3]);
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

TEST(BoardIntersect, AxisCasesGeneralCaseAndParallels) {
  cv::Point2f p(-1, -1);
  ASSERT_EQ(intersectLines({0, 30}, {90, 25}, &p), 0);
  EXPECT_EQ(p, cv::Point2f(30, 25));
  ASSERT_EQ(intersectLines({90, 25}, {180, -30}, &p), 0);
  EXPECT_EQ(p, cv::Point2f(30, 25));

  ASSERT_EQ(intersectLines({178.8f, -29}, {90, 25}, &p), 0);
  EXPECT_EQ(p.y, 25.0f);
  EXPECT_NEAR(p.x, (29 + 25 * 0.0209424) / 0.9997807, 1e-4);
  ASSERT_EQ(intersectLines({0, 130}, {90.6f, 95}, &p), 0);
  EXPECT_EQ(p.x, 130.0f);
  EXPECT_NEAR(p.y, (95 + 130 * 0.0104718) / 0.9999452, 1e-3);

  const double d = M_PI / 180;
  const float rho1 = float(50 * std::cos(30 * d) + 70 * std::sin(30 * d));
  const float rho2 = float(50 * std::cos(120 * d) + 70 * std::sin(120 * d));
  ASSERT_EQ(intersectLines({30, rho1}, {120, rho2}, &p), 0);
  EXPECT_NEAR(p.x, 50, 1e-3);
  EXPECT_NEAR(p.y, 70, 1e-3);

  p = cv::Point2f(-1, -1);
  EXPECT_EQ(intersectLines({0, 30}, {180, 10}, &p), -1);
  EXPECT_EQ(intersectLines({90, 25}, {-90, 3}, &p), -1);
  EXPECT_EQ(intersectLines({10.5f, 5}, {10.5f, 9}, &p), -1);
  EXPECT_EQ(p, cv::Point2f(-1, -1));
}

void expectZeroCorners(const cv::Point2f corners[4]) {
  for (int i = 0; i < 4; ++i) EXPECT_EQ(corners[i], cv::Point2f(0, 0)) << i;
}

TEST(BoardDetect, FramesWithoutAScreenGiveZero) {
  cv::Point2f corners[4];
  for (int i = 0; i < 4; ++i) corners[i] = cv::Point2f(7, 7);
  EXPECT_EQ(boardDetect(cv::Mat(480, 640, CV_8UC1, cv::Scalar(0)), corners, 120, 150), 0.0f);
  expectZeroCorners(corners);

  // Dark left half, bright right half: exactly one (vertical) line.
  cv::Mat half(480, 640, CV_8UC1, cv::Scalar(20));
  half.colRange(320, 640).setTo(220);
  cv::Mat edges;
  cv::Canny(half, edges, 120, 150, 3);
  HoughAccumulator acc;
  BoardLines lines;
  boardCollectLines(acc, edges, boardMinLineVotes(640), lines);
  ASSERT_EQ(lines.verticalCount, 1);
  ASSERT_EQ(lines.horizontalCount, 0);
  EXPECT_EQ(boardDetect(half, corners, 120, 150), 0.0f);
  expectZeroCorners(corners);

  EXPECT_EQ(boardDetect(cv::Mat(), corners, 120, 150), 0.0f);
  EXPECT_EQ(boardDetect(cv::Mat(480, 640, CV_8UC3, cv::Scalar(0)), corners, 120, 150), 0.0f);
  expectZeroCorners(corners);
}

TEST(BoardDetect, TinyFramesEnd) {
  cv::Mat edges(4, 4, CV_8UC1, cv::Scalar(0));
  edges.row(1).setTo(255);
  edges.col(2).setTo(255);
  HoughAccumulator acc;
  BoardLines lines;
  std::vector<HoughPeak> peaks;
  boardCollectLines(acc, edges, 0.0, lines, &peaks);  // every peak is taken
  EXPECT_FALSE(peaks.empty());

  cv::Mat grey(4, 4, CV_8UC1, cv::Scalar(0));
  grey(cv::Rect(1, 1, 2, 2)).setTo(255);
  cv::Point2f corners[4];
  EXPECT_EQ(boardDetect(grey, corners, 10, 20), 0.0f);
  expectZeroCorners(corners);
}

// Dark background, bright projected screen with slide-like content, slightly blurred.
cv::Mat screenFrame(const cv::Point (&corners)[4]) {
  cv::Mat grey(480, 640, CV_8UC1, cv::Scalar(35));
  cv::fillConvexPoly(grey, corners, 4, cv::Scalar(210), cv::LINE_AA);
  cv::rectangle(grey, cv::Point(180, 150), cv::Point(330, 170), cv::Scalar(90), cv::FILLED);
  cv::GaussianBlur(grey, grey, cv::Size(3, 3), 0);
  return grey;
}

TEST(BoardDetect, FindsABrightScreenInPerspective) {
  const cv::Point truth[] = {{118, 88}, {522, 100}, {508, 392}, {132, 374}};
  cv::Point2f corners[4];
  EXPECT_GT(boardDetect(screenFrame(truth), corners, 120, 150), 0.9f);
  for (int i = 0; i < 4; ++i) {
    EXPECT_NEAR(corners[i].x, truth[i].x, 2.0) << i;
    EXPECT_NEAR(corners[i].y, truth[i].y, 2.0) << i;
  }
}

// Left normal just above 0 degrees, right one just below 180: the right side sorts first,
// so the pair only ever forms a negative top width and no candidate passes.
TEST(BoardDetect, SidesLeaningOutwardsAreNotPaired) {
  const cv::Point wider[] = {{132, 88}, {508, 104}, {522, 392}, {118, 374}};
  cv::Point2f corners[4];
  EXPECT_EQ(boardDetect(screenFrame(wider), corners, 120, 150), 0.0f);
  expectZeroCorners(corners);
}

}  // namespace
