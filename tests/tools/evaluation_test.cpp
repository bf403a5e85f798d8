// The measurement tools: the evaluator's figures on a hand-made run and where a change shows
// outside the speaker, its speaker share on drawn pictures, and the lecture generator the
// other tests make their clips with.

#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include "accuracy_metrics.h"
#include "change_visibility.h"
#include "lecture_scene.h"
#include "speaker_share.h"

using namespace slidetrack;

namespace {

// A light slide with a dark title bar and lines of dark text.
cv::Mat drawnSlide() {
  cv::Mat slide(480, 640, CV_8UC3, cv::Scalar(240, 238, 236));
  cv::rectangle(slide, {0, 0, 640, 60}, cv::Scalar(140, 40, 40), cv::FILLED);
  for (int line = 0; line < 9; ++line)
    cv::putText(slide, "Lines of text under the speaker", {30, 110 + 40 * line},
                cv::FONT_HERSHEY_SIMPLEX, 1.0, cv::Scalar(30, 30, 30), 2, cv::LINE_AA);
  return slide;
}

// What a camera gives: blurred, a little darker, JPEG at the quality pictures are saved.
cv::Mat camera(const cv::Mat& picture) {
  cv::Mat out;
  cv::GaussianBlur(picture, out, {0, 0}, 0.8);
  out.convertTo(out, -1, 0.9, 5);
  std::vector<unsigned char> jpeg;
  cv::imencode(".jpg", out, jpeg, {cv::IMWRITE_JPEG_QUALITY, 90});
  return cv::imdecode(jpeg, cv::IMREAD_COLOR);
}

// The slide all valid, and the mask of where he stands, set by each test.
class SpeakerShare : public ::testing::Test {
 protected:
  const cv::Mat clean = drawnSlide();
  const cv::Mat valid = cv::Mat(clean.size(), CV_8UC1, cv::Scalar(255));
  cv::Mat mask = cv::Mat(clean.size(), CV_8UC1, cv::Scalar(0));
};

}  // namespace

// The evaluator's figures on a hand-made run: changes paired one to one within the
// tolerance, closest first; phantom and late reports; the share of processed frames whose
// record is matched to the slide shown; where a change shows outside the speaker.
TEST(Evaluation, PairsChangesCountsPhantomsAndLatenessAndScoresMatches) {
  // Slides 0, 1, 2 for 100 pictures each, processed every 25 frames at 25 per second.
  std::vector<TruthFrame> truth(300);
  for (size_t i = 0; i < truth.size(); ++i) truth[i].slide = int(i / 100);
  SlideList originals, results;
  for (int id : {10, 11, 12}) originals.slides.push_back(slideRecordMake(id, nullptr, 0, 0, 0));
  // A phantom matched wrongly, the first change on time, the second two processed frames late.
  const std::pair<int, int> records[] = {{0, 0}, {50, 1}, {125, 1}, {275, 2}};
  for (const auto& [start, original] : records) {
    results.slides.push_back(slideRecordMake(int(results.slides.size()), nullptr, start, start, 0));
    results.slides.back().match = &originals.slides[original];
  }
  EXPECT_EQ(trueChangePictures(truth), (std::vector<int>{100, 200}));
  // A record opened at index k was seen on picture k - 1.
  EXPECT_EQ(reportedChangePictures(results), (std::vector<int>{49, 124, 274}));
  const ChangeScore changes = scoreChanges({4.0, 8.0}, {1.96, 4.96, 10.96}, 3.0);
  EXPECT_EQ(changes.matched, 2);
  EXPECT_EQ(changes.phantoms(), 1);
  EXPECT_NEAR(changes.f1, 0.8, 1e-12);
  const LatenessScore late = scoreLateness(truth, results, 25, 25.0, 3.0);
  EXPECT_EQ(late.onTime, 1);
  EXPECT_EQ(late.max, 2);
  // Right at indices 0, 25, 125 to 200 and 275; wrong in the phantom's record (50 to 100)
  // and before the late report (225, 250).
  const MatchScore match = scoreMatches(results, {{10, 0}, {11, 1}, {12, 2}}, truth, 25);
  EXPECT_EQ(match.frames, 12);
  EXPECT_EQ(match.correct, 7);
  // 11.5 belongs to 12, leaving 10.9 for 10; the tolerance is inclusive.
  EXPECT_EQ(scoreChanges({10, 12}, {11.5, 10.9}, 2.0).matched, 2);
  EXPECT_EQ(scoreChanges({10}, {12.0}, 2.0).matched, 1);
  EXPECT_EQ(scoreChanges({10}, {12.01}, 2.0).matched, 0);
}

