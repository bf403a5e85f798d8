// The robust change decision's second look at content the person mask took in: a new
// slide's text joins the speaker's region where it touches him, and can swallow most of
// the change.

#include <algorithm>

#include <opencv2/imgproc.hpp>

#include "slides/robust_change.h"
#include "slides/speaker_body.h"
#include "slides/speaker_either.h"

namespace slidetrack {

// The most changed cells side by side in one row.
int RobustChangeDetector::widestRun(const Cells& cells) const {
  int widest = 0;
  for (int r = 0; r < cells.rows; ++r) {
    int run = 0;
    for (int c = 0; c < cells.cols; ++c) {
      run = cells.counts[size_t(r) * cells.cols + c] >= cellPixels() ? run + 1 : 0;
      widest = std::max(widest, run);
    }
  }
  return widest;
}

bool RobustChangeDetector::newBesideSpeaker(const cv::Mat& coveredBefore, int& hit) {
  if (!(options_.slideChangeBeside > 0)) return false;
  // His are: where someone stood a frame ago, a body in this image or in the reference,
  // and what the reference took from a hole without a comparison (clothing of the slide's
  // grey, which uncovered text would differ from).
  cv::Mat live, hidden, body;
  cv::bitwise_or(moving_, covered_, live);
  cv::bitwise_or(live, changed_, live);
  cv::bitwise_or(coveredBefore, filled_, hidden);
  // Each look below only hides more, so a cell short of new pixels stays short: once too
  // few cells are left the rest of the looks, the costly part, cannot bring any back.
  Cells rest;
  auto enoughLeft = [&](const cv::Mat& more) {
    if (!more.empty()) cv::bitwise_or(hidden, more, hidden);
    countCells(changed_, hidden, rest);
    int left = 0;
    for (int count : rest.counts) left += count >= cellPixels();
    return left >= options_.slideChangeCells;
  };
  if (!enoughLeft(cv::Mat())) return false;
  for (const ScreenLook& look : {ScreenLook{work_, colour_}, ScreenLook{ref_, refColour_}}) {
    speakerInLook(look, background_, commonGrey_, live, coveredBefore, body,
                  options_.slideTintUpper == 1);
    if (!enoughLeft(body)) return false;
  }
  // He may overlap the slide's bars, which the look above leaves him joined to: his trunk
  // above his legs is his all the same.
  const BodyHints hints{cv::Mat(), moving_, true, true, cv::Mat()};
  for (const cv::Mat* look : {&work_, &ref_}) {
    speakerBody(*look, background_, live, body, &hints);
    if (!enoughLeft(body)) return false;
  }
  int left = 0, seen = 0;
  for (int count : rest.counts) {
    left += count >= cellPixels();
    seen += count >= 0;
  }
  // A walking speaker the looks above miss changes a few cells beside him; a new slide
  // changes a good part of the rest. A row of it wider than half the screen is no one
  // standing there: a new block or line of text, which asks for half as much.
  const double share = options_.slideBesideWide == 1 && widestRun(rest) * 2 >= rest.cols
                           ? options_.slideChangeBeside / 2
                           : options_.slideChangeBeside;
  if (left < options_.slideChangeCells || left < share * seen) return false;
  covered_ = hidden;
  cells_ = rest;
  hit = left;
  return true;
}

}  // namespace slidetrack
