// Formats other than PNG and JPEG (BMP, TIFF, WebP, PNM, ...) through FFmpeg's decoders,
// which the run has loaded for the video already.

#include <string>

#include <opencv2/core.hpp>

#include "common/error.h"
#include "pictures/picture_codecs.h"
#include "video/av_handles.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/dict.h>
#include <libavutil/mem.h>
#include <libswscale/swscale.h>
}

namespace slidetrack {

namespace {

[[noreturn]] void refuse(const std::string& cause) { throw Error(Error::Kind::kInput, cause); }

void check(int result, const char* what) {
  if (result < 0) refuse(std::string(what) + ": " + avErrorText(result));
}

// The picture demuxers: FFmpeg would take a text file for ANSI art, and a playlist for a
// list of files and addresses to open.
const std::string& pictureDemuxers() {
  static const std::string names = [] {
    std::string list;
    void* at = nullptr;
    while (const AVInputFormat* format = av_demuxer_iterate(&at)) {
      const std::string name = format->name;
      if (name == "image2" || (name.size() > 5 && name.compare(name.size() - 5, 5, "_pipe") == 0))
        list += (list.empty() ? "" : ",") + name;
    }
    return list;
  }();
  return names;
}

// Only a picture demuxer reads the header, and only from the file itself. FFmpeg's picture
// reader would take a '%' in the name for a frame number pattern and read another file.
FormatContextHandle opened(const std::string& path) {
  FormatContextHandle context(avformat_alloc_context());
  if (!context) refuse("out of memory");
  context->format_whitelist = av_strdup(pictureDemuxers().c_str());
  context->protocol_whitelist = av_strdup("file");
  AVDictionary* options = nullptr;
  av_dict_set(&options, "pattern_type", "none", 0);
  AVFormatContext* format = context.release();  // freed by avformat_open_input if it fails
  const int result = avformat_open_input(&format, path.c_str(), nullptr, &options);
  DictionaryHandle unused(options);
  check(result, "not a picture format");
  return FormatContextHandle(format);
}

}  // namespace

cv::Mat otherPictureDecode(const std::string& path) {
  libraryLogQuiet();
  FormatContextHandle format = opened(path);
  check(avformat_find_stream_info(format.get(), nullptr), "not a picture");
  const AVCodec* codec = nullptr;
  const int stream = av_find_best_stream(format.get(), AVMEDIA_TYPE_VIDEO, -1, -1, &codec, 0);
  check(stream, "not a picture");
  const AVCodecParameters* parameters = format->streams[stream]->codecpar;
  pictureSizeCheck(parameters->width, parameters->height);
  CodecContextHandle decoder(avcodec_alloc_context3(codec));
  if (!decoder) refuse("out of memory");
  check(avcodec_parameters_to_context(decoder.get(), parameters), "not a picture");
  decoder->thread_count = 1;
  decoder->max_pixels = kPictureMaxPixels;  // for headers that told no size
  check(avcodec_open2(decoder.get(), codec, nullptr), "cannot decode");
  PacketHandle packet(av_packet_alloc());
  FrameHandle frame(av_frame_alloc());
  if (!packet || !frame) refuse("out of memory");
  int received = AVERROR(EAGAIN);
  while (received == AVERROR(EAGAIN) && av_read_frame(format.get(), packet.get()) >= 0) {
    if (packet->stream_index == stream) {
      check(avcodec_send_packet(decoder.get(), packet.get()), "damaged picture");
      received = avcodec_receive_frame(decoder.get(), frame.get());
    }
    av_packet_unref(packet.get());
  }
  if (received == AVERROR(EAGAIN)) {
    avcodec_send_packet(decoder.get(), nullptr);
    received = avcodec_receive_frame(decoder.get(), frame.get());
  }
  check(received, "damaged picture");
  pictureSizeCheck(frame->width, frame->height);
  // Bit-exact: the fast 4:2:0 paths write whole blocks of pixels, past the end of a small
  // picture and short of the end of some rows.
  ScalerHandle scaler(
      sws_getContext(frame->width, frame->height, static_cast<AVPixelFormat>(frame->format),
                     frame->width, frame->height, AV_PIX_FMT_BGR24,
                     SWS_POINT | SWS_ACCURATE_RND | SWS_BITEXACT, nullptr, nullptr, nullptr));
  if (!scaler) refuse("a pixel layout that cannot be converted");
  cv::Mat bgr(frame->height, frame->width, CV_8UC3);
  uint8_t* planes[4] = {bgr.data, nullptr, nullptr, nullptr};
  int steps[4] = {static_cast<int>(bgr.step), 0, 0, 0};
  // A colour mosaic of one row, for one, is turned down here.
  if (sws_scale(scaler.get(), frame->data, frame->linesize, 0, frame->height, planes, steps) !=
      frame->height)
    refuse("a picture whose pixels cannot be converted");
  return bgr;
}

}  // namespace slidetrack
