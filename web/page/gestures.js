// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
// What the fingers on the pad mean, as the commands to send: no DOM and no clock of its own (the
// page passes the time), so that node's test runner can drive it.

export const TAP_MS = 250; // held longer, a touch is not a tap
export const TAP_SLOP = 10; // CSS pixels a tapping finger may wander
export const DOUBLE_TAP_MS = 300; // a touch this soon after a tap may become a drag
export const HOLD_MS = 180; // held this long after a tap, the button goes down
export const SWIPE = 60; // CSS pixels three fingers travel to switch views or workspaces
// The computer scales scrolls by 1.2: sent divided by it, content follows the finger.
export const SCROLL_PER_PIXEL = 1 / 1.2;
// Momentum: a flick faster than this (CSS pixels per ms) keeps scrolling, slowing with this time
// constant, until it is slower than STOP.
export const FLICK = 0.5;
export const FRICTION_MS = 325;
export const STOP = 0.03;

// Two decimals are sent; what rounding leaves stays for the next frame.
const cents = (value) => Math.round(value * 100) / 100;

export class Touchpad {
  constructor(settings) {
    this.settings = settings; // { speed, acceleration, natural }, read at each move
    this.touches = new Map();
    this.gesture = null;
    this.lastTapEnd = -Infinity;
    this.dragging = false;
    this.leftHeld = false;
    this.momentum = null;
    this.queue = [];
    this.moveX = this.moveY = this.scrollX = this.scrollY = 0;
  }

  // The commands decided since the last call, in order.
  take() {
    const out = this.queue;
    this.queue = [];
    return out;
  }

  // When the hold timer should fire (performance.now() time), or null.
  get holdAt() {
    return this.gesture ? this.gesture.holdAt : null;
  }

  start(points, now) {
    this.momentum = null; // a finger put down stops the content, as on a touchpad
    for (const p of points) this.touches.set(p.id, { x: p.x, y: p.y, time: now });
    if (!this.gesture) {
      // A touch soon after a tap: held, or moved, it drags.
      const afterTap = now - this.lastTapEnd < DOUBLE_TAP_MS;
      this.gesture = { start: now, fingers: 0, moved: 0, scrolled: false, afterTap, holdAt: afterTap ? now + HOLD_MS : null,
                       heldX: 0, heldY: 0, sumX: 0, sumY: 0, vx: 0, vy: 0, lastMove: now, swiped: false };
    }
    this.gesture.fingers = Math.max(this.gesture.fingers, this.touches.size);
    if (this.touches.size > 1) this.gesture.holdAt = null;
  }

  hold(now) {
    if (this.gesture && this.gesture.holdAt !== null && now >= this.gesture.holdAt) this.startDrag();
  }

  move(points, now) {
    const g = this.gesture;
    if (!g) return;
    let sumX = 0, sumY = 0, count = 0, elapsed = 0;
    for (const p of points) {
      const last = this.touches.get(p.id);
      if (!last) continue;
      sumX += p.x - last.x;
      sumY += p.y - last.y;
      elapsed = Math.max(elapsed, now - last.time);
      count++;
      this.touches.set(p.id, { x: p.x, y: p.y, time: now });
    }
    if (count === 0) return;
    const dx = sumX / count, dy = sumY / count;
    g.moved += Math.hypot(dx, dy);
    if (g.fingers >= 3) {
      this.swipe(g, dx, dy);
      return;
    }
    if (g.fingers === 2) {
      // Scrolling until every finger is lifted, so that lifting one does not move the pointer.
      if (this.touches.size < 2) return;
      g.scrolled = true;
      const sign = this.settings.natural ? 1 : -1;
      this.scrollX += sign * dx * SCROLL_PER_PIXEL;
      this.scrollY += sign * dy * SCROLL_PER_PIXEL;
      // The finger's speed over the last moves, for the momentum after it is lifted.
      const step = Math.max(now - g.lastMove, 1);
      g.vx = 0.5 * g.vx + 0.5 * sign * dx / step;
      g.vy = 0.5 * g.vy + 0.5 * sign * dy / step;
      g.lastMove = now;
      return;
    }
    if (g.afterTap && !this.dragging && g.moved > TAP_SLOP / 2) this.startDrag();
    const gain = this.gain(Math.hypot(dx, dy), elapsed);
    // A finger that may still be tapping holds its wobble back: the second tap of a double click
    // lands where the first did. Once it is no tap, the pointer catches up.
    if (!this.dragging && g.moved < TAP_SLOP && now - g.start < TAP_MS) {
      g.heldX += dx * gain;
      g.heldY += dy * gain;
      return;
    }
    this.moveX += g.heldX + dx * gain;
    this.moveY += g.heldY + dy * gain;
    g.heldX = g.heldY = 0;
  }

