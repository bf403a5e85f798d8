#include "app/run.h"

#include <sys/stat.h>

#include <cstdio>
#include <string>

#include "app/console_observer.h"
#include "app/display.h"
#include "app/output_observers.h"
#include "app/pipeline.h"
#include "app/run_paths.h"
#include "app/settings_file.h"
#include "app/windows_observer.h"
#include "common/error.h"

namespace slidetrack {

namespace {

// The corners found are kept in the configuration, unless the user made it read-only.
void saveConfiguration(const std::string& path, const PresentationSettings& settings) {
  struct stat info;
  if (stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && (info.st_mode & 0222) == 0) {
    std::fprintf(stderr, "Note: the configuration file '%s' is read-only; it is not rewritten.\n",
                 path.c_str());
    return;
  }
  try {
    writeConfiguration(path, settings);
  } catch (const Error&) {
    // An unwritable file costs only the saved corners; the run goes on with them.
  }
}

// A pipe or device can be read once only: the search would consume what the run needs.
bool searchable(const std::string& video) {
  struct stat info;
  return stat(video.c_str(), &info) != 0 || S_ISREG(info.st_mode);
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
  checkRunPaths(options);
  // Unusable settings end the run here, before the video is searched or the file touched.
  ConfigurationRead configuration = readConfiguration(options.configFile);
  PresentationSettings& settings = configuration.settings;
  checkSettings(settings, options.configFile);
  prepareOutputs(options);

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

  if (!settings.boardPoints.empty() || searchable(*options.inputVideo)) {
    settings.boardPoints = pipeline.locateScreen(settings.boardPoints);
    saveConfiguration(options.configFile, settings);
  } else {
    std::fprintf(stderr,
                 "Warning: the input video '%s' is not a regular file and cannot be "
                 "searched for the screen.\n",
                 options.inputVideo->c_str());
  }
  if (pipeline.run(settings.boardPoints) == RunEnd::kAborted) return kExitFailure;
  // The results are saved; pictures that could not be written were warned about.
  return pictures.failed() ? kExitFailure : kExitOk;
}

}  // namespace slidetrack
