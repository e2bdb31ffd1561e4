#include "list/TitleList.h"

#include "core/MessageBoxes.h"

#include <algorithm>

TitleList::TitleList(QObject *parent) : QObject(parent)
{
    m_entries.push_back(std::make_unique<TitleEntry>(TitleEntry::createHead()));
}

TitleList::~TitleList() = default;

bool TitleList::append(TitleEntry entry, MessageBoxes &boxes)
{
    if (isFull()) {
        ShowMessageById(boxes, 1, 105, MsgError);
        return false;
    }
    return insert(count() + 1, std::move(entry));
}

bool TitleList::insert(int index, TitleEntry entry)
{
    if (isFull() || index < 1 || index > count() + 1)
        return false;
    m_entries.insert(m_entries.begin() + index, std::make_unique<TitleEntry>(std::move(entry)));
    emit listChanged();
    emit countChanged(count());
    return true;
}

TitleEntry TitleList::take(int index)
{
    Q_ASSERT(index >= 1 && index <= count());
    TitleEntry e = std::move(*m_entries[std::size_t(index)]);
    m_entries.erase(m_entries.begin() + index);
    if (m_cursor > std::max(1, count()))
        m_cursor = std::max(1, count());
    emit listChanged();
    emit countChanged(count());
    return e;
}

void TitleList::clear()
{
    if (isEmpty())
        return;
    m_entries.resize(1);
    m_cursor = 1;
    emit listChanged();
    emit countChanged(0);
}

void TitleList::move(int from, int to)
{
    if (from < 1 || from > count() || to < 1 || to > count() + 1 || to == from || to == from + 1)
        return;
    auto item = std::move(m_entries[std::size_t(from)]);
    m_entries.erase(m_entries.begin() + from);
    if (to > from)
        --to;
    m_entries.insert(m_entries.begin() + to, std::move(item));
    emit listChanged();
}

void TitleList::SetCursor(int index)
{
    const int n = count();
    if (n == 0)
        return;
    index = std::clamp(index, 1, n);
    for (int i = 1; i <= n; ++i)
        at(i).Selected = i == index;
    m_cursor = index;
    emit selectionChanged();
    emit cursorSet(index, at(index).firstFile());
}

void TitleList::SelectAll()
{
    for (int i = 1; i <= count(); ++i)
        at(i).Selected = true;
    emit selectionChanged();
}

void TitleList::setSelected(int index, bool selected)
{
    if (index < 1 || index > count())
        return;
    at(index).Selected = selected;
    emit selectionChanged();
}

int TitleList::SelectionCount() const
{
    int n = 0;
    for (int i = 1; i <= count(); ++i)
        n += at(i).Selected ? 1 : 0;
    return n;
}

std::vector<int> TitleList::selectedIndexes() const
{
    std::vector<int> out;
    for (int i = 1; i <= count(); ++i)
        if (at(i).Selected)
            out.push_back(i);
    return out;
}

std::optional<int> TitleList::FindByMark(int mark) const
{
    for (int i = 1; i <= count(); ++i)
        if (at(i).Mark == mark)
            return i;
    return std::nullopt;
}

void TitleList::ClearMark(int index)
{
    if (index < 1 || index > count())
        return;
    at(index).Mark = 0;
    emit rowChanged(index);
}

std::array<bool, 10> TitleList::UsedMarks() const
{
    std::array<bool, 10> used{};
    for (int i = 1; i <= count(); ++i) {
        const int m = at(i).Mark;
        if (m >= 1 && m <= 9)
            used[std::size_t(m)] = true;
    }
    return used;
}

std::optional<int> TitleList::FindByMemoryNo(std::uint16_t memoryNo) const
{
    for (int i = 1; i <= count(); ++i)
        if (at(i).Attributes.memoryNo() == memoryNo)
            return i;
    return std::nullopt;
}

bool TitleList::IsInList(std::uint16_t memoryNo) const
{
    for (const auto &e : m_entries)
        if (e->Attributes.memoryNo() == memoryNo)
            return true;
    return false;
}

void TitleList::setOnAirMemoryNo(std::uint16_t memoryNo)
{
    if (m_onAirMemoryNo == memoryNo)
        return;
    m_onAirMemoryNo = memoryNo;
    emit onAirChanged(memoryNo);
}

bool TitleList::SelectionOnAir(MessageBoxes &boxes) const
{
    for (int i = 1; i <= count(); ++i) {
        if (at(i).Selected && at(i).Attributes.memoryNo() == m_onAirMemoryNo) {
            ShowMessageById(boxes, 1, 136, MsgError);
            return true;
        }
    }
    return false;
}
