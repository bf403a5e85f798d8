// Two records in a row that show the same original are one slide, when the originals are
// given and the matcher is sure of both; a build and a slide left out of the originals stay
// apart.

#include <gtest/gtest.h>

#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include "app/record_join.h"
#include "matching/matcher_options.h"
#include "results/results_xml.h"
#include "run_harness.h"

using namespace slidetrack;

namespace {

const cv::Size kSlide(1024, 768);
// Most of the last bullet line of drawSlide(2).
const cv::Rect kLastLine(230, 370, 540, 52);

cv::Mat fullSlide() { return drawSlide(2, kSlide); }

// The slide with that line hidden by something in its own background colour: what a
// speaker's arm in a shirt of the slide's grey leaves of it.
cv::Mat coveredSlide() {
  cv::Mat slide = fullSlide();
  slide(kLastLine).setTo(slide.at<cv::Vec3b>(kSlide.height - 4, 4));
  return slide;
}

// The slide with a table in coloured columns where it had none: another slide, drawn like it.
cv::Mat tableSlide() {
  cv::Mat slide = fullSlide();
  for (int c = 0; c < 4; ++c) {
    const int x = c < 2 ? 10 + 70 * c : 740 + 70 * c;
    cv::rectangle(slide, {x, 450, 50, 300},
                  c % 2 ? cv::Scalar(60, 60, 230) : cv::Scalar(230, 70, 60), cv::FILLED);
    for (int r = 0; r < 5; ++r)
      cv::putText(slide, std::to_string((r * 7 + c * 3) % 10), {x + 10, 490 + 55 * r},
                  cv::FONT_HERSHEY_SIMPLEX, 1.1, cv::Scalar(30, 30, 30), 2);
  }
  return slide;
}

// A slide of the same deck that says something else in its last two lines.
cv::Mat siblingSlide() {
  cv::Mat slide = fullSlide();
  slide(kLastLine - cv::Point(0, 60) + cv::Size(0, 60))
      .setTo(slide.at<cv::Vec3b>(kSlide.height - 4, 4));
  for (const auto& [text, y] : {std::pair{"another claim here", 355}, {"and its proof", 410}})
    cv::putText(slide, text, {260, y}, cv::FONT_HERSHEY_SIMPLEX, 1.2, cv::Scalar(30, 30, 30), 2,
                cv::LINE_AA);
  return slide;
}

// The id of the original the record names, -1 for none.
int matchOf(const SlideRecord& r) { return r.match ? r.match->id : -1; }

// The grey spread over that line in a picture file: text there, or none.
double lineSpread(const fs::path& file) {
  cv::Mat grey;
  cv::resize(cv::imread(file.string(), cv::IMREAD_GRAYSCALE), grey, kSlide, 0, 0, cv::INTER_AREA);
  cv::Scalar mean, deviation;
  cv::meanStdDev(grey(kLastLine), mean, deviation);
  return deviation[0];
}

// Two originals the records may name, and two records in a row that both name the first.
class RecordJoinRule : public ::testing::Test {
 protected:
  void SetUp() override {
    a.id = 3, b.id = 4;
    earlier.match = later.match = &a;
  }
  SlideRecord a, b;
  SlideRecord earlier = slideRecordMake(0, nullptr, 100, 199, 0.3);
  SlideRecord later = slideRecordMake(1, nullptr, 200, 299, 0.2);
};

// Only what the matcher is sure of is joined.
TEST_F(RecordJoinRule, BothIntervalsMustHaveDecidedTheSameOriginalClearlyAndInOrder) {
  const SlideRecord* none = nullptr;
  const EndedMatch sure{&a, &a, 0.6}, earlierSure{&a, &b, 0.5};
  EXPECT_TRUE(recordsShowOneSlide(earlier, earlierSure, later, sure, 0.4));
  // The earlier record's match was kept only from its frames, or is not as clear.
  EXPECT_FALSE(recordsShowOneSlide(earlier, {none, &b, 0.0}, later, sure, 0.4));
  EXPECT_FALSE(recordsShowOneSlide(earlier, {&a, &b, 0.3}, later, sure, 0.4));
  // The later one's whole evidence did not decide it (the picture check took it back), was not
  // as clear, or reached it by a jump.
  EXPECT_FALSE(recordsShowOneSlide(earlier, earlierSure, later, {none, &a, 0.0}, 0.4));
  EXPECT_FALSE(recordsShowOneSlide(earlier, earlierSure, later, {&a, &a, 0.35}, 0.4));
  EXPECT_FALSE(recordsShowOneSlide(earlier, earlierSure, later, {&a, &b, 0.6}, 0.4));
  // A short later record half behind the speaker decides its original less clearly: the run's
  // join margin is that of any match, not that of a jump.
  EXPECT_TRUE(recordsShowOneSlide(earlier, earlierSure, later, {&a, &a, 0.35},
                                  MatcherOptions().matchJoinMargin));
  EXPECT_FALSE(recordsShowOneSlide(earlier, earlierSure, later, {&a, &a, 0.15},
                                   MatcherOptions().matchJoinMargin));
  // Another original, a match withdrawn, records not in a row.
  later.match = &b;
  EXPECT_FALSE(recordsShowOneSlide(earlier, earlierSure, later, {&b, &b, 0.6}, 0.4));
  later.match = &a;
  earlier.match = nullptr;
  EXPECT_FALSE(recordsShowOneSlide(earlier, earlierSure, later, sure, 0.4));
  earlier.match = &a;
  earlier.end = 174;
  EXPECT_FALSE(recordsShowOneSlide(earlier, earlierSure, later, sure, 0.4));
}

// Where only the picture check kept the later interval from deciding the earlier's original, the
// two are candidates to join, for their pictures to tell; any other doubt keeps them apart.
TEST_F(RecordJoinRule, ALaterRecordThePictureCheckAloneRefusedIsACandidate) {
  const EndedMatch sure{&a, &b, 0.6}, refused{nullptr, &a, 0.8, &a, true};
  EXPECT_TRUE(recordsShowOneSlideUnlessPictures(earlier, sure, later, refused, 0.4));
  EXPECT_FALSE(recordsShowOneSlide(earlier, sure, later, refused, 0.4));
  // Refused for its evidence, not its pictures; not as clear; reached by a jump; leaning
  // elsewhere; decided, which is the ordinary join's.
  for (const EndedMatch& doubt :
       {EndedMatch{nullptr, &a, 0.8, &a, false}, EndedMatch{nullptr, &a, 0.3, &a, true},
        EndedMatch{nullptr, &b, 0.8, &a, true}, EndedMatch{nullptr, &a, 0.8, &b, true},
        EndedMatch{&a, &a, 0.8, &a}})
    EXPECT_FALSE(recordsShowOneSlideUnlessPictures(earlier, sure, later, doubt, 0.4));
  // An earlier one not sure joins nothing.
  EXPECT_FALSE(recordsShowOneSlideUnlessPictures(earlier, {nullptr, &b, 0.6, &a, true}, later,
                                                 refused, 0.4));
  // Its frames left it no match (the check refused from its first frame), or another; records
  // not in a row.
  later.match = nullptr;
  EXPECT_TRUE(recordsShowOneSlideUnlessPictures(earlier, sure, later, refused, 0.4));
  later.match = &b;
  EXPECT_FALSE(recordsShowOneSlideUnlessPictures(earlier, sure, later, refused, 0.4));
  later.match = &a;
  later.start = 201;
  EXPECT_FALSE(recordsShowOneSlideUnlessPictures(earlier, sure, later, refused, 0.4));
}

// A short unmatched record between two of one original, its frames leaning to that original,
// was the speaker passing; a longer one, one leaning elsewhere, or one with a match stays.
TEST_F(RecordJoinRule, AShortRecordBetweenTwoOfOneOriginalIsTakenIn) {
  SlideRecord between = slideRecordMake(1, nullptr, 200, 249, 0.0);
  later = slideRecordMake(2, nullptr, 250, 399, 0.4);
  later.match = &a;
  const EndedMatch sure{&a, &a, 0.6}, leaning{nullptr, &a, 0.2, &a};
  const auto around = [&](const EndedMatch& middle, const EndedMatch& last, int longest = 50) {
    return recordsAroundShowOneSlide(earlier, sure, between, middle, later, last, 0.4, longest);
  };
  EXPECT_TRUE(around(leaning, sure));
  EXPECT_FALSE(around(leaning, sure, 49)) << "longer than allowed";
  EXPECT_FALSE(around({nullptr, &a, 0.2, &b}, sure)) << "leaned to another original";
  EXPECT_FALSE(around({&a, &a, 0.5, &a}, sure)) << "its own evidence decided";
  EXPECT_FALSE(around(leaning, {&a, &a, 0.3, &a})) << "the later record not sure";
  between.match = &b;
  EXPECT_FALSE(around(leaning, sure)) << "matched to another original";
  between.match = nullptr;
  between.start = 201;
  EXPECT_FALSE(around(leaning, sure)) << "not in a row";
}

class RecordJoinTest : public RunTest {
 protected:
  // Shows the pages one after the other, 100 and 200 frames, or as schedule says.
  void writeTalk(const cv::Mat& first, const cv::Mat& second,
                 std::vector<std::pair<int, int>> schedule = {{0, 100}, {1, 200}}) {
    LectureScene scene;  // a 640 x 480 screen in a 1280 x 720 view
    corners_ = cornersOf(scene);
    for (const cv::Mat* page : {&first, &second}) {
      scene.deckPages.push_back(
          (dir_ / ("page" + std::to_string(scene.deckPages.size()) + ".png")).string());
      ASSERT_TRUE(cv::imwrite(scene.deckPages.back(), *page));
    }
    for (const auto& [page, frames] : schedule) scene.schedule.push_back({page, frames});
    scene.noiseSigma = 2;
    ASSERT_NO_FATAL_FAILURE(writeSceneClip(scene, dir_ / "talk.mp4"));
  }
  // The originals: the given pages and two slides of other layouts.
  void writeOriginals(std::vector<cv::Mat> pages) {
    pages.insert(pages.end(), {drawSlide(0, kSlide), drawSlide(1, kSlide)});
    ::writeOriginals(dir_, pages);
  }
  // A headless run with the screen's corners and the keys as given, saving its pictures to
  // pictures (none when empty); its records, none when they cannot be read.
  SlideList run(int joinSame, const std::string& pictures, float unexplained = 0.12f,
                int joinContent = 1, int joinRefused = 1) {
    writeConfig(dir_ / "talk.cfg.xml", corners_, 25, 10,
                {{"matchUnexplained", unexplained},
                 {"matchJoinSame", joinSame},
                 {"matchJoinContent", joinContent},
                 {"matchJoinRefused", joinRefused}});
    std::vector<std::string> args = {
        "-i", "talk.mp4", "-c", "talk.cfg.xml", "-s", "originals.xml", "-o", "talk.xml", "-hide"};
    if (!pictures.empty()) args.insert(args.end(), {"-p", pictures});
    result_ = runSlidetrack(dir_, args, kBounded);
    EXPECT_EQ(result_.status, 0) << result_.err;
    auto list = slidesLoadFromXml(nullptr, (dir_ / "talk.xml").c_str());
    EXPECT_TRUE(list) << "no results to read";
    return list ? std::move(*list) : SlideList();
  }
  // The picture files the run left, by name.
  std::vector<std::string> picturesIn(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir_ / folder))
      names.push_back(folder + entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }
  std::vector<cv::Point2f> corners_;
  RunResult result_;
};

