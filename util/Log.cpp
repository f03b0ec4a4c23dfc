// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#include "util/Log.h"

namespace quillmote {

// QtInfoMsg: debug messages are off until asked for.
Q_LOGGING_CATEGORY(lcServer, "quillmote.server", QtInfoMsg)
Q_LOGGING_CATEGORY(lcProtocol, "quillmote.protocol", QtInfoMsg)
Q_LOGGING_CATEGORY(lcInput, "quillmote.input", QtInfoMsg)
Q_LOGGING_CATEGORY(lcActions, "quillmote.actions", QtInfoMsg)
Q_LOGGING_CATEGORY(lcPlatform, "quillmote.platform", QtInfoMsg)
Q_LOGGING_CATEGORY(lcWeb, "quillmote.web", QtInfoMsg)
Q_LOGGING_CATEGORY(lcSettings, "quillmote.settings", QtInfoMsg)

void enableVerboseLogging()
{
    QLoggingCategory::setFilterRules(QStringLiteral("quillmote.*.debug=true"));
}

} // namespace quillmote
