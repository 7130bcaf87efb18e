#pragma once

struct StartFailure;

// The exit statuses of `gabbler --headless`, for a service manager to act on: which ones are worth a restart.
namespace HeadlessExit {
inline constexpr int Ended = 0;        // SIGTERM or SIGINT: the world left, the files and the history written
inline constexpr int CannotRun = 1;    // the data folder cannot be used or another Gabbler holds it; no SDK
inline constexpr int Usage = 2;        // the command line: an unknown option, no or an unknown profile, no login
inline constexpr int LoginRefused = 3; // the universe refused the login (wrong password, no such citizen, ...)
inline constexpr int WorldLost = 4;    // no entry into the world, or the world was lost: ejected, gone, refused
inline constexpr int Unreachable = 5;  // the universe could not be reached at the start
} // namespace HeadlessExit

// The status for a start that did not get the bot into its world.
int StartFailureStatus(const StartFailure &failure);
// The status for a disconnection that left the bot in no world, with the SDK's reason.
int StrandedStatus(int reason);
