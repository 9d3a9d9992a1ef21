// The game box's page: the terminal the program draws in, the keys it reads (the keyboard's,
// or keys on the screen of a touch device), one line under the console for what the page has to
// say, the run's recording to save, and recordings to watch. It runs in the same closure as
// xterm.js's `Terminal` and the program's `createGamebox` (the build joins the three into
// gamebox.js), so the only global it makes is window.gamebox.

// The console's 16 colours as the Windows console shows them, in the order of the ANSI
// colours the presenter writes (console blue is ANSI 4, console red ANSI 1, ...).
const THEME = {
  background: '#0c0c0c', foreground: '#cccccc', cursor: '#cccccc', cursorAccent: '#0c0c0c',
  black: '#0c0c0c', red: '#c50f1f', green: '#13a10e', yellow: '#c19c00',
  blue: '#0037da', magenta: '#881798', cyan: '#3a96dd', white: '#cccccc',
  brightBlack: '#767676', brightRed: '#e74856', brightGreen: '#16c60c', brightYellow: '#f9f1a5',
  brightBlue: '#3b78ff', brightMagenta: '#b4009e', brightCyan: '#61d6d6', brightWhite: '#f2f2f2',
};
const FONT = 'GameboxMono';  // page.css: the subset of Noto Sans Mono CJK SC
const MAX_QUEUED = 4096;     // key sequences waiting for the program, as a console's buffer
// A file to watch is read up to a byte past the largest recording the program reads (16 MiB):
// the program refuses a larger one with its own message, and the page holds no more of it.
const MAX_RECORDING = (16 << 20) + 1;
// A held key on the screen repeats as a keyboard's does (the Windows console's defaults).
const REPEAT_DELAY_MS = 500;
const REPEAT_MS = 33;

const host = document.getElementById('console');
const status = document.getElementById('status');
const bar = document.getElementById('bar');
const saveButton = document.getElementById('save');
const fileInput = document.getElementById('file');
const keyButtons = [...document.querySelectorAll('#keys button')];
const params = new URLSearchParams(location.search);

const term = new Terminal({
  cols: 120,
  rows: 30,
  allowProposedApi: true,  // the width table below
  fontFamily: `${FONT}, monospace`,
  fontSize: 16,
  lineHeight: 1,
  theme: THEME,
  scrollback: 0,
  cursorBlink: false,
  drawBoldTextInBrightColors: false,
});
window.gamebox = Object.freeze({ terminal: term });

// Widths as the console has them: every character beyond ASCII takes two columns, the
// East Asian "ambiguous" ones (● ◆ ━ ←) too, as on the Windows console; the presenter writes
// no code point that takes none.
term.unicode.register({
  version: 'console',
  wcwidth: (cp) => (cp < 0x20 || (cp >= 0x7f && cp < 0xa0) ? 0 : cp < 0x7f ? 1 : 2),
  // xterm.js packs a width into bits 1-2 of a character's properties; nothing joins here.
  charProperties(cp) { return this.wcwidth(cp) << 1; },
});
term.unicode.activeVersion = 'console';
// The keys are the page's (below): xterm.js itself acts on none.
term.attachCustomKeyEventHandler(() => false);

// --- The font fills the room: the largest size at which the whole console fits. -------------

