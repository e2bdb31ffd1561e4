#include "device/TFormBulkInTransfer.h"

#include "device/TFormTransfer.h"

TFormBulkInTransfer::TFormBulkInTransfer(DeviceLink &link, ImageLibrary &images,
                                         QWidget *dialogParent)
    : QObject(dialogParent), m_job(link, images), m_dialogParent(dialogParent)
{}

bool TFormBulkInTransfer::StartBulkIn(int mode, std::uint16_t memoryNo, const QString &path)
{
    if (!m_job.setJob(mode, memoryNo, path))
        return false;
    if (mode == BulkInTransfer::MemoryMap)
        return m_job.Run();
    TFormTransfer dialog(m_job, m_dialogParent);
    const bool ok = dialog.exec() == QDialog::Accepted;
    m_job.Drop(); // a dialog closed before its job started leaves nothing taken
    return ok;
}
