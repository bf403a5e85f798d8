#include "app/frames_ahead.h"

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

bool framesAheadTake(FramesAhead& ahead, int t, cv::Mat& screenBgr, cv::Mat* screenGrey,
                     bool& found) {
  if (ahead.frames.empty() || ahead.frames.front().t != t) return false;
  FrameAhead frame = std::move(ahead.frames.front());
  ahead.frames.pop_front();
  if (frame.failed) std::rethrow_exception(frame.failed);
  found = frame.found;
  if (!found) return true;
  // Into the loop's own images, which others may hold.
  frame.screenBgr.copyTo(screenBgr);
  if (screenGrey && !frame.screenGrey.empty()) frame.screenGrey.copyTo(*screenGrey);
  return true;
}

}  // namespace slidetrack
