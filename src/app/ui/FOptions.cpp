#include "app/ui/FOptions.h"

#include "util/ui/Controls.h"

#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include <algorithm>

namespace {

// Every country Qt knows, by its ISO 3166 code: "DE – Germany", sorted by name.
QList<std::pair<QString, QString>> countries()
{
    QList<std::pair<QString, QString>> list;
    for (int value = 1; value <= int(QLocale::LastTerritory); ++value) {
        const auto territory = QLocale::Territory(value);
        const QString code = QLocale::territoryToCode(territory);
        if (code.size() == 2 && code.at(0).isLetter() && code.at(1).isLetter())
            list.append({code, QLocale::territoryToString(territory)});
    }
    std::sort(list.begin(), list.end(), [](const auto& a, const auto& b) { return a.second < b.second; });
    list.erase(std::unique(list.begin(), list.end(),
                           [](const auto& a, const auto& b) { return a.first == b.first; }),
               list.end());
    return list;
}

// Every language with a two-letter ISO 639 code, sorted by name.
QList<std::pair<QString, QString>> languages()
{
    QList<std::pair<QString, QString>> list;
    for (int value = 2; value <= int(QLocale::LastLanguage); ++value) {
        const auto language = QLocale::Language(value);
        const QString code = QLocale::languageToCode(language, QLocale::ISO639Part1);
        if (code.size() == 2)
            list.append({code, QLocale::languageToString(language)});
    }
    std::sort(list.begin(), list.end(), [](const auto& a, const auto& b) { return a.second < b.second; });
    return list;
}

QString entryText(const std::pair<QString, QString>& entry)
{
    return entry.first + QStringLiteral(" – ") + entry.second;
}

void fillCodes(QComboBox* box, const QList<std::pair<QString, QString>>& entries)
{
    for (const auto& entry : entries)
        box->addItem(entryText(entry), entry.first);
}

void selectCode(QComboBox* box, const QString& code)
{
    const int index = box->findData(code);
    if (index >= 0)
        box->setCurrentIndex(index);
}

const QList<std::pair<SuggestEngine, QString>>& engineNames()
{
    static const QList<std::pair<SuggestEngine, QString>> names{
        {SuggestEngine::Google, QStringLiteral("Google")},
        {SuggestEngine::YouTube, QStringLiteral("YouTube")},
        {SuggestEngine::Bing, QStringLiteral("Bing")},
        {SuggestEngine::DuckDuckGo, QStringLiteral("DuckDuckGo")},
        {SuggestEngine::Amazon, QStringLiteral("Amazon")},
        {SuggestEngine::Classic, QStringLiteral("Classic Suggest with result counts")}};
    return names;
}

} // namespace

TfrmOptions::TfrmOptions(const ProgramOptions& options, QWidget* parent)
    : QDialog(parent)
    , m_base(options)
{
    setObjectName(QStringLiteral("frmOptions"));
    setWindowTitle(QStringLiteral("Options"));
    buildUi();
    showOptions(options);
}

