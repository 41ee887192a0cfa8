// Saving and printing the list shown, and the window layout kept between runs.

#include "ColumnWidths.h"
#include "Dataset.h"
#include "Dialogs.h"
#include "FillRoutines.h"
#include "GridLayouts.h"
#include "Fixtures.h"
#include "PrintList.h"
#include "ResultGrid.h"
#include "UMain.h"
#include "WindowSettings.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QItemSelectionModel>
#include <QPdfWriter>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

#include <memory>

using namespace phonebook;
using namespace phonebook::fixtures;

class DeskCommandsTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void savingWritesEveryRowOfTheListShown();
    void aFailedSaveSaysSoAndLeavesNoFile();
    void printingRepeatsHeadingsAndOffersTheSelection();
    void printedColumnsFitTheirTextAndThePage();
    void layoutComesBackAtTheNextStart();
    void aDamagedSettingsFileIsIgnoredAndReplaced();

private:
    std::unique_ptr<TFrmMain> start();
    void trigger(TFrmMain &main, const char *name);

    std::unique_ptr<QTemporaryDir> m_dir;
};

void DeskCommandsTest::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    Dialogs::SetScripted(true);
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, m_dir->filePath(QStringLiteral("settings")));
    WritePersons(m_dir->path(), NumberedPersons(700));
    WriteOrgPhones(m_dir->path(), {{QStringLiteral("3000001"), QStringLiteral("ЗАВОД \"ЗАРЯ\" ЦЕХ 2"), {},
                                    QStringLiteral("Приёмная"), QStringLiteral("пр. Мира"), QStringLiteral("1")}});
}

void DeskCommandsTest::cleanup()
{
    Dialogs::SetScripted(false);
    m_dir.reset();
}

std::unique_ptr<TFrmMain> DeskCommandsTest::start()
{
    auto main = std::make_unique<TFrmMain>(ProgramPaths{m_dir->path(), {}});
    main->WaitForOrgList();
    main->resize(900, 600);
    main->show();
    return main;
}

void DeskCommandsTest::trigger(TFrmMain &main, const char *name)
{
    auto *action = main.findChild<QAction *>(QLatin1StringView(name));
    QVERIFY2(action, name);
    action->trigger();
}

void DeskCommandsTest::savingWritesEveryRowOfTheListShown()
{
    auto main = start();
    QVERIFY(!main->SGFullFiz().IsRowLoaded(650));
    const QString path = m_dir->filePath(QStringLiteral("persons.csv"));
    Dialogs::QueueFileName(path);
    trigger(*main, "SaveListItem");
    QCOMPARE(Dialogs::TakeShownMessages(), QStringList());

    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    QVERIFY(bytes.startsWith("\xEF\xBB\xBF"));
    const QStringList lines = QString::fromUtf8(bytes.mid(3)).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 701);
    QCOMPARE(main->StatusText(2), QStringLiteral("Сохранено строк: 700"));
    QCOMPARE(lines.first(), QStringLiteral("Номер;Ф. И. О.;Улица;Дом;Кв."));
    QVERIFY2(lines.last().startsWith(QStringLiteral("200700;АБОНЕНТ 700;")), qPrintable(lines.last()));

    // The organisations side: a name with a quote and a ";" stays one field.
    main->ShowOrgsSide();
    Dialogs::QueueFileName(path);
    trigger(*main, "SaveListItem");
    file.close();
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(QString::fromUtf8(file.readAll().mid(3)),
             QStringLiteral("Организация;Улица;Дом\r\n\"ЗАВОД \"\"ЗАРЯ\"\" ЦЕХ 2\";пр. Мира;1\r\n"));
}

void DeskCommandsTest::aFailedSaveSaysSoAndLeavesNoFile()
{
    auto main = start();
    const QString path = m_dir->filePath(QStringLiteral("gone/persons.csv"));
    Dialogs::QueueFileName(path);
    trigger(*main, "SaveListItem");
    const QStringList messages = Dialogs::TakeShownMessages();
    QCOMPARE(messages.size(), 1);
    QVERIFY2(messages.first().startsWith(QStringLiteral("Не удалось сохранить список")), qPrintable(messages.first()));
    QVERIFY(!QFile::exists(path));

    // A cancelled file dialog writes nothing and says nothing.
    trigger(*main, "SaveListItem");
    QCOMPARE(Dialogs::TakeShownMessages(), QStringList());
}

