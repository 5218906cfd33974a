#include "foundation/MemoryReuse.h"

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace korvane {

void keepFreedMemoryForReuse() {
#if defined(__GLIBC__)
    // Fixing the mapping threshold also stops glibc from moving it (and the trim threshold with
    // it) after each large free.
    mallopt(M_MMAP_THRESHOLD, 32 << 20);
    mallopt(M_TRIM_THRESHOLD, 256 << 20);
#endif
}

}  // namespace korvane
