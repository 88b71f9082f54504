#pragma once

#include "catalogue/catalogue.h"
#include "cli_options.h"
#include "cli_prompter.h"
#include "platform/owned_services.h"

#include <optional>

namespace kvx {

// What the commands of `kvx` share: the application folder of --app-dir or KVX_APP_DIR with
// the programs' services around the command line's prompter, and its catalogue.
class CliSession {
public:
    // nullopt, with *error, when no folder is named or the one named is not there.
    static std::optional<AppFolder> folderOf(const CliOptions& options, QString* error);

    explicit CliSession(const AppFolder& folder)
        : m_owned(folder) {}

    Services& services() { return m_owned.services; }
    CliPrompter& prompter() { return m_owned.prompter; }
    const AppFolder& folder() const { return m_owned.services.folder; }

    // Loads the catalogue and finds the item by its label, else by its interface name.
    bool findItem(const QString& text, CatalogueItem* item, QString* error);
    const Catalogue& catalogue() const { return m_catalogue; }

private:
    OwnedServices<CliPrompter> m_owned;
    Catalogue m_catalogue;
};

} // namespace kvx
