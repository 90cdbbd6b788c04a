#include "forms/Trend/Trend.h"

#include <QBuffer>
#include <QChart>
#include <QDateTime>
#include <QFileDialog>
#include <QFileInfo>
#include <QPixmap>
#include <QResizeEvent>
#include <QSaveFile>
#include <QShowEvent>
#include <QTimer>

#include <cmath>
#include <string_view>

#include "forms/Trend/TrendLoader.h"
#include "log/DataLog.h"
#include "logread/LogFile.h"
#include "shell/Dialogs.h"
#include "shell/Latin1View.h"

namespace vx::forms {

namespace {

constexpr std::string_view kGapNote =
    "Count is the number of valid readings. Overloads and replies that are not numbers are "
    "counted as gaps and left out of the other figures.";
constexpr std::string_view kLiveNote =
    " Statistics of the whole series cover the readings since Clear or since the function "
    "changed; the plot keeps the last 86,400 readings.";
constexpr std::string_view kLogFilter =
    "CSV(*.csv)|*.csv|Text Files(*.txt)|*.txt|All Files(*.*)|*.*";

// Seven significant digits cover the meters' 6.5-digit readings.
QString formatNumber(double value) {
    return QString::number(value, 'g', 7);
}

}  // namespace

struct Trend::ShownLog {
    QString path;
    logread::LogContents contents;
    int session = 0;
    trend::LogColumn channel = 0;  // plotted as the primary of a log of several meters
};

Trend::Trend(shell::Dialogs& dialogs, QWidget* parent) : QWidget(parent), dialogs_(dialogs) {
    openDialog_ = [](QWidget* parent) -> std::optional<QString> {
        const QString path = QFileDialog::getOpenFileName(
            parent, QStringLiteral("Open Log"), shell::existingDirOrDocuments(QString()),
            shell::qtFileFilter(shell::fromLatin1View(kLogFilter)));
        if (path.isEmpty()) {
            return std::nullopt;
        }
        return path;
    };
    buildUi();
    connectSignals();
    TrendChart->hideReadout();
    refreshNow();
}

Trend::~Trend() = default;

void Trend::setOpenDialog(OpenDialog dialog) {
    openDialog_ = std::move(dialog);
}

void Trend::addReading(const QDateTime& when, const meter::Reading& reading) {
    if (!started_ || reading.measure.function != primaryFunction_) {
        startNewSeries();
        primaryFunction_ = reading.measure.function;
        started_ = true;
    }
    primaryUnit_ = reading.measure.primaryUnit;
    secondaryUnit_ = reading.measure.secondaryUnit;
    secondaryOn_ = reading.secondary.has_value();

    const trend::Point point = trend::pointOf(when.toMSecsSinceEpoch(), reading);
    points_.append(point);
    primaryStats_.add(point.primary);
    if (secondaryOn_) {
        secondaryStats_.add(point.secondary);
    }
    // While a log file is shown the readings are kept, and drawn on Live.
    if (log_ == nullptr) {
        showSource();  // the readout names the columns as they are now
        scheduleRefresh();
    }
}

void Trend::startNewSeries() {
    points_.clear();
    primaryStats_.clear();
    secondaryStats_.clear();
}

void Trend::scheduleRefresh() {
    if (!refreshTimer_->isActive()) {
        refreshTimer_->start();
    }
}

void Trend::setRefreshInterval(std::chrono::milliseconds interval) {
    refreshTimer_->setInterval(interval);
}

bool Trend::refreshPending() const {
    return refreshTimer_->isActive();
}

bool Trend::loading() const {
    return loader_->loading();
}

void Trend::refreshTimer_Timeout() {
    if (isVisible()) {
        refreshNow();
    } else {
        stale_ = true;
    }
}

void Trend::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    scheduleRefresh();  // the number of time labels and buckets follows the width
}

void Trend::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (stale_ || refreshPending()) {
        refreshNow();
    }
}

void Trend::refreshNow() {
    showSource();
    if (log_ != nullptr) {
        const logread::Session* session = shownSession();
        const QString header = session != nullptr && !session->header.empty()
                                   ? QString::fromLatin1(session->header.c_str())
                                   : QStringLiteral("No header");
        chart()->setTitle(QStringLiteral("%1 (%2, session %3 of %4)")
                              .arg(header, QFileInfo(log_->path).fileName())
                              .arg(log_->session + 1)
                              .arg(log_->contents.sessions.size()));
    } else {
        chart()->setTitle(primaryFunction_);
    }
    TrendChart->redraw();
    TrendChart_ViewChanged();
}

