// Speaker pixels left in saved slide pictures, against the clean rectified slide.

#include "speaker_share.h"

#include <algorithm>
#include <filesystem>
#include <map>

#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include "accuracy_metrics.h"

using namespace slidetrack;

namespace fs = std::filesystem;

namespace {

constexpr int kStrongDifference = 50;  // grey levels beyond the clean screen's local range

cv::Matx33d quadToRect(const Quad& q, cv::Size size) {
  const cv::Point2f to[4] = {{0, 0},
                             {float(size.width), 0},
                             {float(size.width), float(size.height)},
                             {0, float(size.height)}};
  return cv::Matx33d(cv::getPerspectiveTransform(q.data(), to));
}

}  // namespace

cv::Mat speakerMaskOnScreen(const std::vector<TruthFrame>& truth, const std::vector<int>& frames,
                            const cv::Matx33d& toScreen, cv::Size screen) {
  cv::Mat unionMask(screen, CV_8UC1, cv::Scalar(0)), warped;
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
    if (f < 0 || size_t(f) >= truth.size() || !truth[size_t(f)].speaker.present) continue;
    SpeakerPose pose = truth[size_t(f)].speaker;
    pose.x -= float(box.x);
    pose.footY -= float(box.y);
    const cv::Mat mask = speakerMask(pose, box.size());
    cv::warpPerspective(mask, warped, cv::Mat(toScreen * shift), screen, cv::INTER_NEAREST);
    unionMask |= warped;
  }
  return unionMask;
}

double speakerShare(const cv::Mat& pictureGrey, const cv::Mat& cleanGrey, const cv::Mat& valid,
                    const cv::Mat& speakerMask, double* damage) {
  const int total = cv::countNonZero(valid);
  if (damage) *damage = 0;
  if (total == 0) return 0;
  // Exposure and projector tone: picture ~ a * clean + b where nobody stands.
  cv::Mat fitArea = valid & ~speakerMask;
  if (cv::countNonZero(fitArea) < total / 10) fitArea = valid;
  cv::Scalar mc, sc, mp, sp;
  cv::meanStdDev(cleanGrey, mc, sc, fitArea);
  cv::Mat c32, p32, prod;
  cleanGrey.convertTo(c32, CV_32F);
  pictureGrey.convertTo(p32, CV_32F);
  cv::multiply(c32 - mc[0], p32, prod);
  const double cov = cv::mean(prod, fitArea)[0];
  const double a = sc[0] > 1 ? std::clamp(cov / (sc[0] * sc[0]), 0.5, 2.0) : 1.0;
  const double b = cv::mean(p32, fitArea)[0] - a * mc[0];
  cv::Mat fitted, low, high;
  c32.convertTo(fitted, CV_32F, a, b);
  // A pixel a little out of place is not the speaker: compare with the neighbourhood's range.
  const cv::Mat kernel = cv::getStructuringElement(cv::MORPH_RECT, {5, 5});
  cv::erode(fitted, low, kernel);
  cv::dilate(fitted, high, kernel);
  const cv::Mat differs = (p32 < low - kStrongDifference) | (p32 > high + kStrongDifference);
  if (damage && cv::countNonZero(valid & ~speakerMask) > 0)
    *damage = double(cv::countNonZero(differs & valid & ~speakerMask)) /
              cv::countNonZero(valid & ~speakerMask);
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
    cv::Mat picture = cv::imread(path.string(), cv::IMREAD_GRAYSCALE);
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
        cv::IMREAD_GRAYSCALE);
    if (original.empty()) continue;
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
    const cv::Mat mask = speakerMaskOnScreen(truth, frames, toScreen, presentSize);
    PictureScore one{*r.src, r.start, r.end, slide};
    one.share = speakerShare(picture, clean, valid, mask, &one.damage);
    score.mean += one.share;
    score.max = std::max(score.max, one.share);
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
