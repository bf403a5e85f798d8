// Reading picture files with the video decoders, against the image library's reading.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>

#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include "lecture_scene.h"
#include "scratch.h"
#include "video/picture_file.h"

using namespace slidetrack;

namespace {

// A slide with colour, text and a gradient, so that every channel and level is used.
cv::Mat colourfulSlide(int k, cv::Size size) {
  cv::Mat slide = drawSlide(k, size);
  for (int y = 0; y < size.height; ++y) {
    for (int x = 0; x < size.width / 4; ++x) {
      slide.at<cv::Vec3b>(y, x) = cv::Vec3b(x % 256, y % 256, (x + y) % 256);
    }
  }
  cv::circle(slide, {size.width / 2, size.height / 2}, size.height / 5, {20, 40, 230}, -1);
  return slide;
}

// Converts with the ffmpeg program, for layouts the image library does not write.
std::string convertWithFfmpeg(const std::string& from, const std::string& to,
                              const std::string& pixelFormat) {
  const std::string command =
      "ffmpeg -nostdin -v error -y -i '" + from + "' -pix_fmt " + pixelFormat + " '" + to + "'";
  return std::system(command.c_str()) == 0 ? to : std::string();
}

cv::Mat decoded(PictureDecoder& decoder, const std::string& path) {
  cv::Mat bgr;
  return pictureDecoderRead(decoder, path, bgr) ? bgr : cv::Mat();
}

cv::Mat decodedGrey(PictureDecoder& decoder, const std::string& path) {
  cv::Mat grey;
  return pictureDecoderReadGrey(decoder, path, grey) ? grey : cv::Mat();
}

double maxDifference(const cv::Mat& a, const cv::Mat& b) {
  if (a.size() != b.size() || a.type() != b.type()) return -1;
  return cv::norm(a, b, cv::NORM_INF);
}

double meanGreyDifference(const cv::Mat& a, const cv::Mat& b) {
  cv::Mat ga, gb, d;
  cv::cvtColor(a, ga, cv::COLOR_BGR2GRAY);
  cv::cvtColor(b, gb, cv::COLOR_BGR2GRAY);
  cv::absdiff(ga, gb, d);
  return cv::mean(d)[0];
}

}  // namespace

// Every PNG layout gives the image library's pixels bit for bit, also when one decoder
// reads several pictures in a row (the PNG decoder must not carry one into the next),
// and the grey read gives the grey of those pixels.
TEST(PictureFile, PngLayoutsGiveTheImageLibrarysPixels) {
  ScratchDir dir;
  const cv::Mat slide = colourfulSlide(3, {333, 250});
  cv::Mat grey, bgra, deep, deepGrey;
  cv::cvtColor(slide, grey, cv::COLOR_BGR2GRAY);
  cv::cvtColor(slide, bgra, cv::COLOR_BGR2BGRA);
  bgra.col(5).setTo(cv::Scalar(0, 0, 0, 0));  // fully transparent pixels keep their colour
  slide.convertTo(deep, CV_16UC3, 257.0);
  deep += cv::Scalar(77, 200, 3);  // low bytes that differ from the high ones
  grey.convertTo(deepGrey, CV_16UC1, 257.0);
  std::vector<std::string> files = {dir / "rgb.png",   dir / "grey.png",   dir / "rgba.png",
                                    dir / "rgb16.png", dir / "grey16.png", dir / "other.png"};
  ASSERT_TRUE(cv::imwrite(files[0], slide));
  // Right after rgb.png at the end of a pass: the same shape, nothing in common.
  ASSERT_TRUE(cv::imwrite(files[5], colourfulSlide(5, {333, 250})));
  ASSERT_TRUE(cv::imwrite(files[1], grey));
  ASSERT_TRUE(cv::imwrite(files[2], bgra));
  ASSERT_TRUE(cv::imwrite(files[3], deep));
  ASSERT_TRUE(cv::imwrite(files[4], deepGrey));
  for (const char* format : {"pal8", "ya8", "ya16be", "rgba64be"}) {
    files.insert(files.end() - 1,
                 convertWithFfmpeg(files[2], dir / (std::string(format) + ".png"), format));
    ASSERT_FALSE(files.end()[-2].empty()) << "ffmpeg could not write " << format;
  }
  PictureDecoder decoder;
  for (int pass = 0; pass < 2; ++pass) {
    for (const std::string& file : files) {
      const cv::Mat expected = cv::imread(file, cv::IMREAD_COLOR);
      ASSERT_FALSE(expected.empty()) << file;
      EXPECT_EQ(maxDifference(decoded(decoder, file), expected), 0.0) << file;
      cv::Mat expectedGrey;
      cv::cvtColor(expected, expectedGrey, cv::COLOR_BGR2GRAY);
      EXPECT_EQ(maxDifference(decodedGrey(decoder, file), expectedGrey), 0.0) << file;
    }
  }
}

