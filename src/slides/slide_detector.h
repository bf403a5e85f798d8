#pragma once
// Slide change detector: compares small edge maps of the rectified screen against the
// per-pixel mode of the current slide's recent frames.

#include <memory>
#include <vector>

#include <opencv2/core.hpp>

namespace slidetrack {

struct SlideChangeDetector {
  std::vector<cv::Mat> frames;  // ring of the last processed frames (full size, BGR)
  std::vector<cv::Mat> edges;   // ring of their edge maps, slot k belongs to frames[k]
  cv::Mat slideImage;           // picture of a slide; non-empty once primed with pictures
  cv::Size frameSize;           // size of the priming frame; empty before priming
  // Without pictures the detector keeps no ring of frames and builds no slide picture:
  // the decisions are the same, for runs that neither show nor save pictures. Set before
  // the first frame.
  bool keepPictures = true;
  cv::Mat refEdges;  // reference edge map of the current slide
  cv::Mat grey;      // work image of the frame size
  int slideDiffBuff = 0;
  int pos = 0;         // slot the next processed frame goes to
  int slideStart = 0;  // slot of the first frame of the current slide
  int slideDetHeight = 0;
  int slideDetWidth = 0;
  float slideDiffThresh = 0.f;   // stored, takes no part in the decision
  float slideDistrThresh = 0.f;  // stored, takes no part in the decision
  // Work matrices of the edge map and the difference, kept to spare per-frame allocation.
  cv::Mat dx, dy, diff, columnSums, rowSums;
};

// Returns nullptr when slideDiffBuff is outside 1..255 or a size is below 1.
std::unique_ptr<SlideChangeDetector> slideDetCreate(std::unique_ptr<SlideChangeDetector> detector,
                                                    int slideDetHeight, int slideDetWidth,
                                                    int slideDiffBuff, float slideDiffThresh,
                                                    float slideDistrThresh);
// 1 when the slide changed with this frame (slideImage then holds the ended slide's
// picture, when pictures are kept), otherwise 0. score, when given, receives spread x fraction. -1,
// with the detector untouched, for a frame that is not 8-bit BGR or whose size differs from the
// frame that primed the detector.
int slideDetProcess(SlideChangeDetector* detector, const cv::Mat& frame, double* score);
// The picture of the slide shown since the last change, rebuilt over its window. Empty
// on a detector that has seen no frame or keeps no pictures.
const cv::Mat& slideDetSlideImage(SlideChangeDetector* detector);
// -1 without a frame (detector emptied), 1 after priming with the frame. A frame that is
// not 8-bit BGR also leaves the detector empty and gives -1.
int slideDetReset(SlideChangeDetector* detector, const cv::Mat* frame);
void slideDetRelease(std::unique_ptr<SlideChangeDetector>& detector);

}  // namespace slidetrack
