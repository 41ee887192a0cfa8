// Helpers the windows share: centring, the dialog seam, the help pages and
// Qt's Russian translation.

#include "Dialogs.h"
#include "FocusMarkStyle.h"
#include "HelpWindow.h"
#include "ShownList.h"
#include "Translations.h"
#include "WindowHelpers.h"

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QStyleOption>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileInfo>
#include <QPushButton>
#include <QRegularExpression>
#include <QTextBrowser>
#include <QScreen>
#include <QTabBar>
#include <QTest>

#include <utility>

using namespace phonebook;

class HelpersTest : public QObject {
    Q_OBJECT

private slots:
    void centredTopLeft_data();
    void centredTopLeft();
    void centerFormPlacesAWindowWiderThanTheScreen();
    void fittedFrameLiesOnTheScreen_data();
    void fittedFrameLiesOnTheScreen();
    void safeFileNames_data();
    void safeFileNames();
    void focusedButtonsAndTabsAreMarked();
    void helpPagesExistForEveryContext();
    void helpContextsAreInherited();
    void dialogsAnswerFromTheScript();
    void standardButtonsSpeakRussian();
};

void HelpersTest::centredTopLeft_data()
{
    QTest::addColumn<QSize>("screen");
    QTest::addColumn<QSize>("window");
    QTest::addColumn<QPoint>("topLeft");
    QTest::newRow("fits") << QSize(1024, 768) << QSize(380, 224) << QPoint(322, 272);
    QTest::newRow("odd sizes round each half down") << QSize(801, 601) << QSize(201, 101) << QPoint(300, 250);
    QTest::newRow("wider than the screen") << QSize(640, 480) << QSize(1001, 300) << QPoint(-180, 90);
    QTest::newRow("taller than the screen") << QSize(640, 480) << QSize(100, 999) << QPoint(270, -259);
}

void HelpersTest::centredTopLeft()
{
    QFETCH(QSize, screen);
    QFETCH(QSize, window);
    QFETCH(QPoint, topLeft);
    QCOMPARE(CenteredTopLeft(screen, window), topLeft);
}

void HelpersTest::centerFormPlacesAWindowWiderThanTheScreen()
{
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    QWidget wide(nullptr, Qt::FramelessWindowHint);
    wide.resize(screen.width() + 201, 100);
    CenterForm(wide);
    QCOMPARE(wide.x(), screen.x() + screen.width() / 2 - (screen.width() + 201) / 2);
    QVERIFY(wide.x() < screen.x());
    QCOMPARE(wide.y(), screen.y() + screen.height() / 2 - 50);
}

void HelpersTest::fittedFrameLiesOnTheScreen_data()
{
    QTest::addColumn<QRect>("frame");
    QTest::addColumn<QRect>("fitted");
    const QRect screen(0, 0, 1366, 768);
    QTest::newRow("inside stays") << QRect(100, 50, 800, 600) << QRect(100, 50, 800, 600);
    QTest::newRow("status bar below the edge") << QRect(100, 400, 800, 600) << QRect(100, 168, 800, 600);
    QTest::newRow("left of the screen") << QRect(-300, 10, 800, 600) << QRect(0, 10, 800, 600);
    QTest::newRow("saved on a larger screen") << QRect(1500, 900, 1920, 1080) << QRect(0, 0, 1366, 768);
    QTest::newRow("on a screen no longer there") << QRect(3000, 100, 400, 300) << QRect(966, 100, 400, 300);
}

void HelpersTest::fittedFrameLiesOnTheScreen()
{
    QFETCH(QRect, frame);
    QFETCH(QRect, fitted);
    QCOMPARE(FittedFrame(frame, QRect(0, 0, 1366, 768)), fitted);
}

void HelpersTest::safeFileNames_data()
{
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("name");
    QTest::newRow("search") << QStringLiteral("Поиск по отделу БУХГ") << QStringLiteral("Поиск по отделу БУХГ");
    QTest::newRow("refused characters") << QStringLiteral("ООО \"Ромашка\": a/b\\c|d?e*f<g>h")
                                        << QStringLiteral("ООО _Ромашка__ a_b_c_d_e_f_g_h");
    QTest::newRow("control character") << QStringLiteral("a\tb\nc") << QStringLiteral("a_b_c");
    QTest::newRow("trailing dots and blanks") << QStringLiteral(" ИМ. КИРОВА. . ") << QStringLiteral("ИМ. КИРОВА");
    QTest::newRow("nothing left") << QStringLiteral(" ... ") << QStringLiteral("Список");
}

void HelpersTest::safeFileNames()
{
    QFETCH(QString, title);
    QFETCH(QString, name);
    QCOMPARE(SafeFileName(title), name);
}

