// Two slide pictures the matcher gave one original, compared with it where they differ. That
// it tells which of two slides of one deck the original is, is the record-join run's sibling.
#include "slides/differing_content.h"

#include <gtest/gtest.h>

#include <opencv2/imgproc.hpp>

#include "lecture_scene.h"

using namespace slidetrack;

namespace {

const cv::Size kSlide(1024, 768);
const cv::Size kPicture(640, 480);
// Two of drawSlide(2)'s text lines.
const cv::Rect kLines(60, 200, 560, 110);

cv::Mat original() { return drawSlide(2, kSlide); }

cv::Scalar background(const cv::Mat& slide) { return slide.at<cv::Vec3b>(kSlide.height - 4, 4); }

// The slide as the camera shows it: smaller, a pixel off, dimmer, blurred and noisy.
cv::Mat camera(const cv::Mat& slide, unsigned seed) {
  cv::Mat small, shown;
  cv::resize(slide, small, kPicture, 0, 0, cv::INTER_AREA);
  const cv::Matx23d shift(1, 0, 1, 0, 1, 0.5);
  cv::warpAffine(small, shown, shift, kPicture, cv::INTER_LINEAR, cv::BORDER_REPLICATE);
  shown.convertTo(shown, -1, 0.8, 12);
  cv::GaussianBlur(shown, shown, {0, 0}, 0.8);
  cv::Mat noise(kPicture, CV_16SC3);
  cv::theRNG().state = seed;
  cv::randn(noise, 0, 3);
  shown.convertTo(shown, CV_16SC3);
  shown += noise;
  shown.convertTo(shown, CV_8UC3);
  return shown;
}

TEST(DifferingContent, TwoPicturesOfOneSlideDoNotDiffer) {
  const DifferingContent same =
      compareWithOriginal(camera(original(), 3), {}, camera(original(), 4), {}, original());
  EXPECT_EQ(same.side, OriginalSide::kSameContent);
  EXPECT_LT(same.differs, 0.003);
}

// What the speaker hid in one interval is left out, and so is he where a picture kept him;
// his pen's strokes in the other are the same slide written on.
TEST(DifferingContent, TheSpeakerAndHisInkMakeNoDifference) {
  cv::Mat hidden = camera(original(), 5);
  const cv::Rect body(380, 140, 150, 330);
  hidden(body).setTo(cv::Scalar(50, 60, 80));
  cv::Mat unseen = cv::Mat::zeros(kPicture, CV_8UC1);
  unseen(body + cv::Size(8, 8) - cv::Point(4, 4)).setTo(255);
  cv::Mat written = camera(original(), 6);
  cv::line(written, {60, 150}, {300, 170}, cv::Scalar(20, 20, 210), 3, cv::LINE_AA);
  cv::ellipse(written, {200, 300}, {60, 25}, 0, 0, 300, cv::Scalar(20, 20, 210), 3, cv::LINE_AA);
  const DifferingContent d = compareWithOriginal(hidden, unseen, written, {}, original());
  EXPECT_EQ(d.side, OriginalSide::kSameContent) << d.differs;
  // A body the pictures kept is a solid area, not lines of text: no difference either.
  EXPECT_EQ(compareWithOriginal(hidden, {}, written, {}, original()).side,
            OriginalSide::kSameContent);
}

// Marks of the speaker one picture kept where the slide is plain: the original shows the other
// there. Marks in both, in other colours, where the original explains neither, are the
// record-join run's.
TEST(DifferingContent, OnePicturesMarksOnThePlainSlideSideWithTheOther) {
  cv::Mat first = camera(original(), 9);
  for (int k = 0; k < 6; ++k)
    cv::line(first, {400 + 8 * k, 380 + 14 * k}, {620 - 6 * k, 384 + 14 * k},
             cv::Scalar(50, 50, 50), 3, cv::LINE_AA);
  const DifferingContent one =
      compareWithOriginal(first, {}, camera(original(), 11), {}, original());
  EXPECT_EQ(one.side, OriginalSide::kSecond) << one.first << " " << one.second;
}

// A picture that lacks two of the original's lines, with nothing of its own there, may have
// had them covered all along by something of the slide's colour: it is not taken for another
// slide.
TEST(DifferingContent, APictureThatOnlyLacksLinesIsNotAnotherSlide) {
  cv::Mat covered = original();
  covered(kLines).setTo(background(covered));
  const DifferingContent d =
      compareWithOriginal(camera(covered, 7), {}, camera(original(), 8), {}, original());
  EXPECT_GT(d.differs, 0.003);
  EXPECT_EQ(d.side, OriginalSide::kUnclear);
}

}  // namespace
