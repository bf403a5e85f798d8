// Speaker pixels left in saved slide pictures, against the clean rectified slide.

#include "speaker_share.h"

#include <algorithm>
#include <array>
#include <filesystem>
#include <map>

#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include "accuracy_metrics.h"

using namespace slidetrack;

namespace fs = std::filesystem;

namespace {

// Colour levels (of the channel that differs most) beyond which picture and fitted clean
// screen do not show the same thing within a pixel; JPEG, the camera's blur and a pixel of
// misplacement stay below it where nobody stood.
constexpr float kDiffers = 40.f;
// Pixels of blur both are compared under: the camera's, far from the screen, is not the
// rendered slide's.
constexpr double kBlur = 2.0;

// Pixels over which the light on the screen changes.
constexpr double kLightScale = 30.0;

// Side of the square whose median is the slide around a pixel, and the grey levels off it at
// which a pixel is a mark (text, a line) of the slide.
constexpr int kAround = 21;
constexpr int kMark = 20;

// The smallest, over the 3x3 shifts of `to`, of the largest channel difference to `from`.
cv::Mat nearestDistance(const cv::Mat& from, const cv::Mat& to) {
  cv::Mat padded, diff, best;
  cv::copyMakeBorder(to, padded, 1, 1, 1, 1, cv::BORDER_REPLICATE);
  std::vector<cv::Mat> channels;
  for (int dy = 0; dy <= 2; ++dy)
    for (int dx = 0; dx <= 2; ++dx) {
      cv::absdiff(from, padded(cv::Rect({dx, dy}, from.size())), diff);
      cv::split(diff, channels);
      cv::Mat worst = cv::max(cv::max(channels[0], channels[1]), channels[2]);
      best = best.empty() ? worst : cv::min(best, worst);
    }
  return best;
}

// One channel of clean mapped to picture's tone: each clean level (in bins of 4) to the
// picture's median over area, levels seen too rarely from their neighbours, kept rising.
cv::Mat toneMapped(const cv::Mat& clean, const cv::Mat& picture, const cv::Mat& area) {
  constexpr int kBins = 64, kLeast = 20;
  std::vector<std::array<int, 256>> counts(kBins, std::array<int, 256>{});
  for (int y = 0; y < clean.rows; ++y)
    for (int x = 0; x < clean.cols; ++x)
      if (area.at<unsigned char>(y, x))
        ++counts[size_t(std::clamp(int(clean.at<float>(y, x)), 0, 255) / 4)]
                [size_t(std::clamp(int(picture.at<float>(y, x)), 0, 255))];
  std::vector<float> level(kBins, -1.f);
  for (int b = 0; b < kBins; ++b) {
    int total = 0;
    for (int v : counts[size_t(b)]) total += v;
    if (total < kLeast) continue;
    int v = 0;
    for (int below = counts[size_t(b)][0]; 2 * below < total;
         below += counts[size_t(b)][size_t(++v)]) {
    }
    level[size_t(b)] = float(v);
  }
  cv::Mat lut(1, 256, CV_32F);
  for (int b = 0, last = -1; b < kBins; ++b) {
    int next = b;
    while (next < kBins && level[size_t(next)] < 0) ++next;
    for (int i = 0; i < 4; ++i) {
      const float at = float(b * 4 + i);
      float v = at;  // no level seen anywhere: unchanged
      if (last >= 0 && next < kBins)
        v = level[size_t(last)] + (level[size_t(next)] - level[size_t(last)]) *
                                      (at - float(last * 4 + 2)) / float((next - last) * 4);
      else if (last >= 0)
        v = level[size_t(last)] + at - float(last * 4 + 2);
      else if (next < kBins)
        v = level[size_t(next)] + at - float(next * 4 + 2);
      lut.at<float>(b * 4 + i) = v;
    }
    if (level[size_t(b)] >= 0) last = b;
  }
  for (int i = 1; i < 256; ++i) lut.at<float>(i) = std::max(lut.at<float>(i), lut.at<float>(i - 1));
  cv::Mat out(clean.size(), CV_32F);
  for (int y = 0; y < clean.rows; ++y)
    for (int x = 0; x < clean.cols; ++x)
      out.at<float>(y, x) = lut.at<float>(std::clamp(int(clean.at<float>(y, x)), 0, 255));
  return out;
}

// 255 where the grey of a float BGR image stands out from the slide around it: text, lines.
cv::Mat marksOf(const cv::Mat& bgr) {
  cv::Mat grey, around, diff;
  cv::cvtColor(bgr, grey, cv::COLOR_BGR2GRAY);
  grey.convertTo(grey, CV_8U);
  cv::medianBlur(grey, around, kAround);
  cv::absdiff(grey, around, diff);
  return diff > kMark;
}

// clean brought to picture's light: its tone channel by channel, then a smooth gain for
// uneven light, both read over area. Marks of the clean slide the picture lost there are left
// out: a picture that lost its text would teach that text looks like paper, and the text it
// hides elsewhere would stop counting.
cv::Mat fittedClean(const cv::Mat& clean, const cv::Mat& picture, const cv::Mat& wholeArea) {
  const cv::Mat area = wholeArea & ~(marksOf(clean) & ~marksOf(picture));
  std::vector<cv::Mat> c, p, out(3);
  cv::split(clean, c);
  cv::split(picture, p);
  cv::Mat weight, weightBlur;
  area.convertTo(weight, CV_32F, 1.0 / 255);
  cv::GaussianBlur(weight, weightBlur, {0, 0}, kLightScale);
  for (size_t k = 0; k < 3; ++k) {
    out[k] = toneMapped(c[k], p[k], area);
    cv::Mat pb, cb;
    cv::GaussianBlur(p[k].mul(weight), pb, {0, 0}, kLightScale);
    cv::GaussianBlur(out[k].mul(weight), cb, {0, 0}, kLightScale);
    cv::Mat gain = pb / cv::max(cb, 1.f);
    gain.setTo(1.f, weightBlur < 0.05f);
    out[k] = out[k].mul(gain);
  }
  cv::Mat merged;
  cv::merge(out, merged);
  return merged;
}

cv::Matx33d quadToRect(const Quad& q, cv::Size size) {
  const cv::Point2f to[4] = {{0, 0},
                             {float(size.width), 0},
                             {float(size.width), float(size.height)},
                             {0, float(size.height)}};
  return cv::Matx33d(cv::getPerspectiveTransform(q.data(), to));
}

}  // namespace

