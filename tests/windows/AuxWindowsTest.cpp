// The about window, the hidden picture window and the code that opens it,
// driven as a user would on a small directory.

#include "Dialogs.h"
#include "Fixtures.h"
#include "LinkLabel.h"
#include "MailLink.h"
#include "ResultGrid.h"
#include "SecretCode.h"
#include "StartUp.h"
#include "UAbout.h"
#include "UMain.h"
#include "USecret.h"
#include "WindowHelpers.h"

#include <QAccessible>
#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QUrlQuery>

#include <functional>
#include <memory>

using namespace phonebook;
using namespace phonebook::fixtures;

namespace {

// Counts how often a window was shown.
class ShowCounter : public QObject {
public:
    int shows = 0;

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Show)
            ++shows;
        return false;
    }
};

QString AccessibleName(QWidget *widget)
{
    QAccessibleInterface *face = QAccessible::queryAccessibleInterface(widget);
    return face ? face->text(QAccessible::Name) : QString();
}

} // namespace

class AuxWindowsTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void codeCounterFollowsTheStates_data();
    void codeCounterFollowsTheStates();
    void mailtoAddressIsPercentEncoded();

    void typedCodeOpensThePictureCutToTheHeart();
    void codeWithAnUpperCaseLetterOpensNothing();
    void aboutClosesWithOkEnterAndEscape_data();
    void aboutClosesWithOkEnterAndEscape();
    void clickOnTheAddressOpensAMail();
    void windowsAreReadableByAScreenReader();

private:
    // Runs `open`, which shows a modal window; once `window` is shown, runs
    // `whileOpen` on it. Fails when the window did not close by itself.
    void runModal(const std::function<void()> &open, QDialog &window,
                  const std::function<void()> &whileOpen);

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<TFrmMain> m_main;
    QList<QUrl> m_opened;
    bool m_openerWorks = true;
};

void AuxWindowsTest::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    Dialogs::SetScripted(true);
    WritePersons(m_dir->path(), NumberedPersons(20));
    WriteOrgPhones(m_dir->path(), {{QStringLiteral("300001"), QStringLiteral("ТЕАТР"), {},
                                    QStringLiteral("Касса"), QStringLiteral("пр. Мира"), QStringLiteral("1")}});
    m_main = std::make_unique<TFrmMain>(ProgramPaths{m_dir->path(), {}});
    m_main->WaitForOrgList();
    AttachAuxWindows(*m_main);
    m_main->resize(800, 600);
    m_main->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_main.get()));
    m_main->activateWindow();
    m_opened.clear();
    m_openerWorks = true;
    SetUrlOpener([this](const QUrl &url) {
        m_opened.append(url);
        return m_openerWorks;
    });
}

void AuxWindowsTest::cleanup()
{
    SetUrlOpener({});
    m_main.reset();
    QCOMPARE(FrmAbout, nullptr);
    QCOMPARE(FrmSecret, nullptr);
    Dialogs::SetScripted(false);
    m_dir.reset();
}

void AuxWindowsTest::runModal(const std::function<void()> &open, QDialog &window,
                              const std::function<void()> &whileOpen)
{
    bool ran = false;
    std::function<void()> poll;
    int tries = 0;
    poll = [&] {
        if ((!window.isVisible() || QApplication::activeWindow() != &window) && ++tries < 200) {
            QTimer::singleShot(10, &window, poll);
            return;
        }
        ran = true;
        whileOpen();
        // Whatever happened, never leave the test hanging in the modal loop.
        QTimer::singleShot(2000, &window, [&window] {
            if (window.isVisible())
                window.done(-1);
        });
    };
    QTimer::singleShot(0, &window, poll);
    open();
    QVERIFY2(ran, "the window was not shown");
    QVERIFY(!window.isVisible());
    QVERIFY2(window.result() == QDialog::Accepted, "closed by the watchdog, not by the user");
}

