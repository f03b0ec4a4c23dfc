// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#pragma once

#include <QHostAddress>
#include <QString>

namespace quillmote {

// The link-layer address the kernel has learned for a peer on one of this computer's networks
// (its ARP or IPv6 neighbour entry), as lower-case hexadecimal pairs joined by ":"; empty for
// this computer itself, a peer beyond a router, or when the kernel cannot be asked.
QString linkLayerAddressOf(const QHostAddress& peer);

} // namespace quillmote
