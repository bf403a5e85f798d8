#include "clip_writer.h"

#include <opencv2/imgproc.hpp>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/error.h>
#include <libavutil/imgutils.h>
#include <libavutil/log.h>
#include <libavutil/opt.h>
#include <libswscale/swscale.h>
}

namespace {

struct FormatCloser {
  void operator()(AVFormatContext* fmt) const {
    if (!fmt) return;
    if (fmt->pb && !(fmt->oformat->flags & AVFMT_NOFILE)) avio_closep(&fmt->pb);
    avformat_free_context(fmt);
  }
};
struct CodecCloser {
  void operator()(AVCodecContext* ctx) const { avcodec_free_context(&ctx); }
};
struct FrameCloser {
  void operator()(AVFrame* frame) const { av_frame_free(&frame); }
};
struct PacketCloser {
  void operator()(AVPacket* packet) const { av_packet_free(&packet); }
};
struct SwsCloser {
  void operator()(SwsContext* sws) const { sws_freeContext(sws); }
};

std::string avText(const std::string& what, int err) {
  char buffer[AV_ERROR_MAX_STRING_SIZE] = {0};
  av_make_error_string(buffer, sizeof buffer, err);
  return what + ": " + buffer;
}

}  // namespace

struct ClipEncoder {
  std::unique_ptr<AVFormatContext, FormatCloser> format;
  std::unique_ptr<AVCodecContext, CodecCloser> codec;
  std::unique_ptr<AVFrame, FrameCloser> frame;
  std::unique_ptr<AVPacket, PacketCloser> packet;
  std::unique_ptr<SwsContext, SwsCloser> sws;
  AVStream* stream = nullptr;  // owned by format
  int64_t nextPts = 0;
  bool headerWritten = false;
  cv::Mat scratch;  // resized / converted input

  // Moves every packet the encoder has ready into the file.
  int drain() {
    for (;;) {
      int err = avcodec_receive_packet(codec.get(), packet.get());
      if (err == AVERROR(EAGAIN) || err == AVERROR_EOF) return 0;
      if (err < 0) return err;
      if (packet->duration == 0) packet->duration = 1;
      av_packet_rescale_ts(packet.get(), codec->time_base, stream->time_base);
      packet->stream_index = stream->index;
      err = av_interleaved_write_frame(format.get(), packet.get());
      av_packet_unref(packet.get());
      if (err < 0) return err;
    }
  }
};

ClipWriter::ClipWriter() = default;

ClipWriter::~ClipWriter() {
  // A writer dropped without close() still leaves a playable file.
  if (encoder_) close();
}

bool ClipWriter::open(const std::string& path, const ClipOptions& options) {
  if (encoder_) close();
  error_.clear();
  // The encoders' banners and statistics would drown the test output.
  av_log_set_level(AV_LOG_ERROR);
  if (options.width <= 0 || options.height <= 0 || options.fpsNum <= 0 || options.fpsDen <= 0) {
    error_ = "invalid clip size or frame rate";
    return false;
  }
  auto enc = std::make_unique<ClipEncoder>();

  AVFormatContext* rawFormat = nullptr;
  int err = avformat_alloc_output_context2(&rawFormat, nullptr, nullptr, path.c_str());
  if (err < 0 || !rawFormat) {
    error_ = avText("cannot choose a container for " + path, err < 0 ? err : AVERROR(EINVAL));
    return false;
  }
  enc->format.reset(rawFormat);

  const AVCodec* codec = avcodec_find_encoder_by_name(options.codec.c_str());
  if (!codec) {
    error_ = "unknown encoder " + options.codec;
    return false;
  }
  enc->stream = avformat_new_stream(enc->format.get(), nullptr);
  enc->codec.reset(avcodec_alloc_context3(codec));
  if (!enc->stream || !enc->codec) {
    error_ = "out of memory";
    return false;
  }
  AVCodecContext* ctx = enc->codec.get();
  ctx->width = options.width;
  ctx->height = options.height;
  ctx->time_base = AVRational{options.fpsDen, options.fpsNum};
  ctx->framerate = AVRational{options.fpsNum, options.fpsDen};
  ctx->thread_count = 1;
  if (options.gopSize >= 0) ctx->gop_size = options.gopSize;
  const std::string name = options.codec;
  if (name == "mjpeg") {
    ctx->pix_fmt = AV_PIX_FMT_YUVJ420P;
    ctx->color_range = AVCOL_RANGE_JPEG;
    ctx->flags |= AV_CODEC_FLAG_QSCALE;
    ctx->global_quality = FF_QP2LAMBDA * 3;
    ctx->qmin = ctx->qmax = 3;
  } else {
    ctx->pix_fmt = AV_PIX_FMT_YUV420P;
  }
  if (name == "libx264") {
    if (options.bFrames >= 0) ctx->max_b_frames = options.bFrames;
    av_opt_set(ctx->priv_data, "preset", options.preset.c_str(), 0);
    if (options.bitrateKbps > 0) {
      // As an archive encodes: an average rate, peaks allowed a little above it.
      ctx->bit_rate = int64_t(options.bitrateKbps) * 1000;
      ctx->rc_max_rate = ctx->bit_rate * 3 / 2;
      ctx->rc_buffer_size = int(ctx->bit_rate * 2);
    } else {
      av_opt_set(ctx->priv_data, "crf", std::to_string(options.crf).c_str(), 0);
    }
  } else if (name == "mpeg4") {
    ctx->max_b_frames = options.bFrames >= 0 ? options.bFrames : 0;
    ctx->flags |= AV_CODEC_FLAG_QSCALE;
    ctx->global_quality = FF_QP2LAMBDA * 3;
  } else if (options.bFrames >= 0) {
    ctx->max_b_frames = options.bFrames;
  }
  if (enc->format->oformat->flags & AVFMT_GLOBALHEADER) ctx->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;

  if ((err = avcodec_open2(ctx, codec, nullptr)) < 0) {
    error_ = avText("cannot open encoder " + name, err);
    return false;
  }
  if ((err = avcodec_parameters_from_context(enc->stream->codecpar, ctx)) < 0) {
    error_ = avText("cannot set stream parameters", err);
    return false;
  }
  enc->stream->time_base = ctx->time_base;
  enc->stream->avg_frame_rate = ctx->framerate;
  enc->stream->r_frame_rate = ctx->framerate;

  enc->frame.reset(av_frame_alloc());
  enc->packet.reset(av_packet_alloc());
  if (!enc->frame || !enc->packet) {
    error_ = "out of memory";
    return false;
  }
  enc->frame->format = ctx->pix_fmt;
  enc->frame->width = ctx->width;
  enc->frame->height = ctx->height;
  if ((err = av_frame_get_buffer(enc->frame.get(), 0)) < 0) {
    error_ = avText("cannot allocate a frame", err);
    return false;
  }
  enc->sws.reset(sws_getContext(ctx->width, ctx->height, AV_PIX_FMT_BGR24, ctx->width, ctx->height,
                                ctx->pix_fmt, SWS_BILINEAR, nullptr, nullptr, nullptr));
  if (!enc->sws) {
    error_ = "cannot set up the colour conversion";
    return false;
  }

  if (!(enc->format->oformat->flags & AVFMT_NOFILE)) {
    if ((err = avio_open(&enc->format->pb, path.c_str(), AVIO_FLAG_WRITE)) < 0) {
      error_ = avText("cannot create " + path, err);
      return false;
    }
  }
  if ((err = avformat_write_header(enc->format.get(), nullptr)) < 0) {
    error_ = avText("cannot write the header of " + path, err);
    return false;
  }
  enc->headerWritten = true;
  encoder_ = std::move(enc);
  return true;
}

