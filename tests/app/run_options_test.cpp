#include "run_options.h"

#include <gtest/gtest.h>

namespace {

RunOptions parse(std::vector<std::string> args) {
  args.insert(args.begin(), "slidetrack");
  return parseRunOptions(args);
}

TEST(RunOptions, DefaultsDeriveFromTheFullVideoPath) {
  RunOptions o = parse({"-i", "talk.avi"});
  ASSERT_TRUE(o.inputVideo);
  EXPECT_EQ(*o.inputVideo, "talk.avi");
  EXPECT_EQ(o.outputXml, "talk.avi.xml");
  EXPECT_EQ(o.configFile, "talk.avi.cfg.xml");
  EXPECT_FALSE(o.imagesPath);
  EXPECT_FALSE(o.slidesOriginals);
  EXPECT_TRUE(o.showWindows);
}

TEST(RunOptions, ValuesAreTakenVerbatimEvenWhenTheyLookLikeOptions) {
  RunOptions o = parse({"-i", "v.mp4", "-o", "-c", "-p", "out/", "-s", "orig.xml"});
  EXPECT_EQ(o.outputXml, "-c");
  EXPECT_EQ(o.configFile, "v.mp4.cfg.xml");
  EXPECT_EQ(*o.imagesPath, "out/");
  EXPECT_EQ(*o.slidesOriginals, "orig.xml");
}

TEST(RunOptions, ValueOptionStandingLastIsIgnored) {
  RunOptions o = parse({"-i", "v.mp4", "-o"});
  EXPECT_EQ(o.outputXml, "v.mp4.xml");
  o = parse({"-i", "first.mp4", "-i"});
  EXPECT_EQ(*o.inputVideo, "first.mp4");
}

TEST(RunOptions, RepeatedOptionOverridesAndUnknownArgumentsAreIgnored) {
  RunOptions o = parse({"-x", "-i", "a.mp4", "--help", "-i", "b.mp4", "-I", "c.mp4"});
  EXPECT_EQ(*o.inputVideo, "b.mp4");
  EXPECT_EQ(o.outputXml, "b.mp4.xml");
}

TEST(RunOptions, MatchingIsExactAndCaseSensitive) {
  RunOptions o = parse({"-i", "a.mp4", "-P", "x", "-shows", "-p", ""});
  ASSERT_TRUE(o.imagesPath);
  EXPECT_EQ(*o.imagesPath, "");  // an empty images path is still a path
}

TEST(RunOptions, HideTurnsWindowsOffAndShowOn) {
  EXPECT_FALSE(parse({"-i", "a", "-hide"}).showWindows);
  EXPECT_TRUE(parse({"-i", "a", "-hide", "-show"}).showWindows);
  EXPECT_TRUE(parse({"-i", "a", "-show"}).showWindows);
}

TEST(RunOptions, WithoutInputThereAreNoDefaults) {
  RunOptions o = parse({"-o", "x.xml"});
  EXPECT_FALSE(o.inputVideo);
  EXPECT_EQ(o.outputXml, "x.xml");
  EXPECT_TRUE(o.configFile.empty());
}

TEST(RunOptions, LongPathsAreKeptWhole) {
  const std::string longPath(5000, 'a');
  RunOptions o = parse({"-i", longPath});
  EXPECT_EQ(o.outputXml, longPath + ".xml");
  EXPECT_EQ(o.configFile, longPath + ".cfg.xml");
}

}  // namespace
