#pragma once

class TSplitForm;

// Builds the split wizard's controls into the form's members, lays them out
// and connects them to the form's handlers. Called once each, in this order,
// from the form's constructor: the pages first, the steps into them, then the
// frame around them.
namespace split_wizard {

// PageControl1, the tabs the steps go into.
void BuildPages(TSplitForm &form);
// Open a source and show its tag.
void BuildStep1(TSplitForm &form);
// Output format and folder.
void BuildStep2(TSplitForm &form);
// Split mode, the preview player and the split-point editor with its list.
void BuildStep3(TSplitForm &form);
// Summary, progress, precision and the run button.
void BuildStep4(TSplitForm &form);
// Back / Next / Cancel, the status bar and the window's layout.
void BuildFrame(TSplitForm &form);

} // namespace split_wizard
