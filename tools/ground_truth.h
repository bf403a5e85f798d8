#pragma once
// Ground truth of a generated lecture (truth.csv, originals.xml) and the screen corners a
// run stored in its configuration file.

#include <array>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include <opencv2/core.hpp>

#include "speaker.h"

// Corners top-left, top-right, bottom-right, bottom-left.
using Quad = std::array<cv::Point2f, 4>;

struct TruthFrame {
  int slide = -1;           // index of the slide shown, -1 for none
  Quad area;                // corners of the projected area
  Quad frame;               // outer corners of the dark screen frame; the area's without one
  bool inOriginals = true;  // the slide shown is listed in originals.xml
  SpeakerPose speaker;      // not present in files without the speaker columns
};

// The rows of truth.csv in frame order. Files without the screen-frame columns give
// frame == area; files without the originals and speaker columns, listed slides and no
// speaker. Empty, with *error set, when the file is missing or malformed.
std::vector<TruthFrame> loadTruthCsv(const std::string& path, std::string* error);

// Slide index of every original id: originals.xml lists id N for .../slide_N.png.
// Empty, with *error set, when the file holds no such original.
std::map<int, int> loadOriginalSlideIndices(const std::string& path, std::string* error);

// The boardPoints of a configuration file; none when the run found no screen.
std::optional<Quad> loadBoardPoints(const std::string& configPath);

// presentWidth x presentHeight of a configuration file; the program's 640 x 480 when absent.
cv::Size loadPresentSize(const std::string& configPath);

// slideFrameStep of a configuration file; the program's default 25 when absent.
int loadFrameStep(const std::string& configPath);

// "25", "29.97" or "30000/1001" as frames per second; 0 when not a positive rate.
double parseFrameRate(const std::string& text);
