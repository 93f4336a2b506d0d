#pragma once
#include <QIcon>
#include <QPixmap>

// The program's icons, drawn in code so the tree carries no binary images.
// Each is drawn at the requested size in device-independent pixels.
namespace AppIcons {
QIcon Split();
QIcon Merge();
QIcon Convert();
QIcon Settings();
QIcon Help();
QIcon Exit();
// The product icon: a waveform on a rounded blue square.
QIcon Product();
// The product icon drawn at any size, and the same drawing as SVG text, for
// the icon files an installed copy puts in the desktop's icon theme.
QPixmap ProductPixmap(int size);
QByteArray ProductSvg();
// The tip dialog's light bulb.
QPixmap Bulb(int size);
} // namespace AppIcons
