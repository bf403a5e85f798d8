// The installed program: cmake --install into a fresh prefix, then a run of it from
// another directory, which must write what the program of the build tree writes.

#include <gtest/gtest.h>

#include "run_harness.h"

TEST_F(RunTest, InstalledProgramRunsFromAnywhereLikeTheBuiltOne) {
  const fs::path prefix = dir_ / "prefix";
  const std::string install = shellQuote(SLIDETRACK_CMAKE) + " --install " +
                              shellQuote(SLIDETRACK_BUILD_DIR) + " --prefix " +
                              shellQuote(prefix.string()) + " >" +
                              shellQuote((dir_ / "install.log").string()) + " 2>&1";
  ASSERT_EQ(std::system(install.c_str()), 0) << readFile(dir_ / "install.log");
  const fs::path installed = prefix / "bin" / "slidetrack";
  ASSERT_TRUE(fs::exists(installed));
  EXPECT_TRUE(fs::exists(prefix / "lib" / "slidetrack" / "slidetrack_windows.so"));
  // Nothing of the build tree is looked for by the installed program.
  EXPECT_EQ(readFile(installed).find(SLIDETRACK_BUILD_DIR), std::string::npos);

  LectureScene scene = screenRecordingScene({320, 240});
  scene.schedule = {{0, 60}, {1, 60}};
  const fs::path inputs = dir_ / "inputs";
  fs::create_directories(inputs);
  ASSERT_NO_FATAL_FAILURE(writeSceneClip(scene, inputs / "talk.mp4"));
  writeOriginals(inputs, {drawSlide(0, {1024, 768}), drawSlide(1, {1024, 768})});

  // Each program in its own directory, on the same inputs.
  std::string outputs[2];
  for (int i = 0; i < 2; ++i) {
    const fs::path work = dir_ / (i == 0 ? "installed" : "built");
    fs::create_directories(work);
    const std::string program = i == 0 ? installed.string() : SLIDETRACK_BIN;
    const std::string command =
        "cd " + shellQuote(work.string()) + " && " + kHeadless + " " + shellQuote(program) +
        " -i ../inputs/talk.mp4 -o out.xml -c ../inputs/talk.cfg.xml -p slides/ -s "
        "../inputs/originals.xml -hide >run.out 2>run.err";
    fs::remove(inputs / "talk.cfg.xml");
    ASSERT_EQ(std::system(command.c_str()), 0) << readFile(work / "run.err");
    outputs[i] = readFile(work / "run.out") + readFile(work / "out.xml") +
                 readFile(work / "slides" / "slide_00000000.jpg");
  }
  EXPECT_NE(outputs[0].find("+SlideMatch"), std::string::npos) << outputs[0];
  EXPECT_EQ(outputs[0], outputs[1]);
}
