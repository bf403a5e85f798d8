#include "screen/presentation_settings.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>
#include <utility>
#include <vector>

#include <opencv2/imgproc.hpp>

#include "results/atomic_file.h"
#include "screen/presentation_localize.h"
#include "video/video_source.h"

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

// A value that is not text reads as no name, which the run's checks refuse by the key.
void readText(const cv::FileNode& section, const char* key, std::string* field) {
  cv::FileNode node = keyOf(section, key);
  if (!node.empty()) *field = node.isString() ? node.string() : std::string();
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

void readSettings(const cv::FileStorage& fs, PresentationSettings& s, cv::Mat* boardPoints,
                  WrongKinds& w) {
  cv::FileNode presentation = sectionOf(fs, "Presentation");
  readInt(presentation, "presentWidth", &s.presentWidth, w);
  readInt(presentation, "presentHeight", &s.presentHeight, w);
  readInt(presentation, "boardDetLow", &s.boardDetLow, w);
  readInt(presentation, "boardDetHigh", &s.boardDetHigh, w);
  readInt(presentation, "presentDetCount", &s.presentDetCount, w);
  *boardPoints = readBoardPoints(keyOf(presentation, "boardPoints"));

  cv::FileNode slides = sectionOf(fs, "SlideDetection");
  readInt(slides, "slideFrameStep", &s.slideFrameStep, w);
  readInt(slides, "slideDiffBuff", &s.slideDiffBuff, w);
  readInt(slides, "slideDetWidth", &s.slideDetWidth, w);
  readInt(slides, "slideDetHeight", &s.slideDetHeight, w);
  readReal(slides, "slideDiffThresh", &s.slideDiffThresh, w);
  readReal(slides, "slideDistrThresh", &s.slideDistrThresh, w);

  cv::FileNode local = sectionOf(fs, "LocalFeatures");
  readReal(local, "locWndOverlap", &s.locWndOverlap, w);
  readInt(local, "locWndSize", &s.locWndSize, w);
  readInt(local, "gradBinSize", &s.gradBinSize, w);
  readInt(local, "localWidth", &s.localWidth, w);
  readInt(local, "localHeight", &s.localHeight, w);
  readReal(local, "matchLimit", &s.matchLimit, w);
  readText(local, "matchMethod", &s.matchMethod);
  readReal(local, "matchMargin", &s.matchMargin, w);
  readReal(local, "matchFit", &s.matchFit, w);
}

std::string describe(const cv::Exception& e) {
  std::string cause = "not a valid file storage (" + e.err;
  if (!e.func.empty()) cause += ", " + e.func;
  cause += ")";
  for (char& c : cause)
    if (c == '\n' || c == '\r') c = ' ';
  return cause;
}

// A missing or empty file gives the defaults. A file that is there but cannot be read or
// parsed is an error, so that the rewrite does not replace the user's settings with defaults.
bool readConfiguration(const std::string& path, PresentationSettings& s, cv::Mat* boardPoints,
                       std::string* cause) {
  struct stat st;
  if (stat(path.c_str(), &st) != 0) {
    if (errno == ENOENT) return true;
    *cause = std::strerror(errno);
    return false;
  }
  if (S_ISDIR(st.st_mode)) {
    *cause = "it is a directory";
    return false;
  }
  if (S_ISREG(st.st_mode) && st.st_size == 0) return true;
  // Checked first because the storage logs its own message for a file it cannot open.
  if (FILE* probe = std::fopen(path.c_str(), "rb")) {
    std::fclose(probe);
  } else {
    *cause = std::strerror(errno);
    return false;
  }
  try {
    cv::FileStorage fs(path, cv::FileStorage::READ);
    if (!fs.isOpened()) {
      *cause = "not a valid file storage";
      return false;
    }
    WrongKinds wrong;
    readSettings(fs, s, boardPoints, wrong);
    // A typing slip would otherwise change the run without a word.
    for (const auto& [key, value] : wrong)
      std::fprintf(stderr, "Warning: '%s' in '%s' is not a number; it is read as %s.\n",
                   key.c_str(), path.c_str(), value.c_str());
  } catch (const cv::Exception& e) {
    *cause = describe(e);
    return false;
  }
  return true;
}

std::string formatSettings(const std::string& path, const PresentationSettings& s,
                           const cv::Mat& boardPoints) {
  // Written to memory; the target's name chooses the format, as it would for the file.
  cv::FileStorage fs(path, cv::FileStorage::WRITE | cv::FileStorage::MEMORY);
  fs << "Presentation"
     << "{";
  fs << "presentWidth" << s.presentWidth << "presentHeight" << s.presentHeight;
  fs << "boardDetLow" << s.boardDetLow << "boardDetHigh" << s.boardDetHigh;
  fs << "presentDetCount" << s.presentDetCount;
  if (!boardPoints.empty()) fs << "boardPoints" << boardPoints;
  fs << "}";
  fs << "SlideDetection"
     << "{";
  fs << "slideFrameStep" << s.slideFrameStep << "slideDetWidth" << s.slideDetWidth;
  fs << "slideDetHeight" << s.slideDetHeight << "slideDiffBuff" << s.slideDiffBuff;
  fs << "slideDiffThresh" << static_cast<double>(s.slideDiffThresh);
  fs << "slideDistrThresh" << static_cast<double>(s.slideDistrThresh);
  fs << "}";
  fs << "LocalFeatures"
     << "{";
  fs << "locWndOverlap" << static_cast<double>(s.locWndOverlap) << "locWndSize" << s.locWndSize;
  fs << "gradBinSize" << s.gradBinSize << "localWidth" << s.localWidth;
  fs << "localHeight" << s.localHeight << "matchLimit" << static_cast<double>(s.matchLimit);
  fs << "matchMethod" << s.matchMethod << "matchMargin" << static_cast<double>(s.matchMargin);
  fs << "matchFit" << static_cast<double>(s.matchFit);
  fs << "}";
  return fs.releaseAndGetString();
}

// Written beside the target and renamed over it, so the file is either the old one or the
// complete new one, never a torn mix.
bool writeConfiguration(const std::string& path, const PresentationSettings& s,
                        const cv::Mat& boardPoints) {
  try {
    return replaceFileWithText(path, formatSettings(path, s, boardPoints));
  } catch (const cv::Exception&) {
    return false;
  }
}

}  // namespace

