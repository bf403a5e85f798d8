#include <cmath>
#include <cstdio>
#include <string>

#include <opencv2/imgproc.hpp>

#include "matching/original_library.h"

namespace slidetrack {

cv::Mat progressWindowShow(const char* label, double fraction, int height, int width) {
  if (height < 1 || width < 1) return cv::Mat();
  cv::Mat picture(height, width, CV_8UC3);
  const cv::Point topLeft(0, 0);
  const cv::Point bottomRight(width - 1, height - 1);
  cv::rectangle(picture, topLeft, bottomRight, cv::Scalar(100, 20, 20), cv::FILLED, cv::LINE_8);
  const int barEnd = static_cast<int>(std::floor(width * fraction));
  cv::rectangle(picture, topLeft, cv::Point(barEnd, height - 1), cv::Scalar(200, 70, 70),
                cv::FILLED, cv::LINE_8);
  cv::rectangle(picture, topLeft, bottomRight, cv::Scalar(200, 200, 200), 2, cv::LINE_8);

  // snprintf with a size bound: the label comes from the caller.
  const char* text = label ? label : "";
  const int length = std::snprintf(nullptr, 0, "%s%.2f%%", text, fraction * 100.0);
  std::string caption(length > 0 ? length : 0, '\0');
  std::snprintf(&caption[0], caption.size() + 1, "%s%.2f%%", text, fraction * 100.0);

  const int font = cv::FONT_HERSHEY_SIMPLEX;
  const double scale = 0.7;
  int baseline = 0;
  const cv::Size textSize = cv::getTextSize(caption, font, scale, 1, &baseline);
  const cv::Point origin((width - textSize.width) / 2, (height + textSize.height) / 2);
  cv::putText(picture, caption, origin, font, scale, cv::Scalar(250, 190, 190), 1, cv::LINE_AA);
  return picture;
}

}  // namespace slidetrack
