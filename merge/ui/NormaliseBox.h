#pragma once

class QComboBox;
class QWidget;
struct MergeRequest;

namespace merge_form {

// "Normalise to:" on the merge page: Off, -23, -18, -16, -14 LUFS, showing
// the remembered choice.
QComboBox *MakeNormaliseBox(QWidget *parent);
// The chosen loudness in LUFS; 0 for Off.
int NormaliseTarget(const QComboBox &box);
// A completed merge's chapter marks and loudness target become the
// remembered ones, in memory and in setup.ini. Throws when the file cannot be written.
void RememberMergeChoices(const MergeRequest &request);

} // namespace merge_form
