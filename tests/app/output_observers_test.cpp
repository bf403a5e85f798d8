// The results file kept current during the run at a bounded cost, and slide pictures that
// cannot be written.

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
  const cv::Mat screen;
  auto open = [&](int t) {
    list.slides.push_back(slideRecordMake(t, nullptr, t, t, 0.0));
    observer.frameDone({t, 100, screen, list, true, nullptr, pipeline});
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

TEST(SlidePicturesObserver, APictureThatCannotBeWrittenIsRemembered) {
  ScratchDir dir;
  SlidePicturesObserver observer(dir / "");
  const cv::Mat picture(48, 64, CV_8UC3, cv::Scalar(10, 200, 30));
  observer.slideEnded(slideRecordMake(0, (dir / "a.jpg").c_str(), 0, 9, 0.0), picture);
  EXPECT_FALSE(observer.failed());
  fs::create_directory(dir / "b.jpg");
  testing::internal::CaptureStderr();
  observer.slideEnded(slideRecordMake(1, (dir / "b.jpg").c_str(), 10, 19, 0.0), picture);
  const std::string warned = testing::internal::GetCapturedStderr();
  EXPECT_TRUE(observer.failed());
  EXPECT_NE(warned.find("Warning: Cannot save the slide picture '" + dir / "b.jpg" + "'"),
            std::string::npos)
      << warned;
}

}  // namespace
