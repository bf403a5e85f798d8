#include "slides/original_fitted.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include <opencv2/imgproc.hpp>

namespace slidetrack {

namespace {

// Pixels by which the corners may put the original off the projected image.
constexpr int kShift = 3;
// Grey levels beyond the fitted original's 3x3 range at which a seen pixel is not explained.
constexpr float kExplained = 30.f;
// Share of the seen pixels the fitted original must explain: less is another slide, or one
// the speaker's hand wrote over a lot.
constexpr double kMustExplain = 0.8;
// The same share of what shows on the slide's background, compared at the scale of a line of
// text: the camera's blur and a far screen leave less of it explained, another slide much less.
constexpr double kContentExplained = 0.5;
constexpr int kLeastPixels = 400;
// Pixels of blur under which original and picture are compared for their colours.
constexpr double kFitBlur = 2.0;
// A channel flatter than this around the hole fixes no contrast: its gain alone is fitted.
constexpr double kLeastVariance = 16.0;

struct Line {
  double a = 1.0, b = 0.0;
};

// to ~ a * from + b over mask, least squares; then again over the pixels it explains, so
// ink, a pointer or a blurred edge does not pull it.
Line fitChannel(const cv::Mat& from, const cv::Mat& to, const cv::Mat& mask) {
  Line line;
  cv::Mat use = mask.clone(), residual;
  for (int pass = 0; pass < 2; ++pass) {
    cv::Scalar mf, sf, mt, st;
    cv::meanStdDev(from, mf, sf, use);
    cv::meanStdDev(to, mt, st, use);
    if (sf[0] * sf[0] < kLeastVariance) {
      line.a = mf[0] > 1.0 ? std::clamp(mt[0] / mf[0], 0.2, 2.5) : 1.0;
      line.b = mf[0] > 1.0 ? 0.0 : mt[0] - mf[0];
    } else {
      const double cov = cv::mean((from - mf[0]).mul(to - mt[0]), use)[0];
      line.a = std::clamp(cov / (sf[0] * sf[0]), 0.2, 2.5);
      line.b = mt[0] - line.a * mf[0];
    }
    cv::absdiff(to, from * line.a + line.b, residual);
    cv::Mat near = residual < kExplained;
    cv::bitwise_and(mask, near, near);
    if (cv::countNonZero(near) < kLeastPixels) break;
    use = near;
  }
  return line;
}

// The median of an 8-bit image over mask (not empty).
int medianUnder(const cv::Mat& grey, const cv::Mat& mask) {
  int counts[256] = {};
  int total = 0;
  for (int y = 0; y < grey.rows; ++y) {
    const unsigned char* g = grey.ptr<unsigned char>(y);
    const unsigned char* m = mask.ptr<unsigned char>(y);
    for (int x = 0; x < grey.cols; ++x)
      if (m[x]) ++counts[g[x]], ++total;
  }
  int v = 0;
  for (int below = counts[0]; 2 * below < total; below += counts[++v]) {
  }
  return v;
}

// The shift of the original (padded by kShift on every side, grey) that lines it up best with
// the picture's grey over band: the highest correlation over every other band pixel, the
// smaller shift on a tie. None where the band shows nothing to line up.
cv::Point bestShift(const cv::Mat& paddedGrey, const cv::Mat& pictureGrey, const cv::Mat& band) {
  std::vector<cv::Point> points;
  for (int y = 0; y < band.rows; y += 2) {
    const unsigned char* b = band.ptr<unsigned char>(y);
    for (int x = 0; x < band.cols; x += 2)
      if (b[x]) points.emplace_back(x, y);
  }
  if (points.empty()) return {0, 0};
  const double n = double(points.size());
  double sp = 0, spp = 0;
  for (const cv::Point& q : points) {
    const double p = pictureGrey.at<unsigned char>(q);
    sp += p, spp += p * p;
  }
  const double varP = spp / n - (sp / n) * (sp / n);
  if (varP < 1.0) return {0, 0};
  cv::Point shift(0, 0);
  double best = -2.0;
  for (int dy = -kShift; dy <= kShift; ++dy)
    for (int dx = -kShift; dx <= kShift; ++dx) {
      double so = 0, soo = 0, sop = 0;
      for (const cv::Point& q : points) {
        const double o = paddedGrey.at<unsigned char>(q.y + kShift + dy, q.x + kShift + dx);
        so += o, soo += o * o, sop += o * pictureGrey.at<unsigned char>(q);
      }
      const double varO = soo / n - (so / n) * (so / n);
      if (varO < 1.0) continue;
      const double r = (sop / n - (so / n) * (sp / n)) / std::sqrt(varO * varP) -
                       1e-3 * (std::abs(dx) + std::abs(dy));
      if (r > best) best = r, shift = {dx, dy};
    }
  return shift;
}

}  // namespace

cv::Mat fittedOriginal(const cv::Mat& picture, const cv::Mat& original, const cv::Mat& band,
                       const cv::Rect& box) {
  cv::Mat resized, padded;
  cv::resize(original, resized, picture.size(), 0, 0, cv::INTER_AREA);
  cv::copyMakeBorder(resized, padded, kShift, kShift, kShift, kShift, cv::BORDER_REPLICATE);
  cv::Mat pictureGrey, paddedGrey;
  cv::cvtColor(picture, pictureGrey, cv::COLOR_BGR2GRAY);
  cv::cvtColor(padded, paddedGrey, cv::COLOR_BGR2GRAY);
  const cv::Point shift = bestShift(paddedGrey, pictureGrey, band);
  const cv::Mat bandBox = band(box);
  const cv::Mat from = padded(box + cv::Point(kShift + shift.x, kShift + shift.y));

  // Fitted where both are blurred alike, at half size, which blurs too: a sharp original
  // against the camera's blurred text would fit a contrast too low, and the dark title bar
  // he hid would come out grey.
  cv::Mat fromHalf, toHalf, bandHalf;
  cv::resize(from, fromHalf, {}, 0.5, 0.5, cv::INTER_AREA);
  cv::resize(picture(box), toHalf, fromHalf.size(), 0, 0, cv::INTER_AREA);
  cv::resize(bandBox, bandHalf, fromHalf.size(), 0, 0, cv::INTER_NEAREST);
  std::vector<cv::Mat> fromChannels, toChannels, fullChannels, fitted(3);
  cv::split(fromHalf, fromChannels);
  cv::split(toHalf, toChannels);
  cv::split(from, fullChannels);
  for (int c = 0; c < 3; ++c) {
    cv::Mat f, t;
    fromChannels[size_t(c)].convertTo(f, CV_32F);
    toChannels[size_t(c)].convertTo(t, CV_32F);
    cv::GaussianBlur(f, f, {0, 0}, kFitBlur / 2);
    cv::GaussianBlur(t, t, {0, 0}, kFitBlur / 2);
    const Line line = fitChannel(f, t, bandHalf);
    fullChannels[size_t(c)].convertTo(fitted[size_t(c)], CV_32F, line.a, line.b);
  }
  cv::Mat fill32, fill;
  cv::merge(fitted, fill32);
  fill32.convertTo(fill, CV_8UC3);

  return fill;
}

bool originalExplains(const cv::Mat& picture, const cv::Mat& fill, const cv::Mat& band,
                      const cv::Rect& box) {
  cv::Mat pictureGrey, p32;
  cv::cvtColor(picture(box), pictureGrey, cv::COLOR_BGR2GRAY);
  pictureGrey.convertTo(p32, CV_32F);
  const cv::Mat bandBox = band(box);
  // The fitted original must explain the seen slide, give or take a pixel.
  cv::Mat fillGrey, low, high, outside;
  cv::cvtColor(fill, fillGrey, cv::COLOR_BGR2GRAY);
  fillGrey.convertTo(fillGrey, CV_32F);
  cv::erode(fillGrey, low, cv::Mat());
  cv::dilate(fillGrey, high, cv::Mat());
  cv::bitwise_or(p32<low - kExplained, p32> high + kExplained, outside);
  cv::bitwise_and(outside, bandBox, outside);
  const int judged = cv::countNonZero(bandBox);
  if (judged < kLeastPixels || cv::countNonZero(outside) > (1.0 - kMustExplain) * judged)
    return false;
  // So must it, at the scale of a line of text, where either shows something on the slide's
  // background: a slide not among the originals that differs from its neighbour in a few
  // lines passes on the background alone.
  const float background = float(medianUnder(pictureGrey, bandBox));
  cv::Mat pictureBlurred, fillBlurred, content, differs;
  cv::GaussianBlur(p32, pictureBlurred, {0, 0}, kFitBlur);
  cv::GaussianBlur(fillGrey, fillBlurred, {0, 0}, kFitBlur);
  cv::bitwise_or(cv::abs(pictureBlurred - background) > kExplained,
                 cv::abs(fillBlurred - background) > kExplained, content);
  cv::bitwise_and(content, bandBox, content);
  cv::bitwise_and(cv::abs(pictureBlurred - fillBlurred) > kExplained, content, differs);
  return cv::countNonZero(differs) <= (1.0 - kContentExplained) * cv::countNonZero(content);
}

}  // namespace slidetrack
