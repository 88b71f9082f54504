#pragma once

#include "platform/logging_prompter.h"
#include "platform/owned_services.h"

namespace kvx {

// Logs what a run says; a report is kept, not shown (the display window has a benchmark of
// its own).
class BenchPrompter : public LoggingPrompter {
public:
    void displayText(const QString& text) override { report = text; }
    QString report;
};

// The services a program builds, on a benchmark's application folder.
using BenchServices = OwnedServices<BenchPrompter>;

} // namespace kvx
