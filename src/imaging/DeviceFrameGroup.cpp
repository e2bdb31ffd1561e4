#include "imaging/DeviceFrameGroup.h"

#include <algorithm>

QList<int> DeviceFrameGroup::frameStarts(int blocksPerFrame) const
{
    QList<int> starts;
    if (blocksPerFrame <= 0)
        return starts;
    for (int b = 0; b < Units;) {
        if (bandFlags[b] != 0) {
            starts << b;
            b += blocksPerFrame;
        } else {
            ++b;
        }
    }
    return starts;
}

int DeviceFrameGroup::lastUnit(int blocksPerFrame) const
{
    const QList<int> starts = frameStarts(blocksPerFrame);
    // A frame that would run past the row ends with the row.
    return starts.isEmpty() ? 0 : std::min(starts.last() + blocksPerFrame, int(Units));
}
