// The quick-search box in the real main window, on a tiny directory: the list
// follows the typing, Esc and emptying give the full list back, switching
// sides empties the box, and a newer keystroke wins over an older search.

#include "Fixtures.h"
#include "QuickSearchBox.h"
#include "TableFixtures.h"
#include "ResultGrid.h"
#include "StartUp.h"
#include "UMain.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QSignalSpy>
#include <QTabBar>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

#include <memory>

using namespace phonebook;
using namespace phonebook::fixtures;

namespace {

// Types the text into the box one character at a time, as a user does.
void Type(QLineEdit &box, const QString &text)
{
    for (const QChar c : text)
        box.insert(QString(c));
}

// Waits until the worker has nothing left to do and the window has taken
// whatever it posted: no late result can arrive after this. What the window
// takes may give the worker more (the indexes to prepare): then again.
bool Settle(QuickSearchBox &box)
{
    for (int round = 0; round < 100; ++round) {
        if (!QTest::qWaitFor([&box] { return box.WorkerIdle(); }, 60000))
            return false;
        QCoreApplication::processEvents();
        if (box.WorkerIdle())
            return true;
    }
    return false;
}

// 300 individuals "АБОНЕНТ 1" .. "АБОНЕНТ 300" (every other one "ЖИЛЕЦ"
// when `odd` is set) and one ЁЛКИН, with numbers and houses that no typed
// number below begins or equals.
std::vector<Person> Residents(bool odd)
{
    std::vector<Person> persons;
    for (int i = 1; i <= 300; ++i)
        persons.push_back({QString::number(500000 + i),
                           QStringLiteral("%1 %2").arg(odd && i % 2 == 0 ? QStringLiteral("ЖИЛЕЦ") : QStringLiteral("АБОНЕНТ")).arg(i),
                           QStringLiteral("ул. Лесная"), QStringLiteral("1"), QStringLiteral("1")});
    persons.push_back({QStringLiteral("771122"), QStringLiteral("ЁЛКИН ПЁТР"), QStringLiteral("ул. Садовая"),
                       QStringLiteral("14Б"), QStringLiteral("3")});
    return persons;
}

} // namespace

class QuickSearchBoxTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void listFollowsTheTyping();
    void escapeAndSideSwitchGiveTheFullListBack();
    void theNewestKeystrokeWins();
    void theStatusBarSaysWhatTheRowsAreFor();
    void aTableCopiedOverIsSearchedAfresh();
    void aReloadDuringASearchShowsOnlyTheNewEdition();

private:
    std::unique_ptr<TFrmMain> start();
    std::unique_ptr<QTemporaryDir> m_dir;
};

void QuickSearchBoxTest::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    WritePersons(m_dir->path(), Residents(false));
    std::vector<OrgPhone> orgs;
    for (int i = 1; i <= 150; ++i)
        orgs.push_back({QString::number(300000 + i), QStringLiteral("ПРЕДПРИЯТИЕ %1").arg(i), {},
                        QStringLiteral("Приёмная"), QStringLiteral("пр. Мира"), QString::number(i)});
    WriteOrgPhones(m_dir->path(), orgs);
}

void QuickSearchBoxTest::cleanup() { m_dir.reset(); }

std::unique_ptr<TFrmMain> QuickSearchBoxTest::start()
{
    auto main = std::make_unique<TFrmMain>(ProgramPaths{m_dir->path(), QStringLiteral(PHONEBOOK_HELP_DIR)});
    main->WaitForOrgList();
    CreateRemainingWindows(*main);
    main->resize(1000, 600);
    main->show();
    if (!QTest::qWaitForWindowExposed(main.get()))
        return nullptr;
    main->activateWindow();
    return main;
}

void QuickSearchBoxTest::listFollowsTheTyping()
{
    auto main = start();
    QVERIFY(main);
    QuickSearchBox &box = main->QuickSearch();
    QCOMPARE(box.accessibleName(), QStringLiteral("Быстрый поиск"));
    QCOMPARE(box.placeholderText(), QStringLiteral("Номер, фамилия, улица или организация"));
    QVERIFY(box.geometry().right() > main->width() / 2); // at the right end of the tool bar

    QTest::keyClick(main.get(), Qt::Key_F, Qt::ControlModifier);
    QTRY_VERIFY(box.hasFocus());
    ResultGrid &grid = main->SGTemp();
    Type(box, QStringLiteral("аб"));
    QTRY_VERIFY(!box.Searching());
    QTRY_VERIFY(!grid.isHidden());
    QVERIFY(main->SGFullFiz().isHidden());
    QCOMPARE(grid.Layout(), GridLayout::Persons);
    QCOMPARE(grid.RowCount(), 301); // every "АБОНЕНТ"
    QVERIFY(box.hasFocus());        // typing goes on in the box
    // Longer results page as usual: rows past the first page load when painted.
    QVERIFY(!grid.IsRowLoaded(150));
    grid.SetCurrentCell(1, 150);
    QTRY_VERIFY(grid.IsRowLoaded(150));
    QVERIFY(grid.Cells(2, 150).startsWith(QStringLiteral("АБОНЕНТ")));

    Type(box, QStringLiteral("онент 2"));
    QTRY_VERIFY(!box.Searching());
    QCOMPARE(grid.RowCount(), 1 + 1 + 10 + 100); // 2, 20-29, 200-299
    QCOMPARE(main->StatusText(2), QStringLiteral("Найдено: 111"));

    // Case, ё and a house number with a letter.
    box.setText(QStringLiteral("елкин петр 14"));
    QTRY_VERIFY(!box.Searching());
    QCOMPARE(grid.RowCount(), 2);
    QCOMPARE(grid.Cells(2, 1), QStringLiteral("ЁЛКИН ПЁТР"));

    // Nothing found: the headings alone, and the count says so.
    box.setText(QStringLiteral("сидоров"));
    QTRY_VERIFY(!box.Searching());
    QCOMPARE(grid.RowCount(), 1);
    QCOMPARE(main->StatusText(2), QStringLiteral("Найдено: 0"));
}

