#pragma once
// The options of slidetrack-make-lecture and the scenes they describe.

#include <string>

#include "lecture_scene.h"

struct LectureOptions {
  std::string scenario = "moderate";
  std::string out = "lecture";
  std::string codec = "libx264";
  double noise = 0;
  double shake = 0;
  double jitter = 0;
  double drift = 0;
  double exposureDrift = 0;
  bool occluder = false;
  bool speaker = false;
  bool revisit = false;
  bool ink = false;
  bool pointer = false;
  int slides = 12;
  int firstPage = 0;
  int omit = 0;  // shown slides left out of originals.xml
  int bitrateKbps = 0;
  double secondsPerSlide = 4;
  int fpsNum = 25, fpsDen = 1;
  unsigned seed = 1;
  std::string corners;  // overrides the scenario's screen corners when given
  std::string deck;     // directory of page pictures
  std::string room = "plain";
};

extern const char kLectureUsage[];

// 0 to go on; otherwise the exit status (1 after --help, which means success).
int parseLectureArgs(int argc, char** argv, LectureOptions* o);
// Builds the scene the options describe (schedule included); false with *error set.
bool lectureSceneFor(const LectureOptions& o, LectureScene* scene, std::string* error);
// Corners of a 3:4 / aspect screen `width` pixels wide, centred at `centre`, seen turned by
// yawDegrees about its vertical axis from a camera whose focal length is the frame width.
std::array<cv::Point2f, 4> viewCorners(cv::Size frame, cv::Point2f centre, float width,
                                       float aspect, double yawDegrees);
