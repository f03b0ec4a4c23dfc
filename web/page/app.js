// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
// The browser remote: a touchpad, keys, actions and applications, speaking the phone app's
// commands over one WebSocket, one command per message.
"use strict";
(function () {
  const $ = (selector) => document.querySelector(selector);

  // ---- texts: Chinese for Chinese readers, English for everyone else ----
  const texts = {
    en: {
      connected: "Connected", connecting: "Connecting…", pairing: "Pairing…", reconnecting: "Reconnecting…",
      offline: "Offline", needsCode: "Enter the code", settings: "Settings", pad: "Touchpad",
      padHint: "Tap to click · two fingers: right click, scroll · double-tap and hold to drag",
      left: "Left", right: "Right", typeHere: "Type text for the computer", send: "Send", enter: "Enter",
      backspace: "⌫ Backspace", tab: "Tab", esc: "Esc", space: "Space", delete: "Delete", up: "Up", down: "Down",
      leftKey: "Left", rightKey: "Right", home: "Home", end: "End", pageUp: "Page Up", pageDown: "Page Down",
      paste: "Paste", ctrl: "Ctrl", showDesktop: "Show desktop", launcher: "Launcher", overview: "Overview",
      closeWindow: "Close window", refresh: "Refresh", mute: "Mute", volumeDown: "Volume −", volumeUp: "Volume +",
      previous: "Previous", playPause: "Play/Pause", next: "Next", screenSaver: "Screen saver",
      wake: "Wake", sleep: "Sleep", sleepQuestion: "Put the computer to sleep?", cancel: "Cancel",
      searchApps: "Search applications", address: "Web address", open: "Open", opening: "Opening %s",
      noApps: "No application found", tabPad: "Touchpad", tabKeys: "Keyboard", tabActions: "Actions",
      tabApps: "Apps", speed: "Pointer speed", acceleration: "Acceleration", natural: "Natural scrolling",
      forget: "Forget this computer", done: "Done", pairTitle: "Pair with this computer",
      codeHint: "6-digit code", pair: "Pair",
      codeMessage: "Enter the pairing code that Quillmote shows, or scan its QR code.",
      wrongCode: "That code was not accepted. Check the code Quillmote shows and try again.",
      staleLink: "This link is no longer valid. Scan the new QR code, or enter the code.",
      throttled: "Refused for now; retrying…",
      approval: "Allow this phone on the computer…",
      notPrivate: "Not private: paired with the code, this connection crosses the Wi-Fi unencrypted. Scan the QR code on the computer for a private one.",
      notAllowed: "The computer did not allow this phone. Ask its user to allow it, then pair again.",
      forgotten: "This browser no longer remembers the computer.",
    },
    zh: {
      connected: "已连接", connecting: "正在连接…", pairing: "正在配对…", reconnecting: "正在重新连接…",
      offline: "离线", needsCode: "请输入配对码", settings: "设置", pad: "触控板",
      padHint: "轻点：点击 · 双指：右键、滚动 · 轻点两下并按住：拖动",
      left: "左键", right: "右键", typeHere: "输入要发送到电脑的文字", send: "发送", enter: "回车",
      backspace: "⌫ 退格", tab: "Tab", esc: "Esc", space: "空格", delete: "删除", up: "上", down: "下",
      leftKey: "左", rightKey: "右", home: "Home", end: "End", pageUp: "上一页", pageDown: "下一页",
      paste: "粘贴", ctrl: "Ctrl", showDesktop: "显示桌面", launcher: "启动器", overview: "窗口概览",
      closeWindow: "关闭窗口", refresh: "刷新", mute: "静音", volumeDown: "音量 −", volumeUp: "音量 +",
      previous: "上一首", playPause: "播放/暂停", next: "下一首", screenSaver: "屏幕保护",
      wake: "唤醒", sleep: "睡眠", sleepQuestion: "让电脑进入睡眠？", cancel: "取消",
      searchApps: "搜索应用", address: "网址", open: "打开", opening: "正在打开 %s",
      noApps: "未找到应用", tabPad: "触控板", tabKeys: "键盘", tabActions: "操作", tabApps: "应用",
      speed: "指针速度", acceleration: "加速", natural: "自然滚动", forget: "忘记这台电脑", done: "完成",
      pairTitle: "与这台电脑配对", codeHint: "6 位配对码", pair: "配对",
      codeMessage: "请输入 Quillmote 显示的配对码，或扫描它的二维码。",
      wrongCode: "配对码不正确。请核对 Quillmote 显示的配对码后重试。",
      staleLink: "此链接已失效。请扫描新的二维码，或输入配对码。",
      throttled: "暂时被拒绝，正在重试…",
      approval: "请在电脑上允许这台手机…",
      notPrivate: "不私密：用配对码配对时，连接以明文经过 Wi-Fi。扫描电脑上的二维码即可获得加密连接。",
      notAllowed: "电脑没有允许这台手机。请电脑的用户允许后再配对。",
      forgotten: "此浏览器已不再记住这台电脑。",
    },
  };
  const firstLanguage = ((navigator.languages && navigator.languages[0]) || navigator.language || "en").toLowerCase();
  const lang = firstLanguage.startsWith("zh") ? "zh" : "en";
  const t = (key) => texts[lang][key] || texts.en[key] || key;
  document.documentElement.lang = lang === "zh" ? "zh-CN" : "en";
  for (let i = 1; i <= 12; i++) {
    const key = document.createElement("button");
    key.type = "button";
    key.dataset.send = "KEY:F" + i;
    key.textContent = "F" + i;
    $("#fkeys").appendChild(key);
  }
  for (const el of document.querySelectorAll("[data-t]")) el.textContent = t(el.dataset.t);
  for (const el of document.querySelectorAll("[data-t-label]")) el.setAttribute("aria-label", t(el.dataset.tLabel));
  for (const el of document.querySelectorAll("[data-t-placeholder]")) el.placeholder = t(el.dataset.tPlaceholder);

  // ---- storage: the link's secret and the pad's settings ----
  const memory = {};
  const store = {
    get(key) {
      try { return localStorage.getItem(key); } catch (e) { return memory[key] ?? null; }
    },
    set(key, value) {
      try { localStorage.setItem(key, value); } catch (e) { memory[key] = value; }
    },
    remove(key) {
      try { localStorage.removeItem(key); } catch (e) { delete memory[key]; }
    },
  };
  const SECRET = "quillmote.secret";
  // This browser's own key once the link paired it ({id, key}): the link is needed only once.
  const DEVICE = "quillmote.device";
  // The fragment never reaches the server; it is kept here and taken out of the address bar, out
  // of sight. The browser's history keeps the link as opened: a new link makes that one worthless.
  if (location.hash) {
    const secret = new URLSearchParams(location.hash.slice(1)).get("k");
    if (secret && /^[A-Za-z0-9_-]{22}$/.test(secret)) {
      // A link opened is a pairing asked for: it wins over a key this browser may hold.
      store.set(SECRET, secret);
      store.remove(DEVICE);
    }
    history.replaceState(null, "", location.pathname + location.search);
  }
  const settings = {
    speed: parseFloat(store.get("quillmote.speed")) || 1.5,
    acceleration: store.get("quillmote.acceleration") !== "false",
    natural: store.get("quillmote.natural") !== "false",
  };

  // ---- the connection ----
  let ws = null;
  let paired = false;
  let authSent = false;
  // The computer refused the link for now (too many attempts from this network): said until it
  // pairs or refuses for good.
  let refusedForNow = false;
  let awaitingApproval = false; // sent the right code; the computer's user has not answered yet
  let code = null; // a code typed on this page, kept only in memory to pair again after a reconnect
  let backoff = 500;
  let reconnectTimer = 0;
  let lastHeard = 0;
  let lastPing = 0;
  const PING_MS = 2000;
  const DEAD_MS = 5000;

  function setState(state) {
    $("#state").className = "state " + state;
    $("#state-text").textContent = t(state);
    document.body.dataset.state = state;
  }

  // Paired with a key, every message is sealed; paired with the code, they go in clear.
  let sealing = null;
  let opening = null; // the channel whose first sealed message (the server's proof) is awaited
  function transmit(message) {
    ws.send(sealing ? sealing.seal(message) : message);
  }

  function send(message) {
    if (!ws || ws.readyState !== WebSocket.OPEN || (!paired && !/^(PAIR:|AUTH:|PING$)/.test(message))) return false;
    transmit(message);
    return true;
  }

  function received(socket, data) {
    if (typeof data === "string") {
      // In clear after sealing began is not the server's.
      if (sealing) dropSocket();
      else receive(data);
      return;
    }
    const channel = sealing || opening;
    let text;
    try {
      text = channel.open(new Uint8Array(data));
    } catch (e) {
      dropSocket();
      return;
    }
    sealing = channel;
    receive(text);
  }

  function connect() {
    clearTimeout(reconnectTimer);
    if (ws) return;
    if (!refusedForNow) setState(backoff > 500 ? "reconnecting" : "connecting");
    const socket = new WebSocket("ws://" + location.host + "/ws");
    ws = socket;
    socket.onopen = () => { lastHeard = Date.now(); };
    socket.binaryType = "arraybuffer";
    socket.onmessage = (event) => { if (ws === socket) received(socket, event.data); };
    socket.onclose = () => { if (ws === socket) dropSocket(); };
  }

  function dropSocket() {
    const socket = ws;
    ws = null;
    paired = false;
    authSent = false;
    awaitingApproval = false;
    sealing = opening = null;
    resetGestures();
    if (socket) {
      socket.onclose = socket.onmessage = null;
      try { socket.close(); } catch (e) { /* already closed */ }
    }
    setState(navigator.onLine === false ? "offline" : refusedForNow ? "throttled" : "reconnecting");
    // Backing off: a computer that is off is not hammered, one that comes back is found soon.
    reconnectTimer = setTimeout(connect, backoff * (0.8 + 0.4 * Math.random()));
    backoff = Math.min(backoff * 2, 8000);
  }

  function reconnectNow() {
    backoff = 500;
    if (!ws) connect();
    else if (ws.readyState === WebSocket.OPEN) sendPing();
  }

  function sendPing() {
    lastPing = Date.now();
    transmit("PING");
  }

  function storedDevice() {
    try {
      const device = JSON.parse(store.get(DEVICE) || "null");
      return device && typeof device.id === "string" && typeof device.key === "string" ? device : null;
    } catch (e) {
      return null;
    }
  }

  function base64UrlBytes(text) {
    const binary = atob(text.replace(/-/g, "+").replace(/_/g, "/") + "==".slice(0, (4 - (text.length % 4)) % 4));
    return Uint8Array.from(binary, (c) => c.charCodeAt(0));
  }

  function receive(message) {
    lastHeard = Date.now();
    if (message.startsWith("CHALLENGE:")) {
      const secret = store.get(SECRET);
      const device = storedDevice();
      // A PAIR_FAILED on this socket then says whether the link or a typed code was refused.
      authSent = false;
      if (device || secret) {
        const crypto = window.QuillmoteChannel;
        const key = base64UrlBytes(device ? device.key : secret);
        const challenge = message.slice(10);
        const nonce = crypto.randomBytes(16);
        opening = crypto.channel(key, challenge, nonce);
        authSent = true;
        setState("pairing");
        ws.send("AUTH:" + crypto.answer(key, challenge) + "|" + crypto.hex(nonce) + (device ? "|" + device.id : ""));
      } else if (code) {
        setState("pairing");
        ws.send("PAIR:" + code);
      } else {
        askForCode(t("codeMessage"));
      }
    } else if (message.startsWith("DEVICE:") && sealing) {
      const [id, key] = message.slice(7).split("|");
      store.set(DEVICE, JSON.stringify({ id, key }));
      store.remove(SECRET);
    } else if (message.startsWith("PAIR_SUCCESS|")) {
      paired = true;
      $("#privacy").hidden = Boolean(sealing);
      awaitingApproval = false;
      refusedForNow = false;
      backoff = 500;
      setState("connected");
      $("#code-sheet").hidden = true;
    } else if (message === "PAIR_THROTTLED" && authSent) {
      // The secret is good as far as anyone knows: kept, and answered again on a later connection.
      refusedForNow = true;
      dropSocket();
    } else if (message === "PAIR_PENDING") {
      // A phone the computer has not seen before: its user answers there.
      awaitingApproval = true;
      $("#code-sheet").hidden = true;
      setState("approval");
    } else if (message === "PAIR_FAILED") {
      refusedForNow = false;
      if (awaitingApproval) {
        awaitingApproval = false;
        code = null;
        askForCode(t("notAllowed"));
      } else if (authSent) {
        // A key that no longer pairs (a new link, or removed on the computer) is forgotten.
        authSent = false;
        store.remove(SECRET);
        store.remove(DEVICE);
        askForCode(t("staleLink"));
      } else if (!paired) {
        code = null;
        askForCode(t("wrongCode"));
      }
    } else if (message.startsWith("RESULT:APP:")) {
      showApps(message.slice(11));
    }
  }

  function askForCode(text) {
    setState("needsCode");
    $("#code-message").textContent = text;
    $("#code-sheet").hidden = false;
  }

  $("#code-form").addEventListener("submit", (event) => {
    event.preventDefault();
    const typed = $("#code").value.replace(/\D/g, "");
    if (typed.length !== 6) return;
    code = typed;
    $("#code").value = "";
    $("#code").blur();
    if (ws && ws.readyState === WebSocket.OPEN) {
      setState("pairing");
      ws.send("PAIR:" + code);
    } else {
      reconnectNow();
    }
  });

  setInterval(() => {
    if (!ws || ws.readyState !== WebSocket.OPEN) return;
    // A link that died sends no close: silence is the only sign, so the page asks every 2 s.
    if (Date.now() - lastHeard > DEAD_MS) dropSocket();
    else if (Date.now() - lastPing >= PING_MS) sendPing();
  }, 500);
  document.addEventListener("visibilitychange", () => {
    if (document.visibilityState === "visible") reconnectNow();
    else releaseButtons();
  });
  window.addEventListener("pagehide", releaseButtons);
  window.addEventListener("online", reconnectNow);
  window.addEventListener("offline", () => setState("offline"));

  // ---- the touchpad ----
  const TAP_MS = 250;
  const TAP_SLOP = 10;
  const DOUBLE_TAP_MS = 300;
  const HOLD_MS = 180;
  const SCROLL_GAIN = 0.35;
  const pad = $("#pad");
  const touches = new Map();
  let gesture = null;
  let tapTimer = 0;
  let lastTapEnd = 0;
  let holdTimer = 0;
  let dragging = false;
  let leftHeld = false;
  // Motion waiting for the next frame, fractions included: nothing the finger did is dropped.
  let moveX = 0, moveY = 0, scrollX = 0, scrollY = 0;
  let frameRequested = false;

  function schedule() {
    if (!frameRequested) {
      frameRequested = true;
      requestAnimationFrame(flush);
    }
  }

  // Two decimals are sent; what rounding leaves stays for the next frame.
  const cents = (value) => Math.round(value * 100) / 100;

  function flush() {
    frameRequested = false;
    if (!paired || !ws) {
      moveX = moveY = scrollX = scrollY = 0;
      return;
    }
    // A slow network holds motion here, summed, rather than in a queue that lags behind the finger.
    if (ws.bufferedAmount > 4096) {
      schedule();
      return;
    }
    const mx = cents(moveX), my = cents(moveY);
    if (mx !== 0 || my !== 0) {
      moveX -= mx;
      moveY -= my;
      send((dragging || leftHeld ? "DRAG:" : "MOVE:") + mx + "," + my);
    }
    const sx = cents(scrollX), sy = cents(scrollY);
    if (sx !== 0 || sy !== 0) {
      scrollX -= sx;
      scrollY -= sy;
      send("SCROLL:" + sx + "," + sy);
    }
  }

  function gain(distance, elapsed) {
    if (!settings.acceleration) return settings.speed;
    const velocity = distance / Math.max(elapsed, 4); // CSS pixels per millisecond
    return settings.speed * Math.min(2.5, Math.max(1, 0.7 + velocity * 0.9));
  }

  function startDrag() {
    clearTimeout(holdTimer);
    if (dragging || !gesture) return;
    flush();
    dragging = true;
    send("MOUSE_DOWN");
  }

  function releaseButtons() {
    if (dragging || leftHeld) {
      flush();
      send("MOUSE_UP");
    }
    dragging = false;
    leftHeld = false;
    $("#left-button").classList.remove("held");
  }

  function resetGestures() {
    touches.clear();
    gesture = null;
    clearTimeout(tapTimer);
    clearTimeout(holdTimer);
    dragging = false;
    leftHeld = false;
    moveX = moveY = scrollX = scrollY = 0;
    pad.classList.remove("active");
    $("#left-button").classList.remove("held");
  }

  pad.addEventListener("touchstart", (event) => {
    event.preventDefault();
    const now = performance.now();
    for (const touch of event.changedTouches)
      touches.set(touch.identifier, { x: touch.clientX, y: touch.clientY, time: now });
    if (!gesture) {
      // A touch soon after a tap: a double tap, or the start of a drag.
      const afterTap = tapTimer !== 0 && now - lastTapEnd < DOUBLE_TAP_MS;
      if (afterTap) {
        clearTimeout(tapTimer);
        tapTimer = 0;
        holdTimer = setTimeout(startDrag, HOLD_MS);
      }
      gesture = { start: now, fingers: 0, moved: 0, scrolled: false, afterTap };
      pad.classList.add("active");
    }
    gesture.fingers = Math.max(gesture.fingers, touches.size);
    if (touches.size > 1) clearTimeout(holdTimer);
  }, { passive: false });

  pad.addEventListener("touchmove", (event) => {
    event.preventDefault();
    if (!gesture) return;
    const now = performance.now();
    let sumX = 0, sumY = 0, count = 0, elapsed = 0;
    for (const touch of event.changedTouches) {
      const last = touches.get(touch.identifier);
      if (!last) continue;
      sumX += touch.clientX - last.x;
      sumY += touch.clientY - last.y;
      elapsed = Math.max(elapsed, now - last.time);
      count++;
      touches.set(touch.identifier, { x: touch.clientX, y: touch.clientY, time: now });
    }
    if (count === 0) return;
    const dx = sumX / count, dy = sumY / count;
    gesture.moved += Math.hypot(dx, dy);
    if (gesture.fingers >= 2) {
      // Scrolling until every finger is lifted, so that lifting one does not move the pointer.
      if (touches.size >= 2) {
        gesture.scrolled = true;
        const sign = settings.natural ? 1 : -1;
        scrollX += sign * dx * SCROLL_GAIN;
        scrollY += sign * dy * SCROLL_GAIN;
        schedule();
      }
      return;
    }
    if (gesture.afterTap && !dragging && gesture.moved > TAP_SLOP / 2) startDrag();
    const g = gain(Math.hypot(dx, dy), elapsed);
    moveX += dx * g;
    moveY += dy * g;
    schedule();
  }, { passive: false });

  function touchEnd(event) {
    event.preventDefault();
    for (const touch of event.changedTouches) touches.delete(touch.identifier);
    if (!gesture || touches.size > 0) return;
    const now = performance.now();
    const ended = gesture;
    gesture = null;
    pad.classList.remove("active");
    clearTimeout(holdTimer);
    const isTap = now - ended.start < TAP_MS && ended.moved < TAP_SLOP && !ended.scrolled;
    if (dragging) {
      flush();
      dragging = false;
      send("MOUSE_UP");
    } else if (isTap && ended.fingers === 1 && ended.afterTap) {
      send("CLICK:DOUBLE");
    } else if (isTap && ended.fingers === 1) {
      // Waits a moment: a second touch makes it a double click or a drag instead.
      lastTapEnd = now;
      tapTimer = setTimeout(() => {
        tapTimer = 0;
        send("CLICK:LEFT");
      }, DOUBLE_TAP_MS);
    } else if (isTap && ended.fingers === 2) {
      send("CLICK:RIGHT");
    } else if (isTap && ended.fingers === 3) {
      send("CLICK:MIDDLE");
    }
  }
  pad.addEventListener("touchend", touchEnd, { passive: false });
  pad.addEventListener("touchcancel", touchEnd, { passive: false });
  // iOS pinch gestures would zoom the page.
  document.addEventListener("gesturestart", (event) => event.preventDefault());

  // A mouse on a desktop browser drives the pad too, for trying it out.
  let mouseLast = null;
  pad.addEventListener("mousedown", (event) => { mouseLast = { x: event.clientX, y: event.clientY, moved: 0 }; });
  window.addEventListener("mousemove", (event) => {
    if (!mouseLast) return;
    const dx = event.clientX - mouseLast.x, dy = event.clientY - mouseLast.y;
    mouseLast = { x: event.clientX, y: event.clientY, moved: mouseLast.moved + Math.hypot(dx, dy) };
    moveX += dx * settings.speed;
    moveY += dy * settings.speed;
    schedule();
  });
  window.addEventListener("mouseup", () => {
    if (mouseLast && mouseLast.moved < TAP_SLOP) send("CLICK:LEFT");
    mouseLast = null;
  });

  const leftButton = $("#left-button");
  leftButton.addEventListener("pointerdown", (event) => {
    event.preventDefault();
    leftButton.setPointerCapture(event.pointerId);
    if (leftHeld || dragging) return;
    flush();
    leftHeld = true;
    leftButton.classList.add("held");
    send("MOUSE_DOWN");
  });
  const leftUp = () => {
    if (!leftHeld) return;
    flush();
    leftHeld = false;
    leftButton.classList.remove("held");
    send("MOUSE_UP");
  };
  leftButton.addEventListener("pointerup", leftUp);
  leftButton.addEventListener("pointercancel", leftUp);
  $("#right-button").addEventListener("click", () => send("CLICK:RIGHT"));

  // ---- keys, actions, text ----
  document.addEventListener("click", (event) => {
    const target = event.target.closest("[data-send]");
    if (target) send(target.dataset.send);
  });

  function base64(text) {
    const bytes = new TextEncoder().encode(text);
    let binary = "";
    for (let i = 0; i < bytes.length; i += 0x8000) binary += String.fromCharCode.apply(null, bytes.subarray(i, i + 0x8000));
    return btoa(binary);
  }
  $("#type-form").addEventListener("submit", (event) => {
    event.preventDefault();
    const field = $("#text");
    // An empty field sends Enter itself, so a form on the computer can be submitted from here.
    if (field.value === "") send("KEY:ENTER");
    else if (send("TYPE:" + base64(field.value))) field.value = "";
  });

  $("#sleep-button").addEventListener("click", () => { $("#confirm-sheet").hidden = false; });
  $("#confirm-no").addEventListener("click", () => { $("#confirm-sheet").hidden = true; });
  $("#confirm-yes").addEventListener("click", () => {
    $("#confirm-sheet").hidden = true;
    send("CMD:SLEEP");
  });

  // ---- applications and addresses ----
  let searchTimer = 0;
  $("#app-search").addEventListener("input", () => {
    clearTimeout(searchTimer);
    searchTimer = setTimeout(() => {
      const query = $("#app-search").value.trim();
      if (query) send("QUERY:APP:" + query);
      else $("#app-results").replaceChildren();
    }, 250);
  });
  $("#app-search").addEventListener("keydown", (event) => { if (event.key === "Enter") event.target.blur(); });

  function showApps(list) {
    const results = $("#app-results");
    results.replaceChildren();
    $("#apps-note").textContent = list ? "" : t("noApps");
    if (!list) return;
    for (const entry of list.split("||")) {
      // Paths begin with a slash: a name may hold "::", a path's start may not.
      let split = entry.indexOf("::/");
      if (split < 0) split = entry.indexOf("::");
      if (split < 0) continue;
      const name = entry.slice(0, split), path = entry.slice(split + 2);
      const item = document.createElement("li");
      const button = document.createElement("button");
      button.type = "button";
      const title = document.createElement("span");
      title.textContent = name;
      const where = document.createElement("small");
      where.textContent = path;
      button.append(title, where);
      button.addEventListener("click", () => {
        if (send("CMD:OPEN:APP:" + path)) $("#apps-note").textContent = t("opening").replace("%s", name);
      });
      item.appendChild(button);
      results.appendChild(item);
    }
  }

  $("#url-form").addEventListener("submit", (event) => {
    event.preventDefault();
    let address = $("#url").value.trim();
    if (!address) return;
    if (!/^https?:\/\//i.test(address) && !/^www\./i.test(address)) address = "https://" + address;
    if (send("CMD:OPEN:URL:" + address)) {
      $("#apps-note").textContent = t("opening").replace("%s", address);
      $("#url").value = "";
      $("#url").blur();
    }
  });

  // ---- tabs and settings ----
  for (const tab of document.querySelectorAll("#tabs button")) {
    tab.addEventListener("click", () => {
      for (const other of document.querySelectorAll("#tabs button")) other.classList.toggle("selected", other === tab);
      for (const view of document.querySelectorAll(".view")) view.hidden = view.id !== tab.dataset.view;
      releaseButtons();
    });
  }
  const speed = $("#speed"), acceleration = $("#acceleration"), natural = $("#natural");
  speed.value = settings.speed;
  acceleration.checked = settings.acceleration;
  natural.checked = settings.natural;
  speed.addEventListener("input", () => { settings.speed = parseFloat(speed.value); store.set("quillmote.speed", speed.value); });
  acceleration.addEventListener("change", () => {
    settings.acceleration = acceleration.checked;
    store.set("quillmote.acceleration", String(acceleration.checked));
  });
  natural.addEventListener("change", () => {
    settings.natural = natural.checked;
    store.set("quillmote.natural", String(natural.checked));
  });
  $("#settings-button").addEventListener("click", () => { $("#settings").hidden = false; });
  $("#settings-done").addEventListener("click", () => { $("#settings").hidden = true; });
  $("#forget").addEventListener("click", () => {
    store.remove(SECRET);
    store.remove(DEVICE);
    code = null;
    $("#settings").hidden = true;
    if (ws) {
      releaseButtons();
      ws.onclose = ws.onmessage = null;
      ws.close();
      ws = null;
      paired = false;
    }
    askForCode(t("forgotten"));
    connect();
  });

  setState("connecting");
  connect();
})();
