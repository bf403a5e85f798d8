// Reads what the lecture generator knows and what a run stored about the screen.

#include "ground_truth.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>

#include "results/results_xml.h"

using namespace slidetrack;

namespace {

// Splits one CSV line of plain numbers; false when a field is not a number.
bool parseNumbers(const std::string& line, std::vector<double>* values) {
  values->clear();
  std::stringstream in(line);
  for (std::string field; std::getline(in, field, ',');) {
    char* end = nullptr;
    const double v = std::strtod(field.c_str(), &end);
    if (field.empty() || *end != '\0') return false;
    values->push_back(v);
  }
  return true;
}

Quad quadAt(const std::vector<double>& v, size_t first) {
  Quad q;
  for (size_t i = 0; i < 4; ++i)
    q[i] = cv::Point2f(float(v[first + 2 * i]), float(v[first + 2 * i + 1]));
  return q;
}

}  // namespace

std::vector<TruthFrame> loadTruthCsv(const std::string& path, std::string* error) {
  std::ifstream in(path);
  std::string line;
  if (!in || !std::getline(in, line)) {
    *error = "cannot read " + path;
    return {};
  }
  std::vector<TruthFrame> frames;
  std::vector<double> v;
  for (int row = 2; std::getline(in, line); ++row) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty()) continue;
    // frame, slide, 8 area coordinates, optionally 8 screen-frame coordinates, then
    // in_originals and 6 speaker numbers.
    if (!parseNumbers(line, &v) || (v.size() != 10 && v.size() != 18 && v.size() != 25) ||
        int(v[0]) != int(frames.size())) {
      *error = path + ":" + std::to_string(row) + ": malformed row";
      return {};
    }
    TruthFrame f;
    f.slide = int(v[1]);
    f.area = quadAt(v, 2);
    f.frame = v.size() >= 18 ? quadAt(v, 10) : f.area;
    if (v.size() == 25) {
      f.inOriginals = v[18] != 0;
      f.speaker.present = v[19] != 0;
      f.speaker.x = float(v[20]);
      f.speaker.footY = float(v[21]);
      f.speaker.height = float(v[22]);
      f.speaker.arm = float(v[23]);
      f.speaker.stride = float(v[24]);
    }
    frames.push_back(f);
  }
  if (frames.empty()) *error = path + ": no frames";
  return frames;
}

std::map<int, int> loadOriginalSlideIndices(const std::string& path, std::string* error) {
  std::map<int, int> indices;
  const std::unique_ptr<SlideList> list = slidesLoadFromXml(nullptr, path.c_str());
  if (!list) {
    *error = "cannot read originals " + path;
    return indices;
  }
  static const std::regex kName("slide_([0-9]+)\\.[A-Za-z]+");
  for (const SlideRecord& r : list->slides) {
    std::smatch m;
    const std::string name = r.src ? std::filesystem::path(*r.src).filename().string() : "";
    if (std::regex_match(name, m, kName)) indices[r.id] = std::atoi(m[1].str().c_str());
  }
  if (indices.empty()) *error = path + ": no original named slide_N";
  return indices;
}

std::optional<Quad> loadBoardPoints(const std::string& configPath) {
  try {
    cv::FileStorage fs(configPath, cv::FileStorage::READ);
    if (!fs.isOpened()) return std::nullopt;
    cv::Mat points;
    fs["Presentation"]["boardPoints"] >> points;
    if (points.type() != CV_32FC2 || points.total() != 4) return std::nullopt;
    Quad q;
    for (int i = 0; i < 4; ++i) q[i] = points.reshape(2, 1).at<cv::Point2f>(i);
    return q;
  } catch (const cv::Exception&) {
    return std::nullopt;  // a damaged file holds no corners we can trust
  }
}

cv::Size loadPresentSize(const std::string& configPath) {
  cv::Size size(640, 480);
  try {
    cv::FileStorage fs(configPath, cv::FileStorage::READ);
    if (!fs.isOpened()) return size;
    const cv::FileNode w = fs["Presentation"]["presentWidth"],
                       h = fs["Presentation"]["presentHeight"];
    if (!w.empty() && w.isInt() && int(w) > 0) size.width = int(w);
    if (!h.empty() && h.isInt() && int(h) > 0) size.height = int(h);
  } catch (const cv::Exception&) {
  }
  return size;
}

int loadFrameStep(const std::string& configPath) {
  try {
    cv::FileStorage fs(configPath, cv::FileStorage::READ);
    const cv::FileNode step =
        fs.isOpened() ? fs["SlideDetection"]["slideFrameStep"] : cv::FileNode();
    return !step.empty() && step.isInt() && int(step) > 0 ? int(step) : 25;
  } catch (const cv::Exception&) {
    return 25;
  }
}

double parseFrameRate(const std::string& text) {
  char* end = nullptr;
  const double num = std::strtod(text.c_str(), &end);
  double den = 1;
  if (*end == '/') {
    const char* start = end + 1;
    den = std::strtod(start, &end);
    if (end == start) return 0;
  }
  if (end == text.c_str() || *end != '\0' || !(num > 0) || !(den > 0)) return 0;
  return num / den;
}
