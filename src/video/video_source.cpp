#include "video/video_source.h"

#include <algorithm>
#include <new>

#include "common/error.h"
#include "video/video_decoder.h"

namespace slidetrack {

VideoSource::VideoSource() = default;
// The decoder goes first: it points at the kept pictures.
VideoSource::~VideoSource() { videoSourceClose(this); }

std::unique_ptr<VideoSource> videoSourceCreate() {
  return std::unique_ptr<VideoSource>(new (std::nothrow) VideoSource());
}

void videoSourceOpen(VideoSource& source, const std::string& path) {
  videoSourceClose(&source);
  if (source.kept && source.kept->path != path) source.kept.reset();
  try {
    source.decoder = std::make_unique<VideoDecoder>();
    decoderOpen(*source.decoder, path);
    source.decoder->kept = source.kept.get();
    // Allocate the image now, so a lack of memory shows as a failed open.
    source.image.create(decoderShownSize(*source.decoder), CV_8UC4);
  } catch (const Error&) {
    videoSourceClose(&source);
    throw;
  } catch (const std::bad_alloc&) {
    videoSourceClose(&source);
    throw Error(Error::Kind::kResources, "Cannot open video '" + path + "': out of memory.");
  }
}

bool videoSourceIsOpen(const VideoSource* source) {
  return source && source->decoder && source->decoder->picture;
}

int videoSourceFrameCount(const VideoSource* source) {
  if (!videoSourceIsOpen(source)) return 0;
  return decoderFrameCount(*source->decoder);
}

const cv::Mat* videoSourceImage(VideoSource* source) {
  if (!videoSourceIsOpen(source)) return nullptr;
  if (!decoderConvert(*source->decoder, source->image)) return nullptr;
  return &source->image;
}

const cv::Mat* videoSourceGetFrame(VideoSource* source, int k) {
  if (!videoSourceIsOpen(source)) return nullptr;
  VideoDecoder& decoder = *source->decoder;
  // A negative index never rewinds: it is the next picture.
  const bool delivered =
      k < 0 ? decoderReadNext(decoder) : decoderSeekPosition(decoder, k == 0 ? 0 : k - 1);
  return delivered ? videoSourceImage(source) : nullptr;
}

long long videoSourceFrameTime(const VideoSource* source, unsigned k) {
  const FrameTimeBase base =
      videoSourceIsOpen(source) ? source->decoder->timeBase : FrameTimeBase();
  return static_cast<long long>(frameTimeMicros(k, base));
}

double videoSourceFrameRate(const VideoSource* source) {
  if (!videoSourceIsOpen(source)) return 0;
  const FrameTimeBase& base = source->decoder->timeBase;
  // A bare stream clock counts ticks, not frames.
  return base.valid() && base.fromFrameRate ? static_cast<double>(base.den) / base.num : 0;
}

const cv::Mat* videoSourceGetFrameAtTime(VideoSource* source, unsigned k) {
  if (!videoSourceIsOpen(source)) return nullptr;
  // The picture shown at the time of frame k is the one at position k.
  if (!decoderSeekPosition(*source->decoder, static_cast<int64_t>(k))) return nullptr;
  return videoSourceImage(source);
}

void videoSourceSetConvertedArea(VideoSource* source, const cv::Rect& area) {
  if (!videoSourceIsOpen(source)) return;
  VideoDecoder& decoder = *source->decoder;
  const cv::Size stored(decoder.width, decoder.height);
  // The caller sees pictures as shown; the conversion works on them as stored.
  const cv::Rect inside = storedArea(decoder.orientation, stored,
                                     area & cv::Rect(cv::Point(), decoderShownSize(decoder)));
  if (inside == decoder.convertArea) return;
  decoder.convertArea = inside;
  decoder.areaState = 0;
}

void videoSourceSetStride(VideoSource* source, int step) {
  if (!videoSourceIsOpen(source)) return;
  // Indices 0 and 1 share the first picture: the positions after it are one closer.
  source->decoder->stride = std::max(step - 1, 0);
}

void videoSourceKeepFrames(VideoSource* source, int step, size_t budgetBytes) {
  if (!videoSourceIsOpen(source) || step < 1) return;
  source->kept = std::make_unique<KeptPictures>();
  source->kept->path = source->decoder->path;
  source->kept->step = step;
  source->kept->budget = budgetBytes;
  source->kept->collecting = true;
  source->decoder->kept = source->kept.get();
}

void videoSourceStartOver(VideoSource* source) {
  if (!videoSourceIsOpen(source)) return;
  VideoDecoder& decoder = *source->decoder;
  if (!decoder.timestamped) {
    const std::string path = decoder.path;
    videoSourceOpen(*source, path);
    return;
  }
  if (source->kept) source->kept->collecting = false;
  decoder.convertArea = cv::Rect();
  decoder.areaState = 0;
}

void videoSourceClose(VideoSource* source) {
  if (!source) return;
  if (source->kept) source->kept->collecting = false;
  source->decoder.reset();
  source->image.release();
}

void videoSourceRelease(std::unique_ptr<VideoSource>& source) { source.reset(); }

VideoSourceStats videoSourceStats(const VideoSource* source) {
  return source && source->decoder ? source->decoder->stats : VideoSourceStats();
}

}  // namespace slidetrack
