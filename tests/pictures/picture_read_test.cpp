// Still pictures against OpenCV's imread and imwrite, and damaged files refused.
#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdlib>
#include <string>
#include <vector>

#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include "common/error.h"
#include "images.h"
#include "lecture_scene.h"
#include "pictures/jpeg_encode.h"
#include "pictures/picture_codecs.h"
#include "pictures/picture_read.h"
#include "scratch.h"

using namespace slidetrack;

namespace {

// A slide with colour, text and a gradient, so that every channel and level is used.
cv::Mat colourfulSlide(int k, cv::Size size) {
  cv::Mat slide = drawSlide(k, size);
  for (int y = 0; y < size.height; ++y)
    for (int x = 0; x < size.width / 4; ++x)
      slide.at<cv::Vec3b>(y, x) = cv::Vec3b(x % 256, y % 256, (x + y) % 256);
  cv::circle(slide, {size.width / 2, size.height / 2}, size.height / 5, {20, 40, 230}, -1);
  return slide;
}

// Converts with the ffmpeg program, for layouts OpenCV does not write.
std::string convertWithFfmpeg(const std::string& from, const std::string& to,
                              const std::string& pixelFormat, const std::string& flags = "") {
  const std::string command = "ffmpeg -nostdin -v error -y -i '" + from + "' " + flags +
                              " -pix_fmt " + pixelFormat + " '" + to + "'";
  return std::system(command.c_str()) == 0 ? to : std::string();
}

// The colour read gives imread's pixels, the grey read the grey of those or, for JPEG, the
// luma imread's grey read gives.
void expectImreadsPixels(const std::string& file, bool jpegLuma = false) {
  const cv::Mat colour = cv::imread(file, cv::IMREAD_COLOR);
  ASSERT_FALSE(colour.empty()) << file;
  cv::Mat grey = cv::imread(file, cv::IMREAD_GRAYSCALE);
  if (!jpegLuma) cv::cvtColor(colour, grey, cv::COLOR_BGR2GRAY);
  EXPECT_TRUE(sameImage(pictureRead(file), colour)) << file;
  EXPECT_TRUE(sameImage(pictureReadGrey(file), grey)) << file;
}

// The message of a file both reads refuse, else "".
std::string refusal(const std::string& path) {
  try {
    pictureReadGrey(path);
    return "";
  } catch (const Error& e) {
    EXPECT_THROW(pictureRead(path), Error) << path;
    return e.what();
  }
}

// PNG chunk surgery: the offset of a chunk's data, and its CRC made right again.
size_t chunkData(const std::string& png, const char* type) { return png.find(type) + 4; }
uint32_t bigEndian(const std::string& s, size_t at) {
  return (uint32_t(uint8_t(s[at])) << 24) | (uint32_t(uint8_t(s[at + 1])) << 16) |
         (uint32_t(uint8_t(s[at + 2])) << 8) | uint8_t(s[at + 3]);
}
void putBigEndian(std::string& s, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) s[at + i] = char(v >> (24 - 8 * i));
}
std::string zlibbed(const std::string& data) {
  uLongf size = compressBound(uLong(data.size()));
  std::string out(size, '\0');
  compress(reinterpret_cast<Bytef*>(out.data()), &size, reinterpret_cast<const Bytef*>(data.data()),
           uLong(data.size()));
  return out.substr(0, size);
}
void fixCrc(std::string& png, const char* type) {
  const size_t data = chunkData(png, type);
  const uint32_t length = bigEndian(png, data - 8);
  const auto* bytes = reinterpret_cast<const Bytef*>(png.data() + data - 4);
  putBigEndian(png, data + length, crc32(0, bytes, length + 4));
}
std::string chunk(const char* type, const std::string& data) {
  std::string bytes(4, '\0');
  putBigEndian(bytes, 0, uint32_t(data.size()));
  bytes += type + data + std::string(4, '\0');
  fixCrc(bytes, type);
  return bytes;
}

}  // namespace

