#pragma once

#include "core/host/SessionStatus.h"
#include "core/seams/View.h"

namespace kivo {

// Sets the labels of the status area, the Transfer Data page and the user-mode panel from
// the session's status, as the window shows them once a second.
void PresentStatus(const SessionStatus& status, View& view);

}  // namespace kivo
