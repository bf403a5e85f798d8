// Frame indices are exact: index k shows the same picture however it is reached.

#include <unistd.h>

#include <cstdio>
#include <map>
#include <ostream>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "frame_code.h"
#include "video_source.h"

namespace {

constexpr int kFrames = 310;

struct ClipKind {
  const char* name;
  const char* codec;
  const char* extension;
  int bFrames;
  int gopSize;
  bool jumps;  // the container gives every picture a timestamp, so keyframe jumps are possible
};

void PrintTo(const ClipKind& kind, std::ostream* out) { *out << kind.name; }

struct Reference {
  std::string path;
  std::vector<int> numbers;       // read from the picture of index k (k >= 1) at [k - 1]
  std::vector<uint64_t> digests;  // likewise, pixel digests
};

// Every clip is made once and walked picture by picture once; that walk is the reference.
struct ReferenceCache : std::map<std::string, Reference> {
  ~ReferenceCache() {
    for (const auto& entry : *this) std::remove(entry.second.path.c_str());
  }
};

const Reference& referenceFor(const ClipKind& kind) {
  static ReferenceCache cache;
  auto found = cache.find(kind.name);
  if (found != cache.end()) return found->second;
  Reference& ref = cache[kind.name];
  ref.path = ::testing::TempDir() + "frame_index_" + std::to_string(getpid()) + "_" + kind.name +
             kind.extension;
  ClipOptions options;
  options.codec = kind.codec;
  options.bFrames = kind.bFrames;
  options.gopSize = kind.gopSize;
  std::string error;
  EXPECT_TRUE(frame_code::writeNumberedClip(ref.path, options, kFrames, &error)) << error;
  auto source = videoSourceCreate();
  EXPECT_EQ(videoSourceOpen(source.get(), ref.path), 1) << videoSourceLastError(source.get());
  for (int k = 1; k <= kFrames + 1; ++k) {
    const cv::Mat* image = videoSourceGetFrame(source.get(), k);
    if (!image) break;
    ref.numbers.push_back(frame_code::read(*image));
    ref.digests.push_back(frame_code::digest(*image));
  }
  return ref;
}

class FrameIndexTest : public ::testing::TestWithParam<ClipKind> {
 protected:
  void SetUp() override {
    ref_ = &referenceFor(GetParam());
    source_ = videoSourceCreate();
    ASSERT_EQ(videoSourceOpen(source_.get(), ref_->path), 1);
  }

  // Fetches index k and checks it against the reference walk.
  void expectIndex(int k) {
    const cv::Mat* image = videoSourceGetFrame(source_.get(), k);
    ASSERT_NE(image, nullptr) << "index " << k;
    const size_t at = k <= 1 ? 0 : k - 1;
    EXPECT_EQ(frame_code::read(*image), ref_->numbers.at(at)) << "index " << k;
    EXPECT_EQ(frame_code::digest(*image), ref_->digests.at(at)) << "index " << k;
  }

