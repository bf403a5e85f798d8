#include "app/console_observer.h"

#include <cstdio>

namespace slidetrack {

void ConsoleObserver::cornersRefused() {
  std::fprintf(stderr,
               "Warning: the stored screen corners cannot outline a screen in this video; "
               "they are taken as absent.\n");
}

void ConsoleObserver::searchStarted() { std::printf("Start presentation detection.\n"); }

void ConsoleObserver::searchSample(int position) {
  std::printf("Seek the video position: %d\n", position);
}

void ConsoleObserver::searchFoundRecording() {
  std::printf("The video is a screen recording: the whole frame is the slide.\n");
}

void ConsoleObserver::searchFinished(bool found) {
  std::printf("Presentation screen was %slocalized.\n", found ? "" : "NOT ");
  std::fflush(stdout);
}

void ConsoleObserver::wholeFrameScreen() {
  // Said before the positioning, whose fragment has no line end.
  std::printf("No screen corners known: the whole frame is taken as the screen.\n");
}

void ConsoleObserver::videoPositioned(unsigned frame, long long micros) {
  std::printf("%-15u /%-15lld", frame, micros);
}

void ConsoleObserver::originalsUnusable(const std::string& path) {
  std::fprintf(stderr,
               "Warning: no original slides could be read from '%s'; running without "
               "matching.\n",
               path.c_str());
}

void ConsoleObserver::originalUnread(const SlideRecord& original, const std::string& path,
                                     const std::string& cause) {
  // Such an original can never be matched: the user should know before trusting the run.
  std::fprintf(stderr,
               "Warning: the original slide '%s' listed in '%s' cannot be read (%s); it takes "
               "no part in the matching.\n",
               original.src ? original.src->c_str() : "", path.c_str(), cause.c_str());
}

void ConsoleObserver::libraryAborted() {
  std::printf("\nAnalysis of the original slides aborted.\n");
}

void ConsoleObserver::frameStepChosen(int step, double framesPerSecond) {
  // Ends the positioning's line; "Start process frames" ends this one.
  std::printf("\nFrame step: %d (the video has %.3g frames per second)", step, framesPerSecond);
}

void ConsoleObserver::framesStarted() { std::printf("\nStart process frames\n"); }

void ConsoleObserver::frameStarted(int t, int frameCount) {
  std::printf("Frame[% 8d:% 8d] ", t, frameCount);
}

void ConsoleObserver::slideChanged(const SlideRecord& opened) {
  std::printf("\t !SlideChange[% 6d:% 5.3f] ", opened.id, opened.confidence);
  lineOpen_ = true;
}

void ConsoleObserver::noMatch(const SlideRecord& best, double score) {
  std::printf("\t -NoMatch[% 6d:% 5.3f] ", best.id, score);
}

void ConsoleObserver::matchDecided(const SlideRecord& original, double score) {
  std::printf("\t +SlideMatch[% 6d:% 5.3f] ", original.id, score);
}

void ConsoleObserver::matchChanged(const SlideRecord& from, const SlideRecord& to, double score) {
  std::printf("\t -> SlideMatchChange[% 6d -> % 6d:% 5.3f] ", from.id, to.id, score);
}

void ConsoleObserver::matchWithdrawn(const SlideRecord& record, const SlideRecord& original) {
  std::printf("\t -MatchWithdrawn[% 6d:% 6d] ", record.id, original.id);
}

void ConsoleObserver::recordJoined(const SlideRecord& joined, const SlideRecord& into) {
  std::printf("\t -SlideJoined[% 6d:% 6d] ", joined.id, into.id);
  lineOpen_ = true;
}

Control ConsoleObserver::frameDone(const FrameEvent&) {
  std::printf("\n");
  lineOpen_ = false;
  return Control::kGoOn;
}

void ConsoleObserver::runFinished(const SlideList&) {
  // What the run's end reported after the last frame's line gets a line end of its own.
  if (lineOpen_) std::printf("\n");
  std::fflush(stdout);
}

}  // namespace slidetrack
