// Opening, closing and what a source hands out; inputs that are not videos.

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "frame_code.h"
#include "video_source.h"

namespace {

std::string tempPath(const std::string& name) {
  return ::testing::TempDir() + "video_open_" + std::to_string(getpid()) + "_" + name;
}

// A second of 8 kHz mono PCM: a valid media file without any video.
void writeWave(const std::string& path) {
  const uint32_t samples = 8000;
  std::vector<int16_t> pcm(samples);
  for (uint32_t i = 0; i < samples; ++i) pcm[i] = static_cast<int16_t>((i % 40) * 500 - 10000);
  std::ofstream out(path, std::ios::binary);
  auto u32 = [&](uint32_t v) { out.write(reinterpret_cast<const char*>(&v), 4); };
  auto u16 = [&](uint16_t v) { out.write(reinterpret_cast<const char*>(&v), 2); };
  out.write("RIFF", 4);
  u32(36 + samples * 2);
  out.write("WAVEfmt ", 8);
  u32(16);
  u16(1);
  u16(1);
  u32(8000);
  u32(16000);
  u16(2);
  u16(16);
  out.write("data", 4);
  u32(samples * 2);
  out.write(reinterpret_cast<const char*>(pcm.data()), samples * 2);
}

void expectClosed(VideoSource* source) {
  EXPECT_FALSE(videoSourceIsOpen(source));
  EXPECT_EQ(videoSourceImage(source), nullptr);
  EXPECT_EQ(videoSourceGetFrame(source, 0), nullptr);
  EXPECT_EQ(videoSourceGetFrame(source, 7), nullptr);
  EXPECT_EQ(videoSourceFrameCount(source), 0);
}

TEST(VideoOpenTest, FilesThatAreNoVideosFailQuietly) {
  auto source = videoSourceCreate();
  ASSERT_NE(source, nullptr);
  expectClosed(source.get());

  testing::internal::CaptureStdout();
  EXPECT_EQ(videoSourceOpen(source.get(), tempPath("missing.mp4")), 0);
  expectClosed(source.get());

  const std::string wave = tempPath("tone.wav");
  writeWave(wave);
  EXPECT_EQ(videoSourceOpen(source.get(), wave), 0);
  EXPECT_EQ(videoSourceLastError(source.get()), "no video stream");
  expectClosed(source.get());
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");  // no messages of its own

  // Text may be taken for some format or not; either way nothing breaks.
  const std::string text = tempPath("notes.txt");
  std::ofstream(text) << "Lecture notes\nnot a video at all\n";
  if (videoSourceOpen(source.get(), text) == 1) {
    videoSourceGetFrame(source.get(), 3);
    videoSourceGetFrame(source.get(), 0);
  } else {
    expectClosed(source.get());
  }
  videoSourceClose(source.get());
  expectClosed(source.get());
  std::remove(wave.c_str());
  std::remove(text.c_str());
}

TEST(VideoOpenTest, NullSourcesAreAccepted) {
  EXPECT_EQ(videoSourceOpen(nullptr, "x.mp4"), 0);
  EXPECT_FALSE(videoSourceIsOpen(nullptr));
  EXPECT_EQ(videoSourceImage(nullptr), nullptr);
  EXPECT_EQ(videoSourceGetFrame(nullptr, 1), nullptr);
  videoSourceClose(nullptr);
  std::unique_ptr<VideoSource> none;
  videoSourceRelease(none);
  auto source = videoSourceCreate();
  videoSourceRelease(source);
  EXPECT_EQ(source, nullptr);
}

TEST(VideoOpenTest, ImageIsBgraOfTheVideoSizeOwnedAndReusedBySource) {
  const std::string path = tempPath("colours.mp4");
  ClipOptions options;
  options.width = 160;
  options.height = 120;
  options.fpsNum = 30000;
  options.fpsDen = 1001;
  // Left half red, right half blue; the bright bar moves so pictures differ.
  ASSERT_TRUE(writeClip(path, options, 60, [](int i) {
    cv::Mat frame(120, 160, CV_8UC3, cv::Scalar(0, 0, 255));
    frame(cv::Rect(80, 0, 80, 120)).setTo(cv::Scalar(255, 0, 0));
    frame(cv::Rect(0, i, 160, 4)).setTo(cv::Scalar::all(255));
    return frame;
  }));

  auto source = videoSourceCreate();
  ASSERT_EQ(videoSourceOpen(source.get(), path), 1);
  EXPECT_EQ(videoSourceFrameCount(source.get()), 60);  // 2.002 s at 29.97 per second
  const cv::Mat* image = videoSourceImage(source.get());
  ASSERT_NE(image, nullptr);
  EXPECT_EQ(image->type(), CV_8UC4);
  EXPECT_EQ(image->size(), cv::Size(160, 120));
  const cv::Vec4b red = image->at<cv::Vec4b>(100, 20);
  const cv::Vec4b blue = image->at<cv::Vec4b>(100, 140);
  EXPECT_GT(red[2], 200);
  EXPECT_LT(red[0], 60);
  EXPECT_GT(blue[0], 200);
  EXPECT_LT(blue[2], 60);

  const uint8_t* pixels = image->data;
  const cv::Mat* later = videoSourceGetFrame(source.get(), 30);
  EXPECT_EQ(later, image);  // the same image, overwritten
  EXPECT_EQ(later->data, pixels);
  EXPECT_EQ(videoSourceGetFrame(source.get(), 61), nullptr);
  EXPECT_NE(videoSourceGetFrame(source.get(), 60), nullptr);  // the last one is there
  std::remove(path.c_str());
}

TEST(VideoOpenTest, ClosedSourceOpensAgainAtTheFirstPicture) {
  const std::string path = tempPath("numbers.avi");
  ClipOptions options;
  options.codec = "mjpeg";
  ASSERT_TRUE(frame_code::writeNumberedClip(path, options, 50, nullptr));
  auto source = videoSourceCreate();
  ASSERT_EQ(videoSourceOpen(source.get(), path), 1);
  EXPECT_EQ(videoSourceFrameCount(source.get()), 50);
  EXPECT_EQ(frame_code::read(*videoSourceImage(source.get())), 0);
  ASSERT_NE(videoSourceGetFrame(source.get(), 20), nullptr);
  videoSourceClose(source.get());
  expectClosed(source.get());
  ASSERT_EQ(videoSourceOpen(source.get(), path), 1);
  EXPECT_EQ(frame_code::read(*videoSourceImage(source.get())), 0);
  ASSERT_EQ(videoSourceOpen(source.get(), path), 1);  // opening an open source starts over
  const cv::Mat* image = videoSourceGetFrame(source.get(), 20);
  ASSERT_NE(image, nullptr);
  EXPECT_EQ(frame_code::read(*image), 19);
  std::remove(path.c_str());
}

}  // namespace
