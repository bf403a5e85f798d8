// Conversion of the current picture to packed BGRA at the size fixed at open.

#include <algorithm>

#include "video/video_decoder.h"

extern "C" {
#include <libavutil/frame.h>
#include <libavutil/pixdesc.h>
#include <libavutil/pixfmt.h>
#include <libswscale/swscale.h>
}

namespace slidetrack {

namespace {

// Columns are taken in blocks of this many so that the part meets the same vector steps
// and chroma samples as the whole picture does.
const int kColumnAlign = 32;

bool convertWhole(VideoDecoder& d, const AVFrame* picture, cv::Mat& image) {
  // Reuses the scaler while the picture geometry and format stay the same, which gives
  // the same pixels as building a new one for every picture.
  d.scaler.reset(sws_getCachedContext(d.scaler.release(), picture->width, picture->height,
                                      static_cast<AVPixelFormat>(picture->format), d.width,
                                      d.height, AV_PIX_FMT_BGRA, SWS_FAST_BILINEAR, nullptr,
                                      nullptr, nullptr));
  if (!d.scaler) return false;
  uint8_t* planes[4] = {image.data, nullptr, nullptr, nullptr};
  int strides[4] = {static_cast<int>(image.step), 0, 0, 0};
  sws_scale(d.scaler.get(), picture->data, picture->linesize, 0, picture->height, planes, strides);
  return true;
}

// The area widened to whole chroma samples and column blocks, with the picture's plane
// pointers moved to its corner; false for pictures whose layout does not allow it.
bool areaPlanes(const AVFrame* picture, const cv::Rect& wanted, cv::Rect& area,
                const uint8_t* planes[4]) {
  const AVPixFmtDescriptor* desc = av_pix_fmt_desc_get(static_cast<AVPixelFormat>(picture->format));
  if (!desc || !(desc->flags & AV_PIX_FMT_FLAG_PLANAR) ||
      (desc->flags & (AV_PIX_FMT_FLAG_HWACCEL | AV_PIX_FMT_FLAG_BITSTREAM | AV_PIX_FMT_FLAG_PAL)))
    return false;
  const int rowAlign = 1 << desc->log2_chroma_h;
  const int x0 = wanted.x / kColumnAlign * kColumnAlign;
  const int y0 = wanted.y / rowAlign * rowAlign;
  const int x1 =
      std::min(picture->width, (wanted.br().x + kColumnAlign - 1) / kColumnAlign * kColumnAlign);
  const int y1 = std::min(picture->height, (wanted.br().y + rowAlign - 1) / rowAlign * rowAlign);
  // Nothing to gain on the whole picture.
  if (x1 <= x0 || y1 <= y0 || (x1 - x0 == picture->width && y1 - y0 == picture->height))
    return false;
  area = cv::Rect(x0, y0, x1 - x0, y1 - y0);
  for (int p = 0; p < 4; ++p) planes[p] = nullptr;
  const bool yuv = !(desc->flags & AV_PIX_FMT_FLAG_RGB);
  for (int c = 0; c < desc->nb_components; ++c) {
    const AVComponentDescriptor& comp = desc->comp[c];
    if (!picture->data[comp.plane]) return false;
    const bool chroma = yuv && (c == 1 || c == 2);
    const int x = chroma ? x0 >> desc->log2_chroma_w : x0;
    const int y = chroma ? y0 >> desc->log2_chroma_h : y0;
    // Components sharing a plane (interleaved chroma) give the same start.
    planes[comp.plane] = picture->data[comp.plane] +
                         static_cast<ptrdiff_t>(y) * picture->linesize[comp.plane] +
                         static_cast<ptrdiff_t>(x) * comp.step;
  }
  return true;
}

bool convertArea(VideoDecoder& d, const AVFrame* picture, cv::Mat& image, const cv::Rect& area,
                 const uint8_t* const planes[4]) {
  d.areaScaler.reset(sws_getCachedContext(
      d.areaScaler.release(), area.width, area.height, static_cast<AVPixelFormat>(picture->format),
      area.width, area.height, AV_PIX_FMT_BGRA, SWS_FAST_BILINEAR, nullptr, nullptr, nullptr));
  if (!d.areaScaler) return false;
  uint8_t* out[4] = {image.ptr(area.y) + area.x * 4, nullptr, nullptr, nullptr};
  int strides[4] = {static_cast<int>(image.step), 0, 0, 0};
  sws_scale(d.areaScaler.get(), planes, picture->linesize, 0, area.height, out, strides);
  return true;
}

}  // namespace

namespace {

// Into the stored orientation; done is the part that holds this picture now.
bool convertStored(VideoDecoder& d, cv::Mat& image, cv::Rect& done) {
  const AVFrame* picture = d.picture.get();
  if (!picture || !picture->data[0] || d.width <= 0 || d.height <= 0) return false;
  done = cv::Rect(0, 0, d.width, d.height);
  image.create(d.height, d.width, CV_8UC4);
  // A stream may change its pixel format; the part is then checked again.
  if (picture->format != d.areaFormat) {
    d.areaFormat = picture->format;
    d.areaState = 0;
  }
  cv::Rect area;
  const uint8_t* planes[4];
  const bool partial = !d.convertArea.empty() && d.areaState >= 0 && picture->width == d.width &&
                       picture->height == d.height &&
                       areaPlanes(picture, d.convertArea, area, planes);
  if (!partial) return convertWhole(d, picture, image);
  if (d.areaState == 0) {
    // The first time, the part is converted beside the whole and kept only if it is
    // the same, pixel for pixel.
    if (!convertWhole(d, picture, image)) return false;
    cv::Mat part(image.size(), image.type());
    d.areaState = convertArea(d, picture, part, area, planes) &&
                          cv::norm(part(area), image(area), cv::NORM_INF) == 0
                      ? 1
                      : -1;
    return true;
  }
  if (!convertArea(d, picture, image, area, planes)) return convertWhole(d, picture, image);
  ++d.stats.partialConversions;
  done = area;
  return true;
}

}  // namespace

cv::Size decoderShownSize(const VideoDecoder& d) {
  return displayedSize(d.orientation, cv::Size(d.width, d.height));
}

bool decoderConvert(VideoDecoder& d, cv::Mat& image) {
  cv::Rect done;
  if (d.orientation.identity()) return convertStored(d, image, done);
  // The stored picture keeps what earlier conversions left outside the area, as the
  // shown one does.
  if (!convertStored(d, d.stored, done)) return false;
  image.create(decoderShownSize(d), CV_8UC4);
  orientArea(d.orientation, d.stored, done, image);
  return true;
}

}  // namespace slidetrack