void Trend::TrendChart_ViewChanged() {
    refreshTimer_->stop();
    stale_ = false;
    showStatistics();
    LiveBtn->setEnabled(log_ != nullptr);
    SessionBox->setEnabled(log_ != nullptr);
    ClearBtn->setEnabled(log_ == nullptr);
    SaveCsvBtn->setEnabled(log_ == nullptr);
    OpenLogBtn->setEnabled(!loader_->loading());
    FollowBtn->setEnabled(!TrendChart->following());
}

void Trend::showSource() {
    if (log_ != nullptr) {
        TrendChart->showSession(shownSession());
        TrendChart->setChannel(log_->channel);
    } else {
        TrendChart->showReadings(points_);
    }
    for (const trend::Column column : {trend::Column::Primary, trend::Column::Secondary}) {
        const trend::ColumnLabel l = label(column);
        TrendChart->setColumn(column, l,
                              log_ != nullptr ? l.name : trend::columnTitle(l.name, l.unit),
                              columnShown(column));
    }
}

const logread::Session* Trend::shownSession() const {
    if (log_ == nullptr || log_->session < 0 ||
        std::size_t(log_->session) >= log_->contents.sessions.size()) {
        return nullptr;
    }
    return &log_->contents.sessions[std::size_t(log_->session)];
}

trend::ColumnLabel Trend::label(trend::Column column) const {
    const bool primary = column == trend::Column::Primary;
    if (log_ == nullptr) {
        return {.name = primary ? QStringLiteral("Primary") : QStringLiteral("Secondary"),
                .unit = primary ? primaryUnit_ : secondaryUnit_};
    }
    const logread::Session* session = shownSession();
    // "V: DC Voltage(V),I: DC Current(A),P": the chosen channel is the primary.
    if (primary && session != nullptr && session->channels()) {
        const QString title = QString::fromLatin1(session->titles[log_->channel].c_str());
        if (title.trimmed().isEmpty()) {
            return {.name = QStringLiteral("Channel %1").arg(log_->channel + 1), .unit = QString()};
        }
        return trend::headerLabel(title);
    }
    // "DC Voltage(V),Frequency(Hz)": one title per column.
    const QString header =
        session != nullptr ? QString::fromLatin1(session->header.c_str()) : QString();
    const qsizetype comma = header.indexOf(QLatin1Char(','));
    const QString title =
        primary ? header.left(comma) : (comma < 0 ? QString() : header.mid(comma + 1));
    if (title.trimmed().isEmpty()) {
        return {.name = primary ? QStringLiteral("Primary") : QStringLiteral("Secondary"),
                .unit = QString()};
    }
    return trend::headerLabel(title);
}

bool Trend::columnShown(trend::Column column) const {
    if (column == trend::Column::Primary) {
        return true;
    }
    if (log_ != nullptr) {
        const logread::Session* session = shownSession();
        return session != nullptr && session->hasSecondary && !session->channels();
    }
    return secondaryOn_;
}

QString Trend::statText(const TrendStats& stats, Stat stat, const QString& unit) const {
    const auto withUnit = [&](double value) {
        if (std::isnan(value)) {
            return QStringLiteral("-");
        }
        return unit.isEmpty() ? formatNumber(value) : formatNumber(value) + QLatin1Char(' ') + unit;
    };
    switch (stat) {
        case Stat::Count:
            return QString::number(stats.count());
        case Stat::Gaps:
            return QString::number(stats.gaps());
        case Stat::Last:
            return withUnit(stats.last());
        case Stat::Minimum:
            return withUnit(stats.min());
        case Stat::Maximum:
            return withUnit(stats.max());
        case Stat::Mean:
            return withUnit(stats.mean());
        case Stat::StdDev:
            return withUnit(stats.stdDev());
        case Stat::PeakToPeak:
            return withUnit(stats.peakToPeak());
    }
    return {};
}

