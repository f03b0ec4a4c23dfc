// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#pragma once

#include "input/Events.h"

#include <QByteArray>

namespace quillmote::record {

// An event as the line the record format gives it: the desktop event model of the protocol's
// first platform (mouse event types, virtual key codes, flag masks, system-defined media-key
// words), which client authors compare against. Empty for a key that model has no code for.
QByteArray recordLine(const input::Event& event);

} // namespace quillmote::record
