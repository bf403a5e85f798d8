// The results file kept current during the run at a bounded cost. A slide picture that
// cannot be written is the hardening test's.

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

}  // namespace
