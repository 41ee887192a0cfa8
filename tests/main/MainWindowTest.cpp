// The main window driven as a user would: start-up on small directories,
// switching sides by tab and by menu, tool bar, status bar, help and exit.

#include "DatabaseError.h"
#include "DbfWriter.h"
#include "Dialogs.h"
#include "TablesStatePage.h"
#include "Fixtures.h"
#include "HelpWindow.h"
#include "LinkLabel.h"
#include "ListZoom.h"
#include "OrgSearch.h"
#include "WindowSettings.h"
#include "QuickSearchBox.h"
#include "ResultGrid.h"
#include "UAbout.h"
#include "UAdress.h"
#include "UMain.h"
#include "StartUp.h"
#include "UHelpFull.h"
#include "UPred.h"
#include "USecret.h"
#include "UUpdate.h"
#include "USplash.h"
#include "WindowHelpers.h"

#include <QAccessible>
#include <QAction>
#include <QCursor>
#include <QDialog>
#include <QDir>
#include <QMenu>
#include <QPointer>
#include <QFile>
#include <QFutureWatcher>
#include <QLabel>
#include <QTextBrowser>
#include <QLineEdit>
#include <QProgressBar>
#include <QRadioButton>
#include <QStyle>
#include <QStyleOptionButton>
#include <QPushButton>
#include <QSettings>
#include <QScopeGuard>
#include <QSemaphore>
#include <QSignalSpy>
#include <QTabBar>
#include <QTemporaryDir>
#include <QTest>
#include <QHeaderView>
#include <QScreen>
#include <QScrollBar>
#include <QTimer>
#include <QWheelEvent>
#include <QToolButton>

#include <memory>
#include <utility>

using namespace phonebook;
using namespace phonebook::fixtures;

namespace {

std::vector<OrgPhone> NumberedOrgs(int count)
{
    std::vector<OrgPhone> rows;
    for (int i = 1; i <= count; ++i) {
        const QString name = QStringLiteral("ПРЕДПРИЯТИЕ %1").arg(i);
        rows.push_back({QString::number(300000 + 2 * i), name, {}, QStringLiteral("Приёмная"),
                        QStringLiteral("пр. Мира"), QString::number(i)});
        rows.push_back({QString::number(300001 + 2 * i), name, {}, QStringLiteral("Бухгалтерия"),
                        QStringLiteral("пр. Мира"), QString::number(i)});
    }
    return rows;
}

// The left edges of the visible tool-bar buttons, in buttons' widths.
QList<int> VisibleButtonLefts(const TFrmMain &main)
{
    QList<int> lefts;
    for (int n = 1; n <= 6; ++n) {
        const QToolButton &button = main.SpeedButton(n);
        if (!button.isHidden())
            lefts.append(button.x() % button.width() == 0 ? button.x() / button.width() : -1);
    }
    return lefts;
}

QList<int> VisibleButtons(const TFrmMain &main)
{
    QList<int> numbers;
    for (int n = 1; n <= 6; ++n) {
        if (!main.SpeedButton(n).isHidden())
            numbers.append(n);
    }
    return numbers;
}

// What of `window` is cut: a text wider or taller than the room its control
// gives it, a glyph smaller than a line of text, a control past the window's
// edge or over another one.
QStringList CutControls(QWidget &window)
{
    QStringList cut;
    QList<QWidget *> placed;
    for (QWidget *control : window.findChildren<QWidget *>()) {
        // A control of no size (the tool bar's hidden box) shows nothing.
        if (!control->isVisibleTo(&window) || control->size().isEmpty())
            continue;
        const QString name = control->objectName();
        const QRect area(control->mapTo(&window, QPoint()), control->size());
        if (!window.rect().contains(area))
            cut.append(name + QStringLiteral(" past the edge"));
        for (QWidget *other : placed) {
            if (other->parentWidget() == control->parentWidget() && other->geometry().intersects(control->geometry()))
                cut.append(name + QStringLiteral(" over ") + other->objectName());
        }
        placed.append(control);

        const QFontMetrics metrics(control->font());
        QRect room = control->contentsRect();
        QString text;
        if (auto *edit = qobject_cast<QLineEdit *>(control)) {
            if (edit->height() < edit->minimumSizeHint().height())
                cut.append(name + QStringLiteral(" too low"));
            continue;
        } else if (auto *label = qobject_cast<QLabel *>(control)) {
            text = label->text();
        } else if (auto *radio = qobject_cast<QRadioButton *>(control)) {
            QStyleOptionButton option;
            option.initFrom(radio);
            room = radio->style()->subElementRect(QStyle::SE_RadioButtonContents, &option, radio);
            text = radio->text();
        } else if (auto *button = qobject_cast<QAbstractButton *>(control)) {
            const int frame = button->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, button);
            room.adjust(frame, frame, -frame, -frame);
            text = button->text();
            const QSize glyph = button->icon().isNull() ? QSize() : button->iconSize();
            if (glyph.isValid() && (glyph.height() < metrics.height() || glyph.height() > room.height()))
                cut.append(name + QStringLiteral(" glyph out of scale"));
        }
        text.remove(u'&');
        if (!text.isEmpty() && (metrics.horizontalAdvance(text) > room.width() || metrics.height() > room.height()))
            cut.append(QStringLiteral("%1 \"%2\" in %3x%4").arg(name, text).arg(room.width()).arg(room.height()));
    }
    return cut;
}

} // namespace

class MainWindowTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void startUpFillsBothListsAndTheStatusBar();
    void startUpShowsTheMainWindowAndDropsTheSplash();
    void splashBarCountsTheRowsWritten();
    void orgSideAskedForWhileItsListIsBuilt();
    void reloadDropsTheListBeingBuilt();
    void switchingSidesByMenu();
    void switchingSidesByTab();
    void tabsChangedByCodeRunNothing();
    void startUpWithoutTables();
    void startUpWithMissingTables();
    void startUpShowsFirstRecordsWhileCounting();
    void startUpWithEmptyTables();
    void startUpWithDamagedTables();
    void tablesOpenedAheadAndReplacedSinceAreReadAfresh();
    void helpOpensTheTopicOfTheFocusedControl();
    void helpOverAModalBoxTakesTheKeyboardAndClosesWithEsc();
    void organisationTabDisablesTheSearchesItCannotRun();
    void helpListsEveryKeyOfTheWindow();
    void helpFitsTheScreen();
    void listsFollowTheZoom();
    void wideColumnTakesWhatTheOthersLeave();
    void fixedWindowsFitTheirTexts_data();
    void fixedWindowsFitTheirTexts();
    void tabGoesRoundTheWindow();
    void commandsDoNothingUntilAttached();
    void keyPreviewSeesTypedCharacters();
    void edit1UpperCases();
    void exitByButtonAndByMenu();

private:
    std::unique_ptr<TFrmMain> start(QWidget *splash = nullptr);
    void writeDefaultDirectory();

    std::unique_ptr<QTemporaryDir> m_dir;
};

void MainWindowTest::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    Dialogs::SetScripted(true);
    // The window's remembered layout is kept in the test's folder, not the user's.
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, m_dir->filePath(QStringLiteral("settings")));
}

void MainWindowTest::cleanup()
{
    Dialogs::SetScripted(false);
    m_dir.reset();
}

void MainWindowTest::writeDefaultDirectory()
{
    WritePersons(m_dir->path(), NumberedPersons(250));
    WriteOrgPhones(m_dir->path(), NumberedOrgs(150));
}

