#pragma once
// The silence table of an SPX stream: runs of silent frames that were left out of the
// compressed data, each placed before a frame record.

#include "base/FreeList.h"

#include <cstdint>

namespace vsr {

// Both fields count frame-data bytes: Start is the offset (silences not counted) of the record
// before which the silence plays; Length is the silent frames times the record size.
struct TSpxSilence {
    std::int32_t Start = 0;
    std::int32_t Length = 0;
};
static_assert(sizeof(TSpxSilence) == 8);

class TRecordSilenceList : public TFreeList<TSpxSilence> {};

} // namespace vsr
