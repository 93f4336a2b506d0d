#include "app/QuorvisApplication.h"
#include "tests/common/ui/ScriptedPlatform.h"

#include <QCoreApplication>
#include <QEvent>
#include <QObject>
#include <gtest/gtest.h>
#include <stdexcept>

namespace {

// A receiver whose handler fails the way a user action's handler can.
class Throwing : public QObject {
public:
    enum class Kind { Std, Other } kind = Kind::Std;
    QString text;
    int handled = 0;

protected:
    bool event(QEvent *e) override
    {
        if (e->type() != QEvent::User)
            return QObject::event(e);
        if (kind == Kind::Std)
            throw std::runtime_error(text.toStdString());
        throw 42;
    }
};

TEST(ApplicationErrors, EscapingErrorIsShownInTheErrorBoxAndTheApplicationGoesOn)
{
    ASSERT_NE(qobject_cast<QuorvisApplication *>(QCoreApplication::instance()), nullptr);
    ScriptedPlatform platform;
    Throwing receiver;
    receiver.text = "Unable to write to /x/setup.ini";
    QEvent e(QEvent::User);
    EXPECT_FALSE(QCoreApplication::sendEvent(&receiver, &e));
    receiver.text = "Disk full.";
    QCoreApplication::sendEvent(&receiver, &e);
    EXPECT_EQ(platform.callsOf("error").size(), 2);
    EXPECT_EQ(platform.messages(), QStringList({"Unable to write to /x/setup.ini.", "Disk full."}));
}

TEST(ApplicationErrors, ErrorsOfOtherTypesAreShownToo)
{
    ScriptedPlatform platform;
    Throwing receiver;
    receiver.kind = Throwing::Kind::Other;
    QEvent e(QEvent::User);
    QCoreApplication::sendEvent(&receiver, &e);
    EXPECT_EQ(platform.callsOf("error").size(), 1);
    EXPECT_EQ(platform.messages(), QStringList{"An unexpected error occurred."});
}

} // namespace
