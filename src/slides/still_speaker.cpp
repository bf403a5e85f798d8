#include "slides/still_speaker.h"

#include <vector>

#include <opencv2/imgproc.hpp>

namespace slidetrack {

void standingThrough(const ScreenLook& now, int background, int commonGrey, const cv::Mat& differs,
                     const cv::Mat& covered, bool upperGrey, cv::Mat& body) {
  // The new slide's own shapes differ from the old one's; he does not, so he touches what
  // stayed, as everything unchanged does.
  cv::Mat same;
  cv::bitwise_not(differs, same);
  speakerInLook(now, background, commonGrey, same, covered, body, upperGrey);
  body.setTo(0, differs);
  // He stands in front of the screen, so he reaches its lower edge: the slide's bars that stay
  // from one slide to the next, along its top or sides, do not.
  cv::Mat labels;
  const int n = cv::connectedComponents(body, labels, 8, CV_32S);
  std::vector<unsigned char> standing(size_t(n), 0);
  const int* bottom = labels.ptr<int>(labels.rows - 1);
  for (int x = 0; x < labels.cols; ++x) standing[size_t(bottom[x])] = bottom[x] > 0;
  for (int y = 0; y < labels.rows; ++y) {
    const int* l = labels.ptr<int>(y);
    unsigned char* b = body.ptr<unsigned char>(y);
    for (int x = 0; x < labels.cols; ++x) b[x] = standing[size_t(l[x])] ? 255 : 0;
  }
}

}  // namespace slidetrack
