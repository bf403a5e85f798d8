// Slide pictures through libjpeg-turbo with the parameters of OpenCV's imwrite for a
// ".jpg" name (quality 95, baseline, 4:2:0), so the bytes are the same as it writes.

#include <cstdio>
// jpeglib.h needs FILE and size_t declared first.
#include <jpeglib.h>

#include <csetjmp>
#include <cstdlib>
#include <memory>

#include "pictures/jpeg_encode.h"

namespace slidetrack {

namespace {

struct JpegWriter {
  jpeg_compress_struct info{};
  jpeg_error_mgr errors{};
  std::jmp_buf jump;
  unsigned char* buffer = nullptr;  // libjpeg's memory destination, freed with free()
  unsigned long size = 0;
};

struct JpegWriterFreer {
  void operator()(JpegWriter* writer) const {
    jpeg_destroy_compress(&writer->info);
    std::free(writer->buffer);
    delete writer;
  }
};
using JpegWriterHandle = std::unique_ptr<JpegWriter, JpegWriterFreer>;

void failed(j_common_ptr info) {
  std::longjmp(reinterpret_cast<JpegWriter*>(info->client_data)->jump, 1);
}

void quiet(j_common_ptr, int) {}

// Nothing with a destructor lives in this frame: libjpeg leaves it by longjmp.
bool encodeInto(JpegWriter* w, const cv::Mat* picture) {
  if (setjmp(w->jump)) return false;
  jpeg_create_compress(&w->info);
  jpeg_mem_dest(&w->info, &w->buffer, &w->size);
  w->info.image_width = static_cast<JDIMENSION>(picture->cols);
  w->info.image_height = static_cast<JDIMENSION>(picture->rows);
  const bool colour = picture->channels() == 3;
  w->info.input_components = colour ? 3 : 1;
  w->info.in_color_space = colour ? JCS_EXT_BGR : JCS_GRAYSCALE;
  jpeg_set_defaults(&w->info);
  jpeg_set_quality(&w->info, kSlidePictureQuality, TRUE);
  jpeg_start_compress(&w->info, TRUE);
  while (w->info.next_scanline < w->info.image_height) {
    JSAMPROW row = const_cast<JSAMPROW>(picture->ptr(static_cast<int>(w->info.next_scanline)));
    jpeg_write_scanlines(&w->info, &row, 1);
  }
  jpeg_finish_compress(&w->info);
  return true;
}

}  // namespace

bool jpegEncode(const cv::Mat& picture, std::vector<std::uint8_t>& bytes) {
  if (picture.empty() || picture.depth() != CV_8U ||
      (picture.channels() != 1 && picture.channels() != 3))
    return false;
  JpegWriterHandle writer(new JpegWriter);
  writer->info.err = jpeg_std_error(&writer->errors);
  writer->errors.error_exit = failed;
  writer->errors.emit_message = quiet;
  writer->info.client_data = writer.get();
  if (!encodeInto(writer.get(), &picture)) return false;
  bytes.assign(writer->buffer, writer->buffer + writer->size);
  return true;
}

}  // namespace slidetrack
