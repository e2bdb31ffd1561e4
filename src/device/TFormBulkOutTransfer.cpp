#include "device/TFormBulkOutTransfer.h"

#include "device/BulkOutTransfer.h"
#include "device/TFormTransfer.h"

bool TFormBulkOutTransfer::StartBulkOut(int mode, int argument, std::vector<TransferItem> items)
{
    // The dialog's own wait runs events: a second command must not start a job meanwhile.
    if (m_showing || m_transfer.busy() || !m_transfer.setJob(mode, argument, std::move(items)))
        return false;
    m_showing = true;
    TFormTransfer dialog(m_transfer, m_owner);
    const bool ok = dialog.exec() == QDialog::Accepted;
    m_showing = false;
    return ok;
}
