#include "video/video_timing.h"

#include <climits>
#include <cmath>

namespace slidetrack {

FrameTimeBase correctFrameTimeBase(FrameTimeBase base) {
  if (base.num == 1 && base.den > 1000) base.num = 1000;
  return base;
}

FrameTimeBase frameTimeBaseFor(int avgRateNum, int avgRateDen, int realRateNum, int realRateDen,
                               int streamBaseNum, int streamBaseDen) {
  FrameTimeBase base;
  if (avgRateNum > 0 && avgRateDen > 0) {
    base = {avgRateDen, avgRateNum, true};
  } else if (realRateNum > 0 && realRateDen > 0) {
    base = {realRateDen, realRateNum, true};
  } else if (streamBaseNum > 0 && streamBaseDen > 0) {
    base = {streamBaseNum, streamBaseDen, false};
  }
  return correctFrameTimeBase(base);
}

int frameCountForSeconds(long double seconds, FrameTimeBase base) {
  if (!base.valid() || !(seconds > 0)) return 0;
  const long double count =
      std::floor(seconds / (static_cast<long double>(base.num) / base.den) + 0.5L);
  if (count >= INT_MAX) return INT_MAX;
  return static_cast<int>(count);
}

int frameCountForDuration(int64_t durationMicros, FrameTimeBase base) {
  return frameCountForSeconds(static_cast<long double>(durationMicros) / 1000000.0L, base);
}

int64_t frameTimeMicros(unsigned k, FrameTimeBase base) {
  if (!base.valid()) return 0;
  return static_cast<int64_t>(
      std::floor(static_cast<long double>(k) * 1000000.0L * base.num / base.den + 0.5L));
}

int64_t pictureNumberAt(int64_t timestamp, int64_t firstTimestamp, int streamBaseNum,
                        int streamBaseDen, FrameTimeBase base) {
  const long double seconds =
      static_cast<long double>(timestamp - firstTimestamp) * streamBaseNum / streamBaseDen;
  return static_cast<int64_t>(std::floor(seconds * base.den / base.num + 0.5L));
}

int64_t timestampOfPicture(int64_t picture, int64_t firstTimestamp, int streamBaseNum,
                           int streamBaseDen, FrameTimeBase base) {
  const long double seconds = static_cast<long double>(picture) * base.num / base.den;
  return firstTimestamp +
         static_cast<int64_t>(std::floor(seconds * streamBaseDen / streamBaseNum + 0.5L));
}

}  // namespace slidetrack
