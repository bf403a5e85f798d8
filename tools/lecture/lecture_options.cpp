// Parses slidetrack-make-lecture's options and turns them into a scene.

#include "lecture_options.h"

#include <cmath>
#include <cstdlib>
#include <iostream>
#include <random>
#include <set>
#include <sstream>

#include "deck.h"

const char kLectureUsage[] =
    "Usage: slidetrack-make-lecture [options]\n"
    "  --scenario NAME         moderate | steep | screencast | far1080 | hall | side |\n"
    "                          steep45 | far (default moderate)\n"
    "  --out DIR               output directory (default lecture)\n"
    "  --slides N              number of distinct slides (default 12)\n"
    "  --seconds-per-slide S   time each slide stays up (default 4; varied +-40 % with --deck)\n"
    "  --fps RATE              25, 30000/1001, ... (default 25)\n"
    "  --noise SIGMA           Gaussian sensor noise in grey levels (default 0)\n"
    "  --shake PX              camera shake amplitude in pixels (default 0)\n"
    "  --jitter PX             random sub-pixel camera shake in pixels (default 0)\n"
    "  --drift PX              slow camera drift over the clip in pixels (default 0)\n"
    "  --exposure-drift SHARE  auto-exposure and white balance wander, e.g. 0.15 (default 0)\n"
    "  --occluder              a dark shape walks in front of the screen\n"
    "  --speaker               a human-sized speaker walks, stands and points\n"
    "  --revisit               an earlier slide is shown again later\n"
    "  --deck DIR              slides from the PNG pages in DIR, in page order\n"
    "  --first-page N          first deck page shown, from 0 (default 0)\n"
    "  --room NAME             plain | hall | blackboard | outdoor (the last two: no screen)\n"
    "  --ink                   pen strokes appear over some slides\n"
    "  --pointer               a mouse pointer moves over the picture\n"
    "  --omit N                N shown slides are left out of originals.xml\n"
    "  --bitrate KBPS          H.264 average bitrate instead of constant quality\n"
    "  --codec NAME            libx264 | mpeg4 | mjpeg (default libx264)\n"
    "  --seed N                seed of noise, shake, speaker and choices (default 1)\n"
    "  --corners X,Y,X,Y,X,Y,X,Y  projected area corners TL, TR, BR, BL in frame pixels\n"
    "                          (camera scenarios only; default: the scenario's)\n";

