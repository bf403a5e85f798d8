#pragma once
// Processed frames rectified ahead of the loop, while the library of the originals is
// built on other threads: the run asks the video for the same frames in the same order,
// only earlier, so every picture is the one it would have been.

#include <deque>
#include <exception>
#include <functional>

#include <opencv2/core.hpp>

#include "app/rectifier.h"
#include "video/video_source.h"

namespace slidetrack {

struct FrameAhead {
  int t = 0;
  bool found = false;  // false: the video ends before frame t
  cv::Mat screenBgr, screenGrey;
  std::exception_ptr failed;  // raised when the loop reaches frame t
};

struct FramesAhead {
  std::deque<FrameAhead> frames;
  int next = 0;  // the next frame to take ahead
};

// Frames next, next + step... while keepGoing() says so, at most `most` of them, up to
// the frame count (kUnknownFrameCount: on to the end) or the first frame not found; with
// their grey when withGrey.
void framesAheadFill(FramesAhead& ahead, VideoSource* video, Rectifier& rectifier, int frameCount,
                     int step, size_t most, bool withGrey, const std::function<bool()>& keepGoing);
// Frame t into screenBgr (and its grey when asked) if it was taken ahead: true then, with
// found telling whether the video had it. An error met while taking it is raised now.
bool framesAheadTake(FramesAhead& ahead, int t, cv::Mat& screenBgr, cv::Mat* screenGrey,
                     bool& found);

}  // namespace slidetrack
