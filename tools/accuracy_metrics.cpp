// Change detection, slide matching and corner accuracy of one run.

#include "accuracy_metrics.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <tuple>

#include "results/results_xml.h"

using namespace slidetrack;

namespace fs = std::filesystem;

namespace {

Quad meanQuad(const std::vector<TruthFrame>& truth, Quad TruthFrame::*which) {
  Quad mean{};
  for (const TruthFrame& f : truth)
    for (int i = 0; i < 4; ++i) mean[i] += (f.*which)[i];
  for (cv::Point2f& p : mean) p *= 1.f / float(std::max<size_t>(1, truth.size()));
  return mean;
}

double ratio(int num, int den) { return den > 0 ? double(num) / den : 1.0; }

}  // namespace

std::vector<int> trueChangePictures(const std::vector<TruthFrame>& truth) {
  std::vector<int> changes;
  for (size_t i = 1; i < truth.size(); ++i)
    if (truth[i].slide != truth[i - 1].slide) changes.push_back(int(i));
  return changes;
}

std::vector<int> reportedChangePictures(const SlideList& results) {
  std::vector<int> changes;
  for (size_t i = 1; i < results.slides.size(); ++i)
    changes.push_back(pictureAtIndex(results.slides[i].start));
  return changes;
}

std::vector<std::pair<size_t, size_t>> pairChanges(const std::vector<double>& trueTimes,
                                                   const std::vector<double>& reportedTimes,
                                                   double tolerance) {
  std::vector<std::tuple<double, size_t, size_t>> pairs;
  for (size_t t = 0; t < trueTimes.size(); ++t)
    for (size_t r = 0; r < reportedTimes.size(); ++r) {
      const double d = std::fabs(trueTimes[t] - reportedTimes[r]);
      if (d <= tolerance) pairs.emplace_back(d, t, r);
    }
  std::sort(pairs.begin(), pairs.end());
  std::vector<bool> trueUsed(trueTimes.size()), reportedUsed(reportedTimes.size());
  std::vector<std::pair<size_t, size_t>> out;
  for (const auto& [d, t, r] : pairs) {
    if (trueUsed[t] || reportedUsed[r]) continue;
    trueUsed[t] = reportedUsed[r] = true;
    out.emplace_back(t, r);
  }
  return out;
}

ChangeScore scoreChanges(const std::vector<double>& trueTimes,
                         const std::vector<double>& reportedTimes, double tolerance) {
  ChangeScore s;
  s.matched = int(pairChanges(trueTimes, reportedTimes, tolerance).size());
  s.truth = int(trueTimes.size());
  s.reported = int(reportedTimes.size());
  s.precision = ratio(s.matched, s.reported);
  s.recall = ratio(s.matched, s.truth);
  s.f1 = s.precision + s.recall > 0 ? 2 * s.precision * s.recall / (s.precision + s.recall) : 0;
  return s;
}

MatchScore scoreMatches(const SlideList& results, const std::map<int, int>& idToSlide,
                        const std::vector<TruthFrame>& truth, int frameStep) {
  MatchScore s;
  const int count = int(truth.size());
  size_t record = 0;  // records are in start order; walk them along with the frames
  for (int t = 0; t < count; t += std::max(1, frameStep)) {
    const int shown = truth[pictureAtIndex(t)].slide;
    if (shown < 0 || !truth[pictureAtIndex(t)].inOriginals) continue;
    ++s.frames;
    while (record + 1 < results.slides.size() && results.slides[record + 1].start <= t) ++record;
    if (record >= results.slides.size() || results.slides[record].start > t) continue;
    const SlideRecord* match = results.slides[record].match;
    if (!match) continue;
    const auto slide = idToSlide.find(match->id);
    if (slide != idToSlide.end() && slide->second == shown) ++s.correct;
  }
  s.accuracy = ratio(s.correct, s.frames);
  return s;
}

LatenessScore scoreLateness(const std::vector<TruthFrame>& truth, const SlideList& results,
                            int frameStep, double fps, double tolerance) {
  const int step = std::max(1, frameStep);
  const std::vector<int> truePictures = trueChangePictures(truth);
  const std::vector<int> reportedPictures = reportedChangePictures(results);
  std::vector<double> trueTimes, reportedTimes;
  for (int p : truePictures) trueTimes.push_back(p / fps);
  for (int p : reportedPictures) reportedTimes.push_back(p / fps);
  LatenessScore s;
  s.changes = int(truePictures.size());
  for (const auto& [t, r] : pairChanges(trueTimes, reportedTimes, tolerance)) {
    // The first processed index whose picture shows the new slide.
    int first = 0;
    while (pictureAtIndex(first) < truePictures[t]) first += step;
    const int reportedIndex = results.slides[r + 1].start;
    const int late = int(std::floor(double(reportedIndex - first) / step));
    if (late >= 0 && late <= 1) ++s.onTime;
    s.max = std::max(s.max, late);
  }
  s.share = ratio(s.onTime, s.changes);
  return s;
}

UnknownScore scoreUnknown(const SlideList& results, const std::vector<TruthFrame>& truth,
                          int frameStep) {
  UnknownScore s;
  size_t record = 0;
  for (int t = 0; t < int(truth.size()); t += std::max(1, frameStep)) {
    const TruthFrame& f = truth[pictureAtIndex(t)];
    if (f.slide < 0 || f.inOriginals) continue;
    ++s.frames;
    while (record + 1 < results.slides.size() && results.slides[record + 1].start <= t) ++record;
    const bool inRecord = record < results.slides.size() && results.slides[record].start <= t;
    if (!inRecord || !results.slides[record].match) ++s.rejected;
  }
  s.share = ratio(s.rejected, s.frames);
  return s;
}

