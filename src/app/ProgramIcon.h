#pragma once

#include <QIcon>

// The program's icon, drawn from the SVG compiled into the program.
QIcon ProgramIcon();
