// Conversion of the current picture to packed BGRA at the size fixed at open.

#include "video_decoder.h"

extern "C" {
#include <libavutil/frame.h>
#include <libavutil/pixfmt.h>
#include <libswscale/swscale.h>
}

bool decoderConvert(VideoDecoder& d, cv::Mat& image) {
  const AVFrame* picture = d.picture.get();
  if (!picture || !picture->data[0] || d.width <= 0 || d.height <= 0) return false;
  // Reuses the scaler while the picture geometry and format stay the same, which gives
  // the same pixels as building a new one for every picture.
  d.scaler.reset(sws_getCachedContext(d.scaler.release(), picture->width, picture->height,
                                      static_cast<AVPixelFormat>(picture->format), d.width,
                                      d.height, AV_PIX_FMT_BGRA, SWS_FAST_BILINEAR, nullptr,
                                      nullptr, nullptr));
  if (!d.scaler) {
    d.lastError = "sws_getCachedContext failed";
    return false;
  }
  image.create(d.height, d.width, CV_8UC4);
  uint8_t* planes[4] = {image.data, nullptr, nullptr, nullptr};
  int strides[4] = {static_cast<int>(image.step), 0, 0, 0};
  sws_scale(d.scaler.get(), picture->data, picture->linesize, 0, picture->height, planes, strides);
  return true;
}
