#include "core/SettingsStore.h"

#include <QLoggingCategory>

Q_LOGGING_CATEGORY(lcSettings, "titledeck.settings", QtWarningMsg)

SettingsStore::SettingsStore()
    : m_settings(std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope,
                                             QStringLiteral("Korvel KL-VT90"),
                                             QStringLiteral("TitleDeck")))
{
    m_readable = m_settings->status() == QSettings::NoError;
    if (!m_readable)
        qCWarning(lcSettings) << "settings file unreadable, using defaults:" << fileName();
}

SettingsStore::SettingsStore(const QString &fileName)
    : m_settings(std::make_unique<QSettings>(fileName, QSettings::IniFormat))
{
    m_readable = m_settings->status() == QSettings::NoError;
    if (!m_readable)
        qCWarning(lcSettings) << "settings file unreadable, using defaults:" << fileName;
}

SettingsStore::~SettingsStore() = default;

QString SettingsStore::fileName() const
{
    return m_settings->fileName();
}

void SettingsStore::beginGroup(const QString &group)
{
    m_settings->beginGroup(group);
}

void SettingsStore::endGroup()
{
    m_settings->endGroup();
}

int SettingsStore::ReadIntegerDefault(const QString &name, int defaultValue) const
{
    if (!m_readable || !m_settings->contains(name))
        return defaultValue;
    bool ok = false;
    // Registry integers are 32 bits: larger numbers wrap as they would there.
    const qlonglong v = m_settings->value(name).toString().trimmed().toLongLong(&ok, 0);
    return ok ? int(qint32(quint32(quint64(v)))) : defaultValue;
}

bool SettingsStore::ReadBoolDefault(const QString &name, bool defaultValue) const
{
    if (!m_readable || !m_settings->contains(name))
        return defaultValue;
    const QString s = m_settings->value(name).toString().trimmed().toLower();
    if (s == QLatin1String("true"))
        return true;
    if (s == QLatin1String("false"))
        return false;
    bool ok = false;
    const qlonglong v = s.toLongLong(&ok, 0);
    return ok ? v != 0 : defaultValue;
}

QString SettingsStore::ReadStringDefault(const QString &name, const QString &defaultValue) const
{
    if (!m_readable || !m_settings->contains(name))
        return defaultValue;
    return m_settings->value(name).toString();
}

void SettingsStore::WriteInteger(const QString &name, int value)
{
    m_settings->setValue(name, value);
}

void SettingsStore::WriteBool(const QString &name, bool value)
{
    m_settings->setValue(name, value ? 1 : 0);
}

void SettingsStore::WriteString(const QString &name, const QString &value)
{
    m_settings->setValue(name, value);
}

bool SettingsStore::sync()
{
    m_settings->sync();
    return m_settings->status() == QSettings::NoError;
}