cv::Mat speakerMaskOnScreen(const std::vector<TruthFrame>& truth, const std::vector<int>& frames,
                            const cv::Matx33d& toScreen, cv::Size screen, cv::Mat* always) {
  cv::Mat unionMask(screen, CV_8UC1, cv::Scalar(0)), warped;
  if (always) *always = cv::Mat(screen, CV_8UC1, cv::Scalar(frames.empty() ? 0 : 255));
  // Drawn on a canvas around the screen's quadrilateral in the frame only.
  std::vector<cv::Point2f> rect = {{0, 0},
                                   {float(screen.width), 0},
                                   {float(screen.width), float(screen.height)},
                                   {0, float(screen.height)}},
                           quad;
  cv::perspectiveTransform(rect, quad, cv::Mat(toScreen.inv()));
  const cv::Rect box = cv::boundingRect(quad) & cv::Rect(0, 0, 1 << 15, 1 << 15);
  const cv::Matx33d shift(1, 0, box.x, 0, 1, box.y, 0, 0, 1);
  for (int f : frames) {
    if (f < 0 || size_t(f) >= truth.size() || !truth[size_t(f)].speaker.present) {
      if (always) always->setTo(0);
      continue;
    }
    SpeakerPose pose = truth[size_t(f)].speaker;
    pose.x -= float(box.x);
    pose.footY -= float(box.y);
    const cv::Mat mask = speakerMask(pose, box.size());
    cv::warpPerspective(mask, warped, cv::Mat(toScreen * shift), screen, cv::INTER_NEAREST);
    unionMask |= warped;
    if (always) *always &= warped;
  }
  return unionMask;
}

