#pragma once
// One run over a video, in its order: open the video, find the screen, walk every
// step-th frame through the stages, apply their decisions to the slide list, and tell the
// observers what happened.

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <opencv2/core.hpp>

#include "app/frames_ahead.h"
#include "app/interval_stage.h"
#include "app/matching_stage.h"
#include "app/original_picture_fill.h"
#include "app/rectifier.h"
#include "app/run_observer.h"
#include "app/settings.h"
#include "results/slide_list.h"
#include "slides/differing_content.h"
#include "slides/same_slide_pictures.h"
#include "video/video_source.h"

namespace slidetrack {

struct RunInput {
  std::string video;
  std::optional<std::string> originals;      // results-format list of original slides
  std::optional<std::string> picturePrefix;  // prefix of every slide picture's path
};

enum class RunEnd { kCompleted, kAborted };

class Pipeline {
 public:
  // settings must have passed checkSettings.
  Pipeline(const PresentationSettings& settings, RunInput input);
  ~Pipeline();

  // Told in the order added; the observer must outlive the run.
  void addObserver(RunObserver& observer);

  // An Error names the video and the cause when it cannot be opened.
  void openVideo();
  // The stored corners, or when there are none those found in sample frames of the open
  // video (empty when none were found).
  cv::Mat locateScreen(const cv::Mat& storedCorners);
  // Walks the video with the screen at corners (empty: the whole frame). kAborted when
  // the user stopped the build of the originals' library.
  RunEnd run(const cv::Mat& corners);

  // The picture of the slide shown now, for observers that show it.
  const cv::Mat& currentSlidePicture();

 private:
  template <typename Event>
  void notify(Event event);
  Control ask(Control (RunObserver::*question)(const cv::Mat&), const cv::Mat& picture);
  // The key the screen search and the library build stop on when an observer asks to stop
  // at this picture, else -1.
  int stopKey(Control (RunObserver::*question)(const cv::Mat&), const cv::Mat& picture);
  bool anyObserver(bool (RunObserver::*wants)() const) const;
  // Frames between processed frames in the open video.
  int frameStep() const;
  // Builds the library of input_.originals and tells of it; false when the user stopped it.
  bool loadOriginals(int step);
  bool processFrame(int t);
  void applyMatch(const MatchDecision& decision, int t);
  void closeBefore(int start);
  // Reads the frame the matching put aside, if any.
  void readHeldFrame();
  // Takes original's match off the last closed record that has a match, if it names original.
  void withdrawMatch(const SlideRecord& original);
  void openRecord(int t, double confidence);
  // The open record's picture so far, or null when the run makes none.
  const cv::Mat* slidePicture();
  // unseen: what of picture was never seen (intervalStageUnseen), or null. look: the
  // record's reference look, when the join compares those.
  void closeRecord(int endFrame, const cv::Mat* picture, const cv::Mat* unseen = nullptr,
                   const SlideLook& look = {});
  // The records just closed and the one before show one slide, without originals.
  bool joinsSame(const cv::Mat* picture, const cv::Mat* unseen, const SlideLook& look);
  // The closed record's look, to compare with the next; after a join, the one that saw more.
  void keepClosedLook(const SlideLook& look, bool joined);
  // The record just closed showed the same slide as the one before it (joined = 1), or as
  // the one before a short record between (joined = 2): that one takes them in.
  void joinClosedRecords(int joined, const cv::Mat* picture, const cv::Mat* unseen);
  // Whether the open record, about to join the last closed one, shows their original where
  // their pictures differ; where the original shows only one of them, the other's match goes.
  bool joinKeepsContent(const cv::Mat* picture, const cv::Mat* unseen);
  // Whether the two pictures differ only where both have marks of their own that the original
  // explains in neither (something in front of the slide in both), not in the slide's content.
  bool joinDiffersOnlyOffTheSlide(const cv::Mat* picture, const cv::Mat* unseen);
  // The two pictures compared with the earlier one's original; none without pictures.
  std::optional<DifferingContent> joinContent(const cv::Mat* picture, const cv::Mat* unseen);
  void keepClosedPicture(const cv::Mat& picture, const cv::Mat* unseen);
  // With originals: the joined record's picture made of the kept one and shown (the later
  // record's, filled; unseen its own), starting from shown when later; false, nothing kept or
  // written, when the original takes nothing from the other.
  bool joinBothPictures(SlideRecord& earlier, const cv::Mat& shown, const cv::Mat* unseen,
                        bool later);
  // Without originals: the picture of the record that joins the last closed one, when it saw
  // more of the slide than the kept one did, becomes the joined record's.
  void joinPicture(SlideRecord& earlier, const cv::Mat& picture, const cv::Mat* unseen);
  void finish();

  PresentationSettings settings_;
  RunInput input_;
  std::vector<RunObserver*> observers_;
  std::unique_ptr<VideoSource> video_;
  IntervalStage intervals_;
  MatchingStage matching_;
  OriginalPictureFill originalFill_;
  Rectifier rectifier_;
  FramesAhead ahead_;  // processed frames taken while the originals were read
  std::unique_ptr<SlideList> slides_;
  SlideRecord* open_ = nullptr;  // the open record; stable inside the deque
  int nextSlideId_ = 0;
  int frameCount_ = 0;
  int lastFrame_ = -1;
  bool recordOpened_ = false;
  bool picturesKept_ = false;    // slide pictures are made
  bool picturesFilled_ = false;  // ... with what was never seen filled
  bool joinPictures_ = false;    // records without originals join on their pictures
  bool joinLooks_ = false;       // ... compared on the decision's reference looks
  bool joinText_ = false;        // ... kept apart by a line of coloured text
  const SlideRecord* decidedMatch_ = nullptr;
  // The processed frame at which a match change opened the open record, -1 otherwise.
  int matchOpenedAt_ = -1;
  // The open record's match and confidence before the last frame's decision.
  const SlideRecord* matchBeforeLast_ = nullptr;
  double confidenceBeforeLast_ = 0.0;
  // What the last closed record's whole evidence decided, and the picture saved for it; the
  // same of the record closed before it.
  EndedMatch closedEnd_, beforeEnd_;
  cv::Mat closedPicture_, beforePicture_;
  cv::Mat closedLook_, closedLookUnseen_;
  // What the comparisons prepared of the closed look and of the look just compared with it.
  PreparedPicture closedPrepared_, laterPrepared_;
  cv::Mat closedUnseen_, beforeUnseen_;  // what of those pictures was never seen
  // Processed frames a record between two of one original may last and still be the speaker.
  static constexpr int kShortBetween = 2;
  cv::Mat presentImage_, presentGray_;
};

template <typename Event>
void Pipeline::notify(Event event) {
  for (RunObserver* observer : observers_) event(*observer);
}

}  // namespace slidetrack
