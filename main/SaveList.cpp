#include "SaveList.h"

#include "Dialogs.h"
#include "GridCopy.h"
#include "ResultGrid.h"
#include "ShownList.h"
#include "UMain.h"

#include <QDir>
#include <QProgressDialog>
#include <QStandardPaths>

namespace phonebook {

namespace {

// The status bar's panel for messages.
constexpr int MessagePanel = 2;

QString suggestedPath(const QString &title)
{
    QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (folder.isEmpty() || !QDir(folder).exists())
        folder = QDir::homePath();
    return QDir(folder).filePath(SafeFileName(title) + QStringLiteral(".csv"));
}

} // namespace

bool SaveShownList(TFrmMain &main)
{
    const ShownList shown = CurrentList(main);
    if (!shown.grid)
        return false;
    const QString path = Dialogs::SaveFileName(&main, QStringLiteral("Сохранить список"),
                                               QStringLiteral("Файлы CSV (*.csv);;Все файлы (*)"),
                                               suggestedPath(shown.title), QStringLiteral("csv"));
    if (path.isEmpty())
        return false;

    // What the list shows now: the progress window lets events through, and a
    // search or a new edition may fill the grid again meanwhile.
    const ListRows rows = AllGridRows(*shown.grid);
    QProgressDialog progress(QStringLiteral("Сохранение списка в файл «%1»…").arg(QDir::toNativeSeparators(path)),
                             QStringLiteral("Отмена"), 0, rows.rowCount, &main);
    progress.setWindowTitle(QStringLiteral("Сохранение списка"));
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(400);
    progress.setAutoClose(false);
    progress.setAutoReset(false);
    const CsvOutcome outcome = WriteCsvFile(path, rows, [&progress](int written) {
        progress.setValue(written); // lets events through: the cancel button works
        return !progress.wasCanceled();
    });
    progress.close();
    if (!outcome.error.isEmpty()) {
        Dialogs::ShowMessage(&main,
                             QStringLiteral("Не удалось сохранить список в файл «%1»: %2")
                                 .arg(QDir::toNativeSeparators(path), outcome.error),
                             QMessageBox::Warning);
    }
    if (outcome.written)
        main.SetStatusText(MessagePanel, QStringLiteral("Сохранено строк: %1").arg(outcome.rows));
    return outcome.written;
}

} // namespace phonebook
