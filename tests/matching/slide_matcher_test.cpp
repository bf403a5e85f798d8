// Window votes of one frame, and the decision over accumulated votes.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include "original_library.h"
#include "slide_matcher.h"

namespace {

// A library of one window whose originals lie at the given distances from a zero frame row.
OriginalSlideLibrary libraryAtDistances(const std::vector<float>& distances) {
  OriginalSlideLibrary library;
  library.count = static_cast<int>(distances.size());
  library.featureCount = 1;
  library.binCount = 8;
  library.features = cv::Mat::zeros(library.count, 8, CV_32FC1);
  for (int k = 0; k < library.count; ++k) library.features.at<float>(k, 3) = distances[k];
  return library;
}

std::vector<float> votesFor(const std::vector<float>& distances) {
  const OriginalSlideLibrary library = libraryAtDistances(distances);
  cv::Mat voteRow;
  slideMatchScore(library, cv::Mat::zeros(1, 8, CV_32FC1), nullptr, voteRow);
  EXPECT_EQ(voteRow.size(), cv::Size(library.count, 1));
  return std::vector<float>(voteRow.begin<float>(), voteRow.end<float>());
}

// The scoring written plainly, one norm per row pair and one threshold per window.
cv::Mat referenceVotes(const OriginalSlideLibrary& library, const cv::Mat& frame) {
  const int n = library.count;
  cv::Mat distance(n, library.featureCount, CV_32FC1);
  for (int k = 0; k < n; ++k) {
    const cv::Mat original =
        library.features.rowRange(k * library.featureCount, (k + 1) * library.featureCount);
    for (int j = 0; j < library.featureCount; ++j)
      distance.at<float>(k, j) = static_cast<float>(cv::norm(frame.row(j), original.row(j)));
  }
  cv::Mat votes = cv::Mat::zeros(n, 1, CV_32FC1);
  for (int j = 0; j < library.featureCount; ++j) {
    cv::Mat column = distance.col(j).clone();
    double m = 0;
    cv::minMaxLoc(column, &m);
    if (!(m < 0.3)) continue;
    cv::threshold(column, column, 1.1 * m, 1.0, cv::THRESH_BINARY_INV);
    const int marked = cv::countNonZero(column);
    cv::addWeighted(column, marked ? 1.0 / marked : 0.0, votes, 1.0, 0.0, votes);
  }
  return votes.reshape(1, 1);
}

cv::Mat randomUnitRows(int rows, int cols, cv::RNG& rng) {
  cv::Mat m(rows, cols, CV_32FC1);
  rng.fill(m, cv::RNG::UNIFORM, 0.0, 1.0);
  for (int r = 0; r < rows; ++r) cv::normalize(m.row(r), m.row(r));
  return m;
}

}  // namespace

TEST(SlideMatchScore, VotesAreSharedWithinTenPercentOfTheNearest) {
  const auto votes = votesFor({0.10f, 0.105f, 0.12f});
  EXPECT_FLOAT_EQ(votes[0], 0.5f);
  EXPECT_FLOAT_EQ(votes[1], 0.5f);
  EXPECT_FLOAT_EQ(votes[2], 0.0f);
  EXPECT_EQ(votesFor({0.2f, 0.1f, 0.4f}), (std::vector<float>{0, 1, 0}));
  // The margin is a float threshold: a distance equal to the rounded-up 1.1 m shares.
  const float m = 0.0324587077f;
  const float margin = static_cast<float>(1.1 * m);
  ASSERT_GT(static_cast<double>(margin), 1.1 * m);
  EXPECT_EQ(votesFor({m, margin}), (std::vector<float>{0.5f, 0.5f}));
}

TEST(SlideMatchScore, OnlyWindowsNearerThanThePointThreeVote) {
  EXPECT_EQ(votesFor({0.3f, 0.5f}), (std::vector<float>{0, 0}));
  EXPECT_EQ(votesFor({std::nextafter(0.3f, 0.0f), 0.5f}), (std::vector<float>{1, 0}));
}

TEST(SlideMatchScore, ZeroWindowsGiveEveryOriginalAnEqualShare) {
  const auto votes = votesFor({0.0f, 0.0f, 0.0f});
  for (float v : votes) EXPECT_FLOAT_EQ(v, 1.0f / 3);
  // An original that failed to load is at distance 1 from a unit frame row.
  OriginalSlideLibrary library = libraryAtDistances({0.0f, 0.0f});
  library.features.at<float>(0, 3) = 1.0f;
  cv::Mat frame = cv::Mat::zeros(1, 8, CV_32FC1);
  frame.at<float>(0, 3) = 1.0f;
  cv::Mat voteRow;
  double best = -1;
  EXPECT_EQ(slideMatchScore(library, frame, &best, voteRow), 0);
  EXPECT_FLOAT_EQ(voteRow.at<float>(0), 1.0f);
  EXPECT_FLOAT_EQ(voteRow.at<float>(1), 0.0f);
  EXPECT_DOUBLE_EQ(best, 1.0);
}