void AuxWindowsTest::codeCounterFollowsTheStates_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("opens");
    QTest::addColumn<int>("advances");
    QTest::addColumn<int>("state");

    QTest::newRow("the code") << "#tuko" << 1 << 4 << 0;
    QTest::newRow("twice") << "#tuko#tuko" << 2 << 8 << 0;
    QTest::newRow("upper-case letter") << "#tuKo" << 0 << 3 << 0;
    // After the fourth character only the last one counts.
    QTest::newRow("others before the last") << "#tukxyz#o" << 1 << 4 << 0;
    QTest::newRow("four characters wait") << "#tukabc" << 0 << 4 << 4;
    // The second "#" resets, and does not start the code again.
    QTest::newRow("first character twice") << "##tuko" << 0 << 1 << 0;
    QTest::newRow("first twice, then the code") << "##tuko#tuko" << 1 << 5 << 0;
    QTest::newRow("last character alone") << "o" << 0 << 0 << 0;
}

void AuxWindowsTest::codeCounterFollowsTheStates()
{
    QFETCH(QString, typed);
    SecretCodeCounter counter;
    int opens = 0;
    int advances = 0;
    for (QChar c : typed) {
        switch (counter.Feed(c)) {
        case SecretCodeCounter::Step::Advanced:
            ++advances;
            break;
        case SecretCodeCounter::Step::Complete:
            ++opens;
            break;
        default:
            break;
        }
    }
    QTEST(opens, "opens");
    QTEST(advances, "advances");
    QTEST(counter.State(), "state");
}

void AuxWindowsTest::mailtoAddressIsPercentEncoded()
{
    const QUrl url = MailtoUrl(AboutEmail.toString(), AboutMailSubject.toString());
    QVERIFY(url.isValid());
    QCOMPARE(url.toEncoded(),
             QByteArray("mailto:spravka@gts-talmir.example?subject="
                        "%D0%9F%D0%BE%D0%B6%D0%B5%D0%BB%D0%B0%D0%BD%D0%B8%D1%8F&body="));

    // Characters that mean something in a query stay part of the subject.
    const QString subject = QStringLiteral("Отзыв & вопрос? a=b #1 100%");
    const QUrl tricky = MailtoUrl(QStringLiteral("a@b.example"), subject);
    const QUrlQuery query(tricky);
    QCOMPARE(query.queryItemValue(QStringLiteral("subject"), QUrl::FullyDecoded), subject);
    QVERIFY(query.hasQueryItem(QStringLiteral("body")));
    QCOMPARE(tricky.path(), QStringLiteral("a@b.example"));
    QVERIFY(!tricky.hasFragment());
}

void AuxWindowsTest::typedCodeOpensThePictureCutToTheHeart()
{
    QVERIFY(FrmSecret);
    TFrmSecret &secret = *FrmSecret;
    QVERIFY(secret.mask().isEmpty());
    QWidget *grid = QApplication::focusWidget();
    QCOMPARE(grid, &m_main->SGFullFiz());

    runModal([&] { QTest::keyClicks(grid, QStringLiteral("#tuk12o")); }, secret, [&] {
        // Grown with the font, the outline with the picture.
        const DesignPixels px(secret);
        const auto at = [&px](int x, int y) { return QPoint(px(x), px(y)); };
        QCOMPARE(secret.size(), px(QSize(SecretWidth, SecretHeight)));
        QCOMPARE(secret.windowTitle(), QStringLiteral("FrmSecret"));
        const QRegion region = secret.mask();
        QVERIFY(region.contains(at(264, 170)));  // inside the heart
        QVERIFY(region.contains(at(256, 245)));  // near its tip
        QVERIFY(!region.contains(at(0, 0)));     // a corner
        QVERIFY(!region.contains(at(268, 104))); // between the two lobes
        QVERIFY(!region.contains(at(SecretWidth - 1, SecretHeight - 1)));
        const QRect screen = secret.screen()->geometry();
        QCOMPARE(secret.pos(), screen.topLeft() + CenteredTopLeft(screen.size(), secret.size()));
        QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : &secret, Qt::Key_Escape);
    });
    QTRY_COMPARE(QApplication::activeWindow(), m_main.get());
}