std::unique_ptr<TFrmMain> MainWindowTest::start(QWidget *splash)
{
    auto main = std::make_unique<TFrmMain>(ProgramPaths{m_dir->path(), QStringLiteral(PHONEBOOK_HELP_DIR)},
                                           qobject_cast<TFrmSplash *>(splash));
    main->resize(900, 600);
    main->show();
    if (!QTest::qWaitForWindowExposed(main.get()))
        return nullptr;
    main->activateWindow();
    main->WaitForOrgList();
    return main;
}

void MainWindowTest::startUpFillsBothListsAndTheStatusBar()
{
    writeDefaultDirectory();
    auto main = start();
    QVERIFY(main);
    QCOMPARE(Dialogs::TakeShownMessages(), QStringList());

    QCOMPARE(main->windowTitle(), QStringLiteral("Телефонный справочник абонентов г. Тальмир"));
    QCOMPARE(main->StatusText(0), QStringLiteral("Физических лиц:  250"));
    QCOMPARE(main->StatusText(1), QStringLiteral("Телефоных номеров юр. лиц:  300"));
    QCOMPARE(main->StatusText(2), QString());

    QCOMPARE(main->SGFullFiz().RowCount(), 251);
    QCOMPARE(main->SGFullFiz().Cells(2, 1), QStringLiteral("АБОНЕНТ 1"));
    QCOMPARE(main->SGFullFiz().Cells(1, 100), QStringLiteral("200100"));
    QCOMPARE(main->SGFullPred().RowCount(), 151); // distinct organisations
    QVERIFY(main->SGFullPred().Cells(1, 1).startsWith(u"ПРЕДПРИЯТИЕ "));

    QCOMPARE(main->TabControl1().count(), 2);
    QCOMPARE(main->TabControl1().tabText(0), QStringLiteral("Физические лица"));
    QCOMPARE(main->TabControl1().tabText(1), QStringLiteral("Юридические лица"));
    QCOMPARE(main->TabIndex(), 0);
    QVERIFY(!main->SGFullFiz().isHidden());
    QVERIFY(main->SGFullPred().isHidden());
    QVERIFY(main->SGTemp().isHidden());
    QTRY_COMPARE(QApplication::focusWidget(), &main->SGFullFiz());
    QCOMPARE(VisibleButtons(*main), QList<int>({1, 2, 3, 6}));
    QCOMPARE(VisibleButtonLefts(*main), QList<int>({0, 1, 2, 3}));
    QCOMPARE(main->SpeedButton(1).toolTip(), QStringLiteral("Поиск по телефонному номеру (Ctrl+T)"));
    QCOMPARE(main->SpeedButton(6).toolTip(), QStringLiteral("Выход из программы"));
    // 23×22 grown with the font.
    QCOMPARE(main->SpeedButton(4).size(), DesignPixels(main->SpeedButton(4))(QSize(23, 22)));

    // A screen reader names each list and reads its headings and cells.
    QAccessibleInterface *persons = QAccessible::queryAccessibleInterface(&main->SGFullFiz());
    QVERIFY(persons && persons->tableInterface());
    QCOMPARE(persons->text(QAccessible::Name), QStringLiteral("Физические лица"));
    QCOMPARE(QAccessible::queryAccessibleInterface(&main->SGFullPred())->text(QAccessible::Name),
             QStringLiteral("Юридические лица"));
    QVERIFY(!QAccessible::queryAccessibleInterface(&main->SGTemp())->text(QAccessible::Name).isEmpty());
    QCOMPARE(persons->tableInterface()->columnDescription(1), QStringLiteral("Ф. И. О."));
    QCOMPARE(persons->tableInterface()->cellAt(0, 1)->text(QAccessible::Name), QStringLiteral("АБОНЕНТ 1"));
}

void MainWindowTest::startUpShowsTheMainWindowAndDropsTheSplash()
{
    writeDefaultDirectory();
    const QFont desktop = QApplication::font();
    PrepareApplication(*qApp);
    QCOMPARE(QApplication::font(), desktop); // the desktop's, as it is
    QCOMPARE(QGuiApplication::desktopFileName(), QStringLiteral("phonebook"));
    QVERIFY(!QApplication::windowIcon().isNull());

    auto main = StartUp(ProgramPaths{m_dir->path(), QStringLiteral(PHONEBOOK_HELP_DIR)});
    QVERIFY(main);
    QCOMPARE(FrmMain, main.get());
    QVERIFY(main->isVisible());
    QVERIFY(main->windowState() & Qt::WindowMaximized);
    for (QWidget *window : QApplication::topLevelWidgets())
        QVERIFY2(!qobject_cast<TFrmSplash *>(window), "the splash outlived the start-up");
    QCOMPARE(main->StatusText(0), QStringLiteral("Физических лиц:  250"));
    QCOMPARE(main->TabIndex(), 0);
    main.reset();
    QCOMPARE(FrmMain, nullptr);
}

void MainWindowTest::splashBarCountsTheRowsWritten()
{
    writeDefaultDirectory();
    TFrmSplash splash;
    QCOMPARE(splash.size(), QSize(380, 224));
    QCOMPARE(splash.ProgressBar1()->geometry(), QRect(0, 214, 380, 10));
    const auto picture = splash.findChild<QLabel *>(QStringLiteral("Image1"));
    QVERIFY(picture);
    QCOMPARE(picture->pixmap().size(), QSize(380, 214)); // the JPEG plugin read it

    QList<int> values;
    connect(splash.ProgressBar1(), &QProgressBar::valueChanged, this, [&](int value) { values.append(value); });
    TFrmMain main(ProgramPaths{m_dir->path(), QStringLiteral(PHONEBOOK_HELP_DIR)}, &splash);
    QCOMPARE(splash.ProgressBar1()->maximum(), 200);
    QCOMPARE(splash.ProgressBar1()->value(), 200);
    // One step per individual written, then the rest once the organisations
    // are counted: their list is built after the window shows.
    QCOMPARE(values.size(), 101);
    QCOMPARE(values.first(), 1);
    QCOMPARE(values.at(99), 100);
}

void MainWindowTest::orgSideAskedForWhileItsListIsBuilt()
{
    writeDefaultDirectory();
    TFrmMain main(ProgramPaths{m_dir->path(), QStringLiteral(PHONEBOOK_HELP_DIR)});
    // No event has been let through yet, so the list cannot have been handed over.
    QVERIFY(main.OrgListPending());
    QCOMPARE(main.SGFullFiz().RowCount(), 251);
    QCOMPARE(main.StatusText(1), QStringLiteral("Телефоных номеров юр. лиц:  300"));

    main.findChild<QAction *>(QStringLiteral("N5"))->trigger(); // Ctrl+W
    QCOMPARE(main.TabIndex(), 1);
    QVERIFY(!main.SGFullPred().isHidden());
    QCOMPARE(main.SGFullPred().RowCount(), 1); // empty, not part of a list
    QCOMPARE(main.TabControl1().count(), 2);
    QVERIFY(QApplication::overrideCursor());
    QCOMPARE(QApplication::overrideCursor()->shape(), Qt::WaitCursor);

    QTRY_VERIFY(!main.OrgListPending());
    QCOMPARE(main.SGFullPred().RowCount(), 151);
    QCOMPARE(main.TabControl1().count(), 3);
    QCOMPARE(main.TabControl1().tabText(2), main.SGFullPred().Cells(1, 1));
    QVERIFY(!QApplication::overrideCursor());

    // Back to the individuals before the list is there: no busy cursor left behind.
    main.LoadDirectory(nullptr);
    main.ShowOrgsSide();
    QVERIFY(QApplication::overrideCursor());
    main.ShowPersonsSide();
    QVERIFY(!QApplication::overrideCursor());
    QTRY_VERIFY(!main.OrgListPending());
    QCOMPARE(main.TabControl1().count(), 2);
}

