#pragma once
// Frame-rate arithmetic of the video source, free of FFmpeg types so it can be checked
// on its own.

#include <cstdint>

namespace slidetrack {

// Seconds per frame as num / den.
struct FrameTimeBase {
  int num = 0;
  int den = 0;
  bool fromFrameRate = false;  // taken from a frame rate, not only the stream clock
  bool valid() const { return num > 0 && den > 0; }
};

// A clock of 1/N with N > 1000 counts ticks, not frames: it becomes 1000/N.
FrameTimeBase correctFrameTimeBase(FrameTimeBase base);

// The inverse of the average frame rate, else of the real frame rate, else the stream's
// own time base; corrected. Rates or bases with a zero part count as unknown.
FrameTimeBase frameTimeBaseFor(int avgRateNum, int avgRateDen, int realRateNum, int realRateDen,
                               int streamBaseNum, int streamBaseDen);

// floor(seconds * fps + 0.5), clamped to the int range; 0 for an invalid base.
int frameCountForDuration(int64_t durationMicros, FrameTimeBase base);
int frameCountForSeconds(long double seconds, FrameTimeBase base);

// floor(k * 1e6 * num / den + 0.5): the time of frame k in microseconds.
int64_t frameTimeMicros(unsigned k, FrameTimeBase base);

// Display position (0 = first picture) of a timestamp in stream units, rounded to the
// nearest frame, and the stream timestamp at which a position starts.
int64_t pictureNumberAt(int64_t timestamp, int64_t firstTimestamp, int streamBaseNum,
                        int streamBaseDen, FrameTimeBase base);
int64_t timestampOfPicture(int64_t picture, int64_t firstTimestamp, int streamBaseNum,
                           int streamBaseDen, FrameTimeBase base);

}  // namespace slidetrack
