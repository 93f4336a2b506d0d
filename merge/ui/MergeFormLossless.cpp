// "Copy the audio without re-encoding" on the merge page.
#include "merge/ui/MergeFormPanels.h"
#include "merge/ui/NormaliseBox.h"
#include "merge/ui/TMergeForm.h"

#include "audio/LosslessJoin.h"
#include "audio/ui/PreviewPanel.h"
#include "base/OutputFormat.h"
#include "config/ProgramSettings.h"
#include "merge/WindowMode.h"

#include <QAbstractItemModel>
#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QTimer>
#include <QTreeWidget>

namespace merge_form {
namespace {

// Looks at the list and the format after each change of either (once for
// a burst of changes: a refill of the list is one change per row), and
// after a run gives the box back its state from before.
class LosslessWatch : public QObject {
public:
    explicit LosslessWatch(TMergeForm &form) : QObject(form.CheckLossless), f_(form)
    {
        timer_.setSingleShot(true);
        timer_.setInterval(0);
        connect(&timer_, &QTimer::timeout, this, [this] { Update(); });
        const auto later = [this] {
            if (Alive())
                timer_.start();
        };
        connect(f_.CBFormat, &QComboBox::currentIndexChanged, this, later);
        connect(f_.CBNormalise, &QComboBox::currentIndexChanged, this, later);
        QAbstractItemModel *model = f_.ListView1->model();
        connect(model, &QAbstractItemModel::rowsInserted, this, later);
        connect(model, &QAbstractItemModel::rowsRemoved, this, later);
        connect(model, &QAbstractItemModel::modelReset, this, later);
        connect(model, &QAbstractItemModel::layoutChanged, this, later);
        f_.CheckLossless->setChecked(ProgramSettings.losslessjoin == 1);
        // Saved with the chapter marks when a merge has run.
        connect(f_.CheckLossless, &QCheckBox::toggled, this, [](bool on) { ProgramSettings.losslessjoin = on ? 1 : 0; });
        f_.CheckLossless->installEventFilter(this);
        Update();
        constructing_ = false;
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::EnabledChange && Alive() && f_.CheckLossless->isEnabled() && !allowed_)
            timer_.start();
        return QObject::eventFilter(watched, event);
    }

private:
    // The window's destructor lets go of its preview first, then of its
    // list, and only then of the widgets: the list must not be read after.
    // The preview is made just after this, so it is there all the while between.
    bool Alive()
    {
        if (constructing_)
            return true;
        if (!dead_ && !previewWatched_ && f_.Preview) {
            previewWatched_ = true;
            connect(f_.Preview.get(), &QObject::destroyed, this, [this] {
                dead_ = true;
                timer_.stop();
            });
        }
        return !dead_ && f_.Preview;
    }

    void Update()
    {
        // The box is on the merge page only; a conversion's list (a library,
        // maybe) is not read through for it.
        if (!Alive() || WindowMode != LauncherMode::Merge)
            return;
        const QStringList paths = f_.SourceFileList.Paths();
        const int index = f_.CBFormat->currentIndex();
        const QString format = index >= 0 && index < output_format::Count() ? output_format::WordAt(index) : QString();
        QString why;
        if (paths.isEmpty())
            why = QStringLiteral("Add MP3 or FLAC files of one format, and choose that format, to copy their audio.");
        else if (NormaliseTarget(*f_.CBNormalise) != 0)
            why = QStringLiteral("A copy cannot change the loudness: set \"Normalise to\" to Off to copy the audio.");
        else
            why = LosslessJoinRefusal(paths, format);
        allowed_ = why.isEmpty();
        // Not during a run: the format box is locked then, and so is this.
        f_.CheckLossless->setEnabled(allowed_ && f_.CBFormat->isEnabled());
        f_.CheckLossless->setToolTip(allowed_ ? QStringLiteral("Copy the audio as it is: exact and fast. At each join of MP3 "
                                                               "files a few frames are encoded anew, so that it has no gap.")
                                              : why);
    }

    TMergeForm &f_;
    QTimer timer_;
    bool allowed_ = false;
    bool previewWatched_ = false;
    bool dead_ = false;
    bool constructing_ = true;
};

} // namespace

void WatchLosslessCheck(TMergeForm &form) { new LosslessWatch(form); }

} // namespace merge_form
