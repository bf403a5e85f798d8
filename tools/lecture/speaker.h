#pragma once
// A human-sized speaker: a silhouette (head, torso, arms, legs) that walks in front of the
// screen, stands there and points into it. The pose of every frame is a handful of numbers,
// so the ground truth can store it and the evaluator re-draw the same mask.

#include <vector>

#include <opencv2/core.hpp>

struct SpeakerPose {
  bool present = false;
  float x = 0;       // centre between the feet, frame pixels
  float footY = 0;   // where the feet stand, frame pixels
  float height = 0;  // feet to the top of the head, pixels
  float arm = 999;   // pointing arm direction in degrees (0: right, 90: up); 999: arms down
  float stride = 0;  // horizontal distance between the feet as a share of the height
};

// Where the speaker goes: stops (place, size) joined by walks, chosen from the seed.
struct SpeakerPlan {
  struct Stop {
    double start, end;  // seconds standing there
    float x, scale;     // place (frame x) and size (1: the screen's height)
    bool pointing;
    bool away;  // out of the picture
  };
  std::vector<Stop> stops;
  cv::Rect2f screen;  // bounding box of the projected area
  double fps = 25;
};

// A plan for a clip of that many seconds in front of the screen's bounding box.
SpeakerPlan makeSpeakerPlan(const cv::Rect2f& screen, double seconds, double fps, unsigned seed);
SpeakerPose speakerPoseAt(const SpeakerPlan& plan, int frame);
// The pose moved by the camera, kept to the precision the ground truth stores.
SpeakerPose movedPose(SpeakerPose pose, cv::Point2f by);

// Draws the silhouette; clothing colours come from the seed. The mask uses the same calls.
void drawSpeaker(cv::Mat& image, const SpeakerPose& pose, unsigned seed);
// 255 where the speaker is, 0 elsewhere (CV_8UC1 of that size).
cv::Mat speakerMask(const SpeakerPose& pose, cv::Size size);
