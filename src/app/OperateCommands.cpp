#include "app/OperateCommands.h"

#include "app/MainActions.h"
#include "core/MemoryNo.h"
#include "list/TitleList.h"
#include "memory/DeviceMemoryMirror.h"
#include "memory/MemoryRefresh.h"

#include <QAction>

OperateCommands::OperateCommands(MainActions &actions, TitleList &list, DeviceMemoryMirror &mirror,
                                 MemoryRefresh &refresh, QObject *parent)
    : QObject(parent), m_actions(actions), m_list(list), m_mirror(mirror), m_refresh(refresh)
{
    connect(actions.mnuOperate_Load, &QAction::triggered, this,
            &OperateCommands::mnuOperate_LoadClick);
    connect(actions.mnuOperate_Clear, &QAction::triggered, this,
            &OperateCommands::mnuOperate_ClearClick);
    connect(actions.mnuOperate_ClearAll, &QAction::triggered, this,
            &OperateCommands::mnuOperate_ClearAllClick);
    updateStates();
}

void OperateCommands::setLoader(Loader loader)
{
    m_load = std::move(loader);
    updateStates();
}

void OperateCommands::setConnected(bool connected)
{
    m_connected = connected;
    updateStates();
}

void OperateCommands::updateStates()
{
    m_actions.mnuOperate_Load->setEnabled(m_connected && bool(m_load));
    m_actions.mnuOperate_Clear->setEnabled(m_connected);
    m_actions.mnuOperate_ClearAll->setEnabled(m_connected);
}

bool OperateCommands::mnuOperate_LoadClick()
{
    if (!m_connected || !m_load || m_list.isEmpty())
        return false;
    bool loaded = false;
    {
        MemoryRefresh::Pause pause(&m_refresh);
        loaded = m_load();
    }
    m_mirror.RefreshMemoryNow();
    return loaded;
}

void OperateCommands::mnuOperate_ClearClick()
{
    if (m_connected && !m_list.isEmpty())
        m_mirror.ClearSelectedTitles();
}

void OperateCommands::mnuOperate_ClearAllClick()
{
    if (m_connected)
        m_mirror.ClearAll(MemoryNo::AllListTitles, true);
}
