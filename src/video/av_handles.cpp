#include "video/av_handles.h"

#include <mutex>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/buffer.h>
#include <libavutil/dict.h>
#include <libavutil/error.h>
#include <libavutil/frame.h>
#include <libavutil/log.h>
#include <libswscale/swscale.h>
}

namespace slidetrack {

void FormatContextCloser::operator()(AVFormatContext* context) const {
  avformat_close_input(&context);
}

void CodecContextFreer::operator()(AVCodecContext* context) const {
  avcodec_free_context(&context);
}

void FrameFreer::operator()(AVFrame* frame) const { av_frame_free(&frame); }

void PacketFreer::operator()(AVPacket* packet) const { av_packet_free(&packet); }

void BufferUnref::operator()(AVBufferRef* buffer) const { av_buffer_unref(&buffer); }

void ScalerFreer::operator()(SwsContext* scaler) const { sws_freeContext(scaler); }

void DictionaryFreer::operator()(AVDictionary* dictionary) const { av_dict_free(&dictionary); }

std::string avErrorText(int code) {
  char text[AV_ERROR_MAX_STRING_SIZE] = {0};
  if (av_strerror(code, text, sizeof text) < 0) return "error " + std::to_string(code);
  return text;
}

void libraryLogQuiet() {
  // Not AV_LOG_FATAL: some decoders report a damaged picture at that level.
  static std::once_flag once;
  std::call_once(once, [] { av_log_set_level(AV_LOG_QUIET); });
}

}  // namespace slidetrack
