#pragma once
// JPEG's full-range YCbCr to BGR as the usual JPEG library computes it: chroma halved
// across (and down) brought back by its triangle ("fancy") upsampling, colour by its
// 16-bit fixed-point factors. Another decoder's planes then give the same pixels but
// for its own IDCT rounding.

#include <cstdint>

#include <opencv2/core.hpp>

namespace slidetrack {

// planes and strides of Y, Cb, Cr; chroma halved across when halfWidth, down when
// halfHeight (down alone is not a layout handled here). Fills bgr, width x height.
void jpegPlanesToBgr(const std::uint8_t* const planes[3], const int strides[3], int width,
                     int height, bool halfWidth, bool halfHeight, cv::Mat& bgr);

}  // namespace slidetrack
