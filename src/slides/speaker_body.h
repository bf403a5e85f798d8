#pragma once
// Where a person stands in one screen image alone, whatever the slide reference holds:
// a large plain region far from the slide's background grey that enters from the bottom or
// a side edge, as someone in front of the screen does.

#include <opencv2/core.hpp>

namespace slidetrack {

// work: 8-bit grey; background: the slide's background grey; live: where something moves
// or a person was found, which a body must touch (a slide's own plain shapes do not move).
// body: 255 on the person, grown by a few pixels so that his outline is part of it.
// hints, for the picture: off (work size, may be empty) marks more pixels unlike the
// background, such as clothing of its grey in another colour; near (may be empty) is what
// moved just before. A region joined to a slide's bar or side bar, which alone would be no
// person, keeps what rises above where it meets the bottom edge, and its parts near.
struct BodyHints {
  cv::Mat off, near;
  // Off: regions joined to a bar are no person at all, as without hints.
  bool cutJoined = true;
  // A region too wide or too tall for a body only by thin parts, an arm held out or raised,
  // is judged by its trunk: what rises from the bottom edge once parts thinner than a third
  // of where it meets that edge are taken off. The thin parts touching it are his too, and
  // the small thick ones they or the trunk hold (his head and hands).
  bool limbs = false;
  // The work image's plain pixels from bodyPlainPixels, when a caller made them already.
  cv::Mat plain;
};
void speakerBody(const cv::Mat& work, int background, const cv::Mat& live, cv::Mat& body,
                 const BodyHints* hints = nullptr);
// 255 where the work image is plain enough for a body's inside, as speakerBody judges it.
void bodyPlainPixels(const cv::Mat& work, cv::Mat& plain);

// The slide's background for finding a body: vignetting spreads it over tens of grey levels
// while plain clothing sits at one, so it is the grey with the most pixels within spread of
// it (the lowest such grey on a tie).
int backgroundGrey(const int (&histogram)[256], int spread);

}  // namespace slidetrack
