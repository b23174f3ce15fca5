#include "suggest/ui/HarvestPanel.h"

#include "suggest/SuggestHarvester.h"

#include <QLabel>
#include <QLocale>
#include <QProgressBar>

HarvestPanel::HarvestPanel(SuggestHarvester& harvester, QLabel* panel, QProgressBar* gauge, QObject* parent)
    : QObject(parent)
    , m_panel(panel)
    , m_gauge(gauge)
{
    connect(&harvester, &SuggestHarvester::started, this, [this](qsizetype count) {
        // Nothing to count: the gauge stays the downloads' (a range of 0 to 0 would show activity).
        if (count == 0)
            return;
        m_running = true;
        m_turn = 0;
        m_count = count;
        m_pauseLeft = 0;
        m_secondsLeft = -1;
        if (m_gauge) {
            m_gauge->setRange(0, int(std::min<qsizetype>(count, INT_MAX)));
            m_gauge->setValue(0);
        }
    });
    connect(&harvester, &SuggestHarvester::turnStarted, this, [this](qsizetype turn, qsizetype) {
        m_turn = turn;
        m_pauseLeft = 0;
        show();
    });
    connect(&harvester, &SuggestHarvester::pauseLeft, this, [this](int seconds) {
        m_pauseLeft = seconds;
        show();
    });
    connect(&harvester, &SuggestHarvester::rowFetching, this, [this] {
        m_pauseLeft = 0;
        show();
    });
    connect(&harvester, &SuggestHarvester::phrasesDone, this,
            [this](qsizetype done, qsizetype, qint64 secondsLeft) {
                m_secondsLeft = done < m_count ? secondsLeft : -1;
                if (m_gauge)
                    m_gauge->setValue(int(std::min<qsizetype>(done, INT_MAX)));
                show();
            });
    connect(&harvester, &SuggestHarvester::ended, this, [this] {
        m_running = false;
        if (m_panel)
            m_panel->hide();
    });
}

QString HarvestPanel::timeLeftText(qint64 seconds)
{
    if (seconds < 60)
        return tr("about %1 s left").arg(std::max<qint64>(seconds, 1));
    const qint64 minutes = (seconds + 30) / 60;
    if (minutes < 60)
        return tr("about %1 min left").arg(minutes);
    return tr("about %1 h %2 min left").arg(minutes / 60).arg(minutes % 60);
}

void HarvestPanel::show()
{
    if (!m_running || !m_panel)
        return;
    QStringList parts{tr("Phrase %1 of %2").arg(QLocale().toString(m_turn + 1), QLocale().toString(m_count))};
    if (m_pauseLeft > 0)
        parts << tr("next phrase in %1 s").arg(m_pauseLeft);
    if (m_secondsLeft >= 0)
        parts << timeLeftText(m_secondsLeft);
    m_panel->setText(parts.join(QStringLiteral(" · ")));
    m_panel->show();
}
