#include "device/DeviceSession.h"

DeviceSession::DeviceSession(std::unique_ptr<UsbBackend> backend, TitleList &list,
                             ImageLibrary &images, Waits &waits, MessageBoxes &boxes)
    : m_backend(std::move(backend)),
      m_link(std::make_unique<DeviceLink>(m_backend.get(), waits, boxes)),
      m_reader(std::make_unique<DeviceEventReader>(*m_link)),
      m_bulkIn(std::make_unique<BulkInTransfer>(*m_link, images)),
      m_bulkOut(std::make_unique<BulkOutTransfer>(*m_link, images)), m_client(list)
{
    m_link->setClient(&m_client);
    m_bulkOut->setTitleList(&list);
}

DeviceSession::~DeviceSession()
{
    Stop();
    // The reader and the transfers work through the link, the link through the backend.
    m_bulkOut.reset();
    m_bulkIn.reset();
    m_reader.reset();
    m_link.reset();
}

bool DeviceSession::Start()
{
    return m_link->Start();
}

void DeviceSession::Stop()
{
    if (m_link)
        m_link->Stop();
}
