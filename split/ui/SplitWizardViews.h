#pragma once
#include <QString>

class SplitPlan;
class TSplitForm;

// What the split wizard's steps show of its state, apart from the handlers
// that change it.
namespace split_wizard {

// Step 1: the opened source's tag and facts from form.AudioInformation.
void ShowSourceInformation(TSplitForm &form);
// Step 1: the source and tag fields emptied.
void ClearSourceFields(TSplitForm &form);

// Step 2: the hint of CheckLossless, saying why copying is or is not possible.
// sourceFormat: LosslessSaveFormat of the source; saveFormat: the chosen one.
QString LosslessHint(const QString &sourceFormat, const QString &saveFormat);

// Step 4: the choices the run will use, one caption line and one indented
// value line each.
QString SplitSummaryText(const SplitPlan &plan, const QString &saveFormat, const QString &savePath, bool lossless);

} // namespace split_wizard
