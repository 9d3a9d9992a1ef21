// What the page must do in a real browser, as scripted steps and what the screen must show:
// browser.mjs plays each case in headless Chromium and reads the terminal's cells.
//
// Steps (x is the column, y the row, both from 0; keys are Playwright's names):
//   ['open', query]             load the page (query such as '?seed=3'); every case starts so
//   ['waitText', text, ms]      until the screen shows text (default 8 s)
//   ['type', text]              each character pressed and released
//   ['press', key, ms]          down, `ms` later up (default 0)
//   ['down', key] ['up', key]   a key held / let go (a second down is an auto-repeat)
//   ['sleep', ms]
//   ['cells', x, y, text]       the text at (x, y), a two-column glyph taking its two columns
//   ['row', y, x0, x1, ch]      every column x0..x1 of row y holds ch; ['column', x, y0, y1, ch]
//   ['cursor', x, y]            where the terminal's cursor is
//   ['attr', x, y, attr]        the cell's colours, as a console attribute (0x30: black on aqua)
//   ['shade', x, y, css]        the colour the page paints that cell's background
//   ['wide', glyph]             every such glyph on the screen takes two columns
//   ['focused']                 the terminal has the keyboard focus
//   ['size', cols, rows]        the terminal's size
//   ['viewport', w, h]          the window resized to w x h pixels
//   ['fits', px]                the whole console within the window, no scrollbar, no cut row,
//                               the font at least px (default 8)
//   ['globals']                 the page adds no global to a blank page's but gamebox
//   ['plainServer']             no cross-origin isolation header came, none is in effect
//   ['prevented', key]          pressing key does nothing to the page (its default prevented)
//   ['standing']                until the parkour player stands on the upper level
//   ['track', name, ms]         the player's head, looked at every frame for ms
//   ['rises', a, b, rows]       track a's highest head at least rows above track b's
//   ['rightOf', name, x]        every head of track name right of column x
//   ['endsLeftOf', name, x]     the last head of track name at or left of column x
//   ['moves', glyph, ms]        the glyph is further right ms later
//   ['still', ms, text, gone]   for ms the screen keeps showing text and never shows gone
//   ['blur']                    the window loses the focus
//   ['hide']                    the page is hidden (another tab in front)
//   ['status', regexp, ms]      the line under the console (within ms, default 8 s)
//   ['blank']                   nothing drawn: no game started
//   ['native', args, input, regexp]  the lines of the native program's stream output (run with
//                               args on input, virtual clock) that match are on the screen
//   ['openSingle', query]       the single-file page, copied alone into an empty folder, opened
//                               from disk
//   ['onlyItself']              the page requested nothing but itself
//   ['singleSize', bytes]       the single-file page is smaller
// On a phone (a case with device: 'phone': touch screen, no keyboard, landscape):
//   ['tap', key] ['touchDown', key] ['touchUp', key]  a key on the screen (the DOM key name)
//                               touched and let go, held, let go; touches add up
//   ['touchSlide', key]         the touch holding key slides off it
//   ['keysShown', bool]         the keys on the screen are shown
//   ['keysLayout', where]       'under' the console or 'beside' it
//   ['keysClear']               every key within the window, at least 40 x 40, off the console
// Recordings:
//   ['save', name]              the page's "Save this run", the download kept as name
//   ['replayScreen', file]      replay_screen on a saved file (or a file of the repository)
//                               prints the page's screen, row for row
//   ['drop', name, text, times] a file of that name and text (`times` over; {file: path} for a
//                               file of the repository) dropped on the page
//   ['refusedAsNatively', name] the line under the console is gamebox --replay's message
//   ['frozen', ms]              the screen does not change for ms; ['changes', ms] it does
// The site is served with the repository's recordings in data/ (tests/console/record/data).

// ?seed=4 plays the killer game's first night as gamebox --seed 4 does (opened with `open`).
const seedFour = (open) => [
  [open, '?seed=4'],
  ['waitText', '1.贪吃蛇'],
  ['type', '3'],
  ['press', 'Enter'],
  ['waitText', '2.查看游戏规则'],
  ['type', '11'],
  ['waitText', '杀掉了'],
  ['native', ['--seed', '4'], '3\n11', /你是\d+号$|杀掉了/],
];

