#include "trends/ui/TrendHistoryPanel.h"

#include "trends/TrendingFeed.h"
#include "util/ui/Controls.h"

#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QDateTimeAxis>
#include <QFormLayout>
#include <QLabel>
#include <QLineSeries>
#include <QLocale>
#include <QScrollArea>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

#include <QValueAxis>
#include <algorithm>
#include <cmath>

QString TrafficText(qint64 lowerBound)
{
    return QLocale().toString(lowerBound) + u'+';
}

QString TrafficText(const QString& feedText)
{
    const std::optional<qint64> bound = TrafficLowerBound(feedText);
    return bound ? TrafficText(*bound) : feedText;
}

namespace {

QString ShownTime(const QDateTime& time)
{
    return QLocale().toString(time.toLocalTime(), QLocale::ShortFormat);
}

QLabel* FactLabel(QWidget* parent, const char* name)
{
    auto* label = Named(new QLabel(parent), name);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    label->setWordWrap(true);
    return label;
}

} // namespace

TrendHistoryPanel::TrendHistoryPanel(QWidget* parent)
    : QFrame(parent)
{
    setObjectName(QStringLiteral("panTrendHistory"));
    setFrameShape(QFrame::StyledPanel);
    setMinimumWidth(280);
    auto* layout = new QVBoxLayout(this);
    lblHistoryKeyword = Named(new QLabel(this), "lblHistoryKeyword");
    lblHistoryKeyword->setWordWrap(true);
    QFont bold = lblHistoryKeyword->font();
    bold.setBold(true);
    bold.setPointSizeF(bold.pointSizeF() * 1.2);
    lblHistoryKeyword->setFont(bold);
    layout->addWidget(lblHistoryKeyword);

    // In a low window the details scroll rather than make the window taller.
    auto* scroller = Named(new QScrollArea(this), "scrHistory");
    scroller->setWidgetResizable(true);
    scroller->setFrameShape(QFrame::NoFrame);
    m_details = new QWidget(scroller);
    scroller->setWidget(m_details);
    auto* details = new QVBoxLayout(m_details);
    details->setContentsMargins(0, 0, 0, 0);
    auto* facts = new QFormLayout;
    lblFirstSeen = FactLabel(m_details, "lblFirstSeen");
    lblLastSeen = FactLabel(m_details, "lblLastSeen");
    lblSightings = FactLabel(m_details, "lblSightings");
    lblCountries = FactLabel(m_details, "lblCountries");
    lblPeakTraffic = FactLabel(m_details, "lblPeakTraffic");
    facts->addRow(tr("First seen:"), lblFirstSeen);
    facts->addRow(tr("Last seen:"), lblLastSeen);
    facts->addRow(tr("Sightings:"), lblSightings);
    facts->addRow(tr("Countries:"), lblCountries);
    facts->addRow(tr("Peak traffic:"), lblPeakTraffic);
    details->addLayout(facts);

    cmbHistorySpan = Named(new QComboBox(m_details), "cmbHistorySpan");
    cmbHistorySpan->addItems({tr("Last 7 days"), tr("Last 30 days"), tr("Last year"), tr("All of it")});
    cmbHistorySpan->setCurrentIndex(int(Span::Month));
    cmbHistorySpan->setAccessibleName(tr("Span of the chart"));
    connect(cmbHistorySpan, &QComboBox::currentIndexChanged, this, &TrendHistoryPanel::spanChanged);
    details->addWidget(cmbHistorySpan);

    chvHistory = Named(new QChartView(m_details), "chvHistory");
    chvHistory->setRenderHint(QPainter::Antialiasing);
    chvHistory->setMinimumHeight(170);
    chvHistory->chart()->legend()->setAlignment(Qt::AlignBottom);
    details->addWidget(chvHistory, 1);

    // The news scroll in a few lines of their own: the chart keeps the room.
    txtHistoryNews = Named(new QTextBrowser(m_details), "txtHistoryNews");
    txtHistoryNews->setOpenLinks(false);
    txtHistoryNews->setMaximumHeight(96);
    txtHistoryNews->setAccessibleName(tr("Latest news of the keyword"));
    connect(txtHistoryNews, &QTextBrowser::anchorClicked, this, [this](const QUrl& url) {
        if (url.scheme() == QLatin1String("http") || url.scheme() == QLatin1String("https"))
            Q_EMIT newsLinkActivated(url);
    });
    details->addWidget(txtHistoryNews);
    layout->addWidget(scroller, 1);
    showText(tr("Select a keyword to see its history."));
}

