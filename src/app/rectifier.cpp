#include "app/rectifier.h"

#include <algorithm>
#include <climits>

#include <opencv2/imgproc.hpp>

#include "app/rectifier_gather.h"

namespace slidetrack {

namespace {

template <typename T>
cv::Rect shownAreaOf(const cv::Mat& sourceOf, cv::Size frame) {
  int x0 = frame.width, y0 = frame.height, x1 = -1, y1 = -1;
  for (int y = 0; y < sourceOf.rows; ++y) {
    const cv::Vec<T, 2>* row = sourceOf.ptr<cv::Vec<T, 2>>(y);
    for (int x = 0; x < sourceOf.cols; ++x) {
      const int sx = static_cast<int>(row[x][0]), sy = static_cast<int>(row[x][1]);
      if (sx < 0 || sy < 0 || sx >= frame.width || sy >= frame.height) continue;
      x0 = std::min(x0, sx);
      x1 = std::max(x1, sx);
      y0 = std::min(y0, sy);
      y1 = std::max(y1, sy);
    }
  }
  return x1 < 0 ? cv::Rect() : cv::Rect(x0, y0, x1 - x0 + 1, y1 - y0 + 1);
}

cv::Rect shownArea(const cv::Mat& sourceOf, cv::Size frame) {
  return sourceOf.type() == CV_16SC2 ? shownAreaOf<short>(sourceOf, frame)
                                     : shownAreaOf<float>(sourceOf, frame);
}

}  // namespace

void rectifierInit(Rectifier& r, const cv::Mat& perspective, cv::Size frame, cv::Size screen) {
  // Warping an image of its own coordinates picks, pixel for pixel, what the warp of a
  // frame would pick. Short coordinates are the fastest lookup and half the image to
  // fill; frames too large for them keep float ones.
  const bool small = frame.width <= SHRT_MAX && frame.height <= SHRT_MAX;
  cv::Mat coordinates(frame, small ? CV_16UC2 : CV_32FC2);
  for (int y = 0; y < frame.height; ++y) {
    if (small) {
      cv::Vec2w* row = coordinates.ptr<cv::Vec2w>(y);
      for (int x = 0; x < frame.width; ++x) row[x] = cv::Vec2w(ushort(x), ushort(y));
    } else {
      cv::Vec2f* row = coordinates.ptr<cv::Vec2f>(y);
      for (int x = 0; x < frame.width; ++x) row[x] = cv::Vec2f(float(x), float(y));
    }
  }
  if (small) {
    // Outside the frame the border value 0xFFFF reads as (-1, -1) in signed shorts.
    r.sourceOf.create(screen, CV_16SC2);
    cv::Mat picked(screen, CV_16UC2, r.sourceOf.data, r.sourceOf.step);
    cv::warpPerspective(coordinates, picked, perspective, screen, cv::INTER_NEAREST,
                        cv::BORDER_CONSTANT, cv::Scalar::all(USHRT_MAX));
  } else {
    cv::warpPerspective(coordinates, r.sourceOf, perspective, screen, cv::INTER_NEAREST,
                        cv::BORDER_CONSTANT, cv::Scalar(-1, -1));
  }
  r.sourceArea = shownArea(r.sourceOf, frame);
  r.screenBgra.release();  // made by the library lookup, only when that is used
  r.offsets.clear();
  r.offsetStep = 0;
}

namespace {

// Byte offsets fit 32 bits for any frame below 2 GB.
bool offsetsFit(const cv::Mat& frame) {
  return frame.step[0] * static_cast<size_t>(frame.rows) < static_cast<size_t>(INT32_MAX);
}

void buildOffsets(Rectifier& r, const cv::Mat& frame) {
  r.offsets.resize(r.sourceOf.total());
  std::int32_t* out = r.offsets.data();
  for (int y = 0; y < r.sourceOf.rows; ++y) {
    const cv::Vec2s* row = r.sourceOf.ptr<cv::Vec2s>(y);
    for (int x = 0; x < r.sourceOf.cols; ++x) {
      const bool inside =
          row[x][0] >= 0 && row[x][1] >= 0 && row[x][0] < frame.cols && row[x][1] < frame.rows;
      *out++ = inside ? static_cast<std::int32_t>(row[x][1] * frame.step[0] + row[x][0] * 4) : -1;
    }
  }
  r.offsetStep = frame.step[0];
}

}  // namespace

void rectifierApply(Rectifier& r, const cv::Mat& frameBgra, cv::Mat& screenBgr,
                    cv::Mat* screenGrey) {
  const bool gathered = r.sourceOf.type() == CV_16SC2 && frameBgra.type() == CV_8UC4 &&
                        offsetsFit(frameBgra) && gatherAvailable();
  if (!gathered) {
    cv::remap(frameBgra, r.screenBgra, r.sourceOf, cv::noArray(), cv::INTER_NEAREST,
              cv::BORDER_CONSTANT, cv::Scalar::all(0));
    cv::cvtColor(r.screenBgra, screenBgr, cv::COLOR_BGRA2BGR);
    if (screenGrey) cv::cvtColor(screenBgr, *screenGrey, cv::COLOR_BGR2GRAY);
    return;
  }
  if (r.offsetStep != frameBgra.step[0]) buildOffsets(r, frameBgra);
  screenBgr.create(r.sourceOf.size(), CV_8UC3);
  if (screenGrey) screenGrey->create(r.sourceOf.size(), CV_8UC1);
  const int width = r.sourceOf.cols;
  // The grey is taken while the row's pixels are in registers, not read back afterwards.
  for (int y = 0; y < r.sourceOf.rows; ++y)
    gatherBgrRow(frameBgra.data, r.offsets.data() + static_cast<size_t>(y) * width,
                 screenBgr.ptr<std::uint8_t>(y), width,
                 screenGrey ? screenGrey->ptr<std::uint8_t>(y) : nullptr);
}

}  // namespace slidetrack
