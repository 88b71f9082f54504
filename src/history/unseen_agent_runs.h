#pragma once

#include <QList>

namespace kvx {

class RunHistory;

// The plan agent's runs that did not end well and that the operator has not looked at yet:
// a run refused before its first item or ended by an error, or one with an item that failed,
// had records refused or whose outcome is not known. Nobody watches the agent, so the console
// announces them until the operator has seen them. A run still under way is not counted.
namespace UnseenAgentRuns {

// Their ids, oldest first; none when the history cannot be read.
QList<qint64> find(const RunHistory& history);
// The operator has looked at these runs: they, and the agent's finished runs that ended well
// (nothing to see there), are seen. False when the history could not be written.
bool markSeen(const RunHistory& history, const QList<qint64>& ids);

} // namespace UnseenAgentRuns

} // namespace kvx
