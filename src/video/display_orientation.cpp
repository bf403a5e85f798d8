#include "video/display_orientation.h"

#include <cmath>

namespace slidetrack {

namespace {

// -1, 0 or 1 when the 16.16 value is one of them; 2 for anything else.
int unitOf(int32_t fixed) {
  const double value = fixed / 65536.0;
  for (int unit : {-1, 0, 1})
    if (std::fabs(value - unit) < 1e-3) return unit;
  return 2;
}

cv::Rect mirrored(const DisplayOrientation& o, const cv::Size& space, cv::Rect r) {
  if (o.flipX) r.x = space.width - r.x - r.width;
  if (o.flipY) r.y = space.height - r.y - r.height;
  return r;
}

cv::Rect transposed(const cv::Rect& r) { return cv::Rect(r.y, r.x, r.height, r.width); }

}  // namespace

DisplayOrientation orientationFromMatrix(const int32_t* m) {
  DisplayOrientation o;
  if (!m) return o;
  // FFmpeg maps stored (p, q) to shown (a p + c q, b p + d q), up to a shift.
  const int a = unitOf(m[0]), b = unitOf(m[1]), c = unitOf(m[3]), d = unitOf(m[4]);
  if (a != 0 && b == 0 && c == 0 && d != 0 && std::abs(a) == 1 && std::abs(d) == 1) {
    o.flipX = a < 0;
    o.flipY = d < 0;
  } else if (a == 0 && d == 0 && std::abs(b) == 1 && std::abs(c) == 1) {
    o.transpose = true;
    o.flipX = c < 0;
    o.flipY = b < 0;
  }
  return o;
}

cv::Size displayedSize(const DisplayOrientation& o, const cv::Size& stored) {
  return o.transpose ? cv::Size(stored.height, stored.width) : stored;
}

cv::Rect displayedArea(const DisplayOrientation& o, const cv::Size& stored, const cv::Rect& area) {
  return mirrored(o, displayedSize(o, stored), o.transpose ? transposed(area) : area);
}

cv::Rect storedArea(const DisplayOrientation& o, const cv::Size& stored, const cv::Rect& area) {
  // Mirroring undoes itself; the transpose comes off last.
  const cv::Rect unmirrored = mirrored(o, displayedSize(o, stored), area);
  return o.transpose ? transposed(unmirrored) : unmirrored;
}

void orientArea(const DisplayOrientation& o, const cv::Mat& stored, const cv::Rect& area,
                cv::Mat& shown) {
  cv::Mat target = shown(displayedArea(o, stored.size(), area));
  const cv::Mat part = stored(area);
  const int flip = o.flipX && o.flipY ? -1 : o.flipX ? 1 : 0;
  if (o.transpose && (o.flipX || o.flipY)) {
    cv::Mat turned;
    cv::transpose(part, turned);
    cv::flip(turned, target, flip);
  } else if (o.transpose) {
    cv::transpose(part, target);
  } else if (o.flipX || o.flipY) {
    cv::flip(part, target, flip);
  } else {
    part.copyTo(target);
  }
}

}  // namespace slidetrack
