// The video source: opening, closing and starting over, what it hands out, and exact frame
// indices (index k shows the same picture however it is reached).

#include <map>
#include <ostream>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "frame_code.h"
#include "scratch.h"
#include "video/video_source.h"

using namespace slidetrack;

namespace {

constexpr int kFrames = 310;

// Clips live for the whole run: each kind is made once and shared by its cases.
std::string tempPath(const std::string& name) {
  static ScratchDir dir;
  return dir / name;
}

// The number shown by a picture handed out, -2 for none.
int number(const cv::Mat* image) { return image ? frame_code::read(*image) : -2; }

void expectClosed(VideoSource* source) {
  EXPECT_FALSE(videoSourceIsOpen(source));
  EXPECT_EQ(videoSourceImage(source), nullptr);
  EXPECT_EQ(videoSourceGetFrame(source, 7), nullptr);
  EXPECT_EQ(videoSourceFrameCount(source), 0);
}

TEST(VideoSourceTest, BgraImageOfTheVideoOwnedByTheSourceAndReopenable) {
  const std::string path = tempPath("numbers.mp4");
  ClipOptions options;
  options.fpsNum = 30000;
  options.fpsDen = 1001;
  ASSERT_TRUE(frame_code::writeNumberedClip(path, options, 60));

  auto source = videoSourceCreate();
  ASSERT_NO_THROW(videoSourceOpen(*source, path));
  EXPECT_EQ(videoSourceFrameCount(source.get()), 60);  // 2.002 s at 29.97 per second
  const cv::Mat* image = videoSourceImage(source.get());
  ASSERT_NE(image, nullptr);
  EXPECT_EQ(number(image), 0);  // also checks BGRA of the video's size
  const cv::Scalar red = cv::mean((*image)(frame_code::kRed));
  const cv::Scalar blue = cv::mean((*image)(frame_code::kBlue));
  EXPECT_TRUE(red[2] > 200 && red[0] < 60 && blue[0] > 200 && blue[2] < 60) << red << blue;

  const uint8_t* pixels = image->data;
  const cv::Mat* later = videoSourceGetFrame(source.get(), 30);
  EXPECT_TRUE(later == image && later->data == pixels);  // the same image, overwritten

  ASSERT_NO_THROW(videoSourceOpen(*source, path));  // opening an open source starts over
  EXPECT_EQ(number(videoSourceImage(source.get())), 0);
  EXPECT_EQ(number(videoSourceGetFrame(source.get(), 20)), 19);
  videoSourceClose(source.get());
  expectClosed(source.get());
}

struct ClipKind {
  const char *name, *codec, *extension;
  int bFrames;
  bool jumps;  // the container gives every picture a timestamp, so keyframe jumps are possible
};

void PrintTo(const ClipKind& kind, std::ostream* out) { *out << kind.name; }

// Each clip is made once and walked picture by picture once: that walk is the reference,
// the number and pixel digest of index k (k >= 1) at [k - 1].
struct Reference {
  std::string path;
  std::vector<std::pair<int, size_t>> pictures;
};

const Reference& referenceFor(const ClipKind& kind) {
  static std::map<std::string, Reference> cache;
  if (cache.count(kind.name)) return cache[kind.name];
  Reference& ref = cache[kind.name];
  ref.path = tempPath(std::string(kind.name) + kind.extension);
  ClipOptions options;
  options.codec = kind.codec;
  options.bFrames = kind.bFrames;
  options.gopSize = 50;
  frame_code::writeNumberedClip(ref.path, options, kFrames);
  auto source = videoSourceCreate();
  EXPECT_NO_THROW(videoSourceOpen(*source, ref.path));
  for (int k = 1; k <= kFrames + 1; ++k) {
    const cv::Mat* image = videoSourceGetFrame(source.get(), k);
    if (!image) break;
    ref.pictures.emplace_back(frame_code::read(*image), frame_code::digest(*image));
  }
  return ref;
}

class FrameIndexTest : public ::testing::TestWithParam<ClipKind> {
 protected:
  void SetUp() override {
    ref_ = &referenceFor(GetParam());
    source_ = videoSourceCreate();
    ASSERT_NO_THROW(videoSourceOpen(*source_, ref_->path));
  }

