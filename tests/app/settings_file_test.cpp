// Configuration file: defaults, reading rules, write order, corners, safe rewrites, and
// the check that names an unusable key.

#include <cmath>
#include <regex>
#include <sstream>
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
    "matchMethod",        "matchMargin",       "matchFit"};

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

// Every setting in write order, sections apart.
std::string describe(const PresentationSettings& s) {
  std::ostringstream text;
  text << s.presentWidth << " " << s.presentHeight << " " << s.boardDetLow << " " << s.boardDetHigh
       << " " << s.presentDetCount << " " << s.boardChoice << " " << s.boardMinContrast << " | "
       << s.slideFrameStep << " " << s.slideDetWidth << " " << s.slideDetHeight << " "
       << s.slideDiffBuff << " " << s.slideDiffThresh << " " << s.slideDistrThresh << " "
       << s.slideStepSeconds << " " << s.slideDetMethod << " " << s.slideChangeThresh << " "
       << s.slideCellSize << " " << s.slideChangeCells << " " << s.slideChangePersist << " | "
       << s.locWndOverlap << " " << s.locWndSize << " " << s.gradBinSize << " " << s.localWidth
       << " " << s.localHeight << " " << s.matchLimit << " " << s.matchMethod << " "
       << s.matchMargin << " " << s.matchFit;
  return text.str();
}
const std::string kDefaults =
    "640 480 120 150 10 cues 10 | 25 160 120 10 0.01 0.3 1 robust 24 16 2 1 | "
    "0.3 31 8 320 240 0.5 evidence 0.2 0.4";

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
  EXPECT_EQ(describe(*s), kDefaults);
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

// Keys in any order, unknown keys, a missing section looked up at top level (and added), a
// real read as an integer rounded, corner entries that are no 1x4 float matrix taken as no
// corners: each file reads as stated, is rewritten in the write order, then stays as it is.
TEST_F(SettingsTest, FilesFollowTheReadingRulesAndAreRewrittenInWriteOrder) {
  struct Case {
    std::string text, settings;
    bool corners;
  };
  std::vector<Case> cases = {
      {storage(
           "<Presentation><presentDetCount>3</presentDetCount><boardDetLow>11</boardDetLow>" +
           kCornersXml +
           "<boardDetHigh>22</boardDetHigh><presentHeight>300</presentHeight><boardMinContrast>20"
           "</boardMinContrast><boardChoice>plain</boardChoice><presentWidth>400</presentWidth>"
           "</Presentation>"
           "<LocalFeatures><matchLimit>0.25</matchLimit><localHeight>60</localHeight>"
           "<localWidth>80</localWidth><gradBinSize>4</gradBinSize><locWndSize>15</locWndSize>"
           "<locWndOverlap>0.5</locWndOverlap><extra>1</extra></LocalFeatures>"
           "<SlideDetection><slideDistrThresh>0.75</slideDistrThresh><slideDiffBuff>7"
           "</slideDiffBuff><slideDiffThresh>0.125</slideDiffThresh><slideDetHeight>30"
           "</slideDetHeight><slideDetWidth>40</slideDetWidth><slideFrameStep>5</slideFrameStep>"
           "<slideStepSeconds>2.5</slideStepSeconds><slideChangePersist>0</slideChangePersist>"
           "<slideChangeCells>3</slideChangeCells><slideCellSize>8</slideCellSize>"
           "<slideChangeThresh>30</slideChangeThresh><slideDetMethod>plain</slideDetMethod>"
           "</SlideDetection>"),
       "400 300 11 22 3 plain 20 | 5 40 30 7 0.125 0.75 2.5 plain 30 8 3 0 | "
       "0.5 15 4 80 60 0.25 evidence 0.2 0.4",
       true},
      {storage("<Presentation><presentWidth>800.0</presentWidth><boardDetLow>99.6</boardDetLow>"
               "</Presentation><LocalFeatures><locWndOverlap>1</locWndOverlap></LocalFeatures>"
               "<slideFrameStep>9</slideFrameStep><localWidth>1</localWidth>"),
       "800 480 100 150 10 cues 10 | 9 160 120 10 0.01 0.3 1 robust 24 16 2 1 | "
       "1 31 8 320 240 0.5 evidence 0.2 0.4",
       false}};
  for (const std::string& corners :
       {std::string("<boardPoints>\"corners\"</boardPoints>"),
        std::string("<boardPoints>1 2 3 4 5 6 7 8</boardPoints>"),
        cornersXml("1", "3", "2f", "1. 2. 3. 4. 5. 6."),
        cornersXml("1", "4", "2d", "10. 20. 630. 25. 620. 470. 15. 460."),
        cornersXml("1", "4", "2f", "10. .Nan 630. 25. 620. 470. 15. 460.")})
    cases.push_back({storage("<Presentation>" + corners + "</Presentation>"), kDefaults, false});
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    write(c.text);
    std::string rewritten;
    for (int run = 0; run < 2; ++run) {
      auto s = load();
      ASSERT_TRUE(s);
      EXPECT_EQ(describe(*s), c.settings);
      EXPECT_EQ(s->boardPoints.empty(), !c.corners);
      if (run == 1) {
        EXPECT_EQ(readFile(path_), rewritten);
      }
      rewritten = readFile(path_);
    }
    std::vector<std::string> order = kWriteOrder;
    if (c.corners) order.insert(order.begin() + 6, "boardPoints");
    EXPECT_EQ(keysOf(rewritten), order);
  }
  cv::Mat corners;
  write(cases[0].text);
  load();
  cv::FileStorage(path_, cv::FileStorage::READ)["Presentation"]["boardPoints"] >> corners;
  ASSERT_EQ(corners.type(), CV_32FC2);
  EXPECT_EQ(corners.at<cv::Point2f>(0, 2), cv::Point2f(620, 470));
}

