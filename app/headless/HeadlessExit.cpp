#include "app/headless/HeadlessExit.h"

#include "app/Session.h"
#include "sdk/ReasonText.h"

namespace {

// The login's own refusals: trying again with the same values cannot help.
bool IsLoginRefusal(int reason) { return reason == 3 || reason == 43; }

} // namespace

int StartFailureStatus(const StartFailure &failure) {
    switch (failure.step) {
    case StartFailure::Step::LoginValues:
        return HeadlessExit::Usage;
    case StartFailure::Step::Create:
        return HeadlessExit::Unreachable;
    case StartFailure::Step::Login:
        return IsUnanswered(failure.reason) ? HeadlessExit::Unreachable : HeadlessExit::LoginRefused;
    case StartFailure::Step::Enter:
        return IsUnanswered(failure.reason) ? HeadlessExit::Unreachable : HeadlessExit::WorldLost;
    }
    return HeadlessExit::WorldLost;
}

int StrandedStatus(int reason) {
    // The SDK logs in again by itself after a lost connection; a refusal then means the login itself went bad.
    return IsLoginRefusal(reason) ? HeadlessExit::LoginRefused : HeadlessExit::WorldLost;
}
