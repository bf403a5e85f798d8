#include "screen/screen_cues.h"

#include <algorithm>

#include <opencv2/imgproc.hpp>

namespace slidetrack {

ScreenCues screenCuesOf(const std::vector<cv::Mat>& samples) {
  const int n = int(samples.size());
  const cv::Size size = samples[0].size();
  ScreenCues cues;
  cues.still.create(size, CV_8UC1);
  std::vector<const uchar*> rows(size_t(n), nullptr);
  std::vector<uchar> values(static_cast<size_t>(n));
  for (int y = 0; y < size.height; ++y) {
    for (int i = 0; i < n; ++i) rows[size_t(i)] = samples[size_t(i)].ptr<uchar>(y);
    uchar* still = cues.still.ptr<uchar>(y);
    for (int x = 0; x < size.width; ++x) {
      for (int i = 0; i < n; ++i) values[size_t(i)] = rows[size_t(i)][x];
      std::nth_element(values.begin(), values.begin() + n / 2, values.end());
      still[x] = values[size_t(n / 2)];
    }
  }
  // A camera that shakes by a pixel moves every edge of the room: a sample
  // changes only where it leaves the range of the still picture around the same place.
  cv::Mat low, high, over, under;
  const cv::Mat around = cv::getStructuringElement(cv::MORPH_RECT, cv::Size(3, 3));
  cv::erode(cues.still, low, around);
  cv::dilate(cues.still, high, around);
  cues.change = cv::Mat::zeros(size, CV_8UC1);
  for (const cv::Mat& sample : samples) {
    cv::subtract(sample, high, over);  // saturates at 0
    cv::subtract(low, sample, under);
    cues.change = cv::max(cues.change, cv::max(over, under));
  }
  return cues;
}

std::vector<cv::Mat> screenCuesShrink(const std::vector<cv::Mat>& samples, int maxWidth,
                                      double* scale) {
  const int width = samples.empty() ? 0 : samples[0].cols;
  *scale = width > maxWidth ? double(maxWidth) / width : 1.0;
  std::vector<cv::Mat> out;
  for (const cv::Mat& s : samples) {
    cv::Mat small;
    if (*scale < 1.0)
      cv::resize(s, small, cv::Size(), *scale, *scale, cv::INTER_AREA);
    else
      small = s;
    out.push_back(small);
  }
  return out;
}

}  // namespace slidetrack
