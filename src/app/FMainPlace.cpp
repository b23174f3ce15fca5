// The main window's place: its size and position, its splitters and its lists' column widths,
// remembered in the options file when the window closes and taken back when it opens.
#include "app/FMainPlace.h"

#include "app/FMain.h"
#include "util/CrashReporter.h"
#include "util/ProgramFolder.h"
#include "util/ProgramOptions.h"
#include "util/ui/Controls.h"

#include <QGuiApplication>
#include <QHeaderView>
#include <QScreen>
#include <QSettings>
#include <QSplitter>
#include <QTableView>

#include <algorithm>
#include <numeric>

namespace {

const QString Section = QStringLiteral("window/");

QString splitterKey(const QSplitter& splitter)
{
    return Section + splitter.objectName() + QStringLiteral("Sizes");
}

QString columnsKey(const QTableView& list)
{
    return Section + list.objectName() + QStringLiteral("Columns");
}

QList<int> numbers(const QVariant& value)
{
    QList<int> read;
    for (const QString& text : value.toStringList()) {
        bool ok = false;
        const int number = text.trimmed().toInt(&ok);
        if (!ok)
            return {};
        read << number;
    }
    return read;
}

QStringList texts(const QList<int>& values)
{
    QStringList list;
    for (const int value : values)
        list << QString::number(value);
    return list;
}

} // namespace

QRect PlaceWithin(const QRect& saved, const QRect& available, const QSize& minimum)
{
    const int width = std::max(std::min(saved.width(), available.width()), minimum.width());
    const int height = std::max(std::min(saved.height(), available.height()), minimum.height());
    // A window larger than the screen keeps its top-left corner there, where its title bar is.
    const int x = std::max(std::min(saved.x(), available.right() + 1 - width), available.left());
    const int y = std::max(std::min(saved.y(), available.bottom() + 1 - height), available.top());
    return QRect(x, y, width, height);
}

bool TfrmMain::restoreWindowPlace()
{
    // Taken before the window is first shown, so that its layout is made at this size; the frame is
    // not known yet, and the window is brought within the screen again once it is (keepOnScreen).
    const QSettings settings(ProgramFile(OptionsFileName), QSettings::IniFormat);
    const QList<int> place = numbers(settings.value(Section + QStringLiteral("geometry")));
    if (place.size() != 4 || place[2] <= 0 || place[3] <= 0)
        return false;
    const QRect saved(place[0], place[1], place[2], place[3]);
    const QScreen* screen = QGuiApplication::screenAt(saved.center());
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (!screen)
        return false;
    const QRect placed = PlaceWithin(saved, screen->availableGeometry(), minimumSizeHint());
    resize(placed.size());
    move(placed.topLeft());
    if (settings.value(Section + QStringLiteral("maximized"), false).toBool())
        setWindowState(windowState() | Qt::WindowMaximized);
    return true;
}

void TfrmMain::keepOnScreen()
{
    const QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
    if (!screen || isMaximized())
        return;
    const QRect frame = frameGeometry();
    const QSize border = frame.size() - size();
    const QRect placed = PlaceWithin(frame, screen->availableGeometry(), minimumSizeHint() + border);
    if (placed == frame)
        return;
    resize(placed.size() - border);
    move(placed.topLeft());
}

void TfrmMain::restoreInnerPlace()
{
    const QSettings settings(ProgramFile(OptionsFileName), QSettings::IniFormat);
    for (QSplitter* splitter : findChildren<QSplitter*>()) {
        QList<int> sizes = numbers(settings.value(splitterKey(*splitter)));
        if (splitter->objectName().isEmpty() || sizes.size() != splitter->count() || sizes.size() < 2)
            continue;
        // The panels beside the list keep their widths; the list takes what is left of the window.
        const QList<int> now = splitter->sizes();
        const int total = std::accumulate(now.begin(), now.end(), 0);
        const int panels = std::accumulate(sizes.begin() + 1, sizes.end(), 0);
        if (total > panels)
            sizes[0] = total - panels;
        splitter->setSizes(sizes);
    }
    for (QTableView* list : findChildren<QTableView*>()) {
        const QList<int> widths = numbers(settings.value(columnsKey(*list)));
        QHeaderView* header = list->horizontalHeader();
        // The last column shown keeps stretching over what the list has left.
        const int stretched = header->stretchLastSection() ? LastShownColumn(*header) : -1;
        for (int column = 0; column < std::min<qsizetype>(widths.size(), header->count()); ++column) {
            if (widths[column] > 0 && column != stretched)
                header->resizeSection(column, widths[column]);
        }
    }
}

void TfrmMain::rememberPlace()
{
    // A window never shown has no place of its own yet.
    if (!m_shownOnce)
        return;
    // The position of the frame, as move() takes it, and the size inside it, as resize() takes it.
    const QRect normal = isMaximized() && normalGeometry().isValid() ? normalGeometry() : geometry();
    const QPoint corner = isMaximized() ? normal.topLeft() : pos();
    QList<std::pair<QString, QVariant>> values{
        {Section + QStringLiteral("geometry"),
         texts({corner.x(), corner.y(), normal.width(), normal.height()})},
        {Section + QStringLiteral("maximized"), isMaximized()}};
    for (const QSplitter* splitter : findChildren<QSplitter*>()) {
        const QList<int> sizes = splitter->sizes();
        // A side panel closed, or a page not shown, has no width to keep: the one it had stays.
        if (!splitter->objectName().isEmpty() && splitter->isVisible() && !sizes.contains(0))
            values.append({splitterKey(*splitter), texts(sizes)});
    }
    for (const QTableView* list : findChildren<QTableView*>()) {
        const QHeaderView* header = list->horizontalHeader();
        if (list->objectName().isEmpty() || header->count() == 0)
            continue;
        QList<int> widths;
        for (int column = 0; column < header->count(); ++column)
            widths << (header->isSectionHidden(column) ? 0 : header->sectionSize(column));
        values.append({columnsKey(*list), texts(widths)});
    }
    // Only these lines change: the user's comments stay. A place not remembered is no loss to tell.
    if (const QString error = WriteOptionsValues(ProgramFile(OptionsFileName), values); !error.isEmpty())
        CrashReporter::log(QStringLiteral("RememberWindowPlace"), error);
}