  swipe(g, dx, dy) {
    g.sumX += dx;
    g.sumY += dy;
    const across = Math.abs(g.sumX), along = Math.abs(g.sumY);
    // Once per gesture: up shows the overview, down the desktop; sideways the workspace beside
    // this one comes in the way the fingers go, as on a laptop's touchpad.
    if (g.swiped || Math.max(across, along) < SWIPE || Math.max(across, along) < 2 * Math.min(across, along)) return;
    g.swiped = true;
    if (along > across) this.queue.push(g.sumY < 0 ? "CMD:MISSION_CONTROL" : "CMD:DOCK");
    else this.queue.push(g.sumX < 0 ? "CMD:WORKSPACE_RIGHT" : "CMD:WORKSPACE_LEFT");
  }

  end(ids, now) {
    for (const id of ids) this.touches.delete(id);
    const g = this.gesture;
    if (!g || this.touches.size > 0) return;
    this.gesture = null;
    const isTap = now - g.start < TAP_MS && g.moved < TAP_SLOP && !g.scrolled;
    if (this.dragging) {
      this.flushMotion();
      this.dragging = false;
      this.queue.push("MOUSE_UP");
    } else if (isTap && g.fingers === 1) {
      // At once: a second tap soon after is a second click, which the desktop counts as a double
      // click; the wobble held back is dropped.
      this.lastTapEnd = now;
      this.flushMotion();
      this.queue.push("CLICK:LEFT");
    } else if (isTap && g.fingers === 2) {
      this.queue.push("CLICK:RIGHT");
    } else if (isTap && g.fingers === 3) {
      this.queue.push("CLICK:MIDDLE");
    } else {
      this.moveX += g.heldX;
      this.moveY += g.heldY;
    }
    // A flick keeps the content going; fingers that stopped before lifting do not.
    if (g.scrolled && now - g.lastMove < 50 && Math.hypot(g.vx, g.vy) > FLICK)
      this.momentum = { vx: g.vx, vy: g.vy, last: now };
  }

  // Called once per animation frame: the motion summed since the last one, and the momentum's
  // share. True while the momentum wants more frames.
  frame(now) {
    const m = this.momentum;
    if (m) {
      const dt = Math.max(0, now - m.last);
      // Exactly the distance the decaying speed covers over dt.
      const travel = FRICTION_MS * (1 - Math.exp(-dt / FRICTION_MS));
      this.scrollX += m.vx * travel * SCROLL_PER_PIXEL;
      this.scrollY += m.vy * travel * SCROLL_PER_PIXEL;
      const decay = Math.exp(-dt / FRICTION_MS);
      m.vx *= decay;
      m.vy *= decay;
      m.last = now;
      if (Math.hypot(m.vx, m.vy) < STOP) this.momentum = null;
    }
    this.flushMotion();
    return this.momentum !== null;
  }

  // Moves as the mouse of a desktop browser asks.
  pointer(dx, dy) {
    this.moveX += dx * this.settings.speed;
    this.moveY += dy * this.settings.speed;
  }

  click() {
    this.flushMotion();
    this.queue.push("CLICK:LEFT");
  }

  pressLeft() {
    if (this.leftHeld || this.dragging) return false;
    this.flushMotion();
    this.leftHeld = true;
    this.queue.push("MOUSE_DOWN");
    return true;
  }

  releaseLeft() {
    if (!this.leftHeld) return;
    this.flushMotion();
    this.leftHeld = false;
    this.queue.push("MOUSE_UP");
  }

  // The page is hidden or the view changed: no button stays down.
  releaseButtons() {
    if (this.dragging || this.leftHeld) {
      this.flushMotion();
      this.queue.push("MOUSE_UP");
    }
    this.dragging = this.leftHeld = false;
  }

  // The connection is gone: the computer let the button go, and nothing waits to be sent.
  reset() {
    this.touches.clear();
    this.gesture = null;
    this.dragging = this.leftHeld = false;
    this.momentum = null;
    this.queue = [];
    this.moveX = this.moveY = this.scrollX = this.scrollY = 0;
  }

  startDrag() {
    if (this.dragging || !this.gesture) return;
    this.gesture.holdAt = null;
    this.flushMotion();
    this.dragging = true;
    this.queue.push("MOUSE_DOWN");
  }

  gain(distance, elapsed) {
    const { speed, acceleration } = this.settings;
    if (!acceleration) return speed;
    const velocity = distance / Math.max(elapsed, 4); // CSS pixels per millisecond
    return speed * Math.min(2.5, Math.max(1, 0.7 + velocity * 0.9));
  }

  flushMotion() {
    const mx = cents(this.moveX), my = cents(this.moveY);
    if (mx !== 0 || my !== 0) {
      this.moveX -= mx;
      this.moveY -= my;
      this.queue.push((this.dragging || this.leftHeld ? "DRAG:" : "MOVE:") + mx + "," + my);
    }
    const sx = cents(this.scrollX), sy = cents(this.scrollY);
    if (sx !== 0 || sy !== 0) {
      this.scrollX -= sx;
      this.scrollY -= sy;
      this.queue.push("SCROLL:" + sx + "," + sy);
    }
  }
}
