#include "features/nearest_sources.h"

#include <opencv2/imgproc.hpp>

namespace slidetrack {

// Taken from the library itself by resizing the indices.
std::vector<int> nearestSources(int from, int to, bool columns) {
  cv::Mat index(columns ? 1 : from, columns ? from : 1, CV_32SC1);
  for (int i = 0; i < from; ++i) index.at<int>(i) = i;
  cv::Mat mapped;
  cv::resize(index, mapped, columns ? cv::Size(to, 1) : cv::Size(1, to), 0, 0, cv::INTER_NEAREST);
  return std::vector<int>(mapped.begin<int>(), mapped.end<int>());
}

}  // namespace slidetrack
