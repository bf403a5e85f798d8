// The run's records: opened at a change, closed with their picture, joined when two of them
// showed one slide, and a match taken back.

#include <algorithm>
#include <cstdio>
#include <iterator>
#include <optional>
#include <string>
#include <utility>

#include "app/pipeline.h"
#include "app/record_join.h"
#include "slides/clean_slide.h"
#include "slides/differing_content.h"
#include "slides/joined_picture.h"
#include "slides/same_slide_pictures.h"

namespace slidetrack {

namespace {

// Share of what made a change that both reference looks must have seen for them to join.
constexpr double kMadeSeen = 0.5;

std::string slidePictureName(int t) {
  char name[32];
  std::snprintf(name, sizeof name, "slide_%08d.jpg", t);
  return name;
}

}  // namespace

void Pipeline::withdrawMatch(const SlideRecord& original) {
  // The open record is the deque's last.
  for (auto record = std::next(slides_->slides.rbegin()); record != slides_->slides.rend();
       ++record) {
    if (!record->match) continue;
    if (record->match->id != original.id) return;
    record->match = nullptr;
    record->confidence = 0.0;
    notify([&](RunObserver& o) { o.matchWithdrawn(*record, original); });
    return;
  }
}

void Pipeline::openRecord(int t, double confidence) {
  std::optional<std::string> path;
  if (input_.picturePrefix) path = *input_.picturePrefix + slidePictureName(t);
  slides_->slides.push_back(
      slideRecordMake(nextSlideId_, path ? path->c_str() : nullptr, t, t, confidence));
  ++nextSlideId_;
  open_ = &slides_->slides.back();
  recordOpened_ = true;
}

void Pipeline::closeRecord(int endFrame, const cv::Mat* picture, const cv::Mat* unseen,
                           const SlideLook& look) {
  open_->end = endFrame;
  const EndedMatch ended = matchingStageTakeEnded(matching_);
  if (ended.matchDropped && open_->match) {
    const SlideRecord& original = *open_->match;
    open_->match = nullptr;
    open_->confidence = 0.0;
    notify([&](RunObserver& o) { o.matchWithdrawn(*open_, original); });
  }
  auto& records = slides_->slides;
  const double margin = matching_.matcher.matchJumpMargin;
  const bool sameOriginal = matching_.matcher.matchJoinSame && records.size() >= 2 &&
                            recordsShowOneSlide(*std::prev(records.end(), 2), closedEnd_, *open_,
                                                ended, matching_.matcher.matchJoinMargin);
  const bool join =
      sameOriginal && (!matching_.matcher.matchJoinContent || joinKeepsContent(picture, unseen));
  // A speaker passing leaves a short record between two of one original.
  const bool joinAround =
      !sameOriginal && matching_.matcher.matchJoinSame && records.size() >= 3 &&
      recordsAroundShowOneSlide(*std::prev(records.end(), 3), beforeEnd_,
                                *std::prev(records.end(), 2), closedEnd_, *open_, ended, margin,
                                kShortBetween * frameStep());
  // The picture check alone held the later one back: the two pictures tell. Pictures that do
  // not differ tell nothing here: the lines they compare leave solid blocks out.
  const bool joinRefused = !sameOriginal && !joinAround && matching_.matcher.matchJoinSame &&
                           matching_.matcher.matchJoinRefused && records.size() >= 2 &&
                           recordsShowOneSlideUnlessPictures(*std::prev(records.end(), 2),
                                                             closedEnd_, *open_, ended, margin) &&
                           joinDiffersOnlyOffTheSlide(picture, unseen);
  laterPrepared_ = PreparedPicture();
  const bool joinSame = records.size() >= 2 && joinsSame(picture, unseen, look);
  if (joinLooks_) keepClosedLook(look, joinSame);
  if (join || joinAround || joinRefused || joinSame) {
    // The joined record's verdict stays the one its own evidence decided.
    if (!joinRefused) closedEnd_ = ended;
    if (joinAround) {
      beforeEnd_ = EndedMatch();
      closedPicture_ = beforePicture_;
      closedUnseen_ = beforeUnseen_;
      beforePicture_.release();
      beforeUnseen_.release();
    }
    joinClosedRecords(joinAround ? 2 : 1, picture, unseen);
    return;
  }
  beforeEnd_ = closedEnd_;
  closedEnd_ = ended;
  beforePicture_ = closedPicture_;
  beforeUnseen_ = closedUnseen_;
  closedPicture_.release();
  closedUnseen_.release();
  if (!picture) return;
  // Kept to choose from, and to compare with, should the next record join this one.
  const bool keep = matching_.matcher.matchJoinSame && ended.decided;
  if (!open_->src) {
    if (joinPictures_ ||
        (keep && (matching_.matcher.matchJoinContent || matching_.matcher.matchJoinRefused)))
      keepClosedPicture(*picture, unseen);
    return;
  }
  // Only a decided match fills; one withdrawn later leaves the picture already saved.
  const cv::Mat& shown = originalFill_.apply(*open_, *picture, unseen);
  const cv::Mat& written = originalFill_.withoutSpeaker(*open_, shown);
  notify([&](RunObserver& o) { o.slideEnded(*open_, written); });
  if (keep || joinPictures_) keepClosedPicture(shown, unseen);
}

bool Pipeline::joinsSame(const cv::Mat* picture, const cv::Mat* unseen, const SlideLook& look) {
  // Without originals, a record whose picture shows what the one before showed, where both saw
  // the slide, began at a change the speaker made.
  if (!joinPictures_) return false;
  const cv::Mat none;
  if (!joinLooks_)
    return picture && !closedPicture_.empty() &&
           picturesShowOneSlide(closedPicture_, closedUnseen_, *picture, unseen ? *unseen : none,
                                nullptr, nullptr, joinText_)
               .same;
  // A reference leaves unseen what the decision never saw again: what made the change must
  // lie where both saw the slide.
  if (!look.look || closedLook_.empty()) return false;
  const cv::Mat& later = look.unseen ? *look.unseen : none;
  return (!look.content || shareSeenByBoth(*look.content, closedLookUnseen_, later) >= kMadeSeen) &&
         picturesShowOneSlide(closedLook_, closedLookUnseen_, *look.look, later, &closedPrepared_,
                              &laterPrepared_, joinText_)
             .same;
}

void Pipeline::keepClosedLook(const SlideLook& look, bool joined) {
  if (!look.look) {
    if (!joined) {
      closedLook_.release();
      closedPrepared_ = PreparedPicture();
    }
    return;
  }
  if (joined && !closedLookUnseen_.empty() &&
      (!look.unseen || cv::countNonZero(*look.unseen) >= cv::countNonZero(closedLookUnseen_)))
    return;
  look.look->copyTo(closedLook_);
  closedPrepared_ = std::move(laterPrepared_);
  closedLookUnseen_.release();
  if (look.unseen) look.unseen->copyTo(closedLookUnseen_);
}

void Pipeline::keepClosedPicture(const cv::Mat& picture, const cv::Mat* unseen) {
  // Its own copy: the one before may still share the last. The decision's own picture of
  // the ended slide is never written again, so that one is shared.
  const auto keep = [this](const cv::Mat& from, cv::Mat& into) {
    into.release();
    if (intervalStageKeepsUnchanged(intervals_, from))
      into = from;
    else
      from.copyTo(into);
  };
  keep(picture, closedPicture_);
  closedUnseen_.release();
  if (unseen) keep(*unseen, closedUnseen_);
}

std::optional<DifferingContent> Pipeline::joinContent(const cv::Mat* picture,
                                                      const cv::Mat* unseen) {
  const SlideRecord& original = *std::prev(slides_->slides.end(), 2)->match;
  if (!picture || picture->empty() || closedPicture_.size() != picture->size() || !original.src)
    return std::nullopt;
  const cv::Mat* originalPicture = originalFill_.original(*original.src, picture->size());
  if (!originalPicture) return std::nullopt;
  const cv::Mat noneUnseen, &pictureUnseen = unseen ? *unseen : noneUnseen;
  cv::Mat first, second;
  if (picturesFilled_) {
    first = closedPicture_;
    second = *picture;
  } else {
    filledPicture(closedPicture_, closedUnseen_, first);
    filledPicture(*picture, pictureUnseen, second);
  }
  return compareWithOriginal(first, closedUnseen_, second, pictureUnseen, *originalPicture);
}

bool Pipeline::joinKeepsContent(const cv::Mat* picture, const cv::Mat* unseen) {
  const std::optional<DifferingContent> found = joinContent(picture, unseen);
  if (!found) return true;
  const DifferingContent& content = *found;
  SlideRecord& earlier = *std::prev(slides_->slides.end(), 2);
  const SlideRecord& original = *earlier.match;
  // The change between them was real: the one the original does not show is another slide.
  SlideRecord* other = content.side == OriginalSide::kFirst    ? open_
                       : content.side == OriginalSide::kSecond ? &earlier
                                                               : nullptr;
  if (!other) return true;
  other->match = nullptr;
  other->confidence = 0.0;
  notify([&](RunObserver& o) { o.matchWithdrawn(*other, original); });
  return false;
}

bool Pipeline::joinDiffersOnlyOffTheSlide(const cv::Mat* picture, const cv::Mat* unseen) {
  const std::optional<DifferingContent> content = joinContent(picture, unseen);
  return content && content->side == OriginalSide::kNeither;
}

void Pipeline::joinClosedRecords(int joined, const cv::Mat* picture, const cv::Mat* unseen) {
  auto& records = slides_->slides;
  SlideRecord& earlier = *std::prev(records.end(), joined + 1);
  for (auto record = std::prev(records.end(), joined); record != records.end(); ++record)
    notify([&](RunObserver& o) { o.recordJoined(*record, earlier); });
  earlier.end = open_->end;
  earlier.confidence = std::min(earlier.confidence, open_->confidence);
  // The joined record keeps its own name; its file gets the picture that shows more of the
  // slide (with slideJoinBoth, made of both where they differ), and the later record's is never
  // written.
  if (!earlier.match && picture && !picture->empty()) {
    joinPicture(earlier, *picture, unseen);
  } else if (earlier.src && picture && !picture->empty()) {
    const cv::Mat& shown = originalFill_.apply(*open_, *picture, unseen);
    const bool later = closedPicture_.empty() ||
                       pictureDistanceFromOriginal(matching_, shown, *earlier.match) <
                           pictureDistanceFromOriginal(matching_, closedPicture_, *earlier.match);
    if (!(settings_.slideJoinBoth == 1 && joinBothPictures(earlier, shown, unseen, later)) &&
        later) {
      const cv::Mat& written = originalFill_.withoutSpeaker(earlier, shown);
      notify([&](RunObserver& o) { o.slideEnded(earlier, written); });
      keepClosedPicture(shown, unseen);
    }
  }
  records.erase(std::prev(records.end(), joined), records.end());
  nextSlideId_ -= joined;
  open_ = &earlier;
}

bool Pipeline::joinBothPictures(SlideRecord& earlier, const cv::Mat& shown, const cv::Mat* unseen,
                                bool later) {
  if (closedPicture_.empty() || !earlier.match->src) return false;
  cv::Mat joined = (later ? shown : closedPicture_).clone();
  const cv::Mat* original = originalFill_.original(*earlier.match->src, joined.size());
  if (!original || !joinFromOriginal(joined, later ? closedPicture_ : shown, *original))
    return false;
  // Unseen is what neither saw: what one filled from the original the other may have seen.
  cv::Mat neither;
  if (unseen && !unseen->empty() && closedUnseen_.size() == unseen->size())
    cv::bitwise_and(*unseen, closedUnseen_, neither);
  const cv::Mat& written = originalFill_.withoutSpeaker(earlier, joined);
  notify([&](RunObserver& o) { o.slideEnded(earlier, written); });
  keepClosedPicture(joined, neither.empty() ? nullptr : &neither);
  return true;
}

void Pipeline::joinPicture(SlideRecord& earlier, const cv::Mat& picture, const cv::Mat* unseen) {
  const int unseenNow = unseen ? cv::countNonZero(*unseen) : 0;
  if (!closedPicture_.empty() &&
      (closedUnseen_.empty() || unseenNow >= cv::countNonZero(closedUnseen_)))
    return;
  // Kept whether or not it is written, so that the next record meets the same picture.
  if (earlier.src) notify([&](RunObserver& o) { o.slideEnded(earlier, picture); });
  keepClosedPicture(picture, unseen);
}

}  // namespace slidetrack
