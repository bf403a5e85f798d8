#pragma once
// Video frame source: a video file addressed by frame index. FFmpeg stays behind this
// header; callers see BGRA cv::Mat pictures.

#include <cstddef>
#include <memory>
#include <string>

#include <opencv2/core.hpp>

namespace slidetrack {

struct VideoDecoder;  // FFmpeg state, defined in the implementation
struct KeptPictures;

// Picture memory that videoSourceKeepFrames uses at most by default.
constexpr size_t kKeptFramesBudget = size_t{128} << 20;

// Returned by videoSourceFrameCount when neither the duration nor the stream's own
// frame count is known: the caller walks until frames run out.
constexpr int kUnknownFrameCount = -1;

// What the source has done so far, for checking that far jumps skip work.
struct VideoSourceStats {
  long long packetsRead = 0;         // video packets read from the file
  long long packetsDecoded = 0;      // of those, handed to the decoder
  long long picturesDecoded = 0;     // pictures the decoder delivered, wanted or not
  long long seeks = 0;               // repositionings in the file (rewinds and keyframe jumps)
  long long partialConversions = 0;  // pictures converted only in the set area
  long long picturesKept = 0;        // kept for the next opening of the file
  long long picturesFromKept = 0;    // handed out from what an earlier opening kept
};

struct VideoSource {
  VideoSource();
  ~VideoSource();
  std::unique_ptr<VideoDecoder> decoder;  // null while closed
  std::unique_ptr<KeptPictures> kept;     // survives closing, for the next opening
  cv::Mat image;                          // 4-channel BGRA picture handed out, owned here
};

std::unique_ptr<VideoSource> videoSourceCreate();
// Opens path (closing what was open); an Error names the file and the cause, leaving
// the source closed.
void videoSourceOpen(VideoSource& source, const std::string& path);
bool videoSourceIsOpen(const VideoSource* source);
int videoSourceFrameCount(const VideoSource* source);
// The current picture as a 4-channel BGRA image of the video's size, or nullptr.
// Owned by the source, overwritten by the next conversion.
const cv::Mat* videoSourceImage(VideoSource* source);
// Picture of frame k (index 0 and 1 are both the first picture), or nullptr.
const cv::Mat* videoSourceGetFrame(VideoSource* source, int k);
// The picture shown at the time of frame k.
const cv::Mat* videoSourceGetFrameAtTime(VideoSource* source, unsigned k);
// That time in microseconds, by the open video's frame rate (0 when closed).
long long videoSourceFrameTime(const VideoSource* source, unsigned k);
// Frames per second by which frame indices are counted (the stream's average rate where
// it has one); 0 when closed or not known.
double videoSourceFrameRate(const VideoSource* source);
// From now on only the pixels inside area need to be right: pictures are converted only
// there (widened a little), the rest of the image keeps older contents. Used when the
// caller reads one part of every frame; an empty area converts whole pictures again. The
// part is used only if the first picture converts there exactly as the whole does.
void videoSourceSetConvertedArea(VideoSource* source, const cv::Rect& area);
// From now on frames are requested at indices that grow by at least step: the pictures in
// between that no other picture refers to are not decoded. A request that breaks the
// promise is still answered right, by a jump back to a keyframe. A step of 1 decodes
// every picture again.
void videoSourceSetStride(VideoSource* source, int step);
// Until the source is closed, the pictures of frame indices 0, step, 2 x step... that are
// decoded on the way to the requested frames are kept, up to budgetBytes, and decoding
// goes on through them rather than jumping over them. The next opening of the same file
// hands them out instead of decoding them again, while its requests go forward: a pass
// over sample frames then saves the following pass over every step-th frame most of
// its decoding. The pictures are the same as decoding gives.
void videoSourceKeepFrames(VideoSource* source, int step, size_t budgetBytes = kKeptFramesBudget);
// Leaves the open source as a fresh opening of the same file would be: the pictures kept
// so far are handed out, whole pictures are converted, and every frame index gives the
// picture a fresh opening gives. The decoder stays open where positions come from
// timestamps; where pictures are counted the file is opened again, as counting is
// trusted only from the start. An Error names the file when that opening fails.
void videoSourceStartOver(VideoSource* source);
void videoSourceClose(VideoSource* source);
void videoSourceRelease(std::unique_ptr<VideoSource>& source);

// Counters since creation; zero for a null source.
VideoSourceStats videoSourceStats(const VideoSource* source);

}  // namespace slidetrack