let touch = false;  // the keys on the screen are shown
let fitting = false;
function fit() {
  if (!term.element || fitting) return;
  fitting = true;
  const screen = term.element.querySelector('.xterm-screen');
  if (!screen.offsetWidth) {  // hidden: no game
    fitting = false;
    return;
  }
  // With keys on the screen the console has the grid's cell that page.css gives it: the keys
  // go under it or at both sides of it, whichever leaves it larger.
  const room = touch ? () => ({ w: host.clientWidth - 4, h: host.clientHeight - 4 })
                     : () => ({ w: window.innerWidth - 8, h: window.innerHeight - bar.offsetHeight - 8 });
  const scale = () => Math.min(room().w / screen.offsetWidth, room().h / screen.offsetHeight);
  if (touch) {
    document.body.classList.remove('beside');
    const under = scale();
    document.body.classList.add('beside');
    document.body.classList.toggle('beside', scale() > under);
  }
  const fits = () => screen.offsetWidth <= room().w && screen.offsetHeight <= room().h;
  // Cells grow with the font size, rounded to whole device pixels: a guess, then steps. Below
  // 4 px nothing is legible: a phone held upright gets its console cut rather than that.
  term.options.fontSize = Math.max(4, Math.floor(term.options.fontSize * scale() * 2) / 2);
  for (let k = 0; k < 40 && !fits() && term.options.fontSize > 4; ++k)
    term.options.fontSize -= 0.5;
  for (let k = 0; k < 40; ++k) {
    term.options.fontSize += 0.5;
    if (!fits()) {
      term.options.fontSize -= 0.5;
      break;
    }
  }
  fitting = false;
}
let refit = 0;
function fitSoon() {
  cancelAnimationFrame(refit);
  refit = requestAnimationFrame(fit);
}
window.addEventListener('resize', fitSoon);

function say(text, restart) {
  status.textContent = text;
  status.classList.toggle('restart', restart);
  fitSoon();  // a longer line may take another row
}
status.addEventListener('click', () => {
  if (status.classList.contains('restart')) location.reload();
});

// --- The program. One instance at a time has the terminal and the keys (`run`). A recording to
// watch starts another (`candidate`), which takes them over when it draws its first screen,
// that is once it has read its whole file and found it a recording; one it refuses only says so,
// and the run goes on.

let run = null;
let candidate = null;

// Each instance compiles from the same module: the program is fetched once (or, in the
// single-file page, taken from the page itself).
let compiled = null;
function compile() {
  if (compiled) return compiled;
  const embedded = document.getElementById('gamebox-wasm');
  if (embedded) {
    const text = atob(embedded.textContent.trim());
    const bytes = new Uint8Array(text.length);
    for (let k = 0; k < text.length; ++k) bytes[k] = text.charCodeAt(k);
    compiled = WebAssembly.compile(bytes);
  } else {
    const bytes = () => fetch('gamebox.wasm').then((r) => {
      if (!r.ok) throw new Error(`gamebox.wasm: ${r.status} ${r.statusText}`);
      return r;
    });
    // Compiled as it loads, where the server names it application/wasm.
    compiled = bytes().then((r) => WebAssembly.compileStreaming(r))
      .catch(() => bytes().then((r) => r.arrayBuffer()).then((b) => WebAssembly.compile(b)));
  }
  return compiled;
}

// The name a saved run gets: when the page was opened.
const recordingName = ((d) => {
  const two = (n) => String(n).padStart(2, '0');
  return `gamebox-${d.getFullYear()}${two(d.getMonth() + 1)}${two(d.getDate())}-` +
         `${two(d.getHours())}${two(d.getMinutes())}${two(d.getSeconds())}.rec`;
})(new Date());

