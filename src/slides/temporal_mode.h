#pragma once
// Per-element most frequent value over a run of ring slots: the slide picture and the
// reference edge map are both built this way.

#include <vector>

#include <opencv2/core.hpp>

namespace slidetrack {

// dst <- for every element (row, column, channel) the value that occurs most often in
// ring slots first, first+1, ..., first+count-1 (modulo ringLength); on a tie the higher
// value. dst takes the size and type of the ring's matrices and is zero when count <= 0.
// A window longer than the ring is cut to the ring. Ring matrices must be 8-bit and all
// of one size and type; otherwise dst is left zero.
void temporalMode(const std::vector<cv::Mat>& ring, int ringLength, cv::Mat& dst, int first,
                  int count);

}  // namespace slidetrack
