#include "device/TFormBulkInTransfer.h"

#include "device/BulkInTransfer.h"
#include "device/TFormTransfer.h"

bool TFormBulkInTransfer::StartBulkIn(int mode, std::uint16_t memoryNo, const QString &path)
{
    if (!m_transfer.setJob(mode, memoryNo, path))
        return false;
    if (mode == BulkInTransfer::MemoryMap)
        return m_transfer.Run();
    TFormTransfer dialog(m_transfer, m_owner);
    const bool ok = dialog.exec() == QDialog::Accepted;
    m_transfer.Drop(); // a dialog closed before its job started leaves nothing taken
    return ok;
}
