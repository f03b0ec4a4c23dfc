// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#include "input/InputController.h"

#include "input/KeyTable.h"
#include "input/Terminals.h"
#include "util/Log.h"

#include <linux/input-event-codes.h>

#include <algorithm>
#include <cmath>

namespace quillmote::input {

namespace {
// Truncation toward zero is only defined for values inside the target type's range.
bool fitsInt64(double value)
{
    return std::isfinite(value) && value >= -9223372036854775808.0 && value < 9223372036854775808.0;
}

bool fitsInt32(double value)
{
    return std::isfinite(value) && value > -2147483649.0 && value < 2147483648.0;
}
} // namespace

InputController::InputController(InputBackend backend) : m_backend(std::move(backend))
{
    m_pasteWait.setSingleShot(true);
    m_pasteWait.setInterval(pasteWaitMs);
    connect(&m_pasteWait, &QTimer::timeout, this, [this] {
        if (m_hold == Hold::UntilPasteFetched) {
            qCDebug(lcInput).noquote() << "paste not fetched in time: input goes on";
            if (m_awaitedPaste)
                *m_awaitedPaste = true;
            release();
        }
    });
    m_apartWait.setSingleShot(true);
    connect(&m_apartWait, &QTimer::timeout, this, [this] {
        if (m_hold == Hold::UntilApart)
            release();
    });
    attachBackend();
}

void InputController::attachBackend()
{
    if (m_backend.clipboard)
        m_backend.clipboard->setFetchedHandler([this] {
            qCDebug(lcInput).noquote() << "paste fetched by the focused application";
            releaseSoon(Hold::UntilPasteFetched);
        });
    m_backend.sink->setSentHandler([this] {
        m_pacer.sent();
        if (m_hold == Hold::UntilApart)
            releaseSoon(Hold::UntilApart);
    });
    if (!m_backend.sink->isReady()) {
        m_hold = Hold::UntilReady;
        m_backend.sink->setReadyHandler([this] { releaseSoon(Hold::UntilReady); });
    }
}

void InputController::adopt(InputBackend backend)
{
    m_backend = std::move(backend);
    attachBackend();
    if (m_backend.sink->isReady())
        releaseSoon(Hold::UntilReady);
}

InputController::~InputController()
{
    // A sink that says it is done as it closes must not reach a controller half gone.
    m_backend.sink->setSentHandler({});
}

InputController::Origin::Origin(InputController* controller, quint64 origin) : m_controller(controller)
{
    if (!m_controller)
        return;
    m_controller->m_origin = origin;
    m_droppedBefore = m_controller->m_dropped;
}

InputController::Origin::~Origin()
{
    if (m_controller)
        m_controller->m_origin = 0;
}

int InputController::Origin::dropped() const
{
    return m_controller ? m_controller->m_dropped - m_droppedBefore : 0;
}

template <typename Operation> void InputController::perform(Operation&& operation, bool paste)
{
    if (m_hold == Hold::None && m_queue.empty()) {
        m_runningOrigin = m_origin;
        operation();
    } else if (admit(paste))
        enqueue(std::forward<Operation>(operation), paste);
}

bool InputController::admit(bool paste)
{
    const Share share = m_shares.value(m_origin);
    if (share.operations < maxQueuedPerOrigin && (!paste || share.pastes < maxQueuedPastesPerOrigin))
        return true;
    ++m_dropped;
    return false;
}

void InputController::enqueue(std::function<void()> operation, bool paste)
{
    m_queue.push_back({std::move(operation), m_origin, paste});
    Share& share = m_shares[m_origin];
    ++share.operations;
    share.pastes += paste;
}

void InputController::release()
{
    m_hold = Hold::None;
    m_pasteWait.stop();
    while (m_hold == Hold::None && !m_queue.empty()) {
        Queued next = std::move(m_queue.front());
        m_queue.pop_front();
        const auto share = next.counted ? m_shares.find(next.origin) : m_shares.end();
        if (share != m_shares.end() && --share->operations == 0)
            m_shares.erase(share);
        else if (share != m_shares.end())
            share->pastes -= next.paste;
        m_runningOrigin = next.origin;
        next.run();
    }
}

void InputController::forget(quint64 origin)
{
    if (origin == 0)
        return;
    std::erase_if(m_queue, [origin](const Queued& queued) { return queued.origin == origin; });
    m_shares.remove(origin);
}

void InputController::releaseSoon(Hold from)
{
    // From inside a backend's callback: the queue goes on once that callback has returned.
    QMetaObject::invokeMethod(
        this,
        [this, from] {
            if (m_hold == from)
                release();
        },
        Qt::QueuedConnection);
}

void InputController::movePointer(double dx, double dy)
{
    perform([=, this] { postMotion(dx, dy, false); });
}

void InputController::dragPointer(double dx, double dy)
{
    perform([=, this] { postMotion(dx, dy, true); });
}

std::optional<Point> InputController::eventLocation()
{
    std::optional<Point> location = m_backend.sink->pointerLocation();
    // Relative backends neither know nor need where the pointer is.
    if (!location && m_backend.sink->movesRelatively())
        location = Point{};
    return location;
}

void InputController::postMotion(double dx, double dy, bool dragging)
{
    // Deltas that are not finite or do not fit 64 bits cannot describe a move; such a move is
    // ignored rather than posted somewhere meaningless.
    if (!fitsInt64(dx) || !fitsInt64(dy))
        return;
    const std::optional<Point> location = eventLocation();
    if (!location)
        return;
    Point to{location->x + dx, location->y + dy};
    if (!m_backend.sink->movesRelatively()) {
        if (clampToDisplays(to) != to) {
            if (const std::optional<Point> now = m_backend.sink->currentPointerLocation())
                to = Point{now->x + dx, now->y + dy};
        }
        to = clampToDisplays(to);
    }
    m_backend.sink->post(PointerMotion{to, dx, dy, dragging});
}

Point InputController::clampToDisplays(Point point)
{
    const std::optional<std::vector<Rect>> displays = m_backend.sink->activeDisplays();
    if (!displays || displays->empty())
        return point;
    double minX = displays->front().x;
    double minY = displays->front().y;
    double maxX = minX + displays->front().width;
    double maxY = minY + displays->front().height;
    for (const Rect& r : *displays) {
        minX = std::min(minX, r.x);
        minY = std::min(minY, r.y);
        maxX = std::max(maxX, r.x + r.width);
        maxY = std::max(maxY, r.y + r.height);
    }
    // The far edges are excluded by a tenth of a point, the near ones are not.
    return {std::min(maxX - 0.1, std::max(minX, point.x)), std::min(maxY - 0.1, std::max(minY, point.y))};
}

void InputController::postButton(Button button, bool down, Point at, int clickCount)
{
    m_backend.sink->post(ButtonChange{button, down, clickCount, at});
}

void InputController::postClick(Button button, int clickCount)
{
    if (const std::optional<Point> at = eventLocation()) {
        postButton(button, true, *at, clickCount);
        postButton(button, false, *at, clickCount);
    }
}

void InputController::mouseDown()
{
    perform([this] {
        if (const std::optional<Point> at = eventLocation())
            postButton(Button::Left, true, *at, 1);
    });
}

void InputController::mouseUp()
{
    perform([this] {
        if (const std::optional<Point> at = eventLocation())
            postButton(Button::Left, false, *at, 1);
    });
}

void InputController::leftClick()
{
    perform([this] { postClick(Button::Left, 1); });
}

void InputController::rightClick()
{
    perform([this] { postClick(Button::Right, 1); });
}

void InputController::middleClick()
{
    perform([this] { postClick(Button::Middle, 1); });
}

void InputController::doubleClick()
{
    perform([this] {
        // Both clicks where the pointer was at the first.
        const std::optional<Point> at = eventLocation();
        if (!at)
            return;
        for (const int clickCount : {1, 2}) {
            postButton(Button::Left, true, *at, clickCount);
            postButton(Button::Left, false, *at, clickCount);
        }
    });
}

void InputController::scroll(double dx, double dy)
{
    perform([=, this] {
        m_accumulatorX += dx * scrollFactor;
        m_accumulatorY += dy * scrollFactor;
        // A sum that is not finite or whose whole part leaves the wheel's 32 bits cannot be
        // sent; starting again from zero keeps later scrolling sane.
        if (!fitsInt32(m_accumulatorX) || !fitsInt32(m_accumulatorY)) {
            m_accumulatorX = 0.0;
            m_accumulatorY = 0.0;
            return;
        }
        const auto ix = static_cast<std::int32_t>(m_accumulatorX);
        const auto iy = static_cast<std::int32_t>(m_accumulatorY);
        if (ix == 0 && iy == 0)
            return;
        m_accumulatorX -= ix;
        m_accumulatorY -= iy;
        m_backend.sink->post(WheelScroll{iy, ix});
    });
}

void InputController::magnify(double) {}

void InputController::pressKey(std::uint16_t key, ModifierSet modifiers)
{
    perform([=, this] { postKeyStroke(key, modifiers); });
}

void InputController::appendKeyStroke(std::vector<Event>& events, const KeyStroke& stroke, bool byPlace)
{
    for (const Modifier m : modifierOrder) {
        if (stroke.modifiers & m)
            events.emplace_back(KeyChange{modifierKey(m), true, 0});
    }
    events.emplace_back(KeyChange{stroke.key, true, stroke.modifiers, byPlace, stroke.character});
    events.emplace_back(KeyChange{stroke.key, false, stroke.modifiers, byPlace, stroke.character});
    for (auto m = std::rbegin(modifierOrder); m != std::rend(modifierOrder); ++m) {
        if (stroke.modifiers & *m)
            events.emplace_back(KeyChange{modifierKey(*m), false, 0});
    }
}

void InputController::postKeyStroke(std::uint16_t key, ModifierSet modifiers)
{
    std::vector<Event> events;
    appendKeyStroke(events, {key, modifiers}, false);
    postKeys(std::move(events));
}

void InputController::postKeys(std::vector<Event> events)
{
    const int apartMs = m_backend.sink->keysApartMs();
    for (std::size_t i = 0; i < events.size(); ++i) {
        if (const int wait = m_pacer.waitBefore(events, i, apartMs); wait != 0) {
            const auto at = events.begin() + static_cast<std::ptrdiff_t>(i);
            sendKeys({events.begin(), at});
            holdApart(wait, [this, rest = std::vector<Event>(at, events.end())] { postKeys(rest); });
            return;
        }
    }
    sendKeys(events);
}

void InputController::sendKeys(const std::vector<Event>& events)
{
    if (events.empty())
        return;
    m_backend.sink->postAll(events);
    for (const Event& event : events)
        m_pacer.wentOut(event);
    if (m_backend.sink->keysPending())
        m_pacer.pending();
}

void InputController::holdApart(int waitMs, std::function<void()> operation)
{
    m_queue.push_front({std::move(operation), m_runningOrigin, false, false});
    m_hold = Hold::UntilApart;
    // Keys still on their way are waited for by the sink's word, looked at again now and then.
    m_apartWait.start(waitMs == KeyPacer::untilSent ? sentCheckMs : waitMs);
}

void InputController::pressMediaKey(std::uint16_t key)
{
    perform([=, this] {
        m_backend.sink->post(MediaKey{key, true});
        m_backend.sink->post(MediaKey{key, false});
    });
}

bool InputController::focusIsTerminal()
{
    if (!m_backend.windowManager)
        return false;
    const std::optional<QString> windowClass = m_backend.windowManager->focusedWindowClass();
    return windowClass && isTerminalEmulator(*windowClass);
}

KeyStroke InputController::pasteChord(bool* alsoPrimary)
{
    *alsoPrimary = false;
    // No window manager at all (the record backend): the plain chord.
    if (!m_backend.windowManager)
        return {KEY_V, Control};
    const std::optional<QString> windowClass = m_backend.windowManager->focusedWindowClass();
    if (windowClass && !isTerminalEmulator(*windowClass))
        return {KEY_V, Control};
    // Terminals take Control+V as quoted-insert. Shift+Insert pastes everywhere, from the
    // clipboard in most applications and from the primary selection in most terminals, so
    // both hold the text.
    *alsoPrimary = true;
    return {KEY_INSERT, Shift};
}

void InputController::pressPaste()
{
    perform(
        [this] {
            bool alsoPrimary = false;
            const KeyStroke chord = pasteChord(&alsoPrimary);
            if (!alsoPrimary || !m_backend.clipboard) {
                postKeyStroke(chord.key, chord.modifiers);
                return;
            }
            // The chord pastes the primary selection in most terminals; the phone's Paste means
            // the clipboard, so for this paste that is what the primary selection holds.
            pasteWith(chord, true, [this](std::function<void(bool)> done) {
                m_backend.clipboard->placeClipboardInPrimary(std::move(done));
            });
        },
        true);
}

void InputController::closeWindow()
{
    perform([this] { postKeyStroke(KEY_W, focusIsTerminal() ? Control | Shift : Control); });
}

std::vector<TextRun> splitForTyping(const QString& text, const CharacterKeys* keys, bool typesAny)
{
    const bool lineBreak = text.contains(u'\n') || text.contains(u'\r') || text.contains(QChar(0x2028)) ||
                           text.contains(QChar(0x2029));
    if (!keys || lineBreak || text.isEmpty())
        return {TextRun{text, {}}};
    std::vector<TextRun> runs;
    for (qsizetype i = 0; i < text.size();) {
        const qsizetype length = text[i].isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
        const QStringView character = QStringView(text).mid(i, length);
        const char32_t code = character.toUcs4().value(0);
        // Control characters (a tab) are pasted: typed, they would move the focus.
        const bool control = code < 0x20 || (code >= 0x7f && code < 0xa0);
        const auto found = control ? keys->end() : keys->find(code);
        // A lone surrogate is no character: it cannot be typed.
        const bool lent =
            typesAny && !control && found == keys->end() && !(length == 1 && text[i].isSurrogate());
        const bool typed = found != keys->end() || lent;
        if (runs.empty() || runs.back().strokes.empty() == typed)
            runs.push_back({});
        runs.back().text += character;
        if (typed)
            runs.back().strokes.push_back(lent ? KeyStroke{0, 0, code} : found->second);
        i += length;
    }
    return runs;
}

void InputController::typeText(const QString& text)
{
    // The reply goes out first: the text is entered on a later turn of the event loop, and
    // everything after it waits behind it in the queue.
    // Only a text with a pasted run may wait on an application; typed text counts as any other
    // operation, so that a phone sending word after word is not cut off.
    std::vector<TextRun> runs = splitForTyping(text);
    const bool pastes = willPaste(runs);
    qCDebug(lcInput).noquote() << "text of" << text.size() << "characters in" << runs.size() << "runs"
                               << (pastes ? "(some pasted)" : "(all typed)");
    if (!admit(pastes))
        return;
    enqueue([this, runs = std::move(runs), origin = m_origin] { enterRuns(runs, origin); }, pastes);
    if (m_hold != Hold::None || m_queue.size() > 1)
        return;
    m_hold = Hold::UntilNextTurn;
    releaseSoon(Hold::UntilNextTurn);
}

std::vector<TextRun> InputController::splitForTyping(const QString& text)
{
    // The layout is read once per text: a round trip to the display server for the whole map.
    std::optional<CharacterKeys> keys;
    if (m_backend.keymap)
        keys = m_backend.keymap->characterKeys();
    return input::splitForTyping(text, keys ? &*keys : nullptr,
                                 keys && m_backend.keymap->typesAnyCharacter());
}

bool InputController::willPaste(const std::vector<TextRun>& runs)
{
    return std::any_of(runs.begin(), runs.end(), [](const TextRun& run) { return run.strokes.empty(); });
}

void InputController::enterRuns(const std::vector<TextRun>& runs, quint64 origin)
{
    const Unfetched unfetched = std::make_shared<bool>(false);
    // Its runs go first in the queue, each in turn, still the origin's.
    for (auto run = runs.rbegin(); run != runs.rend(); ++run) {
        if (run->strokes.empty()) {
            m_queue.push_front({[this, pasted = run->text, unfetched] { pasteText(pasted, unfetched); },
                                origin, false, false});
            continue;
        }
        m_queue.push_front({[this, strokes = run->strokes] {
                                std::vector<Event> events;
                                for (const KeyStroke& stroke : strokes)
                                    appendKeyStroke(events, stroke, true);
                                postKeys(std::move(events));
                            },
                            origin, false, false});
    }
}

void InputController::pasteText(const QString& text, const Unfetched& unfetched)
{
    if (!m_backend.clipboard)
        return;
    bool alsoPrimary = false;
    const KeyStroke chord = pasteChord(&alsoPrimary);
    // Pressing the chord without our text on the clipboard would paste whatever was there.
    pasteWith(
        chord, false,
        [this, text, alsoPrimary](std::function<void(bool)> done) {
            m_backend.clipboard->place(text, alsoPrimary, std::move(done));
        },
        unfetched);
}

void InputController::pasteWith(KeyStroke chord, bool pressUnplaced,
                                std::function<void(std::function<void(bool)>)> place, Unfetched unfetched)
{
    std::vector<Event> chordEvents;
    appendKeyStroke(chordEvents, chord, false);
    // The wait comes before the text is placed: the chord follows the placing at once.
    if (const int wait = m_pacer.waitBefore(chordEvents, 0, m_backend.sink->keysApartMs()); wait != 0) {
        holdApart(wait, [=, this] { pasteWith(chord, pressUnplaced, place, unfetched); });
        return;
    }
    m_hold = Hold::UntilPlaced;
    m_placing = true;
    place([this, chord, chordEvents, pressUnplaced, unfetched](bool placed) {
        if (m_hold != Hold::UntilPlaced)
            return;
        qCDebug(lcInput).noquote() << "clipboard" << (placed ? "placed" : "not placed")
                                   << "for a paste with key" << chord.key;
        if (placed || pressUnplaced)
            sendKeys(chordEvents);
        if (!placed || *unfetched ||
            !(m_backend.clipboard->reportsFetched() || m_backend.clipboard->fetchedUnseen())) {
            // Answered at once, inside the queue's own loop, which then goes on by itself.
            if (m_placing)
                m_hold = Hold::None;
            else
                release();
            return;
        }
        // The application asks for the text only once it sees the chord: what follows must
        // wait until it has it, or it lands before the text, or a next TYPE replaces it. Where the
        // fetch is not seen, the whole wait.
        m_hold = Hold::UntilPasteFetched;
        // Only a fetch that would have been seen and was not tells that the window does not fetch;
        // where fetches go unseen, the whole wait is the normal course of every paste.
        m_awaitedPaste = m_backend.clipboard->reportsFetched() ? unfetched : nullptr;
        m_pasteWait.start(m_backend.clipboard->reportsFetched() ? pasteWaitMs : unseenFetchWaitMs);
    });
    m_placing = false;
}

} // namespace quillmote::input