// Every PNG layout gives imread's pixels bit for bit, and the grey read the grey of those.
// The grey read takes colour rows in bands and interlaced pictures whole: every band edge
// and pass counts, and the left quarter's gradient makes every row differ.
TEST(PictureRead, PngLayoutsGiveImreadsPixels) {
  ScratchDir dir;
  const cv::Mat slide = colourfulSlide(3, {333, 250});
  cv::Mat grey, bgra, deep, deepGrey;
  cv::cvtColor(slide, grey, cv::COLOR_BGR2GRAY);
  cv::cvtColor(slide, bgra, cv::COLOR_BGR2BGRA);
  bgra.col(5).setTo(cv::Scalar(0, 0, 0, 0));  // fully transparent pixels keep their colour
  slide.convertTo(deep, CV_16UC3, 257.0);
  deep += cv::Scalar(77, 200, 3);  // low bytes that differ from the high ones
  grey.convertTo(deepGrey, CV_16UC1, 257.0);
  const std::pair<const char*, cv::Mat> written[] = {
      {"rgb", slide}, {"grey", grey}, {"rgba", bgra}, {"rgb16", deep}, {"grey16", deepGrey}};
  std::vector<std::string> files;
  for (const auto& [name, picture] : written) {
    files.push_back(dir / (std::string(name) + ".png"));
    ASSERT_TRUE(cv::imwrite(files.back(), picture));
  }
  files.push_back(dir / "bilevel.png");
  ASSERT_TRUE(cv::imwrite(files.back(), grey, {cv::IMWRITE_PNG_BILEVEL, 1}));
  // Layouts only FFmpeg writes, from the RGBA picture; interlaced ones from the RGB one.
  for (const std::string format : {"pal8", "ya8", "ya16be", "rgba64be", "monob", "i_rgb24",
                                   "i_gray", "i_pal8", "i_rgba64be"}) {
    const bool adam7 = format[0] == 'i';
    files.push_back(convertWithFfmpeg(files[adam7 ? 0 : 2], dir / (format + ".png"),
                                      format.substr(adam7 ? 2 : 0), adam7 ? "-flags +ildct" : ""));
    ASSERT_FALSE(files.back().empty()) << "ffmpeg could not write " << format;
  }
  for (const int height : {1, 15, 16, 17}) {
    files.push_back(dir / ("rows" + std::to_string(height) + ".png"));
    ASSERT_TRUE(cv::imwrite(files.back(), colourfulSlide(3, {203, 250}).rowRange(0, height)));
  }
  for (const std::string& file : files) expectImreadsPixels(file);
}

// A colour profile and text are zlib streams of their own, of any size: a profile far
// larger than the picture's rows does not disturb them.
TEST(PictureRead, PngWithCompressedProfileAndTextGivesImreadsPixels) {
  ScratchDir dir;
  for (const cv::Size size : {cv::Size(4, 3), cv::Size(301, 203)}) {
    ASSERT_TRUE(cv::imwrite(dir / "plain.png", colourfulSlide(5, size)));
    const std::string plain = readFile(dir / "plain.png");
    const size_t afterHeader = chunkData(plain, "IHDR") + 13 + 4;
    // An ICC header libpng takes (size, RGB to XYZ, D50, no tags), then padding.
    std::string profile(300000, '\0');
    putBigEndian(profile, 0, uint32_t(profile.size()));
    putBigEndian(profile, 8, 0x02100000);
    profile.replace(12, 12, "mntrRGB XYZ ");
    profile.replace(36, 4, "acsp");
    putBigEndian(profile, 68, 0xf6d6);
    putBigEndian(profile, 72, 0x10000);
    putBigEndian(profile, 76, 0xd32d);
    for (size_t i = 132; i < profile.size(); ++i) profile[i] = char(i % 251 < 200 ? 0 : i % 7);
    const std::string extra =
        chunk("iCCP", std::string("slide profile\0\0", 15) + zlibbed(profile)) +
        chunk("zTXt", std::string("Comment\0\0", 9) + zlibbed("made here"));
    writeFile(dir / "profiled.png",
              plain.substr(0, afterHeader) + extra + plain.substr(afterHeader));
    expectImreadsPixels(dir / "profiled.png");
  }
}

