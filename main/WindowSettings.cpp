#include "WindowSettings.h"

#include "ColumnWidths.h"
#include "ListZoom.h"
#include "ResultGrid.h"
#include "UMain.h"
#include "WindowHelpers.h"

#include <QEvent>
#include <QFile>
#include <QSettings>
#include <QToolButton>

#include <memory>

namespace phonebook {

namespace {

constexpr int FormatVersion = 1;
const QString VersionKey = QStringLiteral("layout/version");
const QString GeometryKey = QStringLiteral("layout/geometry");
const QString SideKey = QStringLiteral("layout/side");
// The lists' size, in per cent (ListZoom's steps).
const QString ZoomKey = QStringLiteral("view/zoom");
const QString PersonsSide = QStringLiteral("persons");
const QString OrgsSide = QStringLiteral("organisations");

struct LayoutName {
    GridLayout layout;
    const char *name;
};
constexpr LayoutName LayoutNames[] = {
    {GridLayout::Organisations, "organisations"},
    {GridLayout::OrgPhones, "org-phones"},
    {GridLayout::Departments, "departments"},
    {GridLayout::Persons, "persons"},
};

std::unique_ptr<QSettings> openSettings()
{
    return std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("phonebook"),
                                       QStringLiteral("phonebook"));
}

QString widthsKey(const ResultGrid &grid, const char *layout)
{
    return QStringLiteral("columns/%1/%2").arg(grid.objectName(), QLatin1StringView(layout));
}

void restoreWidths(ResultGrid &grid, const QSettings &settings)
{
    for (const LayoutName &entry : LayoutNames) {
        const QVariant value = settings.value(widthsKey(grid, entry.name));
        if (!value.isValid())
            continue;
        const QStringList texts = value.toStringList();
        const size_t columns = LayoutColumns(entry.layout, 0).size();
        if (static_cast<size_t>(texts.size()) != columns)
            continue; // written for another set of columns
        std::vector<int> widths;
        bool valid = true;
        for (const QString &text : texts) {
            bool ok = false;
            const int width = text.toInt(&ok);
            valid = valid && ok && width >= 0 && width <= ColumnWidths::MaxWidth;
            widths.push_back(width);
        }
        if (valid)
            grid.UserWidths().SetChosen(entry.layout, std::move(widths));
    }
}

void saveWidths(const ResultGrid &grid, QSettings &settings)
{
    for (const LayoutName &entry : LayoutNames) {
        const std::vector<int> chosen = grid.UserWidths().Chosen(entry.layout);
        if (chosen.empty())
            continue;
        QStringList texts;
        const size_t columns = LayoutColumns(entry.layout, 0).size();
        for (size_t c = 0; c < columns; ++c)
            texts.append(QString::number(c < chosen.size() ? chosen[c] : 0));
        settings.setValue(widthsKey(grid, entry.name), texts);
    }
}

// Saves the layout when the main window closes.
class LayoutKeeper : public QObject {
public:
    explicit LayoutKeeper(TFrmMain &main)
        : QObject(&main)
        , m_main(main)
    {
        main.installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched == &m_main && event->type() == QEvent::Close)
            SaveWindowLayout(m_main);
        return QObject::eventFilter(watched, event);
    }

private:
    TFrmMain &m_main;
};

} // namespace

QString WindowSettingsPath()
{
    return openSettings()->fileName();
}

bool RestoreWindowLayout(TFrmMain &main)
{
    new LayoutKeeper(main);
    const std::unique_ptr<QSettings> settings = openSettings();
    if (settings->status() != QSettings::NoError || settings->value(VersionKey).toInt() != FormatVersion)
        return false;
    for (ResultGrid *grid : {&main.SGFullFiz(), &main.SGFullPred(), &main.SGTemp()})
        restoreWidths(*grid, *settings);
    if (settings->value(SideKey).toString() == OrgsSide)
        main.ShowOrgsSide();
    bool isNumber = false;
    const int zoom = settings->value(ZoomKey).toInt(&isNumber);
    if (isNumber)
        main.Zoom().SetPercent(zoom);
    const QVariant geometry = settings->value(GeometryKey);
    if (geometry.typeId() != QMetaType::QByteArray || !main.restoreGeometry(geometry.toByteArray()))
        return false;
    // Saved on a larger screen, or on one no longer there: still wholly on this one.
    FitOnScreen(main);
    return true;
}

bool SaveWindowLayout(const TFrmMain &main)
{
    // The file holds nothing but the layout: it is written afresh, so that a
    // damaged one is replaced rather than merged with.
    QFile::remove(WindowSettingsPath());
    const std::unique_ptr<QSettings> settings = openSettings();
    settings->setValue(VersionKey, FormatVersion);
    settings->setValue(GeometryKey, main.saveGeometry());
    settings->setValue(SideKey, main.Session().Side() == DirectorySide::Persons ? PersonsSide : OrgsSide);
    settings->setValue(ZoomKey, main.Zoom().Percent());
    for (const ResultGrid *grid : {&main.SGFullFiz(), &main.SGFullPred(), &main.SGTemp()})
        saveWidths(*grid, *settings);
    settings->sync();
    return settings->status() == QSettings::NoError;
}

} // namespace phonebook