void MainWindowTest::reloadDropsTheListBeingBuilt()
{
    writeDefaultDirectory();
    TFrmMain main(ProgramPaths{m_dir->path(), QStringLiteral(PHONEBOOK_HELP_DIR)});
    QSignalSpy loaded(&main, &TFrmMain::OrgListLoaded);
    WriteOrgPhones(m_dir->path(), NumberedOrgs(40));
    main.LoadDirectory(nullptr);
    QTRY_COMPARE(loaded.count(), 1);
    // Every build is over once its watcher is gone: the dropped one goes when
    // its worker has finished and told the window thread, and is never shown.
    QTRY_VERIFY(main.Session().findChildren<QFutureWatcherBase *>().isEmpty());
    QCOMPARE(loaded.count(), 1);
    QCOMPARE(main.SGFullPred().RowCount(), 41);
    QCOMPARE(main.StatusText(1), QStringLiteral("Телефоных номеров юр. лиц:  80"));
}

void MainWindowTest::switchingSidesByMenu()
{
    writeDefaultDirectory();
    auto main = start();
    QVERIFY(main);
    QTabBar &tabs = main->TabControl1();
    const QString firstOrg = main->SGFullPred().Cells(1, 1);

    // Paging the organisation list to its end must not change which one is "first".
    main->SGFullPred().LoadPageAt(150);
    QTest::keyClick(main.get(), Qt::Key_W, Qt::ControlModifier);
    QCOMPARE(tabs.count(), 3);
    QCOMPARE(main->TabIndex(), 1);
    QCOMPARE(tabs.currentIndex(), 1);
    QCOMPARE(tabs.tabText(2), firstOrg);
    QVERIFY(main->SGFullFiz().isHidden());
    QVERIFY(!main->SGFullPred().isHidden());
    QVERIFY(main->SGTemp().isHidden());
    QTRY_COMPARE(QApplication::focusWidget(), &main->SGFullPred());
    QCOMPARE(VisibleButtons(*main), QList<int>({1, 4, 5, 6}));
    QCOMPARE(VisibleButtonLefts(*main), QList<int>({0, 1, 2, 3}));

    for (int i = 0; i < 3; ++i)
        QTest::keyClick(main.get(), Qt::Key_W, Qt::ControlModifier);
    QCOMPARE(tabs.count(), 3);
    QCOMPARE(tabs.tabText(2), firstOrg);

    QTest::keyClick(main.get(), Qt::Key_Q, Qt::ControlModifier);
    QCOMPARE(tabs.count(), 2);
    QCOMPARE(main->TabIndex(), 0);
    QCOMPARE(tabs.currentIndex(), 0);
    QVERIFY(!main->SGFullFiz().isHidden());
    QVERIFY(main->SGFullPred().isHidden());
    QTRY_COMPARE(QApplication::focusWidget(), &main->SGFullFiz());
    QCOMPARE(VisibleButtons(*main), QList<int>({1, 2, 3, 6}));
    QCOMPARE(VisibleButtonLefts(*main), QList<int>({0, 1, 2, 3}));

    // A search result on show is replaced by the full list.
    main->SGTemp().show();
    main->SGFullFiz().hide();
    QTest::keyClick(main.get(), Qt::Key_Q, Qt::ControlModifier);
    QVERIFY(main->SGTemp().isHidden());
    QVERIFY(!main->SGFullFiz().isHidden());
}

void MainWindowTest::switchingSidesByTab()
{
    writeDefaultDirectory();
    auto main = start();
    QVERIFY(main);
    QTabBar &tabs = main->TabControl1();
    auto click = [&](int index) { QTest::mouseClick(&tabs, Qt::LeftButton, {}, tabs.tabRect(index).center()); };

    click(1);
    QCOMPARE(tabs.count(), 3);
    QCOMPARE(main->TabIndex(), 1);
    QCOMPARE(tabs.tabText(2), main->SGFullPred().Cells(1, 1));
    QVERIFY(!main->SGFullPred().isHidden());
    QCOMPARE(VisibleButtons(*main), QList<int>({1, 4, 5, 6}));

    // Clicking the selected tab changes nothing: the search result stays.
    main->SGTemp().show();
    main->SGFullPred().hide();
    click(1);
    QCOMPARE(tabs.count(), 3);
    QVERIFY(!main->SGTemp().isHidden());
    QVERIFY(main->SGFullPred().isHidden());

    click(0);
    QCOMPARE(tabs.count(), 2);
    QCOMPARE(main->TabIndex(), 0);
    QVERIFY(!main->SGFullFiz().isHidden());
    QVERIFY(main->SGTemp().isHidden());
    QCOMPARE(VisibleButtons(*main), QList<int>({1, 2, 3, 6}));

    // Back and forth many times: never two organisation tabs.
    for (int i = 0; i < 4; ++i) {
        click(1);
        QCOMPARE(tabs.count(), 3);
        QTest::keyClick(main.get(), Qt::Key_W, Qt::ControlModifier);
        QCOMPARE(tabs.count(), 3);
        click(0);
        QCOMPARE(tabs.count(), 2);
    }

    // The organisation tab lists the organisation's numbers; a second click changes nothing.
    click(1);
    click(2);
    QCOMPARE(main->TabIndex(), 2);
    QCOMPARE(main->SGTemp().Layout(), GridLayout::OrgPhones);
    main->QTemp().Close();
    click(2);
    QVERIFY(!main->QTemp().Active());
}

void MainWindowTest::tabsChangedByCodeRunNothing()
{
    writeDefaultDirectory();
    auto main = start();
    QVERIFY(main);
    QTabBar &tabs = main->TabControl1();

    main->SelectTab(1);
    QCOMPARE(tabs.currentIndex(), 1);
    QCOMPARE(tabs.count(), 2); // the handler would have added the organisation tab
    QVERIFY(!main->SGFullFiz().isHidden());

    main->AddOrgTab(QStringLiteral("ОРГАНИЗАЦИЯ"));
    QCOMPARE(tabs.currentIndex(), 1); // adding does not select
    main->SelectTab(2);
    main->RemoveOrgTab();
    QCOMPARE(tabs.count(), 2);
    QCOMPARE(main->TabIndex(), -1);
    QVERIFY(!main->SGFullFiz().isHidden());

    // With none selected, a click on the highlighted tab selects it.
    QCOMPARE(tabs.currentIndex(), 1);
    QTest::mouseClick(&tabs, Qt::LeftButton, {}, tabs.tabRect(1).center());
    QCOMPARE(main->TabIndex(), 1);
    QCOMPARE(tabs.count(), 3);
    QVERIFY(!main->SGFullPred().isHidden());
}

