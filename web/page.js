// The game box's page: the terminal the program draws in, the keys it reads, and one line
// under the console for what the page has to say. It runs in the same closure as xterm.js's
// `Terminal` and the program's `createGamebox` (the build joins the three into gamebox.js), so
// the only global it makes is window.gamebox.

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

const host = document.getElementById('console');
const status = document.getElementById('status');

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

// --- The font fills the window: the largest size at which the whole console fits. ----------

let fitting = false;
function fit() {
  if (!term.element || fitting) return;
  fitting = true;
  const screen = term.element.querySelector('.xterm-screen');
  const room = () => ({ w: window.innerWidth - 8, h: window.innerHeight - status.offsetHeight - 8 });
  const fits = () => screen.offsetWidth <= room().w && screen.offsetHeight <= room().h;
  // Cells grow with the font size, rounded to whole device pixels: a guess, then steps.
  const size = term.options.fontSize;
  const scale = Math.min(room().w / screen.offsetWidth, room().h / screen.offsetHeight);
  term.options.fontSize = Math.max(6, Math.floor(size * scale * 2) / 2);
  for (let k = 0; k < 40 && !fits() && term.options.fontSize > 6; ++k)
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
window.addEventListener('resize', () => {
  cancelAnimationFrame(refit);
  refit = requestAnimationFrame(fit);
});

// --- What the program asks of the page (library_browser.js). --------------------------------

const queue = [];   // {bytes, at}: key sequences, with the time of their DOM event
let waiting = null; // the program's wait: {done, untilKey, timer}
let ended = false;

function wake(w) {
  if (waiting !== w) return;
  waiting = null;
  clearTimeout(w.timer);
  w.done();
}

function send(bytes, at) {
  if (ended || queue.length >= MAX_QUEUED) return;
  queue.push({ bytes, at });
  if (waiting && waiting.untilKey) wake(waiting);
}

let loading = true;
const page = {
  write(bytes) {
    if (loading) {
      loading = false;
      say('', false);
    }
    term.write(bytes);
  },
  resize(cols, rows) {
    term.resize(cols, rows);
    fit();
  },
  take() { return queue.shift(); },
  wait(ms, untilKey, done) {
    const w = { done, untilKey, timer: 0 };
    waiting = w;
    if (ms >= 0) w.timer = setTimeout(() => wake(w), ms);
  },
  finish() {
    ended = true;
    term.write('\x1b[?25l');  // the last screen stays, without a cursor that waits for nothing
    say('The game box has ended. Press Enter, or click here, to start again.', true);
  },
};

function say(text, restart) {
  status.textContent = text;
  status.classList.toggle('restart', restart);
}
status.addEventListener('click', () => {
  if (status.classList.contains('restart')) location.reload();
});

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

function onKey(e, down) {
  if (e.ctrlKey || e.altKey || e.metaKey || e.isComposing) return;
  if (ended) {
    if (down && e.key === 'Enter') location.reload();
    return;
  }
  const seq = sequence(e, down ? (e.repeat ? 2 : 1) : 3);
  if (seq === null) return;
  e.preventDefault();  // no scrolling, no typing into the terminal's text area, no Back
  e.stopPropagation();
  send(seq, e.timeStamp);
}
host.addEventListener('keydown', (e) => onKey(e, true), true);
host.addEventListener('keyup', (e) => onKey(e, false), true);

// A key let go in another window or tab is never reported: leaving releases every key, as a
// terminal's focus report does.
function leave() { send('\x1b[O', performance.now()); }
document.addEventListener('visibilitychange', () => {
  if (document.hidden) leave();
});
window.addEventListener('blur', leave);

// --- Start: the font first (xterm.js measures its cell with it), the program meanwhile. -----

const args = [];
const params = new URLSearchParams(location.search);
if (params.has('seed')) args.push(`--seed=${params.get('seed')}`);
const refused = [];

createGamebox({
  arguments: args,
  gameboxPage: page,
  print: () => {},
  printErr: (line) => refused.push(line.replace(/^gamebox: /, '')),
  onExit: (code) => {
    if (code !== 0 && !ended) {
      ended = true;
      host.hidden = true;  // no game: the line alone
      say(`?${params.toString()}: ${refused.join(' ') || `the game box ended with code ${code}`}`,
          false);
    }
  },
  onAbort: (what) => {
    ended = true;
    say(`The game box stopped (${what}). Reload the page to start again.`, true);
  },
});

document.fonts.load(`16px ${FONT}`, '中●A').finally(() => {
  term.open(host);
  // The keys come to its hidden text area, which takes no text: read-only, it has no caret
  // blinking there for nothing (the browser repainted twice a second while the game waited).
  term.textarea.readOnly = true;
  fit();
  term.focus();
});