QSize TrendHistoryPanel::sizeHint() const
{
    return {380, QFrame::sizeHint().height()};
}

QDateTime TrendHistoryPanel::since(const QDateTime& now) const
{
    switch (Span(cmbHistorySpan->currentIndex())) {
    case Span::Week:
        return now.addDays(-7);
    case Span::Month:
        return now.addDays(-30);
    case Span::Year:
        return now.addYears(-1);
    case Span::All:
        break;
    }
    return {};
}

void TrendHistoryPanel::showText(const QString& text)
{
    lblHistoryKeyword->setText(text);
    m_details->hide();
}

void TrendHistoryPanel::showHistory(const KeywordHistory& history)
{
    lblHistoryKeyword->setText(history.keyword);
    lblFirstSeen->setText(ShownTime(history.firstSeen));
    lblLastSeen->setText(ShownTime(history.lastSeen));
    lblSightings->setText(QLocale().toString(history.sightings));
    lblCountries->setText(history.countries.isEmpty() ? tr("none told")
                                                      : history.countries.join(QStringLiteral(", ")));
    lblPeakTraffic->setText(history.peakTraffic.isEmpty() ? tr("not told")
                                                          : TrafficText(history.peakTraffic));
    QStringList links;
    for (const TrendingNews& news : history.news) {
        const QUrl url(news.url);
        if (url.scheme() != QLatin1String("http") && url.scheme() != QLatin1String("https"))
            continue;
        links << QStringLiteral("<a href=\"%1\">%2</a>%3")
                     .arg(url.toString(QUrl::FullyEncoded).toHtmlEscaped(), news.title.toHtmlEscaped(),
                          news.source.isEmpty() ? QString()
                                                : QStringLiteral(" (%1)").arg(news.source.toHtmlEscaped()));
    }
    txtHistoryNews->setHtml(links.isEmpty() ? tr("No news told with it.")
                                            : links.join(QStringLiteral("<br>")));
    showChart(history);
    m_details->show();
}

