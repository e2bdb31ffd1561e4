#include "app/OperateCommands.h"

#include "app/MainActions.h"
#include "core/MemoryNo.h"
#include "list/TitleList.h"
#include "memory/DeviceMemoryMirror.h"
#include "memory/DskPlayer.h"
#include "memory/MemoryRefresh.h"

#include <QAction>

OperateCommands::OperateCommands(MainActions &actions, TitleList &list, DeviceMemoryMirror &mirror,
                                 MemoryRefresh &refresh, KeyerState &keyer, Waits &waits,
                                 MessageBoxes &boxes, QObject *parent)
    : QObject(parent), m_actions(actions), m_list(list), m_mirror(mirror), m_refresh(refresh),
      m_player(std::make_unique<DskPlayer>(keyer, list, waits, boxes))
{
    // Play loads a title that is not stored through the Load command.
    m_player->setLoader([this] { return mnuOperate_LoadClick(); });
    m_player->setFrameTime([&mirror] { return double(mirror.videoFormat().frameTimeMs); });
    DskPlayer *player = m_player.get();
    connect(actions.mnuOperate_Play, &QAction::triggered, player, &DskPlayer::mnuOperate_PlayClick);
    connect(actions.mnuOperate_Stop, &QAction::triggered, player, &DskPlayer::mnuOperate_StopClick);
    connect(actions.mnuOperate_Pause, &QAction::triggered, player,
            &DskPlayer::mnuOperate_PauseClick);
    connect(actions.mnuOperate_Autotake, &QAction::triggered, player,
            &DskPlayer::mnuOperate_AutotakeClick);
    connect(&list, &TitleList::selectionChanged, this, &OperateCommands::updateStates);
    connect(actions.mnuOperate_Load, &QAction::triggered, this,
            &OperateCommands::mnuOperate_LoadClick);
    connect(actions.mnuOperate_Clear, &QAction::triggered, this,
            &OperateCommands::mnuOperate_ClearClick);
    connect(actions.mnuOperate_ClearAll, &QAction::triggered, this,
            &OperateCommands::mnuOperate_ClearAllClick);
    updateStates();
}

OperateCommands::~OperateCommands() = default;

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
    m_actions.mnuOperate_Play->setEnabled(m_connected && m_list.SelectionCount() <= 1);
    m_actions.mnuOperate_Stop->setEnabled(m_connected);
    m_actions.mnuOperate_Autotake->setEnabled(m_connected);
    m_actions.mnuOperate_Pause->setEnabled(m_connected);
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
