#include "clip_writer.h"

#include <cstdio>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <unistd.h>
#include <opencv2/imgproc.hpp>

namespace {

std::string run(const std::string& command) {
  std::string out;
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return out;
  char buffer[4096];
  size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
  pclose(pipe);
  return out;
}

// key=value pairs reported by ffprobe for the first video stream and the container.
std::map<std::string, std::string> probe(const std::string& path) {
  std::istringstream lines(
      run("ffprobe -v error -count_frames -select_streams v:0 -show_entries "
          "stream=nb_read_frames,width,height,avg_frame_rate:format=duration "
          "-of default=noprint_wrappers=1 '" +
          path + "'"));
  std::map<std::string, std::string> values;
  std::string line;
  while (std::getline(lines, line)) {
    auto eq = line.find('=');
    if (eq != std::string::npos) values[line.substr(0, eq)] = line.substr(eq + 1);
  }
  return values;
}

// Every picture of the clip as BGR, decoded by the ffmpeg program.
std::vector<cv::Mat> decodeAll(const std::string& path, cv::Size size) {
  std::string raw = run("ffmpeg -v error -i '" + path + "' -f rawvideo -pix_fmt bgr24 -");
  std::vector<cv::Mat> frames;
  const size_t bytes = size_t(size.area()) * 3;
  for (size_t at = 0; at + bytes <= raw.size(); at += bytes)
    frames.push_back(cv::Mat(size, CV_8UC3, &raw[at]).clone());
  return frames;
}

// A bright square moving over a coloured background, so frames differ.
cv::Mat movingSquare(int i, cv::Size size) {
  cv::Mat frame(size, CV_8UC3, cv::Scalar(40, 120, 200));
  cv::rectangle(frame, cv::Rect(10 + 2 * i, 20 + i, 60, 60), cv::Scalar(250, 250, 250), -1);
  return frame;
}

std::string tempPath(const std::string& name) {
  return "/tmp/clip_writer_test_" + std::to_string(getpid()) + "_" + name;
}

struct Case {
  std::string codec, extension;
  int fpsNum, fpsDen;
  double maxError;  // mean absolute difference allowed after the round trip
};

}  // namespace

TEST(ClipWriter, EncodedClipsDecodeToTheFramesWritten) {
  const std::vector<Case> cases = {{"libx264", ".mp4", 25, 1, 6},
                                   {"libx264", ".mkv", 30000, 1001, 6},
                                   {"mpeg4", ".avi", 25, 1, 8},
                                   {"mjpeg", ".avi", 30, 1, 6}};
  const int count = 50;
  const cv::Size size(320, 240);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.codec + c.extension);
    ClipOptions options;
    options.codec = c.codec;
    options.fpsNum = c.fpsNum;
    options.fpsDen = c.fpsDen;
    const std::string path = tempPath(c.codec + c.extension);
    std::string error;
    ASSERT_TRUE(writeClip(
        path, options, count, [&](int i) { return movingSquare(i, size); }, &error))
        << error;

    auto info = probe(path);
    EXPECT_EQ(info["nb_read_frames"], std::to_string(count));
    EXPECT_EQ(info["width"], "320");
    EXPECT_EQ(info["height"], "240");
    EXPECT_EQ(info["avg_frame_rate"], std::to_string(c.fpsNum) + "/" + std::to_string(c.fpsDen));
    const double fps = double(c.fpsNum) / c.fpsDen;
    EXPECT_NEAR(std::stod(info["duration"]) * fps, count, 1.0);

    // Pictures come back in order and close to what was written.
    auto frames = decodeAll(path, size);
    ASSERT_EQ(frames.size(), size_t(count));
    for (int i : {0, 1, count / 2, count - 1}) {
      cv::Mat diff;
      cv::absdiff(frames[i], movingSquare(i, size), diff);
      EXPECT_LT(cv::mean(diff)[0], c.maxError) << "frame " << i;
    }
    std::remove(path.c_str());
  }
}

TEST(ClipWriter, ResizesFramesAndAcceptsGrey) {
  ClipWriter writer;
  ClipOptions options;
  options.codec = "mpeg4";
  options.width = 160;
  options.height = 120;
  const std::string path = tempPath("resize.mp4");
  ASSERT_TRUE(writer.open(path, options)) << writer.error();
  cv::Mat big = movingSquare(0, cv::Size(640, 480));
  cv::Mat grey(120, 160, CV_8UC1, cv::Scalar(128));
  for (int i = 0; i < 5; ++i) ASSERT_TRUE(writer.write(i % 2 ? big : grey)) << writer.error();
  ASSERT_TRUE(writer.close()) << writer.error();
  auto info = probe(path);
  EXPECT_EQ(info["nb_read_frames"], "5");
  EXPECT_EQ(info["width"], "160");
  EXPECT_EQ(info["height"], "120");
  std::remove(path.c_str());
}

TEST(ClipWriter, ReportsFailuresWithAMessage) {
  ClipWriter writer;
  ClipOptions options;
  EXPECT_FALSE(writer.open("/nonexistent-dir/clip.mp4", options));
  EXPECT_FALSE(writer.error().empty());
  EXPECT_FALSE(writer.write(movingSquare(0, cv::Size(320, 240))));

  options.codec = "no-such-encoder";
  EXPECT_FALSE(writer.open(tempPath("x.mp4"), options));
  EXPECT_NE(writer.error().find("no-such-encoder"), std::string::npos);

  std::string error;
  EXPECT_FALSE(writeClip(
      tempPath("x.unknownext"), ClipOptions(), 3,
      [](int i) { return movingSquare(i, cv::Size(320, 240)); }, &error));
  EXPECT_FALSE(error.empty());
}

TEST(ClipWriter, DroppedWriterStillLeavesAPlayableFile) {
  const std::string path = tempPath("dropped.mkv");
  {
    ClipWriter writer;
    ASSERT_TRUE(writer.open(path, ClipOptions()));
    for (int i = 0; i < 10; ++i) writer.write(movingSquare(i, cv::Size(320, 240)));
  }
  EXPECT_EQ(probe(path)["nb_read_frames"], "10");
  std::remove(path.c_str());
}