cv::Mat perspectiveFromCorners(const cv::Mat& boardPoints, int presentWidth, int presentHeight) {
  if (boardPoints.type() != CV_32FC2 || boardPoints.total() != 4) return cv::Mat();
  cv::Mat points = boardPoints.isContinuous() ? boardPoints : boardPoints.clone();
  const cv::Point2f* c = points.ptr<cv::Point2f>();
  const float w = static_cast<float>(presentWidth), h = static_cast<float>(presentHeight);
  cv::Point2f from[4] = {c[0], c[1], c[2], c[3]};
  cv::Point2f to[4] = {{0.f, 0.f}, {w, 0.f}, {w, h}, {0.f, h}};
  cv::Mat matrix;
  cv::getPerspectiveTransform(from, to).convertTo(matrix, CV_32FC1);
  return matrix;
}

std::unique_ptr<PresentationSettings> presentationSettingsLoad(
    std::unique_ptr<PresentationSettings> settings, const std::string& path, VideoSource* video,
    const SampleViewer& viewer, std::string* error) {
  if (error) error->clear();
  if (path.empty()) return settings;
  if (!settings) settings = std::make_unique<PresentationSettings>();
  // Every field is taken from the file or from its default, never from the record passed in.
  *settings = PresentationSettings();

  cv::Mat boardPoints;
  std::string cause;
  if (!readConfiguration(path, *settings, &boardPoints, &cause)) {
    if (error) *error = "Cannot read configuration file '" + path + "': " + cause;
    return nullptr;
  }
  if (boardPoints.empty() && video && videoSourceIsOpen(video)) {
    // The run then visits every slideFrameStep-th frame of the same file: the ones the
    // search decodes on its way are kept for it.
    videoSourceKeepFrames(video, settings->slideFrameStep);
    boardPoints = presentationLocalize(video, settings->presentDetCount, settings->boardDetLow,
                                       settings->boardDetHigh, viewer);
  }
  // An unwritable file costs only the saved corners; the run still needs the matrix.
  writeConfiguration(path, *settings, boardPoints);
  if (!boardPoints.empty()) {
    settings->perspectiveMatrix =
        perspectiveFromCorners(boardPoints, settings->presentWidth, settings->presentHeight);
  }
  return settings;
}

void presentationSettingsRelease(std::unique_ptr<PresentationSettings>& settings) {
  settings.reset();
}

}  // namespace slidetrack
