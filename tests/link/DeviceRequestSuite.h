#pragma once

#include "link/MixerRig.h"

#include <QObject>

// Request-level cases of the device link against the virtual mixer, run over
// whichever backend the factory builds.
class DeviceRequestSuite : public QObject
{
    Q_OBJECT

public:
    explicit DeviceRequestSuite(MixerRigFactory factory) : m_factory(factory) {}

private slots:
    void openReadsDescriptorsAndFirmware();
    void outRequestOfLengthZero();
    void setupDataModeRefusesLocally();
    void threeFailuresResetTheDevice();
    void oldFirmwareIsNotExtended();
    void removalProbeClosesAndArrivalReopens();
    void secondArrivalWhileConnected();
    void bulkWriteAndReadThroughTheWorker();
    void stalledBulkPieceEndsAtItsTimeOut();
    void closeCancelsABlockedPiece();
    void haltedWritePipeUntilReset();
    void unplugDuringBulkClosesTheLink();
    void eventLinesSplitAcrossReads();
    void serialCommandBlock();
    void busyAndRefusedStatuses();

private:
    MixerRigFactory m_factory;
};
