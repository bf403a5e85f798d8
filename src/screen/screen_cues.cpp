#include "screen/screen_cues.h"

#include <algorithm>
#include <cmath>

#include <opencv2/imgproc.hpp>

namespace slidetrack {

namespace {

// The median ratio of still to sample over a grid of pixels lit enough to tell.
double gainTo(const cv::Mat& still, const cv::Mat& sample) {
  std::vector<float> ratios;
  for (int y = 0; y < still.rows; y += 4)
    for (int x = 0; x < still.cols; x += 4) {
      const int s = sample.at<uchar>(y, x), t = still.at<uchar>(y, x);
      if (s >= 40 && t >= 40 && s < 250 && t < 250) ratios.push_back(float(t) / float(s));
    }
  if (ratios.size() < 16) return 1.0;
  std::nth_element(ratios.begin(), ratios.begin() + long(ratios.size() / 2), ratios.end());
  return ratios[ratios.size() / 2];
}

}  // namespace

cv::Mat screenStillOf(const std::vector<cv::Mat>& samples) {
  const int n = int(samples.size());
  const cv::Size size = samples[0].size();
  cv::Mat result(size, CV_8UC1);
  std::vector<const uchar*> rows(size_t(n), nullptr);
  std::vector<uchar> values(static_cast<size_t>(n));
  for (int y = 0; y < size.height; ++y) {
    for (int i = 0; i < n; ++i) rows[size_t(i)] = samples[size_t(i)].ptr<uchar>(y);
    uchar* still = result.ptr<uchar>(y);
    for (int x = 0; x < size.width; ++x) {
      for (int i = 0; i < n; ++i) values[size_t(i)] = rows[size_t(i)][x];
      std::nth_element(values.begin(), values.begin() + n / 2, values.end());
      still[x] = values[size_t(n / 2)];
    }
  }
  return result;
}

ScreenCues screenCuesOf(const std::vector<cv::Mat>& samples) {
  const cv::Size size = samples[0].size();
  ScreenCues cues;
  cues.still = screenStillOf(samples);
  // A camera's automatic exposure brightens or darkens whole samples: each is brought to
  // the still picture's exposure, so that only what moved or was shown changes.
  for (const cv::Mat& sample : samples) {
    const double gain = gainTo(cues.still, sample);
    if (std::fabs(gain - 1.0) < 0.01) {
      cues.samples.push_back(sample);
    } else {
      cues.samples.emplace_back();
      sample.convertTo(cues.samples.back(), CV_8U, gain);
    }
  }
  // A camera that shakes by a pixel moves every edge of the room: a sample
  // changes only where it leaves the range of the still picture around the same place.
  cv::Mat low, high, over, under;
  const cv::Mat around = cv::getStructuringElement(cv::MORPH_RECT, cv::Size(3, 3));
  cv::erode(cues.still, low, around);
  cv::dilate(cues.still, high, around);
  cues.change = cv::Mat::zeros(size, CV_8UC1);
  for (const cv::Mat& sample : cues.samples) {
    cv::subtract(sample, high, over);  // saturates at 0
    cv::subtract(low, sample, under);
    cues.changes.push_back(cv::max(over, under));
    cues.change = cv::max(cues.change, cues.changes.back());
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
