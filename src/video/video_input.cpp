// Opening the input: demuxer, first video stream, single-threaded decoder, first picture.

#include <climits>

#include "common/error.h"
#include "video/av_handles.h"
#include "video/video_decoder.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
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

[[noreturn]] void refuse(const VideoDecoder& d, Error::Kind kind, const std::string& cause) {
  throw Error(kind, "Cannot open video '" + d.path + "': " + cause + ".");
}

// An FFmpeg result below zero ends the opening with FFmpeg's own words for it.
void check(const VideoDecoder& d, int result) {
  if (result < 0) refuse(d, Error::Kind::kInput, avErrorText(result));
}

void openDecoder(VideoDecoder& d) {
  const AVStream* stream = d.format->streams[d.videoStream];
  const AVCodec* codec = avcodec_find_decoder(stream->codecpar->codec_id);
  if (!codec) refuse(d, Error::Kind::kInput, "no decoder for its video stream");
  d.codec.reset(avcodec_alloc_context3(codec));
  if (!d.codec) refuse(d, Error::Kind::kResources, "out of memory");
  check(d, avcodec_parameters_to_context(d.codec.get(), stream->codecpar));
  d.codec->thread_count = 1;
  d.codec->pkt_timebase = stream->time_base;
  check(d, avcodec_open2(d.codec.get(), codec, nullptr));
  const AVCodecDescriptor* descriptor = avcodec_descriptor_get(codec->id);
  d.intraOnly = descriptor && (descriptor->props & AV_CODEC_PROP_INTRA_ONLY);
}

}  // namespace

void decoderOpen(VideoDecoder& d, const std::string& path) {
  d = VideoDecoder();
  d.path = path;
  // The caller reports a failed open with its cause.
  libraryLogQuiet();

  AVFormatContext* format = nullptr;
  check(d, avformat_open_input(&format, path.c_str(), nullptr, nullptr));
  d.format.reset(format);
  check(d, avformat_find_stream_info(format, nullptr));
  d.videoStream = firstVideoStream(format);
  if (d.videoStream < 0) refuse(d, Error::Kind::kInput, "it holds no video stream");
  openDecoder(d);

  const AVStream* stream = format->streams[d.videoStream];
  d.streamBaseNum = stream->time_base.num;
  d.streamBaseDen = stream->time_base.den;
  if (d.streamBaseNum <= 0 || d.streamBaseDen <= 0) d.streamBaseNum = d.streamBaseDen = 1;
  d.timeBase = frameTimeBaseFor(stream->avg_frame_rate.num, stream->avg_frame_rate.den,
                                stream->r_frame_rate.num, stream->r_frame_rate.den,
                                stream->time_base.num, stream->time_base.den);

  d.incoming.reset(av_frame_alloc());
  d.packet.reset(av_packet_alloc());
  d.picture.reset(av_frame_alloc());
  if (!d.incoming || !d.packet || !d.picture) refuse(d, Error::Kind::kResources, "out of memory");
  decoderReadNext(d);  // a video without pictures still opens, it just delivers none
  d.width = d.noPicture ? d.codec->width : d.picture->width;
  d.height = d.noPicture ? d.codec->height : d.picture->height;
  size_t matrixBytes = 0;
  const uint8_t* matrix = av_stream_get_side_data(stream, AV_PKT_DATA_DISPLAYMATRIX, &matrixBytes);
  if (matrix && matrixBytes >= 9 * sizeof(int32_t))
    d.orientation = orientationFromMatrix(reinterpret_cast<const int32_t*>(matrix));
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
