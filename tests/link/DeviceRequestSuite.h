#pragma once

#include "link/MixerRig.h"

#include <QObject>

// What of the device link depends on the transport, against the virtual
// mixer over whichever backend the factory builds. The link's own logic is
// tested once, on the scripted backend.
class DeviceRequestSuite : public QObject
{
    Q_OBJECT

public:
    explicit DeviceRequestSuite(MixerRigFactory factory) : m_factory(factory) {}

private slots:
    void openReadsDescriptorsAndFirmware();
    void failedRequestsAndTheReset();
    void removalProbeClosesAndArrivalReopens();
    void setupDataReadInSetupDataMode();
    void bulkWriteAndReadThroughTheWorker();
    void failedBulkWritesRecover();
    void closeCancelsABlockedPiece();
    void unplugDuringBulkClosesTheLink();
    void eventLinesSplitAcrossReads();

private:
    MixerRigFactory m_factory;
};