// Starts the program with `args`; `files` are the files it may read (name: bytes); `watching`
// names the recording it plays, if it plays one.
function start(args, files = {}, watching = null) {
  const r = {
    queue: [],       // {bytes, at}: key sequences, with the time of their DOM event
    waiting: null,   // the program's wait: {done, untilKey, timer}
    drew: false, ended: false, dead: false,
    errors: [], watching,
    recording: [],   // what the program recorded, in pieces
  };
  const wake = (w) => {
    if (r.waiting !== w) return;
    r.waiting = null;
    clearTimeout(w.timer);
    w.done();
  };
  r.send = (bytes, at) => {
    if (r.ended || r.dead || r.queue.length >= MAX_QUEUED) return;
    r.queue.push({ bytes, at });
    if (r.waiting && r.waiting.untilKey) wake(r.waiting);
  };
  r.stop = () => {  // it never runs again: its wait does not end
    r.dead = true;
    if (r.waiting) clearTimeout(r.waiting.timer);
    r.waiting = null;
  };
  // What the program calls (library_browser.js).
  const calls = {
    write(bytes) {
      if (drawing(r)) term.write(bytes);
    },
    resize(cols, rows) {
      if (!drawing(r)) return;
      term.resize(cols, rows);
      fit();
    },
    take() { return r.queue.shift(); },
    wait(ms, untilKey, done) {
      if (r.dead) return;
      const w = { done, untilKey, timer: 0 };
      r.waiting = w;
      if (ms >= 0) w.timer = setTimeout(() => wake(w), ms);
    },
    finish() {
      if (r.dead) return;
      r.ended = true;
      releaseTouches();
      term.write('\x1b[?25l');  // the last screen stays, without a cursor that waits for nothing
      say(ended(r), true);
    },
    record(bytes) {
      r.recording.push(bytes);
      return true;
    },
    file: (name) => files[name] || null,
  };
  r.calls = calls;
  createGamebox({
    arguments: args,
    gameboxPage: calls,
    instantiateWasm: (imports, receive) => {
      compile().then((m) => WebAssembly.instantiate(m, imports).then((i) => receive(i, m)))
        .catch((e) => say(`The game box could not start (${e.message}).`, false));
      return {};
    },
    print: () => {},
    printErr: (line) => r.errors.push(line),
    onExit: (code) => exited(r, code),
    onAbort: (what) => {
      if (r.dead) return;
      r.ended = true;
      say(`The game box stopped (${what}). Reload the page to start again.`, true);
    },
  });
  return r;
}
let page = null;  // the first instance's calls, which the benchmark's page times

// Whether instance r draws: the first time, it takes the terminal (and the keys) over.
function drawing(r) {
  if (r.dead) return false;
  if (r.drew) return true;
  r.drew = true;
  host.hidden = false;
  if (r === candidate) {
    candidate = null;
    if (run) run.stop();
    run = r;
    term.reset();
  }
  say(r.watching ? `Watching ${r.watching}: space pauses, q stops.` : '', false);
  saveButton.hidden = r.watching !== null;
  for (const b of keyButtons) {
    if (b.dataset.key === 'q') b.hidden = !r.watching;
    if (b.dataset.key === 'Escape') b.hidden = !!r.watching;
  }
  return true;
}

// What the program said on standard error, as one line: "gamebox: " goes, and a usage error
// names the page's query it came from.
function said(r) {
  const lines = r.errors.filter((l) => !l.startsWith("Try 'gamebox"));
  const text = lines.map((l) => l.replace(/^gamebox: /, '')).join(' ');
  return lines.length < r.errors.length ? `?${params.toString()}: ${text}` : text;
}

function ended(r) {
  const what = r.watching ? 'The replay has ended.' : 'The game box has ended.';
  return [said(r), what, 'Press Enter, or click here, to start again.'].filter((s) => s).join(' ');
}

function exited(r, code) {
  if (r.dead) return;
  const text = said(r) || (code !== 0 ? `The game box ended with code ${code}.` : '');
  if (!r.drew) {
    // It drew nothing: a refused recording, or options the program refused. A run under way
    // goes on; otherwise the line alone, and no game.
    r.dead = true;
    if (r === candidate) candidate = null;
    if (!run || run === r) {
      run = null;
      host.hidden = true;
    }
    say(text, false);
    return;
  }
  r.ended = true;
  if (text) say(ended(r), true);
}

// Watches the recording `bytes` named `name`.
function watch(name, bytes) {
  const file = name.replace(/[/\\]/g, '_') || 'recording';
  if (candidate) candidate.stop();
  const r = start([`--replay=${file}`], { [file]: bytes }, file);
  if (run) candidate = r;
  else run = r;
}

// --- Keys: the DOM's keydown and keyup as the kitty keyboard protocol sends them, with press,
// repeat and release, for the program's decoder. Keys with Ctrl, Alt or Meta stay the
// browser's (its shortcuts), and so do those no console key matches (F1 to F12).

const ARROWS = { ArrowUp: 'A', ArrowDown: 'B', ArrowRight: 'C', ArrowLeft: 'D', Home: 'H', End: 'F' };
const TILDE = { Insert: 2, Delete: 3, PageUp: 5, PageDown: 6 };
const CODES = { Enter: 13, Tab: 9, Backspace: 127, Escape: 27 };

