#include "app/run_paths.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <regex>
#include <string>
#include <system_error>
#include <vector>

#include "app/directory_path.h"
#include "common/error.h"
#include "results/atomic_file.h"

namespace slidetrack {

namespace {

namespace fs = std::filesystem;

// Control characters are not allowed in XML at all, and the results file is UTF-8.
const char* unwritableInXml(const std::string& text) {
  for (size_t i = 0; i < text.size();) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (c < 0x20 || c == 0x7f) return "a control character";
    int length = c < 0x80           ? 1
                 : (c >> 5) == 0x6  ? 2
                 : (c >> 4) == 0xe  ? 3
                 : (c >> 3) == 0x1e ? 4
                                    : 0;
    if (length == 0 || i + length > text.size()) return "bytes that are not UTF-8";
    for (int k = 1; k < length; ++k)
      if ((static_cast<unsigned char>(text[i + k]) & 0xc0) != 0x80)
        return "bytes that are not UTF-8";
    i += length;
  }
  return nullptr;
}

// Symbolic links in the part that exists are followed, "." and ".." resolved.
std::string normalised(const std::string& path) {
  std::error_code error;
  fs::path absolute = fs::absolute(path, error);
  if (error) return path;
  fs::path canonical = fs::weakly_canonical(absolute, error);
  return (error ? absolute.lexically_normal() : canonical).string();
}

bool samePlace(const std::string& a, const std::string& b) {
  std::error_code error;
  return fs::equivalent(a, b, error) || normalised(a) == normalised(b);
}

// A file that is one of the pictures prefix + "slide_%08d.jpg".
bool isSlidePicture(const std::string& path, const std::string& prefix) {
  static const std::string kSample = "slide_00000000.jpg";
  std::string pictures = normalised(prefix + kSample);
  pictures.resize(pictures.size() - kSample.size());
  const std::string file = normalised(path);
  static const std::regex kName(R"(slide_\d{8,}\.jpg)");
  return file.compare(0, pictures.size(), pictures) == 0 &&
         std::regex_match(file.substr(pictures.size()), kName);
}

struct NamedPath {
  const char* what;
  const std::string* path;
};

}  // namespace

void checkRunPaths(const RunOptions& options) {
  const std::string& video = *options.inputVideo;
  const std::string* originals = options.slidesOriginals ? &*options.slidesOriginals : nullptr;
  const std::string* images = options.imagesPath ? &*options.imagesPath : nullptr;
  for (const NamedPath named :
       {NamedPath{"input video", &video}, NamedPath{"original slides file", originals},
        NamedPath{"images path", images}}) {
    if (!named.path) continue;
    if (const char* bad = unwritableInXml(*named.path))
      throw Error(Error::Kind::kInput, "The " + std::string(named.what) + " path holds " + bad +
                                           ", which the results file cannot hold; rename it.");
  }
  // The results file and the configuration are replaced during the run, the pictures are
  // written: none of them may be an input or another of them.
  const NamedPath outputs[] = {{"results file", &options.outputXml},
                               {"configuration file", &options.configFile}};
  const NamedPath inputs[] = {{"input video", &video},
                              {"configuration file", &options.configFile},
                              {"original slides file", originals}};
  for (const NamedPath& output : outputs) {
    for (const NamedPath& input : inputs) {
      if (!input.path || input.path == output.path) continue;
      if (samePlace(*output.path, *input.path))
        throw Error(Error::Kind::kInput, "The " + std::string(output.what) + " '" + *output.path +
                                             "' is the " + input.what + "; give another.");
    }
  }
  if (!images) return;
  for (const NamedPath& file : {outputs[0], outputs[1], inputs[0], inputs[2]}) {
    if (file.path && isSlidePicture(*file.path, *images))
      throw Error(Error::Kind::kInput, "The " + std::string(file.what) + " '" + *file.path +
                                           "' is one of the slide pictures of the images path '" +
                                           *images + "'; give another.");
  }
}

void prepareOutputs(const RunOptions& options) {
  checkFileWritable(options.outputXml, "the results file");
  if (!options.imagesPath) return;
  const std::string& prefix = *options.imagesPath;
  if (!directoryPathCreate(prefix))
    throw Error(Error::Kind::kOutput,
                "Cannot create the images path '" + prefix + "': " + std::strerror(errno) + ".");
  checkFileWritable(prefix + "slide_00000000.jpg", "the slide picture");
}

}  // namespace slidetrack
