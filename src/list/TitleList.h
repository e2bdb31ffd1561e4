#pragma once

#include "list/TitleEntry.h"

#include <QObject>
#include <array>
#include <memory>
#include <optional>
#include <vector>

class MessageBoxes;

// The send list: the head entry at index 0 (the grid's header row, never
// saved, selected, copied or deleted) and up to 99 titles at 1..N. A title's
// order number is its index. The list only holds state and tells its
// listeners what changed; windows redraw from its signals.
class TitleList : public QObject
{
    Q_OBJECT

public:
    static constexpr int MaxTitles = 99;

    explicit TitleList(QObject *parent = nullptr);
    ~TitleList() override;

    // Number of titles (the head entry not counted).
    int count() const { return int(m_entries.size()) - 1; }
    bool isEmpty() const { return count() == 0; }
    bool isFull() const { return count() >= MaxTitles; }
    // Entry at index 0..count(); index 0 is the head entry.
    TitleEntry &at(int index) { return *m_entries.at(std::size_t(index)); }
    const TitleEntry &at(int index) const { return *m_entries.at(std::size_t(index)); }
    TitleEntry &head() { return at(0); }

    // Appends a title; refused with message 105 when the list is full.
    bool append(TitleEntry entry, MessageBoxes &boxes);
    // Inserts at index 1..count()+1 without any message; false when full or out of range.
    bool insert(int index, TitleEntry entry);
    // Removes and returns the title at 1..count().
    TitleEntry take(int index);
    // Removes every title; the head entry stays.
    void clear();
    // Moves the title at `from` to stand before the title now at `to` (both 1..count()+1).
    void move(int from, int to);

    int cursor() const { return m_cursor; }
    // Clamps to 1..N, selects that title alone and makes it the cursor. Nothing with N = 0.
    void SetCursor(int index);
    void SelectAll();
    void setSelected(int index, bool selected);
    int SelectionCount() const;
    std::vector<int> selectedIndexes() const;

    // First title (from index 1) holding mark m, or none.
    std::optional<int> FindByMark(int mark) const;
    void ClearMark(int index);
    // usedMarks[m] for m = 1..9 (index 0 unused).
    std::array<bool, 10> UsedMarks() const;
    // First title (from index 1) with this memory number, or none.
    std::optional<int> FindByMemoryNo(std::uint16_t memoryNo) const;
    // Some entry, head included, holds this memory number.
    bool IsInList(std::uint16_t memoryNo) const;

    std::uint16_t OnAirMemoryNo() const { return m_onAirMemoryNo; }
    void setOnAirMemoryNo(std::uint16_t memoryNo);
    // True (after message 136) when a selected title is the one on air.
    bool SelectionOnAir(MessageBoxes &boxes) const;

    // Tells listeners one title's row changed (properties, mark, thumbnail, memory).
    void notifyRowChanged(int index) { emit rowChanged(index); }

signals:
    // Titles were added, removed or reordered; every row may have changed.
    void listChanged();
    void rowChanged(int index);
    void selectionChanged();
    // SetCursor ran: scroll to the row and show the first file in the status bar.
    void cursorSet(int index, const QString &firstFile);
    void countChanged(int count);
    void onAirChanged(std::uint16_t memoryNo);

private:
    std::vector<std::unique_ptr<TitleEntry>> m_entries;
    int m_cursor = 1;
    std::uint16_t m_onAirMemoryNo = MemoryNo::None;
};
