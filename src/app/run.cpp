#include "app/run.h"

#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>
#include <utility>

#include "app/console_observer.h"
#include "app/directory_path.h"
#include "app/display.h"
#include "app/output_observers.h"
#include "app/pipeline.h"
#include "app/settings_file.h"
#include "app/windows_observer.h"
#include "common/error.h"

namespace slidetrack {

namespace {

// The same file under any name (symlinks included); false when either is missing.
bool sameFile(const std::string& a, const std::string& b) {
  std::error_code error;
  return std::filesystem::equivalent(a, b, error);
}

// The results file is replaced during the run: one that is also an input would be lost.
void checkResultsFileIsNoInput(const RunOptions& options) {
  const std::pair<const char*, const std::string*> inputs[] = {
      {"input video", &*options.inputVideo},
      {"configuration file", &options.configFile},
      {"original slides file", options.slidesOriginals ? &*options.slidesOriginals : nullptr}};
  for (const auto& [what, path] : inputs) {
    if (path && sameFile(options.outputXml, *path))
      throw Error(Error::Kind::kInput, "The results file '" + options.outputXml + "' is the " +
                                           what + "; give another with -o.");
  }
}

}  // namespace

int slidetrackRun(const RunOptions& options) {
  // One thread, as the whole design is: archives are processed one video per core.
  cv::setNumThreads(1);
  if (!options.inputVideo) {
    std::printf("Prezentation extraction\n");
    std::printf("%s", kUsageText);
    throw Error(Error::Kind::kUsage, "Input video name is missing.", 75);
  }
  checkResultsFileIsNoInput(options);
  // Unusable settings end the run here, before the video is searched or the file touched.
  ConfigurationRead configuration = readConfiguration(options.configFile);
  for (const std::string& warning : configuration.warnings)
    std::fprintf(stderr, "Warning: %s\n", warning.c_str());
  PresentationSettings& settings = configuration.settings;
  checkSettings(settings, options.configFile);
  // Not checked: a missing directory shows as pictures that cannot be written.
  if (options.imagesPath) directoryPathCreate(*options.imagesPath);

  Pipeline pipeline(settings, {*options.inputVideo, options.slidesOriginals, options.imagesPath});
  try {
    pipeline.openVideo();
  } catch (const Error& e) {
    throw Error(e.kind(), e.what(), 85);
  }
  SlidePicturesObserver pictures(options.imagesPath);
  ResultsFileObserver results(options.outputXml);
  ConsoleObserver console;
  Display display(options.showWindows);
  WindowsObserver windows(display);
  for (RunObserver* observer :
       {static_cast<RunObserver*>(&pictures), static_cast<RunObserver*>(&results),
        static_cast<RunObserver*>(&console), static_cast<RunObserver*>(&windows)})
    pipeline.addObserver(*observer);

  settings.boardPoints = pipeline.locateScreen(settings.boardPoints);
  try {
    writeConfiguration(options.configFile, settings);
  } catch (const Error&) {
    // An unwritable file costs only the saved corners; the run goes on with them.
  }
  return pipeline.run(settings.boardPoints) == RunEnd::kAborted ? kExitFailure : kExitOk;
}

}  // namespace slidetrack
