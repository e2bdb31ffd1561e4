#include "app/DroppedFiles.h"

#include "list/ImageImport.h"

#include <QFileInfo>
#include <QSet>
#include <algorithm>

namespace DroppedFiles {

bool isAccepted(const QString &fileName)
{
    const QString suffix = QFileInfo(fileName).suffix();
    return suffix.compare(QLatin1String("tga"), Qt::CaseInsensitive) == 0 ||
           suffix.compare(QLatin1String("bmp"), Qt::CaseInsensitive) == 0 ||
           suffix.compare(QLatin1String("jpg"), Qt::CaseInsensitive) == 0;
}

QStringList filesToAdd(const QStringList &dropped)
{
    QStringList kept;
    for (const QString &name : dropped)
        if (isAccepted(name))
            kept.append(name);
    std::stable_sort(kept.begin(), kept.end(), [](const QString &a, const QString &b) {
        const int c = a.compare(b, Qt::CaseInsensitive);
        return c != 0 ? c < 0 : a < b;
    });
    kept.removeDuplicates();

    QStringList out;
    QSet<QString> followers;
    for (const QString &name : std::as_const(kept)) {
        if (followers.contains(name))
            continue;
        out.append(name);
        QStringList sequence;
        if (ImageImport::DetectSequence(name, sequence))
            for (const QString &member : std::as_const(sequence))
                followers.insert(member);
    }
    return out;
}

} // namespace DroppedFiles
