#pragma once

// The ejection sub-commands of gabbler-universe: list and delete world and universe ejections in the store, so that
// a lock-out can always be undone with the server stopped.
//
//     world ejections NAME                                   world delete-ejection NAME address|computer|citizen VALUE
//     universe ejections                                     universe delete-ejection ADDRESS

#include "server/Store.h"

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

// Whether the arguments (sub-command first) name an ejection command.
bool IsEjectionCommand(const std::vector<std::string> &args);

// Runs one; `now` decides which ejections have ended. Returns the exit status: 0 done, 1 refused or failed, 2 the
// arguments do not fit the command.
int RunEjectionCommand(Store &store, const std::vector<std::string> &args, std::int64_t now, std::ostream &out,
                       std::ostream &err);
