// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
// The browser remote: a touchpad, keys, actions and applications, speaking the phone app's
// commands over one WebSocket, one command per message.
import { TAP_SLOP, Touchpad } from "./gestures.js";
import { LiveText, SENTINEL, base64, keyName } from "./keyboard.js";

{
  const $ = (selector) => document.querySelector(selector);

  // ---- texts: Chinese for Chinese readers, English for everyone else ----
  const texts = {
    en: {
      connected: "Connected", connecting: "Connecting…", pairing: "Pairing…", reconnecting: "Reconnecting…",
      offline: "Offline", needsCode: "Enter the code", settings: "Settings", fullscreen: "Full screen", pad: "Touchpad",
      padHint: "Tap to click · two fingers: right click, scroll · double-tap and hold to drag",
      left: "Left", right: "Right", typeHere: "Write a draft, then send it at once", send: "Send", enter: "Enter",
      typeLive: "Tap here and type: each key goes to the computer", modifiers: "Modifier keys, for the next key",
      super: "Super", draft: "Draft several lines",
      backspace: "⌫ Backspace", tab: "Tab", esc: "Esc", space: "Space", delete: "Delete", up: "Up", down: "Down",
      leftKey: "Left", rightKey: "Right", home: "Home", end: "End", pageUp: "Page Up", pageDown: "Page Down",
      paste: "Paste", selectAll: "Select all", showDesktop: "Show desktop", launcher: "Launcher", overview: "Overview",
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
      inputAWAITING: "Connected · the computer asks its user to allow control",
      inputREFUSED: "Connected · the desktop refuses control (screen locked, or not allowed)",
      inputLOCKED: "Connected · the screen is locked: control comes back once it is unlocked",
      inputSHIELDED: "Connected · the screen is locked: control goes on below the lock screen",
      inputLOCKEDOUT: "Connected · the screen is locked, and this computer does not allow control at its lock screen (to allow it: sudo udevadm trigger, then log in again)",
      inputUNAVAILABLE: "Connected · control cannot reach the desktop",
    },
    zh: {
      connected: "已连接", connecting: "正在连接…", pairing: "正在配对…", reconnecting: "正在重新连接…",
      offline: "离线", needsCode: "请输入配对码", settings: "设置", fullscreen: "全屏", pad: "触控板",
      padHint: "轻点：点击 · 双指：右键、滚动 · 轻点两下并按住：拖动",
      left: "左键", right: "右键", typeHere: "先写草稿，再一次发送", send: "发送", enter: "回车",
      typeLive: "点此输入：每个按键都直接发送到电脑", modifiers: "修饰键，作用于下一个按键",
      super: "徽标键", draft: "写多行草稿",
      backspace: "⌫ 退格", tab: "Tab", esc: "Esc", space: "空格", delete: "删除", up: "上", down: "下",
      leftKey: "左", rightKey: "右", home: "Home", end: "End", pageUp: "上一页", pageDown: "下一页",
      paste: "粘贴", selectAll: "全选", showDesktop: "显示桌面", launcher: "启动器", overview: "窗口概览",
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
      inputAWAITING: "已连接 · 电脑正在请其用户允许控制",
      inputREFUSED: "已连接 · 桌面拒绝控制（屏幕已锁定，或未获允许）",
      inputLOCKED: "已连接 · 屏幕已锁定：解锁后即可继续控制",
      inputSHIELDED: "已连接 · 屏幕已锁定：可在锁屏下继续控制",
      inputLOCKEDOUT: "已连接 · 屏幕已锁定，本机不允许锁屏时远程控制（允许方法：sudo udevadm trigger 并重新登录）",
      inputUNAVAILABLE: "已连接 · 控制无法到达桌面",
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

  // Whether what this page sends reaches the desktop, as the computer says (INPUT:…).
  let input = "GRANTED";
  function setState(state) {
    const told = state === "connected" && Boolean(texts.en["input" + input]);
    // Below the lock screen what the page sends still arrives: told, but not blocked.
    const blocked = told && input !== "SHIELDED";
    $("#state").className = "state " + state + (blocked ? " blocked" : "");
    $("#state-text").textContent = told ? t("input" + input) : t(state);
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
    // What the computer holds is unknown after a drop: the field starts again from nothing.
    $("#live").value = live.clear();
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
    // Whatever the browser said about the network meanwhile, an answer proves the link works.
    if (paired && document.body.dataset.state !== "connected") setState("connected");
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
    } else if (message.startsWith("INPUT:")) {
      input = message.slice(6);
      setState(document.body.dataset.state);
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

  // ---- the touchpad: what the fingers mean is decided in gestures.js ----
  const pad = $("#pad");
  const touchpad = new Touchpad(settings);
  let holdTimer = 0;
  let frameRequested = false;

  // Button commands go out at once; motion waits for the next frame.
  function sendDecided() {
    for (const message of touchpad.take()) send(message);
    clearTimeout(holdTimer);
    const holdAt = touchpad.holdAt;
    if (holdAt !== null) {
      holdTimer = setTimeout(() => {
        touchpad.hold(performance.now());
        sendDecided();
      }, Math.max(0, holdAt - performance.now()));
    }
    $("#left-button").classList.toggle("held", touchpad.leftHeld);
  }

  function schedule() {
    if (!frameRequested) {
      frameRequested = true;
      requestAnimationFrame(flush);
    }
  }

  function flush(now) {
    frameRequested = false;
    if (!paired || !ws) {
      touchpad.frame(now);
      touchpad.take();
      return;
    }
    // A slow network holds motion here, summed, rather than in a queue that lags behind the finger.
    if (ws.bufferedAmount > 4096) {
      schedule();
      return;
    }
    if (touchpad.frame(now)) schedule();
    sendDecided();
  }

  function releaseButtons() {
    touchpad.releaseButtons();
    sendDecided();
  }

  function resetGestures() {
    touchpad.reset();
    clearTimeout(holdTimer);
    pad.classList.remove("active");
    $("#left-button").classList.remove("held");
  }

  const points = (event) => Array.from(event.changedTouches, (t) => ({ id: t.identifier, x: t.clientX, y: t.clientY }));
  pad.addEventListener("touchstart", (event) => {
    event.preventDefault();
    touchpad.start(points(event), performance.now());
    pad.classList.add("active");
    sendDecided();
  }, { passive: false });
  pad.addEventListener("touchmove", (event) => {
    event.preventDefault();
    touchpad.move(points(event), performance.now());
    sendDecided();
    schedule();
  }, { passive: false });
  function touchEnd(event) {
    event.preventDefault();
    touchpad.end(points(event).map((p) => p.id), performance.now());
    if (!touchpad.gesture) pad.classList.remove("active");
    sendDecided();
    schedule();
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
    touchpad.pointer(dx, dy);
    schedule();
  });
  window.addEventListener("mouseup", () => {
    if (mouseLast && mouseLast.moved < TAP_SLOP) {
      touchpad.click();
      sendDecided();
    }
    mouseLast = null;
  });

  const leftButton = $("#left-button");
  leftButton.addEventListener("pointerdown", (event) => {
    event.preventDefault();
    leftButton.setPointerCapture(event.pointerId);
    touchpad.pressLeft();
    sendDecided();
  });
  const leftUp = () => {
    touchpad.releaseLeft();
    sendDecided();
  };
  leftButton.addEventListener("pointerup", leftUp);
  leftButton.addEventListener("pointercancel", leftUp);
  $("#right-button").addEventListener("click", () => send("CLICK:RIGHT"));

  // ---- keys, actions, text ----
  const liveField = $("#live");
  const live = new LiveText();
  let composing = false;
  liveField.value = SENTINEL;
  const latchButtons = document.querySelectorAll("[data-latch]");
  function showLive() {
    for (const button of latchButtons) button.setAttribute("aria-pressed", String(live.latched.includes(button.dataset.latch)));
    $("#live-hint").hidden = liveField.value.replaceAll(SENTINEL, "") !== "";
  }
  function liveChanged() {
    const { messages, reset } = live.change(liveField.value, composing);
    // Text the computer did not get is not shown as sent: the field starts again from nothing.
    const next = messages.every((message) => send(message)) ? reset : live.clear();
    if (next !== null) {
      liveField.value = next;
      liveField.setSelectionRange(next.length, next.length);
    }
    showLive();
  }
  liveField.addEventListener("compositionstart", () => { composing = true; });
  liveField.addEventListener("compositionend", () => {
    composing = false;
    liveChanged();
  });
  liveField.addEventListener("input", (event) => {
    composing = event.isComposing;
    liveChanged();
  });
  liveField.addEventListener("focus", () => liveField.setSelectionRange(liveField.value.length, liveField.value.length));
  // Keys without text (arrows, Tab, F5, chords) from a keyboard plugged into the phone or tablet.
  liveField.addEventListener("keydown", (event) => {
    const name = keyName(event, live.latched);
    if (!name) return;
    event.preventDefault();
    send(name);
    live.latched = [];
    showLive();
  });
  for (const button of latchButtons) {
    button.addEventListener("click", () => {
      const modifier = button.dataset.latch;
      live.latched = live.latched.includes(modifier) ? live.latched.filter((m) => m !== modifier) : live.latched.concat(modifier);
      showLive();
    });
  }
  showLive();
  // A key button keeps the focus where it is, so that the phone's keyboard stays open under it.
  $("#keys-view").addEventListener("mousedown", (event) => {
    if (event.target.closest("button")) event.preventDefault();
  });

  // A key with latched modifiers is a chord; PASTE and media keys are whole chords of their own.
  function keyMessage(message) {
    if (!live.latched.length || !/^KEY:[A-Z]/.test(message) || /^KEY:(PASTE|COMMAND|.*_TRACK|PLAY_PAUSE|.*\+)/.test(message)) return message;
    const chord = "KEY:" + live.latched.join("+") + "+" + message.slice(4);
    live.latched = [];
    showLive();
    return chord;
  }
  document.addEventListener("click", (event) => {
    const target = event.target.closest("[data-send]");
    // Repeating keys went out at the press; a click from the keyboard or a screen reader has no press.
    if (target && (!target.hasAttribute("data-repeat") || event.detail === 0)) send(keyMessage(target.dataset.send));
  });
  // Held, ⌫ and the arrows repeat as a keyboard's keys do.
  let repeatTimer = 0;
  const stopRepeat = () => clearTimeout(repeatTimer);
  document.addEventListener("pointerdown", (event) => {
    const target = event.target.closest("[data-repeat]");
    if (!target) return;
    stopRepeat();
    const message = keyMessage(target.dataset.send);
    const again = (delay) => {
      if (send(message)) repeatTimer = setTimeout(() => again(60), delay);
    };
    again(450);
  });
  for (const name of ["pointerup", "pointercancel", "pointerleave", "blur"]) window.addEventListener(name, stopRepeat, true);

  $("#draft-button").addEventListener("click", () => {
    const form = $("#type-form");
    form.hidden = !form.hidden;
    $("#draft-button").setAttribute("aria-pressed", String(!form.hidden));
    (form.hidden ? liveField : $("#text")).focus();
  });
  $("#type-form").addEventListener("submit", (event) => {
    event.preventDefault();
    const field = $("#text");
    // An empty draft sends Enter itself, so a form on the computer can be submitted from here.
    if (field.value === "") send("KEY:ENTER");
    else if (send("TYPE:" + base64(field.value))) field.value = "";
  });

  $("#sleep-button").addEventListener("click", () => openSheet("#confirm-sheet"));
  $("#confirm-no").addEventListener("click", closeSheet);
  $("#confirm-yes").addEventListener("click", () => {
    closeSheet();
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
  // A view other than the pad is an entry in the history, so that the phone's Back returns to the pad.
  const tabs = document.querySelectorAll("#tabs [role=tab]");
  let pushedHere = false;
  function showView(id) {
    for (const tab of tabs) {
      const selected = tab.dataset.view === id;
      tab.classList.toggle("selected", selected);
      tab.setAttribute("aria-selected", String(selected));
      tab.tabIndex = selected ? 0 : -1;
    }
    for (const view of document.querySelectorAll(".view")) view.hidden = view.id !== id;
    releaseButtons();
  }
  for (const tab of tabs) {
    tab.addEventListener("click", () => {
      const id = tab.dataset.view, current = history.state && history.state.view;
      if (id === (current || "pad-view")) return;
      if (id === "pad-view" && pushedHere) {
        history.back(); // popstate shows the pad
        return;
      }
      if (current || id === "pad-view") history.replaceState(id === "pad-view" ? null : { view: id }, "");
      else history.pushState({ view: id }, "");
      pushedHere = pushedHere || !current;
      showView(id);
    });
  }
  // A sheet is an entry too: Back closes it.
  const sheets = ["#settings", "#confirm-sheet"];
  function openSheet(sheet) {
    $(sheet).hidden = false;
    history.pushState({ ...history.state, sheet }, "");
  }
  function closeSheet() {
    for (const sheet of sheets) $(sheet).hidden = true;
    if (history.state && history.state.sheet) history.back();
  }
  window.addEventListener("popstate", (event) => {
    const state = event.state || {};
    pushedHere = pushedHere && !!state.view; // still above the pad's entry
    for (const sheet of sheets) $(sheet).hidden = state.sheet !== sheet;
    showView(state.view || "pad-view");
  });
  // A reload shows the same view, without the sheet.
  if (history.state && history.state.sheet) history.replaceState(history.state.view ? { view: history.state.view } : null, "");
  if (history.state && history.state.view) showView(history.state.view);

  const fullscreen = $("#fullscreen-button");
  const root = document.documentElement;
  const requestFullscreen = root.requestFullscreen || root.webkitRequestFullscreen;
  const exitFullscreen = document.exitFullscreen || document.webkitExitFullscreen;
  const fullscreenElement = () => document.fullscreenElement || document.webkitFullscreenElement;
  // iPhones have no fullscreen for pages: the button is shown only where it works.
  fullscreen.hidden = !(requestFullscreen && (document.fullscreenEnabled || document.webkitFullscreenEnabled));
  fullscreen.addEventListener("click", () => {
    const done = fullscreenElement() ? exitFullscreen.call(document) : requestFullscreen.call(root, { navigationUI: "hide" });
    if (done && done.catch) done.catch(() => {});
  });
  for (const name of ["fullscreenchange", "webkitfullscreenchange"])
    document.addEventListener(name, () => fullscreen.setAttribute("aria-pressed", String(!!fullscreenElement())));

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
  $("#settings-button").addEventListener("click", () => openSheet("#settings"));
  $("#settings-done").addEventListener("click", closeSheet);
  $("#forget").addEventListener("click", () => {
    store.remove(SECRET);
    store.remove(DEVICE);
    code = null;
    closeSheet();
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
}
