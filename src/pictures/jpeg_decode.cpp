// JPEG through libjpeg-turbo, set up as OpenCV's imread sets it up.

#include <cstdio>
// jpeglib.h needs FILE and size_t declared first.
#include <jpeglib.h>
// After jpeglib.h, which it extends.
#include <jerror.h>

#include <csetjmp>
#include <memory>
#include <string>

#include "common/error.h"
#include "pictures/picture_codecs.h"

namespace slidetrack {

namespace {

struct JpegReader {
  jpeg_decompress_struct info{};
  jpeg_error_mgr errors{};
  std::jmp_buf jump;
  char message[JMSG_LENGTH_MAX] = "";
};

struct JpegReaderFreer {
  void operator()(JpegReader* reader) const {
    jpeg_destroy_decompress(&reader->info);
    delete reader;
  }
};
using JpegReaderHandle = std::unique_ptr<JpegReader, JpegReaderFreer>;

void failed(j_common_ptr info) {
  auto* reader = reinterpret_cast<JpegReader*>(info->client_data);
  info->err->format_message(info, reader->message);
  std::longjmp(reader->jump, 1);
}

// Missing or broken picture data (a cut-off file is padded with grey) is only a warning
// to libjpeg; it refuses the picture here, as a cut PNG is, rather than take made-up rows.
// Warnings about unusual headers of intact data are let pass, as OpenCV lets them pass.
void warned(j_common_ptr info, int level) {
  const int code = info->err->msg_code;
  if (level < 0 && (code == JWRN_JPEG_EOF || code == JWRN_HIT_MARKER || code == JWRN_MUST_RESYNC))
    failed(info);
}

struct Header {
  int width = 0;
  int height = 0;
  int components = 0;
  int orientation = 1;
};

// Nothing with a destructor lives in this frame: libjpeg leaves it by longjmp.
bool readHeader(JpegReader* r, const FileBytes& bytes, Header* header) {
  if (setjmp(r->jump)) return false;
  jpeg_create_decompress(&r->info);
  jpeg_mem_src(&r->info, bytes.data(), static_cast<unsigned long>(bytes.size()));
  jpeg_save_markers(&r->info, JPEG_APP0 + 1, 0xffff);
  jpeg_read_header(&r->info, TRUE);
  header->width = static_cast<int>(r->info.image_width);
  header->height = static_cast<int>(r->info.image_height);
  header->components = r->info.num_components;
  for (jpeg_saved_marker_ptr m = r->info.marker_list; m; m = m->next) {
    if (m->marker == JPEG_APP0 + 1) header->orientation = exifOrientation(m->data, m->data_length);
  }
  return true;
}

bool decodeInto(JpegReader* r, bool grey, cv::Mat* picture) {
  if (setjmp(r->jump)) return false;
  r->info.out_color_space = grey ? JCS_GRAYSCALE : JCS_EXT_BGR;
  jpeg_start_decompress(&r->info);
  picture->create(static_cast<int>(r->info.output_height), static_cast<int>(r->info.output_width),
                  grey ? CV_8UC1 : CV_8UC3);
  while (r->info.output_scanline < r->info.output_height) {
    JSAMPROW row = picture->ptr(static_cast<int>(r->info.output_scanline));
    jpeg_read_scanlines(&r->info, &row, 1);
  }
  jpeg_finish_decompress(&r->info);
  return true;
}

}  // namespace

bool looksLikeJpeg(const FileBytes& bytes) {
  return bytes.size() >= 3 && bytes[0] == 0xff && bytes[1] == 0xd8 && bytes[2] == 0xff;
}

cv::Mat jpegDecode(const FileBytes& bytes, bool grey) {
  JpegReaderHandle reader(new JpegReader);
  reader->info.err = jpeg_std_error(&reader->errors);
  reader->errors.error_exit = failed;
  reader->errors.emit_message = warned;
  reader->info.client_data = reader.get();
  Header header;
  if (!readHeader(reader.get(), bytes, &header))
    throw Error(Error::Kind::kInput, std::string("damaged JPEG: ") + reader->message);
  pictureSizeCheck(header.width, header.height);
  // libjpeg turns neither CMYK nor YCCK into BGR.
  if (header.components != 1 && header.components != 3)
    throw Error(Error::Kind::kInput, "a JPEG with " + std::to_string(header.components) +
                                         " colour components (only grey and colour are read)");
  cv::Mat picture;
  if (!decodeInto(reader.get(), grey, &picture))
    throw Error(Error::Kind::kInput, std::string("damaged JPEG: ") + reader->message);
  return orientationApplied(picture, header.orientation);
}

}  // namespace slidetrack
