#include "merge/ui/TMergeForm.h"

TMergeForm *MergeForm = nullptr;

TMergeForm::TMergeForm(QWidget *owner) : QDialog(owner)
{
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle("Merge");
}

TMergeForm::~TMergeForm()
{
    if (MergeForm == this)
        MergeForm = nullptr;
}
