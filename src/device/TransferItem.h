#pragma once

#include "core/ManualResetEvent.h"
#include "list/TitleAttributes.h"

#include <QStringList>
#include <atomic>

// One title or clip a transfer job sends: where it stands in the send list,
// a copy of its record (the job fills in MemoryNo and DeviceWord) and a copy
// of its frame files. The auto-load worker also uses the completion event
// (set while the title is in device memory) and LoadState; both may be
// touched from several threads. A copy starts with its own event in the
// same state.
struct TransferItem
{
    enum LoadStates : int { LoadNone = 0, LoadSending = 1, LoadDone = 2, LoadWaitingForMemory = 3 };

    // 1-based index in the send list; 1 for an IntVideo clip.
    int Order = 1;
    TitleAttributes Attributes;
    QStringList FileList;
    ManualResetEvent Completion;
    std::atomic<int> LoadState{LoadNone};

    TransferItem() = default;
    TransferItem(const TransferItem &other);
    TransferItem &operator=(const TransferItem &other);
};
