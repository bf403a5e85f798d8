#include "video/picture_file.h"

#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <system_error>

#include <opencv2/imgproc.hpp>

#include "video/jpeg_colour.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/dict.h>
#include <libavutil/log.h>
}

namespace slidetrack {

namespace {

enum class Kind { kOther, kPng, kJpeg };

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};

// The kind of picture from its first bytes. PNG grey below 8 bits is left to the image
// library, which stretches the levels to 0..255.
Kind pictureKind(const unsigned char* head, size_t size) {
  static const unsigned char kPngSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
  if (size >= 26 && std::memcmp(head, kPngSignature, 8) == 0 &&
      std::memcmp(head + 12, "IHDR", 4) == 0) {
    const int bitDepth = head[24];
    const int colourType = head[25];
    return (colourType == 0 && bitDepth < 8) ? Kind::kOther : Kind::kPng;
  }
  if (size >= 3 && head[0] == 0xff && head[1] == 0xd8 && head[2] == 0xff) return Kind::kJpeg;
  return Kind::kOther;
}

bool openDecoder(CodecContextHandle& context, AVCodecID id) {
  if (context) return true;
  const AVCodec* codec = avcodec_find_decoder(id);
  if (!codec) return false;
  context.reset(avcodec_alloc_context3(codec));
  if (!context) return false;
  context->thread_count = 1;
  if (avcodec_open2(context.get(), codec, nullptr) < 0) {
    context.reset();
    return false;
  }
  return true;
}

// The whole file as one packet; false for a file that is not a regular file or cannot
// be read in full.
bool readPacket(const std::string& path, AVPacket* packet, Kind* kind) {
  std::error_code error;
  if (!std::filesystem::is_regular_file(path, error)) return false;
  const auto size = std::filesystem::file_size(path, error);
  if (error || size < 3 || size > static_cast<std::uintmax_t>(INT_MAX / 2)) return false;
  std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "rb"));
  if (!file) return false;
  if (av_new_packet(packet, static_cast<int>(size)) < 0) return false;
  if (std::fread(packet->data, 1, size, file.get()) != size) return false;
  // A PNG packet not marked as a keyframe is added onto the previous picture of the
  // same shape, as PNG in AVI does.
  packet->flags |= AV_PKT_FLAG_KEY;
  *kind = pictureKind(packet->data, size);
  return *kind != Kind::kOther;
}

// Cuts big-endian 16-bit samples to their high byte.
const unsigned char* narrowed(PictureDecoder& d, const AVFrame* frame, int samplesPerRow) {
  d.narrowed.resize(static_cast<size_t>(samplesPerRow) * frame->height);
  for (int y = 0; y < frame->height; ++y) {
    const unsigned char* in = frame->data[0] + static_cast<ptrdiff_t>(y) * frame->linesize[0];
    unsigned char* out = d.narrowed.data() + static_cast<size_t>(y) * samplesPerRow;
    for (int i = 0; i < samplesPerRow; ++i) out[i] = in[2 * i];
  }
  return d.narrowed.data();
}

// Interleaved 8-bit samples (1 to 4 a pixel) to BGR; the first one to three are grey
// or RGB, a further one is alpha.
void packedToBgr(const unsigned char* data, size_t step, int width, int height, int channels,
                 bool rgb, cv::Mat& bgr) {
  cv::Mat in(height, width, CV_8UC(channels), const_cast<unsigned char*>(data), step);
  if (rgb) {
    cv::cvtColor(in, bgr, channels == 4 ? cv::COLOR_RGBA2BGR : cv::COLOR_RGB2BGR);
    return;
  }
  if (channels == 1) {
    cv::cvtColor(in, bgr, cv::COLOR_GRAY2BGR);
    return;
  }
  cv::Mat grey;
  cv::extractChannel(in, grey, 0);
  cv::cvtColor(grey, bgr, cv::COLOR_GRAY2BGR);
}

void paletteToBgr(const AVFrame* frame, cv::Mat& bgr) {
  bgr.create(frame->height, frame->width, CV_8UC3);
  const auto* palette = reinterpret_cast<const uint32_t*>(frame->data[1]);
  for (int y = 0; y < frame->height; ++y) {
    const unsigned char* in = frame->data[0] + static_cast<ptrdiff_t>(y) * frame->linesize[0];
    unsigned char* out = bgr.ptr<unsigned char>(y);
    for (int x = 0; x < frame->width; ++x) {
      const uint32_t argb = palette[in[x]];
      out[3 * x] = argb & 0xff;
      out[3 * x + 1] = (argb >> 8) & 0xff;
      out[3 * x + 2] = (argb >> 16) & 0xff;
    }
  }
}

// Interleaved layouts: samples a pixel, RGB or grey first, 16-bit big-endian samples.
struct PackedLayout {
  AVPixelFormat format;
  int channels;
  bool rgb;
  bool deep;
};
constexpr PackedLayout kPackedLayouts[] = {
    {AV_PIX_FMT_RGB24, 3, true, false},    {AV_PIX_FMT_RGBA, 4, true, false},
    {AV_PIX_FMT_GRAY8, 1, false, false},   {AV_PIX_FMT_YA8, 2, false, false},
    {AV_PIX_FMT_RGB48BE, 3, true, true},   {AV_PIX_FMT_RGBA64BE, 4, true, true},
    {AV_PIX_FMT_GRAY16BE, 1, false, true}, {AV_PIX_FMT_YA16BE, 2, false, true}};

