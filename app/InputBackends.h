// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#pragma once

#include "input/EventSink.h"

#include <QString>

#include <memory>

namespace quillmote {

// The backend named by --input: "auto" tries the candidates in order and takes the first one
// that is available (x11 in an X11 session; portal, then uinput in a Wayland session); a named
// one that cannot be opened gives null and the reason. Logs its choice in one line. The
// portal keeps its restore token in the settings file.
std::unique_ptr<input::EventSink> createEventSink(const QString& choice, const QString& settingsPath,
                                                  QString* error);

} // namespace quillmote
