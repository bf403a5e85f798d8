// The own PNG reading and its inflating: the image library's pixels for every way the
// common writers compress and filter, and no crash and no wrong size on damaged files.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include "lecture_scene.h"
#include "scratch.h"
#include "video/inflate.h"
#include "video/png_reader.h"

using namespace slidetrack;

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes bytesOf(const std::string& text) { return Bytes(text.begin(), text.end()); }

bool read(const Bytes& file, PngPixels& pixels) {
  Bytes scratch;
  return pngReadPixels(file.data(), file.size(), scratch, pixels);
}

// The pixels in the image library's BGR(A) order for comparing.
cv::Mat asMat(const PngPixels& p) {
  cv::Mat m(p.height, p.width, CV_8UC(p.channels), const_cast<std::uint8_t*>(p.rows.data()));
  cv::Mat out;
  if (p.channels == 3) cv::cvtColor(m, out, cv::COLOR_RGB2BGR);
  if (p.channels == 4) cv::cvtColor(m, out, cv::COLOR_RGBA2BGRA);
  if (p.channels == 1) out = m.clone();
  if (p.channels == 2) cv::extractChannel(m, out, 0);  // the library reads it as grey
  return out;
}

// A picture with flat areas, text, a gradient and noise: long runs and short matches.
cv::Mat mixedPicture(cv::Size size) {
  cv::Mat picture = drawSlide(2, size);
  cv::Mat corner = picture(cv::Rect(0, 0, size.width / 3, size.height / 3));
  cv::RNG(5).fill(corner, cv::RNG::UNIFORM, 0, 256);
  for (int x = 0; x < size.width; ++x) {
    picture.at<cv::Vec3b>(size.height - 1, x) = cv::Vec3b(x % 256, 255 - x % 256, 7);
  }
  return picture;
}

// The data of a zlib stream holding `data` in stored blocks of at most `block` bytes.
Bytes storedStream(const Bytes& data, size_t block) {
  Bytes out = {0x78, 0x01};
  size_t at = 0;
  do {
    const size_t n = std::min(block, data.size() - at);
    out.push_back(at + n == data.size() ? 1 : 0);
    out.push_back(n & 0xff);
    out.push_back(n >> 8);
    out.push_back(~n & 0xff);
    out.push_back((~n >> 8) & 0xff);
    out.insert(out.end(), data.begin() + at, data.begin() + at + n);
    at += n;
  } while (at < data.size());
  return out;
}

}  // namespace

