#pragma once
// Synthetic lectures: drawn slides projected in perspective into camera frames, with a
// walking speaker, sensor noise and camera shake. Every frame's truth is known.

#include <array>
#include <string>
#include <vector>

#include <opencv2/core.hpp>

#include "clip_writer.h"
#include "speaker.h"

// A distinct, text-like slide (title bar, bullet lines, a figure) for each index.
cv::Mat drawSlide(int index, cv::Size size = cv::Size(1024, 768));

struct SlideShowing {
  int slide;   // index passed to drawSlide
  int frames;  // how many frames it stays up
};

// What surrounds the screen. Plain: a wall with soft furniture. Hall: a screen surround and
// dark border, a desk, a door frame and a blackboard with strong straight edges, uneven
// light. Blackboard and Outdoor have no projection at all.
enum class RoomKind { Plain, Hall, Blackboard, Outdoor };

struct LectureScene {
  cv::Size frameSize{1280, 720};
  cv::Size slideSize{1024, 768};
  // Corners of the projected slide area in the frame: TL, TR, BR, BL. A screen
  // recording uses the frame's own corners.
  std::array<cv::Point2f, 4> screenCorners{{{320, 140}, {960, 140}, {960, 620}, {320, 620}}};
  bool drawScreenFrame = true;  // a dark frame around the projected area
  std::vector<SlideShowing> schedule;
  bool occluder = false;     // a dark speaker-like shape walking in front of the screen
  double noiseSigma = 0.0;   // Gaussian sensor noise, grey levels
  double shakePixels = 0.0;  // camera shake amplitude
  unsigned seed = 1;

  RoomKind room = RoomKind::Plain;
  double fps = 25;                     // times the speaker, ink, pointer and drifts
  std::vector<std::string> deckPages;  // page pictures used for the slides instead of drawing
  bool speaker = false;                // a human-sized speaker walking, standing, pointing
  double jitterPixels = 0;             // random sub-pixel shake, pixels
  double driftPixels = 0;              // slow camera drift over the clip, pixels
  double exposureDrift = 0;            // gain and white balance wander up to this share
  bool ink = false;                    // pen strokes appear over some slides
  bool pointer = false;                // a mouse pointer moves over the slide

  bool projects() const { return room != RoomKind::Blackboard && room != RoomKind::Outdoor; }
  int frameCount() const;
  int slideAt(int frame) const;  // index of the slide shown in that frame, -1 outside
  // Which schedule entry is up in that frame and for how many frames before; -1 outside.
  int showingAt(int frame, int* framesIn = nullptr) const;
};

// The picture of slide index: the deck's page scaled to slideSize, or a drawn slide.
cv::Mat slidePicture(const LectureScene& scene, int index);
// The map from slide pixels to frame pixels (no shake).
cv::Matx33d slideToFrame(const LectureScene& scene);
// The speaker's pose in that frame, camera motion included; not present without a speaker.
SpeakerPose scenePoseAt(const LectureScene& scene, int frame);

// A screen recording: the slide fills the whole frame, no screen frame, no speaker.
LectureScene screenRecordingScene(cv::Size frameSize = cv::Size(1280, 720));

// The frame at that index (BGR, frameSize).
cv::Mat renderLectureFrame(const LectureScene& scene, int frame);
// The corners of the projected area in that frame (shake included).
std::array<cv::Point2f, 4> sceneCornersAt(const LectureScene& scene, int frame);
// The outer corners of the dark screen frame in that frame, where a board detector may
// rightly lock on; the projected area's corners when the scene has no screen frame.
std::array<cv::Point2f, 4> sceneFrameCornersAt(const LectureScene& scene, int frame);
bool writeLectureClip(const LectureScene& scene, const std::string& path, ClipOptions options,
                      std::string* error = nullptr);
