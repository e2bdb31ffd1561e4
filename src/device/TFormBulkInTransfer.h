#pragma once

#include <cstdint>

class BulkInTransfer;
class QString;
class QWidget;

// The bulk-in side as the windows start it: stores a job in the transfer and
// shows the progress dialog modally while it runs (a save, the pipe test, the
// setup-data read); the memory map runs at once, without a window.
class TFormBulkInTransfer
{
public:
    TFormBulkInTransfer(BulkInTransfer &transfer, QWidget *owner)
        : m_transfer(transfer), m_owner(owner)
    {}

    // False for a mode outside 1..5, a file kind the program does not write,
    // or while a read is in progress. Mode 4 runs at once; the others show
    // the progress dialog modally and give true when it closed with OK.
    bool StartBulkIn(int mode, std::uint16_t memoryNo, const QString &path);

    BulkInTransfer &transfer() { return m_transfer; }

private:
    BulkInTransfer &m_transfer;
    QWidget *m_owner;
};
