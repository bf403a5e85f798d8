// Configuration file: defaults, reading rules, write order, corners, safe rewrites.

#include <dirent.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <cmath>
#include <cstring>
#include <fstream>
#include <limits>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <opencv2/core.hpp>

#include "presentation_settings.h"
#include "video_source.h"

namespace {

const std::vector<std::string> kWriteOrder = {
    "Presentation",    "presentWidth",    "presentHeight",    "boardDetLow",   "boardDetHigh",
    "presentDetCount", "SlideDetection",  "slideFrameStep",   "slideDetWidth", "slideDetHeight",
    "slideDiffBuff",   "slideDiffThresh", "slideDistrThresh", "LocalFeatures", "locWndOverlap",
    "locWndSize",      "gradBinSize",     "localWidth",       "localHeight",   "matchLimit"};

std::string readText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

void writeText(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

std::string storage(const std::string& body) {
  return "<?xml version=\"1.0\"?>\n<opencv_storage>\n" + body + "</opencv_storage>\n";
}

// Element names in file order, matrix internals left out.
std::vector<std::string> keysOf(const std::string& text) {
  std::vector<std::string> keys;
  std::regex open("<([A-Za-z]+)[ >]");
  for (auto it = std::sregex_iterator(text.begin(), text.end(), open); it != std::sregex_iterator();
       ++it) {
    const std::string key = (*it)[1];
    if (key != "opencv_storage" && key != "rows" && key != "cols" && key != "dt" && key != "data")
      keys.push_back(key);
  }
  return keys;
}

// The seventeen settings in write order.
std::vector<double> valuesOf(const PresentationSettings& s) {
  return {s.presentWidth,     s.presentHeight, s.boardDetLow,    s.boardDetHigh,  s.presentDetCount,
          s.slideFrameStep,   s.slideDetWidth, s.slideDetHeight, s.slideDiffBuff, s.slideDiffThresh,
          s.slideDistrThresh, s.locWndOverlap, s.locWndSize,     s.gradBinSize,   s.localWidth,
          s.localHeight,      s.matchLimit};
}

const char* kCornersXml =
    "<boardPoints type_id=\"opencv-matrix\"><rows>1</rows><cols>4</cols><dt>\"2f\"</dt>"
    "<data>10. 20. 630. 25. 620. 470. 15. 460.</data></boardPoints>";

class SettingsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char name[] = "/tmp/settings_test.XXXXXX";
    dir_ = mkdtemp(name);
    path_ = dir_ + "/video.mp4.cfg.xml";
  }
  void TearDown() override { std::system(("rm -rf '" + dir_ + "'").c_str()); }

  std::unique_ptr<PresentationSettings> load(VideoSource* video = nullptr) {
    error_ = "unset";
    return presentationSettingsLoad(nullptr, path_, video, SampleViewer(), &error_);
  }

  int entriesInDir() const {
    int count = 0;
    if (DIR* d = opendir(dir_.c_str())) {
      while (dirent* e = readdir(d)) count += e->d_name[0] != '.' || std::strlen(e->d_name) > 2;
      closedir(d);
    }
    return count;
  }

  std::string dir_, path_, error_;
};

TEST_F(SettingsTest, MissingFileGetsDefaultsInWriteOrderAndIsStable) {
  testing::internal::CaptureStdout();
  auto s = load();
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
  ASSERT_TRUE(s);
  EXPECT_EQ(error_, "");
  EXPECT_EQ(valuesOf(*s), (std::vector<double>{640, 480, 120, 150, 10, 25, 160, 120, 10, 0.01f,
                                               0.3f, 0.3f, 31, 8, 320, 240, 0.5f}));
  EXPECT_TRUE(s->perspectiveMatrix.empty());

  const std::string first = readText(path_);
  EXPECT_EQ(keysOf(first), kWriteOrder);
  // Reals are the float32 values widened to double.
  cv::FileStorage fs(path_, cv::FileStorage::READ);
  EXPECT_EQ(fs["SlideDetection"]["slideDiffThresh"].real(), static_cast<double>(0.01f));
  EXPECT_EQ(fs["LocalFeatures"]["locWndOverlap"].real(), static_cast<double>(0.3f));
  load();
  EXPECT_EQ(readText(path_), first);
  EXPECT_EQ(entriesInDir(), 1);  // no temporary left behind
}