// JPEG goes through the library imread uses, with its settings: the same pixels, the grey
// read the luma imread's grey read gives, and the EXIF orientation applied the same way.
// Other formats come from FFmpeg.
TEST(PictureRead, JpegAndOtherFormatsGiveImreadsPixels) {
  ScratchDir dir;
  const cv::Mat slide = colourfulSlide(2, {641, 479});  // odd sides: chroma is rounded up
  cv::Mat grey;
  cv::cvtColor(slide, grey, cv::COLOR_BGR2GRAY);
  ASSERT_TRUE(cv::imwrite(dir / "a.jpg", slide, {cv::IMWRITE_JPEG_QUALITY, 90}));
  ASSERT_TRUE(cv::imwrite(dir / "grey.jpg", grey));
  ASSERT_TRUE(cv::imwrite(dir / "first.png", slide));
  std::vector<std::string> names = {"a.jpg", "grey.jpg"};
  for (const std::string format : {"yuvj444p", "yuvj422p"}) {
    names.push_back(format + ".jpg");
    ASSERT_FALSE(convertWithFfmpeg(dir / "first.png", dir / names.back(), format).empty());
  }
  // The same JPEG with each EXIF orientation.
  const std::string jpeg = readFile(dir / "a.jpg");
  // An APP1 segment of 34 bytes: "Exif", a big-endian TIFF header, one entry (0x0112, the
  // orientation) whose value follows, and no next directory.
  const std::string app1(
      "\xff\xe1\0\x22"
      "Exif\0\0MM\0*\0\0\0\x08\0\x01\x01\x12\0\x03\0\0\0\x01\0",
      29);
  for (int orientation = 2; orientation <= 8; ++orientation) {
    const std::string segment = app1 + char(orientation) + std::string(6, '\0');
    names.push_back("turned" + std::to_string(orientation) + ".jpg");
    writeFile(dir / names.back(), jpeg.substr(0, 2) + segment + jpeg.substr(2));
  }
  ASSERT_EQ(cv::imread(dir / "turned6.jpg").size(), cv::Size(479, 641));
  for (const std::string& name : names) expectImreadsPixels(dir / name, true);
  ASSERT_TRUE(cv::imwrite(dir / "b.bmp", slide));
  expectImreadsPixels(dir / "b.bmp");
}

