// Renders synthetic lecture frames: room, projection screen, slide, speaker, shake, noise.

#include "lecture_scene.h"

#include <cmath>
#include <memory>

#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include "camera_motion.h"
#include "overlays.h"
#include "room.h"

namespace {

constexpr int kNoiseMargin = 32;  // noise tiles are this much larger, read at random offsets
constexpr int kNoiseTiles = 3;
constexpr double kPi = 3.14159265358979323846;
constexpr int kFrameWidth = 6;  // screen frame border, pixels

cv::Rect2f screenBox(const LectureScene& scene) {
  float x0 = 1e9f, y0 = 1e9f, x1 = -1e9f, y1 = -1e9f;
  for (const cv::Point2f& c : scene.screenCorners) {
    x0 = std::min(x0, c.x), y0 = std::min(y0, c.y);
    x1 = std::max(x1, c.x), y1 = std::max(y1, c.y);
  }
  return cv::Rect2f(x0, y0, x1 - x0, y1 - y0);
}

// Corners pushed outwards by d pixels along each side's normal.
std::array<cv::Point2f, 4> expandedCorners(const std::array<cv::Point2f, 4>& c, float d) {
  cv::Point2f centre = (c[0] + c[1] + c[2] + c[3]) * 0.25f;
  cv::Point2f p[4], dir[4];
  for (int i = 0; i < 4; ++i) {
    const cv::Point2f a = c[i], b = c[(i + 1) % 4];
    dir[i] = b - a;
    cv::Point2f n(-dir[i].y, dir[i].x);
    n *= 1.f / std::max(1e-6f, float(cv::norm(n)));
    if (n.dot(a - centre) < 0) n = -n;
    p[i] = a + n * d;
  }
  std::array<cv::Point2f, 4> out;
  for (int i = 0; i < 4; ++i) {
    // Corner i joins side i-1 and side i.
    const int j = (i + 3) % 4;
    const float den = dir[j].x * dir[i].y - dir[j].y * dir[i].x;
    cv::Point2f q = c[i];
    if (std::fabs(den) > 1e-6f) {
      const cv::Point2f w = p[i] - p[j];
      const float t = (w.x * dir[i].y - w.y * dir[i].x) / den;
      q = p[j] + dir[j] * t;
    }
    out[i] = q;
  }
  return out;
}

// The screen frame as drawn: the expanded corners on whole pixels.
std::vector<cv::Point> screenFramePolygon(const LectureScene& scene) {
  std::vector<cv::Point> out;
  for (const cv::Point2f& q : expandedCorners(scene.screenCorners, kFrameWidth))
    out.emplace_back(cvRound(q.x), cvRound(q.y));
  return out;
}

cv::Point2f shakeAt(const LectureScene& scene, int frame) { return cameraOffsetAt(scene, frame); }

unsigned mix(unsigned a, unsigned b) { return mixBits(a, b); }

SpeakerPlan planFor(const LectureScene& scene) {
  // Long enough for any clip; a longer plan only adds stops at its end.
  return makeSpeakerPlan(screenBox(scene), 7200, scene.fps, scene.seed);
}

class LectureRenderer {
 public:
  explicit LectureRenderer(const LectureScene& scene) : scene_(scene) {
    drawRoom();
    gain_ = lightingGain(scene_);
    if (scene_.speaker) plan_ = planFor(scene_);
    if (scene_.noiseSigma > 0) {
      cv::RNG rng(mix(scene_.seed, 3));
      for (int i = 0; i < kNoiseTiles; ++i) {
        noise_[i].create(scene_.frameSize.height + kNoiseMargin,
                         scene_.frameSize.width + kNoiseMargin, CV_16SC3);
        rng.fill(noise_[i], cv::RNG::NORMAL, 0, scene_.noiseSigma);
      }
    }
  }