// The sequence for key event `e` of `type` (1 press, 2 repeat, 3 release), or null.
function sequence(e, type) {
  const mods = `${1 + (e.shiftKey ? 1 : 0)}${type === 1 ? '' : `:${type}`}`;
  if (e.key in ARROWS) return `\x1b[1;${mods}${ARROWS[e.key]}`;
  if (e.key in TILDE) return `\x1b[${TILDE[e.key]};${mods}~`;
  if (e.key in CODES) return `\x1b[${CODES[e.key]};${mods}u`;
  const chars = [...e.key];
  if (chars.length !== 1) return null;  // Shift, Dead, Unidentified, F5 ...
  const text = e.key.codePointAt(0);
  if (text < 0x20) return null;
  const key = e.key.toLowerCase().codePointAt(0);
  return type === 3 ? `\x1b[${key};${mods}u` : `\x1b[${key};${mods};${text}u`;
}

// A key for the program; Enter once it has ended starts the page again.
function key(name, shiftKey, type, at) {
  if (!run || run.ended) {
    if (run && type === 1 && name === 'Enter') location.reload();
    return false;
  }
  const seq = sequence({ key: name, shiftKey }, type);
  if (seq === null) return false;
  run.send(seq, at);
  return true;
}

function onKey(e, down) {
  if (e.ctrlKey || e.altKey || e.metaKey || e.isComposing) return;
  if (!key(e.key, e.shiftKey, down ? (e.repeat ? 2 : 1) : 3, e.timeStamp)) return;
  e.preventDefault();  // no scrolling, no typing into the terminal's text area, no Back
  e.stopPropagation();
}
host.addEventListener('keydown', (e) => onKey(e, true), true);
host.addEventListener('keyup', (e) => onKey(e, false), true);

// A key let go in another window or tab is never reported: leaving releases every key, as a
// terminal's focus report does.
function leave() {
  releaseTouches();
  if (run) run.send('\x1b[O', performance.now());
}
document.addEventListener('visibilitychange', () => {
  if (document.hidden) leave();
});
window.addEventListener('blur', leave);

// --- Keys on the screen, for a touch screen without a keyboard (the first key typed on a real
// one hides them). Each touch presses its key, which repeats while held and is released when
// the touch ends or leaves it; several touches hold several keys.

const coarse = window.matchMedia('(pointer: coarse)');
let typed = false;
function showKeys() {
  const on = coarse.matches && !typed;
  if (on === touch) return;
  touch = on;
  document.body.classList.toggle('touch', on);
  if (!on) {
    document.body.classList.remove('beside');
    releaseTouches();
  }
  fit();
}
coarse.addEventListener('change', showKeys);
window.addEventListener('keydown', () => {
  typed = true;
  showKeys();
}, true);

const touches = new Map();  // touch identifier: {button, timer}
function press(id, button) {
  const name = button.dataset.key;
  if (!key(name, false, 1, performance.now())) return;
  const held = { button, timer: 0 };
  const repeat = () => {
    key(name, false, 2, performance.now());
    held.timer = setTimeout(repeat, REPEAT_MS);
  };
  held.timer = setTimeout(repeat, REPEAT_DELAY_MS);
  button.classList.add('down');
  touches.set(id, held);
}
function release(id, send = true) {
  const held = touches.get(id);
  if (!held) return;
  touches.delete(id);
  clearTimeout(held.timer);
  held.button.classList.remove('down');
  if (send) key(held.button.dataset.key, false, 3, performance.now());
}
// Every key on the screen let go, without telling the program (it has been told, or has ended).
function releaseTouches() {
  for (const id of [...touches.keys()]) release(id, false);
}
const keysElement = document.getElementById('keys');
keysElement.addEventListener('touchstart', (e) => {
  e.preventDefault();  // no mouse events after it, no zoom, no focus taken from the terminal
  for (const t of e.changedTouches) {
    const button = t.target.closest && t.target.closest('button');
    if (button && !button.hidden) press(t.identifier, button);
  }
}, { passive: false });
keysElement.addEventListener('touchmove', (e) => {
  e.preventDefault();
  for (const t of e.changedTouches) {
    const held = touches.get(t.identifier);
    const over = document.elementFromPoint(t.clientX, t.clientY);
    if (held && !(over && held.button.contains(over))) release(t.identifier);
  }
}, { passive: false });
for (const type of ['touchend', 'touchcancel']) {
  keysElement.addEventListener(type, (e) => {
    e.preventDefault();
    for (const t of e.changedTouches) release(t.identifier);
  }, { passive: false });
}