void MainWindowTest::startUpWithoutTables()
{
    // The whole start-up, street lists and folder watch included.
    auto main = std::make_unique<TFrmMain>(ProgramPaths{m_dir->path(), QStringLiteral(PHONEBOOK_HELP_DIR)});
    main->resize(900, 600);
    main->show();
    QVERIFY(QTest::qWaitForWindowExposed(main.get()));
    main->activateWindow();
    CreateRemainingWindows(*main);
    auto *address = main->findChild<TFrmAdress *>();
    QVERIFY(address);
    address->WaitForStreets();

    // One message, in Russian, naming both files and the folder; no statement.
    const QStringList messages = Dialogs::TakeShownMessages();
    QCOMPARE(messages.size(), 1);
    for (const QString &part : {QStringLiteral("sp09kw_n"), QStringLiteral("sp09pr_n"), m_dir->path()})
        QVERIFY2(messages.first().contains(part), qPrintable(messages.first()));
    QVERIFY2(!messages.first().contains(u"SELECT") && !messages.first().contains(u"no such table"),
             qPrintable(messages.first()));

    // The page stands in place of the list and offers a way forward; the searches wait for the tables.
    TablesStatePage &page = main->TablesPage();
    QVERIFY(page.isVisible() && page.Unread());
    QVERIFY(main->SGFullFiz().isHidden());
    for (const QString &part : {QStringLiteral("sp09kw_n.dbf — не найден"), QStringLiteral("sp09pr_n.dbf — не найден"),
                                QDir::toNativeSeparators(m_dir->path())})
        QVERIFY2(page.Text().contains(part), qPrintable(page.Text()));
    QCOMPARE(page.accessibleName(), QStringLiteral("Справочник не загружен"));
    auto *update = page.findChild<QPushButton *>(QStringLiteral("DirectoryPageUpdate"));
    auto *help = page.findChild<QPushButton *>(QStringLiteral("DirectoryPageHelp"));
    QVERIFY(update && help);
    QCOMPARE(update->text(), QStringLiteral("Обновить из архива…"));
    QTRY_COMPARE(QApplication::focusWidget(), update);
    QTest::keyClick(update, Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), help);
    for (int number = 1; number <= 3; ++number) {
        QVERIFY(!main->SpeedButton(number).isEnabled());
        QVERIFY(main->SpeedButton(number).toolTip().contains(u"справочник не загружен"));
    }
    QVERIFY(!main->QuickSearch().isEnabled());
    QTest::keyClick(main.get(), Qt::Key_W, Qt::ControlModifier);
    QVERIFY(page.isVisible() && main->SGFullPred().isHidden());
    QVERIFY(!main->SpeedButton(4).isEnabled());
    QTest::keyClick(main.get(), Qt::Key_Q, Qt::ControlModifier);
    help->click();
    QTRY_VERIFY(main->Help() && main->Help()->isVisible());
    main->Help()->close();

    // Reading the folder again (an update that delivered nothing) does not repeat the message.
    main->Session().Reload();
    QCOMPARE(Dialogs::TakeShownMessages(), QStringList());
    QVERIFY(page.isVisible() && page.Unread());

    // A directory copied into the folder: the lists load by themselves.
    WritePersons(m_dir->path(), NumberedPersons(5));
    WriteOrgPhones(m_dir->path(), NumberedOrgs(3));
    QTRY_VERIFY_WITH_TIMEOUT(!main->SGFullFiz().isHidden(), 15000);
    QVERIFY(page.isHidden());
    QCOMPARE(main->StatusText(0), QStringLiteral("Физических лиц:  5"));
    QCOMPARE(main->SGFullFiz().RowCount(), 6);
    QVERIFY(main->SpeedButton(2).isEnabled() && main->QuickSearch().isEnabled());
    QCOMPARE(Dialogs::TakeShownMessages(), QStringList());
}

void MainWindowTest::startUpShowsFirstRecordsWhileCounting()
{
    std::vector<Person> persons = NumberedPersons(300);
    persons[1].deleted = true;
    WritePersons(m_dir->path(), persons);
    WriteOrgPhones(m_dir->path(), NumberedOrgs(3));
    // The tables opened ahead are held until the window shows the first records
    // (for at most a while: a start-up that waited for them fails, not hangs).
    QSemaphore counted;
    auto session = std::make_unique<DirectorySession>(m_dir->path());
    session->OpenTablesAhead([&counted] { counted.tryAcquire(1, 10000); });
    auto main = std::make_unique<TFrmMain>(std::move(session), ProgramPaths{m_dir->path(), QStringLiteral(PHONEBOOK_HELP_DIR)},
                                           nullptr);
    const auto unblock = qScopeGuard([&counted] { counted.release(); }); // a failed check must not leave it waiting
    main->show();
    CreateRemainingWindows(*main);
    ResultGrid &grid = main->SGFullFiz();
    QVERIFY(main->Session().LoadPending());
    QCOMPARE(grid.RowCount(), 256); // the first records less the deleted one, and the headings
    QCOMPARE(grid.Cells(2, 2), QStringLiteral("АБОНЕНТ 3"));
    QCOMPARE(main->StatusText(0), QStringLiteral("Физических лиц:  "));
    grid.SetCurrentCell(2, 40);

    counted.release();
    QTRY_VERIFY(!main->Session().LoadPending());
    QCOMPARE(main->StatusText(0), QStringLiteral("Физических лиц:  299"));
    QCOMPARE(grid.RowCount(), 300);
    QCOMPARE(grid.Row(), 40);
    QCOMPARE(grid.Cells(2, 40), QStringLiteral("АБОНЕНТ 41"));
    auto *address = main->findChild<TFrmAdress *>();
    QVERIFY(address);
    address->WaitForStreets();
    QCOMPARE(Dialogs::TakeShownMessages(), QStringList());
}

void MainWindowTest::startUpWithMissingTables()
{
    WriteOrgPhones(m_dir->path(), NumberedOrgs(3));
    {
        auto main = start();
        QVERIFY(main);
        const QStringList messages = Dialogs::TakeShownMessages();
        QCOMPARE(messages.size(), 1);
        QVERIFY2(messages.first().contains(u"sp09kw_n"), qPrintable(messages.first()));
        QCOMPARE(main->StatusText(0), QStringLiteral("Физических лиц:  0"));
        QCOMPARE(main->SGFullFiz().RowCount(), 1);
        QVERIFY(main->TablesPage().isVisible());
        QVERIFY(main->TablesPage().Text().contains(u"sp09pr_n.dbf — прочитан"));
        // The other list is there, and its searches work.
        QCOMPARE(main->StatusText(1), QStringLiteral("Телефоных номеров юр. лиц:  6"));
        QCOMPARE(main->SGFullPred().RowCount(), 4);
        QTest::keyClick(main.get(), Qt::Key_W, Qt::ControlModifier);
        QVERIFY(main->TablesPage().isHidden() && main->SGFullPred().isVisible());
        QVERIFY(main->SpeedButton(4).isEnabled() && main->QuickSearch().isEnabled());
    }

    QVERIFY(QFile::remove(m_dir->filePath(QStringLiteral("sp09pr_n.dbf"))));
    WritePersons(m_dir->path(), NumberedPersons(5));
    auto main = start();
    QVERIFY(main);
    const QStringList messages = Dialogs::TakeShownMessages();
    QCOMPARE(messages.size(), 1);
    QVERIFY2(messages.first().contains(u"sp09pr_n"), qPrintable(messages.first()));
    QCOMPARE(main->StatusText(0), QStringLiteral("Физических лиц:  5"));
    QCOMPARE(main->StatusText(1), QStringLiteral("Телефоных номеров юр. лиц:  0"));
    QCOMPARE(main->SGFullPred().RowCount(), 1);
    QCOMPARE(main->SGFullPred().Cells(1, 0), QStringLiteral("Организация"));

    // The organisations side still opens, with no organisation to caption a
    // tab, and the page in place of its list.
    QTest::keyClick(main.get(), Qt::Key_W, Qt::ControlModifier);
    QCOMPARE(main->TabIndex(), 1);
    QCOMPARE(main->TabControl1().count(), 2);
    QVERIFY(main->SGFullPred().isHidden() && main->TablesPage().isVisible());
    QVERIFY(!main->SpeedButton(1).isEnabled());
    QCOMPARE(Dialogs::TakeShownMessages(), QStringList());
}

