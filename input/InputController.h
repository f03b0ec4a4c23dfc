// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#pragma once

#include "input/InputBackend.h"
#include "input/KeyPacer.h"

#include <QHash>
#include <QObject>
#include <QString>
#include <QTimer>

#include <cstdint>
#include <deque>
#include <functional>
#include <vector>

namespace quillmote::input {

// Turns remote pointer and keyboard commands into Linux input events for a backend. Keeps no
// pointer position of its own: every operation starts from the pointer's real location.
//
// Operations run in the order they were asked for. A paste holds the ones after it until the
// application has fetched the text (keys typed after a paste must land after its text); so does
// a backend that is not ready yet.
// A text as the backend's layout can enter it: runs of typed characters and pasted ones, in
// order. A text with a line break is pasted whole: an Enter typed in a chat would send its first
// line early. Without a layout everything is pasted. Where the sink types any character
// (typesAny), those the layout lacks are typed too, as strokes of their own character.
struct TextRun
{
    QString text;
    std::vector<KeyStroke> strokes; // empty for a pasted run
    bool operator==(const TextRun&) const = default;
};
std::vector<TextRun> splitForTyping(const QString& text, const CharacterKeys* keys, bool typesAny = false);

class InputController : public QObject
{
    Q_OBJECT
public:
    static constexpr double scrollFactor = 1.2;
    // How long input after a paste waits for the application to fetch the text, at most: a
    // busy application may take several hundred milliseconds. Where the fetch is not seen,
    // input waits unseenFetchWaitMs.
    static constexpr int pasteWaitMs = 1000;
    static constexpr int unseenFetchWaitMs = 400;
    // How often keys that wait for the ones before them to go out look again, should the sink not tell.
    static constexpr int sentCheckMs = 1000;
    // What one origin (a connection) may have waiting: beyond it, what it asks for is dropped,
    // so that one that types faster than pastes complete neither fills memory nor holds up the
    // others for long (each paste may wait pasteWaitMs).
    static constexpr int maxQueuedPerOrigin = 256;
    // Eight lines of mixed text sent at once must all arrive.
    static constexpr int maxQueuedPastesPerOrigin = 8;

    // Operations asked for while it lives count against `origin`'s share of the queue.
    class Origin
    {
    public:
        Origin(InputController* controller, quint64 origin);
        ~Origin();
        Origin(const Origin&) = delete;
        Origin& operator=(const Origin&) = delete;
        // Operations dropped meanwhile for exceeding the share.
        int dropped() const;

    private:
        InputController* m_controller;
        int m_droppedBefore = 0;
    };

    explicit InputController(InputBackend backend);
    ~InputController() override;

    // The backend chosen after the controller was made (it started with a PendingSink): input
    // that waited goes to it.
    void adopt(InputBackend backend);
    // The backend's window manager; null when it has none.
    WindowManager* windowManager() const { return m_backend.windowManager.get(); }
    // The desktop's screen shield is being raised from here (EventSink::shieldComing).
    void shieldComing() { m_backend.sink->shieldComing(); }

    double accumulatorX() const { return m_accumulatorX; }
    double accumulatorY() const { return m_accumulatorY; }
    // Operations waiting behind a paste or a backend that is not ready.
    qsizetype queuedOperations() const { return static_cast<qsizetype>(m_queue.size()); }

    void movePointer(double dx, double dy);
    void dragPointer(double dx, double dy);
    Point clampToDisplays(Point point);

    void mouseDown();
    void mouseUp();
    void leftClick();
    void rightClick();
    void middleClick();
    void doubleClick();
    void scroll(double dx, double dy);
    void magnify(double scale);

    // An evdev key with its modifiers: the modifiers go down first and up last.
    void pressKey(std::uint16_t key, ModifierSet modifiers = 0);
    void pressMediaKey(std::uint16_t key);
    // Returns at once; the text is entered on a later turn of the event loop: typed where the
    // backend's layout has its characters, pasted where it does not (see splitForTyping).
    void typeText(const QString& text);
    // The paste chord of the focused window: Control+V where it is known not to be a terminal,
    // else Shift+Insert (terminals, and Wayland windows, whose class is not known).
    void pressPaste();
    // Control+Shift+W in a terminal (Control+W erases a word there), else Control+W.
    void closeWindow();
    // The origin's connection ended: what it asked for and is still waiting goes with it.
    void forget(quint64 origin);

private:
    enum class Hold { None, UntilNextTurn, UntilReady, UntilPlaced, UntilPasteFetched, UntilApart };

    struct Queued
    {
        std::function<void()> run;
        quint64 origin = 0;
        bool paste = false;
        // The runs of a text being entered: part of an operation already counted.
        bool counted = true;
    };
    // Runs the operation now, or queues it behind what is held.
    template <typename Operation> void perform(Operation&& operation, bool paste = false);
    bool admit(bool paste);
    void enqueue(std::function<void()> operation, bool paste);
    void release();
    void releaseSoon(Hold from);
    // Follows the backend's clipboard fetches and its sink's readiness.
    void attachBackend();

    std::optional<Point> eventLocation();
    void postMotion(double dx, double dy, bool dragging);
    void postButton(Button button, bool down, Point at, int clickCount);
    void postClick(Button button, int clickCount);
    // A key with its modifiers held around it; byPlace: the key typed a character of the layout.
    static void appendKeyStroke(std::vector<Event>& events, const KeyStroke& stroke, bool byPlace);
    void postKeyStroke(std::uint16_t key, ModifierSet modifiers);
    // Posts key events, keeping keys of different kinds as far apart as the sink asks: what has
    // to wait goes first in the queue, behind a timer.
    void postKeys(std::vector<Event> events);
    void sendKeys(const std::vector<Event>& events);
    // Runs the operation again once the wait is over, first in the queue.
    void holdApart(int waitMs, std::function<void()> operation);
    std::vector<TextRun> splitForTyping(const QString& text);
    static bool willPaste(const std::vector<TextRun>& runs);
    // Whether the focused window left a paste of one text unfetched: its later pastes do not
    // wait again, so that a text costs at most one bounded wait, whatever its number of runs.
    using Unfetched = std::shared_ptr<bool>;
    void enterRuns(const std::vector<TextRun>& runs, quint64 origin);
    void pasteText(const QString& text, const Unfetched& unfetched);
    // Puts content on the clipboard with place, presses the chord once it is there (or anyway,
    // with pressUnplaced), and holds what follows until the application fetched it.
    void pasteWith(KeyStroke chord, bool pressUnplaced, std::function<void(std::function<void(bool)>)> place,
                   Unfetched unfetched = std::make_shared<bool>(false));
    bool focusIsTerminal();
    // The chord that pastes into the focused window, and whether it may take the primary selection.
    KeyStroke pasteChord(bool* alsoPrimary);

    InputBackend m_backend;
    double m_accumulatorX = 0.0;
    double m_accumulatorY = 0.0;
    Hold m_hold = Hold::None;
    bool m_placing = false;
    std::deque<Queued> m_queue;
    quint64 m_origin = 0;
    int m_dropped = 0;
    struct Share
    {
        int operations = 0;
        int pastes = 0;
    };
    QHash<quint64, Share> m_shares;
    QTimer m_pasteWait;
    Unfetched m_awaitedPaste;
    KeyPacer m_pacer;
    QTimer m_apartWait;
    // The origin of the operation running now: what it leaves for later stays the origin's.
    quint64 m_runningOrigin = 0;
};

} // namespace quillmote::input
