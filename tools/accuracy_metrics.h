#pragma once
// Scores one slidetrack run against the ground truth of its generated lecture.

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "ground_truth.h"
#include "results/slide_list.h"
#include "speaker_share.h"

// The picture a frame index shows, counted from 0: index k >= 1 is the k-th picture the
// decoder delivers, index 0 the first.
inline int pictureAtIndex(int index) { return index < 1 ? 0 : index - 1; }

struct ChangeScore {
  int truth = 0;     // true slide changes
  int reported = 0;  // changes the run reported
  int matched = 0;   // pairs within the tolerance
  double precision = 0, recall = 0, f1 = 0;
  int phantoms() const { return reported - matched; }  // reports with no true change
};

// How soon true changes are reported, in processed frames after the first processed frame
// that shows the new slide.
struct LatenessScore {
  int changes = 0;  // true changes
  int onTime = 0;   // reported 0 or 1 processed frames after that frame
  double share = 1;
  int max = 0;  // largest lateness of a paired change; unpaired ones are not on time
};

// Processed frames showing a slide that is not among the originals.
struct UnknownScore {
  int frames = 0;
  int rejected = 0;  // of those, inside a record without a match
  double share = 1;
};

struct MatchScore {
  int frames = 0;   // processed frames with a slide on the screen
  int correct = 0;  // of those, inside a record matched to the shown slide
  double accuracy = 0;
};

struct CornerScore {
  bool found = false;                // the run stored corners
  double mean = 0, max = 0;          // to the nearer of the projected area's and border's
  double areaMean = 0, areaMax = 0;  // to the projected image's own corners
};

struct Evaluation {
  ChangeScore changes;
  LatenessScore lateness;
  MatchScore matches;
  UnknownScore unknown;
  CornerScore corners;
  bool noScreen = false;  // the lecture has no projection: right when no corners are stored
  SpeakerShareScore speaker;
};

// Pictures at which the shown slide differs from the previous picture's.
std::vector<int> trueChangePictures(const std::vector<TruthFrame>& truth);
// The picture at each record's start, for every record after the first.
std::vector<int> reportedChangePictures(const slidetrack::SlideList& results);

// Pairs reported with true change times one to one, greedily: the closest pair first,
// only pairs at most tolerance apart. No changes on either side scores 1.
ChangeScore scoreChanges(const std::vector<double>& trueTimes,
                         const std::vector<double>& reportedTimes, double tolerance);
// The pairs behind scoreChanges: (true index, reported index).
std::vector<std::pair<size_t, size_t>> pairChanges(const std::vector<double>& trueTimes,
                                                   const std::vector<double>& reportedTimes,
                                                   double tolerance);

// Lateness of each true change paired (as scoreChanges pairs, at that fps and tolerance)
// with a reported one, in processed frames of frameStep.
LatenessScore scoreLateness(const std::vector<TruthFrame>& truth,
                            const slidetrack::SlideList& results, int frameStep, double fps,
                            double tolerance);

// Frames 0, step, 2 step, ... showing a slide missing from the originals: right when their
// record carries no match.
UnknownScore scoreUnknown(const slidetrack::SlideList& results,
                          const std::vector<TruthFrame>& truth, int frameStep);

// Frames 0, step, 2 step, ... of the truth; each belongs to the last record starting at or
// before it, which must be matched (through idToSlide) to the slide its picture shows.
// Frames showing a slide missing from the originals are left to scoreUnknown.
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
