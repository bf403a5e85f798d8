// Recordings tagged with a rotation: the run sees them as players show them, so the slide
// pictures are those of the same clip recorded upright.

#include <gtest/gtest.h>

#include "run_harness.h"

using namespace slidetrack;

namespace {

const std::vector<cv::Point2f> kCorners = {{40, 30}, {280, 40}, {270, 200}, {50, 190}};

double meanDifference(const cv::Mat& a, const cv::Mat& b) {
  return cv::norm(a, b, cv::NORM_L1) / static_cast<double>(a.total() * a.channels());
}

class RotationTest : public RunTest {
 protected:
  // ffmpeg turns the pixels and, in a second pass without decoding, tags the stream.
  void ffmpeg(const std::string& args) {
    const std::string command = "ffmpeg -nostdin -v error -y " + args;
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
  }
  // Lossless grey 4:4:4, turned after the format change: the turned pictures hold the
  // same numbers. Grey, as the conversion's chroma filter depends on the column.
  void encode(const std::string& from, const std::string& filter, const std::string& to) {
    ffmpeg("-i " + shellQuote(from) + " -vf hue=s=0,format=yuv444p" + filter +
           " -c:v libx264 -qp 0 -preset ultrafast " + shellQuote(to));
  }
  PicturesObserver run(const std::string& clip) {
    PicturesObserver recorder;
    runPipeline({}, {clip, std::nullopt, (dir_ / "p/").string()}, kCorners, recorder);
    return recorder;
  }
};

TEST_F(RotationTest, TaggedClipsGiveTheUprightClipsPictures) {
  LectureScene scene;
  scene.frameSize = {320, 240};
  std::copy(kCorners.begin(), kCorners.end(), scene.screenCorners.begin());
  // The second slide is seen twice: a change is confirmed at its second look.
  scene.schedule = {{0, 30}, {1, 60}};
  const std::string source = (dir_ / "source.mp4").string();
  const std::string upright = (dir_ / "upright.mp4").string();
  ASSERT_NO_FATAL_FAILURE(writeSceneClip(scene, source));
  ASSERT_NO_FATAL_FAILURE(encode(source, "", upright));
  const PicturesObserver expected = run(upright);
  ASSERT_EQ(expected.pictures.size(), 2u);

  // The turn that players undo for each tag, as ffmpeg's own autorotation undoes it.
  const std::pair<int, const char*> turns[] = {
      {90, ",transpose=clock"}, {180, ",hflip,vflip"}, {270, ",transpose=cclock"}};
  for (const auto& [degrees, filter] : turns) {
    const std::string tag = std::to_string(degrees);
    const std::string turned = (dir_ / ("turned" + tag + ".mp4")).string();
    const std::string tagged = (dir_ / ("tagged" + tag + ".mp4")).string();
    ASSERT_NO_FATAL_FAILURE(encode(source, filter, turned));
    ASSERT_NO_FATAL_FAILURE(ffmpeg("-i " + shellQuote(turned) + " -c copy -metadata:s:v:0 rotate=" +
                                   tag + " " + shellQuote(tagged)));

    const PicturesObserver got = run(tagged);
    ASSERT_EQ(got.pictures.size(), expected.pictures.size()) << tag;
    for (size_t i = 0; i < got.pictures.size(); ++i) {
      EXPECT_EQ(got.starts[i], expected.starts[i]) << tag;
      // The same within the converter's rounding, which depends on the column a pixel
      // is stored in; the picture turned the wrong way would be far off.
      const cv::Mat& a = got.pictures[i];
      const cv::Mat& b = expected.pictures[i];
      cv::Mat upsideDown;
      cv::flip(a, upsideDown, -1);
      EXPECT_LT(meanDifference(a, b), 1.5) << tag << ", slide " << i;
      EXPECT_GT(meanDifference(upsideDown, b), 20) << tag << ", slide " << i;
    }
  }
}

}  // namespace
