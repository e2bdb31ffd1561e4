#include "device/TransferItem.h"

TransferItem::TransferItem(const TransferItem &other)
    : Order(other.Order), Attributes(other.Attributes), FileList(other.FileList),
      Completion(other.Completion.isSet()), LoadState(other.LoadState.load())
{}

TransferItem &TransferItem::operator=(const TransferItem &other)
{
    Order = other.Order;
    Attributes = other.Attributes;
    FileList = other.FileList;
    if (other.Completion.isSet())
        Completion.set();
    else
        Completion.reset();
    LoadState = other.LoadState.load();
    return *this;
}
