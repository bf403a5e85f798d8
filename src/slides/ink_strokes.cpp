#include "slides/ink_strokes.h"

#include <opencv2/imgproc.hpp>

namespace slidetrack {

namespace {

// HSV saturation (0..255) of pen ink, also where a stroke's edge blends into a light slide.
constexpr int kInkSaturation = 77;

}  // namespace

void inkStrokes(const cv::Mat& screenBgr, const cv::Mat& newPixels, cv::Mat& strokes) {
  // Filled areas (a highlighted bar, a picture) are not strokes, even in a strong colour.
  cv::Mat thick, small, hsv, saturated;
  cv::morphologyEx(newPixels, thick, cv::MORPH_OPEN,
                   cv::getStructuringElement(cv::MORPH_RECT, cv::Size(5, 5)));
  cv::bitwise_and(newPixels, ~thick, strokes);
  cv::resize(screenBgr, small, newPixels.size(), 0, 0, cv::INTER_AREA);
  cv::cvtColor(small, hsv, cv::COLOR_BGR2HSV);
  cv::extractChannel(hsv, saturated, 1);
  cv::threshold(saturated, saturated, kInkSaturation - 1, 255, cv::THRESH_BINARY);
  cv::bitwise_and(strokes, saturated, strokes);
}

}  // namespace slidetrack
