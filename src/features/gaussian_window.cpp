#include "features/gaussian_window.h"

#include <algorithm>
#include <cmath>

#include <opencv2/imgproc.hpp>

namespace slidetrack {

std::unique_ptr<GaussianWindowWeight> gaussianWindowWeightCreate(int size) {
  size = std::max(size, 1);
  auto weight = std::make_unique<GaussianWindowWeight>();
  weight->size = size;
  weight->mask = cv::Mat::zeros(size, size, CV_32FC1);
  weight->scratch.create(size, size, CV_32FC1);
  weight->mask.at<float>(size / 2, size / 2) = 1.0f;
  const double sigma = static_cast<double>(size) / (8.0 * std::sqrt(2.0));
  // Gaussian kernels must be odd; an even window takes the next odd kernel so the
  // bell still peaks at the centre element instead of failing.
  const int kernel = size | 1;
  cv::GaussianBlur(weight->mask, weight->mask, cv::Size(kernel, kernel), sigma, sigma,
                   cv::BORDER_REPLICATE);
  // The same blur of a one-dimensional impulse: the mask's first pass, before the second.
  cv::Mat line = cv::Mat::zeros(1, size, CV_32FC1);
  line.at<float>(size / 2) = 1.0f;
  cv::GaussianBlur(line, line, cv::Size(kernel, 1), sigma, 0.0, cv::BORDER_REPLICATE);
  weight->profile.assign(line.begin<float>(), line.end<float>());
  return weight;
}

}  // namespace slidetrack