TEST(Evaluation, ChangeIsVisibleOnceTheSpeakerNoLongerCoversWhatDiffers) {
  namespace fs = std::filesystem;
  const fs::path dir =
      fs::temp_directory_path() / ("slidetrack-visibility-" + std::to_string(::getpid()));
  fs::create_directories(dir / "slides");
  // The second slide adds a block; the slide fills frame pixels 100..740 x 50..530.
  const cv::Mat first(480, 640, CV_8UC3, cv::Scalar(250, 250, 250));
  cv::Mat second = first.clone();
  cv::rectangle(second, cv::Rect(290, 250, 60, 60), cv::Scalar(40, 40, 40), cv::FILLED);
  cv::imwrite((dir / "slides" / "slide_0.png").string(), first);
  cv::imwrite((dir / "slides" / "slide_1.png").string(), second);
  // A speaker stands over the block until picture 150.
  SpeakerPose pose;
  pose.present = true;
  pose.x = 420;
  pose.footY = 700;
  pose.height = 560;
  ASSERT_EQ(cv::countNonZero(speakerMask(pose, {1280, 720})(cv::Rect(390, 300, 60, 60)) == 0), 0);
  std::vector<TruthFrame> truth(250);
  for (size_t i = 0; i < truth.size(); ++i) {
    truth[i].slide = i < 100 ? 0 : 1;
    truth[i].area = {{{100, 50}, {740, 50}, {740, 530}, {100, 530}}};
    truth[i].speaker = pose;
    truth[i].speaker.present = i < 150;
  }
  SlideList results;
  for (int start : {0, 175})
    results.slides.push_back(slideRecordMake(start, nullptr, start, start, 0));
  const std::vector<ChangeVisibility> changes = changeVisibility(truth, dir.string(), results, 25);
  fs::remove_all(dir);
  ASSERT_EQ(changes.size(), 1u);
  EXPECT_EQ(changes[0].picture, 100);
  EXPECT_NEAR(changes[0].area, 3600.0 / (640 * 480), 1e-4);
  // Index 125 shows picture 124, the first of the new slide's; 175 the first without him.
  EXPECT_EQ(changes[0].first, 125);
  EXPECT_EQ(changes[0].visible10, 175);
  EXPECT_EQ(changes[0].visible50, 175);
  EXPECT_EQ(changes[0].reported, 175);
}

// The evaluator's speaker share on drawn pictures: a light shirt over dark text on a light
// slide counts, a clean picture a pixel off and JPEG-compressed does not.
TEST_F(SpeakerShare, LightShirtOverDarkTextCounts) {
  const cv::Rect shirt(250, 120, 160, 300);
  mask(shirt).setTo(255);
  // A shirt as light as the slide's background: it hides the text, no more.
  cv::Mat shown = clean.clone();
  shown(shirt).setTo(cv::Scalar(230, 236, 240));
  // He never left the shirt's left half: the text there no frame could show.
  cv::Mat always = cv::Mat::zeros(clean.size(), CV_8UC1);
  always(cv::Rect(shirt.x, shirt.y, shirt.width / 2, shirt.height)).setTo(255);
  double damage = 1, hidden = -1;
  const double share = speakerShare(camera(shown), clean, valid, mask, &damage, always, &hidden);
  EXPECT_GT(hidden, 0.35 * share);
  EXPECT_LT(hidden, 0.65 * share);
  // The text it hid counts: the strokes and the pixels around them.
  cv::Mat textUnder;
  cv::cvtColor(clean(shirt), textUnder, cv::COLOR_BGR2GRAY);
  const double textShare = cv::countNonZero(textUnder < 128) / double(clean.total());
  EXPECT_GT(share, textShare);
  EXPECT_LT(share, double(shirt.area()) / double(clean.total()));
  EXPECT_LT(damage, 0.001);
}

