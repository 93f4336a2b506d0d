#pragma once
#include <QDialog>

// Placeholder until the window is built: an empty modal dialog.
class TSettingForm : public QDialog {
    Q_OBJECT
public:
    explicit TSettingForm(QWidget *owner);
    ~TSettingForm() override;
};

// The application's one reference to this window class; the window empties it
// when it is destroyed.
extern TSettingForm *SettingForm;
