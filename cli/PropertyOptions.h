#pragma once

#include "properties/EffectLink.h"
#include "properties/EffectTexts.h"

#include <QHash>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

// The options that edit properties on the command line ("list set",
// "defaults set"): each is kept as typed, and applied to the dialog's working
// copy through the dialog's own exit checks. A correction is one line on
// standard error: the option, what was typed, what is stored.
class PropertyOptions
{
public:
    // Parses --NAME VALUE pairs (and the bare --FLAG options of flags) from
    // arguments; whatever is not an option is left in positional. False with
    // error set for an unknown option, a missing value or a malformed one.
    bool parse(const QStringList &arguments, const QStringList &valueOptions,
               const QStringList &flags);

    QStringList positional;
    QString error;

    bool has(const QString &option) const { return m_values.contains(option); }
    QString value(const QString &option) const { return m_values.value(option); }
    bool flag(const QString &option) const { return m_flags.contains(option); }
    bool isEmpty() const { return m_values.isEmpty(); }

    // "on" / "off"; nothing for anything else.
    static std::optional<bool> onOff(const QString &text);

    // Where a correction or a refusal goes, with its subject ("title 3: ").
    using Report = std::function<void(const QString &line)>;

    // Runs an exit check on a typed value, reports a correction, and returns
    // the stored text.
    static QString checked(const QString &option, const QString &typed,
                           const std::function<QString(const QString &)> &rule,
                           const Report &report);

    // The effect options of one side ("in" or "out"): --SIDE-effect,
    // --SIDE-time, --SIDE-slide (when slides is set; a vertical slide is
    // refused without verticalSlides) and --SIDE-auto. Returns false (after
    // reporting why) when an option cannot apply.
    bool applyEffect(const QString &side, EffectTexts &texts, EffectLink &link, bool slides,
                     bool verticalSlides, const std::function<QString(const QString &)> &timeRule,
                     const Report &report) const;

private:
    QHash<QString, QString> m_values;
    QStringList m_flags;
};
