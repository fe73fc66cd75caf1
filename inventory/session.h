// One run of a command against a catalog: the database stages (connect,
// the table, the channels), the command, and the exit status that their
// results decide. The program passes the database's catalog; the tests an
// in-memory one.
#ifndef KALVYNEX_INVENTORY_SESSION_H_
#define KALVYNEX_INVENTORY_SESSION_H_

#include <optional>
#include <string>

#include "core/connection_parameters.h"
#include "db/period_catalog.h"
#include "inventory/inventory.h"
#include "inventory/options.h"

namespace kalvynex {

// What the settings give a session.
struct SessionSetup {
  ConnectionParameters parameters;
  std::string data_source;       // named in the connection's messages
  std::string output_directory;  // the default directory of sac and fap
};

// The setup from the options' connection settings, the password (of
// --password-file or the environment) and the settings files.
SessionSetup session_setup(const InventoryOptions& options, const InventoryEnvironment& env,
                           const std::optional<std::string>& password);

InventoryExit run_session(const InventoryOptions& options, const InventoryEnvironment& env,
                          const SessionSetup& setup, PeriodCatalog& catalog);

}  // namespace kalvynex

#endif  // KALVYNEX_INVENTORY_SESSION_H_
