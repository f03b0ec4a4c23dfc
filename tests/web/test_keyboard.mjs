// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
// Live typing: keyboards' event streams replayed into a field that behaves as the page's does, and
// the commands read back as a text editor on the computer would apply them.
import assert from "node:assert/strict";
import { readFileSync } from "node:fs";
import test from "node:test";
import { LiveText, SENTINEL, SHADOW_LENGTH, keyName } from "../../web/page/keyboard.js";

const { traces } = JSON.parse(readFileSync(new URL("keyboard-traces.json", import.meta.url), "utf8"));

// The step's edit applied to a value: `removed` units before the last `kept` ones replaced.
export function edit(value, [, , removed, inserted, , kept = 0]) {
  const at = value.length - kept;
  return value.slice(0, at - removed) + inserted + value.slice(at);
}

// An editor on the computer: text arrives at its end, Backspace takes the last character as seen.
const graphemes = new Intl.Segmenter("en", { granularity: "grapheme" });
function computer() {
  const c = { text: "" };
  c.apply = (message) => {
    if (message === "KEY:BACKSPACE") c.text = Array.from(graphemes.segment(c.text), (s) => s.segment).slice(0, -1).join("");
    else if (message === "KEY:ENTER") c.text += "\n";
    else if (message.startsWith("TYPE:")) c.text += Buffer.from(message.slice(5), "base64").toString("utf8");
    else c.keys = (c.keys || []).concat(message);
  };
  return c;
}

function replay(steps, live = new LiveText()) {
  const pc = computer();
  let field = SENTINEL, composing = false, plain = "";
  const changed = () => {
    const { messages, reset } = live.change(field, composing);
    messages.forEach(pc.apply);
    if (reset !== null) field = reset;
  };
  for (const step of steps) {
    if (step[0] === "compositionstart") composing = true;
    if (step[0] === "compositionend") (composing = false), changed();
    if (step[0] === "keydown" && keyName({ key: step[1], keyCode: step[2], isComposing: step[3] })) pc.apply("a key");
    if (step[0] !== "input") continue;
    field = edit(field, step);
    plain = edit(plain, step);
    composing = step[4];
    changed();
  }
  return { pc, plain, field };
}

test("each keyboard's trace leaves on the computer what its field finally held", () => {
  for (const trace of traces) {
    const { pc, plain } = replay(trace.steps);
    assert.equal(plain, trace.text, trace.name + ": the trace itself");
    assert.equal(pc.text, trace.text, trace.name);
    assert.equal(pc.keys, undefined, trace.name + ": a key pressed beside the text");
  }
});

test("⌫ in a field that looks empty erases on the computer, once per press, and the field is ready again", () => {
  const live = new LiveText();
  for (let i = 0; i < 3; i++) {
    assert.deepEqual(live.change("", false), { messages: ["KEY:BACKSPACE"], reset: SENTINEL });
  }
  assert.deepEqual(live.change(SENTINEL, false), { messages: [], reset: null });
  // Everything selected and cut takes what was typed, not one more.
  live.change(SENTINEL + "abc", false);
  assert.deepEqual(live.change("", false).messages, Array(3).fill("KEY:BACKSPACE"));
});

test("the field starts afresh after a line break and when long, never under a composition", () => {
  const live = new LiveText();
  assert.equal(live.change(SENTINEL + "one\ntwo", false).reset, SENTINEL + "two");
  const long = "word ".repeat(SHADOW_LENGTH / 5 + 1);
  assert.equal(live.change(SENTINEL + long, true).reset, null);
  assert.equal(live.change(SENTINEL + long, false).reset, SENTINEL);
  assert.deepEqual(live.change(SENTINEL + "a", false).messages, ["TYPE:YQ=="]);
});

test("latched modifiers make the next key a chord and let go; keys without text are named", () => {
  const live = new LiveText();
  live.change(SENTINEL + "ab", false);
  live.latched = ["SHIFT", "CTRL"];
  assert.deepEqual(live.change(SENTINEL + "abt", true), { messages: ["KEY:CTRL+SHIFT+T"], reset: SENTINEL + "ab" });
  assert.deepEqual(live.latched, []);
  live.latched = ["ALT"];
  assert.deepEqual(live.change(SENTINEL + "a", false).messages, ["KEY:ALT+BACKSPACE"]);
  assert.deepEqual(live.change(SENTINEL + "abé", false).messages, ["TYPE:w6k="], "the latch was let go");
  const key = (key, more = {}) => keyName({ key, keyCode: 0, ...more });
  assert.deepEqual(
    [key("ArrowLeft", { shiftKey: true }), key("c", { ctrlKey: true }), key("F11", { altKey: true }), key("Tab"),
      key("Enter"), key("a", { shiftKey: true }), key("Enter", { metaKey: true }), key("x", { keyCode: 229, ctrlKey: true }),
      keyName({ key: "2", keyCode: 50 }, ["SUPER"])],
    ["KEY:SHIFT+LEFT", "KEY:CTRL+C", "KEY:ALT+F11", "KEY:TAB", "", "", "KEY:SUPER+ENTER", "", "KEY:SUPER+2"]);
});
