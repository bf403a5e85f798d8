#include "slides/speaker_either.h"

#include <opencv2/imgproc.hpp>

#include "slides/colour_off.h"
#include "slides/even_light.h"
#include "slides/speaker_body.h"

namespace slidetrack {

namespace {

void speakerIn(const ScreenLook& look, int background, int commonGrey, const cv::Mat& live,
               const cv::Mat& covered, cv::Mat& body, bool upperGrey) {
  // Clothing of the background's grey is found by its hue. A region joined to the slide's
  // shapes stays no body: those may be the new content.
  cv::Mat off, even;
  colourOffBackground(look.colour, look.grey, commonGrey, off, covered, upperGrey);
  const BodyHints hints{off, {}, false, true, {}};
  // With the screen's uneven light taken out: vignetting darkens the slide's lower corners
  // as far from its background as clothing, which would join him to the whole rim.
  evenLight(look.grey, background, covered, even);
  speakerBody(even, background, live, body, &hints);
}

// The blur of his outline.
const cv::Mat& outline() {
  static const cv::Mat shape = cv::getStructuringElement(cv::MORPH_ELLIPSE, cv::Size(5, 5));
  return shape;
}

}  // namespace

void speakerInEither(const ScreenLook& now, const ScreenLook& ref, int background, int commonGrey,
                     const cv::Mat& live, const cv::Mat& covered, cv::Mat& hidden, bool upperGrey) {
  cv::Mat before;
  speakerIn(now, background, commonGrey, live, covered, hidden, upperGrey);
  speakerIn(ref, background, commonGrey, live, covered, before, upperGrey);
  cv::bitwise_or(hidden, before, hidden);
  cv::dilate(hidden, hidden, outline());
}

void speakerInLook(const ScreenLook& look, int background, int commonGrey, const cv::Mat& live,
                   const cv::Mat& covered, cv::Mat& hidden, bool upperGrey) {
  // Growing commutes with the union: each look grown alone adds up to the two grown at once.
  speakerIn(look, background, commonGrey, live, covered, hidden, upperGrey);
  cv::dilate(hidden, hidden, outline());
}

}  // namespace slidetrack
