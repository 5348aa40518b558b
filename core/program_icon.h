// The program's icon (window icon, About box) in every size drawn for it (res/icons).
#pragma once

#include <QIcon>

QIcon ProgramIcon();