void QuickSearchBoxTest::theStatusBarSaysWhatTheRowsAreFor()
{
    auto main = start();
    QVERIFY(main);
    QuickSearchBox &box = main->QuickSearch();
    box.setFocus();
    auto *count = main->findChild<QLabel *>(QStringLiteral("StatusBar1Panel2"));
    QVERIFY(count);
    auto shows = [&](int rows, const QString &note) {
        if (!QTest::qWaitFor([&box] { return !box.Searching(); }, 60000))
            return false;
        return main->SGTemp().RowCount() == rows + 1 && box.Note() == note && count->accessibleDescription() == note
            && main->StatusText(2) == QStringLiteral("Найдено: %1").arg(rows);
    };
    // Typed on the Latin layout, letter by letter: "садо" (Садовая).
    Type(box, QStringLiteral("cflj"));
    QVERIFY(shows(1, QStringLiteral("Показаны результаты для «садо»")));
    // A slip.
    box.setText(QStringLiteral("сдовая"));
    QVERIFY(shows(1, QStringLiteral("Показаны похожие слова")));
    // Back to rows found as typed: nothing said.
    box.setText(QStringLiteral("садовая"));
    QVERIFY(shows(1, QString()));
    box.setText(QStringLiteral("сдовая"));
    QVERIFY(shows(1, QStringLiteral("Показаны похожие слова")));
    QTest::keyClick(&box, Qt::Key_Escape);
    QCOMPARE(box.Note(), QString());
    QCOMPARE(count->accessibleDescription(), QString());
}

void QuickSearchBoxTest::escapeAndSideSwitchGiveTheFullListBack()
{
    auto main = start();
    QVERIFY(main);
    QuickSearchBox &box = main->QuickSearch();
    box.setFocus();
    QTest::keyClicks(&box, QStringLiteral("17"));
    QTRY_VERIFY(!main->SGTemp().isHidden());
    QTest::keyClick(&box, Qt::Key_Escape);
    QVERIFY(box.text().isEmpty());
    QVERIFY(main->SGTemp().isHidden());
    QVERIFY(!main->SGFullFiz().isHidden());
    QVERIFY(main->SGFullFiz().hasFocus());
    QCOMPARE(main->StatusText(2), QString());

    // Emptying by hand does the same.
    box.setFocus();
    QTest::keyClicks(&box, QStringLiteral("1"));
    QTRY_VERIFY(!main->SGTemp().isHidden());
    QTest::keyClick(&box, Qt::Key_Backspace);
    QVERIFY(main->SGTemp().isHidden());
    QVERIFY(!main->SGFullFiz().isHidden());

    // The organisations side searches its own list, in the department-search layout.
    QTest::keyClick(main.get(), Qt::Key_W, Qt::ControlModifier);
    box.setFocus();
    Type(box, QStringLiteral("предприятие 12"));
    QTRY_VERIFY(!box.Searching());
    QTRY_VERIFY(!main->SGTemp().isHidden());
    QCOMPARE(main->SGTemp().Layout(), GridLayout::Departments);
    QCOMPARE(main->SGTemp().Cells(1, 0), QStringLiteral("№ тел."));
    QCOMPARE(main->SGTemp().RowCount(), 1 + 1 + 10); // 12, 120-129
    // The organisation tab follows the result's rows, and lists the numbers of the one selected.
    QTabBar &tabs = main->TabControl1();
    QCOMPARE(tabs.count(), 3);
    QCOMPARE(tabs.tabText(2), main->SGTemp().Cells(2, 1));
    main->SGTemp().SetCurrentCell(1, 3);
    QCOMPARE(tabs.count(), 3);
    QCOMPARE(tabs.tabText(2), main->SGTemp().Cells(2, 3));
    QCOMPARE(tabs.tabText(2), QStringLiteral("ПРЕДПРИЯТИЕ 121"));

    // Switching sides empties the box and shows the other side's full list.
    QTest::keyClick(main.get(), Qt::Key_Q, Qt::ControlModifier);
    QVERIFY(box.text().isEmpty());
    QVERIFY(main->SGTemp().isHidden());
    QVERIFY(!main->SGFullFiz().isHidden());
    QCOMPARE(main->StatusText(2), QString());
}