// What lowering an arm uncovers looks like new content to the change decision; the originals
// tell that the slide stayed the same, unless they hold both looks.
TEST_F(RecordJoinTest, AChangeBetweenTwoIntervalsOfOneOriginalIsJoinedAway) {
  ASSERT_NO_FATAL_FAILURE(writeTalk(coveredSlide(), fullSlide()));
  ASSERT_NO_FATAL_FAILURE(writeOriginals({fullSlide()}));

  const auto apart = run(0, "apart/");
  ASSERT_EQ(apart.slides.size(), 2u) << "the uncovering passes for a change";
  for (const SlideRecord& r : apart.slides) EXPECT_EQ(matchOf(r), 0);
  EXPECT_EQ(countOf(result_.out, "SlideJoined"), 0u);
  ASSERT_GT(lineSpread(dir_ / *apart.slides[1].src), 2 * lineSpread(dir_ / *apart.slides[0].src))
      << "only the later shows the line";

  const auto joined = run(1, "joined/");
  ASSERT_EQ(joined.slides.size(), 1u);
  const SlideRecord& slide = joined.slides[0];
  EXPECT_EQ(slide.id, 0);
  EXPECT_EQ(slide.start, 0);
  EXPECT_EQ(slide.end, apart.slides[1].end);
  EXPECT_EQ(matchOf(slide), 0);
  EXPECT_EQ(countOf(result_.out, "\t -SlideJoined[     1:     0] "), 1u) << result_.out;
  // The record keeps its name and the picture that shows the line; no other file is left.
  ASSERT_TRUE(slide.src);
  EXPECT_EQ(picturesIn("joined/"), std::vector<std::string>{*slide.src});
  EXPECT_EQ(readFile(dir_ / *slide.src), readFile(dir_ / *apart.slides[1].src));

  // With the covered slide among the originals the same frames are a build: two slides.
  ASSERT_NO_FATAL_FAILURE(writeOriginals({coveredSlide(), fullSlide()}));
  const auto build = run(1, "build/");
  ASSERT_EQ(build.slides.size(), 2u);
  for (int k = 0; k < 2; ++k) EXPECT_EQ(matchOf(build.slides[k]), k);
  EXPECT_EQ(countOf(result_.out, "SlideJoined"), 0u);
  EXPECT_EQ(picturesIn("build/").size(), 2u);
}

