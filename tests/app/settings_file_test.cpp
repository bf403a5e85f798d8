// Configuration file: defaults, reading rules, write order, corners, safe rewrites, and
// the check that names an unusable key.

#include <cmath>
#include <regex>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <opencv2/core.hpp>

#include "app/settings.h"
#include "app/settings_file.h"
#include "common/error.h"
#include "scratch.h"

using namespace slidetrack;

namespace {

const std::vector<std::string> kWriteOrder = {
    "Presentation",       "presentWidth",      "presentHeight",    "boardDetLow",
    "boardDetHigh",       "presentDetCount",   "boardChoice",      "boardMinContrast",
    "SlideDetection",     "slideFrameStep",    "slideDetWidth",    "slideDetHeight",
    "slideDiffBuff",      "slideDiffThresh",   "slideDistrThresh", "slideStepSeconds",
    "slideDetMethod",     "slideChangeThresh", "slideCellSize",    "slideChangeCells",
    "slideChangePersist", "LocalFeatures",     "locWndOverlap",    "locWndSize",
    "gradBinSize",        "localWidth",        "localHeight",      "matchLimit",
    "matchMethod",        "matchMargin",       "matchFit",         "matchJumpMargin"};

std::string storage(const std::string& body) {
  return "<?xml version=\"1.0\"?>\n<opencv_storage>\n" + body + "</opencv_storage>\n";
}

// Element names in file order, matrix internals left out.
std::vector<std::string> keysOf(const std::string& text) {
  std::vector<std::string> keys;
  const std::regex open("<(?!(?:opencv_storage|rows|cols|dt|data)[ >])([A-Za-z]+)[ >]");
  for (auto it = std::sregex_iterator(text.begin(), text.end(), open); it != std::sregex_iterator();
       ++it)
    keys.push_back((*it)[1]);
  return keys;
}

// The eighteen settings in write order.
std::vector<double> valuesOf(const PresentationSettings& s) {
  return {double(s.presentWidth),    double(s.presentHeight),    double(s.boardDetLow),
          double(s.boardDetHigh),    double(s.presentDetCount),  double(s.slideFrameStep),
          double(s.slideDetWidth),   double(s.slideDetHeight),   double(s.slideDiffBuff),
          double(s.slideDiffThresh), double(s.slideDistrThresh), double(s.slideStepSeconds),
          double(s.locWndOverlap),   double(s.locWndSize),       double(s.gradBinSize),
          double(s.localWidth),      double(s.localHeight),      double(s.matchLimit)};
}

std::string cornersXml(const std::string& rows, const std::string& cols, const std::string& dt,
                       const std::string& data) {
  return "<boardPoints type_id=\"opencv-matrix\"><rows>" + rows + "</rows><cols>" + cols +
         "</cols><dt>\"" + dt + "\"</dt><data>" + data + "</data></boardPoints>";
}
const std::string kCornersXml = cornersXml("1", "4", "2f", "10. 20. 630. 25. 620. 470. 15. 460.");

class SettingsTest : public ::testing::Test {
 protected:
  void write(const std::string& text) { std::ofstream(path_, std::ios::binary) << text; }
  // Read, then written back as a run does after the search; none when refused.
  std::unique_ptr<PresentationSettings> load() {
    try {
      auto read = std::make_unique<PresentationSettings>(readConfiguration(path_).settings);
      try {
        writeConfiguration(path_, *read);
      } catch (const Error&) {
      }
      return read;
    } catch (const Error&) {
      return nullptr;
    }
  }
  // The message of a file that is refused when read or checked, else "".
  std::string refusal() {
    try {
      checkSettings(readConfiguration(path_).settings, path_);
      return "";
    } catch (const Error& e) {
      return e.what();
    }
  }

