#pragma once
// Owning handles for FFmpeg objects. The FFmpeg types stay opaque here so that only the
// .cpp files of this folder include FFmpeg headers.

#include <memory>
#include <string>

struct AVFormatContext;
struct AVCodecContext;
struct AVFrame;
struct AVPacket;
struct SwsContext;
struct AVBufferRef;
struct AVDictionary;

namespace slidetrack {

struct FormatContextCloser {
  void operator()(AVFormatContext* context) const;
};
struct CodecContextFreer {
  void operator()(AVCodecContext* context) const;
};
struct FrameFreer {
  void operator()(AVFrame* frame) const;
};
struct PacketFreer {
  void operator()(AVPacket* packet) const;
};
struct BufferUnref {
  void operator()(AVBufferRef* buffer) const;
};
struct ScalerFreer {
  void operator()(SwsContext* scaler) const;
};
struct DictionaryFreer {
  void operator()(AVDictionary* dictionary) const;
};

using FormatContextHandle = std::unique_ptr<AVFormatContext, FormatContextCloser>;
using CodecContextHandle = std::unique_ptr<AVCodecContext, CodecContextFreer>;
using FrameHandle = std::unique_ptr<AVFrame, FrameFreer>;
using PacketHandle = std::unique_ptr<AVPacket, PacketFreer>;
using BufferHandle = std::unique_ptr<AVBufferRef, BufferUnref>;
using ScalerHandle = std::unique_ptr<SwsContext, ScalerFreer>;
using DictionaryHandle = std::unique_ptr<AVDictionary, DictionaryFreer>;

// The text of an FFmpeg error code (what av_err2str gives in C).
std::string avErrorText(int code);

// Silences FFmpeg's own log, at every level: each failure reaches the user once, as an
// error or warning that names the file and carries FFmpeg's cause. Safe on any thread.
void libraryLogQuiet();

}  // namespace slidetrack