// --- Recordings: the run's, saved as a file; one to watch, from ?replay=URL (a file of this
// site), a file dropped on the page or one chosen.

saveButton.addEventListener('click', () => {
  if (run && !run.watching) {
    const a = document.createElement('a');
    a.href = URL.createObjectURL(new Blob(run.recording, { type: 'text/plain' }));
    a.download = recordingName;
    a.click();
    setTimeout(() => URL.revokeObjectURL(a.href), 60000);
  }
  term.focus();
});

function watchFile(file) {
  file.slice(0, MAX_RECORDING).arrayBuffer().then(
    (b) => watch(file.name, new Uint8Array(b)),
    (e) => say(`${file.name}: ${e.message}`, false));
}
fileInput.addEventListener('change', () => {
  if (fileInput.files.length) watchFile(fileInput.files[0]);
  fileInput.value = '';
  term.focus();
});
document.addEventListener('dragover', (e) => {
  e.preventDefault();
  document.body.classList.add('dragging');
});
document.addEventListener('dragleave', () => document.body.classList.remove('dragging'));
document.addEventListener('drop', (e) => {
  e.preventDefault();  // the browser does not open the file in place of the page
  document.body.classList.remove('dragging');
  if (e.dataTransfer.files.length) watchFile(e.dataTransfer.files[0]);
  term.focus();
});

// The file of ?replay=: this site's only, and no more of it than a recording can be.
async function fetchRecording(value) {
  const url = new URL(value, location.href);
  if (url.origin !== location.origin) throw new Error('a recording of this site only');
  const response = await fetch(url);
  if (!response.ok) throw new Error(`not found (${response.status} ${response.statusText})`);
  const reader = response.body.getReader();
  const parts = [];
  let size = 0;
  while (size < MAX_RECORDING) {
    const { done, value: part } = await reader.read();
    if (done) break;
    parts.push(part);
    size += part.length;
  }
  reader.cancel();
  const bytes = new Uint8Array(Math.min(size, MAX_RECORDING));
  let at = 0;
  for (const part of parts) {
    bytes.set(part.subarray(0, bytes.length - at), at);
    at += Math.min(part.length, bytes.length - at);
  }
  return { name: decodeURIComponent(url.pathname.split('/').pop()), bytes };
}

// --- Start: the font first (xterm.js measures its cell with it), the program meanwhile. -----

const args = [];
if (params.has('seed')) args.push(`--seed=${params.get('seed')}`);
if (params.has('speed')) args.push(`--speed=${params.get('speed')}`);
if (params.has('replay')) {
  fetchRecording(params.get('replay')).then(({ name, bytes }) => {
    const file = name || 'recording';
    run = start([...args, `--replay=${file}`], { [file]: bytes }, file);
    page = run.calls;
  }, (e) => {
    host.hidden = true;
    say(`?${params.toString()}: ${e.message}`, false);
  });
} else {
  run = start([...args, `--record=${recordingName}`]);
  page = run.calls;
}

showKeys();
document.fonts.load(`16px ${FONT}`, '中●A').finally(() => {
  term.open(host);
  // The keys come to its hidden text area, which takes no text: read-only, it has no caret
  // blinking there for nothing (the browser repainted twice a second while the game waited),
  // and a touch screen shows no keyboard for it.
  term.textarea.readOnly = true;
  fit();
  term.focus();
});