TEST_F(SettingsTest, KeysInAnyOrderReadTheSameAndCornersAreKept) {
  const std::string values =
      "<Presentation><presentDetCount>3</presentDetCount><boardDetLow>11</boardDetLow>" +
      std::string(kCornersXml) +
      "<boardDetHigh>22</boardDetHigh><presentHeight>300</presentHeight>"
      "<presentWidth>400</presentWidth></Presentation>"
      "<LocalFeatures><matchLimit>0.25</matchLimit><localHeight>60</localHeight>"
      "<localWidth>80</localWidth><gradBinSize>4</gradBinSize><locWndSize>15</locWndSize>"
      "<locWndOverlap>0.5</locWndOverlap><extra>1</extra></LocalFeatures>"
      "<SlideDetection><slideDistrThresh>0.75</slideDistrThresh><slideDiffBuff>7</slideDiffBuff>"
      "<slideDiffThresh>0.125</slideDiffThresh><slideDetHeight>30</slideDetHeight>"
      "<slideDetWidth>40</slideDetWidth><slideFrameStep>5</slideFrameStep></SlideDetection>";
  writeText(path_, storage(values));
  auto s = load();
  ASSERT_TRUE(s);
  EXPECT_EQ(valuesOf(*s), (std::vector<double>{400, 300, 11, 22, 3, 5, 40, 30, 7, 0.125, 0.75, 0.5,
                                               15, 4, 80, 60, 0.25}));
  ASSERT_EQ(s->perspectiveMatrix.type(), CV_32FC1);

  const std::string rewritten = readText(path_);
  std::vector<std::string> order = kWriteOrder;
  order.insert(order.begin() + 6, "boardPoints");
  EXPECT_EQ(keysOf(rewritten), order);  // unknown keys dropped
  cv::FileStorage fs(path_, cv::FileStorage::READ);
  cv::Mat corners;
  fs["Presentation"]["boardPoints"] >> corners;
  ASSERT_EQ(corners.type(), CV_32FC2);
  EXPECT_EQ(corners.at<cv::Point2f>(0, 2), cv::Point2f(620, 470));
  load();
  EXPECT_EQ(readText(path_), rewritten);
}

TEST_F(SettingsTest, MissingSectionIsLookedUpAtTopLevelAndAdded) {
  writeText(path_, storage("<Presentation><presentWidth>800</presentWidth></Presentation>"
                           "<slideFrameStep>9</slideFrameStep><matchLimit>0.75</matchLimit>"));
  auto s = load();
  ASSERT_TRUE(s);
  EXPECT_EQ(s->presentWidth, 800);
  EXPECT_EQ(s->slideFrameStep, 9);
  EXPECT_EQ(s->matchLimit, 0.75f);
  EXPECT_EQ(s->localWidth, 320);
  EXPECT_EQ(s->slideDetWidth, 160);
  EXPECT_EQ(keysOf(readText(path_)), kWriteOrder);
}

TEST_F(SettingsTest, ValuesOfTheOtherKindFollowTheReadingRules) {
  writeText(path_, storage("<Presentation><presentWidth>800.0</presentWidth>"
                           "<presentHeight>\"tall\"</presentHeight><boardDetLow>99.6</boardDetLow>"
                           "<boardDetHigh><a>1</a></boardDetHigh></Presentation>"
                           "<LocalFeatures><matchLimit>\"half\"</matchLimit>"
                           "<locWndOverlap>1</locWndOverlap></LocalFeatures>"));
  auto s = load();
  ASSERT_TRUE(s);
  EXPECT_EQ(s->presentWidth, 800);
  EXPECT_EQ(s->presentHeight, 2147483647);
  EXPECT_EQ(s->boardDetLow, 100);
  EXPECT_EQ(s->boardDetHigh, 2147483647);
  // 1e300 does not fit a float: the field is +inf, written back as such and read again.
  EXPECT_TRUE(std::isinf(s->matchLimit) && s->matchLimit > 0);
  EXPECT_EQ(s->locWndOverlap, 1.0f);
  auto again = load();
  EXPECT_TRUE(std::isinf(again->matchLimit));
  EXPECT_EQ(again->presentHeight, 2147483647);
}

TEST_F(SettingsTest, CornersMapToTheScreenRectangle) {
  cv::Mat corners(1, 4, CV_32FC2);
  const cv::Point2f in[4] = {{10, 20}, {630, 25}, {620, 470}, {15, 460}};
  const cv::Point2f out[4] = {{0, 0}, {640, 0}, {640, 480}, {0, 480}};
  for (int i = 0; i < 4; ++i) corners.at<cv::Point2f>(0, i) = in[i];
  cv::Mat m = perspectiveFromCorners(corners, 640, 480);
  ASSERT_EQ(m.type(), CV_32FC1);
  ASSERT_EQ(m.size(), cv::Size(3, 3));
  std::vector<cv::Point2f> from(in, in + 4), to;
  cv::perspectiveTransform(from, to, m);
  for (int i = 0; i < 4; ++i) {
    EXPECT_NEAR(to[i].x, out[i].x, 0.01) << i;
    EXPECT_NEAR(to[i].y, out[i].y, 0.01) << i;
  }
  EXPECT_TRUE(perspectiveFromCorners(cv::Mat(1, 3, CV_32FC2), 640, 480).empty());
}