// A dark block over a line for a moment (someone passing close to the camera): the change
// decision sees it come and the line come back, the originals tell that one slide stayed up
// all along. No picture of the moment is left.
TEST_F(RecordJoinTest, ALineHiddenForAMomentLeavesOneRecord) {
  cv::Mat hidden = fullSlide();
  hidden(kLastLine + cv::Size(0, 80) - cv::Point(0, 40)).setTo(cv::Scalar(40, 50, 60));
  ASSERT_NO_FATAL_FAILURE(writeTalk(fullSlide(), hidden, {{0, 100}, {1, 50}, {0, 200}}));
  ASSERT_NO_FATAL_FAILURE(writeOriginals({fullSlide()}));
  const auto apart = run(0, "apart/");
  ASSERT_EQ(apart.slides.size(), 3u) << result_.out;
  const auto joined = run(1, "joined/");
  ASSERT_EQ(joined.slides.size(), 1u) << result_.out;
  EXPECT_EQ(joined.slides[0].end, apart.slides[2].end);
  EXPECT_EQ(matchOf(joined.slides[0]), 0);
  EXPECT_EQ(countOf(result_.out, "SlideJoined"), 2u) << result_.out;
  ASSERT_TRUE(joined.slides[0].src);
  EXPECT_EQ(picturesIn("joined/"), std::vector<std::string>{*joined.slides[0].src});
}

