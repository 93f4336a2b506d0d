#pragma once
#include <QDialog>
#include <QFont>

// The small fixed-size boxes of the launcher (about, tip of the day): destroyed
// on close, title bar with a close button only, and the launcher's 11-pixel
// dialog font, so their hand-placed geometry fits.
inline void SetUpFixedDialog(QDialog *dialog, const QString &title, QSize size)
{
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowTitle(title);
    dialog->setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                           | Qt::WindowCloseButtonHint);
    dialog->setFixedSize(size);
    QFont base("MS Sans Serif");
    base.setPixelSize(11);
    dialog->setFont(base);
}