export const cases = [
  {
    name: 'the launcher: frame, menu, colours and cursor at the cells a terminal shows; focus, globals, headers, keys',
    steps: [
      ['open', ''],
      ['waitText', '1.贪吃蛇'],
      ['row', 2, 2, 117, '*'],
      ['row', 27, 2, 117, '*'],
      ['column', 2, 2, 27, '*'],
      ['column', 118, 2, 27, '*'],
      ['cells', 0, 3, '  *  1.贪吃蛇  2.跑酷  3.狼人杀   '],
      ['cursor', 5, 5],
      ['size', 120, 30],
      ['fits'],
      ['viewport', 700, 420],
      ['fits'],
      ['viewport', 1280, 800],
      ['fits'],
      ['attr', 2, 2, 0x30],
      ['shade', 60, 15, '#3a96dd'],
      ['wide', '贪'],
      ['focused'],
      ['globals'],
      ['plainServer'],
      ['prevented', 'ArrowDown'],
      ['prevented', 'ArrowUp'],
      ['prevented', ' '],
      ['prevented', 'Backspace'],
      ['prevented', 'Tab'],
      ['status', /^$/],
    ],
  },
  {
    name: '"12" Backspace Enter chooses 1; the snake sets off after "1" Enter at its cover; Escape',
    steps: [
      ['open', ''],
      ['waitText', '1.贪吃蛇'],
      ['type', '12'],
      ['cells', 5, 5, '12 '],
      ['press', 'Backspace'],
      ['cells', 5, 5, '1  '],
      ['press', 'Enter'],
      ['waitText', '长虫竞逐'],
      ['type', '1'],
      ['cells', 51, 27, '1'],
      ['press', 'Enter'],
      ['waitText', '头'],
      ['moves', '头', 1300],
      ['press', 'Escape'],
      ['waitText', '1.贪吃蛇  2.跑酷  3.狼人杀', 10000],
    ],
  },
  {
    name: "the killer game's tally waits at its pause until a key (seed 1: the player lives to vote)",
    steps: [
      ['open', '?seed=1'],
      ['waitText', '1.贪吃蛇'],
      ['type', '3'],
      ['press', 'Enter'],
      ['waitText', '2.查看游戏规则'],
      ['type', '1'],
      ['waitText', '15人场'],
      ['type', '1'],
      ['waitText', '你选择投几号', 15000],
      ['type', '2'],
      ['press', 'Enter'],
      ['waitText', '请按任意键继续'],
      ['still', 1500, '投票情况', '第2晚'],
      ['press', ' '],
      ['waitText', '第2晚'],
    ],
  },
  {
    name: 'the parkour game: a double jump, a held → through a jump; a lost focus or a hidden page lets go',
    steps: [
      ['open', '?seed=3'],
      ['waitText', '1.贪吃蛇'],
      ['type', '2'],
      ['press', 'Enter'],
      ['waitText', '='.repeat(60)],
      ['size', 60, 37],
      ['fits'],
      ['sleep', 800],
      ['standing'],
      ['wide', '●'],
      ['press', 'ArrowUp', 60],
      ['track', 'single', 1500],
      ['standing'],
      ['press', 'ArrowUp', 60],
      ['sleep', 190],
      ['press', 'ArrowUp', 60],
      ['track', 'double', 1700],
      ['rises', 'double', 'single', 2],
      ['standing'],
      ['down', 'ArrowRight'],
      ['track', 'before', 1200],
      ['press', 'ArrowUp', 80],
      ['track', 'after', 2000],
      ['rightOf', 'after', 14],
      ['blur'],
      ['track', 'left', 1500],
      ['endsLeftOf', 'left', 14],
      ['up', 'ArrowRight'],
      ['standing'],
      ['down', 'ArrowRight'],
      ['track', 'held', 1200],
      ['hide'],
      ['track', 'hidden', 1500],
      ['endsLeftOf', 'hidden', 14],
      ['up', 'ArrowRight'],
    ],
  },
  {
    name: '?seed=4 plays the game --seed 4 plays',
    steps: seedFour('open'),
  },
  {
    name: 'a seed that is no number: one line, and no game',
    steps: [
      ['open', '?seed=4x'],
      ['status', /^\?seed=4x: --seed needs a whole number from 0 to 4294967295$/],
      ['blank'],
      ['open', '?seed=4294967296'],
      ['status', /^\?seed=4294967296: --seed needs a whole number from 0 to 4294967295$/],
      ['blank'],
    ],
  },
  {
    name: 'the end of the program: the last screen stays, one line says how to start again, Enter does',
    steps: [
      ['open', ''],
      ['waitText', '1.贪吃蛇'],
      ['type', '0'],
      ['press', 'Enter'],
      ['status', /^The game box has ended\. Press Enter, or click here, to start again\.$/],
      ['row', 2, 2, 117, '*'],
      ['cells', 5, 5, '0'],
      ['press', 'Enter'],
      ['waitText', '1.贪吃蛇'],
      ['cells', 5, 5, ' '],
      ['status', /^$/],
    ],
  },
  {
    name: 'the single file, under 1.5 MB, alone in an empty folder and opened from disk: the launcher, the snake cover after "1" Enter, a seed, the end line; nothing requested but itself',
    steps: [
      ['singleSize', 1.5e6],
      ['openSingle', '?seed=4'],
      ['waitText', '1.贪吃蛇'],
      ['row', 2, 2, 117, '*'],
      ['cells', 0, 3, '  *  1.贪吃蛇  2.跑酷  3.狼人杀   '],
      ['attr', 2, 2, 0x30],
      ['wide', '贪'],
      ['focused'],
      ['globals'],
      ['fits'],
      ['type', '1'],
      ['press', 'Enter'],
      ['waitText', '长虫竞逐'],
      ['onlyItself'],
      ...seedFour('openSingle'),
      ['openSingle', '?seed=x'],
      ['status', /^\?seed=x: --seed needs a whole number from 0 to 4294967295$/],
      ['openSingle', ''],
      ['waitText', '1.贪吃蛇'],
      ['type', '0'],
      ['press', 'Enter'],
      ['status', /^The game box has ended\. Press Enter, or click here, to start again\.$/],
      ['onlyItself'],
    ],
  },
  {
    name: 'a phone in landscape: keys on the screen beside the console start the snake game and steer it; on a tablet, or a phone held upright, they go under it; a real key hides them',
    device: 'phone',
    steps: [
      ['open', ''],
      ['waitText', '1.贪吃蛇'],
      ['keysShown', true],
      ['keysLayout', 'beside'],
      ['keysClear'],
      ['fits'],
      ['tap', '1'],
      ['tap', '2'],
      ['tap', 'Backspace'],
      ['cells', 5, 5, '1 '],
      ['tap', 'Enter'],
      ['waitText', '长虫竞逐'],
      ['tap', '1'],
      ['tap', 'Enter'],
      ['waitText', '头'],
      ['moves', '头', 1300],
      ['tap', 'ArrowDown'],
      ['moves', '头', 1300, 'down'],
      ['tap', 'ArrowRight'],
      ['moves', '头', 1300],
      ['tap', 'Escape'],
      ['waitText', '1.贪吃蛇  2.跑酷  3.狼人杀', 10000],
      ['viewport', 360, 740],
      ['keysLayout', 'under'],
      ['keysClear'],
      ['fits', 4],
      ['viewport', 1024, 768],
      ['keysLayout', 'under'],
      ['keysClear'],
      ['fits'],
      ['press', 'Shift'],
      ['keysShown', false],
      ['fits'],
    ],
  },
  {
    name: "a phone in landscape: the parkour game's console with the keys beside it; a held → on the screen keeps the player pushed through a jump; letting go, or sliding off the key, lets it spring back",
    device: 'phone',
    steps: [
      ['open', '?seed=3'],
      ['waitText', '1.贪吃蛇'],
      ['tap', '2'],
      ['tap', 'Enter'],
      ['waitText', '='.repeat(60)],
      ['keysLayout', 'beside'],
      ['keysClear'],
      ['fits', 6],
      ['sleep', 800],
      ['standing'],
      ['touchDown', 'ArrowRight'],
      ['track', 'before', 1200],
      ['tap', 'ArrowUp'],
      ['track', 'after', 2000],
      ['rightOf', 'after', 14],
      ['touchUp', 'ArrowRight'],
      ['track', 'let', 1500],
      ['endsLeftOf', 'let', 14],
      ['standing'],
      ['touchDown', 'ArrowRight'],
      ['sleep', 700],
      ['track', 'held', 600],
      ['rightOf', 'held', 14],
      ['touchSlide', 'ArrowRight'],
      ['track', 'slid', 1500],
      ['endsLeftOf', 'slid', 14],
      ['touchUp', 'ArrowRight'],
      ['tap', ' '],
      ['waitText', '请按任意键继续'],
    ],
  },
  {
    name: 'runs recorded in the page replay natively to the screen the page shows: a snake game to the end of the program, a parkour game with held keys to its pause',
    steps: [
      ['open', '?seed=3'],
      ['waitText', '1.贪吃蛇'],
      ['type', '1'],
      ['press', 'Enter'],
      ['waitText', '长虫竞逐'],
      ['type', '1'],
      ['press', 'Enter'],
      ['waitText', '头'],
      ['press', 'ArrowDown'],
      ['sleep', 900],
      ['press', 'ArrowRight'],
      ['sleep', 900],
      ['press', 'Escape'],
      ['waitText', '1.贪吃蛇  2.跑酷  3.狼人杀', 10000],
      ['type', '0'],
      ['press', 'Enter'],
      ['status', /^The game box has ended\./],
      ['save', 'snake.rec'],
      ['replayScreen', 'snake.rec'],
      ['open', '?seed=5'],
      ['waitText', '1.贪吃蛇'],
      ['type', '2'],
      ['press', 'Enter'],
      ['waitText', '='.repeat(60)],
      ['sleep', 800],
      ['down', 'ArrowRight'],
      ['sleep', 700],
      ['press', 'ArrowUp', 60],
      ['sleep', 900],
      ['up', 'ArrowRight'],
      ['press', 'ArrowUp', 60],
      ['sleep', 150],
      ['press', 'ArrowUp', 60],
      ['sleep', 2000],
      ['press', ' '],
      ['waitText', '请按任意键继续'],
      ['save', 'parkour.rec'],
      ['replayScreen', 'parkour.rec'],
    ],
  },
  {
    name: 'runs recorded in terminals replay in the page (?replay=) to the screen replay_screen prints; space pauses, q stops',
    steps: [
      ['open', '?replay=data/kitty-menus.rec&speed=50'],
      ['status', /^The replay has ended\. Press Enter/, 30000],
      ['replayScreen', 'tests/console/record/data/kitty-menus.rec'],
      ['open', '?replay=data/xterm-parkour.rec&speed=20'],
      ['status', /^The replay has ended\./, 30000],
      ['replayScreen', 'tests/console/record/data/xterm-parkour.rec'],
      ['open', '?replay=data/kitty-parkour.rec'],
      ['status', /^Watching kitty-parkour\.rec: space pauses, q stops\.$/],
      ['waitText', '='.repeat(60)],
      ['press', ' '],
      ['frozen', 1000],
      ['press', ' '],
      ['changes', 1000],
      ['press', 'q'],
      ['status', /^The replay has ended\. Press Enter, or click here, to start again\.$/],
    ],
  },
  {
    name: 'a file dropped on the page: a refused one (not a recording, malformed, truncated, too large) only says why, as gamebox --replay does; a recording is watched',
    steps: [
      ['open', ''],
      ['waitText', '1.贪吃蛇'],
      ['type', '1'],
      ['drop', 'notes.txt', 'hello\n'],
      ['refusedAsNatively', 'notes.txt'],
      ['drop', 'bad.rec', 'gamebox recording 1\nprogram 1.0.0\nbackend terminal\nevents\nw 1 33 zz p\n'],
      ['refusedAsNatively', 'bad.rec'],
      ['drop', 'cut.rec', 'gamebox recording 1\nprogram 1.0.0\nbackend terminal\nevents\nw 1 33 49 p'],
      ['refusedAsNatively', 'cut.rec'],
      ['drop', 'big.rec', 'gamebox recording 1\n'.repeat(64), 16384],
      ['refusedAsNatively', 'big.rec'],
      ['cells', 5, 5, '1'],
      ['type', '2'],
      ['cells', 5, 5, '12'],
      ['drop', 'menus.rec', { file: 'tests/console/record/data/xterm-menus.rec' }],
      ['status', /^Watching menus\.rec: space pauses, q stops\.$/],
      ['waitText', '长虫竞逐'],
      ['open', '?replay=https://example.com/run.rec'],
      ['status', /^\?replay=https%3A%2F%2Fexample\.com%2Frun\.rec: a recording of this site only$/],
      ['blank'],
      ['open', '?replay=data/none.rec'],
      ['status', /^\?replay=data%2Fnone\.rec: not found \(404 File not found\)$/],
    ],
  },
];
