#pragma once
// The turn and mirror a stream's display matrix asks for (multiples of 90 degrees), applied
// to converted pictures so every stage sees the picture the way players show it.

#include <cstdint>

#include <opencv2/core.hpp>

namespace slidetrack {

// Shown picture from stored picture: transposed first, then mirrored left-right (flipX)
// and top-bottom (flipY).
struct DisplayOrientation {
  bool transpose = false;
  bool flipX = false;
  bool flipY = false;
  bool identity() const { return !transpose && !flipX && !flipY; }
};

// From FFmpeg's 3x3 display matrix (16.16 fixed point); a matrix that is no quarter turn
// or mirror (or none at all) leaves pictures as stored.
DisplayOrientation orientationFromMatrix(const int32_t* matrix);

cv::Size displayedSize(const DisplayOrientation& o, const cv::Size& stored);
// Where a rectangle of the stored picture lands in the shown one, and back.
cv::Rect displayedArea(const DisplayOrientation& o, const cv::Size& stored, const cv::Rect& area);
cv::Rect storedArea(const DisplayOrientation& o, const cv::Size& stored, const cv::Rect& area);

// Writes area of the stored picture into its place in shown (already of the shown size).
void orientArea(const DisplayOrientation& o, const cv::Mat& stored, const cv::Rect& area,
                cv::Mat& shown);

}  // namespace slidetrack
