#include "util/ui/TableLoadHold.h"

#include "util/DataFileStore.h"

#include <QWidget>

TableLoadHold::TableLoadHold(DataFileStore& file, QList<QWidget*> controls, QObject* parent)
    : QObject(parent)
{
    for (QWidget* control : controls)
        m_controls.append(control);
    connect(&file, &DataFileStore::loadingChanged, this, &TableLoadHold::hold);
    if (file.isLoading())
        hold(true);
}

QString TableLoadHold::waitingText()
{
    return QStringLiteral("Waiting for the table to load");
}

void TableLoadHold::hold(bool loading)
{
    if (loading && m_held.isEmpty()) {
        for (const QPointer<QWidget>& control : std::as_const(m_controls)) {
            if (!control)
                continue;
            m_held.append({control, control->toolTip(), control->isEnabled()});
            control->setEnabled(false);
            control->setToolTip(waitingText());
        }
    } else if (!loading) {
        for (const Held& held : std::as_const(m_held)) {
            if (!held.control)
                continue;
            held.control->setToolTip(held.toolTip);
            held.control->setEnabled(held.enabled);
        }
        m_held.clear();
    }
}