// The library's writer at every level and strategy, and ffmpeg's with each row filter,
// for each sample layout; pictures of one pixel and of odd sides too.
TEST(PngReader, GivesTheImageLibrarysPixels) {
  ScratchDir dir;
  const cv::Mat colour = mixedPicture({331, 203});
  cv::Mat grey, bgra;
  cv::cvtColor(colour, grey, cv::COLOR_BGR2GRAY);
  cv::cvtColor(colour, bgra, cv::COLOR_BGR2BGRA);
  bgra.col(3).setTo(cv::Scalar(1, 2, 3, 0));
  std::vector<std::string> files;
  for (int level : {0, 1, 6, 9}) {
    for (int strategy : {cv::IMWRITE_PNG_STRATEGY_DEFAULT, cv::IMWRITE_PNG_STRATEGY_FILTERED,
                         cv::IMWRITE_PNG_STRATEGY_HUFFMAN_ONLY, cv::IMWRITE_PNG_STRATEGY_RLE,
                         cv::IMWRITE_PNG_STRATEGY_FIXED}) {
      const std::string name = "l" + std::to_string(level) + "s" + std::to_string(strategy);
      const std::vector<int> params = {cv::IMWRITE_PNG_COMPRESSION, level, cv::IMWRITE_PNG_STRATEGY,
                                       strategy};
      ASSERT_TRUE(cv::imwrite(dir / (name + "rgb.png"), colour, params));
      files.push_back(dir / (name + "rgb.png"));
    }
  }
  ASSERT_TRUE(cv::imwrite(dir / "grey.png", grey));
  ASSERT_TRUE(cv::imwrite(dir / "bgra.png", bgra));
  ASSERT_TRUE(cv::imwrite(dir / "dot.png", colour(cv::Rect(5, 5, 1, 1))));
  files.insert(files.end(), {dir / "grey.png", dir / "bgra.png", dir / "dot.png"});
  for (const char* pred : {"none", "sub", "up", "avg", "paeth", "mixed"}) {
    for (const char* format : {"rgb24", "rgba", "gray", "ya8"}) {
      const std::string to = dir / (std::string(pred) + format + ".png");
      const std::string command = "ffmpeg -nostdin -v error -y -i '" + (dir / "bgra.png") +
                                  "' -pix_fmt " + format + " -pred " + pred + " '" + to + "'";
      ASSERT_EQ(std::system(command.c_str()), 0) << command;
      files.push_back(to);
    }
  }
  for (const std::string& file : files) {
    PngPixels pixels;
    ASSERT_TRUE(read(bytesOf(readFile(file)), pixels)) << file;
    const cv::Mat expected =
        cv::imread(file, pixels.channels == 2 ? cv::IMREAD_GRAYSCALE : cv::IMREAD_UNCHANGED);
    const cv::Mat got = asMat(pixels);
    ASSERT_EQ(got.size(), expected.size()) << file;
    ASSERT_EQ(got.type(), expected.type()) << file;
    EXPECT_EQ(cv::norm(got, expected, cv::NORM_INF), 0.0) << file;
  }
}

// Cut short, any byte changed, or claims of a huge picture: false, never a crash or a read
// outside the file.
TEST(PngReader, DamagedFilesFail) {
  ScratchDir dir;
  ASSERT_TRUE(cv::imwrite(dir / "a.png", mixedPicture({120, 90})));
  const Bytes whole = bytesOf(readFile(dir / "a.png"));
  PngPixels pixels;
  ASSERT_TRUE(read(whole, pixels));
  for (size_t cut :
       {size_t(8), size_t(33), whole.size() / 2, whole.size() - 13, whole.size() - 1}) {
    EXPECT_FALSE(read(Bytes(whole.begin(), whole.begin() + cut), pixels)) << cut;
  }
  cv::RNG rng(17);
  for (int trial = 0; trial < 200; ++trial) {
    Bytes damaged = whole;
    damaged[8 + rng.uniform(0, static_cast<int>(whole.size()) - 8)] ^= 1 << rng.uniform(0, 8);
    EXPECT_FALSE(read(damaged, pixels)) << trial;
  }
  // The header's checksum made anew, so that only the size is wrong.
  const auto headerCrc = [](const Bytes& png) {
    std::uint32_t c = 0xffffffffu;
    for (int i = 12; i < 29; ++i) {
      c ^= png[i];
      for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xedb88320u ^ (c >> 1) : c >> 1;
    }
    return ~c;
  };
  const auto stored = [](const Bytes& png) {
    return std::uint32_t(png[29]) << 24 | png[30] << 16 | png[31] << 8 | png[32];
  };
  ASSERT_EQ(headerCrc(whole), stored(whole));
  Bytes huge = whole;
  huge[16] = 0x7f;  // width in the billions
  const std::uint32_t crc = headerCrc(huge);
  for (int i = 0; i < 4; ++i) huge[29 + i] = (crc >> (24 - 8 * i)) & 0xff;
  ASSERT_EQ(headerCrc(huge), stored(huge));
  EXPECT_FALSE(read(huge, pixels));
}