TEST_F(SettingsTest, BadCornerContentCountsAsNoCorners) {
  const std::string bad[] = {
      "<boardPoints>\"corners\"</boardPoints>", "<boardPoints>1 2 3 4 5 6 7 8</boardPoints>",
      "<boardPoints type_id=\"opencv-matrix\"><rows>1</rows><cols>3</cols><dt>\"2f\"</dt>"
      "<data>1. 2. 3. 4. 5. 6.</data></boardPoints>",
      "<boardPoints type_id=\"opencv-matrix\"><rows>1</rows><cols>4</cols><dt>\"2d\"</dt>"
      "<data>10. 20. 630. 25. 620. 470. 15. 460.</data></boardPoints>",
      "<boardPoints type_id=\"opencv-matrix\"><rows>1</rows><cols>4</cols><dt>\"2f\"</dt>"
      "<data>10. .Nan 630. 25. 620. 470. 15. 460.</data></boardPoints>"};
  for (const std::string& entry : bad) {
    writeText(path_, storage("<Presentation>" + entry + "</Presentation>"));
    auto s = load();
    ASSERT_TRUE(s) << entry;
    EXPECT_TRUE(s->perspectiveMatrix.empty()) << entry;
    EXPECT_EQ(keysOf(readText(path_)), kWriteOrder) << entry;
  }
}

TEST_F(SettingsTest, UnparsableFileIsLeftUntouched) {
  const std::string broken[] = {"garbage, not a storage\n",
                                "<?xml version=\"1.0\"?>\n<opencv_storage><Presentation>"};
  for (const std::string& text : broken) {
    writeText(path_, text);
    testing::internal::CaptureStderr();
    auto s = load();
    testing::internal::GetCapturedStderr();
    EXPECT_FALSE(s);
    EXPECT_EQ(error_.rfind("Cannot read configuration file '" + path_ + "': ", 0), 0u) << error_;
    EXPECT_EQ(error_.find('\n'), std::string::npos);
    EXPECT_EQ(readText(path_), text);
    EXPECT_EQ(entriesInDir(), 1);
  }
  path_ = dir_;  // a directory is not a configuration file either
  EXPECT_FALSE(load());
  EXPECT_NE(error_, "");
}

TEST_F(SettingsTest, EmptyFileGetsDefaultsAndModeIsKept) {
  writeText(path_, "");
  chmod(path_.c_str(), 0640);
  ASSERT_TRUE(load());
  EXPECT_EQ(keysOf(readText(path_)), kWriteOrder);
  struct stat st;
  ASSERT_EQ(stat(path_.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u);
}

TEST_F(SettingsTest, UnwritableFileStillGivesTheMatrix) {
  // The temporary beside a name this long exceeds the file name limit, so no write can
  // happen even for root.
  path_ = dir_ + "/" + std::string(240, 'c') + ".cfg.xml";
  const std::string text =
      storage("<!-- mine --><Presentation>" + std::string(kCornersXml) + "</Presentation>");
  writeText(path_, text);
  auto s = load();
  ASSERT_TRUE(s);
  EXPECT_EQ(s->perspectiveMatrix.type(), CV_32FC1);
  EXPECT_EQ(readText(path_), text);
  EXPECT_EQ(entriesInDir(), 1);
}

TEST_F(SettingsTest, NoOpenVideoMeansNoSearch) {
  auto closed = videoSourceCreate();
  testing::internal::CaptureStdout();
  auto s = load(closed.get());
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
  ASSERT_TRUE(s);
  EXPECT_TRUE(s->perspectiveMatrix.empty());
  EXPECT_EQ(readText(path_).find("boardPoints"), std::string::npos);
}

TEST_F(SettingsTest, PathAndRecordHandling) {
  auto given = std::make_unique<PresentationSettings>();
  given->presentWidth = 1;
  PresentationSettings* raw = given.get();
  auto kept = presentationSettingsLoad(std::move(given), "", nullptr, SampleViewer(), nullptr);
  EXPECT_EQ(kept.get(), raw);
  EXPECT_EQ(kept->presentWidth, 1);
  // A record passed in is filled from the file and the defaults, not from its old values.
  auto filled = presentationSettingsLoad(std::move(kept), path_, nullptr, SampleViewer(), nullptr);
  EXPECT_EQ(filled.get(), raw);
  EXPECT_EQ(filled->presentWidth, 640);
  presentationSettingsRelease(filled);
  EXPECT_FALSE(filled);
  presentationSettingsRelease(filled);
  EXPECT_FALSE(presentationSettingsLoad(nullptr, "", nullptr, SampleViewer(), nullptr));
}

}  // namespace
