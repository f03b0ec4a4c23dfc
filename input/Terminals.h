// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#pragma once

#include <QStringView>

namespace quillmote::input {

// Whether a window of this class (WM_CLASS, its instance or class name) is a terminal emulator:
// Control+V there inserts the next key literally and Control+W erases a word, so pastes and
// closes need the terminal's own chords.
bool isTerminalEmulator(QStringView windowClass);

} // namespace quillmote::input