bool ClipWriter::write(const cv::Mat& bgr) {
  if (!encoder_) {
    if (error_.empty()) error_ = "clip is not open";
    return false;
  }
  ClipEncoder& enc = *encoder_;
  AVCodecContext* ctx = enc.codec.get();
  if (bgr.empty() || bgr.depth() != CV_8U ||
      (bgr.channels() != 1 && bgr.channels() != 3 && bgr.channels() != 4)) {
    error_ = "frame must be a non-empty 8-bit grey, BGR or BGRA image";
    return false;
  }
  const cv::Mat* src = &bgr;
  if (bgr.channels() != 3) {
    cv::cvtColor(bgr, enc.scratch, bgr.channels() == 1 ? cv::COLOR_GRAY2BGR : cv::COLOR_BGRA2BGR);
    src = &enc.scratch;
  }
  if (src->cols != ctx->width || src->rows != ctx->height) {
    cv::Mat resized;
    cv::resize(*src, resized, cv::Size(ctx->width, ctx->height), 0, 0, cv::INTER_AREA);
    enc.scratch = resized;
    src = &enc.scratch;
  }

  int err = av_frame_make_writable(enc.frame.get());
  if (err < 0) {
    error_ = avText("cannot reuse the frame buffer", err);
    return false;
  }
  const uint8_t* srcData[1] = {src->data};
  const int srcStride[1] = {static_cast<int>(src->step[0])};
  sws_scale(enc.sws.get(), srcData, srcStride, 0, ctx->height, enc.frame->data,
            enc.frame->linesize);
  enc.frame->pts = enc.nextPts++;
  if ((err = avcodec_send_frame(ctx, enc.frame.get())) < 0 || (err = enc.drain()) < 0) {
    error_ = avText("cannot encode frame " + std::to_string(enc.nextPts - 1), err);
    return false;
  }
  return true;
}

bool ClipWriter::close() {
  if (!encoder_) return error_.empty();
  std::unique_ptr<ClipEncoder> enc = std::move(encoder_);
  bool ok = true;
  int err = avcodec_send_frame(enc->codec.get(), nullptr);
  if (err < 0 || (err = enc->drain()) < 0) {
    error_ = avText("cannot flush the encoder", err);
    ok = false;
  }
  if (enc->headerWritten && (err = av_write_trailer(enc->format.get())) < 0) {
    error_ = avText("cannot finish the file", err);
    ok = false;
  }
  if (enc->format->pb && !(enc->format->oformat->flags & AVFMT_NOFILE)) {
    if ((err = avio_closep(&enc->format->pb)) < 0) {
      error_ = avText("cannot close the file", err);
      ok = false;
    }
  }
  return ok;
}

bool writeClip(const std::string& path, const ClipOptions& options, int frameCount,
               const std::function<cv::Mat(int)>& frameAt, std::string* error) {
  ClipWriter writer;
  bool ok = writer.open(path, options);
  for (int i = 0; ok && i < frameCount; ++i) ok = writer.write(frameAt(i));
  ok = writer.close() && ok;
  if (!ok && error) *error = writer.error();
  return ok;
}
