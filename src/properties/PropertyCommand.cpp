#include "properties/PropertyCommand.h"

#include "core/MessageBoxes.h"
#include "imaging/Thumbnail.h"
#include "list/ListEditor.h"
#include "list/ListServices.h"
#include "list/TitleList.h"

#include <algorithm>

namespace {
constexpr int kDskRunning = 136;
}

PropertyCommand::PropertyCommand(ListEditor &editor, Editor edit)
    : m_editor(editor), m_edit(std::move(edit))
{}

bool PropertyCommand::run()
{
    TitleList &list = m_editor.list();
    ListServices &services = m_editor.services();
    if (list.isEmpty() || m_editor.busy() || !m_edit)
        return false;
    const int order = std::clamp(list.cursor(), 1, list.count());
    if (list.at(order).Attributes.memoryNo() == list.OnAirMemoryNo()) {
        ShowMessageById(services.boxes, 1, kDskRunning, MsgError);
        return false;
    }
    if (!m_edit(order))
        return false;

    TitleEntry &title = list.at(order);
    TitleAttributes &a = title.Attributes;
    if (!title.FileList.isEmpty()) {
        const int icon = std::clamp(title.IconFrame, 1, int(title.FileList.size()));
        Thumbnail::MakeThumbnail(title.Thumbnail, title.FileList.at(icon - 1), a.positionX(),
                                 a.positionY(), services.format(), services.isWide(),
                                 services.images, services.boxes);
    }
    // The device may not offer a pattern; it answers with the ones it uses instead.
    if (services.isConnected() && services.checkEffectPatterns) {
        if (const auto checked = services.checkEffectPatterns(a.effPatternWord(Effect::In),
                                                              a.effPatternWord(Effect::Out))) {
            a.setEffPattern(Effect::In, checked->first);
            a.setEffPattern(Effect::Out, checked->second);
        }
    }
    // The row, the header and the Mark jump commands follow the row's signal.
    list.notifyRowChanged(order);
    if (title.isStored() && m_writeStored)
        m_writeStored(a);
    m_editor.UpdateCaption(true);
    return true;
}