void TfrmOptions::buildUi()
{
    auto* trends = new QGroupBox(QStringLiteral("Hot Trends"), this);
    cmbTrendSource = Named(new QComboBox(trends), "cmbTrendSource");
    cmbTrendSource->addItem(QStringLiteral("Google Trends – trending now"), int(TrendSource::Trending));
    cmbTrendSource->addItem(QStringLiteral("Classic hourly feed"), int(TrendSource::Classic));
    cmbTrendSource->setToolTip(QStringLiteral("Where the hourly scrape reads what people search for"));
    edtCountryFilter = Named(new QLineEdit(trends), "edtCountryFilter");
    edtCountryFilter->setPlaceholderText(QStringLiteral("Find a country"));
    edtCountryFilter->setClearButtonEnabled(true);
    lstCountries = Named(new QListWidget(trends), "lstCountries");
    lstCountries->setAccessibleName(QStringLiteral("Countries whose trends are read"));
    lstCountries->setMinimumHeight(160);
    lstCountries->setSelectionMode(QAbstractItemView::SingleSelection);
    // The ticked countries at a glance, without scrolling through every country.
    lblTicked = Named(new QLabel(trends), "lblTicked");
    lblTicked->setTextFormat(Qt::PlainText);
    lblTicked->setWordWrap(true);
    for (const auto& entry : countries()) {
        auto* item = new QListWidgetItem(entryText(entry), lstCountries);
        item->setData(Qt::UserRole, entry.first);
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable | Qt::ItemIsSelectable);
        item->setCheckState(Qt::Unchecked);
    }
    auto* trendsLayout = new QFormLayout(trends);
    trendsLayout->addRow(QStringLiteral("&Source:"), cmbTrendSource);
    trendsLayout->addRow(QStringLiteral("Co&untries:"), edtCountryFilter);
    trendsLayout->addRow(QString(), lblTicked);
    trendsLayout->addRow(QString(), lstCountries);

    auto* suggest = new QGroupBox(QStringLiteral("Suggestions"), this);
    cmbSuggestEngine = Named(new QComboBox(suggest), "cmbSuggestEngine");
    for (const auto& [engine, name] : engineNames())
        cmbSuggestEngine->addItem(name, int(engine));
    cmbSuggestEngine->setToolTip(QStringLiteral("The service asked for the completions of each phrase"));
    cmbLanguage = Named(new QComboBox(suggest), "cmbLanguage");
    fillCodes(cmbLanguage, languages());
    cmbCountry = Named(new QComboBox(suggest), "cmbCountry");
    fillCodes(cmbCountry, countries());
    spnPauseMin = Named(new QSpinBox(suggest), "spnPauseMin");
    spnPauseMax = Named(new QSpinBox(suggest), "spnPauseMax");
    for (QSpinBox* spin : {spnPauseMin, spnPauseMax}) {
        spin->setRange(0, MaxPauseSeconds);
        spin->setSuffix(QStringLiteral(" s"));
    }
    spnPauseMin->setAccessibleName(QStringLiteral("Shortest pause between phrases"));
    spnPauseMax->setAccessibleName(QStringLiteral("Longest pause between phrases"));
    auto* pause = new QHBoxLayout;
    pause->addWidget(spnPauseMin);
    pause->addWidget(new QLabel(QStringLiteral("to"), suggest));
    pause->addWidget(spnPauseMax);
    pause->addStretch();
    auto* suggestLayout = new QFormLayout(suggest);
    suggestLayout->addRow(QStringLiteral("S&ervice:"), cmbSuggestEngine);
    suggestLayout->addRow(QStringLiteral("&Language:"), cmbLanguage);
    suggestLayout->addRow(QStringLiteral("Coun&try:"), cmbCountry);
    // A row of several controls takes no mnemonic of its own: the label points at the first.
    auto* pauseLabel = new QLabel(QStringLiteral("&Pause between phrases:"), suggest);
    pauseLabel->setBuddy(spnPauseMin);
    suggestLayout->addRow(pauseLabel, pause);

    auto* look = new QGroupBox(QStringLiteral("Look"), this);
    cmbTheme = Named(new QComboBox(look), "cmbTheme");
    cmbTheme->addItem(QStringLiteral("System"), int(LookTheme::System));
    cmbTheme->addItem(QStringLiteral("Light"), int(LookTheme::Light));
    cmbTheme->addItem(QStringLiteral("Dark"), int(LookTheme::Dark));
    cmbTheme->setToolTip(QStringLiteral("System follows the desktop's light or dark colours"));
    auto* lookLayout = new QFormLayout(look);
    lookLayout->addRow(QStringLiteral("T&heme:"), cmbTheme);

    btnOk = Named(new QPushButton(QStringLiteral("OK"), this), "btnOk");
    btnOk->setDefault(true);
    btnCancel = Named(new QPushButton(QStringLiteral("Cancel"), this), "btnCancel");
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(btnOk);
    buttons->addWidget(btnCancel);

    lblProblems = Named(new QLabel(this), "lblProblems");
    lblProblems->setWordWrap(true);
    lblProblems->setTextFormat(Qt::PlainText);
    lblProblems->setFrameShape(QFrame::StyledPanel);
    lblProblems->setMargin(6);
    lblProblems->hide();

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lblProblems);
    layout->addWidget(trends);
    layout->addWidget(suggest);
    layout->addWidget(look);
    layout->addLayout(buttons);

    connect(btnOk, &QPushButton::clicked, this, &TfrmOptions::btnOkClick);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(edtCountryFilter, &QLineEdit::textChanged, this, &TfrmOptions::filterCountries);
    connect(cmbTrendSource, &QComboBox::currentIndexChanged, this, &TfrmOptions::followTrendSource);
    connect(lstCountries, &QListWidget::itemChanged, this, &TfrmOptions::followTicks);
    edtCountryFilter->installEventFilter(this);
    lstCountries->installEventFilter(this);
    // The longest pause is never shorter than the shortest.
    connect(spnPauseMin, &QSpinBox::valueChanged, this, [this](int value) {
        if (spnPauseMax->value() < value)
            spnPauseMax->setValue(value);
    });
    connect(spnPauseMax, &QSpinBox::valueChanged, this, [this](int value) {
        if (spnPauseMin->value() > value)
            spnPauseMin->setValue(value);
    });
}

void TfrmOptions::showOptions(const ProgramOptions& options)
{
    QStringList problems;
    for (const OptionsProblem& problem : options.problems)
        problems << OptionsProblemText(problem);
    lblProblems->setText(problems.join(u'\n'));
    lblProblems->setVisible(!problems.isEmpty());
    cmbTrendSource->setCurrentIndex(cmbTrendSource->findData(int(options.trendSource)));
    QListWidgetItem* firstChecked = nullptr;
    m_ticked.clear();
    for (const QString& code : options.geo) {
        if (!m_ticked.contains(code))
            m_ticked << code;
    }
    for (int row = 0; row < lstCountries->count(); ++row) {
        QListWidgetItem* item = lstCountries->item(row);
        const bool checked = options.geo.contains(item->data(Qt::UserRole).toString());
        item->setCheckState(checked ? Qt::Checked : Qt::Unchecked);
        if (checked && !firstChecked)
            firstChecked = item;
    }
    if (firstChecked) {
        lstCountries->setCurrentItem(firstChecked);
        lstCountries->scrollToItem(firstChecked);
    }
    cmbSuggestEngine->setCurrentIndex(cmbSuggestEngine->findData(int(options.engine)));
    selectCode(cmbLanguage, options.language);
    selectCode(cmbCountry, options.country);
    spnPauseMin->setValue(options.pauseMin);
    spnPauseMax->setValue(options.pauseMax);
    cmbTheme->setCurrentIndex(cmbTheme->findData(int(options.theme)));
    showTicked();
    followTrendSource();
}

