#pragma once
// Scores one slidetrack run against the ground truth of its generated lecture.

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "ground_truth.h"
#include "results/slide_list.h"

// The picture a frame index shows, counted from 0: index k >= 1 is the k-th picture the
// decoder delivers, index 0 the first.
inline int pictureAtIndex(int index) { return index < 1 ? 0 : index - 1; }

struct ChangeScore {
  int truth = 0;     // true slide changes
  int reported = 0;  // changes the run reported
  int matched = 0;   // pairs within the tolerance
  double precision = 0, recall = 0, f1 = 0;
};

struct MatchScore {
  int frames = 0;   // processed frames with a slide on the screen
  int correct = 0;  // of those, inside a record matched to the shown slide
  double accuracy = 0;
};

struct CornerScore {
  bool found = false;  // the run stored corners
  double mean = 0, max = 0;
};

struct Evaluation {
  ChangeScore changes;
  MatchScore matches;
  CornerScore corners;
};

// Pictures at which the shown slide differs from the previous picture's.
std::vector<int> trueChangePictures(const std::vector<TruthFrame>& truth);
// The picture at each record's start, for every record after the first.
std::vector<int> reportedChangePictures(const slidetrack::SlideList& results);

// Pairs reported with true change times one to one, greedily: the closest pair first,
// only pairs at most tolerance apart. No changes on either side scores 1.
ChangeScore scoreChanges(const std::vector<double>& trueTimes,
                         const std::vector<double>& reportedTimes, double tolerance);

// Frames 0, step, 2 step, ... of the truth; each belongs to the last record starting at or
// before it, which must be matched (through idToSlide) to the slide its picture shows.
MatchScore scoreMatches(const slidetrack::SlideList& results, const std::map<int, int>& idToSlide,
                        const std::vector<TruthFrame>& truth, int frameStep);

// Per corner, the distance to the nearer of the projected area's and the screen frame's
// true corner, both averaged over all frames (camera shake moves them by a pixel or so).
CornerScore scoreCorners(const std::optional<Quad>& found, const std::vector<TruthFrame>& truth);

// The files of one run: the generator's outputs and the run's results and configuration.
struct RunFiles {
  std::string truthCsv, originalsXml, resultsXml, configXml;
  double fps = 25;
  double tolerance = 2.0;  // seconds
};

// False with *error set when an input cannot be read.
bool evaluateRun(const RunFiles& files, Evaluation* out, std::string* error);

// One machine-readable line: key=value fields separated by spaces, "n/a" for a missing
// figure.
std::string formatEvaluation(const std::string& name, const Evaluation& e);