TEST(SlideMatchScore, EqualsThePlainPerRowComputation) {
  cv::RNG rng(11);
  OriginalSlideLibrary library;
  library.count = 40;
  library.featureCount = 825;
  library.binCount = 8;
  const cv::Mat frame = randomUnitRows(825, 8, rng);
  frame.rowRange(700, 825).setTo(0);  // like windows that never fit their level
  // Originals near the frame at various spreads, so windows vote for one or several.
  library.features.create(40 * 825, 8, CV_32FC1);
  for (int k = 0; k < 40; ++k) {
    cv::Mat element = library.features.rowRange(k * 825, (k + 1) * 825);
    cv::Mat noise(825, 8, CV_32FC1);
    // Most originals at one spread, so many windows share their vote between several.
    rng.fill(noise, cv::RNG::NORMAL, 0.0, k % 4 ? 0.05 : 0.03 + 0.01 * (k % 7));
    element = cv::max(frame + noise, 0.0);
    for (int r = 0; r < 825; ++r) cv::normalize(element.row(r), element.row(r));
  }
  library.features.rowRange(5 * 825, 6 * 825).setTo(0);  // an original that did not load

  cv::Mat voteRow;
  double best = 0;
  const int index = slideMatchScore(library, frame, &best, voteRow);
  const cv::Mat expected = referenceVotes(library, frame);
  ASSERT_EQ(voteRow.size(), expected.size());
  EXPECT_EQ(cv::countNonZero(voteRow != expected), 0);
  double expectedBest = 0;
  cv::Point expectedAt;
  cv::minMaxLoc(expected, nullptr, &expectedBest, nullptr, &expectedAt);
  EXPECT_EQ(index, expectedAt.x);
  EXPECT_EQ(best, expectedBest);
  EXPECT_NEAR(cv::sum(voteRow)[0], 825.0, 0.05);  // every window votes once

  // The vote row is reused and cleared, not accumulated.
  const uchar* data = voteRow.data;
  slideMatchScore(library, frame, nullptr, voteRow);
  EXPECT_EQ(voteRow.data, data);
  EXPECT_EQ(cv::countNonZero(voteRow != expected), 0);
}

TEST(SlideMatchScore, RefusesAFrameOfOtherSettings) {
  const OriginalSlideLibrary library = libraryAtDistances({0.1f, 0.2f});
  cv::Mat voteRow;
  double best = 5;
  EXPECT_EQ(slideMatchScore(library, cv::Mat::zeros(2, 8, CV_32FC1), &best, voteRow), -1);
  EXPECT_EQ(best, 0.0);
  ASSERT_EQ(voteRow.size(), cv::Size(2, 1));
  EXPECT_EQ(cv::countNonZero(voteRow), 0);
}

TEST(SlideMatchDecide, RunnerUpOverBestDecides) {
  struct Case {
    std::vector<float> votes;
    int index;
    double ratio;
    int match;
  };
  const Case cases[] = {{{2.0f, 7.5f, 3.0f}, 1, 0.4, 1},
                        {{6.0f, 6.0f, 1.0f}, 0, 1.0, 0},
                        {{0.0f, 0.0f, 4.0f}, 2, 0.0, 1},
                        {{1.0f, 5.0f, 2.0f, 5.5f}, 3, 5.0 / 5.5, 0},
                        {{3.0f, 1.0f, 2.0f}, 0, 2.0 / 3.0, 0}};
  for (const Case& c : cases) {
    const cv::Mat accumulator(c.votes, true);
    int index = -1;
    double ratio = -1;
    EXPECT_EQ(slideMatchDecide(accumulator.reshape(1, 1), 0.5, &index, &ratio), c.match);
    EXPECT_EQ(index, c.index);
    EXPECT_NEAR(ratio, c.ratio, 1e-6);
  }
}

TEST(SlideMatchDecide, RatioAtTheLimitIsNoMatch) {
  const cv::Mat accumulator = (cv::Mat_<float>(1, 3) << 1.0f, 2.0f, 0.5f);
  double ratio = 0;
  EXPECT_EQ(slideMatchDecide(accumulator, 0.5, nullptr, &ratio), 0);
  EXPECT_DOUBLE_EQ(ratio, 0.5);
  EXPECT_EQ(slideMatchDecide(accumulator, 0.5000001, nullptr, nullptr), 1);
}

TEST(SlideMatchDecide, NoVotesIsNoMatchAgainstTheFirstOriginal) {
  int index = -1;
  double ratio = -1;
  EXPECT_EQ(slideMatchDecide(cv::Mat::zeros(1, 4, CV_32FC1), 0.5, &index, &ratio), 0);
  EXPECT_EQ(index, 0);
  EXPECT_EQ(ratio, 1.0);
  index = -1;
  EXPECT_EQ(slideMatchDecide(cv::Mat(), 0.5, &index, &ratio), 0);
  EXPECT_EQ(index, 0);
}
