#include "core/SettingsStore.h"

#include "core/IniText.h"
#include "core/SafeFileWriter.h"

#include <QDir>
#include <QFileInfo>
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
    m_group = group;
}

void SettingsStore::endGroup()
{
    m_group.clear();
}

QVariant SettingsStore::value(const QString &name) const
{
    const QString key = m_group.isEmpty() ? name : m_group + u'/' + name;
    if (const auto written = m_written.constFind(key); written != m_written.cend())
        return written.value();
    return m_readable ? m_settings->value(key) : QVariant();
}

int SettingsStore::ReadIntegerDefault(const QString &name, int defaultValue) const
{
    const QVariant stored = value(name);
    if (stored.isNull())
        return defaultValue;
    bool ok = false;
    // Registry integers are 32 bits: larger numbers wrap as they would there.
    const qlonglong v = stored.toString().trimmed().toLongLong(&ok, 0);
    return ok ? int(qint32(quint32(quint64(v)))) : defaultValue;
}

bool SettingsStore::ReadBoolDefault(const QString &name, bool defaultValue) const
{
    const QString s = value(name).toString().trimmed().toLower();
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
    const QVariant stored = value(name);
    return stored.isNull() ? defaultValue : stored.toString();
}

void SettingsStore::WriteInteger(const QString &name, int value)
{
    WriteString(name, QString::number(value));
}

void SettingsStore::WriteBool(const QString &name, bool value)
{
    WriteString(name, value ? QStringLiteral("1") : QStringLiteral("0"));
}

void SettingsStore::WriteString(const QString &name, const QString &value)
{
    m_written.insert(m_group.isEmpty() ? name : m_group + u'/' + name, value);
}

bool SettingsStore::sync()
{
    QSettings::SettingsMap all;
    if (m_readable) {
        const QSettings file(fileName(), QSettings::IniFormat);
        for (const QString &key : file.allKeys())
            all.insert(key, file.value(key));
    }
    all.insert(m_written);
    QDir().mkpath(QFileInfo(fileName()).absolutePath());
    QString why;
    if (!SafeFileWriter::replace(fileName(), IniText::write(all), &why)) {
        qCWarning(lcSettings) << "settings not written:" << fileName() << why;
        return false;
    }
    return true;
}