  const Reference* ref_ = nullptr;
  std::unique_ptr<VideoSource> source_;
};

TEST_P(FrameIndexTest, EveryPictureInDisplayOrderUpToTheLast) {
  // The walk delivered every picture once, in order, including those the decoder
  // holds back at the end of the input.
  ASSERT_EQ(ref_->numbers.size(), static_cast<size_t>(kFrames));
  for (int i = 0; i < kFrames; ++i) ASSERT_EQ(ref_->numbers[i], i) << "index " << i + 1;
  EXPECT_EQ(videoSourceFrameCount(source_.get()), kFrames);
}

TEST_P(FrameIndexTest, StepsOf25MatchDecodingEveryPicture) {
  for (int k = 0; k < kFrames; k += 25) expectIndex(k);
  // And again from the start, after a rewind.
  for (int k = 0; k < kFrames; k += 25) expectIndex(k);
}

TEST_P(FrameIndexTest, FarJumpsRewindsAndStepsStayExact) {
  // Samples across the middle half, as the screen search takes them.
  for (int i = 0; i < 5; ++i) expectIndex(kFrames / 4 - 2 + (kFrames / 2 * i) / 5);
  expectIndex(0);
  for (int k = 25; k < 150; k += 25) expectIndex(k);
  expectIndex(kFrames);  // the very last picture, reached by a jump
  expectIndex(120);
  expectIndex(119);  // one back
  expectIndex(kFrames - 3);
  std::mt19937 random(7);
  for (int i = 0; i < 40; ++i) expectIndex(std::uniform_int_distribution<int>(0, kFrames)(random));
}

TEST_P(FrameIndexTest, FarJumpSkipsThePicturesInBetween) {
  expectIndex(20);
  const VideoSourceStats before = videoSourceStats(source_.get());
  expectIndex(kFrames - 10);
  const VideoSourceStats after = videoSourceStats(source_.get());
  if (!GetParam().jumps) {  // counted pictures cannot be found by a seek
    EXPECT_EQ(after.seeks, before.seeks);
    return;
  }
  EXPECT_GE(after.seeks, before.seeks + 1);
  // Keyframes come every 50 pictures, so at most about one group is decoded.
  EXPECT_LT(after.picturesDecoded - before.picturesDecoded, 80);
  EXPECT_LT(after.packetsDecoded - before.packetsDecoded, 80);
}

TEST_P(FrameIndexTest, CurrentNegativeAndPastTheEndIndices) {
  expectIndex(40);
  const VideoSourceStats before = videoSourceStats(source_.get());
  expectIndex(40);  // decodes nothing
  const VideoSourceStats after = videoSourceStats(source_.get());
  EXPECT_EQ(after.packetsRead, before.packetsRead);
  EXPECT_EQ(after.picturesDecoded, before.picturesDecoded);

  // A negative index never rewinds: it is the next picture.
  const cv::Mat* next = videoSourceGetFrame(source_.get(), -5);
  ASSERT_NE(next, nullptr);
  EXPECT_EQ(frame_code::read(*next), 40);

  EXPECT_EQ(videoSourceGetFrame(source_.get(), kFrames + 1), nullptr);
  EXPECT_EQ(videoSourceGetFrame(source_.get(), kFrames + 30), nullptr);
  EXPECT_EQ(videoSourceGetFrame(source_.get(), -1), nullptr);
  expectIndex(3);  // back from the end
  expectIndex(0);
  const VideoSourceStats atStart = videoSourceStats(source_.get());
  expectIndex(1);  // the same picture as index 0
  EXPECT_EQ(videoSourceStats(source_.get()).picturesDecoded, atStart.picturesDecoded);
}

TEST_P(FrameIndexTest, PositioningAtATimePrintsAndDeliversThatPicture) {
  expectIndex(100);
  testing::internal::CaptureStdout();
  const cv::Mat* first = videoSourceGetFrameAtTime(source_.get(), 0);
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(frame_code::read(*first), 0);
  const cv::Mat* at40 = videoSourceGetFrameAtTime(source_.get(), 40);
  ASSERT_NE(at40, nullptr);
  EXPECT_EQ(frame_code::read(*at40), 40);
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "0               /0              "
            "40              /1600000        ");
  expectIndex(41);  // the same picture, by index
}

const ClipKind kKinds[] = {
    {"h264_mp4", "libx264", ".mp4", -1, 50, true},
    {"h264_mkv", "libx264", ".mkv", -1, 50, true},
    {"mpeg4_mp4", "mpeg4", ".mp4", 2, 50, true},
    // AVI stores no presentation times for B-frames: pictures are counted instead.
    {"mpeg4_avi", "mpeg4", ".avi", 2, 50, false},
    {"h264_avi", "libx264", ".avi", -1, 50, false},
    {"mjpeg_avi", "mjpeg", ".avi", -1, -1, true},
};

INSTANTIATE_TEST_SUITE_P(Codecs, FrameIndexTest, ::testing::ValuesIn(kKinds),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
