#pragma once
// Where a true slide change shows: the pixels that differ between the old and the new
// slide, and the processed frames at which they lie outside the speaker's mask.

#include <string>
#include <vector>

#include "ground_truth.h"
#include "results/slide_list.h"

struct ChangeVisibility {
  int picture = 0;         // first picture of the new slide
  int from = -1, to = -1;  // slide indices
  double area = 0;         // share of the slide's pixels that differ between the two
  int first = -1;          // first processed index that shows the new slide
  int visible10 = -1;      // first processed index with 10 % of the difference in sight
  int visible50 = -1;      // the same with half of it; -1 while the slide never shows that
  int reported = -1;       // first record start from one processed frame before `first`
};

// One entry per true change between two slides (lectureDir/slides/slide_N.png), looking at
// the processed indices (multiples of frameStep) while the new slide is shown.
std::vector<ChangeVisibility> changeVisibility(const std::vector<TruthFrame>& truth,
                                               const std::string& lectureDir,
                                               const slidetrack::SlideList& results, int frameStep);
