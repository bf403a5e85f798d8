// The fast paths of the screen search against the plain formulas they replace: the vote
// table, the peak order, the edges from shared derivatives, the reused working memory and
// the grey conversion of the search, each bit for bit.

#include <cmath>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <opencv2/imgproc.hpp>

#include "clip_writer.h"
#include "scratch.h"
#include "screen/board_detector.h"
#include "screen/hough_accumulator.h"
#include "screen/presentation_localize.h"
#include "video/video_source.h"

using namespace slidetrack;

namespace {

// One vote as written down: float32 rho, then the double r +- 0.5 truncated.
void plainVote(const HoughAccumulator& acc, std::vector<int32_t>& table, int x, int y) {
  for (int a = 0; a < acc.angleBins; ++a) {
    const float r = (float(x) * acc.cosTable[a] + float(y) * acc.sinTable[a]) * acc.rhoResolution +
                    float(acc.rhoBins / 2);
    if (!(std::fabs(r) < 1e9f)) continue;  // far outside any table
    const int64_t bin = r >= 0 ? int64_t(double(r) + 0.5) : int64_t(double(r) - 0.5);
    if (bin >= 0 && bin < acc.rhoBins) ++table[size_t(a) * acc.rhoBins + size_t(bin)];
  }
}

// Sparse random edges plus a few straight runs, in a frame of the given size.
cv::Mat edgeImage(int w, int h, unsigned seed) {
  std::mt19937 random(seed);
  cv::Mat edges(h, w, CV_8UC1, cv::Scalar(0));
  for (int i = 0; i < w * h / 30; ++i) edges.at<uchar>(random() % h, random() % w) = 255;
  cv::line(edges, {w / 5, h / 4}, {w - 3, h / 3}, 255);
  cv::line(edges, {w / 3, 1}, {w / 3 + 2, h - 2}, 255);
  cv::rectangle(edges, {w / 4, h / 4}, {3 * w / 4, 3 * h / 4}, 255);
  return edges;
}

TEST(FastVote, TableEqualsThePlainFormula) {
  struct Case {
    int w, h, angles;
    float res;
  };
  // Odd angle counts leave a vector tail; resolution 0.5 puts many rho values on .5.
  for (const Case& c : {Case{640, 480, 300, 1.0f}, Case{1280, 720, 300, 1.0f},
                        Case{37, 23, 301, 1.0f}, Case{50, 40, 7, 0.5f}, Case{61, 33, 40, 2.0f}}) {
    HoughAccumulator acc;
    houghInit(acc, c.w, c.h, c.angles, c.res);
    const cv::Mat edges = edgeImage(c.w, c.h, unsigned(c.w));
    std::vector<int32_t> plain(acc.votes.size(), 0);
    for (int y = 0; y < c.h; ++y)
      for (int x = 0; x < c.w; ++x)
        if (edges.at<uchar>(y, x)) plainVote(acc, plain, x, y);
    houghVoteImage(acc, edges.data, edges.step, c.w, c.h);
    EXPECT_EQ(acc.voteCount, cv::countNonZero(edges)) << c.w;
    EXPECT_TRUE(acc.votes == plain) << c.w << "x" << c.h;

    // Single votes, inside, outside and far outside the frame, take the same path.
    for (const cv::Point p : {cv::Point(0, 0), cv::Point(-7, 3), cv::Point(c.w + 40, -c.h),
                              cv::Point(100000, 100000), cv::Point(-2000000000, 5)}) {
      houghVote(acc, p.x, p.y);
      plainVote(acc, plain, p.x, p.y);
    }
    EXPECT_TRUE(acc.votes == plain) << c.w << "x" << c.h;
    EXPECT_EQ(acc.voteCount, cv::countNonZero(edges) + 5) << "every pixel counts, even far out";
  }
}

// Peaks as "votes@angle,rho" until none is left or one falls below minVotes.
std::vector<std::string> peaks(HoughAccumulator acc, bool withRowPeaks, int minVotes) {
  HoughRowPeaks rows;
  if (withRowPeaks) houghRowPeaksBuild(acc, rows);
  std::vector<std::string> out;
  for (;;) {
    double rho = 0, angle = 0;
    const int32_t v = withRowPeaks ? houghExtractPeakWith(acc, rows, &rho, &angle)
                                   : houghExtractPeak(acc, &rho, &angle);
    if (v == 0) break;
    out.push_back(std::to_string(v) + "@" + std::to_string(angle) + "," + std::to_string(rho));
    if (v < minVotes || out.size() > 100000) break;  // a peak left in place never ends
  }
  return out;
}

TEST(FastPeaks, RowPeaksGiveTheSameLinesInTheSameOrder) {
  HoughAccumulator acc;
  houghInit(acc, 320, 240, 300, 1.0f);
  houghVoteImage(acc, edgeImage(320, 240, 5).data, 320, 320, 240);
  EXPECT_EQ(peaks(acc, true, 40), peaks(acc, false, 40));
  EXPECT_GT(peaks(acc, true, 40).size(), 3u);

  // Ties everywhere: small counts repeat across rows and within a row. The maximum is the
  // first count that beats all before it, in angle-major order.
  std::mt19937 random(9);
  for (int32_t& v : acc.votes) v = int32_t(random() % 6);
  int32_t best = 1, at = -1;
  for (size_t i = 0; i < acc.votes.size(); ++i)
    if (acc.votes[i] > best) best = acc.votes[i], at = int32_t(i);
  int32_t r = -1, a = -1;
  EXPECT_EQ(houghFindMax(acc, &r, &a), best);
  EXPECT_EQ(a * acc.rhoBins + r, at);
  const std::vector<std::string> all = peaks(acc, false, 0);
  EXPECT_EQ(peaks(acc, true, 0), all);
  EXPECT_GT(all.size(), 50u);
}

// A grey frame with a bright screen, noise and a few shapes.
cv::Mat greyFrame(int w, int h, unsigned seed) {
  cv::Mat grey(h, w, CV_8UC1);
  cv::RNG(seed).fill(grey, cv::RNG::NORMAL, 90, 25);
  cv::rectangle(grey, {w / 5, h / 6}, {4 * w / 5, 5 * h / 6}, 230, cv::FILLED);
  cv::circle(grey, {w / 2, h / 2}, h / 5, 40, 3);
  cv::line(grey, {0, h - 5}, {w - 1, h / 2}, 160, 2);
  cv::GaussianBlur(grey, grey, {3, 3}, 0);
  return grey;
}

TEST(FastEdges, SharedDerivativesGiveCannysEdges) {
  for (const cv::Size size : {cv::Size(320, 240), cv::Size(161, 97), cv::Size(7, 5)}) {
    const cv::Mat grey = greyFrame(size.width, size.height, 3);
    cv::Mat dx, dy, edges, expected;
    boardSobel(grey, dx, dy);
    // The first and last pass, and thresholds given the wrong way round.
    for (const cv::Vec2i& t :
         {cv::Vec2i(120, 150), cv::Vec2i(220, 250), cv::Vec2i(90, 20), cv::Vec2i(5, 8)}) {
      boardCanny(dx, dy, edges, t[0], t[1]);
      cv::Canny(grey, expected, t[0], t[1], 3);
      EXPECT_EQ(cv::norm(edges, expected, cv::NORM_INF), 0) << size << " " << t;
    }
  }
}

TEST(FastDetect, ReusedWorkspaceGivesFreshResults) {
  BoardWorkspace work;
  // Sizes change between calls, as they may for a caller with several videos.
  for (const cv::Size size : {cv::Size(640, 480), cv::Size(320, 240), cv::Size(640, 480)}) {
    const cv::Mat grey = greyFrame(size.width, size.height, 11);
    cv::Point2f fresh[4], reused[4];
    const float expected = boardDetect(grey, fresh, 120, 150);
    EXPECT_GT(expected, 0.5f) << size;
    EXPECT_EQ(boardDetect(grey, reused, 120, 150, work), expected) << size;
    for (int k = 0; k < 4; ++k) EXPECT_EQ(reused[k], fresh[k]) << size << " corner " << k;
  }
}

TEST(FastGrey, SearchSeesTheSameGreyWithAndWithoutViewer) {
  ScratchDir dir;
  const std::string clip = dir / "colours.avi";
  ClipOptions options;
  options.codec = "mjpeg";
  options.width = 96;
  options.height = 64;
  ASSERT_TRUE(writeClip(clip, options, 12, [](int i) {
    cv::Mat bgr(64, 96, CV_8UC3);
    cv::randu(bgr, cv::Scalar::all(0), cv::Scalar::all(256));
    cv::rectangle(bgr, {i, 5}, {60, 50}, cv::Scalar(250, 10 * i, 30), cv::FILLED);
    return bgr;
  }));
  auto greysOf = [&](bool withViewer) {
    std::vector<cv::Mat> greys;
    auto detect = [&](const cv::Mat& grey, cv::Point2f*) {
      greys.push_back(grey.clone());
      return 0.0f;
    };
    std::unique_ptr<VideoSource> video = videoSourceCreate();
    EXPECT_NO_THROW(videoSourceOpen(*video, clip));
    testing::internal::CaptureStdout();
    presentationLocalizeWith(
        video.get(), 4, detect,
        withViewer ? SampleViewer([](const cv::Mat&) { return -1; }) : SampleViewer());
    testing::internal::GetCapturedStdout();
    return greys;
  };
  const std::vector<cv::Mat> shown = greysOf(true), headless = greysOf(false);
  ASSERT_EQ(shown.size(), 4u);
  ASSERT_EQ(headless.size(), 4u);
  for (size_t i = 0; i < shown.size(); ++i)
    EXPECT_EQ(cv::norm(shown[i], headless[i], cv::NORM_INF), 0) << i;
}

}  // namespace
