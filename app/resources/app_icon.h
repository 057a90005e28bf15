// Icon 135: the program's icon, drawn so that no image file has to be shipped.
#pragma once

#include <QIcon>
#include <QPixmap>

namespace cindral {

QPixmap AppIconPixmap(int size);
QIcon AppIcon();

}  // namespace cindral