void Trend::showStatistics() {
    const logread::Session* session = shownSession();
    const TimeRange range = visibleRange();
    const auto figures = [&](trend::Column column) -> TrendStats {
        const bool primary = column == trend::Column::Primary;
        const trend::LogColumn logColumn =
            primary && log_ != nullptr ? log_->channel : trend::logColumn(column);
        if (session == nullptr && log_ != nullptr) {
            return TrendStats{};
        }
        if (!statsVisibleOnly_) {
            if (log_ != nullptr) {
                return session->columns[logColumn];
            }
            return primary ? primaryStats_ : secondaryStats_;
        }
        if (log_ != nullptr) {
            return trend::statsOf(session->series, logColumn, range.from, range.to);
        }
        return trend::statsOf(points_, column, range.from, range.to);
    };
    const TrendStats primary = figures(trend::Column::Primary);
    const TrendStats secondary = figures(trend::Column::Secondary);
    const trend::ColumnLabel primaryLabel = label(trend::Column::Primary);
    const trend::ColumnLabel secondaryLabel = label(trend::Column::Secondary);

    PrimaryTitle->setText(log_ != nullptr
                              ? primaryLabel.name
                              : trend::columnTitle(primaryLabel.name, primaryLabel.unit));
    SecondaryTitle->setText(log_ != nullptr
                                ? secondaryLabel.name
                                : trend::columnTitle(secondaryLabel.name, secondaryLabel.unit));
    const bool secondaryShown = columnShown(trend::Column::Secondary) ||
                                (log_ == nullptr && secondary.count() + secondary.gaps() > 0);
    SecondaryTitle->setVisible(secondaryShown);
    for (int row = 0; row < kStatCount; ++row) {
        const auto stat = static_cast<Stat>(row);
        const auto index = static_cast<std::size_t>(row);
        primaryValues_[index]->setText(statText(primary, stat, primaryLabel.unit));
        secondaryValues_[index]->setText(statText(secondary, stat, secondaryLabel.unit));
        secondaryValues_[index]->setVisible(secondaryShown);
    }

    QString scope;
    if (statsVisibleOnly_) {
        scope = QStringLiteral("The readings from %1 to %2.")
                    .arg(log::logTimeStamp(QDateTime::fromMSecsSinceEpoch(range.from)),
                         log::logTimeStamp(QDateTime::fromMSecsSinceEpoch(range.to)));
        if (session != nullptr && session->series.width() > logread::kStampResolutionMs) {
            scope += QStringLiteral(
                         " The file is kept in slices of %1 s; slices at the edges "
                         "count whole.")
                         .arg(session->series.width() / 1000);
        }
    } else if (log_ != nullptr) {
        scope = QStringLiteral("The whole session %1 of %2.")
                    .arg(log_->session + 1)
                    .arg(QFileInfo(log_->path).fileName());
    } else {
        scope = QStringLiteral("All readings since Clear or since the function changed.");
    }
    StatsScope->setText(scope);
    StatsNote->setText(shell::fromLatin1View(kGapNote) +
                       (log_ == nullptr ? shell::fromLatin1View(kLiveNote) : QString()));
}

void Trend::FollowBtn_Click() {
    TrendChart->follow();
    refreshNow();
}

void Trend::SpanBox_Change(int index) {
    if (index < 0 || std::size_t(index) >= kSpanMs.size()) {
        return;
    }
    span_ = static_cast<Span>(index);
    TrendChart->setSpan(kSpanMs[std::size_t(index)]);
    FollowBtn_Click();
}

void Trend::StatsRangeBox_Change(int index) {
    statsVisibleOnly_ = index == 1;
    showStatistics();
}

void Trend::OpenLogBtn_Click() {
    if (const std::optional<QString> path = openDialog_(this)) {
        openLog(*path);
    }
}

void Trend::openLog(const QString& path) {
    if (!loader_->start(path)) {
        return;
    }
    LogNote->setText(QStringLiteral("Reading %1...").arg(QFileInfo(path).fileName()));
    LogNote->show();
    showLoadControls(true);
}

void Trend::showLoadControls(bool loading) {
    LoadBar->setValue(0);
    LoadBar->setVisible(loading);
    CancelLoadBtn->setVisible(loading);
    OpenLogBtn->setEnabled(!loading);
}

void Trend::CancelLoadBtn_Click() {
    loader_->cancel();
}

void Trend::loader_Finished() {
    showLoadControls(false);
    const QString path = loader_->path();
    const QString name = QFileInfo(path).fileName();
    logread::LogLoad load = loader_->takeLoad();
    switch (load.outcome) {
        case logread::LoadOutcome::Canceled:
            LogNote->setText(QStringLiteral("Reading %1 was canceled.").arg(name));
            break;
        case logread::LoadOutcome::Read:
            log_ = std::make_unique<ShownLog>(
                ShownLog{.path = path, .contents = std::move(load.contents), .session = 0});
            showSource();
            LogNote->setText(logread::skippedText(log_->contents));
            showSessions();
            break;
        default:
            LogNote->clear();
            dialogs_.message(this, logread::problemText(load, path), QStringLiteral("Open Log"),
                             shell::Dialogs::Icon::Exclamation);
            break;
    }
    LogNote->setVisible(!LogNote->text().isEmpty());
    refreshNow();
}

