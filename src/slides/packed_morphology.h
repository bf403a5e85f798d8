#pragma once
// Erosion and dilation of a 0/255 mask packed 64 pixels to a word: the bytes cv::erode and
// cv::dilate give with their default border (what lies outside the image counts for
// nothing), at a fraction of their cost on the masks a speaker is looked for in.

#include <cstdint>
#include <vector>

#include <opencv2/core.hpp>

namespace slidetrack {

// A kernel whose every row is empty or one run centred on its middle column, as a
// rectangle's and an ellipse's are: the half width of each row's run, -1 for an empty row.
struct KernelRuns {
  std::vector<int> half;
};

// Whether kernel (CV_8UC1, odd sides, anchored at its centre) is such a shape; runs then
// holds it.
bool kernelRunsOf(const cv::Mat& kernel, KernelRuns& runs);

class PackedMask {
 public:
  // False, and nothing packed, unless mask is CV_8UC1 and holds only 0 and 255.
  bool load(const cv::Mat& mask);
  void erode(const KernelRuns& kernel);
  void dilate(const KernelRuns& kernel);
  // mask: the packed mask's size, 0 and 255.
  void store(cv::Mat& mask) const;

 private:
  size_t plane() const { return size_t(rows_) * size_t(words_ + 2); }
  std::uint64_t* row(std::vector<std::uint64_t>& bits, int y) const {
    return bits.data() + size_t(y) * size_t(words_ + 2) + 1;
  }
  // Clears the words round each row and the bits past its last column.
  void clearMargins(std::vector<std::uint64_t>& bits) const;

  int cols_ = 0, rows_ = 0, words_ = 0;
  std::uint64_t last_ = 0;  // the bits of a row's last word that lie inside the image
  std::vector<std::uint64_t> bits_, spread_, out_;
};

// cv::dilate and cv::erode of a 0/255 mask by kernel with their defaults, into out (which may
// be mask); false, with the library's call left to the caller, as for packedOpenClose. A
// mask that is part of a larger image is taken alone: what lies round it must be clear
// (for a dilation) or set (for an erosion) for the library to give the same.
bool packedDilate(const cv::Mat& mask, const cv::Mat& kernel, cv::Mat& out);
bool packedErode(const cv::Mat& mask, const cv::Mat& kernel, cv::Mat& out);

// mask opened by open, then closed by close, in place, as two cv::morphologyEx calls with
// their defaults give it; false, and mask left as it was, when either kernel is not made of
// centred runs or mask holds other values than 0 and 255.
bool packedOpenClose(cv::Mat& mask, const cv::Mat& open, const cv::Mat& close);

}  // namespace slidetrack
