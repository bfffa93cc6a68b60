#pragma once
// The plug-in's allocator keeps a few freed large blocks for reuse: whole messages
// pass through many macros, and fresh pages cost more than the work on them.

namespace kvl {
// Returns every kept block to the system (at finalisation).
void ReleaseKeptBlocks() noexcept;
}  // namespace kvl