// The samples of an interleaved frame, 16-bit ones cut to 8 bits; nullptr for a frame of
// another layout.
const PackedLayout* packedSamples(PictureDecoder& d, const AVFrame* frame,
                                  const unsigned char** data, size_t* step) {
  for (const PackedLayout& layout : kPackedLayouts) {
    if (frame->format != layout.format) continue;
    const int samples = layout.channels * frame->width;
    *data = layout.deep ? narrowed(d, frame, samples) : frame->data[0];
    *step = layout.deep ? samples : static_cast<size_t>(frame->linesize[0]);
    return &layout;
  }
  return nullptr;
}

bool frameToBgr(PictureDecoder& d, const AVFrame* frame, cv::Mat& bgr) {
  const int w = frame->width;
  const int h = frame->height;
  const unsigned char* data = nullptr;
  size_t step = 0;
  if (const PackedLayout* layout = packedSamples(d, frame, &data, &step)) {
    packedToBgr(data, step, w, h, layout->channels, layout->rgb, bgr);
    return true;
  }
  switch (frame->format) {
    case AV_PIX_FMT_PAL8:
      paletteToBgr(frame, bgr);
      return true;
    case AV_PIX_FMT_YUVJ420P:
    case AV_PIX_FMT_YUVJ422P:
    case AV_PIX_FMT_YUVJ444P: {
      const bool halfWidth = frame->format != AV_PIX_FMT_YUVJ444P;
      const bool halfHeight = frame->format == AV_PIX_FMT_YUVJ420P;
      jpegPlanesToBgr(frame->data, frame->linesize, w, h, halfWidth, halfHeight, bgr);
      return true;
    }
    default:
      return false;
  }
}

// Interleaved 8-bit samples to grey by the weights of their BGR read.
void packedToGrey(const unsigned char* data, size_t step, int width, int height, int channels,
                  bool rgb, cv::Mat& grey) {
  cv::Mat in(height, width, CV_8UC(channels), const_cast<unsigned char*>(data), step);
  if (rgb) {
    cv::cvtColor(in, grey, channels == 4 ? cv::COLOR_RGBA2GRAY : cv::COLOR_RGB2GRAY);
  } else {
    cv::extractChannel(in, grey, 0);
  }
}

// The grey weights of the BGR read without making it where the samples allow.
bool frameToGrey(PictureDecoder& d, const AVFrame* frame, cv::Mat& grey) {
  const int w = frame->width;
  const int h = frame->height;
  const unsigned char* data = nullptr;
  size_t step = 0;
  if (const PackedLayout* layout = packedSamples(d, frame, &data, &step)) {
    packedToGrey(data, step, w, h, layout->channels, layout->rgb, grey);
    return true;
  }
  switch (frame->format) {
    case AV_PIX_FMT_YUVJ420P:
    case AV_PIX_FMT_YUVJ422P:
    case AV_PIX_FMT_YUVJ444P:
      cv::Mat(h, w, CV_8UC1, frame->data[0], frame->linesize[0]).copyTo(grey);
      return true;
    default: {
      cv::Mat bgr;
      if (!frameToBgr(d, frame, bgr)) return false;
      cv::cvtColor(bgr, grey, cv::COLOR_BGR2GRAY);
      return true;
    }
  }
}

// The image library turns a picture by its EXIF orientation; such a file is left to it.
bool needsTurning(const AVFrame* frame) {
  const AVDictionaryEntry* entry = av_dict_get(frame->metadata, "Orientation", nullptr, 0);
  return entry && std::strcmp(entry->value, "1") != 0;
}

}  // namespace

namespace {

bool readPicture(PictureDecoder& d, const std::string& path, cv::Mat& picture, bool grey) {
  // Failures fall back to the image library, which reports them; this one stays quiet.
  av_log_set_level(AV_LOG_FATAL);
  if (!d.packet) d.packet.reset(av_packet_alloc());
  if (!d.frame) d.frame.reset(av_frame_alloc());
  if (!d.packet || !d.frame) return false;
  AVPacket* packet = d.packet.get();
  AVFrame* frame = d.frame.get();
  Kind kind = Kind::kOther;
  const bool read = readPacket(path, packet, &kind);
  // The common PNG layouts without the decoder: its inflating is most of a slide's cost.
  if (read && kind == Kind::kPng &&
      pngReadPixels(packet->data, packet->size, d.compressed, d.pixels)) {
    av_packet_unref(packet);
    const PngPixels& p = d.pixels;
    const size_t step = static_cast<size_t>(p.width) * p.channels;
    const bool rgb = p.channels >= 3;
    if (grey) {
      packedToGrey(p.rows.data(), step, p.width, p.height, p.channels, rgb, picture);
    } else {
      packedToBgr(p.rows.data(), step, p.width, p.height, p.channels, rgb, picture);
    }
    return true;
  }
  CodecContextHandle& context = kind == Kind::kPng ? d.png : d.jpeg;
  bool decoded =
      read && openDecoder(context, kind == Kind::kPng ? AV_CODEC_ID_PNG : AV_CODEC_ID_MJPEG);
  decoded = decoded && avcodec_send_packet(context.get(), packet) >= 0 &&
            avcodec_receive_frame(context.get(), frame) >= 0;
  av_packet_unref(packet);
  // A decoder that failed may hold part of the picture; the next one starts afresh.
  if (!decoded) context.reset();
  const bool converted = decoded && frame->width > 0 && frame->height > 0 &&
                         !(kind == Kind::kJpeg && needsTurning(frame)) &&
                         (grey ? frameToGrey(d, frame, picture) : frameToBgr(d, frame, picture));
  av_frame_unref(frame);
  return converted;
}

}  // namespace

bool pictureDecoderRead(PictureDecoder& d, const std::string& path, cv::Mat& bgr) {
  return readPicture(d, path, bgr, false);
}

bool pictureDecoderReadGrey(PictureDecoder& d, const std::string& path, cv::Mat& grey) {
  return readPicture(d, path, grey, true);
}

}  // namespace slidetrack
