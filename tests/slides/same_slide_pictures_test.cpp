// Two slide pictures in a row without an original: the same slide seen around a speaker, with a
// pixel of shake, noise and a drift of the light, shows one slide. A line of text or a block
// that one has and the other lacks, where both saw, shows two: the picture-join run's.

#include <gtest/gtest.h>

#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include "lecture_scene.h"
#include "screen_filming.h"
#include "slides/same_slide_pictures.h"

using namespace slidetrack;

namespace {

// 255 over a standing body at x, work size (half the screen's).
cv::Mat bodyAt(int x) {
  cv::Mat unseen = cv::Mat::zeros(kScreen / 2, CV_8UC1);
  cv::rectangle(unseen, cv::Rect(x, 90, 50, 150), 255, cv::FILLED);
  cv::circle(unseen, {x + 25, 75}, 16, 255, cv::FILLED);
  return unseen;
}

// The picture as a run keeps it: what the body hides painted in the shirt's colour, shaken,
// noisy, and through a JPEG's compression.
cv::Mat filmed(const cv::Mat& slide, const cv::Mat& unseen, double dx, double gain) {
  cv::Mat screen = slide.clone(), hidden;
  cv::resize(unseen, hidden, kScreen, 0, 0, cv::INTER_NEAREST);
  screen.setTo(cv::Scalar(190, 200, 205), hidden);
  screen.convertTo(screen, -1, gain, 0);
  std::vector<unsigned char> jpeg;
  cv::imencode(".jpg", shakenWithNoise(screen, dx, 0.5), jpeg, {cv::IMWRITE_JPEG_QUALITY, 80});
  return cv::imdecode(jpeg, cv::IMREAD_COLOR);
}

class SameSlidePictures : public ::testing::Test {
 protected:
  SameSlide compare(const cv::Mat& second) {
    return picturesShowOneSlide(filmed(slide, left, 0, 1.0), left, filmed(second, right, 1, 0.93),
                                right);
  }
  const cv::Mat slide = drawSlide(3, kScreen);
  const cv::Mat left = bodyAt(60), right = bodyAt(210);
};

TEST_F(SameSlidePictures, TheSameSlideSeenAroundTheSpeakerIsOneSlide) {
  const SameSlide same = compare(slide);
  EXPECT_TRUE(same.same) << same.differing;
  EXPECT_GT(same.seen, 0.7);
}

// A pen's strokes are written on the slide shown.
TEST_F(SameSlidePictures, PenStrokesLeaveOneSlide) {
  cv::Mat inked = slide.clone();
  cv::line(inked, {470, 330}, {500, 370}, cv::Scalar(40, 40, 220), 3, cv::LINE_AA);
  cv::line(inked, {500, 370}, {580, 290}, cv::Scalar(40, 40, 220), 3, cv::LINE_AA);
  const SameSlide same = compare(inked);
  EXPECT_TRUE(same.same) << same.differing;
  EXPECT_TRUE(picturesShowOneSlide(filmed(slide, left, 0, 1.0), left, filmed(inked, right, 1, 0.93),
                                   right, nullptr, nullptr, true)
                  .same);
}

// A build in a coloured font is thin strokes in a saturated colour too, but no pen writes a
// line of typeset letters.
TEST_F(SameSlidePictures, ALineOfColouredTextKeepsTwoSlidesApart) {
  cv::Mat built = slide.clone();
  cv::putText(built, "one more point in red", {330, 420}, cv::FONT_HERSHEY_SIMPLEX, 0.5,
              cv::Scalar(40, 40, 220), 1, cv::LINE_AA);
  const cv::Mat a = filmed(slide, left, 0, 1.0), b = filmed(built, left, 1, 0.93);
  EXPECT_FALSE(picturesShowOneSlide(a, left, b, left, nullptr, nullptr, true).same);
  EXPECT_TRUE(picturesShowOneSlide(a, left, b, left).same) << "all taken for a pen's";
}

// Where the two saw too little of the slide in common, a build may hide in the rest.
TEST_F(SameSlidePictures, PicturesThatSharedLittleOfTheSlideStayApart) {
  cv::Mat half = cv::Mat::zeros(kScreen / 2, CV_8UC1);
  half(cv::Rect(0, 0, kScreen.width / 2 - 20, kScreen.height / 2)).setTo(255);
  const SameSlide same =
      picturesShowOneSlide(filmed(slide, half, 0, 1.0), half, filmed(slide, ~half, 0, 1.0), ~half);
  EXPECT_FALSE(same.same);
  EXPECT_LT(same.seen, 0.1);
}

// The later of two pictures is the earlier of the next two: what was prepared of it then
// gives the verdict it would give prepared again.
TEST_F(SameSlidePictures, APictureKeptPreparedComparesAsAFreshOne) {
  cv::Mat built = slide.clone();
  cv::putText(built, "one more point", {380, 420}, cv::FONT_HERSHEY_SIMPLEX, 0.7,
              cv::Scalar(40, 40, 40), 2, cv::LINE_AA);
  const cv::Mat a = filmed(slide, left, 0, 1.0), b = filmed(slide, right, 1, 0.93),
                c = filmed(built, left, 0, 1.05);
  PreparedPicture keptA, keptB, keptC;
  ASSERT_TRUE(picturesShowOneSlide(a, left, b, right, &keptA, &keptB).same);
  const SameSlide fresh = picturesShowOneSlide(b, right, c, left);
  const SameSlide kept = picturesShowOneSlide(b, right, c, left, &keptB, &keptC);
  EXPECT_FALSE(fresh.same) << fresh.differing;
  EXPECT_EQ(kept.differing, fresh.differing);
  EXPECT_EQ(kept.seen, fresh.seen);
}

}  // namespace

TEST(SeenByBoth, CountsWhatNeitherUnseenMapMarks) {
  cv::Mat pixels = cv::Mat::zeros(40, 40, CV_8UC1), first = pixels.clone(), second = first.clone();
  pixels(cv::Rect(0, 0, 20, 10)).setTo(255);
  first(cv::Rect(0, 0, 5, 10)).setTo(255);
  second(cv::Rect(15, 0, 5, 10)).setTo(255);
  EXPECT_DOUBLE_EQ(shareSeenByBoth(pixels, first, second), 0.5);
  EXPECT_DOUBLE_EQ(shareSeenByBoth(pixels, cv::Mat(), second), 0.75);
  EXPECT_DOUBLE_EQ(shareSeenByBoth(cv::Mat(), first, second), 1.0) << "nothing to see";
}