  void expectIndex(int k) {
    const cv::Mat* image = videoSourceGetFrame(source_.get(), k);
    ASSERT_NE(image, nullptr) << "index " << k;
    const auto seen = std::make_pair(frame_code::read(*image), frame_code::digest(*image));
    EXPECT_EQ(seen, ref_->pictures.at(k <= 1 ? 0 : k - 1)) << "index " << k;
  }

  VideoSourceStats stats() const { return videoSourceStats(source_.get()); }

  const Reference* ref_ = nullptr;
  std::unique_ptr<VideoSource> source_;
};

TEST_P(FrameIndexTest, WalkDeliversEveryPictureOnceUpToTheLast) {
  // Including those the decoder holds back at the end of the input.
  ASSERT_EQ(ref_->pictures.size(), static_cast<size_t>(kFrames));
  for (int i = 0; i < kFrames; ++i) ASSERT_EQ(ref_->pictures[i].first, i) << "index " << i + 1;
  EXPECT_EQ(videoSourceFrameCount(source_.get()), kFrames);
}

TEST_P(FrameIndexTest, StepsJumpsAndRewindsMatchTheWalk) {
  expectIndex(20);
  const VideoSourceStats before = stats();
  expectIndex(kFrames - 10);
  if (GetParam().jumps)  // keyframes every 50 pictures: about one group is decoded
    EXPECT_LT(stats().packetsDecoded - before.packetsDecoded, 80);
  else  // counted pictures cannot be found by a seek
    EXPECT_EQ(stats().seeks, before.seeks);

  for (int pass = 0; pass < 2; ++pass)  // the run's steps, again after a rewind
    for (int k = 0; k < kFrames; k += 25) expectIndex(k);
  // Samples across the middle half, as the screen search takes them.
  for (int i = 0; i < 5; ++i) expectIndex(kFrames / 4 - 2 + (kFrames / 2 * i) / 5);
  for (int k : {kFrames, 120, 119, kFrames - 3}) expectIndex(k);
  std::mt19937 random(7);
  for (int i = 0; i < 30; ++i) expectIndex(std::uniform_int_distribution<int>(0, kFrames)(random));
}

TEST_P(FrameIndexTest, CurrentNegativePastTheEndAndTimedIndices) {
  expectIndex(40);
  long long read = stats().packetsRead;
  expectIndex(40);  // the current picture again, without decoding
  EXPECT_EQ(stats().packetsRead, read);

  EXPECT_EQ(number(videoSourceGetFrame(source_.get(), -5)), 40);  // never rewinds

  for (int k : {kFrames + 1, kFrames + 30, -1})
    EXPECT_EQ(videoSourceGetFrame(source_.get(), k), nullptr) << k;
  expectIndex(3);  // back from the end

  for (unsigned k : {0u, 40u})
    EXPECT_EQ(number(videoSourceGetFrameAtTime(source_.get(), k)), static_cast<int>(k));
  EXPECT_EQ(videoSourceFrameTime(source_.get(), 40), 1600000);
  expectIndex(41);  // the picture at the time of frame 40, by index

  expectIndex(0);
  read = stats().packetsRead;
  expectIndex(1);  // the same picture as index 0
  EXPECT_EQ(stats().packetsRead, read);
}

TEST_P(FrameIndexTest, ConvertedAreaMatchesTheWholePicture) {
  auto whole = videoSourceCreate();
  ASSERT_NO_THROW(videoSourceOpen(*whole, ref_->path));
  // Odd corners, one reaching past the picture, and the whole picture.
  const cv::Rect areas[] = {{37, 21, 201, 133}, {250, 3, 100, 300}, {0, 0, 320, 240}};
  for (const cv::Rect& area : areas) {
    videoSourceSetConvertedArea(source_.get(), area);
    const cv::Rect inside = area & cv::Rect(cv::Point(), frame_code::kSize);
    const long long before = stats().partialConversions;
    for (int k = 0; k < kFrames; k += 17) {
      const cv::Mat* part = videoSourceGetFrame(source_.get(), k);
      const cv::Mat* full = videoSourceGetFrame(whole.get(), k);
      ASSERT_TRUE(part && full) << k;
      ASSERT_EQ(cv::norm((*part)(inside), (*full)(inside), cv::NORM_INF), 0) << area << " at " << k;
    }
    const long long partial = stats().partialConversions - before;
    if (inside.size() == frame_code::kSize)
      EXPECT_EQ(partial, 0);
    else  // all but the first picture, which was checked against the whole
      EXPECT_EQ(partial, (kFrames + 16) / 17 - 1) << area;
  }
  videoSourceSetConvertedArea(source_.get(), cv::Rect());
  expectIndex(5);
}

TEST_P(FrameIndexTest, KeptPicturesServeTheNextOpeningExactly) {
  // A budget for all, and one for about two pictures.
  for (const size_t budget : {kKeptFramesBudget, size_t{240000}}) {
    SCOPED_TRACE(budget);
    videoSourceKeepFrames(source_.get(), 25, budget);
    for (int i = 0; i < 10; ++i) expectIndex(kFrames / 4 - 2 + (kFrames / 2 * i) / 10);
    const long long kept = stats().picturesKept;
    videoSourceClose(source_.get());

    ASSERT_NO_THROW(videoSourceOpen(*source_, ref_->path));
    auto plain = videoSourceCreate();
    ASSERT_NO_THROW(videoSourceOpen(*plain, ref_->path));
    for (int k = 0; k < kFrames; k += 25) {
      expectIndex(k);
      ASSERT_NE(videoSourceGetFrame(plain.get(), k), nullptr);
    }
    EXPECT_EQ(stats().picturesFromKept, kept);
    if (!GetParam().jumps) {  // counted positions are not trusted across openings
      EXPECT_EQ(kept, 0);
    } else if (budget == kKeptFramesBudget) {
      // From the first sample (position 74) to the last (213) the search decodes on.
      EXPECT_GE(kept, 6);
      EXPECT_LT(stats().picturesDecoded, videoSourceStats(plain.get()).picturesDecoded);
    } else {
      EXPECT_GE(kept, 1);
      EXPECT_LE(kept, 2);
    }
    expectIndex(30);  // back again: decoded as ever
    videoSourceClose(source_.get());
    ASSERT_NO_THROW(videoSourceOpen(*source_, ref_->path));
  }
}

// A source started over after a search gives every index of the run the picture of a fresh
// opening, with the pictures the search kept handed out.
TEST_P(FrameIndexTest, StartingOverAfterASearchGivesTheRunsPictures) {
  videoSourceKeepFrames(source_.get(), 25);
  videoSourceSetConvertedArea(source_.get(), {0, 0, 100, 60});
  for (const int k : {74, 149, 213, 111, 180})
    ASSERT_NE(videoSourceGetFrame(source_.get(), k), nullptr);
  const long long kept = stats().picturesKept;
  videoSourceStartOver(source_.get());
  ASSERT_TRUE(videoSourceIsOpen(source_.get()));
  EXPECT_EQ(number(videoSourceGetFrameAtTime(source_.get(), 0)), 0);
  for (int k = 0; k < kFrames; k += 25) expectIndex(k);
  if (GetParam().jumps) {
    EXPECT_GT(kept, 0);
    EXPECT_EQ(stats().picturesFromKept, kept);
    EXPECT_EQ(stats().picturesKept, kept);  // nothing more kept once started over
  } else {
    EXPECT_EQ(stats().picturesFromKept, 0);  // a new opening: counting starts anew
  }
}

const ClipKind kKinds[] = {
    {"h264_mp4", "libx264", ".mp4", -1, true},
    {"h264_mkv", "libx264", ".mkv", -1, true},
    {"mpeg4_mp4", "mpeg4", ".mp4", 2, true},
    // AVI stores no presentation times for B-frames: pictures are counted instead.
    {"mpeg4_avi", "mpeg4", ".avi", 2, false},
    {"h264_avi", "libx264", ".avi", -1, false},
    {"mjpeg_avi", "mjpeg", ".avi", -1, true},
};

INSTANTIATE_TEST_SUITE_P(Codecs, FrameIndexTest, ::testing::ValuesIn(kKinds),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