  bool sameSetup(const LectureScene& other) const {
    return other.frameSize == scene_.frameSize && other.slideSize == scene_.slideSize &&
           other.screenCorners == scene_.screenCorners &&
           other.drawScreenFrame == scene_.drawScreenFrame && other.occluder == scene_.occluder &&
           other.noiseSigma == scene_.noiseSigma && other.shakePixels == scene_.shakePixels &&
           other.seed == scene_.seed && other.room == scene_.room && other.fps == scene_.fps &&
           other.deckPages == scene_.deckPages && other.speaker == scene_.speaker &&
           other.jitterPixels == scene_.jitterPixels && other.driftPixels == scene_.driftPixels &&
           other.exposureDrift == scene_.exposureDrift && other.ink == scene_.ink &&
           other.pointer == scene_.pointer;
  }

  void setSchedule(const std::vector<SlideShowing>& schedule) { scene_.schedule = schedule; }

  const cv::Mat& render(int frame) {
    const int slide = scene_.slideAt(frame);
    if (slide != cachedSlide_ || still_.empty()) projectSlide(slide);
    still_.copyTo(out_);
    if (scene_.ink && scene_.projects()) drawInk(out_, scene_, frame);
    if (scene_.pointer) drawPointer(out_, scene_, frame);
    if (scene_.occluder) drawOccluder(out_, frame);
    const cv::Point2f shake = shakeAt(scene_, frame);
    if (shake.x != 0 || shake.y != 0) {
      const cv::Matx23d move(1, 0, shake.x, 0, 1, shake.y);
      cv::warpAffine(out_, shaken_, move, out_.size(), cv::INTER_LINEAR, cv::BORDER_REPLICATE);
      std::swap(out_, shaken_);
    }
    // Drawn after the shake with the moved pose: the truth's pose is the drawn one.
    if (scene_.speaker)
      drawSpeaker(out_, movedPose(speakerPoseAt(plan_, frame), shake), scene_.seed);
    if (scene_.exposureDrift > 0) cv::multiply(out_, exposureGainAt(scene_, frame), out_);
    if (scene_.noiseSigma > 0) {
      const unsigned h = mix(scene_.seed, unsigned(frame) + 101u);
      const cv::Rect window(int(h % kNoiseMargin), int((h >> 8) % kNoiseMargin), out_.cols,
                            out_.rows);
      cv::add(out_, noise_[(h >> 16) % kNoiseTiles](window), out_, cv::noArray(), CV_8U);
    }
    return out_;
  }

 private:
  void drawRoom() {
    const cv::Size size = scene_.frameSize;
    room_.create(size, CV_8UC3);
    if (scene_.room != RoomKind::Plain) {
      drawRoomKind(room_, scene_);
      return;
    }
    // Wall: a soft vertical gradient, lighter at the top.
    for (int y = 0; y < size.height; ++y) {
      const double t = double(y) / std::max(1, size.height - 1);
      room_.row(y).setTo(cv::Scalar(150 - 40 * t, 160 - 40 * t, 170 - 35 * t));
    }
    // Furniture: a desk and a cupboard, moderate contrast and blurred so their edges stay
    // weaker than the screen's.
    const int w = size.width, h = size.height;
    cv::rectangle(room_, cv::Rect(w / 20, h * 55 / 100, w / 7, h * 40 / 100),
                  cv::Scalar(95, 110, 125), cv::FILLED);
    cv::rectangle(room_, cv::Rect(w * 70 / 100, h * 80 / 100, w / 4, h / 12),
                  cv::Scalar(85, 100, 120), cv::FILLED);
    cv::rectangle(room_, cv::Rect(0, h * 92 / 100, w, h - h * 92 / 100), cv::Scalar(90, 95, 100),
                  cv::FILLED);
    cv::GaussianBlur(room_, room_, cv::Size(0, 0), 2.0);
    if (scene_.drawScreenFrame) {
      cv::fillConvexPoly(room_, screenFramePolygon(scene_), cv::Scalar(35, 35, 40), cv::LINE_AA);
    }
  }

  void projectSlide(int slide) {
    cachedSlide_ = slide;
    room_.copyTo(still_);
    if (slide >= 0 && scene_.projects()) projectPicture(slide);
    if (!gain_.empty()) {
      still_.convertTo(lit_, CV_32FC3);
      cv::multiply(lit_, gain_, lit_);
      lit_.convertTo(still_, CV_8UC3);
    }
  }