void MainWindowTest::tablesOpenedAheadAndReplacedSinceAreReadAfresh()
{
    writeDefaultDirectory();
    auto session = std::make_unique<DirectorySession>(m_dir->path());
    session->OpenTablesAhead();
    for (QFutureWatcherBase *opening : session->findChildren<QFutureWatcherBase *>())
        opening->waitForFinished();
    // A new edition copied in while the windows were being made.
    WritePersons(m_dir->path(), NumberedPersons(7));
    TFrmMain main(std::move(session), ProgramPaths{m_dir->path(), QStringLiteral(PHONEBOOK_HELP_DIR)});
    QCOMPARE(main.StatusText(0), QStringLiteral("Физических лиц:  7"));
    QCOMPARE(main.SGFullFiz().RowCount(), 8);
    QCOMPARE(main.StatusText(1), QStringLiteral("Телефоных номеров юр. лиц:  300"));
}

void MainWindowTest::startUpWithEmptyTables()
{
    WritePersons(m_dir->path(), {});
    WriteOrgPhones(m_dir->path(), {});
    auto main = start();
    QVERIFY(main);
    QCOMPARE(Dialogs::TakeShownMessages(), QStringList());
    QCOMPARE(main->StatusText(0), QStringLiteral("Физических лиц:  0"));
    QCOMPARE(main->StatusText(1), QStringLiteral("Телефоных номеров юр. лиц:  0"));
    QCOMPARE(main->SGFullFiz().RowCount(), 1);
    QCOMPARE(main->SGFullFiz().Cells(2, 0), QStringLiteral("Ф. И. О."));
    QCOMPARE(main->SGFullPred().RowCount(), 1);
    // A line in place of each list says there is nothing in it; the searches stay.
    QVERIFY(main->TablesPage().isVisible() && !main->TablesPage().Unread());
    QCOMPARE(main->TablesPage().Text(), QStringLiteral("В справочнике нет записей"));
    QVERIFY(main->SpeedButton(2).isEnabled());
    QTest::keyClick(main.get(), Qt::Key_W, Qt::ControlModifier);
    QCOMPARE(main->TabControl1().count(), 2);
    QVERIFY(main->TablesPage().isVisible() && main->SGFullPred().isHidden());
    QTest::keyClick(main.get(), Qt::Key_Q, Qt::ControlModifier);
    QCOMPARE(Dialogs::TakeShownMessages(), QStringList());
}

void MainWindowTest::startUpWithDamagedTables()
{
    // Individuals: not a table at all. Organisations: cut off inside its header.
    {
        QFile garbage(m_dir->filePath(QStringLiteral("sp09kw_n.dbf")));
        QVERIFY(garbage.open(QIODevice::WriteOnly));
        garbage.write("this is not a table file");
    }
    WriteOrgPhones(m_dir->path(), NumberedOrgs(50));
    {
        QFile table(m_dir->filePath(QStringLiteral("sp09pr_n.dbf")));
        QVERIFY(table.open(QIODevice::ReadWrite));
        QVERIFY(table.resize(40));
    }
    auto main = start();
    QVERIFY(main);
    // Both in one message.
    const QStringList messages = Dialogs::TakeShownMessages();
    QVERIFY2(messages.size() == 1, qPrintable(messages.join(u'|')));
    QVERIFY2(messages.at(0).contains(u"sp09kw_n.dbf", Qt::CaseInsensitive), qPrintable(messages.at(0)));
    QVERIFY2(messages.at(0).contains(u"sp09pr_n", Qt::CaseInsensitive), qPrintable(messages.at(0)));
    QCOMPARE(main->StatusText(0), QStringLiteral("Физических лиц:  0"));
    QCOMPARE(main->SGFullFiz().RowCount(), 1);
    QCOMPARE(main->SGFullPred().RowCount(), 1);
    QVERIFY(main->isVisible());
    main.reset();

    // A table of another shape under the right name: the message names the
    // file, and the count is of the empty list.
    {
        DbfWriter other(m_dir->filePath(QStringLiteral("sp09kw_n.dbf")),
                        {{QStringLiteral("nt"), 'C', 7}, {QStringLiteral("name"), 'C', 40}});
        for (int i = 0; i < 30; ++i)
            other.addRecord({EncodeText(QStringLiteral("200001"), CipherKey), EncodeText(QStringLiteral("ИВАНОВ"), CipherKey)});
        other.finish();
    }
    WriteOrgPhones(m_dir->path(), NumberedOrgs(3));
    main = start();
    QVERIFY(main);
    const QStringList otherShape = Dialogs::TakeShownMessages();
    QVERIFY2(otherShape.size() == 1, qPrintable(otherShape.join(u'|')));
    QVERIFY2(otherShape.first().contains(u"sp09kw_n.dbf"), qPrintable(otherShape.first()));
    QVERIFY2(otherShape.first().contains(u"fio"), qPrintable(otherShape.first()));
    QCOMPARE(main->StatusText(0), QStringLiteral("Физических лиц:  0"));
    QCOMPARE(main->SGFullFiz().RowCount(), 1);
    QCOMPARE(main->SGFullPred().RowCount(), 4);
    main.reset();

    // Cut off inside record 101 of 250: the records present are shown, and the
    // user is told that the file is damaged.
    WritePersons(m_dir->path(), NumberedPersons(250));
    {
        QFile table(m_dir->filePath(QStringLiteral("sp09kw_n.dbf")));
        QVERIFY(table.open(QIODevice::ReadWrite));
        const qint64 record = 1 + 7 + 40 + 30 + 10 + 5;
        const qint64 header = table.size() - 1 - 250 * record; // the file ends in an end mark
        QVERIFY(table.resize(header + 100 * record + 40));
    }
    main = start();
    QVERIFY(main);
    const QStringList cut = Dialogs::TakeShownMessages();
    QVERIFY2(cut.size() == 1, qPrintable(cut.join(u'|')));
    QVERIFY2(cut.first().contains(u"sp09kw_n.dbf"), qPrintable(cut.first()));
    QCOMPARE(main->StatusText(0), QStringLiteral("Физических лиц:  100"));
    QCOMPARE(main->SGFullFiz().RowCount(), 101);
    QCOMPARE(main->SGFullFiz().Cells(2, 100), QStringLiteral("АБОНЕНТ 100"));
}

void MainWindowTest::helpOpensTheTopicOfTheFocusedControl()
{
    writeDefaultDirectory();
    auto main = start();
    QVERIFY(main);
    QTRY_COMPARE(QApplication::focusWidget(), &main->SGFullFiz());
    QCOMPARE(main->Help(), nullptr);

    QTest::keyClick(&main->SGFullFiz(), Qt::Key_F1);
    QVERIFY(main->Help());
    QVERIFY(main->Help()->isVisible());
    QCOMPARE(main->Help()->CurrentPage(), QStringLiteral("topic1.html"));
    QVERIFY(main->Help()->Browser()->toPlainText().contains(u"Поиск по номеру телефона"));

    main->activateWindow();
    QTest::keyClick(main.get(), Qt::Key_W, Qt::ControlModifier);
    QTRY_COMPARE(QApplication::focusWidget(), &main->SGFullPred());
    QTest::keyClick(&main->SGFullPred(), Qt::Key_F1);
    QCOMPARE(main->Help()->CurrentPage(), QStringLiteral("topic4.html"));

    // A control with no context of its own takes its parent's.
    main->SGTemp().SetHelpContext(2);
    main->SGTemp().show();
    main->SGFullPred().hide();
    main->FocusVisibleGrid();
    QTest::keyClick(main->SGTemp().viewport(), Qt::Key_F1);
    QCOMPARE(main->Help()->CurrentPage(), QStringLiteral("topic2.html"));

    main->findChild<QAction *>(QStringLiteral("N9"))->trigger();
    QCOMPARE(main->Help()->CurrentPage(), QStringLiteral("index.html"));

    // Esc closes the help from the keyboard.
    main->Help()->activateWindow();
    QTest::keyClick(main->Help()->Browser(), Qt::Key_Escape);
    QTRY_VERIFY(!main->Help()->isVisible());

    // Enter presses the focused button.
    main->ShowHelpTopic(4);
    QTRY_VERIFY(main->Help()->isActiveWindow());
    auto *contents = main->Help()->findChild<QPushButton *>(QStringLiteral("HelpContents"));
    QVERIFY(contents);
    contents->setFocus(Qt::TabFocusReason);
    QTest::keyClick(contents, Qt::Key_Return);
    QCOMPARE(main->Help()->CurrentPage(), QStringLiteral("index.html"));
    auto *close = main->Help()->findChild<QPushButton *>(QStringLiteral("HelpClose"));
    QVERIFY(close);
    close->setFocus(Qt::TabFocusReason);
    QTest::keyClick(close, Qt::Key_Enter);
    QTRY_VERIFY(!main->Help()->isVisible());
}