void QuickSearchBoxTest::theNewestKeystrokeWins()
{
    auto main = start();
    QVERIFY(main);
    QuickSearchBox &box = main->QuickSearch();
    QSignalSpy shown(&box, &QuickSearchBox::ResultShown);
    box.setFocus();
    // A burst of keystrokes: whatever the worker had started is dropped or
    // cancelled, and only the last text's rows are shown.
    for (int round = 0; round < 20; ++round) {
        box.setText(QStringLiteral("абонент"));
        box.setText(QStringLiteral("абонент 29"));
        box.setText(QStringLiteral("абонент 3"));
    }
    QTRY_VERIFY(!box.Searching());
    QVERIFY(Settle(box));
    QCOMPARE(shown.size(), 1);
    QCOMPARE(shown.first().first().toInt(), 1 + 10 + 1); // 3, 30-39, 300
    QCOMPARE(main->SGTemp().RowCount(), 13);

    // A side switch while a search runs: its result never appears.
    box.setText(QStringLiteral("абонент"));
    QTest::keyClick(main.get(), Qt::Key_W, Qt::ControlModifier);
    QVERIFY(Settle(box));
    QCOMPARE(shown.size(), 1);
    QVERIFY(main->SGTemp().isHidden());
    QVERIFY(!main->SGFullPred().isHidden());
}

void QuickSearchBoxTest::aTableCopiedOverIsSearchedAfresh()
{
    const QString path = QDir(m_dir->path()).filePath(QStringLiteral("sp09kw_n.dbf"));
    {
        // The edition in place has been there a while (see QuickSearchTest).
        QFile aged(path);
        QVERIFY(aged.open(QIODevice::ReadWrite));
        QVERIFY(aged.setFileTime(QDateTime::currentDateTime().addSecs(-3600), QFileDevice::FileModificationTime));
    }
    auto main = start();
    QVERIFY(main);
    QuickSearchBox &box = main->QuickSearch();
    ResultGrid &grid = main->SGTemp();
    box.setFocus();
    Type(box, QStringLiteral("абонент 1"));
    QTRY_VERIFY(!box.Searching());
    QCOMPARE(grid.RowCount(), 1 + 300); // every АБОНЕНТ lives in house 1

    // A new edition of the same size copied over the table, as cp does, between two keystrokes.
    QTemporaryDir other;
    WritePersons(other.path(), Residents(true));
    fixtures::WriteBytes(path, fixtures::ReadBytes(QDir(other.path()).filePath(QStringLiteral("sp09kw_n.dbf"))));
    int rowsWhileRebuilding = -1;
    connect(&box, &QuickSearchBox::IndexRebuilding, &box, [&] { rowsWhileRebuilding = grid.RowCount(); });
    Type(box, QStringLiteral("2"));
    QTRY_VERIFY(!box.Searching());
    QVERIFY(Settle(box));
    QCOMPARE(rowsWhileRebuilding, 1); // the headings alone, not the old edition's rows
    QCOMPARE(grid.RowCount(), 1 + 5); // 121, 123, ... 129: the even ones are ЖИЛЕЦ now
    for (int row = 1; row < grid.RowCount(); ++row)
        QVERIFY2(grid.Cells(2, row).startsWith(QStringLiteral("АБОНЕНТ 12")), qPrintable(grid.Cells(2, row)));
    QCOMPARE(main->StatusText(2), QStringLiteral("Найдено: 5"));
}

void QuickSearchBoxTest::aReloadDuringASearchShowsOnlyTheNewEdition()
{
    auto main = start();
    QVERIFY(main);
    QuickSearchBox &box = main->QuickSearch();
    box.setFocus();
    QSignalSpy shown(&box, &QuickSearchBox::ResultShown);
    // A new edition installed while the search for the text is under way:
    // its result (of the old edition) is dropped, and the text is searched again.
    WritePersons(m_dir->path(), Residents(true));
    box.setText(QStringLiteral("абонент 12"));
    main->LoadDirectory(nullptr);
    main->WaitForOrgList();
    QTRY_VERIFY(!box.Searching());
    QVERIFY(Settle(box));
    QCOMPARE(shown.size(), 1);
    QCOMPARE(shown.first().first().toInt(), 5); // 121, 123, ... 129, not the old edition's 11
    QCOMPARE(main->SGTemp().RowCount(), 1 + 5);
}

QTEST_MAIN(QuickSearchBoxTest)
#include "QuickSearchBoxTest.moc"
