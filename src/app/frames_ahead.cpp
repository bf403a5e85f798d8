#include "app/frames_ahead.h"

#include <utility>

namespace slidetrack {

void framesAheadFill(FramesAhead& ahead, VideoSource* video, Rectifier& rectifier, int frameCount,
                     int step, size_t most, bool withGrey, const std::function<bool()>& keepGoing) {
  int t = ahead.next;
  if (!ahead.frames.empty() && !ahead.frames.back().found) return;
  while (ahead.frames.size() < most && (frameCount == kUnknownFrameCount || t < frameCount) &&
         keepGoing()) {
    FrameAhead frame;
    frame.t = t;
    try {
      const cv::Mat* picture = videoSourceGetFrame(video, t);
      frame.found = picture != nullptr;
      if (picture)
        rectifierApply(rectifier, *picture, frame.screenBgr,
                       withGrey ? &frame.screenGrey : nullptr);
    } catch (...) {
      frame.failed = std::current_exception();
    }
    const bool last = !frame.found || frame.failed;
    ahead.frames.push_back(std::move(frame));
    if (last) break;
    t += step;
    ahead.next = t;
  }
}

namespace {

// Into the loop's own image, which others may hold: they see the new frame in it then;
// when none does, the frame's own buffer is taken instead of copied.
void takeInto(cv::Mat& frame, cv::Mat& own) {
  if (own.u && own.u->refcount > 1)
    frame.copyTo(own);
  else
    own = std::move(frame);
}

}  // namespace

bool framesAheadTake(FramesAhead& ahead, int t, cv::Mat& screenBgr, cv::Mat* screenGrey,
                     bool& found) {
  if (ahead.frames.empty() || ahead.frames.front().t != t) return false;
  FrameAhead frame = std::move(ahead.frames.front());
  ahead.frames.pop_front();
  if (frame.failed) std::rethrow_exception(frame.failed);
  found = frame.found;
  if (!found) return true;
  takeInto(frame.screenBgr, screenBgr);
  if (screenGrey && !frame.screenGrey.empty()) takeInto(frame.screenGrey, *screenGrey);
  return true;
}

}  // namespace slidetrack
