#pragma once

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>

class DataFileStore;
class QWidget;

// While a table loads, the controls that act on it wait: disabled, each with a tooltip that says
// why, and given back as they were once the table is there.
class TableLoadHold final : public QObject {
    Q_OBJECT

public:
    TableLoadHold(DataFileStore& file, QList<QWidget*> controls, QObject* parent);

    static QString waitingText();

private:
    void hold(bool loading);

    struct Held {
        QPointer<QWidget> control;
        QString toolTip;
        bool enabled = true;
    };
    QList<QPointer<QWidget>> m_controls;
    QList<Held> m_held;
};
