#include "slides/light_fit.h"

#include <algorithm>

#include <opencv2/core.hpp>

namespace slidetrack {

cv::Mat lightFitted(const cv::Mat& from, const cv::Mat& to, const cv::Mat& mask, float apart,
                    double lowestGain, double highestGain) {
  cv::Mat use = mask.clone(), out = from.clone();
  for (int pass = 0; pass < 2 && cv::countNonZero(use) > 100; ++pass) {
    cv::Scalar mf, sf, mt, st;
    cv::meanStdDev(from, mf, sf, use);
    cv::meanStdDev(to, mt, st, use);
    const double cov = cv::mean((from - mf[0]).mul(to - mt[0]), use)[0];
    const double a = sf[0] > 4.0 ? std::clamp(cov / (sf[0] * sf[0]), lowestGain, highestGain) : 1.0;
    out = from * a + (mt[0] - a * mf[0]);
    cv::Mat near = cv::abs(to - out) < apart;
    cv::bitwise_and(mask, near, use);
  }
  return out;
}

}  // namespace slidetrack