namespace {

bool parseRate(const std::string& text, int* num, int* den) {
  char* end = nullptr;
  const long n = std::strtol(text.c_str(), &end, 10);
  long d = 1;
  if (*end == '/') {
    const char* start = end + 1;
    d = std::strtol(start, &end, 10);
    if (end == start) return false;
  }
  if (*end != '\0' || n <= 0 || d <= 0 || n > 1000000 || d > 1000000) return false;
  *num = int(n);
  *den = int(d);
  return true;
}

bool parseNumber(const char* text, double* value) {
  char* end = nullptr;
  *value = std::strtod(text, &end);
  return end != text && *end == '\0';
}

bool parseCount(const char* text, int limit, int* value) {
  double number = 0;
  if (!parseNumber(text, &number) || number < 0 || number > limit || number != int(number))
    return false;
  *value = int(number);
  return true;
}

const std::set<std::string> kValueOptions = {"--scenario",       "--out",
                                             "--codec",          "--fps",
                                             "--noise",          "--shake",
                                             "--jitter",         "--drift",
                                             "--exposure-drift", "--seconds-per-slide",
                                             "--slides",         "--seed",
                                             "--corners",        "--deck",
                                             "--first-page",     "--room",
                                             "--omit",           "--bitrate"};

// Eight numbers inside the frame, as TL, TR, BR, BL.
bool parseCorners(const std::string& text, cv::Size frame, std::array<cv::Point2f, 4>* corners) {
  std::stringstream in(text);
  float v[8];
  for (int i = 0; i < 8; ++i) {
    std::string field;
    double number = 0;
    if (!std::getline(in, field, ',') || !parseNumber(field.c_str(), &number)) return false;
    const int limit = i % 2 ? frame.height : frame.width;
    if (number < 0 || number > limit) return false;
    v[i] = float(number);
  }
  std::string rest;
  if (std::getline(in, rest)) return false;
  for (int i = 0; i < 4; ++i) (*corners)[i] = cv::Point2f(v[2 * i], v[2 * i + 1]);
  return true;
}

bool sceneFor(const std::string& name, LectureScene* scene) {
  const float aspect = float(scene->slideSize.height) / float(scene->slideSize.width);
  if (name == "moderate") {
    scene->frameSize = cv::Size(1280, 720);
    scene->screenCorners = {{{300, 130}, {950, 150}, {940, 610}, {310, 630}}};
  } else if (name == "steep") {
    // Seen from the left: the far edge is much shorter than the near one.
    scene->frameSize = cv::Size(1280, 720);
    scene->screenCorners = {{{260, 90}, {900, 200}, {905, 560}, {255, 665}}};
  } else if (name == "screencast") {
    const LectureScene before = *scene;
    *scene = screenRecordingScene(cv::Size(1280, 720));
    if (!before.deckPages.empty()) {  // the deck's pages, stretched to the recording
      scene->deckPages = before.deckPages;
      scene->slideSize = before.slideSize;
    }
  } else if (name == "far1080") {
    scene->frameSize = cv::Size(1920, 1080);
    scene->screenCorners = {{{700, 300}, {1340, 312}, {1336, 790}, {704, 782}}};
  } else if (name == "hall") {  // nearly frontal, a little from the left
    scene->frameSize = cv::Size(1280, 720);
    scene->screenCorners = viewCorners(scene->frameSize, {640, 300}, 600, aspect, 8);
  } else if (name == "side") {
    scene->frameSize = cv::Size(1280, 720);
    scene->screenCorners = viewCorners(scene->frameSize, {620, 310}, 600, aspect, 25);
  } else if (name == "steep45") {
    scene->frameSize = cv::Size(1280, 720);
    scene->screenCorners = viewCorners(scene->frameSize, {600, 320}, 560, aspect, 45);
  } else if (name == "far") {  // a sixth of the frame's width, from the back of the hall
    scene->frameSize = cv::Size(1920, 1080);
    scene->screenCorners = viewCorners(scene->frameSize, {1000, 430}, 320, aspect, 10);
  } else {
    return false;
  }
  return true;
}

}  // namespace

std::array<cv::Point2f, 4> viewCorners(cv::Size frame, cv::Point2f centre, float width,
                                       float aspect, double yawDegrees) {
  const double f = frame.width, yaw = yawDegrees * 3.14159265358979323846 / 180;
  const double hw = width / 2.0, hh = width * aspect / 2.0;
  std::array<cv::Point2f, 4> out;
  const double xs[4] = {-hw, hw, hw, -hw}, ys[4] = {-hh, -hh, hh, hh};
  for (int i = 0; i < 4; ++i) {
    const double z = f + xs[i] * std::sin(yaw);
    out[i] = cv::Point2f(float(centre.x + f * xs[i] * std::cos(yaw) / z),
                         float(centre.y + f * ys[i] / z));
  }
  return out;
}