  ScratchDir dir_;
  std::string path_ = dir_ / "video.mp4.cfg.xml";
};

// Without corners no corners are written.
TEST_F(SettingsTest, MissingOrEmptyFileGetsDefaultsInWriteOrder) {
  EXPECT_TRUE(readConfiguration(path_).settings.boardPoints.empty());
  EXPECT_FALSE(fs::exists(path_)) << "reading only reads";
  auto s = load();
  ASSERT_TRUE(s);
  EXPECT_EQ(valuesOf(*s), (std::vector<double>{640, 480, 120, 150, 10, 25, 160, 120, 10, 0.01f,
                                               0.3f, 1, 0.3f, 31, 8, 320, 240, 0.5f}));
  EXPECT_TRUE(s->boardPoints.empty());
  const std::string first = readFile(path_);
  EXPECT_EQ(keysOf(first), kWriteOrder);
  // Reals are the float32 values widened to double.
  cv::FileStorage fs(path_, cv::FileStorage::READ);
  EXPECT_EQ(fs["SlideDetection"]["slideDiffThresh"].real(), static_cast<double>(0.01f));

  // An empty file reads as a missing one. How the file is replaced is the results file's
  // test, whose writer this is.
  write("");
  ASSERT_TRUE(load());
  EXPECT_EQ(readFile(path_), first);
}

TEST_F(SettingsTest, KeysInAnyOrderReadTheSameAndCornersAreKept) {
  write(storage(
      "<Presentation><presentDetCount>3</presentDetCount><boardDetLow>11</boardDetLow>" +
      kCornersXml +
      "<boardDetHigh>22</boardDetHigh><presentHeight>300</presentHeight><boardMinContrast>20"
      "</boardMinContrast><boardChoice>plain</boardChoice><presentWidth>400</presentWidth>"
      "</Presentation>"
      "<LocalFeatures><matchLimit>0.25</matchLimit><localHeight>60</localHeight>"
      "<localWidth>80</localWidth><gradBinSize>4</gradBinSize><locWndSize>15</locWndSize>"
      "<locWndOverlap>0.5</locWndOverlap><extra>1</extra></LocalFeatures>"
      "<SlideDetection><slideDistrThresh>0.75</slideDistrThresh><slideDiffBuff>7</slideDiffBuff>"
      "<slideDiffThresh>0.125</slideDiffThresh><slideDetHeight>30</slideDetHeight>"
      "<slideDetWidth>40</slideDetWidth><slideFrameStep>5</slideFrameStep>"
      "<slideStepSeconds>2.5</slideStepSeconds><slideChangePersist>0</slideChangePersist>"
      "<slideChangeCells>3</slideChangeCells><slideCellSize>8</slideCellSize>"
      "<slideChangeThresh>30</slideChangeThresh><slideDetMethod>plain</slideDetMethod>"
      "</SlideDetection>"));
  std::string rewritten;
  for (int run = 0; run < 2; ++run) {  // the rewritten file reads the same and stays as it is
    auto s = load();
    ASSERT_TRUE(s);
    EXPECT_EQ(valuesOf(*s), (std::vector<double>{400, 300, 11, 22, 3, 5, 40, 30, 7, 0.125, 0.75,
                                                 2.5, 0.5, 15, 4, 80, 60, 0.25}));
    EXPECT_FALSE(s->boardPoints.empty());
    // The keys after the design's.
    EXPECT_TRUE(screenSearchOptions(*s).plain());
    EXPECT_EQ(screenSearchOptions(*s).boardMinContrast, 20);
    EXPECT_EQ(s->slideDetMethod, "plain");
    EXPECT_EQ(std::vector<int>({s->slideChangeThresh, s->slideCellSize, s->slideChangeCells,
                                s->slideChangePersist}),
              std::vector<int>({30, 8, 3, 0}));
    if (run == 1) {
      EXPECT_EQ(readFile(path_), rewritten);
    }
    rewritten = readFile(path_);
  }
  std::vector<std::string> order = kWriteOrder;
  order.insert(order.begin() + 6, "boardPoints");
  EXPECT_EQ(keysOf(rewritten), order);  // unknown keys dropped
  cv::Mat corners;
  cv::FileStorage(path_, cv::FileStorage::READ)["Presentation"]["boardPoints"] >> corners;
  ASSERT_EQ(corners.type(), CV_32FC2);
  EXPECT_EQ(corners.at<cv::Point2f>(0, 2), cv::Point2f(620, 470));
}

// A missing section is looked up at top level (and added); a present one is not. A real
// read as an integer is rounded.
TEST_F(SettingsTest, MissingSectionsAndRealsFollowTheReadingRules) {
  write(
      storage("<Presentation><presentWidth>800.0</presentWidth><boardDetLow>99.6</boardDetLow>"
              "</Presentation><LocalFeatures><locWndOverlap>1</locWndOverlap></LocalFeatures>"
              "<slideFrameStep>9</slideFrameStep><localWidth>1</localWidth>"));
  for (int run = 0; run < 2; ++run) {  // written back and read again the same
    auto s = load();
    ASSERT_TRUE(s);
    EXPECT_EQ(valuesOf(*s), (std::vector<double>{800, 480, 100, 150, 10, 9, 160, 120, 10, 0.01f,
                                                 0.3f, 1, 1, 31, 8, 320, 240, 0.5f}));
    EXPECT_EQ(keysOf(readFile(path_)), kWriteOrder);
  }
}

// A value of the wrong kind is refused with its key, not stored as 2147483647 for good (a
// number where text belongs reads as empty text, which the check names); a file nested
// deeper than any configuration would overflow the parser's stack and a header with NUL
// bytes (found by the configuration fuzzer) crashed it: all are refused before the parser
// sees them, and left as they were.
TEST_F(SettingsTest, WrongKindsAndUnparsableFilesAreRefusedAndLeftAlone) {
  const int deep = 50000;
  std::string xml, json = "{\"a\":", yaml = "%YAML:1.0\n";
  for (int i = 0; i < deep; ++i) xml += "<a>", json += "[", yaml += "- ";
  const std::string invalid = "Invalid settings in '" + path_ + "': ";
  const std::string unreadable = "Cannot read configuration file '" + path_ + "': ";
  const std::pair<std::string, std::string> refused[] = {
      {storage("<SlideDetection><slideFrameStep>twenty</slideFrameStep></SlideDetection>"),
       invalid + "slideFrameStep is not a number."},
      {storage("<Presentation><boardDetHigh><a>1</a></boardDetHigh></Presentation>"),
       invalid + "boardDetHigh is not a number."},
      {storage("<LocalFeatures><matchLimit>\"half\"</matchLimit></LocalFeatures>"),
       invalid + "matchLimit is not a number."},
      {storage("<Presentation><boardChoice>3</boardChoice></Presentation>"),
       invalid + "boardChoice"},
      {storage("<SlideDetection><slideDetMethod>3</slideDetMethod></SlideDetection>"),
       invalid + "slideDetMethod"},
      {storage(xml), unreadable + "nested deeper than 64 levels"},
      {json, unreadable + "nested deeper than 64 levels"},
      {yaml, unreadable + "nested deeper than 64 levels"},
      {std::string("<?xml v=\0\0`\x80\0\x06v\xd5r\xff\xff\xff\xff", 21),
       unreadable + "it holds NUL"},
      {"garbage, not a storage\n", unreadable}};
  for (const auto& [text, cause] : refused) {
    write(text);
    const std::string why = refusal();
    EXPECT_EQ(why.rfind(cause, 0), 0u) << why;
    if (!load()) {
      EXPECT_EQ(readFile(path_), text) << "refused when read: not rewritten either";
    }
  }
  // A pipe is the refusals test's, as a run meets it; a directory is no configuration either.
  path_ = dir_.path;
  EXPECT_EQ(refusal(), "Cannot read configuration file '" + path_ + "': it is a directory");
}

TEST_F(SettingsTest, BadCornerContentCountsAsNoCorners) {
  const std::string bad[] = {"<boardPoints>\"corners\"</boardPoints>",
                             "<boardPoints>1 2 3 4 5 6 7 8</boardPoints>",
                             cornersXml("1", "3", "2f", "1. 2. 3. 4. 5. 6."),
                             cornersXml("1", "4", "2d", "10. 20. 630. 25. 620. 470. 15. 460."),
                             cornersXml("1", "4", "2f", "10. .Nan 630. 25. 620. 470. 15. 460.")};
  for (const std::string& entry : bad) {
    write(storage("<Presentation>" + entry + "</Presentation>"));
    auto s = load();
    ASSERT_TRUE(s) << entry;
    EXPECT_TRUE(s->boardPoints.empty()) << entry;
    EXPECT_EQ(keysOf(readFile(path_)), kWriteOrder) << entry;
  }
}

// Each algorithm's check names the key it cannot work with, before any work.
TEST(SettingsCheck, NamesTheFirstUnusableKey) {
  const std::pair<void (*)(PresentationSettings&), const char*> cases[] = {
      {[](PresentationSettings& s) { s.slideFrameStep = 0; }, "slideFrameStep"},
      {[](PresentationSettings& s) { s.slideStepSeconds = -1.f; }, "slideStepSeconds"},
      {[](PresentationSettings& s) { s.slideStepSeconds = HUGE_VALF; }, "slideStepSeconds"},
      {[](PresentationSettings& s) { s.presentWidth = 2147483647; }, "presentWidth"},
      {[](PresentationSettings& s) { s.presentDetCount = -1; }, "presentDetCount"},
      {[](PresentationSettings& s) { s.boardChoice = "best"; }, "boardChoice"},
      {[](PresentationSettings& s) { s.boardMinContrast = 0; }, "boardMinContrast"},
      {[](PresentationSettings& s) { s.slideDiffBuff = 256; }, "slideDiffBuff"},
      {[](PresentationSettings& s) { s.slideDetHeight = 0; }, "slideDetHeight"},
      {[](PresentationSettings& s) { s.slideDetMethod = "fancy"; }, "slideDetMethod"},
      {[](PresentationSettings& s) { s.slideChangeThresh = 0; }, "slideChangeThresh"},
      {[](PresentationSettings& s) { s.slideCellSize = 2; }, "slideCellSize"},
      {[](PresentationSettings& s) { s.slideChangeCells = 0; }, "slideChangeCells"},
      {[](PresentationSettings& s) { s.slideChangePersist = 2; }, "slideChangePersist"},
      {[](PresentationSettings& s) { s.locWndSize = 320; }, "larger than locWndSize"},
      {[](PresentationSettings& s) { s.gradBinSize = 361; }, "gradBinSize"},
      {[](PresentationSettings& s) { s.locWndOverlap = 3.f; }, "locWndOverlap"},
      {[](PresentationSettings& s) { s.matchLimit = NAN; }, "matchLimit"},
      {[](PresentationSettings& s) { s.matchMethod = "Plain"; }, "matchMethod"},
      {[](PresentationSettings& s) { s.matchMargin = 0.f; }, "matchMargin"},
      {[](PresentationSettings& s) { s.matchFit = NAN; }, "matchFit"},
      {[](PresentationSettings& s) { s.matchJumpMargin = 1.5f; }, "matchJumpMargin"},
      // Each in range, together asking for 200 GB of slide pictures.
      {[](PresentationSettings& s) {
         s.presentWidth = s.presentHeight = 16384, s.slideDiffBuff = 255;
       },
       "presentWidth x presentHeight x slideDiffBuff ask for 193 GB"},
      {[](PresentationSettings& s) {
         s.slideDetWidth = s.slideDetHeight = 16384, s.slideDiffBuff = 100;
       },
       "slideDetWidth x slideDetHeight x slideDiffBuff"}};
  EXPECT_NO_THROW(checkSettings(PresentationSettings(), "c.xml"));
  for (const auto& [spoil, key] : cases) {
    PresentationSettings s;
    spoil(s);
    try {
      checkSettings(s, "c.xml");
      ADD_FAILURE() << key << " passed";
    } catch (const Error& e) {
      const std::string message = e.what();
      EXPECT_EQ(message.rfind("Invalid settings in 'c.xml': ", 0), 0u) << message;
      EXPECT_NE(message.find(key), std::string::npos) << message;
      EXPECT_EQ(e.kind(), Error::Kind::kSettings);
    }
  }
}

// Corners that cannot outline a screen would rectify every frame into black.
TEST(SettingsCheck, CornersThatCannotBeAScreen) {
  auto corners = [](std::vector<float> v) { return cv::Mat(v, true).reshape(2, 1); };
  const cv::Size frame(640, 360);
  EXPECT_TRUE(cornersCanBeScreen(corners({150, 60, 500, 70, 490, 310, 160, 300}), frame));
  EXPECT_TRUE(cornersCanBeScreen(corners({-50, -20, 700, 0, 690, 380, -40, 370}), frame));
  const std::vector<float> bad[] = {{100, 100, 100, 100, 100, 100, 100, 100},  // all equal
                                    {0, 0, 100, 100, 200, 200, 300, 300},      // collinear
                                    {150, 60, 490, 310, 500, 70, 160, 300},    // sides crossing
                                    {150, 60, 500, 70, 300, 100, 160, 300},    // not convex
                                    {150, 60, 152, 60, 152, 62, 150, 62},      // a speck
                                    {5000, 60, 5500, 70, 5490, 310, 5160, 300}};
  for (const auto& v : bad) EXPECT_FALSE(cornersCanBeScreen(corners(v), frame)) << cv::Mat(v).t();
}

}  // namespace
