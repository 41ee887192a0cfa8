#include "StreetBox.h"

#include "WindowHelpers.h"

#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QStringListModel>

#include <algorithm>
#include <utility>

namespace phonebook {

namespace {
constexpr QStringView SpokenName = u"Улица";
constexpr QStringView LoadingText = u"Список улиц загружается…";
constexpr int EditHeight = 21; // design pixels (DesignPixels)
} // namespace

StreetBox::StreetBox(QWidget *parent)
    : QWidget(parent)
    , m_edit(new QLineEdit(this))
    , m_list(new QListView(this))
    , m_model(new QStringListModel(this))
{
    m_edit->setObjectName(QStringLiteral("StreetEdit"));
    m_edit->setAccessibleName(SpokenName.toString());
    m_list->setObjectName(QStringLiteral("StreetList"));
    m_list->setAccessibleName(SpokenName.toString());
    m_list->setModel(m_model);
    m_list->setUniformItemSizes(true);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setFocusPolicy(Qt::ClickFocus);
    setFocusProxy(m_edit);
    m_edit->installEventFilter(this);

    m_loadingNote = new QLabel(LoadingText.toString(), m_list);
    m_loadingNote->setObjectName(QStringLiteral("StreetListLoading"));
    m_loadingNote->setAlignment(Qt::AlignCenter);
    m_loadingNote->setWordWrap(true);
    m_loadingNote->hide();

    connect(m_edit, &QLineEdit::textEdited, this, &StreetBox::onTextEdited);
    connect(m_list, &QListView::clicked, this, [this](const QModelIndex &index) { choose(index.row()); });
    connect(m_list->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex &current) {
                // Moving through the list with the keyboard puts the street into the edit.
                if (m_list->hasFocus() && current.isValid())
                    m_edit->setText(current.data().toString());
            });
}

QString StreetBox::text() const { return m_edit->text(); }

void StreetBox::setText(const QString &text) { m_edit->setText(text); }

void StreetBox::setStreets(const QStringList &streets)
{
    m_model->setStringList(streets);
    if (m_edit->isModified())
        follow(m_edit->text());
}

void StreetBox::setLoading(bool loading)
{
    m_loadingNote->setVisible(loading);
    m_list->setAccessibleDescription(loading ? LoadingText.toString() : QString());
}

bool StreetBox::loading() const { return !m_loadingNote->isHidden(); }

QStringList StreetBox::streets() const { return m_model->stringList(); }

int StreetBox::currentRow() const
{
    const QModelIndex current = m_list->currentIndex();
    return current.isValid() && m_list->selectionModel()->isSelected(current) ? current.row() : -1;
}

void StreetBox::onTextEdited(const QString &text)
{
    const int row = follow(text);
    const bool erasing = std::exchange(m_erasing, false);
    // The rest of the street is added, selected, so that Enter takes the
    // street and typing on replaces it; erasing takes no completion.
    if (row < 0 || erasing || m_edit->cursorPosition() != text.size())
        return;
    const QString street = m_model->stringList().at(row);
    if (street.size() <= text.size())
        return;
    m_edit->setText(street);
    m_edit->setSelection(street.size(), text.size() - street.size());
}

int StreetBox::follow(const QString &text)
{
    if (text.isEmpty())
        return -1;
    const QStringList &streets = m_model->stringList();
    for (int row = 0; row < streets.size(); ++row) {
        if (streets.at(row).startsWith(text, Qt::CaseInsensitive)) {
            const QModelIndex index = m_model->index(row);
            m_list->setCurrentIndex(index);
            m_list->scrollTo(index, QAbstractItemView::PositionAtTop);
            return row;
        }
    }
    return -1;
}

void StreetBox::choose(int row)
{
    const int count = m_model->rowCount();
    if (count == 0)
        return;
    row = std::clamp(row, 0, count - 1);
    const QModelIndex index = m_model->index(row);
    m_list->setCurrentIndex(index);
    m_list->scrollTo(index);
    m_edit->setText(index.data().toString());
    m_edit->selectAll();
}

bool StreetBox::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_edit && event->type() == QEvent::KeyPress) {
        const auto *key = static_cast<QKeyEvent *>(event);
        const int current = m_list->currentIndex().isValid() ? m_list->currentIndex().row() : -1;
        const int page = std::max(1, m_list->viewport()->height() / std::max(1, m_list->sizeHintForRow(0)) - 1);
        m_erasing = key->key() == Qt::Key_Backspace || key->key() == Qt::Key_Delete
            || key->matches(QKeySequence::DeleteStartOfWord) || key->matches(QKeySequence::DeleteEndOfWord)
            || key->matches(QKeySequence::Cut);
        switch (key->key()) {
        case Qt::Key_Down: choose(current + 1); return true;
        case Qt::Key_Up: choose(current < 0 ? 0 : current - 1); return true;
        case Qt::Key_PageDown: choose(current + page); return true;
        case Qt::Key_PageUp: choose(current - page); return true;
        default: break;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void StreetBox::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    const int editHeight = DesignPixels(*this)(EditHeight);
    m_edit->setGeometry(0, 0, width(), editHeight);
    m_list->setGeometry(0, editHeight, width(), height() - editHeight);
    m_loadingNote->setGeometry(m_list->viewport()->geometry());
}

} // namespace phonebook