void TrendHistoryPanel::showChart(const KeywordHistory& history)
{
    auto* chart = new QChart;
    // The chart in the tone of the window around it.
    chart->setTheme(palette().color(QPalette::Window).lightness() < 128 ? QChart::ChartThemeDark
                                                                        : QChart::ChartThemeLight);
    chart->legend()->setAlignment(Qt::AlignBottom);
    chart->setMargins(QMargins(2, 2, 2, 2));
    auto* sightings = new QLineSeries;
    sightings->setName(tr("Sightings"));
    sightings->setPointsVisible(true);
    auto* traffic = new QLineSeries;
    traffic->setName(tr("Peak traffic"));
    traffic->setPointsVisible(true);
    qint64 mostSightings = 1;
    qint64 mostTraffic = 0;
    for (const KeywordHistory::Day& day : history.days)
        mostTraffic = std::max(mostTraffic, day.peakTraffic.value_or(0));
    // Big figures in thousands, so that the axis has room for them.
    const qreal trafficUnit = mostTraffic >= 10000 ? 1000 : 1;
    if (trafficUnit > 1)
        traffic->setName(tr("Peak traffic (K)")); // short: the legend has the panel's width
    for (const KeywordHistory::Day& day : history.days) {
        const qreal at = qreal(QDateTime(day.day, QTime(12, 0), Qt::UTC).toMSecsSinceEpoch());
        sightings->append(at, qreal(day.sightings));
        mostSightings = std::max(mostSightings, day.sightings);
        if (day.peakTraffic)
            traffic->append(at, qreal(*day.peakTraffic) / trafficUnit);
    }
    chart->addSeries(sightings);

    auto* days = new QDateTimeAxis;
    days->setFormat(QStringLiteral("MMM d"));
    const QDate first = history.days.isEmpty() ? QDate::currentDate() : history.days.first().day;
    const QDate last = history.days.isEmpty() ? first : history.days.last().day;
    // A day a tick at most: a short history has no day twice on the axis.
    m_mostDayTicks = int(std::min<qint64>(5, first.daysTo(last) + 3));
    m_days = days;
    days->setTickCount(m_mostDayTicks);
    days->setRange(QDateTime(first.addDays(-1), QTime(12, 0), Qt::UTC),
                   QDateTime(last.addDays(1), QTime(12, 0), Qt::UTC));
    chart->addAxis(days, Qt::AlignBottom);
    m_values.clear();
    const auto valueAxis = [&](qreal most, Qt::Alignment side) {
        auto* axis = new QValueAxis;
        axis->setTickType(QValueAxis::TicksDynamic);
        axis->setTickAnchor(0);
        axis->setLabelFormat(QStringLiteral("%.0f"));
        chart->addAxis(axis, side);
        m_values.append({axis, most});
        return axis;
    };
    sightings->attachAxis(days);
    sightings->attachAxis(valueAxis(qreal(mostSightings), Qt::AlignLeft));
    // Traffic only where the feed told it.
    if (mostTraffic > 0) {
        chart->addSeries(traffic);
        traffic->attachAxis(days);
        traffic->attachAxis(valueAxis(qreal(mostTraffic) / trafficUnit, Qt::AlignRight));
    } else {
        delete traffic;
    }

    QChart* old = chvHistory->chart();
    chvHistory->setChart(chart);
    delete old;
    connect(chart, &QChart::plotAreaChanged, this, &TrendHistoryPanel::fitTicks);
    fitTicks();
}

namespace {

// The step of a value axis from 0 to `most`: whole, round (1, 2 or 5 times a power of ten), and big
// enough for at most `ticks` steps.
qreal RoundStep(qreal most, int ticks)
{
    for (qreal power = 1;; power *= 10) {
        for (const qreal step : {power, 2 * power, 5 * power}) {
            if (most / step <= ticks)
                return step;
        }
    }
}

} // namespace

void TrendHistoryPanel::fitTicks()
{
    if (!m_days)
        return;
    const QRectF plot = chvHistory->chart()->plotArea();
    const QFontMetrics metrics(m_days->labelsFont());
    // The widest label of the format, and as much again between two labels.
    const int label = metrics.horizontalAdvance(QLocale().toString(QDate(2026, 9, 30), m_days->format()));
    const int room = plot.width() > 0 ? int(plot.width() / (label * 1.6)) + 1 : m_mostDayTicks;
    const int ticks = std::clamp(room, 2, std::max(2, m_mostDayTicks));
    if (m_days->tickCount() != ticks)
        m_days->setTickCount(ticks);
    // A label a line high, and half a line between two: a short chart gets fewer steps (a label
    // taller than its step is drawn as "…").
    const int rows = plot.height() > 0 ? int(plot.height() / (metrics.height() * 1.5)) : 5;
    for (const auto& [axis, most] : std::as_const(m_values)) {
        if (!axis)
            continue;
        const qreal step = RoundStep(most, std::clamp(rows, 1, 5));
        const qreal top = std::max<qreal>(std::ceil(most / step), 1) * step;
        if (axis->tickInterval() != step || axis->max() != top) {
            axis->setRange(0, top);
            axis->setTickInterval(step);
        }
    }
}
