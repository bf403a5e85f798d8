#pragma once
// Pen strokes written over a slide: thin lines in a saturated colour. A lecturer who
// annotates the slide shown has not moved on to another one.

#include <opencv2/core.hpp>

namespace slidetrack {

// strokes gets the newPixels (work-size 8-bit map, 255 = new content) that are thin lines
// of a saturated colour in screenBgr (any size).
void inkStrokes(const cv::Mat& screenBgr, const cv::Mat& newPixels, cv::Mat& strokes);

// What is being written now: written gets the newPixels in a saturated colour that also
// changed since the last processed frame (moving, same size), apart from those near a
// broad moving region (a hand or an arm, whose coloured fringe is thin too); strokes gets
// the pen strokes of them.
void writtenStrokes(const cv::Mat& screenBgr, const cv::Mat& newPixels, const cv::Mat& moving,
                    cv::Mat& written, cv::Mat& strokes);

// Whether the strokes marked in a and in b (work-size maps) are of one pen: the most common
// hue of each in screenBgr lies within a few degrees of the other's. A pointing arm in
// coloured clothes moves like a pen writing; it is rarely of the colour of the ink.
bool sameInk(const cv::Mat& screenBgr, const cv::Mat& a, const cv::Mat& b);

// How many of the marked pixels (8-bit map) lie in long, simple lines, when one of them reaches
// into near (same size), the pen's place; 0 otherwise. Lines are pieces that span at least
// minLength pixels and cross most rows and columns they span once or twice, as a written line,
// an underline or a circle does. Letters of text are short, and a word or a line of them
// crosses its rows many times.
int penLinePixels(const cv::Mat& strokes, int minLength, const cv::Mat& near);

// lines gets the pen strokes of newPixels (work size) in the colour of those that lie in seen
// that make long, simple lines (penLinePixels) reaching into seen: writing that runs on under
// someone, of which seen holds what shows beside him.
void penLinesThrough(const cv::Mat& screenBgr, const cv::Mat& newPixels, const cv::Mat& seen,
                     int minLength, cv::Mat& lines);

}  // namespace slidetrack
