// Drawn slides for the synthetic lectures: each index gets its own layout, words and figure.

#include <algorithm>
#include <random>
#include <string>

#include <opencv2/imgproc.hpp>

#include "lecture_scene.h"

namespace {

const char* const kWords[] = {
    "video",    "lecture",  "screen",   "slide",  "model",     "signal", "energy", "matrix",
    "vector",   "gradient", "network",  "theory", "example",   "result", "method", "camera",
    "geometry", "light",    "sample",   "filter", "histogram", "edge",   "corner", "motion",
    "data",     "error",    "learning", "kernel", "function",  "space",  "time",   "proof",
    "graph",    "tree",     "search",   "speed",  "memory",    "system", "design", "test"};
constexpr int kWordCount = sizeof(kWords) / sizeof(kWords[0]);

const cv::Scalar kTitleColours[] = {{150, 70, 20},  {40, 110, 30}, {30, 40, 160}, {120, 40, 110},
                                    {20, 110, 150}, {90, 90, 90},  {160, 100, 40}};
const cv::Scalar kFigureColours[] = {
    {40, 60, 200}, {200, 120, 30}, {40, 160, 60}, {160, 60, 160}, {30, 170, 200}};

std::string words(std::mt19937& rng, int count) {
  std::string text;
  for (int i = 0; i < count; ++i) {
    if (i) text += ' ';
    text += kWords[rng() % kWordCount];
  }
  return text;
}

void drawBarChart(cv::Mat& slide, cv::Rect area, std::mt19937& rng, double scale) {
  const int bars = 3 + rng() % 4;
  const int gap = area.width / (bars * 3 + 1);
  const int barWidth = 2 * gap;
  const int axis = std::max(2, int(3 * scale));
  cv::line(slide, area.tl() + cv::Point(0, area.height), area.br(), cv::Scalar(30, 30, 30), axis);
  cv::line(slide, area.tl(), area.tl() + cv::Point(0, area.height), cv::Scalar(30, 30, 30), axis);
  for (int b = 0; b < bars; ++b) {
    const int h = area.height * (20 + int(rng() % 80)) / 100;
    const int x = area.x + gap + b * (barWidth + gap);
    cv::rectangle(slide, cv::Rect(x, area.y + area.height - h, barWidth, h),
                  kFigureColours[(b + rng()) % 5], cv::FILLED);
  }
}

void drawPie(cv::Mat& slide, cv::Rect area, std::mt19937& rng) {
  const cv::Point centre(area.x + area.width / 2, area.y + area.height / 2);
  const int radius = std::min(area.width, area.height) / 2 - 4;
  double start = 0;
  const int parts = 3 + rng() % 3;
  for (int p = 0; p < parts; ++p) {
    const double end = p + 1 == parts ? 360 : start + 40 + rng() % 100;
    cv::ellipse(slide, centre, cv::Size(radius, radius), -90, start, std::min(end, 360.0),
                kFigureColours[p % 5], cv::FILLED, cv::LINE_AA);
    start = end;
    if (start >= 360) break;
  }
  cv::circle(slide, centre, radius, cv::Scalar(40, 40, 40), 2, cv::LINE_AA);
}

void drawBoxes(cv::Mat& slide, cv::Rect area, std::mt19937& rng, double scale) {
  // A small block diagram: boxes joined by arrows.
  const int boxes = 2 + rng() % 3;
  const int boxHeight = area.height / (2 * boxes - 1);
  const int thickness = std::max(2, int(3 * scale));
  for (int b = 0; b < boxes; ++b) {
    const int inset = (rng() % 4) * area.width / 10;
    cv::Rect box(area.x + inset / 2, area.y + 2 * b * boxHeight, area.width - inset, boxHeight);
    cv::rectangle(slide, box, kFigureColours[(b + 2) % 5], cv::FILLED);
    cv::rectangle(slide, box, cv::Scalar(30, 30, 30), thickness);
    if (b + 1 < boxes) {
      const cv::Point from(box.x + box.width / 2, box.y + box.height);
      cv::arrowedLine(slide, from, from + cv::Point(0, boxHeight), cv::Scalar(30, 30, 30),
                      thickness, cv::LINE_AA, 0, 0.3);
    }
  }
}

}  // namespace