void DeskCommandsTest::printingRepeatsHeadingsAndOffersTheSelection()
{
    auto main = start();
    ResultGrid &grid = main->SGFullFiz();
    QAbstractItemModel *model = grid.model();
    grid.selectionModel()->select(QItemSelection(model->index(599, 0), model->index(609, 4)),
                                  QItemSelectionModel::ClearAndSelect);

    // A long list: only the selected rows, when the user says so.
    PrintJob job;
    Dialogs::QueueQuestionAnswer(QMessageBox::Yes);
    QVERIFY(BuildPrintJob(*main, job));
    QCOMPARE(Dialogs::TakeAskedInputs().size(), 1);
    QCOMPARE(job.title, QStringLiteral("Физические лица"));
    QCOMPARE(job.rowCount, 11);
    QCOMPARE(job.row(0).mid(0, 2), (QStringList{QStringLiteral("200600"), QStringLiteral("АБОНЕНТ 600")}));
    QCOMPARE(job.row(10).at(0), QStringLiteral("200610"));

    Dialogs::QueueQuestionAnswer(QMessageBox::No);
    QVERIFY(BuildPrintJob(*main, job));
    QCOMPARE(job.rowCount, 700);
    QCOMPARE(job.row(699).at(0), QStringLiteral("200700"));
    QVERIFY(!BuildPrintJob(*main, job)); // cancelled: nothing queued answers Cancel

    // Every row lands on some page, and the PDF holds as many pages as were laid out.
    Dialogs::QueueQuestionAnswer(QMessageBox::No);
    QVERIFY(BuildPrintJob(*main, job));
    const QString pdf = m_dir->filePath(QStringLiteral("list.pdf"));
    int lastRowPrinted = -1;
    const auto row = job.row;
    job.row = [&](int r) {
        lastRowPrinted = std::max(lastRowPrinted, r);
        return row(r);
    };
    int pages = 0;
    {
        QPdfWriter writer(pdf);
        writer.setResolution(300);
        pages = PaintList(writer, job);
    }
    QVERIFY(pages > 5);
    QCOMPARE(lastRowPrinted, 699);
    QFile file(pdf);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll().count("/Type /Page\n"), pages);
    file.close();

    // The grid filled with another list while the preview is open: the
    // job still prints the list it was built from.
    PrintJob later;
    Dialogs::QueueQuestionAnswer(QMessageBox::No);
    QVERIFY(BuildPrintJob(*main, later));
    const QString other = m_dir->filePath(QStringLiteral("other"));
    QVERIFY(QDir().mkpath(other));
    WritePersons(other, NumberedPersons(3));
    TableCursor table;
    table.SetDirectory(other);
    table.SetTableName(QStringLiteral("sp09kw_n"));
    table.Open();
    FillPersonGridPaged(grid, table);
    QCOMPARE(grid.RowCount(), 4);
    QCOMPARE(later.rowCount, 700);
    QCOMPARE(later.row(699).at(0), QStringLiteral("200700"));
    QCOMPARE(later.row(2).at(0), QStringLiteral("200003"));

    // Its table file rewritten meanwhile: rows that now read as empty are not printed.
    WritePersons(m_dir->path(), NumberedPersons(5));
    QPdfWriter lostWriter(m_dir->filePath(QStringLiteral("lost.pdf")));
    QCOMPARE(PaintList(lostWriter, later), 0);
}

