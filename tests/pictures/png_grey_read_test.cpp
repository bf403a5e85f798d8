// The grey read of a PNG takes colour rows in bands and interlaced pictures whole: every
// band edge and layout gives the grey of imread's pixels, and damage is still refused.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include "common/error.h"
#include "lecture_scene.h"
#include "pictures/picture_read.h"
#include "scratch.h"

using namespace slidetrack;

namespace {

// Every row differs from the one above, so a band written to the wrong rows shows.
cv::Mat stripedSlide(cv::Size size) {
  cv::Mat slide = drawSlide(5, size);
  for (int y = 0; y < size.height; ++y)
    for (int x = 0; x < size.width; x += 7) slide.at<cv::Vec3b>(y, x) = {uchar(y), uchar(3 * y), 9};
  return slide;
}

bool interlaced(const std::string& from, const std::string& to, const char* pixelFormat) {
  const std::string command = "ffmpeg -nostdin -v error -y -i '" + from +
                              "' -flags +ildct -pix_fmt " + pixelFormat + " '" + to + "'";
  return std::system(command.c_str()) == 0;
}

}  // namespace

TEST(PngGreyRead, EveryBandEdgeAndInterlacingGivesImreadsGrey) {
  ScratchDir dir;
  std::vector<std::string> files;
  for (const int height : {1, 15, 16, 17, 250}) {
    files.push_back(dir / ("rows" + std::to_string(height) + ".png"));
    ASSERT_TRUE(cv::imwrite(files.back(), stripedSlide({203, height})));
  }
  for (const char* format : {"rgb24", "gray", "pal8", "rgba64be"}) {
    files.push_back(dir / (std::string("adam7_") + format + ".png"));
    ASSERT_TRUE(interlaced(files[4], files.back(), format)) << format;
  }
  for (const std::string& file : files) {
    const cv::Mat colour = cv::imread(file, cv::IMREAD_COLOR);
    ASSERT_FALSE(colour.empty()) << file;
    cv::Mat expected;
    cv::cvtColor(colour, expected, cv::COLOR_BGR2GRAY);
    const cv::Mat grey = pictureReadGrey(file);
    ASSERT_EQ(grey.size(), expected.size()) << file;
    EXPECT_EQ(cv::norm(grey, expected, cv::NORM_INF), 0.0) << file;
    EXPECT_EQ(cv::norm(pictureRead(file), colour, cv::NORM_INF), 0.0) << file;
  }
  // Cut in the last band of a plain picture and in the last pass of an interlaced one.
  for (const std::string& file : {files[4], files.back()}) {
    const std::string bytes = readFile(file);
    writeFile(dir / "cut.png", bytes.substr(0, bytes.size() - 40));
    EXPECT_THROW(pictureReadGrey(dir / "cut.png"), Error) << file;
  }
}