// A slide left out of the originals that the features take for the one before it: the
// pictures tell it from that one, and it is not joined to it.
TEST_F(RecordJoinTest, ASlideLeftOutNextToItsLookAlikeStaysApart) {
  ASSERT_NO_FATAL_FAILURE(writeTalk(fullSlide(), tableSlide()));
  ASSERT_NO_FATAL_FAILURE(writeOriginals({fullSlide()}));
  const auto slides = run(1, "pics/");
  ASSERT_EQ(slides.slides.size(), 2u) << result_.out;
  EXPECT_EQ(matchOf(slides.slides[0]), 0);
  EXPECT_EQ(matchOf(slides.slides[1]), -1) << "not among the originals";
  EXPECT_EQ(countOf(result_.out, "SlideJoined"), 0u);
  EXPECT_EQ(picturesIn("pics/").size(), 2u);
  // Without the picture checks the features alone take it for the original, and it is joined.
  const auto unchecked = run(1, "unchecked/", 1.0f, 0);
  EXPECT_EQ(unchecked.slides.size(), 1u);
  EXPECT_EQ(countOf(result_.out, "SlideJoined"), 1u);
}

// Thin strokes in a plain part of the slide, as a speaker's outline leaves them: in grey.
cv::Mat markedSlide(double grey) {
  cv::Mat slide = fullSlide();
  for (int k = 0; k < 6; ++k)
    cv::line(slide, {600 + 12 * k, 560 + 22 * k}, {940 - 10 * k, 566 + 22 * k},
             cv::Scalar::all(grey), 4, cv::LINE_AA);
  return slide;
}

