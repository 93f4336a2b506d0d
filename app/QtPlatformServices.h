#pragma once
#include "base/PlatformServices.h"

// The platform services of the running application, on Qt's dialogs.
class QtPlatformServices : public PlatformServices {
public:
    void InformationBox(const QString &text) override;
    void ErrorBox(const QString &text) override;
    void MessageBox(const QString &text) override;
    void CaptionedBox(const QString &caption, const QString &text) override;
    bool QuestionBox(const QString &text) override;
    QStringList OpenFiles(const QString &title, const QString &filter, bool multiSelect) override;
    QString SaveFile(const QString &title, const QString &filter, const QString &suggested) override;
    QString BrowseFolder(const QString &caption) override;
    void OpenPathOrUrl(const QString &pathOrUrl) override;
};
