#pragma once
// How a run decides which original a slide shows.

#include <string>

namespace slidetrack {

struct MatcherOptions {
  enum class Method {
    kPlain,     // votes of nearest windows, runner-up / best below matchLimit
    kEvidence,  // distances over the windows that tell originals apart, and a fit test
    kUnknown,   // a name in the configuration that is neither; refused by the check
  };
  float matchLimit = 0.5f;  // runner-up / best vote ratio below which a match is decided
  Method method = Method::kEvidence;
  float matchMargin = 0.2f;  // share of the evidence between the two nearest originals
                             // that must side with the nearest
  float matchFit = 0.4f;     // share of the frame's and the original's content windows
                             // the original must explain
  // The margin needed for an original other than the last one matched or the next in the
  // list: talks mostly advance one slide, and a slide that is not among the originals
  // leans to some other one of the same template.
  float matchJumpMargin = 0.4f;
  // When an interval names an original an earlier interval's record kept: the share of the
  // picture cells where the originals differ that it may leave unexplained beyond the latest
  // such interval (a slide that is not among them, drawn like it but for a block or a few
  // lines); 1: no picture check.
  float matchUnexplained = 0.12f;
  // Squared distance of a window's features from how the interval first showed it beyond
  // which the window counts as changed. Frames that keep showing another original within an
  // interval name it only when the changed windows side with it by matchMargin; 0: not asked.
  float matchChangeDistance = 0.1f;
  // An ended record whose interval's whole evidence no longer decided the match its frames had
  // decided loses it when the next interval decides the same original by matchJumpMargin: it
  // showed a slide that is not among the originals and leans to that one. 0: a record keeps
  // the match its frames decided last.
  int matchWithdraw = 1;
  // Two records in a row whose intervals' whole evidence decided the same original by
  // matchJoinMargin, the later one as the original expected, showed one slide: nothing changed
  // on the screen between them (a speaker uncovering what the slide's first look missed).
  // 0: they stay apart.
  int matchJoinSame = 1;
  // Frames that each leave the share of their content windows that the record's original
  // explains below matchFit and below this share of the best the interval's frames showed, and
  // do not side with it, end the record where they began: a slide that is not among the
  // originals took over without a reported change. 0: the record goes on.
  float matchFitDrop = 0.35f;
  // Before two such records join, their pictures are compared where their content differs:
  // the original there agrees with one of them, and the other is not that original (a slide
  // that is not among the originals, a sibling of it). 0: they join on the evidence alone.
  int matchJoinContent = 1;
  // A record whose interval the evidence decided for the original of the record before, as
  // the one expected, but the picture check did not (a speaker the mask partly missed), joins
  // that record when their slide pictures differ only where both have marks of their own that
  // the original explains in neither. 0: they stay apart.
  int matchJoinRefused = 1;
  // Once an interval's evidence decided its original by this margin and the last frame read
  // alone agreed, a frame that shows the visible slide as that one did counts as it again
  // instead of being read, and one whose new content waits for its second look is read only
  // if the change is not confirmed. 0: every processed frame is read.
  float matchQuietMargin = 0.4f;
  // A run that began with a frame clearly showing the next original goes on through frames
  // that side with none, and starts the evidence anew once this many of its frames lean to
  // that original and together decide it: a build half behind the speaker shows clearly
  // only now and then. 0: a run needs two clear frames.
  int matchLeanFrames = 4;
  // An interval whose whole evidence decides no original loses a match its frames decided
  // out of the deck's order (neither the original decided before it nor the next): a slide that
  // is not among the originals looked at first like some other one of its template. 0: it keeps
  // the match its frames decided last, as any other.
  int matchDropJump = 1;
  // The margin by which the whole evidence of each of two records in a row must decide one
  // original for them to join (matchJoinSame): the later one, begun at a change the speaker
  // made, is often short and half hidden, and its evidence no surer than any record's. As
  // matchJumpMargin: only records as sure as a jump out of the deck's order join.
  float matchJoinMargin = 0.2f;
  // An interval whose whole evidence decides no original loses a match its frames decided to
  // the original shown before it: a slide change was seen, and a slide that is not among the
  // originals, sharing the last one's template, looked at first like it. 0: it keeps it.
  int matchDropRepeat = 1;
};

// Throws an Error naming configFile and the first key that is out of range.
void checkMatcherOptions(const MatcherOptions& options, const std::string& configFile);

// "plain" or "evidence"; kUnknown for any other name.
MatcherOptions::Method matchMethodFromName(const std::string& name);

}  // namespace slidetrack
