// The evaluator's figures on hand-made runs: pairing found with true changes, phantom changes,
// lateness, rejection of slides missing from the originals, and the speaker left in saved pictures.

#include <gtest/gtest.h>
#include <opencv2/imgproc.hpp>

#include "accuracy_metrics.h"
#include "speaker_share.h"

using namespace slidetrack;

namespace {

SlideList recordsStartingAt(const std::vector<int>& starts) {
  SlideList list;
  for (int start : starts)
    list.slides.push_back(slideRecordMake(int(list.slides.size()), nullptr, start, start, 0));
  return list;
}

std::vector<TruthFrame> truthOfRuns(const std::vector<std::pair<int, int>>& runs) {
  std::vector<TruthFrame> truth;
  for (const auto& [slide, frames] : runs)
    for (int i = 0; i < frames; ++i) truth.emplace_back().slide = slide;
  return truth;
}

}  // namespace

TEST(ChangeScoring, PairsOneToOneWithinToleranceAtTheFrameIndexConvention) {
  // Two reports near the first true change: only one may count.
  ChangeScore s = scoreChanges({10, 20}, {10.5, 9.8, 19}, 2.0);
  EXPECT_EQ(s.matched, 2);
  EXPECT_NEAR(s.f1, 0.8, 1e-12);
  // Closest pairs first: 11.5 belongs to 12, and 10.9 is still there for 10.
  EXPECT_EQ(scoreChanges({10, 12}, {11.5, 10.9}, 2.0).matched, 2);
  EXPECT_EQ(scoreChanges({10}, {12.0}, 2.0).matched, 1);  // the tolerance is inclusive
  EXPECT_EQ(scoreChanges({10}, {12.01}, 2.0).matched, 0);
  EXPECT_DOUBLE_EQ(scoreChanges({}, {5}, 2.0).f1, 0.0);

  EXPECT_EQ(trueChangePictures(truthOfRuns({{0, 2}, {1, 2}, {0, 2}})), (std::vector<int>{2, 4}));
  // A record opened at index 50 was seen on picture 49.
  EXPECT_EQ(reportedChangePictures(recordsStartingAt({0, 50, 100})), (std::vector<int>{49, 99}));
}

TEST(Evaluation, PhantomsAndLatenessInProcessedFrames) {
  // Changes at pictures 100 and 300; with a step of 25 they first show at indices 125, 325.
  const std::vector<TruthFrame> truth = truthOfRuns({{0, 100}, {1, 200}, {2, 300}});
  // Reported at once, two processed frames late, and a phantom at index 500.
  const SlideList results = recordsStartingAt({0, 125, 375, 500});
  const LatenessScore late = scoreLateness(truth, results, 25, 25.0, 4.0);
  EXPECT_EQ(late.changes, 2);
  EXPECT_EQ(late.onTime, 1);
  EXPECT_DOUBLE_EQ(late.share, 0.5);
  EXPECT_EQ(late.max, 2);
  std::vector<double> trueTimes = {100 / 25.0, 300 / 25.0}, reportedTimes;
  for (int p : reportedChangePictures(results)) reportedTimes.push_back(p / 25.0);
  EXPECT_EQ(scoreChanges(trueTimes, reportedTimes, 4.0).phantoms(), 1);
  // One processed frame late still counts; a report that misses the change is not on time.
  EXPECT_EQ(scoreLateness(truth, recordsStartingAt({0, 150, 350}), 25, 25.0, 2.0).onTime, 2);
  EXPECT_EQ(scoreLateness(truth, recordsStartingAt({0, 150}), 25, 25.0, 2.0).share, 0.5);
}

TEST(Evaluation, SlidesMissingFromTheOriginalsMustStayUnmatched) {
  std::vector<TruthFrame> truth = truthOfRuns({{0, 100}, {7, 100}});
  for (size_t i = 100; i < truth.size(); ++i) truth[i].inOriginals = false;
  SlideList originals = recordsStartingAt({0});
  SlideList results = recordsStartingAt({0, 100, 150});
  results.slides[0].match = &originals.slides[0];
  results.slides[1].match = &originals.slides[0];  // a wrong match for the unknown slide
  const UnknownScore unknown = scoreUnknown(results, truth, 25);
  // Index 125 (picture 124) in the matched record, 150 and 175 in the unmatched one.
  EXPECT_EQ(unknown.frames, 3);
  EXPECT_EQ(unknown.rejected, 2);
  // Those frames do not count against matching: the known frames all match.
  const MatchScore match = scoreMatches(results, {{0, 0}}, truth, 25);
  EXPECT_EQ(match.frames, 5);
  EXPECT_DOUBLE_EQ(match.accuracy, 1.0);
}

TEST(Evaluation, SpeakerShareCountsOnlyVisibleSpeakerPixelsUnderTheMask) {
  cv::Mat clean(240, 320, CV_8UC1, cv::Scalar(230));
  for (int y = 20; y < 220; y += 24)
    cv::putText(clean, "text lines here", {10, y}, cv::FONT_HERSHEY_SIMPLEX, 0.7, 30, 2);
  const cv::Mat valid(clean.size(), CV_8UC1, cv::Scalar(255));
  cv::Mat mask(clean.size(), CV_8UC1, cv::Scalar(0));
  mask(cv::Rect(100, 60, 80, 160)).setTo(255);
  // A darker, brighter-contrast picture, shifted by a pixel, with the speaker gone: nothing.
  cv::Mat picture;
  clean.convertTo(picture, -1, 0.8, 15);
  cv::warpAffine(picture, picture, cv::Matx23d(1, 0, 1, 0, 1, 0), picture.size(), cv::INTER_LINEAR,
                 cv::BORDER_REPLICATE);
  EXPECT_LT(speakerShare(picture, clean, valid, mask), 0.002);
  // A mid-grey sleeve left over half of the masked area; a blob outside the mask is not
  // the speaker.
  cv::Mat left = picture.clone();
  left(cv::Rect(100, 60, 40, 160)).setTo(110);
  left(cv::Rect(250, 10, 40, 40)).setTo(0);
  const double share = speakerShare(left, clean, valid, mask);
  const double sleeve = 40.0 * 160 / clean.total();
  // Where the sleeve's grey lies between text and background nearby, it does not show.
  EXPECT_GT(share, 0.3 * sleeve);
  EXPECT_LE(share, sleeve);
}

TEST(Evaluation, SpeakerMaskIsMappedIntoTheScreen) {
  std::vector<TruthFrame> truth(2);
  truth[1].speaker = {true, 300, 500, 320, 30, 0.1f};
  const cv::Matx33d shift(1, 0, -100, 0, 1, -50, 0, 0, 1);
  const cv::Mat onScreen = speakerMaskOnScreen(truth, {0, 1}, shift, {640, 480});
  const cv::Mat whole = speakerMask(truth[1].speaker, {800, 600});
  EXPECT_EQ(cv::norm(onScreen, whole(cv::Rect(100, 50, 640, 480)), cv::NORM_L1), 0.0);
  EXPECT_GT(cv::countNonZero(onScreen), 5000);
}
