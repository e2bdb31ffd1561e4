#include "DirectBulkOut.h"

#include "CliProgress.h"
#include "DeviceCli.h"
#include "device/BulkOutTransfer.h"

BulkOutRunner directRunner(BulkOutTransfer &transfer, DeviceCli &cli)
{
    return [&transfer, &cli](int mode, int argument, std::vector<TransferItem> items) {
        if (!transfer.setJob(mode, argument, std::move(items)))
            return false;
        const int shown = cli.boxes().shownCount();
        bool ok = false;
        {
            CliProgress progress(transfer);
            ok = transfer.Run();
        }
        if (!ok && cli.boxes().shownCount() == shown)
            DeviceCli::fail(QStringLiteral("the transfer ended: the mixer did not answer"));
        return ok;
    };
}

void prepareBulkOut(BulkOutTransfer &transfer, DeviceCli &cli, bool pal)
{
    transfer.setLevels([levels = cli.levels()] { return levels; });
    transfer.setPal([pal] { return pal; });
}
