#pragma once
// The benches' generated lecture clips: made once, then reused from the bench directory.

#include <cstdio>
#include <filesystem>
#include <string>

#include "lecture_scene.h"

// Writes the scene as a 1280x720 H.264 clip unless the file is there already; an empty
// path when it cannot be written.
inline std::filesystem::path benchClipMake(const LectureScene& scene,
                                           const std::filesystem::path& clip, int seconds) {
  if (std::filesystem::exists(clip)) return clip;
  std::printf("Making a %d s 1280x720 H.264 lecture clip...\n", seconds);
  ClipOptions options;
  options.width = 1280;
  options.height = 720;
  std::string error;
  if (!writeLectureClip(scene, clip.string(), options, &error)) {
    std::fprintf(stderr, "error: %s\n", error.c_str());
    return {};
  }
  return clip;
}
