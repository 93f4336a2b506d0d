#include "app/TAboutForm.h"

#include "app/FixedDialog.h"
#include "app/AppIcons.h"
#include "app/LinkLabel.h"
#include "app/Maker.h"
#include "base/PlatformServices.h"
#include "base/Version.h"
#include "base/ui/Guarded.h"
#include "config/IniFile.h"
#include "config/ProgramFiles.h"
#include "config/ProgramSettings.h"

#include <QFrame>
#include <QLabel>
#include <QPushButton>

TAboutForm *AboutForm = nullptr;

const QString TAboutForm::DefaultProgramName = QStringLiteral("Quorvis");
const QString TAboutForm::DefaultVersionName = QStringLiteral("v") + QLatin1String(QuorvisVersion);

namespace {

QFrame *MakePanel(const char *name, const QRect &geometry, QWidget *parent)
{
    auto *panel = new QFrame(parent);
    panel->setObjectName(name);
    panel->setFrameShape(QFrame::Panel);
    panel->setFrameShadow(QFrame::Raised);
    panel->setGeometry(geometry);
    return panel;
}

QLabel *MakeLabel(const char *name, const QString &text, const QRect &geometry, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    label->setObjectName(name);
    label->setGeometry(geometry);
    return label;
}

} // namespace

TAboutForm::TAboutForm(QWidget *owner) : QDialog(owner)
{
    SetUpFixedDialog(this, "About", QSize(363, 248));

    Panel1 = MakePanel("Panel1", QRect(0, 0, 363, 65), this);
    Panel2 = MakePanel("Panel2", QRect(0, 65, 363, 248 - 65 - 48), this);
    Panel3 = MakePanel("Panel3", QRect(0, 248 - 48, 363, 48), this);

    Image1 = new QLabel(Panel1);
    Image1->setObjectName("Image1");
    Image1->setPixmap(AppIcons::Product().pixmap(48, 48));
    Image1->setGeometry(12, 8, 48, 48);

    Label1 = MakeLabel("Label1", QString(), QRect(76, 8, 275, 48), Panel1);
    QFont title = font();
    title.setPixelSize(18);
    title.setBold(true);
    Label1->setFont(title);

    // Captions in one column, values to their right on the same lines.
    const int captionX = 24, valueX = 150, rowH = 20;
    const int row1 = 30, row2 = row1 + 30, row3 = row2 + 30;
    Label2 = MakeLabel("Label2", "Version", QRect(captionX, row1, 120, rowH), Panel2);
    Label3 = MakeLabel("Label3", QString(), QRect(valueX, row1, 200, rowH), Panel2);
    Label4 = MakeLabel("Label4", "HomePage", QRect(captionX, row2, 120, rowH), Panel2);
    Label5 = new LinkLabel(QString(), Qt::blue, Panel2);
    Label5->setObjectName("Label5");
    Label5->setGeometry(valueX, row2, 200, rowH);
    Label6 = MakeLabel("Label6", "Technology Support", QRect(captionX, row3, 120, rowH), Panel2);
    Label7 = new LinkLabel("Technology Support", Qt::blue, Panel2);
    Label7->setObjectName("Label7");
    Label7->setGeometry(valueX, row3, 200, rowH);

    BtnClose = new QPushButton("Close", Panel3);
    BtnClose->setObjectName("BtnClose");
    BtnClose->setGeometry(363 - 12 - 85, 10, 85, 28);
    BtnClose->setDefault(true);

    connect(Label5, &LinkLabel::clicked, this, Guarded([this] { Label5Click(); }));
    connect(Label7, &LinkLabel::clicked, this, Guarded([this] { Label7Click(); }));
    connect(BtnClose, &QPushButton::clicked, this, Guarded([this] { BtnCloseClick(); }));

    RunGuarded([this] { FormCreate(); });
}

TAboutForm::~TAboutForm()
{
    if (AboutForm == this)
        AboutForm = nullptr;
}

void TAboutForm::FormCreate()
{
    const QString ini = ProgramDataFile("support.ini");
    const QString programName = ReadIniString(ini, "about", "programname", DefaultProgramName);
    const QString versionName = ReadIniString(ini, "about", "versionname", DefaultVersionName);
    const QString homePage = ReadIniString(ini, "about", "homepage", MakerHomePageText);
    Label1->setText(programName + " " + versionName);
    Label3->setText(versionName);
    Label5->setText(homePage);
}

void TAboutForm::Label5Click()
{
    Platform().OpenPathOrUrl(MakerHomePage);
}

void TAboutForm::Label7Click()
{
    Platform().OpenPathOrUrl("mailto:" + MakerSupportMail);
}

void TAboutForm::BtnCloseClick()
{
    close();
}
