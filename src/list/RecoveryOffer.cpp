#include "list/RecoveryOffer.h"

#include "core/MessageBoxes.h"
#include "list/ListEditor.h"
#include "list/RecoveryCopy.h"
#include "resources/MessageTable.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>

Q_LOGGING_CATEGORY(lcRecoveryOffer, "titledeck.list.recovery", QtWarningMsg)

namespace RecoveryOffer {

namespace {

QString changeTime(const QDateTime &utc)
{
    const QDateTime local = utc.toLocalTime();
    return local.toString(MessageTable::language() == Language::Japanese
                              ? QStringLiteral("yyyy/MM/dd HH:mm:ss")
                              : QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

} // namespace

QString damagedName(const QString &copyFile)
{
    const QString base = copyFile + QStringLiteral(".damaged");
    QString name = base;
    for (int n = 2; QFileInfo::exists(name); ++n)
        name = base + QString::number(n);
    return name;
}

bool offerAtStart(ListEditor &editor, const QString &copyFile, MessageBoxes &boxes)
{
    QFile file(copyFile);
    if (!file.exists())
        return false;
    QString why;
    std::optional<RecoveryCopy> copy;
    if (file.open(QIODevice::ReadOnly)) {
        // A kept list is at most 99 records and a path: anything far larger is not one.
        const QByteArray bytes = file.read(4 << 20);
        file.close();
        copy = RecoveryCopy::decode(bytes, &why);
    } else {
        why = file.errorString();
    }
    if (!copy) {
        const QString kept = damagedName(copyFile);
        qCWarning(lcRecoveryOffer) << "kept list refused:" << why << "- left as" << kept;
        const QString shown = QFile::rename(copyFile, kept) ? kept : copyFile;
        ShowMessageById(boxes, 1, 159, MsgError, {QDir::toNativeSeparators(shown)});
        return false;
    }
    if (copy->Records.empty()) {
        QFile::remove(copyFile);
        return false;
    }
    const QString name = copy->OriginalPath.isEmpty()
                             ? MessageTable::text(59)
                             : QDir::toNativeSeparators(copy->OriginalPath);
    if (ShowMessageById(boxes, 157, 158, MsgQuestionYesNo,
                        {name, int(copy->Records.size()), changeTime(copy->ChangedAt)}) != IdYes) {
        QFile::remove(copyFile);
        return false;
    }
    return editor.RestoreList(copy->Records, copy->OriginalPath, copy->Modified);
}

} // namespace RecoveryOffer
