#include "rectifier.h"

#include <climits>

#include <opencv2/imgproc.hpp>

void rectifierInit(Rectifier& r, const cv::Mat& perspective, cv::Size frame, cv::Size screen) {
  // Warping an image of its own coordinates picks, pixel for pixel, what the warp of a
  // frame would pick.
  cv::Mat coordinates(frame, CV_32FC2);
  for (int y = 0; y < frame.height; ++y) {
    cv::Vec2f* row = coordinates.ptr<cv::Vec2f>(y);
    for (int x = 0; x < frame.width; ++x) row[x] = cv::Vec2f(float(x), float(y));
  }
  cv::Mat picked;
  cv::warpPerspective(coordinates, picked, perspective, screen, cv::INTER_NEAREST,
                      cv::BORDER_CONSTANT, cv::Scalar(-1, -1));
  // Short coordinates are the fastest lookup; frames too large for them keep float ones.
  if (frame.width <= SHRT_MAX && frame.height <= SHRT_MAX)
    picked.convertTo(r.sourceOf, CV_16SC2);
  else
    r.sourceOf = picked;
  r.screenBgra.create(screen, CV_8UC4);
}

void rectifierApply(Rectifier& r, const cv::Mat& frameBgra, cv::Mat& screenBgr) {
  cv::remap(frameBgra, r.screenBgra, r.sourceOf, cv::noArray(), cv::INTER_NEAREST,
            cv::BORDER_CONSTANT, cv::Scalar::all(0));
  cv::cvtColor(r.screenBgra, screenBgr, cv::COLOR_BGRA2BGR);
}
