#pragma once

#include <QSpinBox>
#include <functional>

// An edit with its up-down buttons whose typed text is corrected in place
// when editing ends, by a rule of the dialog (instead of being refused while
// typing): anything may be typed, and the rule turns the text into a value
// that is written back.
class CorrectingSpinBox : public QSpinBox
{
    Q_OBJECT

public:
    using Rule = std::function<int(const QString &text)>;

    explicit CorrectingSpinBox(QWidget *parent = nullptr);

    void setRule(Rule rule) { m_rule = std::move(rule); }
    // The edit inside, named after the dialog's edit control.
    QLineEdit *edit() const { return lineEdit(); }

protected:
    QValidator::State validate(QString &input, int &pos) const override;
    int valueFromText(const QString &text) const override;
    void fixup(QString &input) const override;

private:
    Rule m_rule;
};
