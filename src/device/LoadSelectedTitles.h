#pragma once

#include "device/TransferItem.h"

#include <functional>
#include <vector>

class DeviceLink;
class TitleList;

// Runs a bulk-out job (mode, argument, items) and says whether it succeeded:
// the windows show the transfer dialog modally, the command line runs the
// job with its progress on the terminal.
using BulkOutRunner = std::function<bool(int mode, int argument, std::vector<TransferItem> items)>;

// The items of the Load command: every selected title that is not in device
// memory, in list order.
std::vector<TransferItem> SelectedTitlesToLoad(const TitleList &list);

// The Load command: only while connected and with at least one title in the
// list. The memory map polling is paused around the transfer (pausePolling
// before, resumePolling afterwards when the device is still connected; both
// may be empty). With nothing to send it succeeds without a transfer.
// Returns the runner's result.
bool LoadSelectedTitles(DeviceLink &link, const TitleList &list, const BulkOutRunner &startBulkOut,
                        const std::function<void()> &pausePolling = {},
                        const std::function<void()> &resumePolling = {});
