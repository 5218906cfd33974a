#pragma once

namespace korvane {

// Lets the C library keep freed blocks of up to some hundred megabytes for the next allocation
// instead of handing them back to the kernel at once. A render allocates and frees the same
// buffers pass after pass and tile after tile (films, denoiser planes); handed back, every page
// of them faults in again when it is next written, which cost several percent of a render's
// time. Blocks of 32 MiB and more (images, heightmaps) are still mapped and unmapped on their
// own. Called once at the start of a program, before its threads start.
void keepFreedMemoryForReuse();

}  // namespace korvane