void MainWindowTest::commandsDoNothingUntilAttached()
{
    writeDefaultDirectory();
    auto main = start();
    QVERIFY(main);
    for (int n = 1; n <= 5; ++n)
        QTest::mouseClick(&main->SpeedButton(n), Qt::LeftButton);
    main->findChild<QAction *>(QStringLiteral("N7"))->trigger();
    main->findChild<QAction *>(QStringLiteral("N11"))->trigger();
    QVERIFY(main->isVisible());
    QCOMPARE(main->TabIndex(), 0);
    QCOMPARE(Dialogs::TakeShownMessages(), QStringList());

    QStringList ran;
    main->SetCommand(Command::PhoneSearch, [&] { ran.append(QStringLiteral("phone")); });
    main->SetCommand(Command::About, [&] { ran.append(QStringLiteral("about")); });
    main->SetCommand(Command::Update, [] { throw DatabaseError(QStringLiteral("Файл не найден"), QStringLiteral("x.dbf")); });
    QTest::mouseClick(&main->SpeedButton(1), Qt::LeftButton);
    main->findChild<QAction *>(QStringLiteral("N11"))->trigger();
    QCOMPARE(ran, QStringList({QStringLiteral("phone"), QStringLiteral("about")}));
    // An error of a command is shown, and the program goes on.
    main->findChild<QAction *>(QStringLiteral("N7"))->trigger();
    QCOMPARE(Dialogs::TakeShownMessages(), QStringList({QStringLiteral("Файл не найден\n\nx.dbf")}));
    QVERIFY(main->isVisible());
}

void MainWindowTest::keyPreviewSeesTypedCharacters()
{
    writeDefaultDirectory();
    auto main = start();
    QVERIFY(main);
    QString seen;
    main->SetKeyPreview([&](QChar c) { seen.append(c); });
    QTRY_COMPARE(QApplication::focusWidget(), &main->SGFullFiz());
    QTest::keyClicks(&main->SGFullFiz(), QStringLiteral("#tuko"));
    QCOMPARE(seen, QStringLiteral("#tuko"));
    // Keys that type nothing are not characters.
    QTest::keyClick(&main->SGFullFiz(), Qt::Key_Down);
    QCOMPARE(seen, QStringLiteral("#tuko"));
    // Typing into another window is not seen.
    QLineEdit elsewhere;
    elsewhere.show();
    QVERIFY(QTest::qWaitForWindowExposed(&elsewhere));
    elsewhere.activateWindow();
    elsewhere.setFocus();
    QTRY_COMPARE(QApplication::focusWidget(), &elsewhere);
    QTest::keyClicks(&elsewhere, QStringLiteral("abc"));
    QCOMPARE(seen, QStringLiteral("#tuko"));
}

void MainWindowTest::edit1UpperCases()
{
    writeDefaultDirectory();
    auto main = start();
    QVERIFY(main);
    main->Edit1().setText(QStringLiteral("иванов пётр ivan"));
    QCOMPARE(main->Edit1().text(), QStringLiteral("ИВАНОВ ПЁТР IVAN"));
    QCOMPARE(main->Edit1().width(), 0);
}

void MainWindowTest::exitByButtonAndByMenu()
{
    writeDefaultDirectory();
    {
        auto main = start();
        QVERIFY(main);
        QTest::mouseClick(&main->SpeedButton(6), Qt::LeftButton);
        QVERIFY(!main->isVisible());
    }
    {
        auto main = start();
        QVERIFY(main);
        QTest::keyClick(main.get(), Qt::Key_F10);
        QVERIFY(!main->isVisible());
    }

    // The program ends even while another of its windows is open.
    auto main = start();
    QVERIFY(main);
    QWidget other;
    other.show();
    QTimer watchdog;
    watchdog.setSingleShot(true);
    bool timedOut = false;
    connect(&watchdog, &QTimer::timeout, this, [&] {
        timedOut = true;
        QCoreApplication::quit();
    });
    watchdog.start(5000);
    QTimer::singleShot(0, main.get(), [&] { QTest::mouseClick(&main->SpeedButton(6), Qt::LeftButton); });
    QCoreApplication::exec();
    QVERIFY(!timedOut);
    QVERIFY(!main->isVisible());

    // Closed while the start-up still runs, before the event loop: the program
    // ends instead of running on with no window.
    main.reset();
    auto early = StartUp(ProgramPaths{m_dir->path(), QStringLiteral(PHONEBOOK_HELP_DIR)});
    QVERIFY(QTest::qWaitForWindowExposed(early.get()));
    early->activateWindow();
    QTest::keyClick(early.get(), Qt::Key_F10);
    QVERIFY(!early->isVisible());
    watchdog.start(5000);
    RunEventLoop(*early);
    QVERIFY(!timedOut);
}

QTEST_MAIN(MainWindowTest)
void MainWindowTest::helpOverAModalBoxTakesTheKeyboardAndClosesWithEsc()
{
    writeDefaultDirectory();
    auto main = start();
    QVERIFY(main);
    AttachToolBarSearches(*main);

    // Each box asks for the topic of its own search.
    main->SpeedButton(1).click();
    QCOMPARE(Dialogs::LastInputHelpContext(), 1);
    main->SpeedButton(2).click();
    QCOMPARE(Dialogs::LastInputHelpContext(), 2);
    main->TabControl1().setCurrentIndex(1);
    QTRY_COMPARE(main->TabIndex(), 1);
    main->SpeedButton(1).click();
    QCOMPARE(Dialogs::LastInputHelpContext(), 4);
    main->TabControl1().setCurrentIndex(0);
    QTRY_COMPARE(main->TabIndex(), 0);

    // A real box: F1 in it shows the topic over it, and the help answers.
    Dialogs::SetScripted(false);
    QPointer<QWidget> box;
    bool boxSeen = false;
    QString page;
    QString contentsPage;
    bool helpOnTop = false;
    bool boxKeptAfterEsc = false;
    bool closedByButton = false;
    QTimer::singleShot(0, main.get(), [&] {
        (void)QTest::qWaitFor([] { return QApplication::activeModalWidget() && QApplication::focusWidget()
                                    && QApplication::focusWidget()->window() == QApplication::activeModalWidget(); });
        box = QApplication::activeModalWidget();
        if (!box)
            return;
        boxSeen = true;
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_F1);
        QPointer<HelpWindow> help = main->Help();
        if (!help)
            return;
        page = help->CurrentPage();
        helpOnTop = help->isVisible() && help->parentWidget() == box && QApplication::activeModalWidget() == help;
        help->findChild<QPushButton *>(QStringLiteral("HelpContents"))->click();
        contentsPage = help->CurrentPage();
        QTest::keyClick(help->Browser(), Qt::Key_Escape);
        (void)QTest::qWaitFor([&help] { return help.isNull(); });
        boxKeptAfterEsc = help.isNull() && box && box->isVisible() && QApplication::activeModalWidget() == box;

        QTest::keyClick(box->focusWidget() ? box->focusWidget() : box.data(), Qt::Key_F1);
        help = main->Help();
        if (help) {
            help->findChild<QPushButton *>(QStringLiteral("HelpClose"))->click();
            (void)QTest::qWaitFor([&help] { return help.isNull(); });
            closedByButton = help.isNull() && box->isVisible();
        }
        static_cast<QDialog *>(box.data())->reject();
    });
    main->SpeedButton(1).click();
    Dialogs::SetScripted(true);
    QVERIFY(boxSeen);
    QCOMPARE(page, QStringLiteral("topic1.html"));
    QVERIFY(helpOnTop);
    QCOMPARE(contentsPage, QStringLiteral("index.html"));
    QVERIFY(boxKeptAfterEsc);
    QVERIFY(closedByButton);
    QTRY_VERIFY(!box);
}

