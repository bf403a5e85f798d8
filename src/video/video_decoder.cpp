#include "video/video_decoder.h"

#include <algorithm>

#include "common/error.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

namespace slidetrack {

namespace {

// How much later than its decode timestamp a picture may be shown, in frames: a packet
// known only by its dts is skipped only when it is this far before the target.
constexpr int64_t kReorderMargin = 16;

enum class Decoded { kPicture, kEnd, kOvershoot };

int64_t positionAt(const VideoDecoder& d, int64_t timestamp) {
  return pictureNumberAt(timestamp, d.firstTimestamp, d.streamBaseNum, d.streamBaseDen, d.timeBase);
}

int64_t timestampAt(const VideoDecoder& d, int64_t position) {
  return timestampOfPicture(position, d.firstTimestamp, d.streamBaseNum, d.streamBaseDen,
                            d.timeBase);
}

int64_t framesPerSeconds(const VideoDecoder& d, int seconds) {
  if (!d.timeBase.valid()) return 50;
  return std::max<int64_t>(1, static_cast<int64_t>(seconds) * d.timeBase.den / d.timeBase.num);
}

int64_t positionOfPicture(VideoDecoder& d, const AVFrame* frame) {
  int64_t timestamp = frame->best_effort_timestamp;
  if (timestamp == AV_NOPTS_VALUE) timestamp = frame->pts;
  if (!d.haveFirst) {
    d.haveFirst = true;
    d.firstTimestamp = timestamp == AV_NOPTS_VALUE ? 0 : timestamp;
    d.timestamped = d.timeBase.fromFrameRate && timestamp != AV_NOPTS_VALUE && !d.packetWithoutPts;
    return 0;
  }
  if (!d.timestamped || timestamp == AV_NOPTS_VALUE) return d.lastPosition + 1;
  return positionAt(d, timestamp);
}

// True when the packet's picture is surely shown before the target, so it is not wanted.
bool packetBeforeTarget(const VideoDecoder& d, const AVPacket* packet, int64_t target) {
  if (!d.timestamped || target <= 0) return false;
  if (packet->pts != AV_NOPTS_VALUE) return positionAt(d, packet->pts) < target;
  if (packet->dts != AV_NOPTS_VALUE) return positionAt(d, packet->dts) + kReorderMargin < target;
  return false;
}

// True when the packet's picture lies after the target but before the next request. Only
// once the target's own packet has gone to the decoder: where no picture falls on the
// target, as in a stream of varying frame rate, the answer is a later one.
bool packetInGap(VideoDecoder& d, const AVPacket* packet, int64_t target) {
  if (d.stride <= 1 || !d.timestamped || target < 0 || packet->pts == AV_NOPTS_VALUE) return false;
  const int64_t position = positionAt(d, packet->pts);
  if (position == target) d.targetFed = true;
  return d.targetFed && position > target && position < target + d.stride;
}

// Hands the next video packet to the decoder; false at the end of the input.
bool feedPacket(VideoDecoder& d, int64_t target) {
  AVPacket* packet = d.packet.get();
  for (;;) {
    const int read = av_read_frame(d.format.get(), packet);
    if (read < 0) {
      return false;
    }
    if (packet->stream_index != d.videoStream) {
      av_packet_unref(packet);
      continue;
    }
    ++d.stats.packetsRead;
    d.passedPackets = true;
    if (packet->pts == AV_NOPTS_VALUE && !d.packetWithoutPts) {
      // Pictures are counted from here on: no skipping, no jumps, rewinds only.
      d.packetWithoutPts = true;
      d.timestamped = false;
    }
    // A picture kept for later is decoded whole even before the target.
    const bool inGap = packetInGap(d, packet, target);
    const bool unwanted =
        (inGap || packetBeforeTarget(d, packet, target)) &&
        !(packet->pts != AV_NOPTS_VALUE && keptWants(d, positionAt(d, packet->pts)));
    if (unwanted && inGap) {
      const int64_t position = positionAt(d, packet->pts);
      d.gapSkippedUpTo = std::max(d.gapSkippedUpTo, position);
      d.gapSkippedFrom = std::min(d.gapSkippedFrom, position);
    }
    if (unwanted && d.intraOnly) {  // nothing refers to it: no need to decode at all
      av_packet_unref(packet);
      continue;
    }
    // Non-reference pictures before the target cannot influence it.
    d.codec->skip_frame = unwanted ? AVDISCARD_NONREF : AVDISCARD_DEFAULT;
    const int sent = avcodec_send_packet(d.codec.get(), packet);
    av_packet_unref(packet);
    ++d.stats.packetsDecoded;
    if (sent < 0) continue;  // a damaged packet is dropped, the stream goes on
    return true;
  }
}

// Decodes until a picture at or after `target` arrives (any picture for target < 0).
// With checkOvershoot, a first picture already past the target is reported as such.
Decoded decodeUntil(VideoDecoder& d, int64_t target, bool checkOvershoot = false) {
  d.noPicture = true;
  if (d.decoderEnded) return Decoded::kEnd;
  AVCodecContext* codec = d.codec.get();
  for (;;) {
    const int received = avcodec_receive_frame(codec, d.incoming.get());
    if (received == 0) {
      ++d.stats.picturesDecoded;
      const int64_t position = positionOfPicture(d, d.incoming.get());
      d.lastPosition = position;
      if (checkOvershoot && position > target) {
        av_frame_unref(d.incoming.get());
        return Decoded::kOvershoot;
      }
      checkOvershoot = false;
      if (target < 0 || position >= target) {
        av_frame_unref(d.picture.get());
        av_frame_move_ref(d.picture.get(), d.incoming.get());
        d.current = position;
        d.coveredFrom = target < 0 ? position : std::min(target, position);
        d.noPicture = false;
        d.pictureKept = false;
        codec->skip_frame = AVDISCARD_DEFAULT;
        keptOffer(d, d.picture.get(), position);
        return Decoded::kPicture;
      }
      keptOffer(d, d.incoming.get(), position);
      av_frame_unref(d.incoming.get());
      continue;
    }
    if (received != AVERROR(EAGAIN) || d.inputEnded) {
      d.decoderEnded = true;
      return Decoded::kEnd;
    }
    if (!feedPacket(d, target)) {
      // Drain: the decoder still holds the last pictures of the stream.
      codec->skip_frame = AVDISCARD_DEFAULT;
      avcodec_send_packet(codec, nullptr);
      d.inputEnded = true;
    }
  }
}

bool seekTo(VideoDecoder& d, int64_t timestamp) {
  const int sought = av_seek_frame(d.format.get(), d.videoStream, timestamp, AVSEEK_FLAG_BACKWARD);
  if (sought < 0) return false;
  avcodec_flush_buffers(d.codec.get());
  ++d.stats.seeks;
  d.inputEnded = false;
  d.decoderEnded = false;
  d.current = -1;
  d.pictureKept = false;
  d.lastPosition = -1;
  d.passedPackets = false;
  d.gapSkippedUpTo = -1;
  d.targetFed = false;
  return true;
}

// Decodes forward from the first picture; past the last picture, remembers where the
// pictures end.
bool decodeOnFromFirst(VideoDecoder& d, int64_t target) {
  if (target <= d.current) return true;
  if (decodeUntil(d, target) == Decoded::kPicture) return true;
  d.endBound = std::min(d.endBound, target);
  return false;
}

// Back to the first picture: a seek to the start, or reopening when that does not work.
bool rewindAndDecode(VideoDecoder& d, int64_t target) {
  if (seekTo(d, d.firstTimestamp) && decodeUntil(d, 0, d.timestamped) == Decoded::kPicture) {
    return decodeOnFromFirst(d, target);
  }
  const std::string path = d.path;
  const VideoSourceStats stats = d.stats;
  KeptPictures* const kept = d.kept;
  bool opened = true;
  try {
    decoderOpen(d, path);  // decodes the first picture anew
  } catch (const Error&) {
    opened = false;  // the file went away under the run: its pictures end here
  }
  d.stats = stats;
  d.kept = kept;
  ++d.stats.seeks;
  return opened && d.current >= 0 && decodeOnFromFirst(d, target);
}

// Seeks to the keyframe at or before the target and decodes up to it. A keyframe that
// turns out to be shown after the target (reordered or leading pictures) sends the search
// further back, finally to the start.
bool jumpAndDecode(VideoDecoder& d, int64_t target) {
  if (!d.timestamped) return rewindAndDecode(d, target);
  int64_t back = 0;
  for (;;) {
    const int64_t from = target - back;
    if (from <= 0) return rewindAndDecode(d, target);
    if (seekTo(d, timestampAt(d, from))) {
      const Decoded result = decodeUntil(d, target, true);
      if (result == Decoded::kPicture) return true;
      // Landed before the target and ran out: nothing is at or after it.
      if (result == Decoded::kEnd && d.passedPackets) {
        d.endBound = std::min(d.endBound, target);
        return false;
      }
    }
    back = back == 0 ? framesPerSeconds(d, 1) : back * 4;
  }
}

// A jump pays when the keyframe before the target lies beyond the picture the decoder is
// at, even a step of a second ahead: the pictures up to that keyframe need not be decoded
// at all. Where the index cannot tell, only a long way is worth a guess. Pictures kept for
// later are never skipped.
bool worthJumping(const VideoDecoder& d, int64_t at, int64_t target) {
  if (!d.timestamped || at < 0 || keptAllOnTheWay(d, target)) return false;
  const bool far = target - at > framesPerSeconds(d, 2);
  AVStream* stream = d.format->streams[d.videoStream];
  const int entries = avformat_index_get_entries_count(stream);
  if (entries <= 0) return far;
  // Some demuxers index only what they have read so far.
  if (positionAt(d, avformat_index_get_entry(stream, entries - 1)->timestamp) < target) return far;
  // Index times may be decode times, a reordering delay before the keyframe is shown: one
  // found by the target's own time could be shown after it, and the seek then goes back a
  // whole group of pictures.
  const int delay = std::max(0, d.codec->has_b_frames);
  const int entry =
      av_index_search_timestamp(stream, timestampAt(d, target - delay), AVSEEK_FLAG_BACKWARD);
  if (entry < 0) return far;
  return positionAt(d, avformat_index_get_entry(stream, entry)->timestamp) + delay > at + 1;
}

}  // namespace

bool decoderReadNext(VideoDecoder& d) {
  if (!d.picture) return false;
  // The next picture may be one left out between requests.
  if (!d.pictureKept && d.current >= 0 && d.gapSkippedUpTo > d.current)
    return decoderSeekPosition(d, d.current + 1);
  return decodeUntil(d, -1) == Decoded::kPicture;
}

namespace {

bool seekOnce(VideoDecoder& d, int64_t target) {
  if (d.current >= 0 && target >= d.coveredFrom && target <= d.current) {
    d.noPicture = false;
    return true;
  }
  if (target >= d.endBound) {
    d.noPicture = true;
    return false;
  }
  if (keptServe(d, target)) return true;
  // After a kept picture the decoder itself is still at the last picture it delivered.
  const int64_t at = d.pictureKept ? d.lastPosition : d.current;
  const bool behind = d.pictureKept ? target <= at : target < d.coveredFrom;
  // A picture left out between requests is found again only from a keyframe.
  const bool leftOut = target <= d.gapSkippedUpTo;
  if (at < 0 || behind || leftOut || d.decoderEnded || worthJumping(d, at, target)) {
    return jumpAndDecode(d, target);
  }
  if (decodeUntil(d, target) == Decoded::kPicture) return true;
  d.endBound = std::min(d.endBound, target);
  return false;
}

}  // namespace

bool decoderSeekPosition(VideoDecoder& d, int64_t target) {
  if (!d.picture) return false;
  target = std::max<int64_t>(target, 0);
  d.gapSkippedFrom = INT64_MAX;
  d.targetFed = false;
  const int64_t endBound = d.endBound;
  const bool found = seekOnce(d, target);
  // Without a picture at the target itself, the answer may be one that was left out as
  // lying after it: the request is made again, decoding every picture.
  if (d.gapSkippedFrom == INT64_MAX || (found && d.current == target)) return found;
  const int64_t stride = d.stride;
  d.stride = 0;
  d.endBound = endBound;
  const bool again = jumpAndDecode(d, target);
  d.stride = stride;
  return again;
}

}  // namespace slidetrack
