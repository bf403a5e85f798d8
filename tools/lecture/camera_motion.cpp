// Camera shake, jitter, drift and exposure as smooth functions of the frame index.

#include "camera_motion.h"

#include <cmath>

namespace {

constexpr double kPi = 3.14159265358979323846;

double phaseOf(unsigned seed, unsigned salt) {
  return (mixBits(seed, salt) % 1000) / 1000.0 * 2 * kPi;
}

// A value in [-1, 1] for each key k, from the hash.
double keyValue(unsigned seed, unsigned salt, long k) {
  return (mixBits(mixBits(seed, salt), unsigned(k)) % 20001) / 10000.0 - 1.0;
}

// Value noise: random keys every `spacing` frames, eased in between. Stays within [-1, 1].
double valueNoise(unsigned seed, unsigned salt, int frame, int spacing) {
  const long k = frame / spacing;
  const double u = double(frame % spacing) / spacing;
  const double ease = (1 - std::cos(kPi * u)) / 2;
  return keyValue(seed, salt, k) * (1 - ease) + keyValue(seed, salt, k + 1) * ease;
}

}  // namespace

unsigned mixBits(unsigned a, unsigned b) {
  unsigned h = a * 0x9E3779B1u ^ (b + 0x7F4A7C15u + (a << 6) + (a >> 2));
  h ^= h >> 15;
  h *= 0x2C1B3C6Du;
  h ^= h >> 12;
  return h;
}

cv::Point2f cameraOffsetAt(const LectureScene& scene, int frame) {
  double x = 0, y = 0;
  if (scene.shakePixels > 0) {
    // Two slow sinusoids per axis, phases from the seed: smooth, never repeating quickly.
    const double p1 = phaseOf(scene.seed, 11), p2 = phaseOf(scene.seed, 12);
    const double t = frame;
    x += scene.shakePixels *
         (0.7 * std::sin(2 * kPi * t / 47 + p1) + 0.3 * std::sin(2 * kPi * t / 13 + p2));
    y += scene.shakePixels *
         (0.6 * std::sin(2 * kPi * t / 61 + p2) + 0.4 * std::sin(2 * kPi * t / 17 + p1));
  }
  if (scene.jitterPixels > 0) {
    // Hand-held or a loose tripod: a new random place every couple of frames.
    x += scene.jitterPixels * valueNoise(scene.seed, 21, frame, 2);
    y += scene.jitterPixels * valueNoise(scene.seed, 22, frame, 2);
  }
  if (scene.driftPixels > 0) {
    const double t = frame / scene.fps;
    x += scene.driftPixels * std::sin(2 * kPi * t / 83 + phaseOf(scene.seed, 23));
    y += 0.6 * scene.driftPixels * std::sin(2 * kPi * t / 127 + phaseOf(scene.seed, 24));
  }
  return cv::Point2f(float(x), float(y));
}

cv::Scalar exposureGainAt(const LectureScene& scene, int frame) {
  if (scene.exposureDrift <= 0) return cv::Scalar::all(1);
  const double t = frame / scene.fps;
  // Exposure over about a minute, white balance a little faster; weights sum to one.
  const double common = 0.6 * std::sin(2 * kPi * t / 61 + phaseOf(scene.seed, 31)) +
                        0.4 * std::sin(2 * kPi * t / 23 + phaseOf(scene.seed, 32));
  cv::Scalar gain;
  for (int c = 0; c < 3; ++c) {
    // The channels a third of a turn apart, so the colour balance does shift.
    const double balance = std::sin(2 * kPi * t / 47 + phaseOf(scene.seed, 33) + c * 2 * kPi / 3);
    gain[c] = 1 + scene.exposureDrift * (0.75 * common + 0.25 * balance);
  }
  return gain;
}