void MainWindowTest::organisationTabDisablesTheSearchesItCannotRun()
{
    writeDefaultDirectory();
    auto main = start();
    QVERIFY(main);
    int phoneSearches = 0;
    main->SetCommand(Command::PhoneSearch, [&phoneSearches] { ++phoneSearches; });
    QMenu *searchMenu = main->findChild<QMenu *>(QStringLiteral("SearchMenu"));
    QVERIFY(searchMenu);
    const auto item = [&main](const char *name) { return main->findChild<QAction *>(QLatin1StringView(name)); };

    // Tips show the key; screen readers still hear the hint alone.
    QToolButton &phone = main->SpeedButton(1);
    QCOMPARE(phone.accessibleName(), QStringLiteral("Поиск по телефонному номеру"));
    QCOMPARE(phone.toolTip(), QStringLiteral("Поиск по телефонному номеру (Ctrl+T)"));
    QVERIFY(item("PhoneSearchItem")->text().endsWith(u"\tCtrl+T"));

    main->TabControl1().setCurrentIndex(1);
    QTRY_COMPARE(main->TabIndex(), 1);
    for (int number : {1, 4, 5})
        QVERIFY(main->SpeedButton(number).isEnabled());
    QVERIFY(item("OrgSearchItem")->isEnabled());
    QVERIFY(!item("SurnameSearchItem")->isEnabled()); // the other side's

    main->TabControl1().setCurrentIndex(2);
    QTRY_COMPARE(main->TabIndex(), 2);
    for (int number : {1, 4, 5}) {
        QVERIFY(!main->SpeedButton(number).isEnabled());
        QVERIFY(main->SpeedButton(number).toolTip().contains(u"«Юридические лица»"));
    }
    for (const char *name : {"PhoneSearchItem", "AddressSearchItem", "OrgSearchItem"})
        QVERIFY2(!item(name)->isEnabled(), name);
    QVERIFY(item("QuickSearchItem")->isEnabled());
    QTest::keyClick(main.get(), Qt::Key_T, Qt::ControlModifier);
    QCOMPARE(phoneSearches, 0);

    main->TabControl1().setCurrentIndex(1);
    QTRY_COMPARE(main->TabIndex(), 1);
    QVERIFY(phone.isEnabled());
    QCOMPARE(phone.toolTip(), QStringLiteral("Поиск по телефонному номеру (Ctrl+T)"));
    QTest::keyClick(main.get(), Qt::Key_T, Qt::ControlModifier);
    QTRY_COMPARE(phoneSearches, 1);
    item("PhoneSearchItem")->trigger();
    QCOMPARE(phoneSearches, 2);

    // Shift+F10 and the Menu key open the list's context menu, on the current row.
    for (const auto &[key, modifiers] : {std::pair{Qt::Key_F10, Qt::ShiftModifier}, std::pair{Qt::Key_Menu, Qt::NoModifier}}) {
        QString opened;
        QTimer::singleShot(0, main.get(), [&opened] {
            (void)QTest::qWaitFor([] { return QApplication::activePopupWidget() != nullptr; });
            if (QWidget *popup = QApplication::activePopupWidget()) {
                opened = popup->objectName();
                popup->close();
            }
        });
        main->SGFullPred().setFocus();
        QTest::keyClick(&main->SGFullPred(), key, modifiers);
        QCOMPARE(opened, QStringLiteral("GridMenu"));
        QVERIFY(main->isVisible()); // not the F10 of the exit
    }

    // Enter on an organisation lists its numbers, as a double-click does.
    main->SGFullPred().setFocus();
    main->SGFullPred().SetCurrentCell(1, 3);
    QTRY_COMPARE(main->TabControl1().tabText(2), main->SGFullPred().Cells(1, 3));
    QTest::keyClick(&main->SGFullPred(), Qt::Key_Return);
    QCOMPARE(main->TabIndex(), 2);
    QVERIFY(main->SGTemp().isVisible());
    QCOMPARE(main->SGTemp().Layout(), GridLayout::OrgPhones);
    QCOMPARE(main->SGTemp().accessibleName(), main->SGFullPred().Cells(1, 3).trimmed());
}

void MainWindowTest::helpListsEveryKeyOfTheWindow()
{
    writeDefaultDirectory();
    auto main = start();
    QVERIFY(main);
    QFile page(QStringLiteral(PHONEBOOK_HELP_DIR "/index.html"));
    QVERIFY(page.open(QIODevice::ReadOnly));
    const QString help = QString::fromUtf8(page.readAll());
    QStringList keys;
    for (const QAction *action : main->findChildren<QAction *>()) {
        if (!action->shortcut().isEmpty())
            keys.append(action->shortcut().toString(QKeySequence::PortableText));
        if (const qsizetype tab = action->text().indexOf(u'\t'); tab >= 0)
            keys.append(action->text().mid(tab + 1));
    }
    for (int number = 1; number <= 6; ++number) {
        if (!main->SpeedButton(number).shortcut().isEmpty())
            keys.append(main->SpeedButton(number).shortcut().toString(QKeySequence::PortableText));
    }
    QVERIFY(keys.size() >= 10);
    for (const QString &key : std::as_const(keys))
        QVERIFY2(help.contains(QStringLiteral("<kbd>%1</kbd>").arg(key)), qPrintable(key));
    // The menus name what the help names.
    for (const char *name : {"SearchMenu", "EditMenu"})
        QVERIFY(main->findChild<QMenu *>(QLatin1StringView(name)));
    QVERIFY(help.contains(u"меню «Правка» — «Копировать»"));
}

void MainWindowTest::helpFitsTheScreen()
{
    writeDefaultDirectory();
    auto main = start();
    QVERIFY(main);
    const QRect area = main->screen()->availableGeometry();
    main->ShowHelpContents();
    QPointer<HelpWindow> help = main->Help();
    QVERIFY(help && help->isVisible());
    QVERIFY2(area.contains(help->frameGeometry()), qPrintable(QStringLiteral("%1,%2 %3x%4").arg(help->x()).arg(help->y()).arg(help->width()).arg(help->height())));
    QVERIFY(help->width() >= help->NeededWidth());
    help->close();

    // Over a small modal window at the bottom left of the screen: wholly on
    // the screen, as wide as its pages need rather than squeezed beside it.
    QDialog box(main.get());
    box.setWindowModality(Qt::ApplicationModal);
    box.resize(300, 150);
    box.move(area.left(), area.bottom() - 150);
    box.show();
    QVERIFY(QTest::qWaitForWindowExposed(&box));
    QTest::keyClick(&box, Qt::Key_F1);
    QPointer<HelpWindow> over = main->Help();
    QVERIFY(over && over != help && over->isVisible());
    QVERIFY(area.contains(over->frameGeometry()));
    QVERIFY(over->width() >= over->NeededWidth());
    QVERIFY(over->height() > over->NeededWidth() / 2);
    over->close();
}

