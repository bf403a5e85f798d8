// Window votes of one frame, and the decision over accumulated votes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include <opencv2/core.hpp>

#include "matching/original_library.h"
#include "matching/slide_matcher.h"

using namespace slidetrack;

namespace {

// Original k lies at distance(k, j) from a zero frame row in window j.
OriginalSlideLibrary libraryAt(const cv::Mat_<float>& distance) {
  OriginalSlideLibrary library;
  library.count = distance.rows;
  library.featureCount = distance.cols;
  library.binCount = 8;
  library.features = cv::Mat::zeros(distance.rows * distance.cols, 8, CV_32FC1);
  for (int k = 0; k < distance.rows; ++k)
    for (int j = 0; j < distance.cols; ++j)
      library.features.at<float>(k * distance.cols + j, 3) = distance(k, j);
  return library;
}

std::vector<float> votes(const cv::Mat& voteRow) {
  return std::vector<float>(voteRow.begin<float>(), voteRow.end<float>());
}

}  // namespace

TEST(SlideMatchScore, NearestWindowsShareOneVote) {
  const float m = 0.0324587077f;  // 1.1 m rounds up in float; that distance still shares
  const struct {
    std::vector<float> distances;
    std::vector<float> votes;
  } cases[] = {{{0.10f, 0.105f, 0.12f}, {0.5f, 0.5f, 0}},
               {{0.2f, 0.1f, 0.4f}, {0, 1, 0}},
               {{m, static_cast<float>(1.1 * m)}, {0.5f, 0.5f}},
               {{0.3f, 0.5f}, {0, 0}},
               {{std::nextafter(0.3f, 0.0f), 0.5f}, {1, 0}},
               {{0, 0, 0}, {1.0f / 3, 1.0f / 3, 1.0f / 3}}};  // a window zero everywhere
  for (const auto& c : cases) {
    cv::Mat voteRow;
    double best = -1;
    const int index = slideMatchScore(libraryAt(cv::Mat(c.distances, true)),
                                      cv::Mat::zeros(1, 8, CV_32FC1), &best, voteRow);
    EXPECT_EQ(votes(voteRow), c.votes) << c.distances[0];
    const auto top = std::max_element(c.votes.begin(), c.votes.end());
    EXPECT_EQ(index, top - c.votes.begin());
    EXPECT_FLOAT_EQ(best, *top);
  }
}

TEST(SlideMatchScore, WindowsAddUpTheRowIsReusedShapesMustAgree) {
  // Window 0 votes for original 0; window 1 shares between originals 1 and 2.
  const OriginalSlideLibrary library =
      libraryAt(cv::Mat_<float>({3, 2}, {0.1f, 0.5f, 0.2f, 0.05f, 0.5f, 0.052f}));
  cv::Mat voteRow;
  for (int call = 0; call < 2; ++call) {  // cleared on every call, not accumulated
    EXPECT_EQ(slideMatchScore(library, cv::Mat::zeros(2, 8, CV_32FC1), nullptr, voteRow), 0);
    EXPECT_EQ(votes(voteRow), (std::vector<float>{1, 0.5f, 0.5f}));
  }
  // An original that failed to load is at distance 1 from a unit frame row.
  cv::Mat frame = cv::Mat::zeros(1, 8, CV_32FC1);
  frame.at<float>(3) = 1.0f;
  EXPECT_EQ(slideMatchScore(libraryAt(cv::Mat_<float>({2, 1}, {0, 1})), frame, nullptr, voteRow),
            1);
  EXPECT_EQ(votes(voteRow), (std::vector<float>{0, 1}));
  // A frame of other settings cannot be compared window by window.
  double best = 5;
  EXPECT_EQ(slideMatchScore(library, frame, &best, voteRow), -1);
  EXPECT_EQ(best, 0.0);
  EXPECT_EQ(votes(voteRow), (std::vector<float>{0, 0, 0}));
}

TEST(SlideMatchDecide, RunnerUpOverBestDecides) {
  const struct {
    std::vector<float> votes;
    int index;
    double ratio;
    int match;
  } cases[] = {{{2.0f, 7.5f, 3.0f}, 1, 0.4, 1},
               {{6.0f, 6.0f, 1.0f}, 0, 1.0, 0},
               {{0.0f, 0.0f, 4.0f}, 2, 0.0, 1},
               {{1.0f, 5.0f, 2.0f, 5.5f}, 3, 5.0 / 5.5, 0},
               {{3.0f, 1.0f, 2.0f}, 0, 2.0 / 3.0, 0},
               {{1.0f, 2.0f, 0.5f}, 1, 0.5, 0},  // at the limit: no match
               {{0, 0, 0, 0}, 0, 1.0, 0}};       // no votes: first original, ratio 1
  for (const auto& c : cases) {
    int index = -1;
    double ratio = -1;
    EXPECT_EQ(slideMatchDecide(cv::Mat(c.votes, true).reshape(1, 1), 0.5, &index, &ratio), c.match);
    EXPECT_EQ(index, c.index);
    EXPECT_NEAR(ratio, c.ratio, 1e-6);
  }
  int index = -1;
  EXPECT_EQ(slideMatchDecide(cv::Mat(), 0.5, &index, nullptr), 0);
  EXPECT_EQ(index, 0);
}