// The speaker stood at one place through two intervals of one slide, and each kept other marks
// of him where the slide is plain: the picture check, at its strictest, refuses the second the
// original, though its evidence decided it; their pictures differ only where the original
// explains neither, and the two are one slide.
TEST_F(RecordJoinTest, ARecordOnlyThePictureCheckRefusedJoinsWhenThePicturesAgree) {
  ASSERT_NO_FATAL_FAILURE(writeTalk(markedSlide(150), markedSlide(40)));
  ASSERT_NO_FATAL_FAILURE(writeOriginals({fullSlide()}));
  const auto apart = run(1, "apart/", 0.0f, 1, 0);
  ASSERT_EQ(apart.slides.size(), 2u) << result_.out;
  EXPECT_EQ(countOf(result_.out, "SlideJoined"), 0u);
  const auto joined = run(1, "joined/", 0.0f, 1, 1);
  ASSERT_EQ(joined.slides.size(), 1u) << result_.out;
  EXPECT_EQ(matchOf(joined.slides[0]), 0);
  EXPECT_EQ(joined.slides[0].end, apart.slides[1].end);
  EXPECT_EQ(countOf(result_.out, "SlideJoined"), 1u);
  EXPECT_EQ(picturesIn("joined/").size(), 1u);
  // A run that saves no pictures decides the same.
  const auto unsaved = run(1, "", 0.0f, 1, 1);
  EXPECT_EQ(unsaved.slides.size(), 1u);
}

// A slide of the same deck left out of the originals, two of its lines another text: the
// features take it for the one before it, and only the pictures, where they differ, show
// which of the two the original is.
TEST_F(RecordJoinTest, ASiblingLeftOutIsNeitherJoinedNorMatched) {
  ASSERT_NO_FATAL_FAILURE(writeTalk(fullSlide(), siblingSlide()));
  ASSERT_NO_FATAL_FAILURE(writeOriginals({fullSlide()}));
  const auto joined = run(1, "joined/", 1.0f, 0);
  ASSERT_EQ(joined.slides.size(), 1u) << "the features alone join it: " << result_.out;
  const auto apart = run(1, "apart/", 1.0f, 1);
  ASSERT_EQ(apart.slides.size(), 2u) << result_.out;
  EXPECT_EQ(matchOf(apart.slides[0]), 0);
  EXPECT_EQ(matchOf(apart.slides[1]), -1) << "not among the originals";
  EXPECT_GE(apart.slides[1].start, 100) << "where the sibling came, or the processed frame after";
  EXPECT_LE(apart.slides[1].start, 125);
  EXPECT_EQ(countOf(result_.out, "SlideJoined"), 0u);
  EXPECT_EQ(countOf(result_.out, "\t -MatchWithdrawn[     1:     0] "), 1u) << result_.out;
  EXPECT_EQ(picturesIn("apart/").size(), 2u);
  // A run that saves no pictures decides the same.
  const auto unsaved = run(1, "", 1.0f, 1);
  ASSERT_EQ(unsaved.slides.size(), 2u) << result_.out;
  EXPECT_EQ(matchOf(unsaved.slides[1]), -1);
  EXPECT_EQ(unsaved.slides[1].start, apart.slides[1].start);
  EXPECT_EQ(countOf(result_.out, "SlideJoined"), 0u);
}

}  // namespace
