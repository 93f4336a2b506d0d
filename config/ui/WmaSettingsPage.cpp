#include "config/ui/WmaSettingsPage.h"

#include "config/ProgramSettings.h"
#include "config/ui/SettingsPageParts.h"

#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QVBoxLayout>

using namespace settings_page;

WmaSettingsPage::WmaSettingsPage(QWidget *parent) : QWidget(parent)
{
    setObjectName("TabSheet3");
    GroupBox4 = NewGroup(this, "GroupBox4", "WMA Settings");
    Label9 = NewLabel(GroupBox4, "Label9", "WMA Profile");
    cbWMAProfile = NewList(GroupBox4, "cbWMAProfile");
    // Profile names are long; let the list take the page's width instead of
    // growing the dialog.
    cbWMAProfile->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    cbWMAProfile->setMinimumContentsLength(28);
    Label9->setBuddy(cbWMAProfile);
    auto *rows = new QFormLayout(GroupBox4);
    rows->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
    rows->addRow(Label9, cbWMAProfile);
    auto *page = new QVBoxLayout(this);
    page->addWidget(GroupBox4);
    page->addStretch();

    cbWMAProfile->setCurrentIndex(-1);
}

void WmaSettingsPage::Load(const TProgramSettings &s) { ShowCounted(cbWMAProfile, s.wma_wmaprofile, 1); }

void WmaSettingsPage::Save(TProgramSettings &s) const { s.wma_wmaprofile = CountedValue(cbWMAProfile, 1); }