void DeskCommandsTest::printedColumnsFitTheirTextAndThePage()
{
    // A department result: long organisations and departments beside numbers.
    PrintJob job;
    job.title = QStringLiteral("Поиск по отделу БУХГ");
    job.headings = {QStringLiteral("№ тел."), QStringLiteral("Организация"), QStringLiteral("Отдел"),
                    QStringLiteral("Улица"), QStringLiteral("Дом")};
    job.digits = {9, 0, 0, 0, 7};
    const QString longName = QStringLiteral("ГОСУДАРСТВЕННОЕ УНИТАРНОЕ ПРЕДПРИЯТИЕ ").repeated(4);
    job.rowCount = 3;
    job.row = [&](int r) {
        return QStringList{QStringLiteral("  367200%1").arg(r), r == 0 ? longName : QStringLiteral("ЗАВОД"),
                           QStringLiteral("Бухгалтерия, расчётный отдел"), QStringLiteral("ул. Мира"),
                           QStringLiteral("    15а")};
    };
    for (const bool narrowList : {false, true}) {
        if (narrowList)
            job.rowCount = 0; // headings only: the columns are as wide as those need
        QPdfWriter writer(m_dir->filePath(QStringLiteral("dept.pdf")));
        writer.setResolution(300);
        writer.setPageMargins(QMarginsF(2, 2, 2, 2), QPageLayout::Millimeter);
        const PrintColumns columns = MeasurePrintColumns(writer, job);
        QCOMPARE(columns.widths.size(), 5);
        // Margins of at least 10 mm, whatever the printer offered.
        const QMarginsF margins = writer.pageLayout().margins(QPageLayout::Millimeter);
        QVERIFY(margins.left() >= 10 && margins.right() >= 10 && margins.top() >= 10 && margins.bottom() >= 10);

        QFont body;
        body.setPointSize(8);
        const QFontMetrics metrics(body, &writer);
        QFont bold = body;
        bold.setBold(true);
        const QFontMetrics boldMetrics(bold, &writer);
        // Numbers and headings never cut; the whole row within the page.
        QVERIFY(columns.widths[0] > metrics.horizontalAdvance(QStringLiteral("000000000")));
        QVERIFY(columns.widths[0] > boldMetrics.horizontalAdvance(job.headings[0]));
        QVERIFY(columns.widths[4] > metrics.horizontalAdvance(QStringLiteral("0000000")));
        int total = 0;
        for (int width : columns.widths)
            total += width;
        QVERIFY(total <= columns.pageWidth);
        if (!narrowList) {
            // The department gets its room; the long name gives up what the page lacks.
            QVERIFY(columns.widths[2] > metrics.horizontalAdvance(job.row(0).at(2)));
            QVERIFY(columns.widths[1] < metrics.horizontalAdvance(longName));
            QVERIFY(total >= columns.pageWidth - 5);
        } else {
            QVERIFY(columns.widths[1] < columns.pageWidth / 3);
        }
    }
}

void DeskCommandsTest::layoutComesBackAtTheNextStart()
{
    int streetWidth = 0;
    {
        auto main = start();
        QVERIFY(!RestoreWindowLayout(*main)); // nothing kept yet; saved from now on
        main->setGeometry(40, 50, 700, 500);
        streetWidth = main->SGFullFiz().ColWidth(3);
        main->SGFullFiz().UserWidths().SetChosen(GridLayout::Persons, {0, 321, 0, 0, 0});
        QCOMPARE(main->SGFullFiz().ColWidth(2), 321);
        main->ShowOrgsSide();
        main->close(); // saves
    }
    QVERIFY(QFile::exists(WindowSettingsPath()));
    auto main = std::make_unique<TFrmMain>(ProgramPaths{m_dir->path(), {}});
    QVERIFY(RestoreWindowLayout(*main));
    QCOMPARE(main->size(), QSize(700, 500));
    QCOMPARE(main->SGFullFiz().ColWidth(2), 321);
    QCOMPARE(main->SGFullFiz().ColWidth(3), streetWidth); // not dragged: the list's own width
    QVERIFY(!main->SpeedButton(4).isHidden());
    QCOMPARE(main->TabIndex(), 1);
}

void DeskCommandsTest::aDamagedSettingsFileIsIgnoredAndReplaced()
{
    const QString path = WindowSettingsPath();
    QVERIFY(QDir().mkpath(QFileInfo(path).absolutePath()));
    const QList<QByteArray> damaged = {
        QByteArray("\x00\xff\xfe[[[layout\n=\x01\x02", 14),
        QByteArray("[layout]\nversion=1\nside=organisations\ngeometry=not a geometry\n"
                   "[columns]\nSGFullFiz\\persons=12, x, -5, 99999\n"),
    };
    for (const QByteArray &contents : damaged) {
        {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
            file.write(contents);
        }
        auto main = std::make_unique<TFrmMain>(ProgramPaths{m_dir->path(), {}});
        QVERIFY(!RestoreWindowLayout(*main));
        // The layout's own width, grown as far as the font needs for a whole number.
        QCOMPARE(main->SGFullFiz().ColWidth(1),
                 FittedColumnWidth(main->SGFullFiz().fontMetrics(), LayoutColumns(GridLayout::Persons, 512).front()));
        QVERIFY2(SaveWindowLayout(*main), qPrintable(contents.toHex()));
    }
    QSettings settings(path, QSettings::IniFormat);
    QCOMPARE(settings.status(), QSettings::NoError);
    QCOMPARE(settings.value(QStringLiteral("layout/side")).toString(), QStringLiteral("organisations"));
}

QTEST_MAIN(DeskCommandsTest)
#include "DeskCommandsTest.moc"
