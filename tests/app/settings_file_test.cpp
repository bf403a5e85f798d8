// Configuration file: defaults, reading rules, write order, corners, safe rewrites, and
// the check that names an unusable key.

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

const std::string kWriteOrder =
    "Presentation presentWidth presentHeight boardDetLow boardDetHigh presentDetCount "
    "boardChoice boardMinContrast SlideDetection slideFrameStep slideDetWidth slideDetHeight "
    "slideDiffBuff slideDiffThresh slideDistrThresh slideStepSeconds slideDetMethod "
    "slideChangeThresh slideCellSize slideChangeCells slideChangePersist slideFillFromOriginal "
    "slideChangeBeside slideChangeUncovered slidePictureUncovered slideHoleSettle "
    "slideBesideOverMask slideSpeakerFromOriginal slidePictureSpeaker slidePictureFaint "
    "slideJoinSame slideJoinLooks slideConfirmMoving slideBesideWide slideTintUpper "
    "slideBesideSwallowed slideConfirmFresh slideMaskText slideStartSettled slidePictureArms "
    "slideInkShape slideJoinBoth slideRestartLines slidePictureArmParts slideConfirmUnmoved "
    "slidePictureHeldBack slideFrontGone slideJoinText slideStartStanding "
    "LocalFeatures "
    "locWndOverlap locWndSize gradBinSize localWidth localHeight matchLimit matchMethod "
    "matchMargin matchFit matchJumpMargin matchUnexplained matchChangeDistance matchWithdraw "
    "matchJoinSame matchFitDrop matchJoinContent matchJoinRefused matchQuietMargin "
    "matchLeanFrames matchDropJump matchJoinMargin matchDropRepeat ";

std::string storage(const std::string& body) {
  return "<?xml version=\"1.0\"?>\n<opencv_storage>\n" + body + "</opencv_storage>\n";
}

// <name> holding an element per "key=value" of the list.
std::string section(const std::string& name, const std::string& keys) {
  std::string xml = "<" + name + ">";
  std::istringstream list(keys);
  for (std::string key, value; std::getline(list >> std::ws, key, '=') && list >> value;)
    xml += "<" + key + ">" + value + "</" + key + ">";
  return xml + "</" + name + ">";
}

// Element names in file order, matrix internals left out.
std::string keysOf(const std::string& text) {
  std::string keys;
  const std::regex open("<(?!(?:opencv_storage|rows|cols|dt|data)[ >])([A-Za-z]+)[ >]");
  for (auto it = std::sregex_iterator(text.begin(), text.end(), open); it != std::sregex_iterator();
       ++it)
    keys += (*it)[1].str() + " ";
  return keys;
}

template <typename... Values>
std::string joined(const Values&... values) {
  std::ostringstream text;
  ((text << values << " "), ...);
  return text.str();
}

// Every setting in write order, sections apart.
std::string describe(const PresentationSettings& s) {
  return joined(
      s.presentWidth, s.presentHeight, s.boardDetLow, s.boardDetHigh, s.presentDetCount,
      s.boardChoice, s.boardMinContrast, "|", s.slideFrameStep, s.slideDetWidth, s.slideDetHeight,
      s.slideDiffBuff, s.slideDiffThresh, s.slideDistrThresh, s.slideStepSeconds, s.slideDetMethod,
      s.slideChangeThresh, s.slideCellSize, s.slideChangeCells, s.slideChangePersist,
      s.slideFillFromOriginal, s.slideChangeBeside, s.slideChangeUncovered, s.slidePictureUncovered,
      s.slideHoleSettle, s.slideBesideOverMask, s.slideSpeakerFromOriginal, s.slidePictureSpeaker,
      s.slidePictureFaint, s.slideJoinSame, s.slideJoinLooks, s.slideConfirmMoving,
      s.slideBesideWide, s.slideTintUpper, s.slideBesideSwallowed, s.slideConfirmFresh,
      s.slideMaskText, s.slideStartSettled, s.slidePictureArms, s.slideInkShape, s.slideJoinBoth,
      s.slideRestartLines, s.slidePictureArmParts, s.slideConfirmUnmoved, s.slidePictureHeldBack,
      s.slideFrontGone, s.slideJoinText, s.slideStartStanding, "|", s.locWndOverlap, s.locWndSize,
      s.gradBinSize, s.localWidth, s.localHeight, s.matchLimit, s.matchMethod, s.matchMargin,
      s.matchFit, s.matchJumpMargin, s.matchUnexplained, s.matchChangeDistance, s.matchWithdraw,
      s.matchJoinSame, s.matchFitDrop, s.matchJoinContent, s.matchJoinRefused, s.matchQuietMargin,
      s.matchLeanFrames, s.matchDropJump, s.matchJoinMargin, s.matchDropRepeat);
}
const std::string kDefaults =
    "640 480 120 150 10 cues 10 | 25 160 120 10 0.01 0.3 1 robust 24 16 2 1 1 0.3 0 1 5 1 1 1 1 1 "
    "1 1 1 1 1 1 0 1 1 0 1 1 1 1 1 1 1 1 "
    "| "
    "0.3 31 8 320 240 0.5 evidence 0.2 0.4 0.4 0.12 0.1 1 1 0.35 1 1 0.4 4 1 0.2 1 ";