double speakerShare(const cv::Mat& picture, const cv::Mat& clean, const cv::Mat& valid,
                    const cv::Mat& speakerMask, double* damage, const cv::Mat& alwaysMask,
                    double* hidden) {
  const int total = cv::countNonZero(valid);
  if (damage) *damage = 0;
  if (hidden) *hidden = 0;
  if (total == 0) return 0;
  // Exposure and projector tone, channel by channel, where nobody stands.
  cv::Mat fitArea = valid & ~speakerMask;
  if (cv::countNonZero(fitArea) < total / 10) fitArea = valid;
  cv::Mat c32, p32;
  clean.convertTo(c32, CV_32FC3);
  picture.convertTo(p32, CV_32FC3);
  cv::GaussianBlur(c32, c32, {0, 0}, kBlur);
  cv::GaussianBlur(p32, p32, {0, 0}, kBlur);
  const cv::Mat fitted = fittedClean(c32, p32, fitArea);
  // Shown what the slide does not hold, or lost what it holds, beyond a pixel's shift.
  const cv::Mat differs =
      cv::max(nearestDistance(p32, fitted), nearestDistance(fitted, p32)) > kDiffers;
  if (damage && cv::countNonZero(valid & ~speakerMask) > 0)
    *damage = double(cv::countNonZero(differs & valid & ~speakerMask)) /
              cv::countNonZero(valid & ~speakerMask);
  if (hidden && !alwaysMask.empty())
    *hidden = double(cv::countNonZero(differs & alwaysMask & speakerMask & valid)) / total;
  return double(cv::countNonZero(differs & speakerMask & valid)) / total;
}

SpeakerShareScore scoreSpeakerShare(const slidetrack::SlideList& results,
                                    const std::vector<TruthFrame>& truth,
                                    const std::string& lectureDir, const std::string& runDir,
                                    const Quad& corners, cv::Size presentSize, int frameStep) {
  SpeakerShareScore score;
  const cv::Matx33d toScreen = quadToRect(corners, presentSize);
  const int count = int(truth.size());
  for (const slidetrack::SlideRecord& r : results.slides) {
    if (!r.src) continue;
    fs::path path = *r.src;
    if (path.is_relative()) path = fs::path(runDir) / path;
    cv::Mat picture = cv::imread(path.string(), cv::IMREAD_COLOR);
    if (picture.empty()) continue;
    if (picture.size() != presentSize) cv::resize(picture, picture, presentSize);
    // The interval's processed frames and the slide they show most.
    std::vector<int> frames;
    std::map<int, int> shown;
    for (int t = r.start; t <= r.end; ++t) {
      if (t % std::max(1, frameStep) != 0 || pictureAtIndex(t) >= count) continue;
      frames.push_back(pictureAtIndex(t));
      ++shown[truth[size_t(pictureAtIndex(t))].slide];
    }
    if (frames.empty()) continue;
    const int slide = std::max_element(shown.begin(), shown.end(), [](auto& x, auto& y) {
                        return x.second < y.second;
                      })->first;
    if (slide < 0) continue;
    cv::Mat original = cv::imread(
        (fs::path(lectureDir) / "slides" / ("slide_" + std::to_string(slide) + ".png")).string(),
        cv::IMREAD_COLOR);
    if (original.empty()) continue;
    // Shrunk by area first: a warp alone would alias its text.
    if (original.cols > presentSize.width)
      cv::resize(original, original, presentSize, 0, 0, cv::INTER_AREA);
    const TruthFrame& middle = truth[size_t(frames[frames.size() / 2])];
    const cv::Matx33d toFrame = cv::Matx33d(cv::getPerspectiveTransform(
        std::array<cv::Point2f, 4>{{{0, 0},
                                    {float(original.cols), 0},
                                    {float(original.cols), float(original.rows)},
                                    {0, float(original.rows)}}}
            .data(),
        middle.area.data()));
    cv::Mat clean, valid;
    cv::warpPerspective(original, clean, cv::Mat(toScreen * toFrame), presentSize,
                        cv::INTER_LINEAR);
    cv::warpPerspective(cv::Mat(original.size(), CV_8UC1, cv::Scalar(255)), valid,
                        cv::Mat(toScreen * toFrame), presentSize, cv::INTER_NEAREST);
    cv::erode(valid, valid, cv::Mat(), {-1, -1}, 2);  // the slide's own edge is not scored
    cv::Mat always;
    const cv::Mat mask = speakerMaskOnScreen(truth, frames, toScreen, presentSize, &always);
    PictureScore one{*r.src, r.start, r.end, slide};
    one.share = speakerShare(picture, clean, valid, mask, &one.damage, always, &one.hidden);
    score.mean += one.share;
    score.max = std::max(score.max, one.share);
    score.seenMax = std::max(score.seenMax, one.share - one.hidden);
    score.damageMean += one.damage;
    score.damageMax = std::max(score.damageMax, one.damage);
    score.each.push_back(one);
    ++score.pictures;
  }
  if (score.pictures) {
    score.mean /= score.pictures;
    score.damageMean /= score.pictures;
  }
  return score;
}
