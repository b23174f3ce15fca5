#pragma once

#include <QObject>
#include <QPointer>

class QLabel;
class QProgressBar;
class SuggestHarvester;

// The harvest's panel in the status bar: "Phrase n of m", the pause before the next phrase counting
// down and the time left; while a harvest runs the gauge shows how many of its phrases are done
// (the downloads leave it to the harvest meanwhile). Each download keeps its own status texts.
class HarvestPanel final : public QObject {
    Q_OBJECT

public:
    HarvestPanel(SuggestHarvester& harvester, QLabel* panel, QProgressBar* gauge, QObject* parent = nullptr);

    // Whether the gauge is the harvest's now.
    bool ownsGauge() const { return m_running; }

    // "about 40 s left", "about 3 min left", "about 2 h 5 min left".
    static QString timeLeftText(qint64 seconds);

private:
    void show();

    QPointer<QLabel> m_panel;
    QPointer<QProgressBar> m_gauge;
    bool m_running = false;
    qsizetype m_turn = 0;
    qsizetype m_count = 0;
    int m_pauseLeft = 0;
    qint64 m_secondsLeft = -1;
};
