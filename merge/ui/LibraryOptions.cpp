#include "merge/ui/LibraryOptions.h"

#include "base/InputFormats.h"
#include "config/ProgramSettings.h"
#include "merge/ConvertEngine.h"
#include "merge/ConvertFile.h"
#include "merge/FolderSources.h"
#include "merge/NameTemplate.h"

#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QToolBar>
#include <QToolButton>
#include <QUrl>

namespace merge_form {
namespace {

// Reading tags for the preview costs a file open each: a few names tell
// whether the template does what the user means.
constexpr int kPreviewNames = 3;

} // namespace

LibraryOptions::LibraryOptions(QWidget *parent) : QWidget(parent)
{
    setObjectName("LibraryOptions");
    CheckKeepStructure = new QCheckBox("Keep folder structure", this);
    CheckKeepStructure->setObjectName("CheckKeepStructure");
    CheckSkipExisting = new QCheckBox("Skip files already converted", this);
    CheckSkipExisting->setObjectName("CheckSkipExisting");
    CheckReplayGain = new QCheckBox("Write ReplayGain tags", this);
    CheckReplayGain->setObjectName("CheckReplayGain");
    CheckReplayGain->setToolTip("Track and album gain and peak (EBU R128, -18 LUFS), measured while converting;\n"
                                "albums are grouped by their album tag, else by folder. WAV and WMA have no place for them.");
    LabelNameTemplate = new QLabel("Names from tags:", this);
    LabelNameTemplate->setObjectName("LabelNameTemplate");
    EdNameTemplate = new QLineEdit(this);
    EdNameTemplate->setObjectName("EdNameTemplate");
    EdNameTemplate->setPlaceholderText("{artist}/{album}/{track:02} - {title}");
    EdNameTemplate->setToolTip("Fields: artist, albumartist, album, title, track, disc, year, genre, filename;\n"
                               "{track:02} pads to two digits, \"/\" makes folders; a missing field gives the "
                               "file's own name. Empty: the source's name.");
    LabelNameTemplate->setBuddy(EdNameTemplate);
    LabelNamePreview = new QLabel(this);
    LabelNamePreview->setObjectName("LabelNamePreview");
    LabelNamePreview->setWordWrap(true);

    auto *grid = new QGridLayout(this);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->addWidget(CheckKeepStructure, 0, 0);
    grid->addWidget(CheckSkipExisting, 0, 1);
    grid->addWidget(CheckReplayGain, 1, 0);
    grid->addWidget(LabelNameTemplate, 2, 0);
    grid->addWidget(EdNameTemplate, 2, 1);
    grid->addWidget(LabelNamePreview, 3, 0, 1, 2);
}

void LibraryOptions::Load(const TProgramSettings &s)
{
    CheckKeepStructure->setChecked(s.keepstructure == 1);
    CheckSkipExisting->setChecked(s.skipexisting == 1);
    EdNameTemplate->setText(s.nametemplate);
    CheckReplayGain->setChecked(s.replaygain == 1);
}

void LibraryOptions::Save(TProgramSettings &s) const
{
    s.keepstructure = CheckKeepStructure->isChecked() ? 1 : 0;
    s.skipexisting = CheckSkipExisting->isChecked() ? 1 : 0;
    s.nametemplate = EdNameTemplate->text().trimmed();
    s.replaygain = CheckReplayGain->isChecked() ? 1 : 0;
}

void LibraryOptions::Apply(ConvertRequest &request) const
{
    request.keepStructure = CheckKeepStructure->isChecked();
    request.skipExisting = CheckSkipExisting->isChecked();
    request.nameTemplate = EdNameTemplate->text().trimmed();
    request.replayGain = CheckReplayGain->isChecked();
    request.baseFolders = baseFolders_;
}

void LibraryOptions::ShowPreview(const QStringList &sources, const QString &extension)
{
    const QString pattern = EdNameTemplate->text().trimmed();
    if (pattern.isEmpty()) {
        LabelNamePreview->clear();
        return;
    }
    if (const QString problem = TemplateProblem(pattern); !problem.isEmpty()) {
        LabelNamePreview->setText("Template: " + problem);
        return;
    }
    QStringList names;
    for (const QString &source : sources.mid(0, kPreviewNames))
        names << NameFromTemplate(pattern, TagFieldsOf(source)) + extension;
    LabelNamePreview->setText(names.join("\n"));
}

QStringList LibraryOptions::AddFolders(const QStringList &paths)
{
    const FolderSources found = ExpandSources(paths, true);
    for (auto it = found.baseFolders.begin(); it != found.baseFolders.end(); ++it)
        baseFolders_.insert(QDir::toNativeSeparators(it.key()), it.value());
    QStringList files;
    for (const QString &f : found.files)
        files << QDir::toNativeSeparators(f);
    return files;
}

QToolButton *AddFolderButton(QToolBar *bar)
{
    auto *button = new QToolButton(bar);
    button->setObjectName("ToolBtnAddFolder");
    button->setText("Add Folder...");
    button->setToolTip("Add the audio files of a folder and its subfolders");
    button->setToolButtonStyle(Qt::ToolButtonTextOnly);
    // Beside "Add Files...", before the first separator.
    const QList<QAction *> actions = bar->actions();
    bar->insertWidget(actions.size() > 1 ? actions[1] : nullptr, button);
    return button;
}

QStringList DroppedFilesAndFolders(const QMimeData &dropped)
{
    QStringList paths;
    for (const QUrl &url : dropped.urls()) {
        if (!url.isLocalFile())
            continue;
        const QString path = url.toLocalFile();
        if (QFileInfo(path).isDir() || input_formats::IsReadable(path))
            paths << QDir::toNativeSeparators(path);
    }
    return paths;
}

} // namespace merge_form