ProgramOptions TfrmOptions::options() const
{
    ProgramOptions options = m_base;
    options.trendSource = TrendSource(cmbTrendSource->currentData().toInt());
    // The countries in the order of the file first, then the ones ticked here, as they were ticked.
    const QStringList& geo = m_ticked;
    // Without a country ticked (the classic feed needs none) the countries stay as they were.
    options.geo = geo.isEmpty() ? m_base.geo : geo;
    options.engine = SuggestEngine(cmbSuggestEngine->currentData().toInt());
    options.language = cmbLanguage->currentData().toString();
    options.country = cmbCountry->currentData().toString();
    options.pauseMin = spnPauseMin->value();
    options.pauseMax = spnPauseMax->value();
    options.theme = LookTheme(cmbTheme->currentData().toInt());
    return options;
}

void TfrmOptions::btnOkClick()
{
    if (btnOk->isEnabled())
        accept();
}

void TfrmOptions::filterCountries(const QString& text)
{
    const QString wanted = text.trimmed();
    QListWidgetItem* firstShown = nullptr;
    for (int row = 0; row < lstCountries->count(); ++row) {
        QListWidgetItem* item = lstCountries->item(row);
        const bool hidden = !wanted.isEmpty() && !item->text().contains(wanted, Qt::CaseInsensitive);
        item->setHidden(hidden);
        if (!hidden && !firstShown)
            firstShown = item;
    }
    // A key pressed in the list acts on its current row: that row is always one the user sees, and
    // it is highlighted. With nothing shown there is no current row at all.
    QListWidgetItem* current = lstCountries->currentItem();
    if (!current || current->isHidden()) {
        lstCountries->setCurrentItem(firstShown);
        if (!firstShown)
            lstCountries->setCurrentRow(-1);
    } else {
        lstCountries->setCurrentItem(current);
    }
    if (lstCountries->currentItem())
        lstCountries->scrollToItem(lstCountries->currentItem());
}

void TfrmOptions::followTicks(QListWidgetItem* item)
{
    const QString code = item->data(Qt::UserRole).toString();
    if (item->checkState() == Qt::Checked) {
        if (!m_ticked.contains(code))
            m_ticked << code;
    } else {
        m_ticked.removeAll(code);
    }
    showTicked();
    followTrendSource();
}

void TfrmOptions::showTicked()
{
    lblTicked->setText(m_ticked.isEmpty() ? tr("Ticked: none") : tr("Ticked: %1").arg(m_ticked.join(u", ")));
}

bool TfrmOptions::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::KeyPress)
        return QDialog::eventFilter(watched, event);
    const auto* key = static_cast<QKeyEvent*>(event);
    if (watched == edtCountryFilter && key->key() == Qt::Key_Down && key->modifiers() == Qt::NoModifier) {
        // Down leaves the filter for the rows it left, on the highlighted one.
        lstCountries->setFocus(Qt::TabFocusReason);
        if (!lstCountries->currentItem() || lstCountries->currentItem()->isHidden())
            filterCountries(edtCountryFilter->text());
        if (QListWidgetItem* current = lstCountries->currentItem())
            lstCountries->setCurrentItem(current);
        return true;
    }
    if (watched == lstCountries && (key->key() == Qt::Key_Space || key->key() == Qt::Key_Select)) {
        // Space ticks the row shown and highlighted, never one the filter hides.
        QListWidgetItem* current = lstCountries->currentItem();
        if (current && !current->isHidden() && lstCountries->isEnabled()) {
            lstCountries->setCurrentItem(current);
            current->setCheckState(current->checkState() == Qt::Checked ? Qt::Unchecked : Qt::Checked);
        }
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

void TfrmOptions::followTrendSource()
{
    const bool trending = TrendSource(cmbTrendSource->currentData().toInt()) == TrendSource::Trending;
    edtCountryFilter->setEnabled(trending);
    lstCountries->setEnabled(trending);
    // Trending now is read per country: it needs one at least.
    bool anyTicked = false;
    for (int row = 0; row < lstCountries->count() && !anyTicked; ++row)
        anyTicked = lstCountries->item(row)->checkState() == Qt::Checked;
    const bool complete = !trending || anyTicked;
    btnOk->setEnabled(complete);
    btnOk->setToolTip(complete ? QString() : QStringLiteral("Tick at least one country"));
}
