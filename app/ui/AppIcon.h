#pragma once
// The program's pictures, drawn in code so the program needs no image
// plug-in: the application icon (signal bars on a dark square) and the small
// clock beside the update-speed label.

#include <QIcon>
#include <QPixmap>

QPixmap PalvexPixmap(int size);
QIcon PalvexIcon();
// 19 x 18 pixels.
QPixmap SpeedPicture();
