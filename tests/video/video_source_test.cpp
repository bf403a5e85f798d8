// The video source: opening, closing and starting over, what it hands out, and exact frame
// indices (index k shows the same picture however it is reached).

#include <cmath>
#include <functional>
#include <map>
#include <ostream>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include "clip_writer.h"
#include "scratch.h"
#include "video/video_source.h"

using namespace slidetrack;

namespace {

// Test pictures that carry their own number as a bar code of black and white blocks,
// readable back from a decoded BGRA image despite compression.
namespace frame_code {

constexpr int kBits = 12;
const cv::Size kSize(320, 240);
const cv::Rect kRed(290, 20, 30, 40), kBlue(290, 70, 30, 40);  // to check the channel order

cv::Rect block(int bit, int row) { return cv::Rect(40 + bit * 20, 20 + row * 50, 20, 40); }

// Picture `number`: the code on top (row 0 the bits, row 1 their complement), and a moving
// textured scene below so the encoder has real motion to predict.
cv::Mat draw(int number) {
  cv::Mat frame(kSize, CV_8UC3, cv::Scalar(90, 110, 100));
  for (int y = 130; y < kSize.height; y += 8)
    cv::line(frame, {0, y}, {kSize.width, y + 20}, cv::Scalar(60, 150, 80), 2);
  cv::circle(frame, {(number * 7) % kSize.width, 180}, 25, cv::Scalar(230, 230, 240), -1);
  frame(kRed).setTo(cv::Scalar(0, 0, 255));
  frame(kBlue).setTo(cv::Scalar(255, 0, 0));
  for (int bit = 0; bit < kBits; ++bit) {
    const cv::Scalar one = cv::Scalar::all((number >> bit) & 1 ? 255 : 0);
    cv::rectangle(frame, block(bit, 0), one, -1);
    cv::rectangle(frame, block(bit, 1), cv::Scalar::all(255) - one, -1);
  }
  return frame;
}

// The number in a BGRA picture, or -1 when the code is unreadable. Green is channel 1
// in either channel order.
int read(const cv::Mat& bgra) {
  if (bgra.size() != kSize || bgra.type() != CV_8UC4) return -1;
  int number = 0;
  for (int bit = 0; bit < kBits; ++bit) {
    auto green = [&](int row) {
      return cv::mean(bgra(block(bit, row) + cv::Point(5, 10) - cv::Size(10, 20)))[1];
    };
    if (std::abs(green(0) - green(1)) < 100) return -1;
    if (green(0) > green(1)) number |= 1 << bit;
  }
  return number;
}

// A digest of the pixels, to see that two ways of reaching a picture give the same one.
size_t digest(const cv::Mat& image) {
  const cv::Mat whole = image.isContinuous() ? image : image.clone();
  return std::hash<std::string_view>()(std::string_view(reinterpret_cast<const char*>(whole.data),
                                                        whole.total() * whole.elemSize()));
}

}  // namespace frame_code

constexpr int kFrames = 310;

// The number shown by a picture handed out, -2 for none.
int number(const cv::Mat* image) { return image ? frame_code::read(*image) : -2; }

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
  static ScratchDir dir;  // clips live for the whole run, shared by the cases of their kind
  static std::map<std::string, Reference> cache;
  Reference& ref = cache[kind.name];
  if (!ref.path.empty()) return ref;
  ref.path = dir / (std::string(kind.name) + kind.extension);
  ClipOptions options;
  options.width = frame_code::kSize.width;
  options.height = frame_code::kSize.height;
  options.codec = kind.codec;
  options.bFrames = kind.bFrames;
  options.gopSize = 50;
  std::string error;
  EXPECT_TRUE(writeClip(ref.path, options, kFrames, frame_code::draw, &error)) << error;
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

TEST_P(FrameIndexTest, WalkGivesEveryPictureOnceAndStepsJumpsAndRewindsMatchIt) {
  // Including those the decoder holds back at the end of the input.
  ASSERT_EQ(ref_->pictures.size(), static_cast<size_t>(kFrames));
  for (int i = 0; i < kFrames; ++i) ASSERT_EQ(ref_->pictures[i].first, i) << "index " << i + 1;
  EXPECT_EQ(videoSourceFrameCount(source_.get()), kFrames);
  expectIndex(20);
  const VideoSourceStats before = stats();
  expectIndex(kFrames - 10);
  if (GetParam().jumps)  // keyframes every 50 pictures: about one group is decoded
    EXPECT_LT(stats().packetsDecoded - before.packetsDecoded, 80);
  else  // counted pictures cannot be found by a seek
    EXPECT_EQ(stats().seeks, before.seeks);

  for (int pass = 0; pass < 2; ++pass)  // the run's steps, again after a rewind
    for (int k = 0; k < kFrames; k += 25) expectIndex(k);
  // Steps of 30 across groups of 50: the pictures between a step and the next keyframe
  // are not decoded (all 300 were before).
  const VideoSourceStats stepped = stats();
  for (int k = 1; k < kFrames; k += 30) expectIndex(k);
  if (GetParam().jumps) {
    EXPECT_LT(stats().packetsDecoded - stepped.packetsDecoded, 280);
  }
  // Samples across the middle half, as the screen search takes them, then back and forth.
  for (int k : {75, 106, 137, 168, 199, kFrames, 120, 119, kFrames - 3}) expectIndex(k);
  std::mt19937 random(7);
  for (int i = 0; i < 30; ++i) expectIndex(std::uniform_int_distribution<int>(0, kFrames)(random));
}

// One BGRA image of the video's size in its colours, owned by the source and overwritten by
// every later picture; the current, negative, past the end and timed indices; a closed
// source hands out nothing.
TEST_P(FrameIndexTest, OneImageAndCurrentNegativePastTheEndAndTimedIndices) {
  const cv::Mat* image = videoSourceImage(source_.get());
  ASSERT_NE(image, nullptr);
  EXPECT_EQ(number(image), 0);  // also checks BGRA of the video's size
  const cv::Scalar red = cv::mean((*image)(frame_code::kRed));
  const cv::Scalar blue = cv::mean((*image)(frame_code::kBlue));
  EXPECT_TRUE(red[2] > 200 && red[0] < 60 && blue[0] > 200 && blue[2] < 60) << red << blue;
  const uint8_t* pixels = image->data;
  const auto withoutReading = [this](int k) {
    const long long read = stats().packetsRead;
    expectIndex(k);
    EXPECT_EQ(stats().packetsRead, read) << "index " << k;
  };
  expectIndex(40);
  EXPECT_TRUE(videoSourceGetFrame(source_.get(), 40) == image && image->data == pixels);
  withoutReading(40);  // the current picture again

  EXPECT_EQ(number(videoSourceGetFrame(source_.get(), -5)), 40);  // never rewinds

  for (int k : {kFrames + 1, kFrames + 30, -1})
    EXPECT_EQ(videoSourceGetFrame(source_.get(), k), nullptr) << k;
  expectIndex(3);  // back from the end

  for (unsigned k : {0u, 40u})
    EXPECT_EQ(number(videoSourceGetFrameAtTime(source_.get(), k)), static_cast<int>(k));
  EXPECT_EQ(videoSourceFrameTime(source_.get(), 40), 1600000);
  expectIndex(41);  // the picture at the time of frame 40, by index

  expectIndex(0);
  withoutReading(1);  // the same picture as index 0
  videoSourceClose(source_.get());
  EXPECT_FALSE(videoSourceIsOpen(source_.get()));
  EXPECT_TRUE(!videoSourceImage(source_.get()) && !videoSourceGetFrame(source_.get(), 7));
  EXPECT_EQ(videoSourceFrameCount(source_.get()), 0);
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
    // All but the first picture, which was checked against the whole, unless all is asked.
    const long long partial = inside.size() == frame_code::kSize ? 0 : (kFrames + 16) / 17 - 1;
    EXPECT_EQ(stats().partialConversions - before, partial) << area;
  }
  videoSourceSetConvertedArea(source_.get(), cv::Rect());
  expectIndex(5);
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
  // Nothing more is kept once started over; counted pictures are opened anew, and
  // counting starts again.
  EXPECT_EQ(stats().picturesFromKept, GetParam().jumps ? kept : 0);
  EXPECT_TRUE(!GetParam().jumps || (kept > 0 && stats().picturesKept == kept)) << kept;
}

