// Opening the input: demuxer, first video stream, single-threaded decoder, first picture.

#include <climits>

#include "video/video_decoder.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/log.h>
}

namespace slidetrack {

namespace {

int firstVideoStream(const AVFormatContext* format) {
  for (unsigned i = 0; i < format->nb_streams; ++i) {
    const AVStream* stream = format->streams[i];
    // Cover art is a one-picture "video" stream, not the video.
    if (stream->codecpar->codec_type == AVMEDIA_TYPE_VIDEO &&
        !(stream->disposition & AV_DISPOSITION_ATTACHED_PIC)) {
      return static_cast<int>(i);
    }
  }
  return -1;
}

bool openDecoder(VideoDecoder& d) {
  const AVStream* stream = d.format->streams[d.videoStream];
  const AVCodec* codec = avcodec_find_decoder(stream->codecpar->codec_id);
  if (!codec) {
    d.lastError = "no decoder for the video stream";
    return false;
  }
  d.codec.reset(avcodec_alloc_context3(codec));
  if (!d.codec) {
    d.lastError = "avcodec_alloc_context3 failed";
    return false;
  }
  AV_CHECK(avcodec_parameters_to_context(d.codec.get(), stream->codecpar), &d.lastError, false);
  d.codec->thread_count = 1;
  d.codec->pkt_timebase = stream->time_base;
  AV_CHECK(avcodec_open2(d.codec.get(), codec, nullptr), &d.lastError, false);
  const AVCodecDescriptor* descriptor = avcodec_descriptor_get(codec->id);
  d.intraOnly = descriptor && (descriptor->props & AV_CODEC_PROP_INTRA_ONLY);
  return true;
}

}  // namespace

bool decoderOpen(VideoDecoder& d, const std::string& path) {
  d = VideoDecoder();
  d.path = path;
  // The caller reports a failed open with its cause; the library stays quiet.
  av_log_set_level(AV_LOG_FATAL);

  AVFormatContext* format = nullptr;
  AV_CHECK(avformat_open_input(&format, path.c_str(), nullptr, nullptr), &d.lastError, false);
  d.format.reset(format);
  AV_CHECK(avformat_find_stream_info(format, nullptr), &d.lastError, false);
  d.videoStream = firstVideoStream(format);
  if (d.videoStream < 0) {
    d.lastError = "no video stream";
    return false;
  }
  if (!openDecoder(d)) return false;

  const AVStream* stream = format->streams[d.videoStream];
  d.streamBaseNum = stream->time_base.num;
  d.streamBaseDen = stream->time_base.den;
  if (d.streamBaseNum <= 0 || d.streamBaseDen <= 0) d.streamBaseNum = d.streamBaseDen = 1;
  d.timeBase = frameTimeBaseFor(stream->avg_frame_rate.num, stream->avg_frame_rate.den,
                                stream->r_frame_rate.num, stream->r_frame_rate.den,
                                stream->time_base.num, stream->time_base.den);

  d.incoming.reset(av_frame_alloc());
  d.packet.reset(av_packet_alloc());
  if (!d.incoming || !d.packet) {
    d.lastError = "out of memory";
    return false;
  }
  d.picture.reset(av_frame_alloc());
  if (!d.picture) {
    d.lastError = "out of memory";
    return false;
  }
  decoderReadNext(d);  // a video without pictures still opens, it just delivers none
  d.width = d.noPicture ? d.codec->width : d.picture->width;
  d.height = d.noPicture ? d.codec->height : d.picture->height;
  return true;
}

int decoderFrameCount(const VideoDecoder& d) {
  if (!d.format) return 0;
  if (d.format->duration != AV_NOPTS_VALUE && d.format->duration > 0) {
    return frameCountForDuration(d.format->duration, d.timeBase);
  }
  const int64_t frames = d.format->streams[d.videoStream]->nb_frames;
  if (frames > 0) return frames > INT_MAX ? INT_MAX : static_cast<int>(frames);
  return kUnknownFrameCount;
}

}  // namespace slidetrack