std::string cornersXml(const std::string& rows, const std::string& cols, const std::string& dt,
                       const std::string& data) {
  return "<boardPoints type_id=\"opencv-matrix\"><rows>" + rows + "</rows><cols>" + cols +
         "</cols><dt>\"" + dt + "\"</dt><data>" + data + "</data></boardPoints>";
}

class SettingsTest : public ::testing::Test {
 protected:
  // Read, then written back as a run does after the search; none when refused.
  std::unique_ptr<PresentationSettings> load() {
    try {
      auto read = std::make_unique<PresentationSettings>(readConfiguration(path_).settings);
      writeConfiguration(path_, *read);
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

// An empty file, keys in any order, unknown keys, a missing section looked up at top level
// (and added), a real read as an integer rounded, corner entries that are no 1x4 float matrix
// taken as no corners: each file reads as stated, is rewritten in the write order (corners
// only when there are some), then stays as it is.
TEST_F(SettingsTest, FilesFollowTheReadingRulesAndAreRewrittenInWriteOrder) {
  const PresentationSettings missing = readConfiguration(path_).settings;
  EXPECT_TRUE(describe(missing) == kDefaults && missing.boardPoints.empty());
  EXPECT_FALSE(fs::exists(path_)) << "reading only reads";
  struct Case {
    std::string text, settings;
    bool corners;
  };
  std::string screen = section("Presentation",
                               "presentDetCount=3 boardDetLow=11 boardDetHigh=22 presentHeight=300 "
                               "boardMinContrast=20 boardChoice=plain presentWidth=400");
  screen.insert(screen.find("<boardDetHigh>"),
                cornersXml("1", "4", "2f", "10. 20. 630. 25. 620. 470. 15. 460."));
  std::vector<Case> cases = {
      {storage(
           screen +
           section("LocalFeatures",
                   "matchLimit=0.25 localHeight=60 localWidth=80 gradBinSize=4 locWndSize=15 "
                   "locWndOverlap=0.5 matchJumpMargin=0.3 matchJoinSame=0 matchJoinContent=0 "
                   "matchJoinRefused=0 matchQuietMargin=0.6 matchLeanFrames=0 matchDropJump=0 "
                   "matchJoinMargin=0.4 matchDropRepeat=0 "
                   "extra=1") +
           section(
               "SlideDetection",
               "slideDistrThresh=0.75 slideDiffBuff=7 slideDiffThresh=0.1 "
               "slideDetHeight=30 slideDetWidth=40 slideFrameStep=5 slideStepSeconds=2.5 "
               "slideChangePersist=0 slideFillFromOriginal=0 slideChangeCells=3 slideCellSize=8 "
               "slideChangeBeside=0 slideChangeUncovered=1 slidePictureUncovered=0 "
               "slideHoleSettle=9 slideBesideOverMask=0 slideSpeakerFromOriginal=0 "
               "slidePictureSpeaker=0 slidePictureFaint=0 slideJoinSame=0 slideJoinLooks=0 "
               "slideConfirmMoving=0 slideBesideWide=0 slideTintUpper=0 slideBesideSwallowed=0 "
               "slideConfirmFresh=0 slideMaskText=1 slideStartSettled=0 slidePictureArms=0 "
               "slideInkShape=1 slideJoinBoth=0 slideRestartLines=0 slidePictureArmParts=0 "
               "slideConfirmUnmoved=0 slidePictureHeldBack=0 slideFrontGone=0 slideStartStanding=0 "
               "slideChangeThresh=30 "
               "slideDetMethod=plain")),
       "400 300 11 22 3 plain 20 | 5 40 30 7 0.1 0.75 2.5 plain 30 8 3 0 0 0 1 0 9 0 0 0 0 0 0 0 0 "
       "0 0 0 1 0 0 1 0 0 0 0 0 0 1 0 "
       "| "
       "0.5 15 4 80 60 0.25 evidence 0.2 0.4 0.3 0.12 0.1 1 0 0.35 0 0 0.6 0 0 0.4 0 ",
       true},
      {storage(section("Presentation", "presentWidth=800.0 boardDetLow=99.6") +
               section("LocalFeatures", "locWndOverlap=1") +
               "<slideFrameStep>9</slideFrameStep><localWidth>1</localWidth>"),
       "800 480 100 150 10 cues 10 | 9 160 120 10 0.01 0.3 1 robust 24 16 2 1 1 0.3 0 1 5 1 1 1 1 "
       "1 1 1 1 1 1 1 0 1 1 0 1 1 1 1 1 1 1 1 "
       "| "
       "1 31 8 320 240 0.5 evidence 0.2 0.4 0.4 0.12 0.1 1 1 0.35 1 1 0.4 4 1 0.2 1 ",
       false},
      {"", kDefaults, false}};
  for (const std::string& corners :
       {std::string("<boardPoints>\"corners\"</boardPoints>"),
        std::string("<boardPoints>1 2 3 4 5 6 7 8</boardPoints>"),
        cornersXml("1", "3", "2f", "1. 2. 3. 4. 5. 6."),
        cornersXml("1", "4", "2d", "10. 20. 630. 25. 620. 470. 15. 460."),
        cornersXml("1", "4", "2f", "10. .Nan 630. 25. 620. 470. 15. 460.")})
    cases.push_back({storage("<Presentation>" + corners + "</Presentation>"), kDefaults, false});
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    writeFile(path_, c.text);
    std::string rewritten;
    for (int run = 0; run < 2; ++run) {
      auto s = load();
      ASSERT_TRUE(s);
      EXPECT_EQ(describe(*s), c.settings);
      EXPECT_EQ(s->boardPoints.empty(), !c.corners);
      EXPECT_TRUE(run == 0 || readFile(path_) == rewritten) << "a second rewrite changed it";
      rewritten = readFile(path_);
    }
    std::string order = kWriteOrder;
    if (c.corners) order.insert(order.find("boardChoice"), "boardPoints ");
    EXPECT_EQ(keysOf(rewritten), order);
  }
  writeFile(path_, cases[0].text);
  load();
  cv::FileStorage fs(path_, cv::FileStorage::READ);
  cv::Mat corners;
  fs["Presentation"]["boardPoints"] >> corners;
  ASSERT_EQ(corners.type(), CV_32FC2);
  EXPECT_EQ(corners.at<cv::Point2f>(0, 2), cv::Point2f(620, 470));
  // Reals are the float32 values widened to double.
  EXPECT_EQ(fs["SlideDetection"]["slideDiffThresh"].real(), static_cast<double>(0.1f));
}

// A value of the wrong kind is refused with its key, not stored as 2147483647 for good; so
// is a value no algorithm can work with. A file nested deeper than any configuration would
// overflow the parser's stack and a header with NUL bytes (found by the configuration fuzzer)
// crashed it: all are refused before the parser sees them, and left as they were.
TEST_F(SettingsTest, WrongKindsUnusableValuesAndUnparsableFilesAreRefusedAndLeftAlone) {
  std::string xml, json = "{\"a\":", yaml = "%YAML:1.0\n";
  for (int i = 0; i < 50000; ++i) xml += "<a>", json += "[", yaml += "- ";
  const std::string invalid = "Invalid settings in '" + path_ + "': ";
  const std::string unreadable = "Cannot read configuration file '" + path_ + "': ";
  // A file with one key, in the section it belongs to.
  const auto one = [](const std::string& key, const std::string& value) {
    std::string in = "LocalFeatures";
    if (key.rfind("slide", 0) == 0) in = "SlideDetection";
    if (key.rfind("present", 0) == 0 || key.rfind("board", 0) == 0) in = "Presentation";
    return storage(section(in, key + "=" + value));
  };
  std::vector<std::pair<std::string, std::string>> refused = {
      {one("slideFrameStep", "twenty"), invalid + "slideFrameStep is not a number."},
      {one("boardDetHigh", "<a>1</a>"), invalid + "boardDetHigh is not a number."},
      {one("matchLimit", "\"half\""), invalid + "matchLimit is not a number."},
      {one("locWndSize", "320"), invalid + "localWidth and localHeight must be larger"},
      // Each in range, together asking for 200 GB of slide pictures.
      {storage(section("Presentation", "presentWidth=16384 presentHeight=16384") +
               section("SlideDetection", "slideDiffBuff=255")),
       invalid + "presentWidth x presentHeight x slideDiffBuff ask for 193 GB"},
      {storage(
           section("SlideDetection", "slideDetWidth=16384 slideDetHeight=16384 slideDiffBuff=100")),
       invalid + "slideDetWidth x slideDetHeight x slideDiffBuff"},
      {storage(xml), unreadable + "nested deeper than 64 levels"},
      {json, unreadable + "nested deeper than 64 levels"},
      {yaml, unreadable + "nested deeper than 64 levels"},
      {std::string("<?xml v=\0\0`\x80\0\x06v\xd5r\xff\xff\xff\xff", 21),
       unreadable + "it holds NUL"},
      {"garbage, not a storage\n", unreadable}};
  // A number where text belongs reads as empty text; each algorithm's check names the key it
  // cannot work with.
  std::istringstream unusable(
      "boardChoice=3 slideDetMethod=3 slideFrameStep=0 slideStepSeconds=-1 "
      "slideStepSeconds=1e39 presentWidth=2147483647 presentDetCount=-1 boardChoice=best "
      "boardMinContrast=0 slideDiffBuff=256 slideDetHeight=0 slideDetMethod=fancy "
      "slideChangeThresh=0 slideCellSize=2 slideChangeCells=0 slideChangePersist=2 "
      "gradBinSize=361 locWndOverlap=3 matchLimit=.Nan matchMethod=Plain matchMargin=0 "
      "matchFit=.Nan matchJumpMargin=1.5 matchUnexplained=-1 matchChangeDistance=5 "
      "matchWithdraw=2 matchJoinSame=-1 matchFitDrop=1.5 slideFillFromOriginal=2 "
      "slideChangeBeside=1.5 slideChangeUncovered=2 slidePictureUncovered=-1 "
      "slideHoleSettle=251 matchJoinContent=2 slideBesideOverMask=2 slideSpeakerFromOriginal=2 "
      "slidePictureSpeaker=2 matchJoinRefused=2 slidePictureFaint=-1 matchQuietMargin=1.5 "
      "matchQuietMargin=.Nan matchLeanFrames=1 matchDropJump=2 slideJoinSame=2 slideJoinLooks=2 "
      "slideConfirmMoving=2 slideBesideWide=2 slideBesideSwallowed=2 slideConfirmFresh=2 "
      "slideMaskText=2 slideStartSettled=2 slidePictureArms=-1 slideInkShape=2 "
      "slideJoinBoth=-1 slideRestartLines=2 slidePictureArmParts=2 slideConfirmUnmoved=2 "
      "slidePictureHeldBack=2 slideFrontGone=2 slideJoinText=2 slideStartStanding=2 "
      "matchJoinMargin=0 "
      "matchJoinMargin=1.5 matchDropRepeat=2 "
      "slideTintUpper=2");
  for (std::string key, value; std::getline(unusable >> std::ws, key, '=') && unusable >> value;)
    refused.emplace_back(one(key, value), invalid + key);
  for (const auto& [text, cause] : refused) {
    writeFile(path_, text);
    const std::string why = refusal();
    const size_t named = cause.find("': ") + 3;  // the file, then the key the cause names
    EXPECT_EQ(why.rfind(cause.substr(0, named), 0), 0u) << why;
    EXPECT_NE(why.find(cause.substr(named)), std::string::npos) << why;
    if (!load()) {
      EXPECT_EQ(readFile(path_), text) << "refused when read: not rewritten either";
    }
  }
  writeFile(path_, "");
  EXPECT_EQ(refusal(), "") << "the defaults are usable";
  // A pipe is the hardening test's, as a run meets it; a directory is no configuration either.
  path_ = dir_.path;
  EXPECT_EQ(refusal(), "Cannot read configuration file '" + path_ + "': it is a directory");
}

// Corners that cannot outline a screen would rectify every frame into black.
TEST(SettingsCheck, CornersThatCannotBeAScreen) {
  auto corners = [](std::vector<float> v) { return cv::Mat(v, true).reshape(2, 1); };
  const cv::Size frame(640, 360);
  EXPECT_TRUE(cornersCanBeScreen(corners({150, 60, 500, 70, 490, 310, 160, 300}), frame));
  EXPECT_TRUE(cornersCanBeScreen(corners({-50, -20, 700, 0, 690, 380, -40, 370}), frame));
  // All equal, collinear, sides crossing, not convex, a speck, far outside the frame.
  const std::vector<float> bad[] = {
      {100, 100, 100, 100, 100, 100, 100, 100}, {0, 0, 100, 100, 200, 200, 300, 300},
      {150, 60, 490, 310, 500, 70, 160, 300},   {150, 60, 500, 70, 300, 100, 160, 300},
      {150, 60, 152, 60, 152, 62, 150, 62},     {5000, 60, 5500, 70, 5490, 310, 5160, 300}};
  for (const auto& v : bad) EXPECT_FALSE(cornersCanBeScreen(corners(v), frame)) << cv::Mat(v).t();
}

}  // namespace
