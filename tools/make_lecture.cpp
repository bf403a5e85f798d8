// slidetrack-make-lecture: writes a synthetic lecture video, its original slide images, an
// originals file for "-s" and the per-frame ground truth.

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iomanip>
#include <iostream>
#include <random>
#include <set>
#include <string>

#include <opencv2/imgcodecs.hpp>

#include "lecture_options.h"
#include "lecture_scene.h"

namespace fs = std::filesystem;

namespace {

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

// The shown slides left out of the originals, never the first one shown.
std::set<int> omittedSlides(const LectureScene& scene, int count, unsigned seed) {
  std::vector<int> shown;
  for (const SlideShowing& s : scene.schedule)
    if (s.slide != scene.schedule.front().slide &&
        std::find(shown.begin(), shown.end(), s.slide) == shown.end())
      shown.push_back(s.slide);
  std::shuffle(shown.begin(), shown.end(), std::mt19937(seed * 1103515245u + 12345u));
  shown.resize(std::min<size_t>(shown.size(), size_t(std::max(0, count))));
  return std::set<int>(shown.begin(), shown.end());
}

bool writeOriginals(const fs::path& dir, const LectureScene& scene, const std::set<int>& omitted,
                    size_t* listed) {
  // Every shown slide's picture is kept (the evaluator compares against it); the omitted
  // ones are not listed.
  std::set<int> used;
  for (const SlideShowing& s : scene.schedule) used.insert(s.slide);
  std::ofstream originals(dir / "originals.xml");
  originals << "<?xml version=\"1.0\"?>\n<data>\n  <sources/>\n  <slides>\n";
  *listed = 0;
  for (int index : used) {
    const fs::path picture = dir / "slides" / ("slide_" + std::to_string(index) + ".png");
    if (!cv::imwrite(picture.string(), slidePicture(scene, index))) {
      std::cerr << "Cannot write " << picture << "\n";
      return false;
    }
    if (omitted.count(index)) continue;
    ++*listed;
    originals << "    <slide id=\"" << index << "\" src=\"" << xmlEscape(picture.string())
              << "\"/>\n";
  }
  originals << "  </slides>\n</data>\n";
  originals.close();
  if (!originals)
    std::cerr << "Cannot write " << dir / "originals.xml"
              << "\n";
  return bool(originals);
}

// The slide shown and the true screen corners of every frame, the outer corners of the
// dark screen border (the projected area's without one), whether the slide is among the
// originals, and the speaker's pose. Without a projection: slide -1 and zero corners.
bool writeTruth(const fs::path& path, const LectureScene& scene, const std::set<int>& omitted) {
  std::ofstream truth(path);
  truth << "frame,slide,tl_x,tl_y,tr_x,tr_y,br_x,br_y,bl_x,bl_y,"
           "frame_tl_x,frame_tl_y,frame_tr_x,frame_tr_y,frame_br_x,frame_br_y,frame_bl_x,"
           "frame_bl_y,in_originals,speaker,speaker_x,speaker_foot_y,speaker_height,speaker_arm,"
           "speaker_stride\n";
  truth << std::fixed;
  const bool projects = scene.projects();
  for (int f = 0; f < scene.frameCount(); ++f) {
    const int slide = projects ? scene.slideAt(f) : -1;
    truth << f << ',' << slide << std::setprecision(3);
    for (const cv::Point2f& c : sceneCornersAt(scene, f))
      truth << ',' << (projects ? c.x : 0.f) << ',' << (projects ? c.y : 0.f);
    for (const cv::Point2f& c : sceneFrameCornersAt(scene, f))
      truth << ',' << (projects ? c.x : 0.f) << ',' << (projects ? c.y : 0.f);
    const SpeakerPose p = scenePoseAt(scene, f);
    truth << ',' << (slide >= 0 && !omitted.count(slide) ? 1 : 0) << ',' << (p.present ? 1 : 0)
          << std::setprecision(2) << ',' << p.x << ',' << p.footY << ',' << p.height << ',' << p.arm
          << ',' << p.stride << '\n';
  }
  truth.close();
  if (!truth) std::cerr << "Cannot write " << path << "\n";
  return bool(truth);
}

}  // namespace

int main(int argc, char** argv) {
  LectureOptions o;
  if (int status = parseLectureArgs(argc, argv, &o)) return status == 1 ? 0 : status;
  LectureScene scene;
  std::string error;
  if (!lectureSceneFor(o, &scene, &error)) {
    std::cerr << error << "\n" << kLectureUsage;
    return 2;
  }

  std::error_code ec;
  fs::create_directories(fs::path(o.out) / "slides", ec);
  if (ec) {
    std::cerr << "Cannot create " << o.out << ": " << ec.message() << "\n";
    return 1;
  }
  const fs::path dir = fs::absolute(o.out);
  const std::set<int> omitted = omittedSlides(scene, o.omit, o.seed);
  size_t listed = 0;
  if (!writeOriginals(dir, scene, omitted, &listed) ||
      !writeTruth(dir / "truth.csv", scene, omitted))
    return 1;

  ClipOptions clip;
  clip.codec = o.codec;
  clip.fpsNum = o.fpsNum;
  clip.fpsDen = o.fpsDen;
  clip.bitrateKbps = o.bitrateKbps;
  const std::string extension = o.codec == "libx264" ? ".mp4" : ".avi";
  const fs::path video = dir / ("lecture" + extension);
  if (!writeLectureClip(scene, video.string(), clip, &error)) {
    std::cerr << "Cannot write " << video << ": " << error << "\n";
    return 1;
  }
  std::cout << "Wrote " << video.string() << " (" << scene.frameCount() << " frames, "
            << scene.frameSize.width << "x" << scene.frameSize.height << ", " << o.fpsNum << "/"
            << o.fpsDen << " fps), " << listed << " originals in "
            << (dir / "originals.xml").string() << ", ground truth in "
            << (dir / "truth.csv").string() << "\n";
  return 0;
}