void Trend::showSessions() {
    SessionBox->clear();
    SessionBox->addItems(TrendLoader::sessionList(log_->contents));
    // The last session is the latest run.
    const int last = SessionBox->count() - 1;
    SessionBox->setCurrentIndex(last);
    SessionBox_Change(last);
}

void Trend::SessionBox_Change(int index) {
    if (log_ == nullptr || index < 0 || std::size_t(index) >= log_->contents.sessions.size()) {
        return;
    }
    log_->session = index;
    log_->channel = 0;
    showChannels();
    TrendChart->hideReadout();
    FollowBtn_Click();
}

void Trend::showChannels() {
    const logread::Session* session = shownSession();
    const bool channels = session != nullptr && session->channels();
    ChannelBox->clear();
    if (channels) {
        for (const std::string& title : session->titles) {
            ChannelBox->addItem(QString::fromLatin1(title.c_str()));
        }
        ChannelBox->setCurrentIndex(int(log_->channel));
    }
    ChannelLabel->setVisible(channels);
    ChannelBox->setVisible(channels);
}

void Trend::ChannelBox_Change(int index) {
    const logread::Session* session = shownSession();
    if (session == nullptr || index < 0 || std::size_t(index) >= session->titles.size()) {
        return;
    }
    log_->channel = trend::LogColumn(index);
    TrendChart->hideReadout();
    refreshNow();
}

void Trend::LiveBtn_Click() {
    log_.reset();
    showSource();
    SessionBox->clear();
    showChannels();
    LogNote->clear();
    LogNote->hide();
    TrendChart->hideReadout();
    FollowBtn_Click();
}

void Trend::ClearBtn_Click() {
    startNewSeries();
    refreshNow();
}

bool Trend::writeFile(const QString& path, const QByteArray& bytes, QString& error) const {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        error = file.errorString();
        return false;
    }
    if (file.write(bytes) != bytes.size()) {
        error = file.errorString();
        file.cancelWriting();
        return false;
    }
    if (!file.commit()) {
        error = file.errorString();
        return false;
    }
    return true;
}

void Trend::reportSaveError(const QString& what, const QString& path, const QString& error) {
    dialogs_.message(this,
                     QStringLiteral("The %1 could not be saved to %2: %3").arg(what, path, error),
                     QStringLiteral("Save Error"), shell::Dialogs::Icon::Critical);
}

void Trend::SavePlotBtn_Click() {
    const std::optional<QString> path = dialogs_.saveFileName(
        this,
        shell::SaveFileRequest{.title = QStringLiteral("Save Plot As"),
                               .filter = QStringLiteral("PNG(*.png)|*.png|All Files(*.*)|*.*"),
                               .initialDir = QString(),
                               .fileName = QStringLiteral("trend.png"),
                               .confirmOverwrite = true});
    if (!path) {
        return;
    }
    refreshNow();
    QByteArray png;
    {
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        if (!TrendChart->grab().save(&buffer, "PNG")) {
            reportSaveError(QStringLiteral("plot"), *path,
                            QStringLiteral("the image could not be encoded"));
            return;
        }
    }
    QString error;
    if (!writeFile(*path, png, error)) {
        reportSaveError(QStringLiteral("plot"), *path, error);
    }
}

void Trend::SaveCsvBtn_Click() {
    const std::optional<QString> path = dialogs_.saveFileName(
        this,
        shell::SaveFileRequest{
            .title = QStringLiteral("Save Points As"),
            .filter = QStringLiteral("CSV(*.csv)|*.csv|Text Files(*.txt)|*.txt|All Files(*.*)|*.*"),
            .initialDir = QString(),
            .fileName = QStringLiteral("trend.csv"),
            .confirmOverwrite = true});
    if (!path) {
        return;
    }
    QString error;
    if (!writeFile(*path, trend::csvText(points_, primaryUnit_, secondaryUnit_), error)) {
        reportSaveError(QStringLiteral("points"), *path, error);
    }
}

}  // namespace vx::forms
