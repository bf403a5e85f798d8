#pragma once
// Slide decks given as a directory of page pictures (e.g. rendered from a PDF).

#include <string>
#include <vector>

#include <opencv2/core.hpp>

// The PNG pages of a directory in page order: by the last number in the name, then by
// name, so "page-2.png" comes before "page-10.png". Empty when there are none.
std::vector<std::string> listDeckPages(const std::string& dir);
// The slide size for a deck: the given width, the first page's aspect; 4:3 without pages.
cv::Size deckSlideSize(const std::vector<std::string>& pages, int width = 1024);
