#pragma once
// Decoder state behind VideoSource and the operations on it. Positions are display
// positions counted from 0 (the first picture); the public frame index k >= 1 is
// position k - 1.

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>

#include <opencv2/core.hpp>

#include "video/av_handles.h"
#include "video/display_orientation.h"
#include "video/video_source.h"
#include "video/video_timing.h"

namespace slidetrack {

// Pictures of a later pass's frames (indices 0, step, 2 x step...) decoded on the way
// to other frames. They are collected while the source stays open and handed out by the
// next opening of the same file; they outlive the decoder that made them.
struct KeptPictures {
  std::string path;
  int step = 0;
  bool collecting = false;
  size_t budget = 0;                        // bytes of picture memory at most
  BufferHandle arena;                       // the pictures' memory, in one piece
  size_t used = 0;                          // of the arena
  size_t pictureBytes = 0;                  // of one picture, known from the first one kept
  std::map<int64_t, FrameHandle> pictures;  // by position, pointing into the arena
};

struct VideoDecoder {
  std::string path;
  KeptPictures* kept = nullptr;  // owned by the source; null when nothing is kept
  FormatContextHandle format;
  CodecContextHandle codec;
  FrameHandle picture;   // the current picture; its existence means "open"
  FrameHandle incoming;  // where the decoder delivers before a picture is accepted
  PacketHandle packet;
  ScalerHandle scaler;  // cached, rebuilt only when the picture geometry changes
  // Only this part of each picture is converted when it is set; areaState is 0 until the
  // first picture showed whether the part converts as the whole does (1) or not (-1).
  cv::Rect convertArea;  // in the stored picture
  ScalerHandle areaScaler;
  int areaState = 0;
  int areaFormat = -1;  // pixel format that areaState was found for
  int videoStream = -1;
  int streamBaseNum = 0, streamBaseDen = 1;
  FrameTimeBase timeBase;
  bool intraOnly = false;
  int width = 0, height = 0;       // size of the converted picture, as stored
  DisplayOrientation orientation;  // how the stored picture is shown
  cv::Mat stored;                  // the converted picture before it is turned

  // Positions come from timestamps once the first picture told where the stream
  // starts; without timestamps or frame rate pictures are counted instead.
  bool haveFirst = false;
  bool timestamped = false;
  bool packetWithoutPts = false;  // e.g. B-frames in AVI: timestamps cannot be trusted
  int64_t firstTimestamp = 0;
  int64_t lastPosition = -1;  // of the last picture received, wanted or not

  bool noPicture = true;         // the last read delivered nothing
  int64_t current = -1;          // position of `picture`, -1 when none
  bool pictureKept = false;      // `picture` came from `kept`: the decoder is at lastPosition
  int64_t coveredFrom = 0;       // requests for [coveredFrom, current] are answered by `picture`
  bool inputEnded = false;       // the demuxer ran dry and the decoder is draining
  bool decoderEnded = false;     // the decoder delivered its last picture
  bool passedPackets = false;    // packets were taken from the file since the last seek
  int64_t endBound = INT64_MAX;  // no picture exists at this position or later
  // Requests go forward by this many positions (0: not known): pictures nothing refers to
  // that lie between two requests are not decoded. gapSkippedUpTo is the last position
  // passed so since the last seek, gapSkippedFrom the first one in the current request.
  int64_t stride = 0;
  int64_t gapSkippedUpTo = -1;
  int64_t gapSkippedFrom = INT64_MAX;
  bool targetFed = false;  // the current request's own packet went to the decoder

  VideoSourceStats stats;
};

// Opens path and decodes its first picture; an Error names the file and the cause.
void decoderOpen(VideoDecoder& decoder, const std::string& path);
int decoderFrameCount(const VideoDecoder& decoder);
// Next picture in display order, whatever its position.
bool decoderReadNext(VideoDecoder& decoder);
// The first picture at or after position `target` (>= 0), exactly as decoding from the
// start would find it.
bool decoderSeekPosition(VideoDecoder& decoder, int64_t target);
// Kept pictures: whether a picture (or the packet of one) at this position is to be kept,
// keeping a copy of one, handing one out as the current picture, and whether decoding on
// to the target costs no more than jumping, as every picture passed is kept for later.
bool keptWants(const VideoDecoder& decoder, int64_t position);
void keptOffer(VideoDecoder& decoder, const AVFrame* picture, int64_t position);
bool keptServe(VideoDecoder& decoder, int64_t target);
bool keptAllOnTheWay(const VideoDecoder& decoder, int64_t target);

// Converts the current picture into a BGRA image of the shown size, turned as shown.
bool decoderConvert(VideoDecoder& decoder, cv::Mat& image);
cv::Size decoderShownSize(const VideoDecoder& decoder);

}  // namespace slidetrack
