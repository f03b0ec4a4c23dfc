// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
// The page's half of the encrypted channel: the answer to the server's challenge, and
// ChaCha20-Poly1305 in each direction with keys derived from the shared key and both sides'
// nonces, the message's number as the nonce. The cryptography is the pinned noble packages'
// (plain http has no crypto.subtle); only the arrangement is ours, mirrored by the server.
import { chacha20poly1305 } from "./vendor/noble-ciphers/chacha.js";
import { hmac } from "./vendor/noble-hashes/hmac.js";
import { sha256 } from "./vendor/noble-hashes/sha2.js";

const encoder = new TextEncoder();
const decoder = new TextDecoder("utf-8", { fatal: true });

export const hex = (bytes) => Array.from(bytes, (b) => b.toString(16).padStart(2, "0")).join("");
export const fromHex = (text) => Uint8Array.from(text.match(/../g) || [], (pair) => parseInt(pair, 16));

function joined(...parts) {
  const out = new Uint8Array(parts.reduce((n, part) => n + part.length, 0));
  let at = 0;
  for (const part of parts) {
    out.set(part, at);
    at += part.length;
  }
  return out;
}

// HMAC-SHA256 of the challenge's hex text under the key, in hex.
export const answer = (key, challenge) => hex(hmac(sha256, key, encoder.encode(challenge)));

// 32, 64, … 4096 bytes, then multiples of 4096: the length of what was typed shows little.
export function bucket(size) {
  let bucket = 32;
  while (bucket < size && bucket < 4096) bucket *= 2;
  return size <= bucket ? bucket : Math.ceil(size / 4096) * 4096;
}

function nonce(number) {
  const bytes = new Uint8Array(12);
  new DataView(bytes.buffer).setBigUint64(4, BigInt(number), true);
  return bytes;
}

// Throws on a message that is not the next one from the server (altered, replayed, reordered).
export function channel(key, challenge, clientNonce) {
  const material = joined(fromHex(challenge), clientNonce);
  const up = hmac(sha256, key, joined(encoder.encode("quillmote up"), material));
  const down = hmac(sha256, key, joined(encoder.encode("quillmote down"), material));
  let sent = 0;
  let received = 0;
  return {
    seal(text) {
      const plain = encoder.encode(text);
      const padded = new Uint8Array(bucket(plain.length));
      padded.set(plain);
      return chacha20poly1305(up, nonce(sent++)).encrypt(padded);
    },
    open(bytes) {
      const plain = chacha20poly1305(down, nonce(received)).decrypt(bytes);
      received++;
      const end = plain.indexOf(0);
      return decoder.decode(end < 0 ? plain : plain.subarray(0, end));
    },
  };
}

export const randomBytes = (count) => crypto.getRandomValues(new Uint8Array(count));

if (typeof window !== "undefined") window.QuillmoteChannel = { answer, channel, hex, randomBytes };