// JPEG pixels come from another decoder: the image library's but for IDCT rounding, the
// same from a fresh decoder as from one that read other pictures before. The grey read
// is the luma the image library's grey read gives.
TEST(PictureFile, JpegIsCloseToTheImageLibrarysAndTheDecoderIsReusable) {
  ScratchDir dir;
  const cv::Mat first = colourfulSlide(1, {640, 480});
  const cv::Mat second = colourfulSlide(2, {641, 479});  // odd sides: chroma is rounded up
  cv::Mat grey;
  cv::cvtColor(first, grey, cv::COLOR_BGR2GRAY);
  ASSERT_TRUE(cv::imwrite(dir / "a.jpg", first, {cv::IMWRITE_JPEG_QUALITY, 90}));
  ASSERT_TRUE(cv::imwrite(dir / "b.jpg", second, {cv::IMWRITE_JPEG_QUALITY, 75}));
  ASSERT_TRUE(cv::imwrite(dir / "grey.jpg", grey));
  ASSERT_TRUE(cv::imwrite(dir / "first.png", first));
  for (const char* format : {"yuvj444p", "yuvj422p"}) {
    ASSERT_FALSE(
        convertWithFfmpeg(dir / "first.png", dir / (std::string(format) + ".jpg"), format).empty());
  }
  PictureDecoder decoder;
  for (const char* name : {"a.jpg", "b.jpg", "grey.jpg", "yuvj444p.jpg", "yuvj422p.jpg"}) {
    const cv::Mat expected = cv::imread(dir / name, cv::IMREAD_COLOR);
    const cv::Mat got = decoded(decoder, dir / name);
    ASSERT_EQ(got.size(), expected.size()) << name;
    ASSERT_EQ(got.type(), CV_8UC3) << name;
    EXPECT_LT(meanGreyDifference(got, expected), 0.02) << name;
    EXPECT_LE(maxDifference(got, expected), 3.0) << name;
    const cv::Mat expectedGrey = cv::imread(dir / name, cv::IMREAD_GRAYSCALE);
    const cv::Mat grey = decodedGrey(decoder, dir / name);
    ASSERT_EQ(grey.type(), CV_8UC1) << name;
    EXPECT_LE(maxDifference(grey, expectedGrey), 1.0) << name;
    EXPECT_LT(cv::norm(grey, expectedGrey, cv::NORM_L1) / grey.total(), 0.01) << name;
  }
  PictureDecoder fresh;
  EXPECT_EQ(maxDifference(decoded(decoder, dir / "a.jpg"), decoded(fresh, dir / "a.jpg")), 0.0);
}

// What the decoders would read differently, or cannot read, is refused so that the
// image library reads it instead.
TEST(PictureFile, RefusesWhatTheImageLibraryMustRead) {
  ScratchDir dir;
  const cv::Mat slide = colourfulSlide(4, {200, 150});
  cv::Mat bilevel;
  cv::cvtColor(slide, bilevel, cv::COLOR_BGR2GRAY);
  ASSERT_TRUE(cv::imwrite(dir / "bilevel.png", bilevel, {cv::IMWRITE_PNG_BILEVEL, 1}));
  ASSERT_TRUE(cv::imwrite(dir / "picture.bmp", slide));
  ASSERT_TRUE(cv::imwrite(dir / "whole.png", slide));
  const std::string png = readFile(dir / "whole.png");
  std::ofstream(dir / "cut.png", std::ios::binary) << png.substr(0, png.size() / 2);
  std::ofstream(dir / "text.png") << "not a picture\n";
  // A JPEG whose EXIF orientation asks for a quarter turn.
  ASSERT_TRUE(cv::imwrite(dir / "plain.jpg", slide));
  const std::string jpeg = readFile(dir / "plain.jpg");
  const std::string tiff("II*\0\x08\0\0\0\x01\0\x12\x01\x03\0\x01\0\0\0\x06\0\0\0\0\0\0\0", 26);
  const std::string exif = std::string("Exif\0\0", 6) + tiff;
  const std::string segment = std::string("\xff\xe1", 2) + char((exif.size() + 2) >> 8) +
                              char((exif.size() + 2) & 0xff) + exif;
  std::ofstream(dir / "turned.jpg", std::ios::binary)
      << jpeg.substr(0, 2) + segment + jpeg.substr(2);
  ASSERT_EQ(cv::imread(dir / "turned.jpg").size(), cv::Size(150, 200));

  PictureDecoder decoder;
  cv::Mat bgr;
  for (const char* name :
       {"bilevel.png", "picture.bmp", "cut.png", "text.png", "turned.jpg", "missing.png"}) {
    EXPECT_FALSE(pictureDecoderRead(decoder, dir / name, bgr)) << name;
    EXPECT_FALSE(pictureDecoderReadGrey(decoder, dir / name, bgr)) << name;
  }
  EXPECT_FALSE(pictureDecoderRead(decoder, dir.path.string(), bgr));  // a directory
  // The decoder is still good after all that.
  EXPECT_EQ(maxDifference(decoded(decoder, dir / "whole.png"), cv::imread(dir / "whole.png")), 0.0);
}