void HelpersTest::focusedButtonsAndTabsAreMarked()
{
    FocusMarkStyle style(QStringLiteral("Fusion"));
    const auto draw = [&style](QStyle::ControlElement element, QStyleOption &option, bool focused) {
        option.rect = QRect(0, 0, 120, 30);
        option.palette = QApplication::palette();
        option.state = QStyle::State_Enabled | QStyle::State_Active;
        if (focused)
            option.state |= QStyle::State_HasFocus;
        QImage image(option.rect.size(), QImage::Format_ARGB32);
        image.fill(Qt::white);
        QPainter painter(&image);
        style.drawControl(element, &option, &painter);
        return image;
    };
    QStyleOptionButton button;
    button.text = QStringLiteral("Закрыть");
    QStyleOptionTab tab;
    tab.text = QStringLiteral("Юридические лица");
    tab.shape = QTabBar::RoundedNorth;
    for (const auto &[element, option] : {std::pair<QStyle::ControlElement, QStyleOption *>{QStyle::CE_PushButton, &button},
                                          {QStyle::CE_TabBarTab, &tab}}) {
        const QImage plain = draw(element, *option, false);
        const QImage focused = draw(element, *option, true);
        // The mark's colour shows where the plain drawing has none.
        const QRgb mark = QApplication::palette().color(QPalette::Active, QPalette::Highlight).rgb();
        int marked = 0;
        for (int x = 0; x < plain.width(); ++x)
            marked += focused.pixel(x, 3) == mark && plain.pixel(x, 3) != mark;
        QVERIFY2(marked > plain.width() / 2, qPrintable(QString::number(element)));
    }
}

void HelpersTest::helpPagesExistForEveryContext()
{
    const QDir folder(QStringLiteral(PHONEBOOK_HELP_DIR));
    QCOMPARE(HelpPageFile(0), QStringLiteral("index.html"));
    QCOMPARE(HelpPageFile(7), QStringLiteral("index.html"));
    for (int context : {1, 2, 3, 4, 5, 6, 9}) {
        const QString page = HelpPageFile(context);
        QCOMPARE(page, QStringLiteral("topic%1.html").arg(context));
        QVERIFY2(QFileInfo::exists(folder.filePath(page)), qPrintable(page));
    }

    // Every link of every page leads to a page that exists.
    HelpWindow window(folder.path());
    for (const QString &page : folder.entryList({QStringLiteral("*.html")})) {
        QFile file(folder.filePath(page));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QString html = QString::fromUtf8(file.readAll());
        static const QRegularExpression link(QStringLiteral("href=\"([^\"]+)\""));
        for (auto it = link.globalMatch(html); it.hasNext();) {
            const QString target = it.next().captured(1);
            QVERIFY2(QFileInfo::exists(folder.filePath(target)), qPrintable(page + QStringLiteral(" -> ") + target));
        }
    }
    window.ShowTopic(3);
    QCOMPARE(window.CurrentPage(), QStringLiteral("topic3.html"));
    QVERIFY(window.Browser()->toPlainText().contains(u"Поиск физических лиц по адресу"));
    window.ShowTopic(42);
    QCOMPARE(window.CurrentPage(), QStringLiteral("index.html"));
}

void HelpersTest::helpContextsAreInherited()
{
    QWidget dialog;
    auto *box = new QWidget(&dialog);
    auto *inner = new QWidget(box);
    QCOMPARE(EffectiveHelpContext(inner), 0);
    SetHelpContext(&dialog, 6);
    QCOMPARE(EffectiveHelpContext(inner), 6);
    SetHelpContext(box, 3);
    QCOMPARE(EffectiveHelpContext(inner), 3);
    QCOMPARE(HelpContextOf(inner), 0);
}

void HelpersTest::dialogsAnswerFromTheScript()
{
    Dialogs::SetScripted(true);
    Dialogs::QueueInputAnswer(QStringLiteral("23"));
    QCOMPARE(Dialogs::InputBox(nullptr, QStringLiteral("Введите номер телефона"), QStringLiteral("?")),
             QStringLiteral("23"));
    // Nothing queued answers as a cancel does.
    QCOMPARE(Dialogs::InputBox(nullptr, QStringLiteral("Введите фамилию"), QStringLiteral("?")), QString());
    QCOMPARE(Dialogs::TakeAskedInputs(),
             QStringList({QStringLiteral("Введите номер телефона"), QStringLiteral("Введите фамилию")}));
    Dialogs::QueueFileName(QStringLiteral("/tmp/up1.exe"));
    QCOMPARE(Dialogs::OpenFileName(nullptr, {}, {}), QStringLiteral("/tmp/up1.exe"));
    QCOMPARE(Dialogs::OpenFileName(nullptr, {}, {}), QString());
    Dialogs::ShowMessage(nullptr, QStringLiteral("Указанный телефон не найден!!!"));
    QCOMPARE(Dialogs::TakeShownMessages(), QStringList({QStringLiteral("Указанный телефон не найден!!!")}));
    QCOMPARE(Dialogs::TakeShownMessages(), QStringList());
    Dialogs::SetScripted(false);
    QVERIFY(!Dialogs::Scripted());
}

void HelpersTest::standardButtonsSpeakRussian()
{
    QVERIFY(InstallRussianTranslation(*qApp));
    QDialogButtonBox buttons(QDialogButtonBox::Ok | QDialogButtonBox::Cancel | QDialogButtonBox::Open);
    QCOMPARE(buttons.button(QDialogButtonBox::Cancel)->text().remove(u'&'), QStringLiteral("Отмена"));
    QCOMPARE(buttons.button(QDialogButtonBox::Open)->text().remove(u'&'), QStringLiteral("Открыть"));
}

QTEST_MAIN(HelpersTest)
#include "HelpersTest.moc"
