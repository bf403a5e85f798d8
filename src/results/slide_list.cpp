#include "results/slide_list.h"

namespace slidetrack {

namespace {

std::optional<std::string> copyPath(const char* path) {
  if (!path) return std::nullopt;
  return std::string(path);
}

}  // namespace

std::unique_ptr<SlideList> slideListCreate(const char* videoPath, const char* originalsPath) {
  auto list = std::make_unique<SlideList>();
  list->videoSrc = copyPath(videoPath);
  list->originalsSrc = copyPath(originalsPath);
  return list;
}

void slideListRelease(std::unique_ptr<SlideList>& list) { list.reset(); }

SlideRecord slideRecordMake(int id, const char* path, int start, int end, double confidence) {
  SlideRecord record;
  record.id = id;
  record.start = start;
  record.end = end;
  record.src = copyPath(path);
  record.confidence = confidence;
  return record;
}

std::optional<std::string> concatStrings(const std::optional<std::string>& first,
                                         const std::optional<std::string>& second) {
  if (!first) return second;
  if (!second) return first;
  return *first + *second;
}

}  // namespace slidetrack
