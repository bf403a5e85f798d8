// slidetrack-make-lecture: writes a synthetic lecture video, its original slide images, an
// originals file for "-s" and the per-frame ground truth.

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <set>
#include <sstream>
#include <string>

#include <opencv2/imgcodecs.hpp>

#include "lecture_scene.h"

namespace fs = std::filesystem;

namespace {

struct Options {
  std::string scenario = "moderate";
  std::string out = "lecture";
  std::string codec = "libx264";
  double noise = 0;
  double shake = 0;
  bool occluder = false;
  bool revisit = false;
  int slides = 12;
  double secondsPerSlide = 4;
  int fpsNum = 25, fpsDen = 1;
  unsigned seed = 1;
  std::string corners;  // overrides the scenario's screen corners when given
};

const char kUsage[] =
    "Usage: slidetrack-make-lecture [options]\n"
    "  --scenario NAME         moderate | steep | screencast | far1080 (default moderate)\n"
    "  --out DIR               output directory (default lecture)\n"
    "  --slides N              number of distinct slides (default 12)\n"
    "  --seconds-per-slide S   time each slide stays up (default 4)\n"
    "  --fps RATE              25, 30000/1001, ... (default 25)\n"
    "  --noise SIGMA           Gaussian sensor noise in grey levels (default 0)\n"
    "  --shake PX              camera shake amplitude in pixels (default 0)\n"
    "  --occluder              a speaker walks in front of the screen\n"
    "  --revisit               an earlier slide is shown again later\n"
    "  --codec NAME            libx264 | mpeg4 | mjpeg (default libx264)\n"
    "  --seed N                seed of noise, shake and speaker (default 1)\n"
    "  --corners X,Y,X,Y,X,Y,X,Y  projected area corners TL, TR, BR, BL in frame pixels\n"
    "                          (camera scenarios only; default: the scenario's)\n";

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

const std::set<std::string> kValueOptions = {
    "--scenario",          "--out",    "--codec", "--fps",    "--noise", "--shake",
    "--seconds-per-slide", "--slides", "--seed",  "--corners"};

// Returns 0 to go on, otherwise the exit status.
int parseArgs(int argc, char** argv, Options* o) {
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    auto value = [&]() -> const char* { return i + 1 < argc ? argv[++i] : nullptr; };
    double number = 0;
    const char* v = nullptr;
    bool ok = true;
    if (arg == "--help" || arg == "-h") {
      std::cout << kUsage;
      return 1;
    } else if (arg == "--occluder") {
      o->occluder = true;
    } else if (arg == "--revisit") {
      o->revisit = true;
    } else if (!kValueOptions.count(arg)) {
      std::cerr << "Unknown option " << arg << "\n" << kUsage;
      return 2;
    } else if (!(v = value())) {
      ok = false;
    } else if (arg == "--scenario") {
      o->scenario = v;
    } else if (arg == "--out") {
      o->out = v;
    } else if (arg == "--codec") {
      o->codec = v;
    } else if (arg == "--fps") {
      ok = parseRate(v, &o->fpsNum, &o->fpsDen);
    } else if (arg == "--noise") {
      ok = parseNumber(v, &o->noise) && o->noise >= 0;
    } else if (arg == "--shake") {
      ok = parseNumber(v, &o->shake) && o->shake >= 0;
    } else if (arg == "--seconds-per-slide") {
      ok = parseNumber(v, &o->secondsPerSlide) && o->secondsPerSlide > 0;
    } else if (arg == "--slides") {
      ok = parseNumber(v, &number) && number >= 1 && number <= 10000 && number == int(number);
      o->slides = int(number);
    } else if (arg == "--corners") {
      o->corners = v;
    } else if (arg == "--seed") {
      ok = parseNumber(v, &number) && number >= 0 && number == unsigned(number);
      o->seed = unsigned(number);
    }
    if (!ok) {
      std::cerr << "Bad or missing value for " << arg << "\n" << kUsage;
      return 2;
    }
  }
  return 0;
}

bool sceneFor(const std::string& name, LectureScene* scene) {
  if (name == "moderate") {
    scene->frameSize = cv::Size(1280, 720);
    scene->screenCorners = {{{300, 130}, {950, 150}, {940, 610}, {310, 630}}};
  } else if (name == "steep") {
    // Seen from the left: the far edge is much shorter than the near one.
    scene->frameSize = cv::Size(1280, 720);
    scene->screenCorners = {{{260, 90}, {900, 200}, {905, 560}, {255, 665}}};
  } else if (name == "screencast") {
    *scene = screenRecordingScene(cv::Size(1280, 720));
  } else if (name == "far1080") {
    scene->frameSize = cv::Size(1920, 1080);
    scene->screenCorners = {{{700, 300}, {1340, 312}, {1336, 790}, {704, 782}}};
  } else {
    return false;
  }
  return true;
}

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

