#pragma once

#include "device/BulkInTransfer.h"

#include <QObject>
#include <QPointer>
#include <QWidget>

// The bulk-in side as the windows start it: a save, the pipe test or the
// setup-data read in the modal progress dialog, the memory map at once and
// without a window. Created at start and kept until exit.
class TFormBulkInTransfer : public QObject
{
    Q_OBJECT

public:
    TFormBulkInTransfer(DeviceLink &link, ImageLibrary &images, QWidget *dialogParent = nullptr);

    BulkInTransfer &job() { return m_job; }

    // False for a mode outside 1..5, a file kind the program does not write,
    // or while a read is in progress. Mode 4 runs at once; the others show
    // the progress dialog modally and give true when it closed with OK.
    bool StartBulkIn(int mode, std::uint16_t memoryNo, const QString &path);

private:
    BulkInTransfer m_job;
    QPointer<QWidget> m_dialogParent;
};
