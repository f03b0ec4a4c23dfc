// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
// The touchpad's gestures as the commands they send, on a clock the test moves.
import assert from "node:assert/strict";
import test from "node:test";
import { DOUBLE_TAP_MS, FRICTION_MS, HOLD_MS, Touchpad } from "../../web/page/gestures.js";

function pad() {
  const p = new Touchpad({ speed: 1, acceleration: false, natural: true });
  p.now = 1000;
  p.at = (ms) => (p.now += ms);
  p.touch = (kind, ...points) => {
    const at = points.map(([x, y], id) => ({ id, x, y }));
    if (kind === "end") p.end(at.map((a) => a.id), p.now);
    else p[kind](at, p.now);
  };
  p.tap = (...points) => (p.touch("start", ...points), p.at(40), p.touch("end", ...points), p.take());
  p.run = (frames = 1) => { for (let i = 0; i < frames; i++) p.frame(p.at(16)); return p.take(); };
  return p;
}
const total = (messages, word, axis) =>
  Math.round(100 * messages.filter((m) => m.startsWith(word)).reduce((s, m) => s + Number(m.split(/[:,]/)[1 + axis]), 0)) / 100;

test("a tap clicks at its lift, a second tap soon after clicks again, and a wobble does not move", () => {
  const p = pad();
  p.touch("start", [100, 100]);
  p.at(20);
  p.touch("move", [103, 102]); // within the slop: held back
  assert.deepEqual(p.run(), []);
  p.at(20);
  p.touch("end", [103, 102]);
  assert.deepEqual(p.take(), ["CLICK:LEFT"]);
  p.at(DOUBLE_TAP_MS / 2);
  assert.deepEqual(p.tap([101, 100]), ["CLICK:LEFT"]);
  assert.deepEqual(p.run(), []);
  p.at(DOUBLE_TAP_MS);
  assert.deepEqual(p.tap([0, 0], [50, 0]), ["CLICK:RIGHT"]);
  assert.deepEqual(p.tap([0, 0], [50, 0], [90, 0]), ["CLICK:MIDDLE"]);
});

test("a touch held or moved soon after a tap drags; a slow short stroke moves the pointer all the way", () => {
  for (const how of ["hold", "move"]) {
    const p = pad();
    assert.deepEqual(p.tap([100, 100]), ["CLICK:LEFT"]);
    p.at(100);
    p.touch("start", [100, 100]);
    assert.equal(p.holdAt, p.now + HOLD_MS);
    if (how === "hold") p.hold(p.at(HOLD_MS));
    for (let i = 1; i <= 10; i++) p.touch("move", [100 + 4 * i, 100]), p.at(10);
    p.touch("end", [140, 100]);
    const sent = p.run();
    assert.deepEqual([sent[0], sent.at(-1), total(sent, "DRAG:", 0)], ["MOUSE_DOWN", "MOUSE_UP", 40], how);
  }
  const p = pad();
  p.touch("start", [0, 0]);
  for (let i = 1; i <= 30; i++) p.at(20), p.touch("move", [i * 0.3, 0]); // 9 px over 600 ms: no tap
  p.touch("end", [9, 0]);
  assert.deepEqual([total(p.run(), "MOVE:", 0), p.take()], [9, []]);
});

test("two fingers scroll by their distance there and back; a flick keeps going until a finger stops it", () => {
  const p = pad();
  const swipe = (dy, steps = 20, pause = 100) => {
    p.touch("start", [100, 300], [160, 300]);
    for (let i = 1; i <= steps; i++) p.at(8), p.touch("move", [100, 300 + dy * i / steps], [160, 300 + dy * i / steps]);
    p.at(pause);
    p.touch("end", [100, 300 + dy], [160, 300 + dy]);
    return p.run(60);
  };
  // Sent in the computer's units, which it scales by 1.2: the content moves as far as the fingers.
  assert.equal(Math.round(total(swipe(-200), "SCROLL:", 1) * 1.2), -200);
  assert.equal(Math.round(total(swipe(100), "SCROLL:", 1) * 1.2), 100);
  const flick = swipe(-200, 10, 8); // 2.5 px/ms, lifted while moving
  const more = total(flick, "SCROLL:", 1) * 1.2 + 200;
  assert.ok(more < -100 && more > -2.5 * FRICTION_MS, more);
  assert.ok(p.momentum, "still going after 60 frames");
  p.touch("start", [10, 10]);
  p.touch("end", [10, 10]);
  assert.deepEqual(p.run(5).filter((m) => m.startsWith("SCROLL")), []);
});

test("three fingers swiped show the overview, the desktop or the workspace beside, once; a diagonal does nothing", () => {
  for (const [dx, dy, commands] of [[0, -120, ["CMD:MISSION_CONTROL"]], [0, 120, ["CMD:DOCK"]],
    [-150, 20, ["CMD:WORKSPACE_RIGHT"]], [150, -20, ["CMD:WORKSPACE_LEFT"]], [100, 100, []]]) {
    const p = pad();
    const at = (i) => [100, 150, 200].map((x) => [x + dx * i / 12, 300 + dy * i / 12]);
    p.touch("start", ...at(0));
    for (let i = 1; i <= 12; i++) p.at(10), p.touch("move", ...at(i));
    p.touch("end", ...at(12));
    assert.deepEqual(p.run(), commands, `${dx},${dy}`);
  }
});