// The compressed data of a picture with bytes changed: false or exactly the bytes asked
// for, never a write or read outside the buffers.
TEST(Inflate, DamagedStreamsStayInBounds) {
  ScratchDir dir;
  ASSERT_TRUE(cv::imwrite(dir / "a.png", mixedPicture({120, 90})));
  const Bytes file = bytesOf(readFile(dir / "a.png"));
  Bytes stream;
  for (size_t at = 8; at + 12 <= file.size();) {
    const size_t length =
        size_t(file[at]) << 24 | file[at + 1] << 16 | file[at + 2] << 8 | file[at + 3];
    if (std::string(file.begin() + at + 4, file.begin() + at + 8) == "IDAT") {
      stream.insert(stream.end(), file.begin() + at + 8, file.begin() + at + 8 + length);
    }
    at += 12 + length;
  }
  const size_t size = 90 * (120 * 3 + 1);
  Bytes out(size);
  ASSERT_TRUE(zlibInflate(stream.data(), stream.size(), out.data(), size));
  cv::RNG rng(3);
  int refused = 0;
  for (int trial = 0; trial < 500; ++trial) {
    Bytes damaged = stream;
    for (int c = 0; c <= trial % 3; ++c) {
      damaged[2 + rng.uniform(0, static_cast<int>(stream.size()) - 2)] ^= 1 << rng.uniform(0, 8);
    }
    if (trial % 4 == 0) damaged.resize(rng.uniform(2, static_cast<int>(stream.size())));
    // Buffers of exactly the sizes given, so that a sanitizer build sees any overrun.
    std::unique_ptr<std::uint8_t[]> in(new std::uint8_t[damaged.size()]);
    std::copy(damaged.begin(), damaged.end(), in.get());
    std::unique_ptr<std::uint8_t[]> target(new std::uint8_t[size]);
    refused += !zlibInflate(in.get(), damaged.size(), target.get(), size);
  }
  EXPECT_GT(refused, 250);
}

// Stored blocks, split anywhere, and the stream's own checks.
TEST(Inflate, StoredBlocksAndMalformedStreams) {
  Bytes data(70000);
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<std::uint8_t>(i * 7 + i / 300);
  Bytes out(data.size());
  for (size_t block : {size_t(1), size_t(1000), size_t(65535)}) {
    const Bytes stream = storedStream(data, block);
    ASSERT_TRUE(zlibInflate(stream.data(), stream.size(), out.data(), out.size())) << block;
    EXPECT_EQ(out, data) << block;
    // One byte more or less than the stream holds is refused.
    EXPECT_FALSE(zlibInflate(stream.data(), stream.size(), out.data(), out.size() - 1));
    Bytes more(data.size() + 1);
    EXPECT_FALSE(zlibInflate(stream.data(), stream.size(), more.data(), more.size()));
    EXPECT_FALSE(zlibInflate(stream.data(), stream.size() - 1, out.data(), out.size()));
  }
  const Bytes small = storedStream({1, 2, 3}, 10);
  std::uint8_t three[3];
  ASSERT_TRUE(zlibInflate(small.data(), small.size(), three, 3));
  Bytes bad = small;
  bad[5] ^= 1;  // length and its complement disagree
  EXPECT_FALSE(zlibInflate(bad.data(), bad.size(), three, 3));
  for (Bytes header : {Bytes{0x79, 0x01}, Bytes{0x78, 0x02}, Bytes{0x78, 0x20}}) {
    bad = small;
    bad[0] = header[0];
    bad[1] = header[1];
    EXPECT_FALSE(zlibInflate(bad.data(), bad.size(), three, 3));  // method, check, dictionary
  }
  // A fixed-code block whose first match reaches before the start.
  const Bytes far = {0x78, 0x01, 0x03, 0x02, 0x00};  // length 3 code, distance 1: no byte yet
  EXPECT_FALSE(zlibInflate(far.data(), far.size(), three, 3));
  const Bytes reserved = {0x78, 0x01, 0x07, 0x00};  // block type 3
  EXPECT_FALSE(zlibInflate(reserved.data(), reserved.size(), three, 3));
}
