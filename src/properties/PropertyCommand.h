#pragma once

#include <functional>

class ListEditor;
class TitleAttributes;
struct ListServices;

// The property command (menu, Enter, a double click on the property columns,
// the grid's context menu, the memory window): edits the cursor title in the
// property dialog and, on OK, brings everything that shows or holds the title
// up to date: its thumbnail, the Mark jump commands, the device's verdict on
// its patterns, its row, the copy stored in the mixer, the caption.
class PropertyCommand
{
public:
    // Opens the property dialog for title `order`; true when it closed with
    // OK (and wrote the title).
    using Editor = std::function<bool(int order)>;
    // Writes a stored title's record and protect state into the mixer.
    using StoredTitleWriter = std::function<void(const TitleAttributes &attributes)>;

    PropertyCommand(ListEditor &editor, Editor edit);

    // The device side: without it a stored title is changed in the list only.
    void setStoredTitleWriter(StoredTitleWriter writer) { m_writeStored = std::move(writer); }

    // Runs the command for the cursor title; true when the title was changed.
    bool run();

private:
    ListEditor &m_editor;
    Editor m_edit;
    StoredTitleWriter m_writeStored;
};
