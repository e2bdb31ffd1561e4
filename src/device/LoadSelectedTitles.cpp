#include "device/LoadSelectedTitles.h"

#include "device/BulkOutTransfer.h"
#include "device/DeviceLink.h"
#include "list/TitleList.h"

std::vector<TransferItem> SelectedTitlesToLoad(const TitleList &list)
{
    std::vector<TransferItem> items;
    for (int i = 1; i <= list.count(); ++i) {
        const TitleEntry &title = list.at(i);
        if (!title.Selected || title.Attributes.memoryNo() != MemoryNo::NotStored)
            continue;
        TransferItem &item = items.emplace_back();
        item.Order = i;
        item.Attributes = title.Attributes;
        item.FileList = title.FileList;
    }
    return items;
}

bool LoadSelectedTitles(DeviceLink &link, const TitleList &list, const BulkOutRunner &startBulkOut,
                        const std::function<void()> &pausePolling,
                        const std::function<void()> &resumePolling)
{
    if (!link.Connected() || list.isEmpty() || !startBulkOut)
        return false;
    std::vector<TransferItem> items = SelectedTitlesToLoad(list);
    if (items.empty())
        return true;
    if (pausePolling)
        pausePolling();
    const bool ok = startBulkOut(BulkOutTransfer::Titles, 0, std::move(items));
    if (resumePolling && link.Connected())
        resumePolling();
    return ok;
}