// A cut PNG or JPEG, a wrong CRC or Adler-32 is refused, with a line that names the file
// and the cause; so is what is no picture, and a picture too large to take, from its
// header alone.
TEST(PictureRead, DamagedMissingAndOversizedFilesAreRefused) {
  ScratchDir dir;
  ASSERT_TRUE(cv::imwrite(dir / "whole.png", colourfulSlide(4, {200, 150})));
  ASSERT_TRUE(cv::imwrite(dir / "whole.jpg", colourfulSlide(4, {200, 150})));
  const std::string png = readFile(dir / "whole.png"), jpeg = readFile(dir / "whole.jpg");
  std::vector<std::pair<std::string, std::string>> cases = {{"missing.png", "No such file"}};
  const auto damaged = [&](const std::string& name, const std::string& bytes, const char* cause) {
    writeFile(dir / name, bytes);
    cases.emplace_back(name, cause);
  };
  damaged("cut.png", png.substr(0, png.size() / 2), "damaged PNG: the file ends early");
  // Cut in the last rows of a plain picture and in the last pass of an interlaced one.
  damaged("cutend.png", png.substr(0, png.size() - 40), "damaged PNG: the file ends early");
  const std::string interlaced =
      readFile(convertWithFfmpeg(dir / "whole.png", dir / "adam7.png", "rgb24", "-flags +ildct"));
  ASSERT_FALSE(interlaced.empty());
  damaged("cutpass.png", interlaced.substr(0, interlaced.size() - 40),
          "damaged PNG: the file ends early");
  damaged("cut.jpg", jpeg.substr(0, jpeg.size() / 2), "damaged JPEG");
  std::string badCrc = png;
  badCrc[chunkData(png, "IDAT") + 100] ^= 0x10;
  damaged("crc.png", badCrc, "CRC");
  // The zlib stream ends in its Adler-32: a wrong one with a right chunk CRC is caught
  // only by zlib's check.
  std::string badAdler = png;
  const size_t idat = chunkData(png, "IDAT");
  badAdler[idat + bigEndian(png, idat - 8) - 1] ^= 0x01;
  fixCrc(badAdler, "IDAT");
  damaged("adler.png", badAdler, "Adler-32");
  // A header claiming 20000 x 20000 pixels, and nothing after it.
  std::string huge = png.substr(0, chunkData(png, "IHDR") + 17);
  putBigEndian(huge, chunkData(png, "IHDR"), 20000);
  putBigEndian(huge, chunkData(png, "IHDR") + 4, 20000);
  fixCrc(huge, "IHDR");
  damaged("huge.png", huge, "20000 x 20000");
  std::string hugeJpeg = jpeg;  // the frame header's height and width
  hugeJpeg.replace(hugeJpeg.find("\xff\xc0") + 5, 4, "\x4e\x20\x4e\x20", 4);
  damaged("huge.jpg", hugeJpeg, "20000 x 20000");
  damaged("text.png", "not a picture\n", "damaged picture");
  for (const auto& [name, cause] : cases) {
    const std::string why = refusal(dir / name);
    EXPECT_NE(why.find("'" + dir / name + "': "), std::string::npos) << name << ": " << why;
    EXPECT_NE(why.find(cause), std::string::npos) << name << ": " << why;
  }
  EXPECT_NE(refusal(dir.path.string()).find("not a regular file"), std::string::npos);
  EXPECT_EQ(refusal(dir / "whole.png"), "");
  // Header sizes near 2^32 each: their product overflows, the check must still refuse them.
  EXPECT_NO_THROW(pictureSizeCheck(10000, 10000));
  EXPECT_THROW(pictureSizeCheck(10001, 10000), Error);
  EXPECT_THROW(pictureSizeCheck(4294967295LL, 4294967295LL), Error);
  EXPECT_THROW(pictureSizeCheck(4294967296LL, 4294967296LL), Error);
}

// Slide pictures are the bytes OpenCV's imwrite gives, and replace only regular files.
TEST(SlidePicture, WritesImwritesBytesAndLeavesOtherFilesAlone) {
  ScratchDir dir;
  for (const cv::Size size : {cv::Size(640, 480), cv::Size(333, 251)}) {
    const cv::Mat slide = colourfulSlide(6, size);
    const std::string ours = dir / "ours.jpg", theirs = dir / "theirs.jpg";
    writeFile(ours, "an older picture");
    ASSERT_TRUE(slidePictureWrite(ours, slide));
    ASSERT_TRUE(cv::imwrite(theirs, slide));
    EXPECT_EQ(readFile(ours), readFile(theirs)) << size;
  }
  fs::create_directory(dir / "taken.jpg");
  EXPECT_FALSE(slidePictureWrite(dir / "taken.jpg", colourfulSlide(1, {64, 48})));
  EXPECT_TRUE(fs::is_directory(dir / "taken.jpg"));
  EXPECT_FALSE(slidePictureWrite(dir / "missing/slide.jpg", colourfulSlide(1, {64, 48})));
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.path), fs::directory_iterator()), 3);
}
