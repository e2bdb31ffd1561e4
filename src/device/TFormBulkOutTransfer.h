#pragma once

#include "device/TransferItem.h"

#include <vector>

class BulkOutTransfer;
class QWidget;

// The bulk-out side's dialog: stores a job in the transfer and shows the
// progress dialog modally while it runs.
class TFormBulkOutTransfer
{
public:
    TFormBulkOutTransfer(BulkOutTransfer &transfer, QWidget *owner)
        : m_transfer(transfer), m_owner(owner)
    {}

    // False at once for a mode other than 10, 11, 12 and 14 or while a
    // transfer is in progress; otherwise true when the dialog ends with OK.
    bool StartBulkOut(int mode, int argument, std::vector<TransferItem> items);

    BulkOutTransfer &transfer() { return m_transfer; }

private:
    BulkOutTransfer &m_transfer;
    QWidget *m_owner;
    bool m_showing = false;
};
