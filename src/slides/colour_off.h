#pragma once
// Where the screen's colour, its brightness apart, is unlike the slide's background: a shirt
// of the background's grey in another colour (beige or light blue on a white slide), or skin.
// A hint for speakerBody, whose shape rules keep a slide's own coloured shapes out.

#include <opencv2/core.hpp>

namespace slidetrack {

// colour: the screen image at work size (BGR; the codec keeps colour at half resolution
// anyway); work: its grey work image (screenWorkImage); background: the slide's background
// grey. off (work size): 255 where the colour differs from the background's own; all 0 when
// too little background shows to tell its colour. exclude (work size, may be empty): where a
// person was found, whose shirt may outnumber the background at its grey. upperGrey: when too
// few pixels of the screen's upper part lie near background, as under light that falls off
// towards the top, the colour comes from those near the upper part's own background grey.
void colourOffBackground(const cv::Mat& colour, const cv::Mat& work, int background, cv::Mat& off,
                         const cv::Mat& exclude = cv::Mat(), bool upperGrey = false);

}  // namespace slidetrack
