// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#pragma once

#include "input/EventSink.h"

#include <QObject>
#include <QString>
#include <QTimer>

#include <deque>
#include <functional>

#include <cstdint>
#include <memory>

namespace quillmote::input {

// Turns remote pointer and keyboard commands into desktop events, built in the desktop event
// model's own numbers and handed to an EventSink. Keeps no pointer position of its own: every
// operation starts from the pointer's real location.
class InputController : public QObject
{
    Q_OBJECT
public:
    static constexpr double scrollFactor = 1.2;
    // How long input after a paste waits for the application to fetch the text, at most.
    static constexpr int pasteWaitMs = 250;

    explicit InputController(std::unique_ptr<EventSink> sink);
    ~InputController() override;

    EventSink& sink() { return *m_sink; }
    double accumulatorX() const { return m_accumulatorX; }
    double accumulatorY() const { return m_accumulatorY; }

    void movePointer(double dx, double dy);
    void dragPointer(double dx, double dy);
    void postRelativeMouseEvent(int type, double dx, double dy);
    Point clampToDisplays(Point point);

    void mouseDown();
    void mouseUp();
    void leftClick();
    void rightClick();
    void doubleClick();
    void scroll(double dx, double dy);
    void magnify(double scale);

    void pressKey(std::uint16_t keyCode, std::uint64_t flags);
    // Returns at once; the text is pasted on a later turn of the event loop. Every operation
    // after it is carried out in order once the application has fetched the text (or after
    // pasteWaitMs), so that keys typed after a paste land after its text.
    void typeText(const QString& text);
    void pasteText(const QString& text);
    // Operations waiting behind a paste.
    qsizetype queuedOperations() const { return static_cast<qsizetype>(m_queue.size()); }
    void pressMediaKey(std::int32_t keyType);
    // The paste chord of the focused window: Shift+Insert in a terminal, else Control+V.
    void pressPaste();
    // Control+Shift+W in a terminal (Control+W erases a word there), else Control+W.
    void closeWindow();
    bool focusIsTerminal();
    // Through the window manager; false when it cannot.
    bool toggleShowDesktop() { return m_sink->toggleShowDesktop(); }

    // Whether input events may be posted; with prompt, a desktop that refused is asked again.
    bool checkAccessibility(bool prompt);

private:
    enum class Hold { None, UntilNextTurn, UntilPasteFetched };
    // Queues the operation when input is held behind a paste; true when it did.
    bool deferred(std::function<void()> action);
    void release();
    void postButtonPair(int downType, int upType, int button, Point location, std::int64_t clickState);
    void postButton(int type);
    // The pointer's location, or the origin for sinks that move it relatively without knowing it.
    std::optional<Point> eventLocation();

    std::unique_ptr<EventSink> m_sink;
    double m_accumulatorX = 0.0;
    double m_accumulatorY = 0.0;
    Hold m_hold = Hold::None;
    bool m_running = false;
    std::deque<std::function<void()>> m_queue;
    QTimer m_pasteWait;
};

} // namespace quillmote::input
