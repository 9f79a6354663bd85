#include "sndkit/CodecRegistry.h"

namespace vsr::sndkit {

TCodecRegistry& Registry() {
    // Destroyed when the library is unloaded, releasing whatever the program left behind.
    static TCodecRegistry registry;
    return registry;
}

} // namespace vsr::sndkit