// A value of the wrong kind is refused with its key, not stored as 2147483647 for good (a
// number where text belongs reads as empty text, which the check names); so is a value no
// algorithm can work with. A file nested deeper than any configuration would overflow the
// parser's stack and a header with NUL bytes (found by the configuration fuzzer) crashed it:
// all are refused before the parser sees them, and left as they were.
TEST_F(SettingsTest, WrongKindsUnusableValuesAndUnparsableFilesAreRefusedAndLeftAlone) {
  const int deep = 50000;
  std::string xml, json = "{\"a\":", yaml = "%YAML:1.0\n";
  for (int i = 0; i < deep; ++i) xml += "<a>", json += "[", yaml += "- ";
  const std::string invalid = "Invalid settings in '" + path_ + "': ";
  const std::string unreadable = "Cannot read configuration file '" + path_ + "': ";
  auto in = [](const char* section, const std::string& keys) {
    return storage(std::string("<") + section + ">" + keys + "</" + section + ">");
  };
  const auto p = [&in](const std::string& keys) { return in("Presentation", keys); };
  const auto d = [&in](const std::string& keys) { return in("SlideDetection", keys); };
  const auto f = [&in](const std::string& keys) { return in("LocalFeatures", keys); };
  const std::pair<std::string, std::string> refused[] = {
      {d("<slideFrameStep>twenty</slideFrameStep>"), invalid + "slideFrameStep is not a number."},
      {p("<boardDetHigh><a>1</a></boardDetHigh>"), invalid + "boardDetHigh is not a number."},
      {f("<matchLimit>\"half\"</matchLimit>"), invalid + "matchLimit is not a number."},
      {p("<boardChoice>3</boardChoice>"), invalid + "boardChoice"},
      {d("<slideDetMethod>3</slideDetMethod>"), invalid + "slideDetMethod"},
      // Each algorithm's check names the key it cannot work with.
      {d("<slideFrameStep>0</slideFrameStep>"), invalid + "slideFrameStep"},
      {d("<slideStepSeconds>-1</slideStepSeconds>"), invalid + "slideStepSeconds"},
      {d("<slideStepSeconds>1e39</slideStepSeconds>"), invalid + "slideStepSeconds"},
      {p("<presentWidth>2147483647</presentWidth>"), invalid + "presentWidth"},
      {p("<presentDetCount>-1</presentDetCount>"), invalid + "presentDetCount"},
      {p("<boardChoice>best</boardChoice>"), invalid + "boardChoice"},
      {p("<boardMinContrast>0</boardMinContrast>"), invalid + "boardMinContrast"},
      {d("<slideDiffBuff>256</slideDiffBuff>"), invalid + "slideDiffBuff"},
      {d("<slideDetHeight>0</slideDetHeight>"), invalid + "slideDetHeight"},
      {d("<slideDetMethod>fancy</slideDetMethod>"), invalid + "slideDetMethod"},
      {d("<slideChangeThresh>0</slideChangeThresh>"), invalid + "slideChangeThresh"},
      {d("<slideCellSize>2</slideCellSize>"), invalid + "slideCellSize"},
      {d("<slideChangeCells>0</slideChangeCells>"), invalid + "slideChangeCells"},
      {d("<slideChangePersist>2</slideChangePersist>"), invalid + "slideChangePersist"},
      {f("<locWndSize>320</locWndSize>"), invalid + "localWidth and localHeight must be larger"},
      {f("<gradBinSize>361</gradBinSize>"), invalid + "gradBinSize"},
      {f("<locWndOverlap>3</locWndOverlap>"), invalid + "locWndOverlap"},
      {f("<matchLimit>.Nan</matchLimit>"), invalid + "matchLimit"},
      {f("<matchMethod>Plain</matchMethod>"), invalid + "matchMethod"},
      {f("<matchMargin>0</matchMargin>"), invalid + "matchMargin"},
      {f("<matchFit>.Nan</matchFit>"), invalid + "matchFit"},
      // Each in range, together asking for 200 GB of slide pictures.
      {storage("<Presentation><presentWidth>16384</presentWidth><presentHeight>16384"
               "</presentHeight></Presentation><SlideDetection><slideDiffBuff>255</slideDiffBuff>"
               "</SlideDetection>"),
       invalid + "presentWidth x presentHeight x slideDiffBuff ask for 193 GB"},
      {d("<slideDetWidth>16384</slideDetWidth><slideDetHeight>16384</slideDetHeight>"
         "<slideDiffBuff>100</slideDiffBuff>"),
       invalid + "slideDetWidth x slideDetHeight x slideDiffBuff"},
      {storage(xml), unreadable + "nested deeper than 64 levels"},
      {json, unreadable + "nested deeper than 64 levels"},
      {yaml, unreadable + "nested deeper than 64 levels"},
      {std::string("<?xml v=\0\0`\x80\0\x06v\xd5r\xff\xff\xff\xff", 21),
       unreadable + "it holds NUL"},
      {"garbage, not a storage\n", unreadable}};
  for (const auto& [text, cause] : refused) {
    write(text);
    const std::string why = refusal();
    const size_t named = cause.find("': ") + 3;  // the file, then the key the cause names
    EXPECT_EQ(why.rfind(cause.substr(0, named), 0), 0u) << why;
    EXPECT_NE(why.find(cause.substr(named)), std::string::npos) << why;
    if (!load()) {
      EXPECT_EQ(readFile(path_), text) << "refused when read: not rewritten either";
    }
  }
  write("");
  EXPECT_EQ(refusal(), "") << "the defaults are usable";
  // A pipe is the refusals test's, as a run meets it; a directory is no configuration either.
  path_ = dir_.path;
  EXPECT_EQ(refusal(), "Cannot read configuration file '" + path_ + "': it is a directory");
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
