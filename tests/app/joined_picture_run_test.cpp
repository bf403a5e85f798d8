// Two records of one original joined as one slide get one picture made of both: the arm over a
// line in the first record's picture gives way to the line the second saw, and the second's
// body, where the first saw the slide, is not taken. The decision is asked to split them where
// the arm went, as it does when it does not see that he left the line.

#include <gtest/gtest.h>

#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include "results/results_xml.h"
#include "run_harness.h"

using namespace slidetrack;

namespace {

const cv::Size kSlide(1024, 768);
// Most of the last bullet line of drawSlide(2), which his raised arm hides.
const cv::Rect kArm(230, 370, 540, 52);
// Where he stands in the second record: in front of the slide's plain lower part.
const cv::Rect kBody(560, 460, 200, 308);

cv::Mat fullSlide() { return drawSlide(2, kSlide); }

// A shirt near the slide's background, as a pale one under the projector is.
cv::Scalar shirtOf(const cv::Mat& slide) {
  const cv::Vec3b b = slide.at<cv::Vec3b>(kSlide.height - 4, 4);
  return cv::Scalar(b[0] - 40, b[1] - 25, b[2] - 10);
}

cv::Mat armSlide() {
  cv::Mat slide = fullSlide();
  slide(kArm).setTo(shirtOf(slide));
  return slide;
}

cv::Mat bodySlide() {
  cv::Mat slide = fullSlide();
  slide(kBody).setTo(cv::Scalar(70, 60, 55));
  return slide;
}

cv::Rect inPicture(const cv::Mat& picture, const cv::Rect& region) {
  const double sx = double(picture.cols) / kSlide.width, sy = double(picture.rows) / kSlide.height;
  return {int(region.x * sx), int(region.y * sy), int(region.width * sx), int(region.height * sy)};
}

// The grey spread over a region: text there, or a plain sleeve.
double spread(const cv::Mat& picture, const cv::Rect& region) {
  cv::Mat grey;
  cv::cvtColor(picture(inPicture(picture, region)), grey, cv::COLOR_BGR2GRAY);
  cv::Scalar mean, deviation;
  cv::meanStdDev(grey, mean, deviation);
  return deviation[0];
}

// Mean colour difference from the slide over a region, both blurred past the camera's blur.
double offSlide(const cv::Mat& picture, const cv::Rect& region) {
  cv::Mat slide, a, b, diff;
  cv::resize(fullSlide(), slide, picture.size(), 0, 0, cv::INTER_AREA);
  cv::GaussianBlur(picture, a, {0, 0}, 4);
  cv::GaussianBlur(slide, b, {0, 0}, 4);
  const cv::Rect r = inPicture(picture, region);
  cv::absdiff(a(r), b(r), diff);
  const cv::Scalar m = cv::mean(diff);
  return (m[0] + m[1] + m[2]) / 3;
}

class JoinedPictureRun : public RunTest {
 protected:
  void SetUp() override {
    RunTest::SetUp();
    LectureScene scene;  // a 640 x 480 screen in a 1280 x 720 view
    corners_ = cornersOf(scene);
    for (const cv::Mat& page : {armSlide(), bodySlide()}) {
      scene.deckPages.push_back(
          (dir_ / ("page" + std::to_string(scene.deckPages.size()) + ".png")).string());
      ASSERT_TRUE(cv::imwrite(scene.deckPages.back(), page));
    }
    scene.schedule = {{0, 100}, {1, 200}};
    scene.noiseSigma = 2;
    ASSERT_NO_FATAL_FAILURE(writeSceneClip(scene, dir_ / "talk.mp4"));
    writeOriginals(dir_, {fullSlide(), drawSlide(0, kSlide), drawSlide(1, kSlide)});
  }
  // The one joined record's picture of a run with the key as given.
  cv::Mat joinedPicture(int both, const std::string& pictures) {
    writeConfig(dir_ / "talk.cfg.xml", corners_);
    std::string config = readFile(dir_ / "talk.cfg.xml");
    const std::string step = "<slideFrameStep>25</slideFrameStep>";
    config.replace(config.find(step), step.size(),
                   step + "<slideJoinBoth>" + std::to_string(both) +
                       "</slideJoinBoth><slideFrontGone>0</slideFrontGone>");
    writeFile(dir_ / "talk.cfg.xml", config);
    const RunResult result =
        runSlidetrack(dir_,
                      {"-i", "talk.mp4", "-c", "talk.cfg.xml", "-s", "originals.xml", "-o",
                       "talk.xml", "-p", pictures, "-hide"},
                      kBounded);
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(countOf(result.out, "SlideJoined"), 1u) << result.out;
    auto list = slidesLoadFromXml(nullptr, (dir_ / "talk.xml").c_str());
    if (!list || list->slides.size() != 1 || !list->slides[0].src) return cv::Mat();
    return cv::imread((dir_ / *list->slides[0].src).string());
  }
  std::vector<cv::Point2f> corners_;
};

TEST_F(JoinedPictureRun, TheJoinedPictureShowsTheSlideWhereEitherRecordSawIt) {
  const double line = spread(fullSlide(), kArm);
  const cv::Mat one = joinedPicture(0, "one/");
  ASSERT_FALSE(one.empty());
  EXPECT_TRUE(spread(one, kArm) < line / 2 || offSlide(one, kBody) > 30.0)
      << "either record's picture alone keeps its arm or its body";
  const cv::Mat both = joinedPicture(1, "both/");
  ASSERT_FALSE(both.empty());
  EXPECT_GT(spread(both, kArm), line / 2) << "the line the arm hid";
  EXPECT_LT(offSlide(both, kBody), 30.0) << "not his body from the other";
}

}  // namespace