  void projectPicture(int slide) {
    cv::Mat picture = slidePicture(scene_, slide);
    // A projector is not paper-white; a light blur stands for the lens and the camera.
    picture.convertTo(picture, -1, 0.86, 14);
    cv::GaussianBlur(picture, picture, cv::Size(3, 3), 0);
    // Interpolating the last row and column needs one pixel more; without it they stay
    // unpainted and a screen recording gets a wall-coloured line along two edges.
    cv::copyMakeBorder(picture, picture, 0, 1, 0, 1, cv::BORDER_REPLICATE);
    const cv::Point2f from[4] = {{0, 0},
                                 {float(scene_.slideSize.width), 0},
                                 {float(scene_.slideSize.width), float(scene_.slideSize.height)},
                                 {0, float(scene_.slideSize.height)}};
    const cv::Mat warp = cv::getPerspectiveTransform(from, scene_.screenCorners.data());
    cv::warpPerspective(picture, still_, warp, still_.size(), cv::INTER_LINEAR,
                        cv::BORDER_TRANSPARENT);
  }

  // A dark figure walking to and fro in front of the screen's lower part.
  void drawOccluder(cv::Mat& image, int frame) const {
    const cv::Rect2f box = screenBox(scene_);
    const float unit = std::min(box.width, box.height * 4 / 3);
    const float headRadius = 0.045f * unit;
    const float torsoWidth = 0.18f * unit;
    const float headTop = box.y + box.height * 0.66f;
    // Triangle wave over about 16 s at 25 fps, starting at a seed-dependent place.
    const int period = 400;
    const int t = int((unsigned(frame) + mix(scene_.seed, 5)) % unsigned(period));
    const float phase = t < period / 2 ? float(t) / (period / 2) : 2.f - float(t) / (period / 2);
    const float left = box.x - 0.1f * box.width, right = box.x + 1.1f * box.width;
    const float cx = left + phase * (right - left);
    const cv::Scalar colour(45, 40, 38);
    const cv::Point2f head(cx, headTop + headRadius);
    cv::circle(image, cv::Point(cvRound(head.x * 16), cvRound(head.y * 16)),
               cvRound(headRadius * 16), colour, cv::FILLED, cv::LINE_AA, 4);
    const float torsoTop = headTop + 2.3f * headRadius;
    const cv::Rect torso(cvRound(cx - torsoWidth / 2), cvRound(torsoTop), cvRound(torsoWidth),
                         std::max(1, image.rows - cvRound(torsoTop)));
    const int r = std::max(1, cvRound(torsoWidth * 0.3f));  // rounded shoulders
    cv::rectangle(image, cv::Rect(torso.x, torso.y + r, torso.width, torso.height - r), colour,
                  cv::FILLED);
    cv::rectangle(image, cv::Rect(torso.x + r, torso.y, torso.width - 2 * r, r + 1), colour,
                  cv::FILLED);
    cv::circle(image, cv::Point(torso.x + r, torso.y + r), r, colour, cv::FILLED, cv::LINE_AA);
    cv::circle(image, cv::Point(torso.x + torso.width - r, torso.y + r), r, colour, cv::FILLED,
               cv::LINE_AA);
    cv::line(image, cv::Point(cvRound(cx), cvRound(head.y + headRadius)),
             cv::Point(cvRound(cx), torso.y + 1), colour, std::max(1, cvRound(headRadius * 0.8f)));
  }

  LectureScene scene_;
  cv::Mat room_, still_, out_, shaken_, gain_, lit_;
  SpeakerPlan plan_;
  cv::Mat noise_[kNoiseTiles];
  int cachedSlide_ = -2;
};

// The last renderer is kept so frame-by-frame callers do not rebuild the room and noise.
LectureRenderer& rendererFor(const LectureScene& scene) {
  thread_local std::unique_ptr<LectureRenderer> cached;
  if (!cached || !cached->sameSetup(scene)) cached = std::make_unique<LectureRenderer>(scene);
  cached->setSchedule(scene.schedule);
  return *cached;
}

}  // namespace

