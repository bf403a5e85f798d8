#pragma once

namespace slidetrack {

// The program's heap policy, set once at the start of main: large blocks stay in the heap
// when freed. The decoder and the image libraries free and remake buffers of a few MB for
// every frame and every original; mapped afresh, each page is faulted in and cleared again.
void heapKeepLargeBlocks();

}  // namespace slidetrack