cv::Mat drawSlide(int index, cv::Size size) {
  std::mt19937 rng(0x5eed0000u + unsigned(index) * 7919u);
  const double scale = size.width / 1024.0;
  const int w = size.width, h = size.height;
  const int tint = int(rng() % 12);
  cv::Mat slide(size, CV_8UC3, cv::Scalar(245 - tint, 246, 240 + tint / 2));

  // Title bar with its text.
  const int titleHeight = h * (12 + int(unsigned(index) % 3u) * 2) / 100;
  const int colours = sizeof(kTitleColours) / sizeof(kTitleColours[0]);
  cv::rectangle(slide, cv::Rect(0, 0, w, titleHeight),
                kTitleColours[(unsigned(index) * 3u) % colours], cv::FILLED);
  const std::string title = "Slide " + std::to_string(index) + ": " + words(rng, 2);
  cv::putText(slide, title, cv::Point(int(30 * scale), titleHeight * 2 / 3),
              cv::FONT_HERSHEY_DUPLEX, 1.4 * scale, cv::Scalar(255, 255, 255),
              std::max(1, int(2 * scale)), cv::LINE_AA);

  // Three layouts in turn, so neighbouring slides differ everywhere, not only in the text.
  const int layout = int(unsigned(index) % 3u);
  const int margin = int(40 * scale);
  const int top = titleHeight + margin;
  cv::Rect textArea, figureArea;
  if (layout == 0) {  // text left, figure right
    textArea = cv::Rect(margin, top, w * 55 / 100, h - top - margin);
    figureArea = cv::Rect(w * 62 / 100, top + margin, w * 33 / 100, h - top - 3 * margin);
  } else if (layout == 1) {  // figure left, text right
    figureArea = cv::Rect(margin, top + margin / 2, w * 35 / 100, h - top - 2 * margin);
    textArea = cv::Rect(w * 43 / 100, top, w * 54 / 100, h - top - margin);
  } else {  // text on top, wide figure below
    textArea = cv::Rect(margin, top, w - 2 * margin, (h - top) * 45 / 100);
    figureArea = cv::Rect(w * 15 / 100, top + textArea.height + margin / 2, w * 70 / 100,
                          h - top - textArea.height - 2 * margin);
  }

  const int lines = 4 + int(rng() % 4);
  const int spacing = std::max(1, textArea.height / lines);
  const double fontScale = std::min(1.1 * scale, spacing / 40.0);
  const int thickness = std::max(1, int(2 * scale));
  for (int l = 0; l < lines; ++l) {
    const int y = textArea.y + l * spacing + spacing * 2 / 3;
    const bool sub = l > 0 && rng() % 3 == 0;
    const int x = textArea.x + (sub ? int(40 * scale) : 0);
    cv::circle(slide, cv::Point(x + int(8 * scale), y - int(8 * scale)),
               std::max(2, int(6 * scale)), cv::Scalar(40, 40, 40), cv::FILLED, cv::LINE_AA);
    std::string text = words(rng, 2 + rng() % 4);
    // Long lines are cut to the text area so the figure stays clear.
    int baseline = 0;
    while (text.size() > 4 &&
           cv::getTextSize(text, cv::FONT_HERSHEY_SIMPLEX, fontScale, thickness, &baseline).width >
               textArea.width - (x - textArea.x) - 30 * scale)
      text.pop_back();
    cv::putText(slide, text, cv::Point(x + int(26 * scale), y), cv::FONT_HERSHEY_SIMPLEX, fontScale,
                cv::Scalar(30, 30, 30), thickness, cv::LINE_AA);
  }

  switch ((unsigned(index) / 3u + unsigned(index)) % 3u) {
    case 0:
      drawBarChart(slide, figureArea, rng, scale);
      break;
    case 1:
      drawPie(slide, figureArea, rng);
      break;
    default:
      drawBoxes(slide, figureArea, rng, scale);
      break;
  }
  return slide;
}
