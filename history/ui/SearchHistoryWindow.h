#pragma once

// Search History: words, "phrases" and prefix* words with filters, the results newest first with the matches
// marked, the conversation around a result, copy and export, and deleting history. The queries run on a thread of
// their own (HistoryJobs), so the window stays responsive over a store of millions of lines.

#include "history/HistoryTypes.h"

#include <QWidget>

#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class HistoryFilterFields;
class HistoryJobs;
class HistoryLinesModel;
class HistoryReader;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QTableView;

class SearchHistoryWindow : public QWidget {
    Q_OBJECT

public:
    static constexpr int kPageSize = 200;
    static constexpr int kContextLines = 15;

    explicit SearchHistoryWindow(std::string folder, QWidget *parent = nullptr);
    ~SearchHistoryWindow() override;

    void Search();
    void MoreResults();
    void OpenResult(int row); // the conversation around the result in that row
    void CopyResults();       // the selected results, or all of them
    void Export();            // asks for a file
    void ExportTo(const QString &path, bool csv);
    // Stops the running search at once, if one runs, and says so; false when none was running. A new search, Escape
    // and closing the window stop it too.
    bool StopSearch();
    void DeleteHistory(); // asks what to delete, then whether to
    void Delete(std::optional<std::int64_t> from, std::optional<std::int64_t> to); // both absent: everything

    // Asks the user a yes/no question; a message box unless a test replaces it.
    std::function<bool(const QString &question)> confirm;
    // Called on the history's thread each time a running search checks whether to stop; tests slow it down here.
    std::function<void()> searchProgress;
    // Told the numbers of the lines a deletion removed, once it is done.
    std::function<void(const std::vector<DeletedLines> &lines)> deleted;

    bool Busy() const { return pending_ > 0; }
    QLineEdit *QueryBox() const { return query_; }
    HistoryFilterFields *Filters() const { return filters_; }
    QTableView *Results() const { return results_; }
    HistoryLinesModel *ResultsModel() const { return resultsModel_; }
    HistoryLinesModel *ContextModel() const { return contextModel_; }
    QLabel *Status() const { return status_; }
    QPushButton *MoreButton() const { return more_; }

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    using Done = std::function<void()>;
    // Runs work on the history's thread; what it returns runs here afterwards.
    void Run(std::function<Done(HistoryReader &reader, const std::string &openError)> work);
    void Finished();
    void SetStatus(const QString &text);
    void RunSearch(std::optional<std::int64_t> before);

    std::string folder_;
    std::unique_ptr<HistoryJobs> jobs_;
    QLineEdit *query_;
    HistoryFilterFields *filters_;
    QTableView *results_;
    QTableView *context_;
    HistoryLinesModel *resultsModel_;
    HistoryLinesModel *contextModel_;
    QLabel *status_;
    QProgressBar *progress_;
    QPushButton *more_;
    int pending_ = 0;
    int generation_ = 0;         // a search started later makes the results of earlier ones stale
    int runningSearch_ = 0;      // the generation of the search under way, 0 when none is
    std::atomic<int> latest_{0}; // generation_ for the history's thread: a stale search waiting there is skipped
    // What the shown results were searched with, for their next page and the export.
    std::string shownQuery_;
    HistoryFilter shownFilter_;
};