CornerScore scoreCorners(const std::optional<Quad>& found, const std::vector<TruthFrame>& truth) {
  CornerScore s;
  if (!found || truth.empty()) return s;
  s.found = true;
  const Quad area = meanQuad(truth, &TruthFrame::area);
  const Quad frame = meanQuad(truth, &TruthFrame::frame);
  for (int i = 0; i < 4; ++i) {
    const double d = std::min(cv::norm((*found)[i] - area[i]), cv::norm((*found)[i] - frame[i]));
    s.mean += d / 4;
    s.max = std::max(s.max, d);
    const double own = cv::norm((*found)[i] - area[i]);
    s.areaMean += own / 4;
    s.areaMax = std::max(s.areaMax, own);
  }
  return s;
}

bool evaluateRun(const RunFiles& files, Evaluation* out, std::string* error) {
  const std::vector<TruthFrame> truth = loadTruthCsv(files.truthCsv, error);
  if (truth.empty()) return false;
  const std::map<int, int> idToSlide = loadOriginalSlideIndices(files.originalsXml, error);
  if (idToSlide.empty()) return false;
  const std::unique_ptr<SlideList> results = slidesLoadFromXml(nullptr, files.resultsXml.c_str());
  if (!results) {
    *error = "cannot read results " + files.resultsXml;
    return false;
  }
  if (!(files.fps > 0)) {
    *error = "no frame rate";
    return false;
  }
  std::vector<double> trueTimes, reportedTimes;
  for (int p : trueChangePictures(truth)) trueTimes.push_back(p / files.fps);
  for (int p : reportedChangePictures(*results)) reportedTimes.push_back(p / files.fps);
  out->changes = scoreChanges(trueTimes, reportedTimes, files.tolerance);
  const int step = loadFrameStep(files.configXml);
  out->lateness = scoreLateness(truth, *results, step, files.fps, files.tolerance);
  out->matches = scoreMatches(*results, idToSlide, truth, step);
  out->unknown = scoreUnknown(*results, truth, step);
  const std::optional<Quad> corners = loadBoardPoints(files.configXml);
  out->noScreen =
      std::all_of(truth.begin(), truth.end(), [](const TruthFrame& f) { return f.slide < 0; });
  out->corners = out->noScreen ? CornerScore{corners.has_value()} : scoreCorners(corners, truth);
  out->speaker = SpeakerShareScore();
  if (corners && !out->noScreen) {
    const std::string lectureDir = fs::path(files.truthCsv).parent_path().string();
    const std::string runDir = fs::path(files.resultsXml).parent_path().string();
    out->speaker = scoreSpeakerShare(*results, truth, lectureDir.empty() ? "." : lectureDir,
                                     runDir.empty() ? "." : runDir, *corners,
                                     loadPresentSize(files.configXml), step);
  }
  return true;
}

std::string formatEvaluation(const std::string& name, const Evaluation& e) {
  char line[512];
  const ChangeScore& c = e.changes;
  const MatchScore& m = e.matches;
  std::snprintf(line, sizeof line,
                "scenario=%s changes_true=%d changes_found=%d changes_paired=%d precision=%.3f "
                "recall=%.3f f1=%.3f phantoms=%d late=%.3f late_max=%d frames=%d "
                "frames_matched=%d match_accuracy=%.3f ",
                name.c_str(), c.truth, c.reported, c.matched, c.precision, c.recall, c.f1,
                c.phantoms(), e.lateness.share, e.lateness.max, m.frames, m.correct, m.accuracy);
  std::string text = line;
  if (e.unknown.frames > 0) {
    std::snprintf(line, sizeof line, "unknown_frames=%d unknown_rejected=%.3f ", e.unknown.frames,
                  e.unknown.share);
    text += line;
  } else {
    text += "unknown_frames=0 unknown_rejected=n/a ";
  }
  if (e.speaker.pictures > 0) {
    std::snprintf(line, sizeof line,
                  "speaker_pictures=%d speaker_share_mean=%.4f speaker_share_max=%.4f "
                  "speaker_share_seen_max=%.4f picture_damage_mean=%.4f picture_damage_max=%.4f ",
                  e.speaker.pictures, e.speaker.mean, e.speaker.max, e.speaker.seenMax,
                  e.speaker.damageMean, e.speaker.damageMax);
    text += line;
  } else {
    text +=
        "speaker_pictures=0 speaker_share_mean=n/a speaker_share_max=n/a "
        "speaker_share_seen_max=n/a "
        "picture_damage_mean=n/a picture_damage_max=n/a ";
  }
  if (e.noScreen) {
    text += std::string("no_screen_correct=") + (e.corners.found ? "0" : "1") +
            " corner_mean=n/a corner_max=n/a corner_near_mean=n/a corner_near_max=n/a";
  } else if (e.corners.found) {
    std::snprintf(line, sizeof line,
                  "corner_mean=%.2f corner_max=%.2f corner_near_mean=%.2f corner_near_max=%.2f",
                  e.corners.areaMean, e.corners.areaMax, e.corners.mean, e.corners.max);
    text += line;
  } else {
    text += "corner_mean=n/a corner_max=n/a corner_near_mean=n/a corner_near_max=n/a";
  }
  return text;
}
