#pragma once

#include <QPointer>
#include <QThread>
#include <cstdint>

class DeviceLink;
class PipeChannel;
class TransferSide;
class Waits;

// Moves one block through one bulk pipe on its side's worker thread, in
// 4096-byte pieces with a 3-second time-out per piece. Progress (every 20
// pieces, coalesced) and the finish step (three log lines, Busy and
// Transferred) are handed to the side's user-interface thread as queued
// calls. One object per block; its thread deletes it when the block is done.
// The side keeps its worker thread between blocks, so a block does not pay
// for starting a thread. Use Run() to move a block and wait for it with the
// event loop running.
class TThreadReadWrite : public QObject
{
    Q_OBJECT

public:
    static constexpr std::uint32_t ModeRead = 0x80000000u;
    static constexpr std::uint32_t ModeWrite = 0x40000000u;
    static constexpr int kPieceSize = 4096;
    static constexpr int kPieceTimeoutMs = 3000;
    static constexpr int kProgressEvery = 20;

    TThreadReadWrite(DeviceLink &link, PipeChannel &pipe, TransferSide &side, std::uint8_t *buffer,
                     std::uint32_t size, std::uint32_t mode);

    // Starts a worker for the block and keeps the event loop running until
    // its finish step ran; returns the bytes moved (Transferred).
    static std::uint32_t Run(DeviceLink &link, PipeChannel &pipe, TransferSide &side,
                             std::uint8_t *buffer, std::uint32_t size, std::uint32_t mode);

    std::uint32_t Done() const { return m_done; }

    // The transfer itself, on the side's worker thread.
    void Execute();

private:
    QPointer<DeviceLink> m_link;
    PipeChannel &m_pipe;
    QPointer<TransferSide> m_side;
    std::uint8_t *m_buffer;
    std::uint32_t m_size;
    std::uint32_t m_mode;
    int m_pieceTimeoutMs;
    int m_progressIntervalMs;
    std::uint32_t m_done = 0;
    bool m_firstStepShown = false; // set before the worker starts
};
