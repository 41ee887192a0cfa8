#include "TablesStatePage.h"

#include <QDir>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace phonebook {

namespace {
// The page's text reads best in a column of this many average characters.
constexpr int ReadableColumns = 70;
constexpr qreal TitleScale = 1.5;
} // namespace

TablesStatePage::TablesStatePage(QWidget *parent)
    : QFrame(parent)
{
    setObjectName(QStringLiteral("TablesStatePage"));
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Base);
    setFocusPolicy(Qt::NoFocus);

    m_title = new QLabel(this);
    m_title->setObjectName(QStringLiteral("DirectoryPageTitle"));
    QFont font = m_title->font();
    font.setBold(true);
    font.setPointSizeF(font.pointSizeF() * TitleScale);
    m_title->setFont(font);
    m_title->setWordWrap(true);
    m_title->setTextInteractionFlags(Qt::TextSelectableByKeyboard);

    // Reached by Tab, so that a screen reader reads it; its text can be copied.
    m_details = new QLabel(this);
    m_details->setObjectName(QStringLiteral("DirectoryPageDetails"));
    m_details->setWordWrap(true);
    m_details->setTextFormat(Qt::PlainText);
    m_details->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    m_details->setFocusPolicy(Qt::StrongFocus);

    m_update = new QPushButton(QStringLiteral("Обновить из архива…"), this);
    m_update->setObjectName(QStringLiteral("DirectoryPageUpdate"));
    m_update->setAutoDefault(true);
    m_help = new QPushButton(QStringLiteral("Справка"), this);
    m_help->setObjectName(QStringLiteral("DirectoryPageHelp"));
    m_help->setAutoDefault(true);
    connect(m_update, &QPushButton::clicked, this, &TablesStatePage::UpdateRequested);
    connect(m_help, &QPushButton::clicked, this, &TablesStatePage::HelpRequested);

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(m_update);
    buttons->addWidget(m_help);
    buttons->addStretch();

    auto *column = new QVBoxLayout;
    column->addWidget(m_title);
    column->addWidget(m_details);
    column->addLayout(buttons);

    // Centred across, a little above the middle.
    auto *across = new QHBoxLayout;
    across->addStretch(1);
    across->addLayout(column, 0);
    across->addStretch(1);
    auto *outer = new QVBoxLayout(this);
    outer->addStretch(1);
    outer->addLayout(across);
    outer->addStretch(2);

    setTabOrder(m_title, m_update);
    setTabOrder(m_update, m_help);
    setTabOrder(m_help, m_details);
    ShowNoRecords();
}

void TablesStatePage::ShowUnread(const QString &folder, const std::vector<TableFileState> &files)
{
    m_unread = true;
    m_title->setText(QStringLiteral("Справочник не загружен"));
    QStringList lines{QStringLiteral("Таблицы справочника ищутся в папке"), QDir::toNativeSeparators(folder), QString()};
    for (const TableFileState &file : files)
        lines.append(QStringLiteral("%1 — %2").arg(file.fileName,
                                                    file.problem.isEmpty() ? QStringLiteral("прочитан") : file.problem));
    lines.append(QString());
    lines.append(QStringLiteral("Установите новую редакцию из архива обновления кнопкой «Обновить из архива…» "
                                "или скопируйте оба файла в эту папку: списки загрузятся, как только файлы появятся."));
    m_details->setText(lines.join(u'\n'));
    m_title->setFocusPolicy(Qt::NoFocus);
    m_details->show();
    m_update->show();
    m_help->show();
    const int readable = fontMetrics().averageCharWidth() * ReadableColumns;
    m_details->setMinimumWidth(readable);
    m_title->setMinimumWidth(readable);
    setAccessibleName(m_title->text());
    setAccessibleDescription(m_details->text());
}

void TablesStatePage::ShowNoRecords()
{
    m_unread = false;
    m_title->setText(NoRecordsText.toString());
    m_title->setMinimumWidth(0);
    m_title->setFocusPolicy(Qt::StrongFocus);
    m_details->clear();
    m_details->hide();
    m_update->hide();
    m_help->hide();
    setAccessibleName(m_title->text());
    setAccessibleDescription(QString());
}

QString TablesStatePage::Text() const
{
    return m_unread ? m_title->text() + u'\n' + m_details->text() : m_title->text();
}

QWidget *TablesStatePage::FirstControl() const
{
    return m_unread ? static_cast<QWidget *>(m_update) : m_title;
}

} // namespace phonebook
