#include "wifi/WifiChannel.h"

namespace walkmere {

int channelForFrequency(uint32_t mhz) {
    if (mhz >= 2412 && mhz <= 2472 && (mhz - 2407) % 5 == 0)
        return static_cast<int>(mhz - 2407) / 5;
    if (mhz == 2484) return 14;
    // Above 2.4 GHz every channel lies on the 5 MHz grid.
    if (mhz % 5 != 0) return 0;
    if (mhz > 5000 && mhz < 5925) return static_cast<int>(mhz - 5000) / 5;
    if (mhz == 5935) return 2;
    if (mhz >= 5955 && mhz <= 7115) return static_cast<int>(mhz - 5950) / 5;
    return 0;
}

bool sixGhzFrequency(uint32_t mhz) {
    return mhz >= 5935 && channelForFrequency(mhz) != 0;
}

} // namespace walkmere
