#include "config/ui/SettingsPageParts.h"

#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>

namespace settings_page {

const ValueList SampleRates{{8000, 11025, 16000, 22050, 24000, 32000, 44100, 48000}, 6};
const ValueList SampleRatesOrSource{{8000, 11025, 16000, 22050, 24000, 32000, 44100, 48000, 0}, 6};
const ValueList BitRates{{8, 16, 24, 32, 48, 56, 64, 96, 112, 128, 160, 192, 224, 256, 320}, 9};

QString SameAsSourceText() { return QStringLiteral("Same as source"); }

void ValueList::Fill(QComboBox *cb) const
{
    for (int v : values)
        cb->addItem(v == 0 ? SameAsSourceText() : QString::number(v));
}

void ValueList::Show(QComboBox *cb, int value) const
{
    int index = fallbackIndex;
    for (size_t i = 0; i < values.size(); ++i)
        if (values[i] == value)
            index = static_cast<int>(i);
    cb->setCurrentIndex(index);
}

int ValueList::Value(const QComboBox *cb) const
{
    const int k = cb->currentIndex();
    return k >= 0 && k < static_cast<int>(values.size()) ? values[static_cast<size_t>(k)] : ValueFallback();
}

void ShowCounted(QComboBox *cb, int64_t value, int offset)
{
    const int64_t index = value - offset;
    cb->setCurrentIndex(index >= 0 && index < cb->count() ? static_cast<int>(index) : -1);
}

int CountedValue(const QComboBox *cb, int offset) { return cb->currentIndex() + offset; }

void AddSameAsSource(QComboBox *cb) { cb->addItem(SameAsSourceText()); }

void ShowCountedOrSource(QComboBox *cb, int64_t value, int offset)
{
    const int sourceItem = cb->count() - 1;
    const int64_t index = value - offset;
    if (value == 0)
        cb->setCurrentIndex(sourceItem);
    else
        cb->setCurrentIndex(index >= 0 && index < sourceItem ? static_cast<int>(index) : -1);
}

int CountedOrSourceValue(const QComboBox *cb, int offset)
{
    return cb->currentIndex() == cb->count() - 1 ? 0 : CountedValue(cb, offset);
}

QComboBox *NewList(QWidget *parent, const QString &name)
{
    auto *cb = new QComboBox(parent);
    cb->setObjectName(name);
    cb->setEditable(false);
    cb->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    return cb;
}

QLabel *NewLabel(QWidget *parent, const QString &name, const QString &text)
{
    auto *label = new QLabel(text, parent);
    label->setObjectName(name);
    return label;
}

QGroupBox *NewGroup(QWidget *parent, const QString &name, const QString &title)
{
    auto *group = new QGroupBox(title, parent);
    group->setObjectName(name);
    return group;
}

void AddRows(QGroupBox *group, std::initializer_list<std::pair<QLabel *, QComboBox *>> rows)
{
    auto *form = new QFormLayout(group);
    form->setFieldGrowthPolicy(QFormLayout::FieldsStayAtSizeHint);
    for (const auto &[label, list] : rows) {
        label->setBuddy(list);
        form->addRow(label, list);
    }
}

} // namespace settings_page
