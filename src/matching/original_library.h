#pragma once
// Features of every original slide that could be read, in the order of the originals list.

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <opencv2/core.hpp>

#include "features/feature_options.h"

namespace slidetrack {

struct SlideList;
struct GradDistExtractor;

struct OriginalSlideLibrary {
  // The originals read in one continuous CV_32FC1 block: rows k*featureCount ..
  // (k+1)*featureCount-1 are the k-th of them, listIndex[k] in the originals list.
  cv::Mat features;
  int count = 0;               // originals read
  std::vector<int> listIndex;  // their places in the list; empty in a library made by hand
  int featureCount = 0;
  int binCount = 0;
  std::vector<int> unread;                // indices of the originals that could not be read
  std::vector<std::string> unreadCauses;  // why, for each of them
  // count x featureCount CV_32FC1: each window's gradient strength before its row was
  // scaled to unit length (windowStrengths), so an empty window can be told from content.
  cv::Mat strengths;
  // The same values window by window: row j * binCount + b holds bin b of window j of
  // every original, so the matcher compares a frame window with all originals in
  // vector steps. Empty in a library made by hand; the matcher then arranges it itself.
  cv::Mat byWindow;
  // Each original's feature image at half its size (CV_8UC1), for the matcher's picture
  // check; empty in a library made by hand.
  std::vector<cv::Mat> pictures;
};

// Fills library.byWindow from library.features.
void originalLibraryArrangeByWindow(OriginalSlideLibrary& library);

// Shows the progress picture and returns the key pressed within 10 ms, or -1.
// Empty when running without windows.
using ProgressViewer = std::function<int(const cv::Mat&)>;

// Returns nullptr when an argument is missing or the list holds no record. Esc in the
// progress window stops the build: nullptr with *aborted set; the program then ends
// with status 1. The viewer is called after each original that loaded; closing the
// "Progress" window afterwards is the caller's.
std::unique_ptr<OriginalSlideLibrary> originalLibraryBuild(const SlideList* originals,
                                                           GradDistExtractor* extractor,
                                                           const FeatureOptions& options,
                                                           const ProgressViewer& viewer,
                                                           bool* aborted);
// Draws the progress picture: label followed by the percentage, bar up to fraction.
cv::Mat progressWindowShow(const char* label, double fraction, int height, int width);

}  // namespace slidetrack
