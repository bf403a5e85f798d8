#include "app/nearest_resize.h"

#include <cstring>

#include <opencv2/imgproc.hpp>

#include "features/nearest_sources.h"

namespace slidetrack {

void nearestResize(NearestResize& plan, const cv::Mat& from, cv::Mat& to, cv::Size size) {
  if (from.type() != CV_8UC1 || from.empty() || size.empty()) {
    cv::resize(from, to, size, 0, 0, cv::INTER_NEAREST);
    return;
  }
  if (plan.from != from.size() || plan.to != size) {
    plan.rows = nearestSources(from.rows, size.height, false);
    plan.columns = nearestSources(from.cols, size.width, true);
    plan.from = from.size();
    plan.to = size;
  }
  to.create(size, CV_8UC1);
  for (int y = 0; y < size.height; ++y) {
    uchar* out = to.ptr(y);
    // An enlarged map repeats its rows: each is picked once and then copied.
    if (y > 0 && plan.rows[y] == plan.rows[y - 1]) {
      std::memcpy(out, to.ptr(y - 1), size.width);
      continue;
    }
    const uchar* in = from.ptr(plan.rows[y]);
    for (int x = 0; x < size.width; ++x) out[x] = in[plan.columns[x]];
  }
}

}  // namespace slidetrack
