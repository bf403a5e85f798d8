#include "app/pipeline.h"

#include <utility>

#include <opencv2/imgproc.hpp>

#include "app/frame_step.h"
#include "common/error.h"
#include "screen/presentation_localize.h"
#include "screen/screen_search.h"

namespace slidetrack {

namespace {

constexpr int kEscape = 27;  // what the search and the library build stop on
// A video that cannot be opened again after the search is one of the two fatal conditions
// whose message keeps its historic form.
constexpr int kReopenLine = 96;

// Without known corners the whole frame is the screen, as in a screen recording.
cv::Mat wholeFramePerspective(const cv::Size& frame, const PresentationSettings& s) {
  const float w = static_cast<float>(frame.width), h = static_cast<float>(frame.height);
  cv::Mat corners(1, 4, CV_32FC2);
  corners.at<cv::Vec2f>(0) = {0.f, 0.f};
  corners.at<cv::Vec2f>(1) = {w, 0.f};
  corners.at<cv::Vec2f>(2) = {w, h};
  corners.at<cv::Vec2f>(3) = {0.f, h};
  return perspectiveFromCorners(corners, s.presentWidth, s.presentHeight);
}

}  // namespace

Pipeline::Pipeline(const PresentationSettings& settings, RunInput input)
    : settings_(settings), input_(std::move(input)), video_(videoSourceCreate()) {}

Pipeline::~Pipeline() = default;

void Pipeline::addObserver(RunObserver& observer) { observers_.push_back(&observer); }

Control Pipeline::ask(Control (RunObserver::*question)(const cv::Mat&), const cv::Mat& picture) {
  Control answer = Control::kGoOn;
  for (RunObserver* observer : observers_)
    if ((observer->*question)(picture) == Control::kStop) answer = Control::kStop;
  return answer;
}

int Pipeline::stopKey(Control (RunObserver::*question)(const cv::Mat&), const cv::Mat& picture) {
  return ask(question, picture) == Control::kStop ? kEscape : -1;
}

bool Pipeline::anyObserver(bool (RunObserver::*wants)() const) const {
  for (const RunObserver* observer : observers_)
    if ((observer->*wants)()) return true;
  return false;
}

void Pipeline::openVideo() { videoSourceOpen(*video_, input_.video); }

int Pipeline::frameStep() const {
  return frameStepFor(settings_.slideFrameStep, settings_.slideStepSeconds,
                      videoSourceFrameRate(video_.get()));
}

cv::Mat Pipeline::locateScreen(const cv::Mat& storedCorners) {
  if (!storedCorners.empty()) {
    if (cornersCanBeScreen(storedCorners, video_->image.size())) return storedCorners;
    // Rectified with such corners every slide picture would be black.
    notify([](RunObserver& o) { o.cornersRefused(); });
  }
  // The run then visits every step-th frame of the same file: the ones the search
  // decodes on its way are kept for it.
  videoSourceKeepFrames(video_.get(), frameStep());
  notify([](RunObserver& o) { o.searchStarted(); });
  SampleViewer viewer;
  if (anyObserver(&RunObserver::showsPictures)) {
    viewer = [this](const cv::Mat& picture) {
      return stopKey(&RunObserver::searchPicture, picture);
    };
  }
  const ScreenSearchOptions options = screenSearchOptions(settings_);
  const SampleListener listener = [this](int position) {
    notify([position](RunObserver& o) { o.searchSample(position); });
  };
  cv::Mat corners;
  if (options.plain()) {
    corners = presentationLocalize(video_.get(), options, viewer, listener);
  } else {
    ScreenSearchResult found = screenSearch(video_.get(), options, viewer, listener);
    if (found.recording) notify([](RunObserver& o) { o.searchFoundRecording(); });
    corners = found.corners;
  }
  // The run goes on in this opening and is handed the kept pictures. Should the file have
  // to be opened again and fail, the source is closed and the run's opening reports it.
  try {
    videoSourceStartOver(video_.get());
  } catch (const Error&) {
  }
  notify([found = !corners.empty()](RunObserver& o) { o.searchFinished(found); });
  return corners;
}

RunEnd Pipeline::run(const cv::Mat& corners) {
  if (corners.empty()) notify([](RunObserver& o) { o.wholeFrameScreen(); });
  if (!videoSourceIsOpen(video_.get())) {
    try {
      videoSourceOpen(*video_, input_.video);
    } catch (const Error& e) {
      throw Error(e.kind(), e.what(), kReopenLine);
    }
  }
  frameCount_ = videoSourceFrameCount(video_.get());
  notify([time = videoSourceFrameTime(video_.get(), 0)](RunObserver& o) {
    o.videoPositioned(0, time);
  });
  const cv::Mat* first = videoSourceGetFrameAtTime(video_.get(), 0);
  if (!first) first = videoSourceImage(video_.get());
  if (!first && frameCount_ != 0)
    throw Error(Error::Kind::kInput, "Cannot decode a frame of video '" + input_.video + "'.");
  const cv::Size frameSize = first ? first->size() : cv::Size(1, 1);
  matchingStageInit(matching_, featureOptions(settings_), matcherOptions(settings_));
  presentImage_.create(settings_.presentHeight, settings_.presentWidth, CV_8UC3);
  presentGray_.create(settings_.presentHeight, settings_.presentWidth, CV_8UC1);
  const cv::Mat perspective =
      corners.empty()
          ? wholeFramePerspective(frameSize, settings_)
          : perspectiveFromCorners(corners, settings_.presentWidth, settings_.presentHeight);
  rectifierInit(rectifier_, perspective, frameSize, presentImage_.size());
  // Only the screen's part of each frame is read from here on.
  videoSourceSetConvertedArea(video_.get(), rectifier_.sourceArea);
  const int step = frameStep();
  videoSourceSetStride(video_.get(), step);

  if (input_.originals && !loadOriginals(step)) return RunEnd::kAborted;
  slides_ = slideListCreate(input_.video.c_str(),
                            matching_.originals ? input_.originals->c_str() : nullptr);
  // Two records about to join are told apart by their pictures: a run with originals makes
  // them although it neither saves nor shows them, or it would join what such a run keeps apart.
  const bool shown = anyObserver(&RunObserver::needsSlidePictures);
  joinPictures_ = !matching_.originals && settings_.slideJoinSame == 1 &&
                  !changeDetectorOptions(settings_).plain();
  // The join compares the decision's references where it may: pictures made only for it
  // would cost a tenth more, and -p must not change the records.
  joinLooks_ = joinPictures_ && settings_.slideJoinLooks == 1;
  joinText_ = settings_.slideJoinText == 1;
  picturesKept_ = shown || (joinPictures_ && !joinLooks_) ||
                  (matching_.originals && matching_.matcher.matchJoinSame &&
                   (matching_.matcher.matchJoinContent || matching_.matcher.matchJoinRefused));
  // Only some of them are compared: the rest are spared filling what was never seen.
  picturesFilled_ = shown;
  intervalStageCreate(intervals_, changeDetectorOptions(settings_),
                      shown           ? SlidePictures::kShown
                      : picturesKept_ ? SlidePictures::kCompared
                                      : SlidePictures::kNone);
  intervalStageKeepLooks(intervals_, joinLooks_);
  intervalStageKeepEarlier(intervals_, picturesKept_ && matchingEnabled(matching_));
  // The design's edge-map rule keeps its pictures as they were.
  originalFill_.enable(
      settings_.slideFillFromOriginal == 1,
      settings_.slideSpeakerFromOriginal == 1 && !changeDetectorOptions(settings_).plain());
  if (step != settings_.slideFrameStep)
    notify([step, rate = videoSourceFrameRate(video_.get())](RunObserver& o) {
      o.frameStepChosen(step, rate);
    });
  notify([](RunObserver& o) { o.framesStarted(); });
  for (int t = 0; frameCount_ == kUnknownFrameCount || t < frameCount_; t += step)
    if (!processFrame(t)) break;
  finish();
  return RunEnd::kCompleted;
}

bool Pipeline::processFrame(int t) {
  recordOpened_ = false;
  decidedMatch_ = nullptr;
  notify([t, count = frameCount_](RunObserver& o) { o.frameStarted(t, count); });
  const bool matching = matchingEnabled(matching_);
  // Only the matching reads the grey screen; the change decision may make it anyway.
  const bool greyMade = intervalStageMakesGrey(intervals_);
  cv::Mat* grey = matching && !greyMade ? &presentGray_ : nullptr;
  bool found = false;
  if (!framesAheadTake(ahead_, t, presentImage_, grey, found)) {
    const cv::Mat* frame = videoSourceGetFrame(video_.get(), t);
    found = frame != nullptr;
    if (frame) rectifierApply(rectifier_, *frame, presentImage_, grey);
  }
  if (!found) return false;

  const int previous = lastFrame_;
  lastFrame_ = t;
  if (!open_) openRecord(t, 0.0);
  const ChangeDecision change = intervalStageProcess(intervals_, presentImage_);
  // A change confirmed now may have shown first at the previous processed frame.
  const int start = change.startedBefore && previous >= 0 ? previous : t;
  // A frame held back is read unless the change it first showed ends the record here: the
  // ended interval's evidence would leave it again.
  if (change.changed && start == matching_.heldFrame && start < t && start > open_->start &&
      start > matchOpenedAt_)
    matching_.heldFrame = -1;
  readHeldFrame();
  // A match change may already have opened the record there, or have seen the frame the
  // change names show the record's original.
  if (change.changed && start > open_->start && start > matchOpenedAt_) {
    // The frame the change began at was matched with the record that ends: the record's match
    // is decided again without it.
    const bool lastIsNext = start == previous && start < t && matching_.lastRead == previous;
    const MatchDecision ended = matchingStageReset(matching_, lastIsNext);
    if (ended.original) {
      open_->match = ended.decided ? ended.original : matchBeforeLast_;
      open_->confidence = ended.decided ? ended.score : confidenceBeforeLast_;
    }
    closeRecord(start - 1, change.endedPicture, change.endedUnseen, change.endedLook);
    openRecord(start, 0.0);
    matchOpenedAt_ = -1;
    notify([this](RunObserver& o) { o.slideChanged(*open_); });
  }
  if (matching) {
    const cv::Mat& screenGrey = greyMade ? intervalStageGrey(intervals_) : presentGray_;
    const cv::Mat& covered = intervalStageCoveredMask(intervals_, screenGrey.size());
    const cv::Mat& work = intervalStageWork(intervals_);
    const FrameReading reading = matchingStageReading(
        matching_, intervalStageChangePending(intervals_),
        [&] { return intervalStageQuiet(intervals_, matching_.readWork); }, covered);
    if (reading == FrameReading::kRead) {
      work.copyTo(matching_.readWork);
      applyMatch(matchingStageProcess(matching_, t, screenGrey, covered), t);
    } else if (reading == FrameReading::kHold) {
      matchingStageHold(matching_, t, screenGrey, covered, work);
    } else {
      applyMatch(matchingStageRepeat(matching_, t), t);
    }
  }
  intervalStageRemember(intervals_, t);

  const FrameEvent event{t,    frameCount_, presentImage_, *slides_, recordOpened_, decidedMatch_,
                         *this};
  Control control = Control::kGoOn;
  for (RunObserver* observer : observers_)
    if (observer->frameDone(event) == Control::kStop) control = Control::kStop;
  return control == Control::kGoOn;
}

const cv::Mat* Pipeline::slidePicture() {
  return picturesKept_ ? &intervalStageSlideImage(intervals_) : nullptr;
}

void Pipeline::finish() {
  readHeldFrame();
  // The open record ends at the last processed frame; its later matches and confidence
  // reach the results only now. A slide that showed only in that frame has had no second
  // look: it is reported rather than lost, with that frame for its picture.
  const bool lastIsNext =
      open_ && intervalStageChangePending(intervals_) && lastFrame_ > open_->start;
  // Its whole evidence tells whether it joins the record before.
  if (open_ && matching_.matcher.matchJoinSame)
    matchingStageReset(matching_, lastIsNext && matching_.lastRead == lastFrame_);
  if (lastIsNext) {
    closeRecord(lastFrame_ - 1, slidePicture(), intervalStageUnseen(intervals_),
                intervalStageLook(intervals_));
    openRecord(lastFrame_, 0.0);
    notify([this](RunObserver& o) { o.slideChanged(*open_); });
    closeRecord(lastFrame_, &presentImage_);
  } else if (open_) {
    closeRecord(lastFrame_, slidePicture(), intervalStageUnseen(intervals_),
                intervalStageLook(intervals_));
  }
  notify([this](RunObserver& o) { o.runFinished(*slides_); });
}

const cv::Mat& Pipeline::currentSlidePicture() { return intervalStageSlideImage(intervals_); }

}  // namespace slidetrack
