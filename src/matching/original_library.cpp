#include "matching/original_library.h"

#include <algorithm>
#include <atomic>
#include <exception>
#include <thread>

#include <opencv2/imgproc.hpp>

#include "common/error.h"
#include "features/grad_dist.h"
#include "matching/window_evidence.h"
#include "pictures/picture_read.h"
#include "results/slide_list.h"

namespace slidetrack {

namespace {

const int kEscape = 27;

struct OriginalFeatures {
  bool read = false;
  std::string cause;  // why it could not be read
  cv::Mat features;   // featureCount x binCount
  cv::Mat strengths;  // 1 x featureCount
  cv::Mat picture;    // the feature image at half size
};

void originalRead(const SlideRecord& record, GradDistExtractor& extractor,
                  const FeatureOptions& options, OriginalFeatures& out) {
  cv::Mat image;
  try {
    if (!record.src) throw Error(Error::Kind::kInput, "no src given");
    image = pictureReadGrey(*record.src);
  } catch (const Error& e) {
    // The warning names the file itself; the cause is what follows the name.
    std::string cause = e.what();
    const std::string named = record.src ? "'" + *record.src + "': " : std::string();
    if (!named.empty() && cause.compare(0, named.size(), named) == 0) cause.erase(0, named.size());
    out.cause = cause;
    return;
  }
  cv::Mat prepared;
  featureImagePrepareKeepingSource(image, prepared, options);
  image.release();
  cv::resize(prepared, out.picture, cv::Size(prepared.cols / 2, prepared.rows / 2), 0, 0,
             cv::INTER_AREA);
  const int featureCount = zorGllfGradDistGetSize(&extractor, prepared.rows, prepared.cols, -1);
  out.features.create(featureCount, zorGllfGradDistGetLength(&extractor), CV_32FC1);
  zorGllfGradDistExtract(&extractor, prepared, &out.features);
  std::vector<float> strengths;
  windowStrengths(extractor, prepared.rows, prepared.cols, strengths);
  out.strengths = cv::Mat::zeros(1, featureCount, CV_32FC1);
  if (static_cast<int>(strengths.size()) == featureCount)
    std::copy(strengths.begin(), strengths.end(), out.strengths.ptr<float>(0));
  out.read = true;
}

// Reads the originals on this thread and a helper, each taking the next one not yet
// taken: decoding the pictures is most of a library's cost. report(n) is called on this
// thread whenever the first n are done; false from it stops the reading and gives false.
bool originalsReadInParallel(const SlideList& originals, const GradDistExtractor& extractor,
                             const FeatureOptions& options, std::vector<OriginalFeatures>& read,
                             const std::function<bool(int)>& report) {
  const int count = static_cast<int>(read.size());
  std::unique_ptr<std::atomic<bool>[]> done(new std::atomic<bool>[read.size()]);
  for (int k = 0; k < count; ++k) done[k] = false;
  std::atomic<int> next{0};
  std::atomic<bool> stop{false};
  // Each thread has its own extractor: it keeps the working images of an extraction.
  const auto work = [&](bool reporting) {
    std::unique_ptr<GradDistExtractor> own = zorGllfGradDistCreate();
    zorGllfGradDistInit(own.get(), extractor.levelCount, extractor.binCount, extractor.stepRatio,
                        extractor.windowSize);
    int ready = 0;
    for (int k = next++; k < count && !stop; k = next++) {
      originalRead(originals.slides[k], *own, options, read[k]);
      done[k].store(true, std::memory_order_release);
      if (!reporting) continue;
      while (ready < count && done[ready].load(std::memory_order_acquire)) ++ready;
      if (!report(ready)) stop = true;
    }
  };
  std::exception_ptr failed;
  std::thread helper;
  if (count > 1 && std::thread::hardware_concurrency() > 1) {
    helper = std::thread([&] {
      try {
        work(false);
      } catch (...) {  // out of memory: ends the run on the main thread
        failed = std::current_exception();
        stop = true;
      }
    });
  }
  try {
    work(true);
  } catch (...) {
    stop = true;
    if (helper.joinable()) helper.join();
    throw;
  }
  if (helper.joinable()) helper.join();
  if (failed) std::rethrow_exception(failed);
  return !stop && report(count);
}

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

  std::vector<OriginalFeatures> read(static_cast<size_t>(count));
  // Originals are reported in list order, each once the ones before it are done.
  int reported = 0;
  const auto report = [&](int upTo) {
    for (; reported < upTo; ++reported) {
      if (!read[reported].read || !viewer) continue;
      const double done = static_cast<double>(reported) / count;
      if (viewer(progressWindowShow("Feature Extraction: ", done, 35, 500)) == kEscape)
        return false;
    }
    return true;
  };
  if (!originalsReadInParallel(*originals, *extractor, options, read, report)) {
    if (aborted) *aborted = true;
    return nullptr;
  }

  auto library = std::make_unique<OriginalSlideLibrary>();
  library->featureCount = featureCount;
  library->binCount = binCount;
  // Memory only for originals that were read: a list of thousands of missing files costs
  // nothing.
  library->features.create(0, binCount, CV_32FC1);
  library->strengths.create(0, featureCount, CV_32FC1);
  for (int k = 0; k < count; ++k) {
    OriginalFeatures& original = read[k];
    if (!original.read) {
      library->unread.push_back(k);
      library->unreadCauses.push_back(original.cause);
      continue;
    }
    library->features.push_back(original.features);
    library->strengths.push_back(original.strengths);
    library->pictures.push_back(original.picture);
    library->listIndex.push_back(k);
    original = OriginalFeatures();
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
