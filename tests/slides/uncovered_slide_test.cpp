#include "slides/uncovered_slide.h"

#include "slides/clean_slide.h"
#include "slides/held_back_slide.h"
#include "slides/shift_diff.h"

#include <gtest/gtest.h>

#include <opencv2/imgproc.hpp>

using namespace slidetrack;

namespace {

const cv::Size kWork(160, 120);
const cv::Scalar kPaper(235, 238, 232), kSleeve(60, 45, 120), kBeige(150, 190, 215);

struct Looks {
  cv::Mat now, first, candidates, fine, taken, his;
};

// A slide of plain paper with a line of text; everything but the region under test is
// taken, and he stands at the right edge.
Looks paper() {
  Looks l;
  l.now = cv::Mat(kWork, CV_8UC3, kPaper);
  cv::rectangle(l.now, cv::Rect(10, 10, 60, 6), cv::Scalar(30, 30, 30), cv::FILLED);
  l.first = l.now.clone();
  l.candidates = cv::Mat::zeros(kWork, CV_8UC1);
  l.fine = cv::Mat::zeros(kWork, CV_8UC1);
  l.taken = cv::Mat(kWork, CV_8UC1, cv::Scalar(255));
  l.his = cv::Mat::zeros(kWork, CV_8UC1);
  l.his.colRange(140, 160).setTo(255);
  return l;
}

cv::Mat uncoveredIn(const Looks& l) {
  cv::Mat uncovered;
  uncoveredSlide(l.now, l.first, l.candidates, l.fine, l.taken, l.his, uncovered);
  return uncovered;
}

}  // namespace

TEST(UncoveredSlide, ALoweredArmGivesItsPlaceBackToThePaper) {
  Looks l = paper();
  const cv::Rect arm(60, 50, 82, 10);
  l.first(arm).setTo(kSleeve);
  l.candidates(arm).setTo(255);
  l.taken(arm).setTo(0);
  const cv::Mat uncovered = uncoveredIn(l);
  EXPECT_EQ(cv::countNonZero(uncovered(arm)), arm.area());
  EXPECT_EQ(cv::countNonZero(uncovered), arm.area());
}

TEST(UncoveredSlide, TextTheArmLeftIsNotTakenForPaper) {
  // Only the paper between the letters: what else the region shows may still be him.
  Looks l = paper();
  const cv::Rect arm(60, 50, 82, 12), letters(70, 52, 20, 8);
  l.now(letters).setTo(cv::Scalar(20, 20, 20));
  l.first(arm).setTo(kSleeve);
  l.candidates(arm).setTo(255);
  const cv::Mat uncovered = uncoveredIn(l);
  EXPECT_EQ(cv::countNonZero(uncovered(letters)), 0);
  EXPECT_EQ(cv::countNonZero(uncovered), arm.area() - letters.area());
}

TEST(UncoveredSlide, SomeoneWhoWalkedInOverThePaperIsNotTaken) {
  // The first look showed paper; now clothing of the paper's brightness in another hue.
  Looks l = paper();
  const cv::Rect body(100, 30, 42, 90);
  l.now(body).setTo(kBeige);
  l.candidates(body).setTo(255);
  EXPECT_EQ(cv::countNonZero(uncoveredIn(l)), 0);
}

TEST(UncoveredSlide, ClothingOfThePapersColourInFrontOfAFigureIsNotTakenForPaper) {
  // The first look showed a figure of fine squares; he now stands before it in a shirt of
  // the paper's colour, which his body was not found in.
  Looks l = paper();
  const cv::Rect figure(40, 60, 100, 30);
  for (int x = figure.x; x < figure.br().x; x += 6)
    cv::rectangle(l.first, cv::Rect(x, figure.y, 3, figure.height), cv::Scalar(40, 120, 40),
                  cv::FILLED);
  l.fine(figure).setTo(255);
  l.candidates(figure).setTo(255);
  EXPECT_EQ(cv::countNonZero(uncoveredIn(l)), 0);
}

TEST(UncoveredSlide, AChangeAwayFromHimIsTheSlidesOwn) {
  // A bar of the slide gone where he never was: a new slide the decision missed, not him.
  Looks l = paper();
  const cv::Rect bar(10, 80, 100, 12);
  l.first(bar).setTo(cv::Scalar(140, 60, 40));
  l.candidates(bar).setTo(255);
  EXPECT_EQ(cv::countNonZero(uncoveredIn(l)), 0);
}

TEST(UncoveredSlide, NothingWhenTooLittleOfTheSlideIsTakenToKnowItsPaper) {
  Looks l = paper();
  const cv::Rect arm(60, 50, 82, 10);
  l.first(arm).setTo(kSleeve);
  l.candidates(arm).setTo(255);
  l.taken.setTo(0);
  l.taken(cv::Rect(0, 0, 30, 120)).setTo(255);
  EXPECT_EQ(cv::countNonZero(uncoveredIn(l)), 0);
}

TEST(HeldBackSlide, PrintAndWhatTheFillWouldGiveAreTakenAStillShirtIsNot) {
  Looks l = paper();
  const cv::Mat expected = l.now.clone();
  // A line of text the decision holds back, with the paper round it.
  const cv::Rect held(20, 40, 60, 14), letters(26, 44, 40, 6);
  l.now(letters).setTo(cv::Scalar(20, 20, 20));
  l.fine(letters).setTo(255);
  l.candidates(held).setTo(255);
  // Beside a grey bar the fill would continue, a near-white shirt over it: the slide's own
  // background colour, not what the slide shows around it.
  const cv::Rect bar(100, 20, 40, 90), shirt(108, 30, 24, 70);
  cv::Mat filled = expected.clone();
  filled(bar).setTo(cv::Scalar(170, 170, 170));
  l.now(bar).setTo(cv::Scalar(170, 170, 170));
  l.now(shirt).setTo(kPaper);
  l.candidates(shirt).setTo(255);
  cv::Mat shown;
  heldBackSlide(l.now, filled, l.candidates, l.fine, shown);
  EXPECT_EQ(cv::countNonZero(shown(held)), held.area());
  EXPECT_EQ(cv::countNonZero(shown(shirt)), 0);
}

TEST(HeldBackSlide, APictureTakesTextItsDecisionHoldsBackFromSomeoneLongGone) {
  // The decision's reference still holds someone who stood over the first line before this
  // slide; he is gone, the line holds still.
  cv::Mat screen(240, 320, CV_8UC3, kPaper);
  cv::putText(screen, "First line", {20, 60}, cv::FONT_HERSHEY_SIMPLEX, 0.9, {30, 30, 30}, 2);
  cv::putText(screen, "Second line", {20, 140}, cv::FONT_HERSHEY_SIMPLEX, 0.9, {30, 30, 30}, 2);
  cv::Mat grey, work;
  screenWorkImage(screen, grey, work);
  cv::Mat held = cv::Mat::zeros(work.size(), CV_8UC1);
  held(cv::Rect(0, 0, work.cols / 2, work.rows / 3)).setTo(255);
  for (bool on : {false, true}) {
    CleanSlide clean;
    clean.takeHeldBack(on);
    clean.start(screen, work, held);
    for (int look = 0; look < 3; ++look) clean.update(screen, work, held);
    EXPECT_EQ(cv::countNonZero(clean.unseen() & held), on ? 0 : cv::countNonZero(held)) << on;
    cv::Mat differs;
    cv::absdiff(clean.picture(), screen, differs);
    EXPECT_EQ(cv::countNonZero(differs.reshape(1) > 40) == 0, on) << on;
  }
}
