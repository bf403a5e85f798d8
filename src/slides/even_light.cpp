#include "slides/even_light.h"

#include <cmath>
#include <vector>

#include "slides/speaker_rows.h"

namespace slidetrack {

namespace {

// Pixels this far from the background grey are no background, before and after a first fit.
constexpr double kFirstTolerance = 40;
constexpr double kSecondTolerance = 15;
constexpr int kStep = 8;  // every eighth pixel of every eighth row is enough for 6 unknowns
constexpr int kTerms = 6;

void terms(double u, double v, double t[kTerms]) {
  t[0] = 1, t[1] = u, t[2] = v, t[3] = u * u, t[4] = u * v, t[5] = v * v;
}

// Least squares over the sampled pixels within tolerance of the surface s (or of the
// background when s is all zero but s[0]); false when too few are left.
bool fit(const cv::Mat& work, const cv::Mat& exclude, double tolerance,
         cv::Matx<double, kTerms, 1>& s) {
  cv::Matx<double, kTerms, kTerms> a = cv::Matx<double, kTerms, kTerms>::zeros();
  cv::Matx<double, kTerms, 1> b = cv::Matx<double, kTerms, 1>::zeros();
  int n = 0;
  const double cx = work.cols / 2.0, cy = work.rows / 2.0;
  for (int y = 0; y < work.rows; y += kStep) {
    const unsigned char* w = work.ptr<unsigned char>(y);
    const unsigned char* e = exclude.empty() ? nullptr : exclude.ptr<unsigned char>(y);
    for (int x = 0; x < work.cols; x += kStep) {
      if (e && e[x]) continue;
      double t[kTerms];
      terms((x - cx) / cx, (y - cy) / cy, t);
      double expected = 0;
      for (int k = 0; k < kTerms; ++k) expected += s(k) * t[k];
      if (std::abs(w[x] - expected) > tolerance) continue;
      for (int i = 0; i < kTerms; ++i) {
        b(i) += t[i] * w[x];
        for (int j = 0; j < kTerms; ++j) a(i, j) += t[i] * t[j];
      }
      ++n;
    }
  }
  if (n < 10 * kTerms) return false;
  return cv::solve(a, b, s, cv::DECOMP_CHOLESKY);
}

}  // namespace

void evenLight(const cv::Mat& work, int background, const cv::Mat& exclude, cv::Mat& out) {
  cv::Matx<double, kTerms, 1> s = cv::Matx<double, kTerms, 1>::zeros();
  s(0) = background;
  if (!fit(work, exclude, kFirstTolerance, s) || !fit(work, exclude, kSecondTolerance, s)) {
    work.copyTo(out);
    return;
  }
  out.create(work.size(), CV_8UC1);
  const double cx = work.cols / 2.0, cy = work.rows / 2.0;
  std::vector<float> u(size_t(work.cols)), u2(size_t(work.cols));
  for (int x = 0; x < work.cols; ++x) {
    u[size_t(x)] = float((x - cx) / cx);
    u2[size_t(x)] = u[size_t(x)] * u[size_t(x)];
  }
  for (int y = 0; y < work.rows; ++y) {
    // Along a row the surface is a quadratic in u alone.
    const double v = (y - cy) / cy;
    const float c0 = float(s(0) + s(2) * v + s(5) * v * v - background);
    const float c1 = float(s(1) + s(4) * v), c2 = float(s(3));
    levelRow(work.ptr<unsigned char>(y), u.data(), u2.data(), c0, c1, c2, work.cols,
             out.ptr<unsigned char>(y));
  }
}

}  // namespace slidetrack
