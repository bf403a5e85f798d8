// The evaluator's speaker share on drawn pictures: a light shirt over dark text on a light
// slide counts, a clean picture a pixel off and JPEG-compressed does not.

#include <gtest/gtest.h>

#include <vector>

#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include "speaker_share.h"

namespace {

// A light slide with a dark title bar and lines of dark text.
cv::Mat drawnSlide() {
  cv::Mat slide(480, 640, CV_8UC3, cv::Scalar(240, 238, 236));
  cv::rectangle(slide, {0, 0, 640, 60}, cv::Scalar(140, 40, 40), cv::FILLED);
  for (int line = 0; line < 9; ++line)
    cv::putText(slide, "Lines of text under the speaker", {30, 110 + 40 * line},
                cv::FONT_HERSHEY_SIMPLEX, 1.0, cv::Scalar(30, 30, 30), 2, cv::LINE_AA);
  return slide;
}

// What a camera gives: blurred, a little darker, JPEG at the quality pictures are saved.
cv::Mat camera(const cv::Mat& picture) {
  cv::Mat out;
  cv::GaussianBlur(picture, out, {0, 0}, 0.8);
  out.convertTo(out, -1, 0.9, 5);
  std::vector<unsigned char> jpeg;
  cv::imencode(".jpg", out, jpeg, {cv::IMWRITE_JPEG_QUALITY, 90});
  return cv::imdecode(jpeg, cv::IMREAD_COLOR);
}

// The slide all valid, and the mask of where he stands, set by each test.
class SpeakerShare : public ::testing::Test {
 protected:
  const cv::Mat clean = drawnSlide();
  const cv::Mat valid = cv::Mat(clean.size(), CV_8UC1, cv::Scalar(255));
  cv::Mat mask = cv::Mat(clean.size(), CV_8UC1, cv::Scalar(0));
};

}  // namespace

TEST_F(SpeakerShare, LightShirtOverDarkTextCounts) {
  const cv::Rect shirt(250, 120, 160, 300);
  mask(shirt).setTo(255);
  // A shirt as light as the slide's background: it hides the text, no more.
  cv::Mat shown = clean.clone();
  shown(shirt).setTo(cv::Scalar(230, 236, 240));
  // He never left the shirt's left half: the text there no frame could show.
  cv::Mat always = cv::Mat::zeros(clean.size(), CV_8UC1);
  always(cv::Rect(shirt.x, shirt.y, shirt.width / 2, shirt.height)).setTo(255);
  double damage = 1, hidden = -1;
  const double share = speakerShare(camera(shown), clean, valid, mask, &damage, always, &hidden);
  EXPECT_GT(hidden, 0.35 * share);
  EXPECT_LT(hidden, 0.65 * share);
  // The text it hid counts: the strokes and the pixels around them.
  cv::Mat textUnder;
  cv::cvtColor(clean(shirt), textUnder, cv::COLOR_BGR2GRAY);
  const double textShare = cv::countNonZero(textUnder < 128) / double(clean.total());
  EXPECT_GT(share, textShare);
  EXPECT_LT(share, double(shirt.area()) / double(clean.total()));
  EXPECT_LT(damage, 0.001);
}

TEST_F(SpeakerShare, CleanPictureAPixelOffScoresNothing) {
  mask(cv::Rect(250, 120, 160, 300)).setTo(255);
  cv::Mat shifted;
  cv::warpAffine(clean, shifted, cv::Matx23d(1, 0, 1, 0, 1, 1), clean.size(), cv::INTER_LINEAR,
                 cv::BORDER_REPLICATE);
  double damage = 1;
  EXPECT_LT(speakerShare(camera(shifted), clean, valid, mask, &damage), 0.001);
  EXPECT_LT(damage, 0.001);
}

TEST_F(SpeakerShare, DarkSpeakerOverTheBackgroundCounts) {
  const cv::Rect body(500, 100, 100, 360);
  mask(body).setTo(255);
  cv::Mat shown = clean.clone();
  shown(body).setTo(cv::Scalar(60, 80, 100));
  const double share = speakerShare(camera(shown), clean, valid, mask);
  EXPECT_GT(share, 0.9 * double(body.area()) / double(clean.total()));
}
