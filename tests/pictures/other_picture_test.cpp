// Pictures that only FFmpeg reads, at the edges of what its converter handles (tiny 4:2:0
// pictures, raw camera mosaics), names with a '%' in them, and files that are no pictures.
#include <gtest/gtest.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <string>

#include <opencv2/core.hpp>
#include <opencv2/imgcodecs.hpp>

#include "common/error.h"
#include "pictures/picture_read.h"
#include "scratch.h"

using namespace slidetrack;

namespace {

// The largest difference of any channel of any pixel from colour.
double worstDifference(const cv::Mat& picture, const cv::Scalar& colour) {
  double worst = 0;
  cv::minMaxLoc(cv::abs(picture - colour), nullptr, &worst);
  return worst;
}

std::string littleEndian(uint32_t value, int bytes) {
  std::string out;
  for (int i = 0; i < bytes; ++i) out += char(value >> (8 * i));
  return out;
}

// An uncompressed 8-bit TIFF of a camera's colour filter mosaic (RGGB), as in a raw file.
std::string mosaicTiff(int width, int height) {
  const uint32_t tags[][4] = {{256, 3, 1, uint32_t(width)},
                              {257, 3, 1, uint32_t(height)},
                              {258, 3, 1, 8},
                              {259, 3, 1, 1},
                              {262, 3, 1, 32803},
                              {273, 4, 1, 0},
                              {277, 3, 1, 1},
                              {278, 3, 1, uint32_t(height)},
                              {279, 4, 1, uint32_t(width * height)},
                              {33421, 3, 2, 2 | 2 << 16},
                              {33422, 1, 4, 0x02010100}};
  const int count = sizeof tags / sizeof tags[0];
  const uint32_t pixels = 8 + 2 + 12 * count + 4;
  std::string tiff = std::string("II*\0", 4) + littleEndian(8, 4) + littleEndian(count, 2);
  for (const auto& tag : tags) {
    tiff += littleEndian(tag[0], 2) + littleEndian(tag[1], 2) + littleEndian(tag[2], 4);
    tiff += littleEndian(tag[0] == 273 ? pixels : tag[3], 4);
  }
  tiff += littleEndian(0, 4);
  for (int i = 0; i < width * height; ++i) tiff += char(40 + i % 2 * 160);
  return tiff;
}

}  // namespace

// FFmpeg's fast 4:2:0 to BGR path writes whole blocks of pixels: past the end of a small
// picture, and short of the end of some rows. Every pixel must come out, and nothing else
// be written; the sanitizer build notices such a write only once the memory beside it is
// freed, hence the repeated reads.
TEST(OtherPictureRead, SmallFourTwoZeroPicturesComeWholeAndAlone) {
  ScratchDir dir;
  for (const cv::Size size : {cv::Size(1, 2), cv::Size(2, 2), cv::Size(9, 2), cv::Size(17, 2),
                              cv::Size(71, 4), cv::Size(100, 2), cv::Size(101, 6)}) {
    // Planes of one colour, stored as they are: FFmpeg's own RGB to 4:2:0 conversion gets
    // the chroma of a one-pixel-wide picture wrong. Y 150, Cb 90, Cr 170 is BGR (79, 137,
    // 223) in BT.601's video range.
    const size_t chroma = size_t((size.width + 1) / 2) * ((size.height + 1) / 2);
    writeFile(dir / "flat.yuv", std::string(size.area(), char(150)) +
                                    std::string(chroma, char(90)) + std::string(chroma, char(170)));
    const std::string tiff = dir / "flat.tif";
    const std::string command = "ffmpeg -nostdin -v error -y -f rawvideo -pix_fmt yuv420p -s " +
                                std::to_string(size.width) + "x" + std::to_string(size.height) +
                                " -i '" + dir / "flat.yuv" + "' -update 1 '" + tiff + "'";
    ASSERT_EQ(std::system(command.c_str()), 0) << size;
    for (int read = 0; read < 40; ++read) {
      const cv::Mat picture = pictureRead(tiff);
      ASSERT_EQ(picture.size(), size);
      ASSERT_LE(worstDifference(picture, cv::Scalar(79, 137, 223)), 2) << size << " read " << read;
    }
  }
}

// A mosaic needs two rows to be turned into colour; one row is refused, not left unset.
TEST(OtherPictureRead, MosaicOfOneRowIsRefused) {
  ScratchDir dir;
  writeFile(dir / "mosaic.tif", mosaicTiff(8, 8));
  EXPECT_EQ(pictureRead(dir / "mosaic.tif").size(), cv::Size(8, 8));
  for (const int width : {1, 2, 8}) {
    writeFile(dir / "row.tif", mosaicTiff(width, 1));
    try {
      pictureRead(dir / "row.tif");
      ADD_FAILURE() << width << " x 1 read";
    } catch (const Error& e) {
      EXPECT_NE(std::string(e.what()).find("cannot be converted"), std::string::npos) << e.what();
    }
  }
}

// A name is one file: FFmpeg's picture reader would take "%d" for a frame number and read
// "slide1.bmp" instead.
TEST(OtherPictureRead, PercentInANameIsNoPattern) {
  ScratchDir dir;
  const cv::Mat first(16, 24, CV_8UC3, cv::Scalar(10, 20, 30));
  const cv::Mat named(20, 30, CV_8UC3, cv::Scalar(200, 100, 50));
  ASSERT_TRUE(cv::imwrite(dir / "slide1.bmp", first));
  for (const std::string name : {"slide%d.bmp", "slide%03d.bmp", "100%.bmp", "%%.bmp"}) {
    ASSERT_TRUE(cv::imwrite(dir / name, named)) << name;
    const cv::Mat picture = pictureRead(dir / name);
    ASSERT_EQ(picture.size(), named.size()) << name;
    EXPECT_EQ(worstDifference(picture, cv::Scalar(200, 100, 50)), 0) << name;
  }
}

// A playlist under a picture's name is refused before FFmpeg opens the files it lists.
TEST(OtherPictureRead, PlaylistIsRefusedUnread) {
  ScratchDir dir;
  writeFile(dir / "segment.ts", "never to be opened");
  writeFile(dir / "slide.bmp", "#EXTM3U\n#EXT-X-TARGETDURATION:1\n#EXTINF:1,\n" +
                                   dir / "segment.ts" + "\n#EXT-X-ENDLIST\n");
  const int opens = inotify_init1(IN_NONBLOCK);
  ASSERT_GE(opens, 0);
  ASSERT_GE(inotify_add_watch(opens, (dir / "segment.ts").c_str(), IN_OPEN), 0);
  EXPECT_THROW(pictureRead(dir / "slide.bmp"), Error);
  char event[256];
  EXPECT_LT(read(opens, event, sizeof event), 0) << "the listed file was opened";
  close(opens);
}

// A damaged picture is reported once, by the warning that names it: FFmpeg's decoders
// say nothing of their own, not even those that log such a file at their fatal level.
TEST(OtherPictureRead, DamagedPictureLeavesStandardErrorAlone) {
  ScratchDir dir;
  std::string noise;
  for (int i = 0; i < 300; ++i) noise += char(i * 37 % 251);
  writeFile(dir / "slide.jpg", noise);
  writeFile(dir / "short.jpg", "hello");
  for (const std::string name : {"slide.jpg", "short.jpg"}) {
    testing::internal::CaptureStderr();
    EXPECT_THROW(pictureRead(dir / name), Error) << name;
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "") << name;
  }
}
