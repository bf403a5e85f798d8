#pragma once
// Decoding PNG and JPEG picture files without the image library: the common PNG layouts
// read here, everything else with the video library's decoders, which the run has loaded
// anyway. The image library's codecs cost a tenth of a second or more of dynamic linking
// before the first picture.

#include <string>
#include <vector>

#include <opencv2/core.hpp>

#include "video/av_handles.h"
#include "video/png_reader.h"

namespace slidetrack {

// The decoders of one run of pictures, kept from picture to picture: their frame buffers
// are pooled, so same-sized pictures touch no fresh memory.
struct PictureDecoder {
  CodecContextHandle png;
  CodecContextHandle jpeg;
  FrameHandle frame;
  PacketHandle packet;
  std::vector<unsigned char> narrowed;   // 16-bit samples cut to 8 bits
  std::vector<std::uint8_t> compressed;  // a PNG's data and filtered rows
  PngPixels pixels;                      // a PNG read without the video decoder
};

// The picture in 8-bit BGR, as the image library reads it: alpha dropped, grey and
// palette pictures expanded, 16-bit samples cut to their high byte. PNG pixels are the
// same bit for bit; JPEG pixels differ only where the two decoders' IDCTs round apart. Returns
// false for any other kind of file, for layouts the two libraries read differently (grey below 8
// bits, a JPEG with an orientation to apply) and for a file that fails to decode; bgr then holds
// nothing of use and the caller asks the image library.
bool pictureDecoderRead(PictureDecoder& decoder, const std::string& path, cv::Mat& bgr);

// The same picture in 8-bit grey: JPEG's luma plane as decoded, which is what the image
// library's grey read of a JPEG gives, and any other picture by the grey weights of its
// BGR pixels, bit for bit. Half the work of the BGR read and a conversion for a JPEG.
bool pictureDecoderReadGrey(PictureDecoder& decoder, const std::string& path, cv::Mat& grey);

}  // namespace slidetrack
