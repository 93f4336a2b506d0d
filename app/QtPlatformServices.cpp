#include "app/QtPlatformServices.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QUrl>

namespace {

QtPlatformServices defaultServices;
PlatformServices *current = &defaultServices;

QWidget *dialogParent()
{
    return QApplication::activeModalWidget() ? QApplication::activeModalWidget()
                                             : QApplication::activeWindow();
}

void showBox(QMessageBox::Icon icon, const QString &caption, const QString &text)
{
    QMessageBox box(icon, caption, text, QMessageBox::Ok, dialogParent());
    box.exec();
}

} // namespace

PlatformServices &Platform() { return *current; }

void SetPlatform(PlatformServices *services) { current = services ? services : &defaultServices; }

QString ErrorBoxText(const QString &text)
{
    if (!text.isEmpty() && text.back() > QChar('.'))
        return text + '.';
    return text;
}

void QtPlatformServices::InformationBox(const QString &text)
{
    showBox(QMessageBox::Information, QApplication::applicationName(), text);
}

void QtPlatformServices::ErrorBox(const QString &text)
{
    showBox(QMessageBox::Critical, "Quorvis", text);
}

void QtPlatformServices::MessageBox(const QString &text)
{
    showBox(QMessageBox::NoIcon, QApplication::applicationName(), text);
}

void QtPlatformServices::CaptionedBox(const QString &caption, const QString &text)
{
    showBox(QMessageBox::Information, caption, text);
}

bool QtPlatformServices::QuestionBox(const QString &text)
{
    QMessageBox box(QMessageBox::Question, QApplication::applicationName(), text, QMessageBox::Yes | QMessageBox::No,
                    dialogParent());
    box.setDefaultButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

QStringList QtPlatformServices::OpenFiles(const QString &title, const QString &filter, bool multiSelect)
{
    if (multiSelect)
        return QFileDialog::getOpenFileNames(dialogParent(), title, QString(), filter);
    const QString one = QFileDialog::getOpenFileName(dialogParent(), title, QString(), filter);
    return one.isEmpty() ? QStringList() : QStringList{one};
}

QString QtPlatformServices::SaveFile(const QString &title, const QString &filter, const QString &suggested)
{
    return QFileDialog::getSaveFileName(dialogParent(), title, suggested, filter);
}

QString QtPlatformServices::BrowseFolder(const QString &caption)
{
    return QFileDialog::getExistingDirectory(dialogParent(), caption);
}

void QtPlatformServices::OpenPathOrUrl(const QString &pathOrUrl)
{
    // A scheme of two or more letters ("https:", "mailto:") makes a link; a
    // drive letter ("C:") or no scheme makes a file path.
    const QUrl asUrl(pathOrUrl);
    const bool isLink = asUrl.scheme().size() > 1 && !QFileInfo(pathOrUrl).isAbsolute();
    QDesktopServices::openUrl(isLink ? asUrl : QUrl::fromLocalFile(pathOrUrl));
}
