#pragma once
#include <QString>

#include <cstdint>
#include <initializer_list>
#include <utility>
#include <vector>

class QComboBox;
class QGroupBox;
class QLabel;
class QWidget;

// What the output format settings pages share: how their lists map to stored
// values, and how their controls are made and laid out.
namespace settings_page {

// A list whose items are values: a stored value missing from it selects the
// fallback index, and no selection saves the fallback value.
struct ValueList {
    std::vector<int> values;
    int fallbackIndex;

    int ValueFallback() const { return values[static_cast<size_t>(fallbackIndex)]; }
    void Fill(QComboBox *cb) const;
    void Show(QComboBox *cb, int value) const;
    int Value(const QComboBox *cb) const;
};

extern const ValueList SampleRates; // Hz
// The same with "Same as source" last, stored as 0.
extern const ValueList SampleRatesOrSource;
// The item that stands for the value 0 in the lists that offer it.
QString SameAsSourceText();
extern const ValueList BitRates;    // kbps

// Counted lists: item k stands for k + offset. A value outside the list
// leaves no item selected (index -1), which then saves as offset - 1.
void ShowCounted(QComboBox *cb, int64_t value, int offset);
int CountedValue(const QComboBox *cb, int offset);
// Counted lists whose last item is "Same as source" (added by
// AddSameAsSource), stored as 0; the counted items keep their values.
void AddSameAsSource(QComboBox *cb);
void ShowCountedOrSource(QComboBox *cb, int64_t value, int offset);
int CountedOrSourceValue(const QComboBox *cb, int offset);

// A drop-down list the user picks from and cannot type into.
QComboBox *NewList(QWidget *parent, const QString &name);
QLabel *NewLabel(QWidget *parent, const QString &name, const QString &text);
QGroupBox *NewGroup(QWidget *parent, const QString &name, const QString &title);

// Adds "label  list" rows to a group box; the label names its list for
// screen readers.
void AddRows(QGroupBox *group, std::initializer_list<std::pair<QLabel *, QComboBox *>> rows);

} // namespace settings_page
