#pragma once
// Two slide pictures in a row, with no original to ask: whether they show one slide. A change
// the speaker made (his shirt or arm taken in as a slide appeared, then moving) leaves two
// pictures whose content is the same where both saw the slide; a real change, even a build
// of one line or one block, leaves content that one has and the other lacks.

#include <vector>

#include <opencv2/core.hpp>

namespace slidetrack {

struct SameSlide {
  bool same = false;
  double seen = 0.0;  // share of the pixels both pictures saw
  int differing = 0;  // work pixels of content one has and the other lacks
};

// A picture's blurred channels and its marks at a comparison's size: a caller that compares
// one picture again (the later of two becomes the earlier of the next two) keeps them.
struct PreparedPicture {
  cv::Size size;
  std::vector<cv::Mat> channels;
  cv::Mat marks;
};

// first, second: 8-bit BGR, one size; firstUnseen, secondUnseen: 8-bit, the work size (half
// the pictures'), 255 = never seen (the speaker's part of a picture), or empty (all seen).
// Pixels never seen are left out, so a filled picture and one as taken compare alike.
// firstKept, secondKept: what was prepared of each picture before (used when made at this
// comparison's size) and is left prepared here; null for none. Thin strokes in a saturated
// colour are a pen's and count for neither; with textApart, not where they make a line of
// typeset text that one picture has and the other lacks.
SameSlide picturesShowOneSlide(const cv::Mat& first, const cv::Mat& firstUnseen,
                               const cv::Mat& second, const cv::Mat& secondUnseen,
                               PreparedPicture* firstKept = nullptr,
                               PreparedPicture* secondKept = nullptr, bool textApart = false);

// Share of pixels (8-bit, 255 = counted; the unseen maps' size) that neither unseen map marks;
// 1 when there are none.
double shareSeenByBoth(const cv::Mat& pixels, const cv::Mat& firstUnseen,
                       const cv::Mat& secondUnseen);

}  // namespace slidetrack
