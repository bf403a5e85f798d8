#pragma once
// Slides of one template, as a talk's deck has them: a title bar, a footer with navigation
// dots, and bullet lines in the body that differ from slide to slide.

#include <string>
#include <vector>

#include <opencv2/imgproc.hpp>

inline cv::Mat templateSlide(const std::string& title, const std::vector<std::string>& lines,
                             const std::string& footer = "Conference 2024 - A. Speaker",
                             int dots = 5) {
  cv::Mat s(768, 1024, CV_8UC3, cv::Scalar(250, 250, 250));
  cv::rectangle(s, {0, 0, 1024, 90}, cv::Scalar(120, 60, 20), cv::FILLED);
  cv::putText(s, title, {40, 62}, cv::FONT_HERSHEY_SIMPLEX, 1.6, cv::Scalar(255, 255, 255), 3);
  cv::rectangle(s, {0, 720, 1024, 48}, cv::Scalar(120, 60, 20), cv::FILLED);
  cv::putText(s, footer, {30, 752}, cv::FONT_HERSHEY_SIMPLEX, 0.8, cv::Scalar(255, 255, 255), 2);
  for (int i = 0; i < dots; ++i)
    cv::circle(s, {800 + 35 * i, 744}, 9, cv::Scalar(255, 255, 255), 2);
  for (size_t i = 0; i < lines.size(); ++i) {
    const int y = 170 + 95 * static_cast<int>(i);
    cv::circle(s, {70, y - 12}, 9, cv::Scalar(120, 60, 20), cv::FILLED);
    cv::putText(s, lines[i], {100, y}, cv::FONT_HERSHEY_SIMPLEX, 1.2, cv::Scalar(30, 30, 30), 2);
  }
  return s;
}
