#include "matching/picture_check.h"

#include <algorithm>
#include <cmath>

#include <opencv2/imgproc.hpp>

#include "matching/covered_cells.h"
#include "matching/original_library.h"

namespace slidetrack {

namespace {

const cv::Size kGrid(16, 12);
// Blurs (across, up; picture pixels) tried on the original: camera focus, H.264, shake
// within an exposure and a small screen's few pixels all soften the frame. The last one
// merges text lines: a cell it explains best cannot tell a different block from the original's.
const cv::Size2d kBlurs[] = {{0, 0},     {0.6, 0.6}, {1, 1},     {1.5, 1.5}, {2.2, 2.2},
                             {1.5, 0.6}, {2.5, 0.8}, {0.6, 1.5}, {3.2, 3.2}};
const int kBlurCount = sizeof(kBlurs) / sizeof(kBlurs[0]);
// A registration error of the corners larger than this is not a shift to correct.
const double kMostShift = 3.0;
// Mean squared grey difference up to which the originals' cells count as one picture part.
const float kAlike = 36.f;
// A cell fails when the frame shows structure the original does not: this share of the
// frame's variance there left over...
const double kUnexplainedShare = 0.5;
// ...and that is several times what noise leaves in a typical cell, plus a grey-level floor.
const double kNoiseTimes = 4.0, kFloor = 9.0;
// Correlation above which a cell shows the original's lines, and the change of its ground,
// as a share of the frame's black-to-white, that makes it another slide's.
const double kAlikeLines = 0.5, kRecoloured = 0.15;
// Cells that must have been judged before a share is told.
const int kJudgedCells = 8;

cv::Mat cellMeans(const cv::Mat& picture) {
  cv::Mat means;
  cv::resize(picture, means, kGrid, 0, 0, cv::INTER_AREA);
  return means;
}

}  // namespace

void pictureCheckBuild(const OriginalSlideLibrary& library, PictureCheckLibrary& out) {
  out = PictureCheckLibrary();
  if (library.pictures.empty() || static_cast<int>(library.pictures.size()) != library.count)
    return;
  out.size = library.pictures[0].size();
  for (const cv::Mat& p : library.pictures) {
    if (p.size() != out.size || p.type() != CV_8UC1) return out = PictureCheckLibrary(), void();
    out.pictures.emplace_back();
    p.convertTo(out.pictures.back(), CV_32F);
  }
  out.cells = kGrid.area();
  for (const cv::Mat& p : out.pictures) {
    const cv::Mat m = cellMeans(p), mm = cellMeans(p.mul(p));
    for (int c = 0; c < out.cells; ++c) {
      const float mean = m.at<float>(c / kGrid.width, c % kGrid.width);
      out.content.push_back(mm.at<float>(c / kGrid.width, c % kGrid.width) - mean * mean > kAlike);
    }
  }
  // With one original nothing differs; every cell then counts.
  out.apart.assign(out.cells, out.pictures.size() == 1 ? 1 : 0);
  for (size_t k = 1; k < out.pictures.size(); ++k) {
    cv::Mat d = out.pictures[k] - out.pictures[0];
    const cv::Mat m = cellMeans(d.mul(d));
    for (int c = 0; c < out.cells; ++c)
      if (m.at<float>(c / kGrid.width, c % kGrid.width) > kAlike) out.apart[c] = 1;
  }
}

void pictureFramePrepare(const PictureCheckLibrary& library, const cv::Mat& featureImage,
                         const cv::Mat& coveredMask, PictureFrame& out) {
  out.covered.clear();
  if (library.pictures.empty() || featureImage.empty()) {
    out.picture.release();
    return;
  }
  cv::Mat small;
  cv::resize(featureImage, small, library.size, 0, 0, cv::INTER_AREA);
  small.convertTo(out.picture, CV_32F);
  if (coveredMask.empty() || coveredMask.type() != CV_8UC1) return;
  cv::Mat share;
  coveredCellShares(coveredMask, kGrid, share);
  // The mask follows a person's outline only roughly: the cells around it go too.
  cv::Mat grid = share >= 85;
  cv::dilate(grid, grid, cv::Mat());
  out.covered.assign(grid.datastart, grid.dataend);
}

bool pictureCheck(const PictureCheckLibrary& library, int k, const PictureFrame& frame, int* tested,
                  int* failed) {
  if (k < 0 || k >= static_cast<int>(library.pictures.size()) || frame.picture.empty())
    return false;
  const cv::Mat& f = frame.picture;
  const cv::Mat& original = library.pictures[k];
  // The corners may be off by a pixel or the screen shake: the original follows the frame.
  // (phaseCorrelate weighs its inputs in place: it gets copies.)
  thread_local cv::Mat window, from, to;
  if (window.size() != f.size()) cv::createHanningWindow(window, f.size(), CV_32F);
  original.copyTo(from);
  f.copyTo(to);
  cv::Point2d shift = cv::phaseCorrelate(from, to, window);
  if (std::hypot(shift.x, shift.y) > kMostShift) shift = cv::Point2d();
  cv::Mat shifted;
  const cv::Matx23d move(1, 0, shift.x, 0, 1, shift.y);
  cv::warpAffine(original, shifted, move, f.size(), cv::INTER_LINEAR, cv::BORDER_REPLICATE);
  const cv::Mat fMean = cellMeans(f), ffMean = cellMeans(f.mul(f));
  const int cells = library.cells;
  const auto uncovered = [&](int c) { return frame.covered.empty() || !frame.covered[c]; };
  // Per column of cells, the blur that explains the frame best: an oblique view softens the
  // far side of the screen more, and across more than up. (Per cell, a blur would explain a
  // block shown with less contrast than the original's.)
  std::vector<double> res(cells, -1), energy(cells, 0), left(cells), columnRes(kGrid.width, -1);
  std::vector<int> blurOf(cells, 0);
  std::vector<double> vf(cells), vo(cells), cov(cells), strong, gains;
  std::vector<double> alike(cells, 0), shade(cells, 0), gainOf(cells, 0);
  for (int b = 0; b < kBlurCount; ++b) {
    const cv::Size2d blur = kBlurs[b];
    cv::Mat o;
    if (blur.width > 0)
      cv::GaussianBlur(shifted, o, cv::Size(0, 0), blur.width, blur.height, cv::BORDER_REPLICATE);
    else
      o = shifted;
    const cv::Mat oMean = cellMeans(o), ooMean = cellMeans(o.mul(o)), foMean = cellMeans(f.mul(o));
    strong.clear();
    for (int c = 0; c < cells; ++c) {
      const int r = c / kGrid.width, col = c % kGrid.width;
      const double mf = fMean.at<float>(r, col), mo = oMean.at<float>(r, col);
      vf[c] = std::max(0.0, ffMean.at<float>(r, col) - mf * mf);
      vo[c] = std::max(0.0, ooMean.at<float>(r, col) - mo * mo);
      cov[c] = foMean.at<float>(r, col) - mf * mo;
      if (uncovered(c)) strong.push_back(vo[c]);
    }
    if (strong.empty()) return false;
    // The gain of the cells where the original shows most, by their median: a speaker or a
    // shadow the mask missed does not pull it, nor a slide that differs in a few places.
    const size_t at = strong.size() * 9 / 10;
    std::nth_element(strong.begin(), strong.begin() + at, strong.end());
    const double limit = std::max(kFloor, 0.25 * strong[at]);
    gains.clear();
    for (int c = 0; c < cells; ++c)
      if (uncovered(c) && vo[c] > limit) gains.push_back(cov[c] / vo[c]);
    double gain = 0;
    if (!gains.empty()) {
      std::nth_element(gains.begin(), gains.begin() + gains.size() / 2, gains.end());
      gain = std::max(0.0, gains[gains.size() / 2]);
    }
    std::vector<double> column(kGrid.width, 0);
    for (int c = 0; c < cells; ++c) {
      left[c] = std::max(0.0, vf[c] - 2 * gain * cov[c] + gain * gain * vo[c]);
      if (uncovered(c)) column[c % kGrid.width] += left[c];
    }
    for (int c = 0; c < cells; ++c) {
      const int x = c % kGrid.width;
      if (columnRes[x] >= 0 && column[x] >= columnRes[x]) continue;
      res[c] = left[c];
      energy[c] = std::max(vf[c], gain * gain * vo[c]);
      blurOf[c] = b;
      alike[c] = vf[c] > 0 && vo[c] > 0 ? cov[c] / std::sqrt(vf[c] * vo[c]) : 0.0;
      gainOf[c] = gain;
      shade[c] = fMean.at<float>(c / kGrid.width, c % kGrid.width) -
                 gain * oMean.at<float>(c / kGrid.width, c % kGrid.width);
    }
    for (int x = 0; x < kGrid.width; ++x)
      if (columnRes[x] < 0 || column[x] < columnRes[x]) columnRes[x] = column[x];
  }
  std::vector<double> quiet;
  for (int c = 0; c < cells; ++c)
    if (uncovered(c)) quiet.push_back(res[c]);
  // The quietest quarter of the cells: empty background, what noise alone leaves.
  std::nth_element(quiet.begin(), quiet.begin() + quiet.size() / 4, quiet.end());
  const double floor = kNoiseTimes * quiet[quiet.size() / 4] + kFloor;
  // The frame's brightness over the original's, as most cells show it.
  std::vector<double> shades;
  for (int c = 0; c < cells; ++c)
    if (uncovered(c)) shades.push_back(shade[c]);
  std::nth_element(shades.begin(), shades.begin() + shades.size() / 2, shades.end());
  const double offset = shades[shades.size() / 2];
  int judged = 0;
  std::vector<uint8_t> verdict(cells, 0);  // 1 judged, 2 unexplained
  for (int c = 0; c < cells; ++c) {
    // A cell the most blur explains best is too soft to tell anything. Structure the original
    // has and the frame lacks is a speaker's or a shadow's as often as another slide's.
    if (!uncovered(c) || !library.apart[c] || energy[c] <= floor || blurOf[c] == kBlurCount - 1)
      continue;
    const bool extra = vf[c] > floor && res[c] > kUnexplainedShare * vf[c] && res[c] > floor;
    // The original's lines on another ground: a table drawn in coloured columns. A speaker
    // hides the lines, ink leaves the ground.
    const bool recoloured =
        alike[c] > kAlikeLines && std::abs(shade[c] - offset) > kRecoloured * gainOf[c] * 255;
    verdict[c] = extra || recoloured ? 2 : 1;
    ++judged;
  }
  for (int c = 0; c < cells; ++c) {
    tested[c] += verdict[c] > 0;
    failed[c] += verdict[c] == 2;
  }
  return judged > 0;
}

double pictureUnexplained(const PictureCheckLibrary& library, int k, const std::vector<int>& tested,
                          const std::vector<int>& failed) {
  const int cells = library.cells;
  const size_t from = static_cast<size_t>(k) * cells;
  if (k < 0 || library.content.size() < from + cells || static_cast<int>(tested.size()) != cells ||
      static_cast<int>(failed.size()) != cells)
    return -1;
  // A speaker passing over a cell leaves it unexplained in a few frames only; cells he hides
  // from every frame take nothing away from the share, nor add to it.
  int judged = 0, unexplained = 0, counted = 0;
  for (int c = 0; c < cells; ++c) {
    judged += tested[c] > 0;
    unexplained += 2 * failed[c] > tested[c];
    counted += library.apart[c] && (tested[c] > 0 || library.content[from + c]);
  }
  return judged >= kJudgedCells ? static_cast<double>(unexplained) / counted : -1;
}

}  // namespace slidetrack