int LectureScene::frameCount() const {
  int total = 0;
  for (const SlideShowing& s : schedule) total += std::max(0, s.frames);
  return total;
}

int LectureScene::showingAt(int frame, int* framesIn) const {
  if (frame < 0) return -1;
  for (size_t i = 0; i < schedule.size(); ++i) {
    if (frame < schedule[i].frames) {
      if (framesIn) *framesIn = frame;
      return int(i);
    }
    frame -= std::max(0, schedule[i].frames);
  }
  return -1;
}

cv::Mat slidePicture(const LectureScene& scene, int index) {
  if (scene.deckPages.empty()) return drawSlide(index, scene.slideSize);
  cv::Mat page;
  if (index >= 0 && size_t(index) < scene.deckPages.size())
    page = cv::imread(scene.deckPages[size_t(index)], cv::IMREAD_COLOR);
  if (page.empty()) return cv::Mat(scene.slideSize, CV_8UC3, cv::Scalar::all(255));
  cv::resize(page, page, scene.slideSize, 0, 0, cv::INTER_AREA);
  return page;
}

cv::Matx33d slideToFrame(const LectureScene& scene) {
  const cv::Point2f from[4] = {{0, 0},
                               {float(scene.slideSize.width), 0},
                               {float(scene.slideSize.width), float(scene.slideSize.height)},
                               {0, float(scene.slideSize.height)}};
  return cv::Matx33d(cv::getPerspectiveTransform(from, scene.screenCorners.data()));
}

SpeakerPose scenePoseAt(const LectureScene& scene, int frame) {
  if (!scene.speaker) return SpeakerPose();
  return movedPose(speakerPoseAt(planFor(scene), frame), shakeAt(scene, frame));
}

int LectureScene::slideAt(int frame) const {
  if (frame < 0) return -1;
  for (const SlideShowing& s : schedule) {
    if (frame < s.frames) return s.slide;
    frame -= std::max(0, s.frames);
  }
  return -1;
}

LectureScene screenRecordingScene(cv::Size frameSize) {
  LectureScene scene;
  scene.frameSize = frameSize;
  scene.slideSize = frameSize;
  const float w = float(frameSize.width), h = float(frameSize.height);
  scene.screenCorners = {{{0, 0}, {w, 0}, {w, h}, {0, h}}};
  scene.drawScreenFrame = false;
  return scene;
}

cv::Mat renderLectureFrame(const LectureScene& scene, int frame) {
  return rendererFor(scene).render(frame).clone();
}

std::array<cv::Point2f, 4> sceneCornersAt(const LectureScene& scene, int frame) {
  const cv::Point2f shake = shakeAt(scene, frame);
  std::array<cv::Point2f, 4> corners = scene.screenCorners;
  for (cv::Point2f& c : corners) c += shake;
  return corners;
}

std::array<cv::Point2f, 4> sceneFrameCornersAt(const LectureScene& scene, int frame) {
  const cv::Point2f shake = shakeAt(scene, frame);
  if (scene.room == RoomKind::Hall) {
    std::array<cv::Point2f, 4> corners = hallBorderCorners(scene);
    for (cv::Point2f& c : corners) c += shake;
    return corners;
  }
  if (!scene.drawScreenFrame) return sceneCornersAt(scene, frame);
  std::array<cv::Point2f, 4> corners;
  const std::vector<cv::Point> drawn = screenFramePolygon(scene);
  for (int i = 0; i < 4; ++i) corners[i] = cv::Point2f(drawn[i]) + shake;
  return corners;
}

bool writeLectureClip(const LectureScene& scene, const std::string& path, ClipOptions options,
                      std::string* error) {
  options.width = scene.frameSize.width;
  options.height = scene.frameSize.height;
  LectureRenderer renderer(scene);
  ClipWriter writer;
  bool ok = writer.open(path, options);
  const int count = scene.frameCount();
  for (int i = 0; ok && i < count; ++i) ok = writer.write(renderer.render(i));
  ok = writer.close() && ok;
  if (!ok && error) *error = writer.error();
  return ok;
}
