#pragma once

// The computer id the SDK sends at login: a number that tells one machine and user from another, so that a world
// can eject a computer whatever address it comes from. It is a keyed hash of the machine's id and the user's
// number, so the machine id itself (which the system asks programs to keep to themselves) never leaves the machine,
// and other programs that hash the same id get other numbers. 0 means "none".

#include <cstdint>
#include <string_view>

// The id for a machine id text (surrounding white space ignored) and a user number; 0 for an empty machine id.
std::uint32_t ComputerIdFrom(std::string_view machineId, unsigned user);

// This machine's and this user's id, read once from /etc/machine-id (or D-Bus's copy of it); 0 when neither is
// readable.
std::uint32_t ComputerId();
