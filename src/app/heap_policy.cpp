#include "app/heap_policy.h"

#include <malloc.h>

namespace slidetrack {

void heapKeepLargeBlocks() {
  mallopt(M_MMAP_THRESHOLD, 32 << 20);
  mallopt(M_TRIM_THRESHOLD, 256 << 20);
}

}  // namespace slidetrack
