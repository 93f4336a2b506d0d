#pragma once

class QSpinBox;
class QWidget;

namespace merge_form {

// The convert page's "Files at once:" box: how many files a conversion works
// on at the same time, 0 shown as "All cores". It edits ProgramSettings.jobs
// as it changes; the run saves it with the general settings. Returns the row
// (label and box) to lay out; the box itself goes to `spin`.
QWidget *BuildJobsBox(QWidget *page, QSpinBox *&spin);

} // namespace merge_form
