// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#pragma once

#include "server/ServiceAdvertiser.h"

#include <memory>

namespace quillmote::avahi {

// Publishes the service through the system's avahi-daemon over D-Bus. The client outlives
// daemon restarts (it waits for the daemon and registers again), and a name taken by another
// service on the network is replaced by Avahi's alternative name.
std::unique_ptr<ServiceAdvertiser> createAdvertiser();

} // namespace quillmote::avahi
