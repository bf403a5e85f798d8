// Visibility of each true change's differing pixels outside the speaker, on the slide.

#include "change_visibility.h"

#include <algorithm>
#include <filesystem>

#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include "accuracy_metrics.h"
#include "speaker_share.h"

namespace fs = std::filesystem;

namespace {

// Grey levels by which the two slides must differ for a pixel to count: above the
// anti-aliasing and rendering noise of one deck page against the next.
constexpr int kDiffers = 40;

cv::Mat slideGrey(const std::string& dir, int slide) {
  return cv::imread(
      (fs::path(dir) / "slides" / ("slide_" + std::to_string(slide) + ".png")).string(),
      cv::IMREAD_GRAYSCALE);
}

// Frame to slide picture, for the slide's corners in that frame.
cv::Matx33d frameToSlide(const Quad& area, cv::Size slide) {
  const cv::Point2f to[4] = {{0, 0},
                             {float(slide.width), 0},
                             {float(slide.width), float(slide.height)},
                             {0, float(slide.height)}};
  return cv::Matx33d(cv::getPerspectiveTransform(area.data(), to));
}

}  // namespace

std::vector<ChangeVisibility> changeVisibility(const std::vector<TruthFrame>& truth,
                                               const std::string& lectureDir,
                                               const slidetrack::SlideList& results,
                                               int frameStep) {
  std::vector<ChangeVisibility> out;
  const int step = std::max(1, frameStep), count = int(truth.size());
  for (int p : trueChangePictures(truth)) {
    ChangeVisibility c;
    c.picture = p;
    c.from = truth[size_t(p - 1)].slide;
    c.to = truth[size_t(p)].slide;
    if (c.from < 0 || c.to < 0) continue;
    const cv::Mat a = slideGrey(lectureDir, c.from), b = slideGrey(lectureDir, c.to);
    if (a.empty() || a.size() != b.size()) continue;
    cv::Mat differs;
    cv::absdiff(a, b, differs);
    differs = differs > kDiffers;
    const int total = cv::countNonZero(differs);
    c.area = double(total) / double(differs.total());
    // Index k shows picture k - 1.
    c.first = (p + 1 + step - 1) / step * step;
    for (int k = c.first; total > 0 && pictureAtIndex(k) < count; k += step) {
      const TruthFrame& f = truth[size_t(pictureAtIndex(k))];
      if (f.slide != c.to) break;
      const cv::Mat speaker =
          speakerMaskOnScreen(truth, {pictureAtIndex(k)}, frameToSlide(f.area, a.size()), a.size());
      const double seen = double(cv::countNonZero(differs & ~speaker)) / total;
      if (c.visible10 < 0 && seen >= 0.1) c.visible10 = k;
      if (c.visible50 < 0 && seen >= 0.5) {
        c.visible50 = k;
        break;
      }
    }
    for (size_t i = 1; i < results.slides.size(); ++i)
      if (results.slides[i].start >= c.first - step) {
        c.reported = results.slides[i].start;
        break;
      }
    out.push_back(c);
  }
  return out;
}
