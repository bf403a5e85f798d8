#include "app/settings_file.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <string>
#include <utility>
#include <vector>

#include "common/error.h"
#include "results/atomic_file.h"
#include "results/xml_check.h"

namespace slidetrack {

namespace {

// What the by-name readers give for a value of the wrong kind.
constexpr int kWrongKindInt = 2147483647;
// 1e300 does not fit a float32; the field ends up +inf, stated here rather than left to an
// out-of-range conversion.
const float kWrongKindReal = std::numeric_limits<float>::infinity();

// A missing section falls back to the top-level entries (the by-name reader's rule for an
// absent map); a section that is not a map holds nothing readable.
cv::FileNode sectionOf(const cv::FileStorage& fs, const char* name) {
  cv::FileNode root = fs.root();
  if (!root.isMap()) return cv::FileNode();
  cv::FileNode section = root[name];
  if (section.empty()) return root;
  return section.isMap() ? section : cv::FileNode();
}

cv::FileNode keyOf(const cv::FileNode& section, const char* key) {
  return section.isMap() ? section[key] : cv::FileNode();
}

int roundToInt(double value) {
  if (std::isnan(value)) return kWrongKindInt;
  if (value >= static_cast<double>(INT_MAX)) return INT_MAX;
  if (value <= static_cast<double>(INT_MIN)) return INT_MIN;
  return cvRound(value);
}

float toFloat(double value) {
  if (value > std::numeric_limits<float>::max()) return std::numeric_limits<float>::infinity();
  if (value < -std::numeric_limits<float>::max()) return -std::numeric_limits<float>::infinity();
  return static_cast<float>(value);
}

// Keys whose values were of the wrong kind, with what they were read as, for one warning
// each.
using WrongKinds = std::vector<std::pair<std::string, std::string>>;

void readInt(const cv::FileNode& section, const char* key, int* field, WrongKinds& wrong) {
  cv::FileNode node = keyOf(section, key);
  if (node.empty()) return;  // keeps the default
  if (node.isInt())
    *field = static_cast<int>(node);
  else if (node.isReal())
    *field = roundToInt(node.real());
  else {
    *field = kWrongKindInt;
    wrong.emplace_back(key, std::to_string(kWrongKindInt));
  }
}

void readReal(const cv::FileNode& section, const char* key, float* field, WrongKinds& wrong) {
  cv::FileNode node = keyOf(section, key);
  if (node.empty()) return;
  if (node.isInt())
    *field = static_cast<float>(static_cast<int>(node));
  else if (node.isReal())
    *field = toFloat(node.real());
  else {
    *field = kWrongKindReal;
    wrong.emplace_back(key, "infinity");
  }
}

// A value that is not text reads as empty text, which the options' checks then name.
void readString(const cv::FileNode& section, const char* key, std::string* field) {
  cv::FileNode node = keyOf(section, key);
  if (node.empty()) return;
  *field = node.isString() ? node.string() : std::string();
}

// Anything but a 1x4 two-channel float matrix of finite numbers counts as no corners, so the
// search runs again rather than rectifying with garbage.
cv::Mat readBoardPoints(const cv::FileNode& node) {
  if (node.empty() || !node.isMap()) return cv::Mat();
  cv::FileNode rows = node["rows"], cols = node["cols"], dt = node["dt"], data = node["data"];
  if (!rows.isInt() || !cols.isInt() || !dt.isString() || !data.isSeq()) return cv::Mat();
  if (static_cast<int>(rows) != 1 || static_cast<int>(cols) != 4) return cv::Mat();
  if (dt.string() != "2f" || data.size() != 8) return cv::Mat();
  cv::Mat corners(1, 4, CV_32FC2);
  float* values = corners.ptr<float>();
  for (int i = 0; i < 8; ++i) {
    cv::FileNode item = data[i];
    if (!item.isInt() && !item.isReal()) return cv::Mat();
    double value = item.isInt() ? static_cast<int>(item) : item.real();
    if (!std::isfinite(value) || std::fabs(value) > std::numeric_limits<float>::max())
      return cv::Mat();
    values[i] = static_cast<float>(value);
  }
  return corners;
}

// A value that is not a word is kept as one no check accepts, so the run ends naming the key.
void readSettings(const cv::FileStorage& fs, PresentationSettings& s, WrongKinds& w) {
  cv::FileNode presentation = sectionOf(fs, "Presentation");
  readInt(presentation, "presentWidth", &s.presentWidth, w);
  readInt(presentation, "presentHeight", &s.presentHeight, w);
  readInt(presentation, "boardDetLow", &s.boardDetLow, w);
  readInt(presentation, "boardDetHigh", &s.boardDetHigh, w);
  readInt(presentation, "presentDetCount", &s.presentDetCount, w);
  s.boardPoints = readBoardPoints(keyOf(presentation, "boardPoints"));
  readString(presentation, "boardChoice", &s.boardChoice);
  readInt(presentation, "boardMinContrast", &s.boardMinContrast, w);

  cv::FileNode slides = sectionOf(fs, "SlideDetection");
  readInt(slides, "slideFrameStep", &s.slideFrameStep, w);
  readInt(slides, "slideDiffBuff", &s.slideDiffBuff, w);
  readInt(slides, "slideDetWidth", &s.slideDetWidth, w);
  readInt(slides, "slideDetHeight", &s.slideDetHeight, w);
  readReal(slides, "slideDiffThresh", &s.slideDiffThresh, w);
  readReal(slides, "slideDistrThresh", &s.slideDistrThresh, w);
  readReal(slides, "slideStepSeconds", &s.slideStepSeconds, w);
  readString(slides, "slideDetMethod", &s.slideDetMethod);
  readInt(slides, "slideChangeThresh", &s.slideChangeThresh, w);
  readInt(slides, "slideCellSize", &s.slideCellSize, w);
  readInt(slides, "slideChangeCells", &s.slideChangeCells, w);
  readInt(slides, "slideChangePersist", &s.slideChangePersist, w);
  readInt(slides, "slideFillFromOriginal", &s.slideFillFromOriginal, w);
  readReal(slides, "slideChangeBeside", &s.slideChangeBeside, w);
  readInt(slides, "slideChangeUncovered", &s.slideChangeUncovered, w);
  readInt(slides, "slidePictureUncovered", &s.slidePictureUncovered, w);
  readInt(slides, "slideHoleSettle", &s.slideHoleSettle, w);
  readInt(slides, "slideBesideOverMask", &s.slideBesideOverMask, w);
  readInt(slides, "slideSpeakerFromOriginal", &s.slideSpeakerFromOriginal, w);
  readInt(slides, "slidePictureSpeaker", &s.slidePictureSpeaker, w);
  readInt(slides, "slidePictureFaint", &s.slidePictureFaint, w);
  readInt(slides, "slideJoinSame", &s.slideJoinSame, w);
  readInt(slides, "slideJoinLooks", &s.slideJoinLooks, w);
  readInt(slides, "slideConfirmMoving", &s.slideConfirmMoving, w);
  readInt(slides, "slideBesideWide", &s.slideBesideWide, w);
  readInt(slides, "slideTintUpper", &s.slideTintUpper, w);
  readInt(slides, "slideBesideSwallowed", &s.slideBesideSwallowed, w);
  readInt(slides, "slideConfirmFresh", &s.slideConfirmFresh, w);
  readInt(slides, "slideMaskText", &s.slideMaskText, w);
  readInt(slides, "slideStartSettled", &s.slideStartSettled, w);
  readInt(slides, "slidePictureArms", &s.slidePictureArms, w);
  readInt(slides, "slideInkShape", &s.slideInkShape, w);
  readInt(slides, "slideJoinBoth", &s.slideJoinBoth, w);
  readInt(slides, "slideRestartLines", &s.slideRestartLines, w);
  readInt(slides, "slidePictureArmParts", &s.slidePictureArmParts, w);
  readInt(slides, "slideConfirmUnmoved", &s.slideConfirmUnmoved, w);
  readInt(slides, "slidePictureHeldBack", &s.slidePictureHeldBack, w);
  readInt(slides, "slideFrontGone", &s.slideFrontGone, w);
  readInt(slides, "slideJoinText", &s.slideJoinText, w);
  readInt(slides, "slideStartStanding", &s.slideStartStanding, w);

  cv::FileNode local = sectionOf(fs, "LocalFeatures");
  readReal(local, "locWndOverlap", &s.locWndOverlap, w);
  readInt(local, "locWndSize", &s.locWndSize, w);
  readInt(local, "gradBinSize", &s.gradBinSize, w);
  readInt(local, "localWidth", &s.localWidth, w);
  readInt(local, "localHeight", &s.localHeight, w);
  readReal(local, "matchLimit", &s.matchLimit, w);
  readString(local, "matchMethod", &s.matchMethod);
  readReal(local, "matchMargin", &s.matchMargin, w);
  readReal(local, "matchFit", &s.matchFit, w);
  readReal(local, "matchJumpMargin", &s.matchJumpMargin, w);
  readReal(local, "matchUnexplained", &s.matchUnexplained, w);
  readReal(local, "matchChangeDistance", &s.matchChangeDistance, w);
  readInt(local, "matchWithdraw", &s.matchWithdraw, w);
  readInt(local, "matchJoinSame", &s.matchJoinSame, w);
  readReal(local, "matchFitDrop", &s.matchFitDrop, w);
  readInt(local, "matchJoinContent", &s.matchJoinContent, w);
  readInt(local, "matchJoinRefused", &s.matchJoinRefused, w);
  readReal(local, "matchQuietMargin", &s.matchQuietMargin, w);
  readInt(local, "matchLeanFrames", &s.matchLeanFrames, w);
  readInt(local, "matchDropJump", &s.matchDropJump, w);
  readReal(local, "matchJoinMargin", &s.matchJoinMargin, w);
  readInt(local, "matchDropRepeat", &s.matchDropRepeat, w);
}

std::string describe(const cv::Exception& e) {
  std::string cause = "not a valid file storage (" + e.err;
  if (!e.func.empty()) cause += ", " + e.func;
  cause += ")";
  for (char& c : cause)
    if (c == '\n' || c == '\r') c = ' ';
  return cause;
}

[[noreturn]] void unreadable(const std::string& path, const std::string& cause) {
  throw Error(Error::Kind::kSettings, "Cannot read configuration file '" + path + "': " + cause);
}

// The storage parser recurses once per level and overflows the stack on a hostile file;
// no configuration is nested more than a few levels.
constexpr int kMaxNesting = 64;
constexpr long long kMaxConfigurationBytes = 16 << 20;

// Counts brackets (JSON, YAML flow), elements (XML) and, in YAML, the columns of
// indentation and "- " before a line's content, over the raw bytes: a rough count, but
// never below the parser's own depth.
int nestingDepth(std::FILE* file) {
  int depth = 0, deepest = 0, previous = '\n', lead = 0;
  bool yaml = false, leading = true, first = true;
  for (int c; (c = std::fgetc(file)) != EOF; previous = c) {
    if (c == '\0') return -1;  // the storage's parser crashes on some such bytes
    if (first) yaml = c == '%';
    first = false;
    if (c == '\n') {
      leading = true;
      lead = 0;
    } else if (leading && (c == ' ' || c == '\t' || c == '-')) {
      if (yaml) deepest = std::max(deepest, ++lead);
    } else {
      leading = false;
    }
    if (c == '{' || c == '[') {
      ++depth;
    } else if (c == '}' || c == ']') {
      --depth;
    } else if (previous == '<') {
      // "</" closes an element; "<?" and "<!" open none.
      if (c == '/')
        --depth;
      else if (c != '?' && c != '!')
        ++depth;
    } else if (c == '>' && previous == '/') {
      --depth;
    }
    depth = std::max(depth, 0);
    deepest = std::max(deepest, depth);
  }
  return deepest;
}

}  // namespace

// A missing or empty file gives the defaults. A file that is there but cannot be read or
// parsed is an error, so that the rewrite does not replace the user's settings with defaults.
ConfigurationRead readConfiguration(const std::string& path) {
  ConfigurationRead read;
  struct stat st;
  if (stat(path.c_str(), &st) != 0) {
    if (errno == ENOENT) return read;
    unreadable(path, std::strerror(errno));
  }
  if (S_ISDIR(st.st_mode)) unreadable(path, "it is a directory");
  // A pipe would block the run; a device is no file of settings.
  if (!S_ISREG(st.st_mode)) unreadable(path, "it is not a regular file");
  if (st.st_size == 0) return read;
  if (st.st_size > kMaxConfigurationBytes)
    unreadable(path, "a file of " + std::to_string(st.st_size >> 20) + " MB is no configuration");
  // Checked first because the storage logs its own message for a file it cannot open.
  if (FILE* probe = std::fopen(path.c_str(), "rb")) {
    const int depth = nestingDepth(probe);
    std::fclose(probe);
    if (depth < 0) unreadable(path, "it holds NUL bytes, so it is no text file of settings");
    if (depth > kMaxNesting)
      unreadable(path, "nested deeper than " + std::to_string(kMaxNesting) + " levels");
  } else {
    unreadable(path, std::strerror(errno));
  }
  // The storage's own parser crashes on some malformed headers; it sees only well-formed
  // XML of its own kind.
  if (!xmlFileHasRoot(path, "opencv_storage")) unreadable(path, "not a valid file storage");
  try {
    cv::FileStorage fs(path, cv::FileStorage::READ);
    if (!fs.isOpened()) unreadable(path, "not a valid file storage");
    WrongKinds wrong;
    readSettings(fs, read.settings, wrong);
    // A typing slip must not change the run, nor be stored for good by the rewrite.
    if (!wrong.empty())
      throw Error(Error::Kind::kSettings, "Invalid settings in '" + path +
                                              "': " + wrong.front().first + " is not a number.");
  } catch (const cv::Exception& e) {
    unreadable(path, describe(e));
  }
  return read;
}

namespace {

std::string formatSettings(const std::string& path, const PresentationSettings& s) {
  const cv::Mat& boardPoints = s.boardPoints;
  // Written to memory; the target's name chooses the format, as it would for the file.
  cv::FileStorage fs(path, cv::FileStorage::WRITE | cv::FileStorage::MEMORY);
  fs << "Presentation"
     << "{";
  fs << "presentWidth" << s.presentWidth << "presentHeight" << s.presentHeight;
  fs << "boardDetLow" << s.boardDetLow << "boardDetHigh" << s.boardDetHigh;
  fs << "presentDetCount" << s.presentDetCount;
  if (!boardPoints.empty()) fs << "boardPoints" << boardPoints;
  fs << "boardChoice" << s.boardChoice << "boardMinContrast" << s.boardMinContrast;
  fs << "}";
  fs << "SlideDetection"
     << "{";
  fs << "slideFrameStep" << s.slideFrameStep << "slideDetWidth" << s.slideDetWidth;
  fs << "slideDetHeight" << s.slideDetHeight << "slideDiffBuff" << s.slideDiffBuff;
  fs << "slideDiffThresh" << static_cast<double>(s.slideDiffThresh);
  fs << "slideDistrThresh" << static_cast<double>(s.slideDistrThresh);
  fs << "slideStepSeconds" << static_cast<double>(s.slideStepSeconds);
  fs << "slideDetMethod" << s.slideDetMethod << "slideChangeThresh" << s.slideChangeThresh;
  fs << "slideCellSize" << s.slideCellSize << "slideChangeCells" << s.slideChangeCells;
  fs << "slideChangePersist" << s.slideChangePersist;
  fs << "slideFillFromOriginal" << s.slideFillFromOriginal;
  fs << "slideChangeBeside" << static_cast<double>(s.slideChangeBeside);
  fs << "slideChangeUncovered" << s.slideChangeUncovered;
  fs << "slidePictureUncovered" << s.slidePictureUncovered;
  fs << "slideHoleSettle" << s.slideHoleSettle;
  fs << "slideBesideOverMask" << s.slideBesideOverMask;
  fs << "slideSpeakerFromOriginal" << s.slideSpeakerFromOriginal;
  fs << "slidePictureSpeaker" << s.slidePictureSpeaker;
  fs << "slidePictureFaint" << s.slidePictureFaint;
  fs << "slideJoinSame" << s.slideJoinSame;
  fs << "slideJoinLooks" << s.slideJoinLooks;
  fs << "slideConfirmMoving" << s.slideConfirmMoving;
  fs << "slideBesideWide" << s.slideBesideWide;
  fs << "slideTintUpper" << s.slideTintUpper;
  fs << "slideBesideSwallowed" << s.slideBesideSwallowed;
  fs << "slideConfirmFresh" << s.slideConfirmFresh;
  fs << "slideMaskText" << s.slideMaskText;
  fs << "slideStartSettled" << s.slideStartSettled;
  fs << "slidePictureArms" << s.slidePictureArms;
  fs << "slideInkShape" << s.slideInkShape;
  fs << "slideJoinBoth" << s.slideJoinBoth;
  fs << "slideRestartLines" << s.slideRestartLines;
  fs << "slidePictureArmParts" << s.slidePictureArmParts;
  fs << "slideConfirmUnmoved" << s.slideConfirmUnmoved;
  fs << "slidePictureHeldBack" << s.slidePictureHeldBack;
  fs << "slideFrontGone" << s.slideFrontGone;
  fs << "slideJoinText" << s.slideJoinText;
  fs << "slideStartStanding" << s.slideStartStanding;
  fs << "}";
  fs << "LocalFeatures"
     << "{";
  fs << "locWndOverlap" << static_cast<double>(s.locWndOverlap) << "locWndSize" << s.locWndSize;
  fs << "gradBinSize" << s.gradBinSize << "localWidth" << s.localWidth;
  fs << "localHeight" << s.localHeight << "matchLimit" << static_cast<double>(s.matchLimit);
  fs << "matchMethod" << s.matchMethod << "matchMargin" << static_cast<double>(s.matchMargin);
  fs << "matchFit" << static_cast<double>(s.matchFit);
  fs << "matchJumpMargin" << static_cast<double>(s.matchJumpMargin);
  fs << "matchUnexplained" << static_cast<double>(s.matchUnexplained);
  fs << "matchChangeDistance" << static_cast<double>(s.matchChangeDistance);
  fs << "matchWithdraw" << s.matchWithdraw;
  fs << "matchJoinSame" << s.matchJoinSame;
  fs << "matchFitDrop" << static_cast<double>(s.matchFitDrop);
  fs << "matchJoinContent" << s.matchJoinContent;
  fs << "matchJoinRefused" << s.matchJoinRefused;
  fs << "matchQuietMargin" << static_cast<double>(s.matchQuietMargin);
  fs << "matchLeanFrames" << s.matchLeanFrames;
  fs << "matchDropJump" << s.matchDropJump;
  fs << "matchJoinMargin" << static_cast<double>(s.matchJoinMargin);
  fs << "matchDropRepeat" << s.matchDropRepeat;
  fs << "}";
  return fs.releaseAndGetString();
}

}  // namespace

// Written beside the target and renamed over it, so the file is either the old one or the
// complete new one, never a torn mix.
void writeConfiguration(const std::string& path, const PresentationSettings& s) {
  std::string text;
  try {
    text = formatSettings(path, s);
  } catch (const cv::Exception&) {
    throw Error(Error::Kind::kOutput,
                "Cannot save the configuration file '" + path + "': no format for its name.");
  }
  replaceFileWithText(path, "the configuration file", text);
}

}  // namespace slidetrack
