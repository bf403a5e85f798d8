#pragma once
// Whether an original explains the screen picture itself, cell by cell, once the original
// is brought to the shift and blur at which the frame shows it. Gradient histograms scaled
// to unit length cannot tell a block of digits from the same block drawn in coloured
// columns; the pictures can, where the screen is sharp enough to show the difference.

#include <cstdint>
#include <vector>

#include <opencv2/core.hpp>

namespace slidetrack {

struct OriginalSlideLibrary;

struct PictureCheckLibrary {
  cv::Size size;                  // of the pictures compared (half the feature image)
  std::vector<cv::Mat> pictures;  // per original, CV_32FC1; empty: no check
  std::vector<uint8_t> apart;     // per cell: 1 where the originals differ
  std::vector<uint8_t> content;   // k * cells + c: 1 where original k shows something
  int cells = 0;
};

// The library's pictures (OriginalSlideLibrary::pictures); without them nothing is checked.
void pictureCheckBuild(const OriginalSlideLibrary& library, PictureCheckLibrary& out);

struct PictureFrame {
  cv::Mat picture;               // the frame at the library's picture size, CV_32FC1
  std::vector<uint8_t> covered;  // per cell; empty: nothing covered
};

// featureImage: the frame's 8-bit feature image; coveredMask: empty, or 8-bit over the
// screen, 255 where someone stands or the slide was not seen yet. The cells it covers by a
// third are not judged, however many: the rest can still tell.
void pictureFramePrepare(const PictureCheckLibrary& library, const cv::Mat& featureImage,
                         const cv::Mat& coveredMask, PictureFrame& out);

// Compares the frame with original k: tested[c] and failed[c] (cells entries each) are
// raised for the cells where the originals differ and the frame or the original shows
// something, failed where the frame shows structure original k does not explain. False when
// no cell could be judged (too blurred, covered, or nothing shown).
bool pictureCheck(const PictureCheckLibrary& library, int k, const PictureFrame& frame, int* tested,
                  int* failed);

// The share of the cells where the originals differ, and original k or the frames showed
// something, that k left unexplained in most of the frames that judged them (tested and
// failed summed over frames, cells entries each); -1 when too few cells were judged.
double pictureUnexplained(const PictureCheckLibrary& library, int k, const std::vector<int>& tested,
                          const std::vector<int>& failed);

}  // namespace slidetrack
