#include "app/ProgramIcon.h"

QIcon ProgramIcon()
{
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64, 128})
        icon.addFile(QStringLiteral(":/icons/titledeck-%1.png").arg(size), QSize(size, size));
    return icon;
}
