#pragma once
// An arm that reaches over a slide as it appears, from a body or from beyond the screen's
// edge, and holds still: the slide's first look takes it, and so does every look while it
// stays, yet it is no part of the slide. Such a limb is known by its shape in the first look
// (a thin plain region off the slide's background that reaches the screen's edge or a body);
// once it has gone, its place differs from that look and holds still, and is taken then.

#include <opencv2/core.hpp>

namespace slidetrack {

// screenBgr, work: the first look's screen image and its grey work image; background: the slide's
// background grey; body: where the speaker was found in it; unseen: what the picture holds as not
// seen. limbs (work size) gets 255 on the thin plain regions off the background, outside body and
// unseen, that reach the screen's edge or the body, and are small enough for an arm.
void firstLookLimbs(const cv::Mat& screenBgr, const cv::Mat& work, int background,
                    const cv::Mat& body, const cv::Mat& unseen, cv::Mat& limbs);

// At the work size: the screen image now and at the first look, in colour, and the slide's
// picture as taken so far, with what of it was never seen (255). For the parts of a region
// judged on their own: the screen image now at its own size, its grey work image and the
// slide's background grey (-1: not known).
struct LimbLooks {
  cv::Mat colour, firstColour, picture, unseen;
  cv::Mat screen, work;
  int background = -1;
};

// Of limbs, the regions the arm has left: a good share of what of them holds still (still: 255
// where nothing moved lately, outside the speaker) differs from the first look (changed: in
// grey, beyond a small shift; or in colour) and now shows the colours of the screen round it
// where that shows what the picture took there, as another arm come there does not. gone gets those
// regions' still pixels that do so, and those that did not change, which the picture holds already.
// parts, when given, gets of the regions that have not gone as a whole (an arm joined to a slide's
// bar, which never changes) the changed, still parts that show the slide: the colours round them,
// or no plain colour off the background, as a sleeve has. They stay limbs, to go as a whole later:
// a part judged alone leaves bits too small to judge.
void limbsGone(const cv::Mat& limbs, const LimbLooks& looks, const cv::Mat& still,
               const cv::Mat& changed, cv::Mat& gone, cv::Mat* parts = nullptr);

}  // namespace slidetrack
