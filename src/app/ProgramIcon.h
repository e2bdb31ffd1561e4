#pragma once

#include <QIcon>

// The program's icon (window icons, the About box) in the sizes it carries.
QIcon ProgramIcon();
