// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#pragma once

#include <QLoggingCategory>

// A trace per subsystem for someone finding out why something did not happen: off by default,
// on with --verbose or QT_LOGGING_RULES (say "quillmote.input.debug=true"), written to standard
// error beside the console lines. Typed text, codes and secrets are never traced, only sizes.
namespace quillmote {

Q_DECLARE_LOGGING_CATEGORY(lcServer)   // quillmote.server: listener, connections, pairing
Q_DECLARE_LOGGING_CATEGORY(lcProtocol) // quillmote.protocol: command words and replies
Q_DECLARE_LOGGING_CATEGORY(lcInput)    // quillmote.input: backends, events, pastes
Q_DECLARE_LOGGING_CATEGORY(lcActions)  // quillmote.actions: tools run and their exits
Q_DECLARE_LOGGING_CATEGORY(lcPlatform) // quillmote.platform: DNS-SD, X server, portal
Q_DECLARE_LOGGING_CATEGORY(lcWeb)      // quillmote.web: requests and their answers
Q_DECLARE_LOGGING_CATEGORY(lcSettings) // quillmote.settings: keys read and written

// Every category's debug messages on, as --verbose asks.
void enableVerboseLogging();

} // namespace quillmote
