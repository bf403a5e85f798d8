#include "app/run_options.h"

#include <gtest/gtest.h>

using namespace slidetrack;

namespace {

RunOptions parse(std::vector<std::string> args) {
  args.insert(args.begin(), "slidetrack");
  return parseRunOptions(args);
}

// "input output config images originals windows", "-" for a missing value.
std::string describe(const RunOptions& o) {
  auto text = [](const std::optional<std::string>& s) { return s ? "'" + *s + "'" : "-"; };
  return text(o.inputVideo) + " '" + o.outputXml + "' '" + o.configFile + "' " +
         text(o.imagesPath) + " " + text(o.slidesOriginals) + (o.showWindows ? " show" : " hide");
}

TEST(RunOptions, MatchingRulesAndDefaults) {
  const struct {
    std::vector<std::string> args;
    const char* options;
  } cases[] = {
      // Defaults derive from the full video path.
      {{"-i", "talk.avi"}, "'talk.avi' 'talk.avi.xml' 'talk.avi.cfg.xml' - - show"},
      // Values are taken verbatim even when they look like options.
      {{"-i", "v.mp4", "-o", "-c", "-p", "out/", "-s", "orig.xml"},
       "'v.mp4' '-c' 'v.mp4.cfg.xml' 'out/' 'orig.xml' show"},
      // A value option standing last is ignored.
      {{"-i", "v.mp4", "-o"}, "'v.mp4' 'v.mp4.xml' 'v.mp4.cfg.xml' - - show"},
      // A repeated option overrides; unknown arguments are ignored; matching is exact.
      {{"-x", "-i", "a.mp4", "--help", "-i", "b.mp4", "-I", "c.mp4", "-P", "x", "-shows"},
       "'b.mp4' 'b.mp4.xml' 'b.mp4.cfg.xml' - - show"},
      {{"-i", "a", "-p", ""}, "'a' 'a.xml' 'a.cfg.xml' '' - show"},  // still a path
      {{"-i", "a", "-hide"}, "'a' 'a.xml' 'a.cfg.xml' - - hide"},
      {{"-i", "a", "-hide", "-show"}, "'a' 'a.xml' 'a.cfg.xml' - - show"},
      // Without an input there are no defaults.
      {{"-o", "x.xml"}, "- 'x.xml' '' - - show"},
  };
  for (const auto& c : cases) EXPECT_EQ(describe(parse(c.args)), c.options) << c.args[0];
  const std::string longPath(5000, 'a');  // not cut at any fixed buffer
  EXPECT_EQ(describe(parse({"-i", longPath})),
            "'" + longPath + "' '" + longPath + ".xml' '" + longPath + ".cfg.xml' - - show");
}

}  // namespace
