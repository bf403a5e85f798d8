#pragma once
// Encodes BGR frames into a video file with FFmpeg, for test and benchmark inputs.

#include <functional>
#include <memory>
#include <string>

#include <opencv2/core.hpp>

struct ClipOptions {
  std::string codec = "libx264";  // FFmpeg encoder name: "libx264", "mpeg4", "mjpeg"
  int width = 320;
  int height = 240;
  int fpsNum = 25;  // frame rate fpsNum / fpsDen
  int fpsDen = 1;
  int bFrames = -1;                 // -1: the encoder's default (x264: 3)
  int gopSize = -1;                 // -1: the encoder's default
  int crf = 23;                     // x264 quality; ignored by other encoders
  std::string preset = "veryfast";  // x264 preset
  int bitrateKbps = 0;              // > 0: x264 at this average bitrate instead of crf
};

struct ClipEncoder;

class ClipWriter {
 public:
  ClipWriter();
  ~ClipWriter();  // closes an open clip, so the file stays playable
  bool open(const std::string& path, const ClipOptions& options);
  bool write(const cv::Mat& bgr);  // resized to the clip size when it differs
  bool close();                    // flushes the encoder and writes the trailer
  const std::string& error() const { return error_; }

 private:
  std::unique_ptr<ClipEncoder> encoder_;
  std::string error_;
};

// Writes frameCount frames produced by frameAt(index). Returns false with *error set.
bool writeClip(const std::string& path, const ClipOptions& options, int frameCount,
               const std::function<cv::Mat(int)>& frameAt, std::string* error = nullptr);
