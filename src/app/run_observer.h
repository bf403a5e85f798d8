#pragma once
// What a run tells about itself as it goes. The console lines, the results file, the slide
// pictures and the windows are observers; each reacts to the events it needs.

#include <string>

#include <opencv2/core.hpp>

#include "results/slide_list.h"

namespace slidetrack {

class Pipeline;

// An observer's answer where the user may stop the run (Esc in a window).
enum class Control { kGoOn, kStop };

struct FrameEvent {
  int t = 0;
  int frameCount = 0;
  const cv::Mat& screen;                      // the rectified screen, BGR
  const SlideList& slides;                    // every record so far
  bool recordOpened = false;                  // the frame opened a record
  const SlideRecord* decidedMatch = nullptr;  // the original matched in this frame
  Pipeline& pipeline;                         // for pictures built on request
};

class RunObserver {
 public:
  virtual ~RunObserver() = default;

  // Slide pictures are built only when an observer saves or shows them; the pictures of
  // the screen search and the library build only for one that shows them.
  virtual bool needsSlidePictures() const { return false; }
  virtual bool showsPictures() const { return false; }

  // Stored corners that cannot outline a screen in this video: searched for again.
  virtual void cornersRefused() {}
  // The screen search, when no corners are stored.
  virtual void searchStarted() {}
  virtual void searchSample(int /*position*/) {}
  virtual Control searchPicture(const cv::Mat& /*colour*/) { return Control::kGoOn; }
  // The samples show a screen recording: no corners, the whole frame is the slide.
  virtual void searchFoundRecording() {}
  virtual void searchFinished(bool /*found*/) {}

  // Start of the frame walk.
  virtual void wholeFrameScreen() {}
  virtual void videoPositioned(unsigned /*frame*/, long long /*micros*/) {}
  virtual void originalsUnusable(const std::string& /*path*/) {}
  virtual void originalUnread(const SlideRecord& /*original*/, const std::string& /*path*/,
                              const std::string& /*cause*/) {}
  virtual Control libraryProgress(const cv::Mat& /*picture*/) { return Control::kGoOn; }
  virtual void libraryBuilt(bool /*complete*/) {}
  virtual void libraryAborted() {}
  // The loop steps by fewer frames than slideFrameStep, as the video has fewer per second.
  virtual void frameStepChosen(int /*step*/, double /*framesPerSecond*/) {}
  virtual void framesStarted() {}

  // Each processed frame, in this order.
  virtual void frameStarted(int /*t*/, int /*frameCount*/) {}
  // A record ended; picture is the slide it showed (empty when none was built).
  virtual void slideEnded(const SlideRecord& /*record*/, const cv::Mat& /*picture*/) {}
  virtual void slideChanged(const SlideRecord& /*opened*/) {}
  virtual void noMatch(const SlideRecord& /*best*/, double /*score*/) {}
  virtual void matchDecided(const SlideRecord& /*original*/, double /*score*/) {}
  virtual void matchChanged(const SlideRecord& /*from*/, const SlideRecord& /*to*/,
                            double /*score*/) {}
  // An ended record's match to original was taken back: the frames since showed it better.
  virtual void matchWithdrawn(const SlideRecord& /*record*/, const SlideRecord& /*original*/) {}
  // The record just ended showed the same original as the one before it, with nothing changed
  // on the screen between: into takes it in and now ends where it ended. Told before into's
  // end and picture change; joined's id goes to the next record opened.
  virtual void recordJoined(const SlideRecord& /*joined*/, const SlideRecord& /*into*/) {}
  virtual Control frameDone(const FrameEvent& /*frame*/) { return Control::kGoOn; }

  // After the last frame, the open record closed.
  virtual void runFinished(const SlideList& /*slides*/) {}
};

}  // namespace slidetrack
