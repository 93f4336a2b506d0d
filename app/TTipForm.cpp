#include "app/TTipForm.h"

#include "app/FixedDialog.h"
#include "app/AppIcons.h"
#include "base/PlatformServices.h"
#include "base/ui/Guarded.h"
#include "config/IniFile.h"
#include "config/ProgramFiles.h"
#include "config/ProgramSettings.h"

#include <QCheckBox>
#include <QFile>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QTextEdit>

TTipForm *TipForm = nullptr;

const QString TTipForm::NoTipsText = QStringLiteral("No tips were found. The file tips.txt is missing or empty.");

namespace {

// Every line that is not blank is one tip. The file is in the system's 8-bit
// encoding; a missing or unreadable file holds no tips.
QStringList ReadTips(const QString &path)
{
    QStringList tips;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return tips;
    while (!file.atEnd()) {
        QByteArray line = file.readLine();
        while (line.endsWith('\n') || line.endsWith('\r'))
            line.chop(1);
        if (!line.trimmed().isEmpty())
            tips << QString::fromLocal8Bit(line);
    }
    return tips;
}

} // namespace

TTipForm::TTipForm(QWidget *owner) : QDialog(owner)
{
    SetUpFixedDialog(this, "Tip of the Day", QSize(350, 261));

    Bevel1 = new QFrame(this);
    Bevel1->setObjectName("Bevel1");
    Bevel1->setFrameShape(QFrame::Box);
    Bevel1->setFrameShadow(QFrame::Sunken);
    Bevel1->setGeometry(8, 8, 334, 204);

    Panel1 = new QFrame(this);
    Panel1->setObjectName("Panel1");
    Panel1->setGeometry(10, 10, 330, 200);
    Panel1->setAutoFillBackground(true);
    QPalette white = Panel1->palette();
    white.setColor(QPalette::Window, Qt::white);
    white.setColor(QPalette::Base, Qt::white);
    white.setColor(QPalette::WindowText, Qt::black);
    white.setColor(QPalette::Text, Qt::black);
    Panel1->setPalette(white);

    Image1 = new QLabel(Panel1);
    Image1->setObjectName("Image1");
    Image1->setPixmap(AppIcons::Bulb(40));
    Image1->setGeometry(10, 10, 40, 40);

    Label1 = new QLabel("Did you know...", Panel1);
    Label1->setObjectName("Label1");
    QFont heading = font();
    heading.setPixelSize(16);
    heading.setBold(true);
    Label1->setFont(heading);
    Label1->setGeometry(60, 18, 260, 24);

    RichEdit1 = new QTextEdit(Panel1);
    RichEdit1->setObjectName("RichEdit1");
    RichEdit1->setReadOnly(true);
    RichEdit1->setFrameShape(QFrame::NoFrame);
    RichEdit1->setPalette(white);
    QFont tipFont("MS Sans Serif");
    tipFont.setPixelSize(12);
    RichEdit1->setFont(tipFont);
    RichEdit1->setGeometry(60, 52, 260, 140);

    CheckBox1 = new QCheckBox("Show Tips on Startup", this);
    CheckBox1->setObjectName("CheckBox1");
    CheckBox1->setGeometry(8, 224, 150, 22);

    BtnNext = new QPushButton("Next Tip", this);
    BtnNext->setObjectName("BtnNext");
    BtnNext->setGeometry(178, 222, 78, 27);
    BtnNext->setAutoDefault(false);

    BtnClose = new QPushButton("Close", this);
    BtnClose->setObjectName("BtnClose");
    BtnClose->setGeometry(264, 222, 78, 27);
    BtnClose->setDefault(true);

    connect(BtnNext, &QPushButton::clicked, this, Guarded([this] { BtnNextClick(); }));
    connect(BtnClose, &QPushButton::clicked, this, Guarded([this] { BtnCloseClick(); }));

    // An error here is shown and the dialog opens with what was done so far.
    RunGuarded([this] { FormCreate(); });
}

TTipForm::~TTipForm()
{
    if (TipForm == this)
        TipForm = nullptr;
}

void TTipForm::FormCreate()
{
    configPath_ = ConfigFilePath();
    tipNumber_ = ReadIniInt(configPath_, "tips", "tipno", 1);
    showTip_ = ReadIniInt(configPath_, "tips", "showtip", 1);
    CheckBox1->setChecked(showTip_ == 1);

    tips_ = ReadTips(ProgramDataFile("tips.txt"));
    const int count = TipCount();
    if (count == 0) {
        // Nothing to number: keep the stored tipno and say so.
        RichEdit1->setPlainText(NoTipsText);
        return;
    }
    // A stored number below 0 starts again at the first tip.
    if (tipNumber_ < 0)
        tipNumber_ = 0;
    if (tipNumber_ >= count)
        tipNumber_ %= count;
    ShowTip(tipNumber_ + 1);
}

void TTipForm::ShowTip(int number)
{
    if (number < 1 || number > TipCount())
        return; // the text on display stays
    tipNumber_ = number;
    RichEdit1->clear();
    RichEdit1->setPlainText(tips_[number - 1]);
}

void TTipForm::BtnNextClick()
{
    if (TipCount() == 0)
        return;
    ShowTip(tipNumber_ >= TipCount() ? 1 : tipNumber_ + 1);
}

void TTipForm::BtnCloseClick()
{
    IniBatchWriter writer(configPath_);
    writer.Set("tips", "tipno", tipNumber_);
    writer.Set("tips", "showtip", CheckBox1->isChecked() ? 1 : 0);
    writer.Commit();
    accept();
}
