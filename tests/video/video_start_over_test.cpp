// A source started over after a search gives every frame index the picture a fresh
// opening gives, with the search's kept pictures handed out and whole pictures converted.
#include <ostream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "frame_code.h"
#include "scratch.h"
#include "video/video_source.h"

using namespace slidetrack;

namespace {

constexpr int kFrames = 160;

struct Kind {
  const char *name, *codec, *extension;
  int bFrames;
  bool timestamped;  // AVI gives B-frames no presentation time: pictures are counted
};

void PrintTo(const Kind& kind, std::ostream* out) { *out << kind.name; }

class StartOverTest : public ::testing::TestWithParam<Kind> {};

// What a run asks for: the picture at time 0, then every step-th frame to the end.
std::vector<size_t> runPictures(VideoSource* source, int step) {
  std::vector<size_t> pictures;
  const cv::Mat* first = videoSourceGetFrameAtTime(source, 0);
  pictures.push_back(first ? frame_code::digest(*first) : 0);
  for (int t = 0; t <= kFrames; t += step) {
    const cv::Mat* image = videoSourceGetFrame(source, t);
    pictures.push_back(image ? frame_code::digest(*image) : 0);
    if (!image) break;
  }
  return pictures;
}

TEST_P(StartOverTest, GivesTheFramesOfAFreshOpening) {
  ScratchDir dir;
  const Kind kind = GetParam();
  const std::string path = dir / (std::string("clip") + kind.extension);
  ClipOptions options;
  options.codec = kind.codec;
  options.bFrames = kind.bFrames;
  options.gopSize = 40;
  ASSERT_TRUE(frame_code::writeNumberedClip(path, options, kFrames));
  auto fresh = videoSourceCreate();
  ASSERT_NO_THROW(videoSourceOpen(*fresh, path));
  const std::vector<size_t> expected = runPictures(fresh.get(), 10);
  ASSERT_EQ(expected.size(), 18u);  // time 0, then frames 0, 10, ... 160

  auto source = videoSourceCreate();
  ASSERT_NO_THROW(videoSourceOpen(*source, path));
  videoSourceKeepFrames(source.get(), 10);
  // Samples as a search takes them, forward and back, part of each picture converted.
  videoSourceSetConvertedArea(source.get(), {0, 0, 100, 60});
  for (const int k : {38, 77, 119, 158, 57, 96})
    ASSERT_NE(videoSourceGetFrame(source.get(), k), nullptr) << k;
  const long long kept = videoSourceStats(source.get()).picturesKept;
  videoSourceStartOver(source.get());
  ASSERT_TRUE(videoSourceIsOpen(source.get()));
  EXPECT_EQ(runPictures(source.get(), 10), expected);
  const VideoSourceStats stats = videoSourceStats(source.get());
  if (kind.timestamped) {
    EXPECT_GT(kept, 0);
    EXPECT_EQ(stats.picturesFromKept, kept);
    EXPECT_EQ(stats.picturesKept, kept);  // nothing more kept once started over
  } else {
    EXPECT_EQ(stats.picturesFromKept, 0);  // a new opening: counting starts anew
  }
}

const Kind kKinds[] = {{"h264_mp4", "libx264", ".mp4", -1, true},
                       {"mpeg4_mp4", "mpeg4", ".mp4", 2, true},
                       {"mpeg4_avi", "mpeg4", ".avi", 2, false}};

INSTANTIATE_TEST_SUITE_P(Codecs, StartOverTest, ::testing::ValuesIn(kKinds),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
