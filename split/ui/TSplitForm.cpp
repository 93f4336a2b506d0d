#include "split/ui/TSplitForm.h"

TSplitForm *SplitForm = nullptr;

TSplitForm::TSplitForm(QWidget *owner) : QDialog(owner)
{
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle("Split");
}

TSplitForm::~TSplitForm()
{
    if (SplitForm == this)
        SplitForm = nullptr;
}
