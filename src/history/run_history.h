#pragma once

#include "platform/app_folder.h"

#include <QDateTime>
#include <QList>
#include <QSqlDatabase>
#include <QSqlError>
#include <QString>
#include <QVariant>
#include <functional>

namespace kvx {

// The record of every import and export run, the console's and the plan agent's alike: one
// SQLite file in the application folder. Each statement is committed on its own, so a crash
// loses at most the item in progress; a run that never finished keeps the outcome "running".
// The console and the plan agent write to it at the same moment: the file is kept in WAL mode,
// and a writer waits for another's lock for a while rather than giving up.
// A history that cannot be written never stops a run: every call answers false and the run
// goes on. A damaged file is set aside under a name of its own, never overwritten, and a new
// one is begun; the operator is told of such a problem once in a process (takeProblem).
// The plan agent's runs are kept unseen (column `seen` 0) until the operator has looked at
// them; every other run is seen as it is made (history/unseen_agent_runs.h).
class RunHistory {
public:
    // Stored as "console", "agent" and "cli".
    enum class Origin { Console, Agent, CommandLine };
    enum class Direction { Import, Export };

    struct Run {
        qint64 id = 0;
        QDateTime started;
        QDateTime finished; // invalid while running
        Origin origin = Origin::Console;
        Direction direction = Direction::Import;
        QString operatorName;
        QString senderCode;
        QString outcome; // "running", "completed", "cancelled", "aborted", "refused"
        QString note;    // why a run was refused or ended early
    };
    struct Item {
        int position = 0; // in the run's list, from 1
        QString item;     // the item label
        QString file;     // the file imported or written; empty when there was none
        int succeeded = 0;
        int failed = 0;
        QString outcome; // "exchanged", "failed", "skipped"
        QString report;  // the item's report lines, or the messages it gave
        QDateTime finished;
        // Imports: the operation string and the conversion flag the file was sent with, and
        // the file its refused records were written to, so that the mended file can be sent
        // again the same way.
        QString operation;
        bool conversion = false;
        QString failedRecordsFile;
    };

    static QString relativePath();
    // The origin as the file keeps it, and back (an unknown text is the console's).
    static QString storedOrigin(Origin origin);
    static Origin originOf(const QString& stored);
    // As the operator reads it: "控制台", "计划代理", "命令行".
    static QString originText(Origin origin);

    // Opens (and creates) the file of the application folder.
    explicit RunHistory(const AppFolder& folder);
    ~RunHistory();
    RunHistory(const RunHistory&) = delete;
    RunHistory& operator=(const RunHistory&) = delete;

    bool isOpen() const { return m_open; }
    QString lastError() const { return m_error; }
    QString path() const { return m_path; }
    // What went wrong with the file, for the operator, the first time it is asked for in this
    // process; empty after that and when nothing went wrong.
    QString takeProblem();
    // The connection, for reading.
    QSqlDatabase database() const;

    // Starts a run: its row, outcome "running". The items and the end go to this run.
    bool beginRun(const Run& run);
    bool addItem(const Item& item);
    bool finishRun(const QString& outcome, const QString& note, const QDateTime& finished);

    // When the latest run of this origin for this sender code started; invalid when there is
    // none. The plan agent asks it so that no run time of a schedule runs twice.
    QDateTime lastStarted(Origin origin, const QString& senderCode) const;
    // The runs, newest first, at most `limit`; and one run's items in order.
    QList<Run> runs(int limit = 100) const;
    QList<Item> items(qint64 runId) const;

private:
    bool open();
    bool execute(const QString& sql, const QVariantList& values, qint64* insertedId = nullptr);
    // A statement of a run, its values taken when it is sent; a failure is noted as a problem.
    bool write(const QString& sql, const std::function<QVariantList()>& values,
               qint64* insertedId = nullptr);
    bool insertRun();
    // After a failed statement: a file that is no database, or a damaged one, is set aside and
    // a new one begun; any other failure is noted.
    void failed(bool opening);
    void setAside();
    // The first problem is the one told; `kind` tells problems of one file apart.
    void noteProblem(const QString& kind, const QString& text);

    QString m_connection;
    QString m_path;
    bool m_open = false;
    Run m_run; // the run under way
    qint64 m_runId = 0;
    QSqlError m_lastError;
    QString m_error;
    QString m_problem;
    QString m_problemKey;
};

} // namespace kvx
