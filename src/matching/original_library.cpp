#include "matching/original_library.h"

#include <algorithm>

#include <opencv2/imgproc.hpp>

#include "common/error.h"
#include "features/grad_dist.h"
#include "matching/window_evidence.h"
#include "pictures/picture_read.h"
#include "results/slide_list.h"

namespace slidetrack {

namespace {

const int kEscape = 27;

}  // namespace

void originalLibraryArrangeByWindow(OriginalSlideLibrary& library) {
  const int count = library.count;
  const int windows = library.featureCount;
  const int bins = library.binCount;
  if (library.features.rows != count * windows || library.features.cols != bins ||
      library.features.type() != CV_32FC1 || count < 1) {
    library.byWindow.release();
    return;
  }
  library.byWindow.create(windows * bins, count, CV_32FC1);
  for (int k = 0; k < count; ++k) {
    for (int j = 0; j < windows; ++j) {
      const float* row = library.features.ptr<float>(k * windows + j);
      for (int b = 0; b < bins; ++b) library.byWindow.at<float>(j * bins + b, k) = row[b];
    }
  }
}

std::unique_ptr<OriginalSlideLibrary> originalLibraryBuild(const SlideList* originals,
                                                           GradDistExtractor* extractor,
                                                           const FeatureOptions& options,
                                                           const ProgressViewer& viewer,
                                                           bool* aborted) {
  if (aborted) *aborted = false;
  if (!originals || !extractor) return nullptr;
  const int count = static_cast<int>(originals->slides.size());
  if (count <= 0) return nullptr;
  const int featureCount =
      zorGllfGradDistGetSize(extractor, options.localHeight, options.localWidth, -1);
  const int binCount = zorGllfGradDistGetLength(extractor);
  if (featureCount <= 0 || binCount <= 0) return nullptr;

  auto library = std::make_unique<OriginalSlideLibrary>();
  library->featureCount = featureCount;
  library->binCount = binCount;
  // Memory only for originals that were read: a list of thousands of missing files costs
  // nothing.
  library->features.create(0, binCount, CV_32FC1);
  library->strengths.create(0, featureCount, CV_32FC1);
  std::vector<float> strengths;

  cv::Mat prepared, element(featureCount, binCount, CV_32FC1);
  for (int k = 0; k < count; ++k) {
    const SlideRecord& record = originals->slides[k];
    cv::Mat image;
    try {
      if (!record.src) throw Error(Error::Kind::kInput, "no src given");
      image = pictureReadGrey(*record.src);
    } catch (const Error& e) {
      // The warning names the file itself; the cause is what follows the name.
      std::string cause = e.what();
      const std::string named = record.src ? "'" + *record.src + "': " : std::string();
      if (!named.empty() && cause.compare(0, named.size(), named) == 0)
        cause.erase(0, named.size());
      library->unread.push_back(k);
      library->unreadCauses.push_back(cause);
      continue;
    }
    featureImagePrepareKeepingSource(image, prepared, options);
    image.release();
    zorGllfGradDistExtract(extractor, prepared, &element);
    library->features.push_back(element);
    library->listIndex.push_back(k);
    windowStrengths(*extractor, prepared.rows, prepared.cols, strengths);
    cv::Mat strengthRow = cv::Mat::zeros(1, featureCount, CV_32FC1);
    if (static_cast<int>(strengths.size()) == featureCount)
      std::copy(strengths.begin(), strengths.end(), strengthRow.ptr<float>(0));
    library->strengths.push_back(strengthRow);

    if (viewer && viewer(progressWindowShow("Feature Extraction: ", static_cast<double>(k) / count,
                                            35, 500)) == kEscape) {
      if (aborted) *aborted = true;
      return nullptr;
    }
  }
  if (library->listIndex.empty()) {
    // None read: one empty entry keeps the matcher's shapes, and it never wins a vote.
    library->features = cv::Mat::zeros(featureCount, binCount, CV_32FC1);
    library->strengths = cv::Mat::zeros(1, featureCount, CV_32FC1);
    library->listIndex.push_back(0);
  }
  library->count = static_cast<int>(library->listIndex.size());
  originalLibraryArrangeByWindow(*library);
  return library;
}

}  // namespace slidetrack