// Pictures left out between the promised steps are still found when asked for, by index
// or as the next picture.
TEST_P(FrameIndexTest, StepsPromisedGiveThePicturesAndBrokenPromisesToo) {
  videoSourceSetStride(source_.get(), 25);
  for (int k = 0; k < 200; k += 25) expectIndex(k);
  for (int k : {176, 177, 200, 202, 225, 226, 227, 250, 251, 252, 253}) expectIndex(k);
  EXPECT_EQ(number(videoSourceGetFrame(source_.get(), -1)), 253);
  videoSourceSetStride(source_.get(), 1);
  for (int k = 262; k < kFrames; k += 3) expectIndex(k);
}

// AVI stores no presentation times for B-frames: pictures are counted instead.
const ClipKind kKinds[] = {
    {"h264_mp4", "libx264", ".mp4", -1, true},  {"h264_mkv", "libx264", ".mkv", -1, true},
    {"mpeg4_mp4", "mpeg4", ".mp4", 2, true},    {"mpeg4_avi", "mpeg4", ".avi", 2, false},
    {"h264_avi", "libx264", ".avi", -1, false}, {"mjpeg_avi", "mjpeg", ".avi", -1, true}};

INSTANTIATE_TEST_SUITE_P(Codecs, FrameIndexTest, ::testing::ValuesIn(kKinds),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
