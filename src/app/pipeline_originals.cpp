// The run's building of the originals' library, with the first frames taken meanwhile.

#include <chrono>
#include <future>

#include "app/pipeline.h"

namespace slidetrack {

namespace {

// Memory for frames taken ahead while the originals are read: some 25 s of video at the
// default screen size.
constexpr size_t kFramesAheadBytes = size_t{32} << 20;

}  // namespace

bool Pipeline::loadOriginals(int step) {
  const std::string& path = *input_.originals;
  ProgressViewer viewer;
  if (anyObserver(&RunObserver::showsPictures)) {
    viewer = [this](const cv::Mat& picture) {
      return stopKey(&RunObserver::libraryProgress, picture);
    };
  }
  OriginalsOutcome outcome;
  if (viewer) {
    outcome = matchingStageLoad(matching_, path, viewer);
  } else {
    // Nobody watches the build: the first frames are taken meanwhile.
    std::future<OriginalsOutcome> loading = std::async(
        std::launch::async, [this, &path] { return matchingStageLoad(matching_, path, {}); });
    const size_t most = kFramesAheadBytes / (presentImage_.total() * 4) + 1;
    // The grey is taken when the matching may read it and the change decision makes none.
    const bool grey = changeDetectorOptions(settings_).plain();
    framesAheadFill(ahead_, video_.get(), rectifier_, frameCount_, step, most, grey, [&loading] {
      return loading.wait_for(std::chrono::seconds(0)) != std::future_status::ready;
    });
    outcome = loading.get();
  }
  if (outcome == OriginalsOutcome::kUnusable) {
    notify([&path](RunObserver& o) { o.originalsUnusable(path); });
  } else {
    notify([built = matchingEnabled(matching_)](RunObserver& o) { o.libraryBuilt(built); });
    if (outcome == OriginalsOutcome::kAborted) {
      notify([](RunObserver& o) { o.libraryAborted(); });
      return false;
    }
    if (matchingEnabled(matching_))
      for (size_t i = 0; i < matching_.library->unread.size(); ++i) {
        const SlideRecord& original = matching_.originals->slides[matching_.library->unread[i]];
        const std::string& cause = matching_.library->unreadCauses[i];
        notify([&](RunObserver& o) { o.originalUnread(original, path, cause); });
      }
  }
  return true;
}

}  // namespace slidetrack
