#include "config/ui/TSettingForm.h"

TSettingForm *SettingForm = nullptr;

TSettingForm::TSettingForm(QWidget *owner) : QDialog(owner)
{
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle("Settings");
}

TSettingForm::~TSettingForm()
{
    if (SettingForm == this)
        SettingForm = nullptr;
}
