#pragma once

#include <QList>
#include <QString>
#include <functional>

namespace kvx::crash {

// What a store (an SQLite file) holds after a trial: a summary that two equal contents share,
// or why it is unsound.
struct Inspection {
    QString summary;
    QString problem;
};

// One save of the system as the crash trials run it: in a child process that is killed at a
// random moment, or that finds the disk full.
struct SaveKind {
    QString name;
    QString file; // the file it writes, relative to the trial folder
    // Lays out the trial folder with the old version.
    std::function<void(const QString& folder)> prepare;
    // One save. `round` numbers the saves of one child; files alternate between two new
    // versions by it. False, with the operator's message, when the save failed.
    std::function<bool(const QString& folder, int round, QString* message)> save;
    // Stores only: their content checked. Files are compared byte for byte with their
    // complete versions instead.
    std::function<Inspection(const QString& folder)> inspect;
    // The save consumes what it reads (the backup merge): one per child, and a save run again
    // after a kill must finish the work.
    bool once = false;
};

QList<SaveKind> saveKinds();

// Called by each save after it has read what it needs and before it writes: from here on the
// trial of a full disk lets no file grow.
void aboutToWrite();
void setDiskFullOnWrite();

} // namespace kvx::crash
