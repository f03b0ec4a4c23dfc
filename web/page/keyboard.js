// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
// Live typing from the phone's own keyboard. Phone keyboards do not send keys: they edit a text
// field, composing, autocorrecting and re-typing words as they please. So the field is watched,
// not the keys: its content is compared with what the computer was sent, and only the difference
// goes out, as Backspaces and then new text. Whatever a keyboard does on the way, the computer
// ends with what the field shows, each character once.

// Kept in front of the field's text so that ⌫ in a field that looks empty still deletes
// something, and says so. Invisible, and not a letter a keyboard would join to a word.
export const SENTINEL = "\u200b";
// Past this many characters without a line break the field starts afresh at the next word:
// the shadow stays short, and so does each comparison.
export const SHADOW_LENGTH = 120;
export const MODIFIERS = ["CTRL", "SHIFT", "ALT", "SUPER"];

const segmenter = typeof Intl !== "undefined" && Intl.Segmenter ? new Intl.Segmenter(undefined, { granularity: "grapheme" }) : null;
// A Backspace deletes what the eye sees as one character: an emoji with its skin tone, a letter
// with its accent.
export function characters(text) {
  return segmenter ? Array.from(segmenter.segment(text), (s) => s.segment) : Array.from(text);
}

export function base64(text) {
  const bytes = new TextEncoder().encode(text);
  let binary = "";
  for (let i = 0; i < bytes.length; i += 0x8000) binary += String.fromCharCode.apply(null, bytes.subarray(i, i + 0x8000));
  return btoa(binary);
}

// How many characters to erase from the end of `before`, and what to type then, to get `after`.
export function difference(before, after) {
  const a = characters(before), b = characters(after);
  let same = 0;
  while (same < a.length && same < b.length && a[same] === b[same]) same++;
  return { erase: a.length - same, insert: b.slice(same).join("") };
}

// The commands that type a text: line breaks become Enter, so a chat sends where the user meant it to.
export function typing(text) {
  const messages = [];
  text.split(/\r\n|\n|\r/).forEach((line, i) => {
    if (i > 0) messages.push("KEY:ENTER");
    if (line) messages.push("TYPE:" + base64(line));
  });
  return messages;
}

// A key a physical keyboard pressed, as a "KEY:" name; empty for keys whose text reaches the
// field itself. Android reports every key of a soft keyboard as 229: those are left to the field.
const NAMED_KEYS = {
  ArrowUp: "UP", ArrowDown: "DOWN", ArrowLeft: "LEFT", ArrowRight: "RIGHT", Escape: "ESC", Tab: "TAB",
  Delete: "DELETE", Home: "HOME", End: "END", PageUp: "PAGE_UP", PageDown: "PAGE_DOWN",
  Enter: "ENTER", Backspace: "BACKSPACE", " ": "SPACE",
};
export function keyName(event, latched = []) {
  if (event.isComposing || event.keyCode === 229) return "";
  const held = { CTRL: event.ctrlKey, SHIFT: event.shiftKey, ALT: event.altKey, SUPER: event.metaKey };
  const modifiers = MODIFIERS.filter((m) => held[m] || latched.includes(m));
  const name = NAMED_KEYS[event.key] || (/^F([1-9]|1[0-2])$/.test(event.key) ? event.key : "");
  // Characters, Enter and Backspace alone (or with Shift) are the field's: typed as text.
  const chorded = modifiers.some((m) => m !== "SHIFT");
  if (name && (chorded || !/^(ENTER|BACKSPACE|SPACE)$/.test(name))) return "KEY:" + modifiers.concat(name).join("+");
  if (chorded && /^[a-z0-9]$/i.test(event.key)) return "KEY:" + modifiers.concat(event.key.toUpperCase()).join("+");
  return "";
}

// The chord the latched modifiers make with a character the keyboard typed, or with ⌫.
export function chord(latched, character) {
  const name = /^[a-z0-9]$/i.test(character) ? character.toUpperCase()
    : { "": "BACKSPACE", " ": "SPACE", "\n": "ENTER", "\t": "TAB" }[character];
  const modifiers = MODIFIERS.filter((m) => latched.includes(m));
  return name && modifiers.length ? "KEY:" + modifiers.concat(name).join("+") : "";
}

// The field's side of live typing: fed the field's value after each change, it answers with the
// commands to send and, where the field must start afresh, the value to put in it.
export class LiveText {
  constructor() {
    this.shown = SENTINEL; // the field's value when the computer last caught up with it
    this.latched = [];
  }

  // The field holds `value` now; `composing`: a keyboard's composition is open, and the field
  // must not be touched under it.
  change(value, composing) {
    const before = this.shown.split(SENTINEL).join(""), after = value.split(SENTINEL).join("");
    const kept = value.startsWith(SENTINEL);
    let { erase, insert } = difference(before, after);
    // ⌫ in a field that looks empty took the sentinel: a Backspace for the computer's text.
    if (value !== this.shown && !kept && erase === 0 && insert === "") erase = 1;
    if (this.latched.length && (erase || insert)) return this.chorded(erase, insert);
    const messages = Array(erase).fill("KEY:BACKSPACE").concat(typing(insert));
    this.shown = value;
    let reset = null;
    if (!composing) {
      const lines = after.split(/\r\n|\n|\r/);
      // After a line break, or once long and at a word's end, the field starts afresh; a lost
      // sentinel comes back.
      if (lines.length > 1) reset = SENTINEL + lines[lines.length - 1];
      else if (characters(after).length > SHADOW_LENGTH && /\s$/.test(after)) reset = SENTINEL;
      else if (!kept) reset = SENTINEL + after;
    }
    if (reset !== null) this.shown = reset;
    return { messages, reset };
  }

  // With modifiers latched, the next key is a chord, not text: the field gives the text back.
  chorded(erase, insert) {
    const message = chord(this.latched, erase > 0 ? "" : characters(insert)[0]);
    this.latched = [];
    return { messages: message ? [message] : [], reset: this.shown };
  }

  // Starts afresh, e.g. after the connection dropped: what was sent is the computer's now.
  clear() {
    this.shown = SENTINEL;
    return SENTINEL;
  }
}
