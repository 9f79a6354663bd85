#pragma once
// The lists the reader loads whole: the key-frame index and the cursor track, in file order.

#include "base/FreeList.h"
#include "recording/VSRRecords.h"

namespace vsr {

class TKFList : public TFreeList<TKeyFrameEntry> {};

class TCursorList : public TFreeList<TCursorEntry> {};

} // namespace vsr