void AuxWindowsTest::codeWithAnUpperCaseLetterOpensNothing()
{
    ShowCounter shows;
    FrmSecret->installEventFilter(&shows);
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("#TUKO#tuKo"));
    QCOMPARE(shows.shows, 0);
}

void AuxWindowsTest::aboutClosesWithOkEnterAndEscape_data()
{
    QTest::addColumn<int>("key");
    QTest::newRow("Enter") << int(Qt::Key_Return);
    QTest::newRow("keypad Enter") << int(Qt::Key_Enter);
    QTest::newRow("Esc") << int(Qt::Key_Escape);
    QTest::newRow("a click on ОК") << 0;
}

void AuxWindowsTest::aboutClosesWithOkEnterAndEscape()
{
    QFETCH(int, key);
    QVERIFY(FrmAbout);
    TFrmAbout &about = *FrmAbout;
    runModal([&] { m_main->RunCommand(Command::About); }, about, [&] {
        QVERIFY(about.width() >= AboutWidth && about.height() >= AboutHeight);
        QCOMPARE(QApplication::focusWidget(), &about.Button1());
        if (key)
            QTest::keyClick(QApplication::focusWidget(), Qt::Key(key));
        else
            QTest::mouseClick(&about.Button1(), Qt::LeftButton);
    });
    QTRY_COMPARE(QApplication::activeWindow(), m_main.get());
    QVERIFY(m_opened.isEmpty());
}

void AuxWindowsTest::clickOnTheAddressOpensAMail()
{
    TFrmAbout &about = *FrmAbout;
    const QUrl expected = MailtoUrl(AboutEmail.toString(), AboutMailSubject.toString());
    runModal([&] { m_main->RunCommand(Command::About); }, about, [&] {
        LinkLabel &link = about.LabelEmail();
        QCOMPARE(link.text(), AboutEmail.toString());
        QCOMPARE(link.cursor().shape(), Qt::PointingHandCursor);
        // Reached by Tab and pressed with Enter, it opens the mail and leaves the window open.
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), &link);
        QTest::keyClick(&link, Qt::Key_Return);
        QCOMPARE(m_opened, QList<QUrl>{expected});
        QVERIFY(about.isVisible());

        QTest::mouseClick(&link, Qt::LeftButton);
        QCOMPARE(m_opened.size(), 2);
        QCOMPARE(m_opened.last(), expected);
        QVERIFY(Dialogs::TakeShownMessages().isEmpty());

        // No mail program: the address is given in a message instead.
        m_openerWorks = false;
        QTest::mouseClick(&link, Qt::LeftButton);
        const QStringList messages = Dialogs::TakeShownMessages();
        QCOMPARE(messages.size(), 1);
        QVERIFY(messages.first().contains(AboutEmail.toString()));
        QTest::keyClick(&about, Qt::Key_Escape);
    });
}

void AuxWindowsTest::windowsAreReadableByAScreenReader()
{
    TFrmAbout &about = *FrmAbout;
    QStringList names;
    for (QLabel *label : about.findChildren<QLabel *>())
        names.append(AccessibleName(label));
    for (QStringView text : {AboutTitle, AboutOwner, AboutVersion, AboutRights, AboutOwnerName})
        QVERIFY2(names.contains(text.toString()), qPrintable(text.toString()));
    QVERIFY(!AccessibleName(&about.Image1()).isEmpty());
    QCOMPARE(AccessibleName(&about.Button1()), QStringLiteral("ОК"));

    QAccessibleInterface *link = QAccessible::queryAccessibleInterface(&about.LabelEmail());
    QVERIFY(link);
    QCOMPARE(link->role(), QAccessible::Link);
    QVERIFY(link->text(QAccessible::Name).contains(AboutEmail.toString()));
    QVERIFY(link->actionInterface());
    link->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    QCOMPARE(m_opened.size(), 1);

    QCOMPARE(AccessibleName(FrmSecret), QStringLiteral("FrmSecret"));
    QVERIFY(!AccessibleName(&FrmSecret->Image1()).isEmpty());
}

QTEST_MAIN(AuxWindowsTest)
#include "AuxWindowsTest.moc"