int parseLectureArgs(int argc, char** argv, LectureOptions* o) {
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    auto value = [&]() -> const char* { return i + 1 < argc ? argv[++i] : nullptr; };
    double number = 0;
    const char* v = nullptr;
    bool ok = true;
    if (arg == "--help" || arg == "-h") {
      std::cout << kLectureUsage;
      return 1;
    } else if (arg == "--occluder") {
      o->occluder = true;
    } else if (arg == "--speaker") {
      o->speaker = true;
    } else if (arg == "--revisit") {
      o->revisit = true;
    } else if (arg == "--ink") {
      o->ink = true;
    } else if (arg == "--pointer") {
      o->pointer = true;
    } else if (!kValueOptions.count(arg)) {
      std::cerr << "Unknown option " << arg << "\n" << kLectureUsage;
      return 2;
    } else if (!(v = value())) {
      ok = false;
    } else if (arg == "--scenario") {
      o->scenario = v;
    } else if (arg == "--out") {
      o->out = v;
    } else if (arg == "--codec") {
      o->codec = v;
    } else if (arg == "--deck") {
      o->deck = v;
    } else if (arg == "--room") {
      o->room = v;
      ok = o->room == "plain" || o->room == "hall" || o->room == "blackboard" ||
           o->room == "outdoor";
    } else if (arg == "--fps") {
      ok = parseRate(v, &o->fpsNum, &o->fpsDen);
    } else if (arg == "--noise") {
      ok = parseNumber(v, &o->noise) && o->noise >= 0;
    } else if (arg == "--shake") {
      ok = parseNumber(v, &o->shake) && o->shake >= 0;
    } else if (arg == "--jitter") {
      ok = parseNumber(v, &o->jitter) && o->jitter >= 0;
    } else if (arg == "--drift") {
      ok = parseNumber(v, &o->drift) && o->drift >= 0;
    } else if (arg == "--exposure-drift") {
      ok = parseNumber(v, &o->exposureDrift) && o->exposureDrift >= 0 && o->exposureDrift < 1;
    } else if (arg == "--seconds-per-slide") {
      ok = parseNumber(v, &o->secondsPerSlide) && o->secondsPerSlide > 0;
    } else if (arg == "--slides") {
      ok = parseCount(v, 10000, &o->slides) && o->slides >= 1;
    } else if (arg == "--first-page") {
      ok = parseCount(v, 100000, &o->firstPage);
    } else if (arg == "--omit") {
      ok = parseCount(v, 10000, &o->omit);
    } else if (arg == "--bitrate") {
      ok = parseCount(v, 1000000, &o->bitrateKbps);
    } else if (arg == "--corners") {
      o->corners = v;
    } else if (arg == "--seed") {
      ok = parseNumber(v, &number) && number >= 0 && number == unsigned(number);
      o->seed = unsigned(number);
    }
    if (!ok) {
      std::cerr << "Bad or missing value for " << arg << "\n" << kLectureUsage;
      return 2;
    }
  }
  return 0;
}

bool lectureSceneFor(const LectureOptions& o, LectureScene* scene, std::string* error) {
  int slides = o.slides;
  if (!o.deck.empty()) {
    scene->deckPages = listDeckPages(o.deck);
    if (int(scene->deckPages.size()) <= o.firstPage) {
      *error = "no PNG page " + std::to_string(o.firstPage) + " in deck " + o.deck;
      return false;
    }
    scene->slideSize = deckSlideSize(scene->deckPages);
    slides = std::min(slides, int(scene->deckPages.size()) - o.firstPage);
  }
  if (!sceneFor(o.scenario, scene)) {
    *error = "unknown scenario " + o.scenario;
    return false;
  }
  if (!o.corners.empty() && (o.scenario == "screencast" ||
                             !parseCorners(o.corners, scene->frameSize, &scene->screenCorners))) {
    *error = "bad --corners " + o.corners + " for scenario " + o.scenario;
    return false;
  }
  const bool recording = o.scenario == "screencast";
  scene->noiseSigma = o.noise;
  scene->shakePixels = o.shake;
  scene->jitterPixels = o.jitter;
  scene->driftPixels = o.drift;
  scene->exposureDrift = o.exposureDrift;
  // A screen recording has nobody standing in front of it and no room around it.
  scene->occluder = o.occluder && !recording;
  scene->speaker = o.speaker && !recording;
  if ((o.occluder || o.speaker) && recording)
    std::cerr << "Note: no speaker in a screen recording\n";
  scene->room = recording || o.room == "plain" ? RoomKind::Plain
                : o.room == "hall"             ? RoomKind::Hall
                : o.room == "blackboard"       ? RoomKind::Blackboard
                                               : RoomKind::Outdoor;
  scene->ink = o.ink;
  scene->pointer = o.pointer;
  scene->seed = o.seed;
  scene->fps = double(o.fpsNum) / o.fpsDen;
  const int frames = std::max(1, int(o.secondsPerSlide * scene->fps + 0.5));
  // Real talks linger on some slides and hurry over builds: deck durations vary.
  std::mt19937 rng(o.seed * 2246822519u + 5u);
  auto length = [&]() {
    if (o.deck.empty()) return frames;
    return std::max(1, int(frames * std::uniform_real_distribution<>(0.6, 1.4)(rng) + 0.5));
  };
  // The revisited slide comes back later, never right after itself.
  const int revisitAfter = slides >= 3 ? slides / 2 : -1;
  for (int s = 0; s < slides; ++s) {
    scene->schedule.push_back({o.firstPage + s, length()});
    if (o.revisit && s == revisitAfter)
      scene->schedule.push_back({o.firstPage + revisitAfter / 2, length()});
  }
  return true;
}
