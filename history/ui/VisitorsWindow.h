#pragma once

// Visitors: per person the visits, first and last seen and the time spent, with the search's filters; and a chart
// of the people present per hour of a day or per day of a month. Table and chart can be saved (CSV, text, PNG).
// The figures are read on a thread of their own (HistoryJobs).

#include "history/HistoryReader.h"

#include <QWidget>

#include <functional>
#include <memory>
#include <string>
#include <vector>

class HistoryFilterFields;
class HistoryJobs;
class QChart;
class QChartView;
class QComboBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QTableWidget;

class VisitorsWindow : public QWidget {
    Q_OBJECT

public:
    enum class Period { Day, Month };

    explicit VisitorsWindow(std::string folder, QWidget *parent = nullptr);
    ~VisitorsWindow() override;

    // Reads the table and the chart for the filters, the period and its date.
    void Refresh();
    void ExportTable(); // ask for a file
    void SaveChart();
    bool ExportTableTo(const QString &path, bool csv);
    bool SaveChartPng(const QString &path);
    bool SaveChartCsv(const QString &path);

    // The time now, milliseconds since 1970 (UTC): visits still open count to it, and the chart starts on its day.
    std::function<std::int64_t()> now;

    bool Busy() const { return pending_ > 0; }
    HistoryFilterFields *Filters() const { return filters_; }
    QComboBox *PeriodBox() const { return period_; }
    QLineEdit *DateBox() const { return date_; }
    QTableWidget *Table() const { return table_; }
    QChart *Chart() const;
    QLabel *Status() const { return status_; }
    const std::vector<VisitorSummary> &Visitors() const { return visitors_; }
    const std::vector<PresenceBucket> &Presence() const { return presence_; }

private:
    void ShowFigures(std::vector<VisitorSummary> visitors, std::vector<PresenceBucket> presence, Period period);
    void SetDateToToday();

    std::unique_ptr<HistoryJobs> jobs_;
    HistoryFilterFields *filters_;
    QComboBox *period_;
    QLineEdit *date_;
    QTableWidget *table_;
    QChartView *chart_;
    QLabel *status_;
    QProgressBar *progress_;
    int pending_ = 0;
    int generation_ = 0;
    std::vector<VisitorSummary> visitors_;
    std::vector<PresenceBucket> presence_;
};
