#pragma once
// Slide records and slide lists: the results of a run, and the originals given with "-s".

#include <deque>
#include <memory>
#include <optional>
#include <string>

namespace slidetrack {

// One slide interval. A path is std::nullopt when the record has none; an empty text
// is a path too (pictures then go to the working directory under their bare names).
struct SlideRecord {
  int id = 0;
  int start = 0;
  int end = 0;  // inclusive; equal to start while the record is open
  std::optional<std::string> src;
  double confidence = 0.0;
  // The matched original: a record of another list, or of this list's matchRecords.
  // Not owned.
  const SlideRecord* match = nullptr;
};

// std::deque never moves its elements on push_back, so references to records (the run's
// open record, another record's match) stay valid while more are appended.
struct SlideList {
  std::deque<SlideRecord> slides;
  std::optional<std::string> videoSrc;
  std::optional<std::string> originalsSrc;
  std::deque<SlideRecord> matchRecords;
};

// nullptr for a path means "not given".
std::unique_ptr<SlideList> slideListCreate(const char* videoPath, const char* originalsPath);
void slideListRelease(std::unique_ptr<SlideList>& list);

SlideRecord slideRecordMake(int id, const char* path, int start, int end, double confidence);

// Joins two texts. Both missing: std::nullopt; one missing: the other one.
std::optional<std::string> concatStrings(const std::optional<std::string>& first,
                                         const std::optional<std::string>& second);

}  // namespace slidetrack