std::string xmlEscape(const std::string& text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      case '\'':
        out += "&apos;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  Options o;
  if (int status = parseArgs(argc, argv, &o)) return status == 1 ? 0 : status;
  LectureScene scene;
  if (!sceneFor(o.scenario, &scene)) {
    std::cerr << "Unknown scenario " << o.scenario << "\n" << kUsage;
    return 2;
  }
  if (!o.corners.empty() && (o.scenario == "screencast" ||
                             !parseCorners(o.corners, scene.frameSize, &scene.screenCorners))) {
    std::cerr << "Bad --corners " << o.corners << " for scenario " << o.scenario << "\n" << kUsage;
    return 2;
  }
  scene.noiseSigma = o.noise;
  scene.shakePixels = o.shake;
  // A screen recording has nobody standing in front of it.
  scene.occluder = o.occluder && o.scenario != "screencast";
  if (o.occluder && !scene.occluder) std::cerr << "Note: no speaker in a screen recording\n";
  scene.seed = o.seed;
  const int frames = std::max(1, int(o.secondsPerSlide * o.fpsNum / o.fpsDen + 0.5));
  // The revisited slide comes back later, never right after itself.
  const int revisitAfter = o.slides >= 3 ? o.slides / 2 : -1;
  for (int s = 0; s < o.slides; ++s) {
    scene.schedule.push_back({s, frames});
    if (o.revisit && s == revisitAfter) scene.schedule.push_back({revisitAfter / 2, frames});
  }

  std::error_code ec;
  fs::create_directories(fs::path(o.out) / "slides", ec);
  if (ec) {
    std::cerr << "Cannot create " << o.out << ": " << ec.message() << "\n";
    return 1;
  }
  const fs::path dir = fs::absolute(o.out);

  // Originals: one picture per distinct slide, listed in index order.
  std::set<int> used;
  for (const SlideShowing& s : scene.schedule) used.insert(s.slide);
  std::ofstream originals(dir / "originals.xml");
  originals << "<?xml version=\"1.0\"?>\n<data>\n  <sources/>\n  <slides>\n";
  for (int index : used) {
    const fs::path picture = dir / "slides" / ("slide_" + std::to_string(index) + ".png");
    if (!cv::imwrite(picture.string(), drawSlide(index, scene.slideSize))) {
      std::cerr << "Cannot write " << picture << "\n";
      return 1;
    }
    originals << "    <slide id=\"" << index << "\" src=\"" << xmlEscape(picture.string())
              << "\"/>\n";
  }
  originals << "  </slides>\n</data>\n";
  originals.close();
  if (!originals) {
    std::cerr << "Cannot write " << dir / "originals.xml"
              << "\n";
    return 1;
  }

  // Ground truth: the slide shown and the true screen corners of every frame, then the
  // outer corners of the dark screen frame (the projected area's without one).
  std::ofstream truth(dir / "truth.csv");
  truth << "frame,slide,tl_x,tl_y,tr_x,tr_y,br_x,br_y,bl_x,bl_y,"
           "frame_tl_x,frame_tl_y,frame_tr_x,frame_tr_y,frame_br_x,frame_br_y,frame_bl_x,"
           "frame_bl_y\n";
  for (int f = 0; f < scene.frameCount(); ++f) {
    truth << f << ',' << scene.slideAt(f);
    for (const cv::Point2f& c : sceneCornersAt(scene, f)) truth << ',' << c.x << ',' << c.y;
    for (const cv::Point2f& c : sceneFrameCornersAt(scene, f)) truth << ',' << c.x << ',' << c.y;
    truth << '\n';
  }
  truth.close();
  if (!truth) {
    std::cerr << "Cannot write " << dir / "truth.csv"
              << "\n";
    return 1;
  }

  ClipOptions clip;
  clip.codec = o.codec;
  clip.fpsNum = o.fpsNum;
  clip.fpsDen = o.fpsDen;
  const std::string extension = o.codec == "libx264" ? ".mp4" : ".avi";
  const fs::path video = dir / ("lecture" + extension);
  std::string error;
  if (!writeLectureClip(scene, video.string(), clip, &error)) {
    std::cerr << "Cannot write " << video << ": " << error << "\n";
    return 1;
  }
  std::cout << "Wrote " << video.string() << " (" << scene.frameCount() << " frames, "
            << scene.frameSize.width << "x" << scene.frameSize.height << ", " << o.fpsNum << "/"
            << o.fpsDen << " fps), " << used.size() << " originals in "
            << (dir / "originals.xml").string() << ", ground truth in "
            << (dir / "truth.csv").string() << "\n";
  return 0;
}