void MainWindowTest::listsFollowTheZoom()
{
    writeDefaultDirectory();
    auto main = start();
    QVERIFY(main);
    ResultGrid &list = main->SGFullFiz();
    const qreal usualPoints = list.font().pointSizeF();
    // Rows whole and numbers whole at every size (Номер, Дом, Кв.).
    for (int percent : {100, 200, 300}) {
        main->Zoom().SetPercent(percent);
        QCOMPARE(list.font().pointSizeF(), usualPoints * percent / 100);
        const QFontMetrics metrics = list.fontMetrics();
        QVERIFY(list.rowHeight(0) >= metrics.height());
        QVERIFY(list.horizontalHeader()->height() >= metrics.height());
        for (int col : {1, 4, 5}) {
            int widest = metrics.horizontalAdvance(list.Cells(col, 0));
            for (int row = 1; row < list.RowCount(); ++row) {
                if (list.IsRowLoaded(row))
                    widest = std::max(widest, metrics.horizontalAdvance(list.Cells(col, row)));
            }
            QVERIFY2(widest + 2 * CellPadding <= list.ColWidth(col), qPrintable(QStringLiteral("%1 %: column %2").arg(percent).arg(col)));
        }
        // The quick-search box grows with the lists, whole on the tool bar.
        const QuickSearchBox &box = main->QuickSearch();
        QCOMPARE(box.font().pointSizeF(), list.font().pointSizeF());
        QVERIFY(box.height() >= box.sizeHint().height() && box.parentWidget()->height() >= box.geometry().bottom());
    }
    QVERIFY(!main->Zoom().ZoomInAction()->isEnabled());

    // The keys and Ctrl with the wheel, in steps.
    QTest::keyClick(main.get(), Qt::Key_0, Qt::ControlModifier);
    QCOMPARE(main->Zoom().Percent(), 100);
    QTest::keyClick(main.get(), Qt::Key_Plus, Qt::ControlModifier);
    QCOMPARE(main->Zoom().Percent(), 110);
    QTest::keyClick(main.get(), Qt::Key_Minus, Qt::ControlModifier);
    QTest::keyClick(main.get(), Qt::Key_Minus, Qt::ControlModifier);
    QCOMPARE(main->Zoom().Percent(), 90);
    const QPoint inside = list.viewport()->rect().center();
    QWheelEvent wheel(inside, list.viewport()->mapToGlobal(inside), {}, {0, 240}, Qt::NoButton, Qt::ControlModifier,
                      Qt::NoScrollPhase, false);
    QApplication::sendEvent(list.viewport(), &wheel);
    QCOMPARE(main->Zoom().Percent(), 110);

    // Kept for the next start.
    main->Zoom().SetPercent(200);
    QVERIFY(SaveWindowLayout(*main));
    main.reset();
    main = start();
    QVERIFY(main);
    RestoreWindowLayout(*main);
    QCOMPARE(main->Zoom().Percent(), 200);
    QCOMPARE(main->SGFullFiz().font().pointSizeF(), usualPoints * 2);
}

void MainWindowTest::wideColumnTakesWhatTheOthersLeave()
{
    writeDefaultDirectory();
    auto main = start();
    QVERIFY(main);
    // A department result in a narrow window (as on a screen at twice the
    // scale), its design width grown with the font as the columns are.
    const DesignPixels px(*main);
    main->resize(px(720), 500);
    main->PresentSearch(search::OrgSearch(main->QTemp(), search::OrgSearchMode::Department, u"БУХГ"));
    ResultGrid &result = main->SGTemp();
    QCOMPARE(result.Layout(), GridLayout::Departments);
    const auto rightEdge = [&result](int col) { return result.columnViewportPosition(col - 1) + result.ColWidth(col); };
    for (int width : {px(720), px(1200)}) {
        main->resize(width, 500);
        // "Улица" and "Дом" whole in the window; "Организация" takes the rest, whole on the first page.
        QTRY_COMPARE(rightEdge(5), result.viewport()->width());
        QVERIFY(result.horizontalScrollBar()->maximum() == 0);
        int widest = 0;
        for (int row = 1; row < result.RowCount(); ++row)
            widest = std::max(widest, result.fontMetrics().horizontalAdvance(result.Cells(2, row)));
        QVERIFY(result.ColWidth(2) >= widest + 2 * CellPadding);
    }
    QVERIFY(result.ColWidth(2) > px(1200 - 700));
}

void MainWindowTest::fixedWindowsFitTheirTexts_data()
{
    QTest::addColumn<qreal>("points");
    QTest::addColumn<bool>("changedLater");
    QTest::newRow("8 pt, as designed") << 8.0 << false;
    QTest::newRow("16 pt") << 16.0 << false;
    QTest::newRow("16 pt once the windows are made") << 16.0 << true;
}

void MainWindowTest::fixedWindowsFitTheirTexts()
{
    QFETCH(qreal, points);
    QFETCH(bool, changedLater);
    const QFont usual = QApplication::font();
    const auto restore = qScopeGuard([usual] { QApplication::setFont(usual); });
    QFont font = usual;
    font.setPointSizeF(changedLater ? 8 : points);
    QApplication::setFont(font);
    writeDefaultDirectory();
    auto main = start();
    QVERIFY(main);
    const SearchDialogs searches = AttachSearchDialogs(*main);
    const AuxWindows aux = AttachAuxWindows(*main);
    TFrmUpdate *update = AttachUpdateWindow(*main);
    if (changedLater) {
        font.setPointSizeF(points);
        QApplication::setFont(font);
    }

    const QList<QWidget *> windows{aux.about, aux.secret, searches.org, searches.address, update};
    for (QWidget *window : windows) {
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window));
        const QStringList cut = CutControls(*window);
        QVERIFY2(cut.isEmpty(), qPrintable(window->objectName() + QStringLiteral(": ") + cut.join(QStringLiteral("; "))));
        window->hide();
    }
    // The about window's address stays on the line of its "e-mail: ".
    QCOMPARE(aux.about->LabelEmail().y(), aux.about->findChild<QLabel *>(QStringLiteral("Label6"))->y());

    QWidget *toolBar = main->SpeedButton(1).parentWidget();
    const QStringList cut = CutControls(*toolBar);
    QVERIFY2(cut.isEmpty(), qPrintable(cut.join(QStringLiteral("; "))));
}

void MainWindowTest::tabGoesRoundTheWindow()
{
    writeDefaultDirectory();
    auto main = start();
    QVERIFY(main);
    const QList<QWidget *> round{&main->SpeedButton(1), &main->SpeedButton(2), &main->SpeedButton(3),
                                 &main->SpeedButton(6), &main->QuickSearch(), &main->TabControl1(), &main->SGFullFiz()};
    main->SpeedButton(1).setFocus(Qt::TabFocusReason);
    for (int i = 1; i <= round.size(); ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), round.at(i % round.size()));
    }
    for (int i = round.size() - 1; i >= 0; --i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab, Qt::ShiftModifier);
        QCOMPARE(QApplication::focusWidget(), round.at(i));
    }
}

#include "MainWindowTest.moc"
