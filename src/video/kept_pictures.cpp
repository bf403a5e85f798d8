// Pictures kept from one pass over a video for the next pass over the same file.

#include <sys/mman.h>

#include <algorithm>

#include "video/video_decoder.h"

extern "C" {
#include <libavutil/buffer.h>
#include <libavutil/frame.h>
#include <libavutil/imgutils.h>
}

namespace slidetrack {

namespace {

// Frame index t of the later pass is picture position t - 1, and index 0 is position 0.
bool onGrid(int step, int64_t position) { return position == 0 || (position + 1) % step == 0; }

constexpr int kPlaneAlign = 64;

void unmapArena(void* size, uint8_t* data) { munmap(data, reinterpret_cast<size_t>(size)); }

// One mapping for all pictures: fresh memory is costly to touch page by page, so it is
// asked for in huge pages where the system has them. Freed when the last picture goes.
BufferHandle makeArena(size_t bytes) {
  void* memory = mmap(nullptr, bytes, PROT_READ | PROT_WRITE,
                      MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
  if (memory == MAP_FAILED) return nullptr;
#ifdef MADV_HUGEPAGE
  madvise(memory, bytes, MADV_HUGEPAGE);
#endif
  AVBufferRef* buffer = av_buffer_create(static_cast<uint8_t*>(memory), bytes, unmapArena,
                                         reinterpret_cast<void*>(bytes), 0);
  if (!buffer) munmap(memory, bytes);
  return BufferHandle(buffer);
}

// Until a picture is kept its size is guessed generously: 4:2:2.
size_t pictureBytes(const VideoDecoder& d) {
  if (d.kept->pictureBytes > 0) return d.kept->pictureBytes;
  return static_cast<size_t>(d.width + kPlaneAlign) * static_cast<size_t>(d.height) * 2;
}

bool collecting(const VideoDecoder& d) {
  // Positions found by counting pictures may differ between openings: only timestamps
  // name the same picture twice.
  return d.kept && d.kept->collecting && d.kept->step > 0 && d.timestamped;
}

}  // namespace

bool keptWants(const VideoDecoder& d, int64_t position) {
  if (!collecting(d) || position < 0 || !onGrid(d.kept->step, position)) return false;
  const KeptPictures& k = *d.kept;
  return k.used + pictureBytes(d) <= k.budget && k.pictures.count(position) == 0;
}

void keptOffer(VideoDecoder& d, const AVFrame* picture, int64_t position) {
  if (!keptWants(d, position)) return;
  KeptPictures& k = *d.kept;
  const AVPixelFormat format = static_cast<AVPixelFormat>(picture->format);
  const int bytes = av_image_get_buffer_size(format, picture->width, picture->height, kPlaneAlign);
  if (bytes <= 0 || k.used + static_cast<size_t>(bytes) > k.budget) return;
  if (!k.arena) k.arena = makeArena(k.budget);
  FrameHandle copy(av_frame_alloc());
  if (!k.arena || !copy || av_frame_copy_props(copy.get(), picture) < 0) return;
  copy->buf[0] = av_buffer_ref(k.arena.get());
  if (!copy->buf[0]) return;
  copy->format = picture->format;
  copy->width = picture->width;
  copy->height = picture->height;
  if (av_image_fill_arrays(copy->data, copy->linesize, k.arena->data + k.used, format,
                           picture->width, picture->height, kPlaneAlign) < 0)
    return;
  av_image_copy(copy->data, copy->linesize, const_cast<const uint8_t**>(picture->data),
                picture->linesize, format, picture->width, picture->height);
  k.used += static_cast<size_t>(bytes);
  k.pictureBytes = std::max(k.pictureBytes, static_cast<size_t>(bytes));
  k.pictures.emplace(position, std::move(copy));
  ++d.stats.picturesKept;
}

bool keptServe(VideoDecoder& d, int64_t target) {
  if (!d.kept || d.kept->collecting) return false;
  KeptPictures& k = *d.kept;
  // An opening that counts pictures may number them otherwise.
  if (!d.timestamped) k.pictures.clear();
  // Requests go forward: pictures before the target are not asked for again.
  k.pictures.erase(k.pictures.begin(), k.pictures.lower_bound(target));
  const bool found = !k.pictures.empty() && k.pictures.begin()->first == target;
  if (found) {
    av_frame_unref(d.picture.get());
    av_frame_move_ref(d.picture.get(), k.pictures.begin()->second.get());
    k.pictures.erase(k.pictures.begin());
  }
  if (k.pictures.empty()) k.arena.reset();  // unmapped once the last picture is let go
  if (!found) return false;
  d.current = d.coveredFrom = target;
  d.noPicture = false;
  d.pictureKept = true;
  ++d.stats.picturesFromKept;
  return true;
}

bool keptAllOnTheWay(const VideoDecoder& d, int64_t target) {
  // Before the first jump the later pass decodes the same pictures itself on its way.
  if (!collecting(d) || d.stats.seeks == 0 || d.lastPosition < 0) return false;
  const KeptPictures& k = *d.kept;
  const int64_t onTheWay = (target - d.lastPosition) / k.step + 1;
  return k.used + static_cast<size_t>(onTheWay) * pictureBytes(d) <= k.budget;
}

}  // namespace slidetrack
