// When frames stop showing the record's original: the share of their content that it
// explains falls far below what the interval's best frame showed, and they do not lean to it
// clearly.
#include <gtest/gtest.h>

#include "matching/fit_drop.h"

using namespace slidetrack;

namespace {

class FitDropTest : public ::testing::Test {
 protected:
  void SetUp() override {
    library_.count = 2;
    library_.windows = 10;
    library_.bins = 1;
    fitDropReset(library_, drop_);
  }

  // One frame in which original 0 explains fitted of ten content windows (original 1 two), and
  // its decision alone, leaning to original 0 by margin.
  bool add(double fitted, double margin, int k = 0) {
    EvidenceAccumulator frame;
    evidenceAccumulatorReset(library_, frame);
    frame.support = {10, 10};
    frame.fit = {fitted, 2};
    frame.frames = 1;
    EvidenceDecision alone;
    alone.index = 0;
    alone.margin = margin;
    return fitDropAdd(library_, frame, alone, k, options_, drop_);
  }

  EvidenceLibrary library_;
  MatcherOptions options_;
  FitDrop drop_;
};

TEST_F(FitDropTest, FramesFarBelowTheBestAndNotLeaningToItClearlyDrop) {
  EXPECT_FALSE(add(9, 0.9));
  EXPECT_FALSE(add(8, 0.9));
  EXPECT_TRUE(add(2, 0.3)) << "a fifth of what the best frame showed";
  EXPECT_TRUE(add(3, 0.1));
  EXPECT_EQ(drop_.dropped.frames, 2);
  // A speaker walking close by hides much, but what stays visible still leans to it clearly.
  EXPECT_FALSE(add(2, 0.7));
  EXPECT_EQ(drop_.dropped.frames, 0) << "the run is broken";
  // Below matchFit, but not far enough below the best.
  EXPECT_FALSE(add(3.5, 0.1));
  EXPECT_FALSE(add(2, 0.1, -1)) << "no record original";
}

TEST_F(FitDropTest, TheBestIsTheRecordOriginalsOwn) {
  EXPECT_FALSE(add(9, 0.9));
  EXPECT_TRUE(add(2, 0.1));
  // The record now names the other original: its frames start their own best.
  EXPECT_FALSE(add(2, 0.1, 1));
  EXPECT_FALSE(add(2, 0.1, 1)) << "the other original explains 2 of 10 in every frame";
}

TEST_F(FitDropTest, AfterTheRecordEndedItsOriginalIsNamedOnlyWhereItExplainsAsMuch) {
  EXPECT_FALSE(add(9, 0.9));
  EXPECT_TRUE(add(2, 0.1));
  EXPECT_TRUE(add(2, 0.1));
  fitDropEnded(library_, drop_);
  EXPECT_EQ(drop_.dropped.frames, 0);
  EvidenceAccumulator acc;
  evidenceAccumulatorReset(library_, acc);
  acc.support = {20, 20};
  acc.fit = {4, 4};
  acc.frames = 2;
  EXPECT_FALSE(fitDropAllows(drop_, acc, 0, options_));
  EXPECT_TRUE(fitDropAllows(drop_, acc, 1, options_)) << "another original";
  acc.fit = {16, 4};
  EXPECT_TRUE(fitDropAllows(drop_, acc, 0, options_)) << "the frames show it after all";
}

}  // namespace
