#pragma once
// Straightens the screen of every frame. The perspective map is fixed for a run, so the
// source pixel of every screen pixel is found once and each frame is only a table lookup.

#include <cstdint>
#include <vector>

#include <opencv2/core.hpp>

namespace slidetrack {

struct Rectifier {
  cv::Mat sourceOf;    // per screen pixel the frame pixel it shows, or (-1, -1) outside
  cv::Mat screenBgra;  // work image of the library's lookup (processors without AVX2)
  // The same lookup as byte offsets into a frame whose rows are offsetStep bytes apart,
  // -1 outside; built on the first frame, and again when a frame's row stride differs.
  std::vector<std::int32_t> offsets;
  size_t offsetStep = 0;
  cv::Rect sourceArea;  // bounding box of the frame pixels the screen shows
};

// perspective maps frame coordinates to screen coordinates (3x3), as for a forward warp
// with nearest-neighbour sampling and black outside the frame.
void rectifierInit(Rectifier& r, const cv::Mat& perspective, cv::Size frame, cv::Size screen);
// frameBgra: the 4-channel frame; screenBgr receives the rectified screen and, when given,
// screenGrey its grey as cv::cvtColor's BGR2GRAY gives it.
void rectifierApply(Rectifier& r, const cv::Mat& frameBgra, cv::Mat& screenBgr,
                    cv::Mat* screenGrey = nullptr);

}  // namespace slidetrack
