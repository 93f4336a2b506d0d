#pragma once
#include <QHash>
#include <QString>
#include <QStringList>
#include <QWidget>

class QCheckBox;
class QLabel;
class QLineEdit;
class QMimeData;
class QToolBar;
class QToolButton;
struct ConvertRequest;
struct TProgramSettings;

namespace merge_form {

// The convert page's choices for whole libraries: keeping the folder
// structure of added folders, passing over files already converted, and
// names from tags with a preview of the first ones.
class LibraryOptions : public QWidget {
public:
    explicit LibraryOptions(QWidget *parent);

    QCheckBox *CheckKeepStructure, *CheckSkipExisting, *CheckReplayGain;
    QLabel *LabelNameTemplate;
    QLineEdit *EdNameTemplate;
    QLabel *LabelNamePreview;

    void Load(const TProgramSettings &s);
    void Save(TProgramSettings &s) const;
    // Fills the request's library fields, with the folders sources were added from.
    void Apply(ConvertRequest &request) const;
    // The names the first sources would get, or what is wrong with the template.
    void ShowPreview(const QStringList &sources, const QString &extension);
    // Files found in folders (recursively), remembering the folder each came from.
    QStringList AddFolders(const QStringList &paths);

private:
    QHash<QString, QString> baseFolders_;
};

// "Add Folder..." beside "Add Files..." in the list's tool bar.
QToolButton *AddFolderButton(QToolBar *bar);
// The dropped folders and readable files, as local paths.
QStringList DroppedFilesAndFolders(const QMimeData &dropped);

} // namespace merge_form
