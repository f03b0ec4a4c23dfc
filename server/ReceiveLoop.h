// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#pragma once

#include <memory>

namespace quillmote {

class Connection;

// The command side of a connection: the server hands each accepted connection to it once,
// and it keeps reading from it for as long as the connection lives.
class ReceiveLoop
{
public:
    virtual ~ReceiveLoop() = default;
    // Arms the next read of the connection (1 to 1024 bytes), whose completion handles it.
    virtual void receiveNext(const std::shared_ptr<Connection>& connection) = 0;
};

} // namespace quillmote
