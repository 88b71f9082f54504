#pragma once

#include <QDate>
#include <QString>

namespace kvx {

class StoreDatabase;

// The demo data (operators demo/demo with every right and viewer/viewer with the right to
// execute, sender codes, code pairs and records of every sample exchange item), written
// into the store in one transaction. A "{today}" in a record stands for the given date.
bool seedDemoData(StoreDatabase& database, const QDate& today, QString* error = nullptr);

} // namespace kvx
