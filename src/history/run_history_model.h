#pragma once

#include "history/run_history.h"

#include <QAbstractTableModel>
#include <QDate>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

class QThread;

namespace kvx {

// Which lines of the run history to show; an empty text or an invalid date does not filter.
struct RunHistoryFilter {
    QString item;       // the item label
    QString senderCode; // the registration code
    QString state;      // one of RunHistoryRow's states
    QDate from;         // runs started on or after this day
    QDate to;           // runs started on or before this day
    // Only the lines that did not end well: failed, partly refused, outcome not known,
    // refused or aborted.
    bool problemsOnly = false;
    // Only these runs, when given.
    std::optional<QList<qint64>> runIds;
};

// One line of the run history: an item of a run, or a run that reached no item.
struct RunHistoryRow {
    qint64 runId = 0;
    int position = 0; // in the run, from 1; 0 for a run without items
    QDateTime started;
    RunHistory::Origin origin = RunHistory::Origin::Console;
    RunHistory::Direction direction = RunHistory::Direction::Import;
    QString operatorName;
    QString senderCode;
    QString item;
    int succeeded = 0;
    int failed = 0;
    // The item's outcome ("exchanged", "partial" when some records were refused, "failed",
    // "skipped", "unanswered"), or for a run without items the run's ("refused", "running",
    // "cancelled", "aborted", "completed").
    QString state;
    QString failedRecordsFile;
    QString operation;
    bool conversion = false;

    static QString stateText(const QString& state);
    // The states a filter offers, in the order offered.
    static QStringList filterStates();
    // The states of lines that did not end well, quoted for SQL.
    static QStringList problemStates();
};

// The run history as the run history window lists it, newest run first, its items in order.
// Lines are read a page at a time as the view scrolls to them, and the matching lines are
// counted on a thread of their own, so that a history of a hundred thousand runs opens and
// filters at once.
class RunHistoryModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { Time, Origin, Operator, SenderCode, Item, Direction, Succeeded, Failed, State };
    static constexpr int kColumnCount = State + 1;
    static constexpr int kPageRows = 200;

    explicit RunHistoryModel(RunHistory& history, QObject* parent = nullptr);
    ~RunHistoryModel() override;

    // Reads the history afresh with the filter.
    void setFilter(const RunHistoryFilter& filter);
    // Lines that match the filter, read or not; -1 until they have been counted.
    int matchingRows() const { return m_matching; }
    const RunHistoryRow& line(int row) const { return m_rows.at(row); }

    // The texts the filter boxes offer: the items and registration codes in the history.
    QStringList itemLabels() const;
    QStringList senderCodes() const;
    // The run with its items' reports, as the report window shows it.
    QString runReport(qint64 runId) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    bool canFetchMore(const QModelIndex& parent) const override;
    void fetchMore(const QModelIndex& parent) override;

Q_SIGNALS:
    // The lines matching the filter have been counted.
    void counted(int lines);

private:
    QList<RunHistoryRow> readPage() const;
    QStringList distinct(const QString& sql) const;
    void count();

    RunHistory& m_history;
    RunHistoryFilter m_filter;
    QList<RunHistoryRow> m_rows;
    bool m_more = false; // the last page read was full
    int m_matching = -1;
    int m_generation = 0; // of the filter, so that a count of an earlier one is dropped
    QList<QThread*> m_counting;
};

} // namespace kvx
