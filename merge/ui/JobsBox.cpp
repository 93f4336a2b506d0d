#include "merge/ui/JobsBox.h"

#include "config/ProgramSettings.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QSpinBox>

namespace merge_form {

QWidget *BuildJobsBox(QWidget *page, QSpinBox *&spin)
{
    auto *row = new QWidget(page);
    auto *label = new QLabel("Files at once:", row);
    label->setObjectName("LabelJobs");
    spin = new QSpinBox(row);
    spin->setObjectName("SpinJobs");
    spin->setRange(0, kMaxJobs);
    spin->setSpecialValueText("All cores");
    spin->setToolTip("How many files are converted at the same time");
    spin->setValue(ProgramSettings.jobs);
    label->setBuddy(spin);
    QObject::connect(spin, &QSpinBox::valueChanged, spin, [](int value) { ProgramSettings.jobs = value; });

    auto *layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(label);
    layout->addWidget(spin);
    return row;
}

} // namespace merge_form
