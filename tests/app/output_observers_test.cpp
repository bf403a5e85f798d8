// The results file kept current during the run at a bounded cost, and the pictures of records
// taken into others. A slide picture that cannot be written is the hardening test's.

#include <gtest/gtest.h>

#include "app/output_observers.h"
#include "app/pipeline.h"
#include "scratch.h"

using namespace slidetrack;

namespace {

// Thousands of records must not rewrite the file thousands of times: with a clock that
// stands still only the first record and the end write it.
TEST(ResultsFileObserver, RewritesAtMostOncePerIntervalAndAlwaysAtTheEnd) {
  ScratchDir dir;
  const std::string path = dir / "r.xml";
  std::chrono::steady_clock::time_point now{};
  ResultsFileObserver observer(path, std::chrono::seconds(1), [&now] { return now; });
  Pipeline pipeline(PresentationSettings(), {"v.mp4", std::nullopt, std::nullopt});
  SlideList list;
  auto open = [&](int t) {
    list.slides.push_back(slideRecordMake(t, nullptr, t, t, 0.0));
    observer.frameDone({t, 100, cv::Mat(), list, true, nullptr, pipeline});
  };
  open(0);
  ASSERT_TRUE(fs::exists(path));
  fs::remove(path);
  for (int t = 1; t < 50; ++t) open(t);
  EXPECT_FALSE(fs::exists(path)) << "rewritten within the interval";
  now += std::chrono::milliseconds(1500);
  open(50);
  EXPECT_NE(readFile(path).find("id=\"50\""), std::string::npos);
  list.slides.push_back(slideRecordMake(51, nullptr, 51, 51, 0.0));
  observer.runFinished(list);
  EXPECT_NE(readFile(path).find("id=\"51\""), std::string::npos);
}

// A record joined into another leaves no picture behind, but a file the run did not write
// under that name (a user's, or one it could not replace) is left alone.
TEST(SlidePicturesObserver, RemovesOnlyThePictureItWroteForAJoinedRecord) {
  ScratchDir dir;
  SlidePicturesObserver observer(dir / "p_");
  const SlideRecord into = slideRecordMake(0, (dir / "p_0.jpg").c_str(), 0, 99, 0.0);
  const SlideRecord joined = slideRecordMake(1, (dir / "p_100.jpg").c_str(), 100, 149, 0.0);
  const SlideRecord other = slideRecordMake(2, (dir / "p_150.jpg").c_str(), 150, 199, 0.0);
  const cv::Mat picture(48, 64, CV_8UC3, cv::Scalar(200, 180, 160));
  observer.slideEnded(into, picture);
  observer.slideEnded(joined, picture);
  ASSERT_TRUE(fs::exists(*joined.src));
  observer.recordJoined(joined, into);
  EXPECT_FALSE(fs::exists(*joined.src));
  EXPECT_TRUE(fs::exists(*into.src));
  fs::create_directory(*other.src);
  observer.recordJoined(other, into);
  EXPECT_TRUE(fs::is_directory(*other.src));
  EXPECT_FALSE(observer.failed());
}

}  // namespace