// A picture that lost most of its text where nobody stood does not teach the fit that text
// looks like paper: what it lost there is damage, and the text it hides under him counts.
TEST_F(SpeakerShare, TextLostBesideHimIsDamageNotTheSlidesTone) {
  const cv::Rect shirt(250, 120, 160, 300), lost(0, 80, 640, 290);
  mask(shirt).setTo(255);
  cv::Mat shown = clean.clone();
  shown(lost).setTo(cv::Scalar(240, 238, 236));
  double damage = 0;
  const double share = speakerShare(camera(shown), clean, valid, mask, &damage);
  cv::Mat grey;
  cv::cvtColor(clean, grey, cv::COLOR_BGR2GRAY);
  const double textUnder = cv::countNonZero(grey(shirt & lost) < 128) / double(clean.total());
  const double textLost = cv::countNonZero(grey(lost) < 128) / double(clean.total());
  EXPECT_GT(share, textUnder);
  EXPECT_GT(damage, textLost - textUnder);
}

TEST_F(SpeakerShare, CleanPictureAPixelOffScoresNothing) {
  mask(cv::Rect(250, 120, 160, 300)).setTo(255);
  cv::Mat shifted;
  cv::warpAffine(clean, shifted, cv::Matx23d(1, 0, 1, 0, 1, 1), clean.size(), cv::INTER_LINEAR,
                 cv::BORDER_REPLICATE);
  double damage = 1;
  EXPECT_LT(speakerShare(camera(shifted), clean, valid, mask, &damage), 0.001);
  EXPECT_LT(damage, 0.001);
}

TEST_F(SpeakerShare, DarkSpeakerOverTheBackgroundCounts) {
  const cv::Rect body(500, 100, 100, 360);
  mask(body).setTo(255);
  cv::Mat shown = clean.clone();
  shown(body).setTo(cv::Scalar(60, 80, 100));
  const double share = speakerShare(camera(shown), clean, valid, mask);
  EXPECT_GT(share, 0.9 * double(body.area()) / double(clean.total()));
}

// The lecture generator the other tests make their clips with. What the screen shows is
// checked by every run on its clips (the saved pictures against the slides in run_lecture);
// the clips' declared rates are read back by the video source and frame rate tests.
// The outer corners the truth gives for the screen's frame lie on the frame drawn.
TEST(LectureScene, ScreenFrameCornersLieOnTheDrawnFrame) {
  LectureScene scene;
  scene.schedule = {{0, 1}};
  const cv::Mat frame = renderLectureFrame(scene, 0);
  const auto area = sceneCornersAt(scene, 0);
  const auto outer = sceneFrameCornersAt(scene, 0);
  const cv::Point2f centre = (area[0] + area[2]) * 0.5f;
  for (int i = 0; i < 4; ++i) {
    const cv::Point2f towardsCentre = (centre - outer[i]) / float(cv::norm(centre - outer[i]));
    EXPECT_LT(frame.at<cv::Vec3b>(outer[i] + 2.5f * towardsCentre)[1], 60) << i;  // the frame
    EXPECT_GT(frame.at<cv::Vec3b>(outer[i] - 2.5f * towardsCentre)[1], 90) << i;  // the wall
    EXPECT_GT(cv::norm(outer[i] - area[i]), 6.0) << i;
  }
}
