// Without the talk's originals, a record whose slide picture shows what the one before showed,
// where both saw the slide, joins it: a speaker in a shirt near the slide's grey who stood in
// front as it appeared and then raised his arm made no second slide. A build under him, a line
// or a block, stays a record of its own.

#include <gtest/gtest.h>

#include <opencv2/imgproc.hpp>

#include "run_harness.h"

using namespace slidetrack;

namespace {

const std::vector<cv::Point2f> kCorners = {{40, 30}, {679, 30}, {679, 509}, {40, 509}};
const cv::Size kFrame(720, 540), kScreen(640, 480);
// The second slide appears at kShown; he raises his arm at kRaised; the clip ends at kEnd.
constexpr int kShown = 100, kRaised = 250, kEnd = 400;

// The slide's background a little darker and faintly blue: a pale shirt under the projector.
cv::Scalar shirtOf(const cv::Mat& slide) {
  const cv::Vec3b b = slide.at<cv::Vec3b>(slide.rows - 5, slide.cols / 2);
  return cv::Scalar(b[0] - 23, b[1] - 11, b[2] - 2);
}

// Head, trunk and arms in the shirt, dark legs to the screen's lower edge, dx pixels right of
// where he stands; his right arm held out to the right when raised.
void drawStanding(cv::Mat& screen, cv::Scalar shirt, int dx, bool raised) {
  const cv::Point at(dx, 0);
  cv::rectangle(screen, cv::Rect(240, 150, 80, 170) + at, shirt, cv::FILLED);
  cv::rectangle(screen, cv::Rect(222, 155, 16, 140) + at, shirt, cv::FILLED);
  cv::rectangle(screen, (raised ? cv::Rect(322, 155, 150, 16) : cv::Rect(322, 155, 16, 140)) + at,
                shirt, cv::FILLED);
  cv::rectangle(screen, cv::Rect(246, 320, 30, 160) + at, cv::Scalar(55, 50, 50), cv::FILLED);
  cv::rectangle(screen, cv::Rect(284, 320, 30, 160) + at, cv::Scalar(55, 50, 50), cv::FILLED);
  cv::circle(screen, cv::Point(280, 120) + at, 28, cv::Scalar(120, 150, 190), cv::FILLED);
}

class PictureJoinRun : public ClipRunTest {
 protected:
  // Slide 4, second from kShown on and third from kRaised on; he stands there all along.
  void film(const cv::Mat& second, const cv::Mat& third, bool raises) {
    const cv::Mat first = drawSlide(4, kScreen);
    const cv::Scalar shirt = shirtOf(second);
    const auto frameAt = [&](int t) {
      cv::Mat screen = (t < kShown ? first : t < kRaised ? second : third).clone();
      drawStanding(screen, shirt, 0, raises && t >= kRaised);
      cv::Mat frame(kFrame, CV_8UC3, cv::Scalar(50, 55, 60));
      screen.copyTo(frame(cv::Rect(40, 30, kScreen.width, kScreen.height)));
      return frame;
    };
    encode(kFrame, kEnd, frameAt);
  }
  // The records' starts of a run without originals, with the keys as given; pictures saved or
  // not.
  std::string starts(int joinSame, bool saved, int looks = 1) {
    PresentationSettings settings;
    settings.slideJoinSame = joinSame;
    settings.slideJoinLooks = looks;
    Records records(saved);
    std::optional<std::string> pictures;
    if (saved) pictures = (dir_ / "pics/").string();
    runPipeline(settings, {clip_, std::nullopt, pictures}, kCorners, records);
    joined_ = records.joined;
    return records.starts;
  }
  struct Records : RunObserver {
    explicit Records(bool saved) : saved(saved) {}
    bool needsSlidePictures() const override { return saved; }
    void recordJoined(const SlideRecord&, const SlideRecord&) override { ++joined; }
    void runFinished(const SlideList& slides) override {
      for (const SlideRecord& r : slides.slides) starts += std::to_string(r.start) + " ";
    }
    bool saved;
    int joined = 0;
    std::string starts;
  };
  int joined_ = 0;
};

TEST_F(PictureJoinRun, RaisingAnArmHeInFrontOfTheNewSlideJoinsTheRecordBack) {
  const cv::Mat slide = drawSlide(7, kScreen);
  ASSERT_NO_FATAL_FAILURE(film(slide, slide, true));
  const std::string apart = starts(0, false);
  ASSERT_EQ(countOf(apart, " "), 3u) << "the arm passes for a change: " << apart;
  EXPECT_EQ(joined_, 0);
  const std::string joined = starts(1, false);
  EXPECT_EQ(joined, apart.substr(0, apart.rfind(' ', apart.size() - 2) + 1));
  EXPECT_EQ(joined_, 1);
  EXPECT_EQ(starts(1, true), joined) << "the same with its pictures saved";
  EXPECT_EQ(starts(1, false, 0), joined) << "the same compared on the pictures";
}

// A line or a block built beside him while he stands in front: three records, key on or off,
// since the slides before and after the build differ.
TEST_F(PictureJoinRun, ABuildBesideHimStaysARecord) {
  const cv::Mat slide = drawSlide(7, kScreen);
  cv::Mat line = slide.clone(), block = slide.clone();
  cv::putText(line, "one more point", {400, 440}, cv::FONT_HERSHEY_SIMPLEX, 0.7,
              cv::Scalar(40, 40, 40), 2, cv::LINE_AA);
  cv::rectangle(block, cv::Rect(480, 300, 110, 60), cv::Scalar(170, 210, 170), cv::FILLED);
  for (const cv::Mat& built : {line, block}) {
    ASSERT_NO_FATAL_FAILURE(film(slide, built, false));
    const std::string apart = starts(0, false);
    EXPECT_EQ(countOf(apart, " "), 3u) << apart;
    EXPECT_EQ(starts(1, false), apart);
    EXPECT_EQ(joined_, 0);
  }
}

}  // namespace
