#pragma once

#include "core/host/SessionStatus.h"
#include "core/host/ShownState.h"

namespace kivo {

// Sets the texts of the status area, the Transfer Data page and the user-mode panel from
// the session's status, as the window shows them once a second.
void PresentStatus(const SessionStatus& status, ShownState& shown);

}  // namespace kivo
