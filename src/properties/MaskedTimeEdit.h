#pragma once

#include <QLineEdit>
#include <functional>

// A time field typed as digits over a fixed mask ("00:00" or "00:00:00"):
// only digits (main row and keypad) and the left and right arrow keys are
// taken, each digit overwrites the one under the cursor, and a selection of
// several characters is cut to its first before typing. Leaving the field
// runs its exit check; a corrected field is refilled, selected and focused
// again.
class MaskedTimeEdit : public QLineEdit
{
    Q_OBJECT

public:
    // Gives the corrected digits for the digits typed.
    using Rule = std::function<QString(const QString &digits)>;

    explicit MaskedTimeEdit(QWidget *parent = nullptr);

    // 2 for seconds and frames, 3 for minutes, seconds and frames.
    void setGroups(int groups);
    void setRule(Rule rule) { m_rule = std::move(rule); }
    void setDigits(const QString &digits);
    QString digits() const;
    // Runs the exit check now; true when the field was corrected.
    bool check();

signals:
    // The field was left (after its exit check).
    void exited();

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    void typeDigit(QChar digit);
    int nextDigitPosition(int pos) const;

    int m_groups = 2;
    Rule m_rule;
};
