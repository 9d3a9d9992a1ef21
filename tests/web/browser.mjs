// Plays the site in headless Chromium, case by case (cases.mjs), in one browser session (and
// one more for the cases on a phone): the site served by `python3 -m http.server` (no special
// headers), with the repository's recordings in data/, the screen read cell by cell from
// window.gamebox.terminal.
//
// Usage: node tests/web/browser.mjs SITE_DIR NATIVE_GAMEBOX [CASE_NAME_PART]
// SITE_DIR's parent holds the single-file page (gamebox.html); NATIVE_GAMEBOX's folder holds
// replay_screen. Exits 0 when every case passes, 1 otherwise; prints "N passed, N failed".
import { spawn, spawnSync } from 'node:child_process';
import {
  copyFileSync, mkdirSync, mkdtempSync, readFileSync, readdirSync, rmSync, statSync, symlinkSync,
  writeFileSync,
} from 'node:fs';
import { tmpdir } from 'node:os';
import { dirname, join, resolve } from 'node:path';
import { fileURLToPath, pathToFileURL } from 'node:url';
import { inflateSync } from 'node:zlib';

import { createRequire } from 'node:module';

// playwright-core is web/'s, installed from its lock file.
const { chromium } = createRequire(new URL('../../web/package.json', import.meta.url))('playwright-core');

import { cases } from './cases.mjs';

export const CHROMIUM_FLAGS = [
  '--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
  '--disable-background-networking', '--disable-component-update', '--disable-sync',
];

class Failed extends Error {}
function check(ok, what) {
  if (!ok) throw new Failed(what);
}

// A static file server for dir on a free port of the loopback: { url, close() }.
export async function serve(dir) {
  const server = spawn('python3', ['-u', '-m', 'http.server', '--bind', '127.0.0.1', '-d', dir, '0'],
                       { stdio: ['ignore', 'pipe', 'ignore'] });
  process.on('exit', () => server.kill());  // also when a failure ends the run early
  const port = await new Promise((resolve, reject) => {
    let out = '';
    server.stdout.on('data', (d) => {
      out += d;
      const m = out.match(/port (\d+)/);
      if (m) resolve(+m[1]);
    });
    server.on('exit', () => reject(new Error(`http.server ended: ${out}`)));
  });
  return { url: `http://127.0.0.1:${port}/`, close: () => server.kill() };
}

// A phone held in landscape (a Pixel 7's room for a page): a touch screen and no keyboard.
export const PHONE = { viewport: { width: 863, height: 360 }, deviceScaleFactor: 2, isMobile: true, hasTouch: true };

// A fresh browser profile and the browser on it: { context, close() }.
export async function browse(flags = [], device = {}) {
  const profile = mkdtempSync(join(tmpdir(), 'gamebox-chromium-'));
  const context = await chromium.launchPersistentContext(profile, {
    executablePath: '/usr/bin/chromium', args: [...CHROMIUM_FLAGS, ...flags], viewport: { width: 1280, height: 800 },
    ...device,
  });
  return {
    context,
    profile,
    close: async () => {
      await context.close();
      rmSync(profile, { recursive: true, force: true });
    },
  };
}

// The screen as the terminal holds it: rows of columns, a two-column glyph as the glyph and ''.
export async function screen(page) {
  return page.evaluate(() => {
    const t = window.gamebox.terminal;
    const rows = [];
    for (let y = 0; y < t.rows; ++y) {
      const line = t.buffer.active.getLine(y);
      const cols = [];
      for (let x = 0; x < t.cols; ++x) {
        const c = line.getCell(x);
        cols.push(c.getWidth() === 0 ? '' : c.getChars() || ' ');
      }
      rows.push(cols);
    }
    return rows;
  });
}
const text = (s, x, y, n) => s[y].slice(x, x + n).join('');
const rowText = (s, y) => s[y].join('');
const allText = (s) => s.map((r) => r.join('')).join('\n');

// The parkour player's head: a ● with the body's ━ just left of it, on its row (in the air) or
// the row below (standing); monsters' ● have no such body.
function head(s) {
  for (let y = 0; y < Math.min(20, s.length - 1); ++y) {
    for (let x = 0; x < s[y].length; ++x) {
      if (s[y][x] !== '●') continue;
      const left = (r) => s[r].slice(Math.max(0, x - 4), x).includes('━');
      if (left(y) || left(y + 1)) return { y, x };
    }
  }
  return null;
}

async function waitFor(page, what, ms, test) {
  const end = Date.now() + ms;
  let s = await screen(page);
  while (!test(s)) {
    check(Date.now() < end, `${what} within ${ms} ms; the screen:\n${allText(s)}`);
    await page.waitForTimeout(20);
    s = await screen(page);
  }
  return s;
}

async function track(page, ms) {
  const samples = [];
  const end = Date.now() + ms;
  while (Date.now() < end) {
    const h = head(await screen(page));
    if (h) samples.push(h);
    await page.evaluate(() => new Promise((r) => requestAnimationFrame(r)));
  }
  check(samples.length >= 10, `too few looks at the player: ${samples.length}`);
  return samples;
}

// The console attribute of cell (x, y): the presenter writes ANSI colours 0-15.
async function attr(page, x, y) {
  return page.evaluate(([x, y]) => {
    const c = window.gamebox.terminal.buffer.active.getLine(y).getCell(x);
    const console = (ansi) => ((ansi & 1) << 2) | (ansi & 2) | ((ansi & 4) >> 2) | (ansi & 8);
    return (console(c.getBgColor()) << 4) | console(c.getFgColor());
  }, [x, y]);
}

// The colour of a one-pixel PNG, as #rrggbb.
function pixel(png) {
  let i = 8, type = 0;
  const idat = [];
  while (i < png.length) {
    const len = png.readUInt32BE(i), name = png.toString('latin1', i + 4, i + 8);
    if (name === 'IHDR') type = png[i + 8 + 9];
    if (name === 'IDAT') idat.push(png.subarray(i + 8, i + 8 + len));
    i += 12 + len;
  }
  check(type === 2 || type === 6, `a PNG of colour type ${type}`);
  const row = inflateSync(Buffer.concat(idat));  // a filter byte, then the pixel
  return '#' + [...row.subarray(1, 4)].map((v) => v.toString(16).padStart(2, '0')).join('');
}

const KEY_STEPS = {
  type: (page, t) => page.keyboard.type(t, { delay: 30 }),
  down: (page, k) => page.keyboard.down(k),
  up: (page, k) => page.keyboard.up(k),
  press: async (page, k, ms = 0) => {
    await page.keyboard.down(k);
    if (ms) await page.waitForTimeout(ms);
    await page.keyboard.up(k);
  },
};

// Touches on the keys of the screen, as a touch screen sends them (Chromium's touch events: a
// start lists every point down, an end the points let go).
async function touchKey(ctx, name, down) {
  ctx.cdp ??= await ctx.page.context().newCDPSession(ctx.page);
  if (down) {
    const at = await ctx.page.evaluate((k) => {
      const b = [...document.querySelectorAll('#keys button')].find((e) => e.dataset.key === k);
      const r = b.getBoundingClientRect();
      return { x: r.left + r.width / 2, y: r.top + r.height / 2 };
    }, name);
    ctx.touches.set(name, { ...at, id: ++ctx.touchIds });
    await ctx.cdp.send('Input.dispatchTouchEvent', { type: 'touchStart', touchPoints: [...ctx.touches.values()] });
  } else {
    const point = ctx.touches.get(name);
    ctx.touches.delete(name);
    await ctx.cdp.send('Input.dispatchTouchEvent', { type: 'touchEnd', touchPoints: [point] });
  }
}
const TOUCH_STEPS = {
  tap: async (ctx, k) => {
    await touchKey(ctx, k, true);
    await ctx.page.waitForTimeout(50);
    await touchKey(ctx, k, false);
  },
  touchDown: (ctx, k) => touchKey(ctx, k, true),
  touchUp: (ctx, k) => touchKey(ctx, k, false),
  // The touch on the key slides 120 pixels up, off it.
  touchSlide: async (ctx, k) => {
    const point = ctx.touches.get(k);
    point.y -= 120;
    await ctx.cdp.send('Input.dispatchTouchEvent', { type: 'touchMove', touchPoints: [...ctx.touches.values()] });
  },
};

// The screen's rows as replay_screen prints them: a two-column glyph once, no blanks at the end.
const printed = (s) => s.map((r) => r.join('').trimEnd());
const repo = resolve(dirname(fileURLToPath(import.meta.url)), '../..');

async function step(ctx, [kind, ...a]) {
  const { page, site, tracks, native } = ctx;
  if (kind in KEY_STEPS || kind in TOUCH_STEPS) {
    if (kind in KEY_STEPS) await KEY_STEPS[kind](page, ...a);
    else await TOUCH_STEPS[kind](ctx, ...a);
    if (kind !== 'down' && kind !== 'touchDown' && kind !== 'touchSlide') await page.waitForTimeout(80);  // the echo shows at once: a frame
    return;
  }
  switch (kind) {
    case 'open': {
      const response = await page.goto(site.url + a[0]);
      ctx.headers = response.headers();
      await page.waitForFunction(() => window.gamebox && window.gamebox.terminal.element);
      return;
    }
    case 'openSingle': {
      // Alone in an empty folder, from disk.
      const dir = mkdtempSync(join(tmpdir(), 'gamebox-single-'));
      ctx.cleanup.push(() => rmSync(dir, { recursive: true, force: true }));
      copyFileSync(join(site.dir, '..', 'gamebox.html'), join(dir, 'gamebox.html'));
      ctx.requests.length = 0;
      await page.goto(pathToFileURL(join(dir, 'gamebox.html')).href + a[0]);
      await page.waitForFunction(() => window.gamebox && window.gamebox.terminal.element);
      return;
    }
    case 'singleSize': {
      const size = statSync(join(site.dir, '..', 'gamebox.html')).size;
      console.log(`  gamebox.html: ${size} bytes`);
      check(size < a[0], `gamebox.html is ${size} bytes, not under ${a[0]}`);
      return;
    }
    case 'onlyItself': {
      const own = page.url().split('?')[0];
      const others = ctx.requests.filter((u) => !/^(data|blob):/.test(u) && u.split('?')[0] !== own);
      check(ctx.requests.length > 0 && others.length === 0, `requests beyond ${own}: ${others.join(' ')}`);
      return;
    }
    case 'keysShown': {
      const shown = await page.evaluate(() => document.body.classList.contains('touch') &&
                                              document.getElementById('arrows').offsetHeight > 0);
      check(shown === a[0], `the keys on the screen are ${shown ? '' : 'not '}shown`);
      return;
    }
    case 'keysLayout': {
      const beside = await page.evaluate(() => document.body.classList.contains('beside'));
      check(beside === (a[0] === 'beside'), `the keys are ${beside ? 'beside' : 'under'} the console, not ${a[0]}`);
      return;
    }
    case 'keysClear': {
      // Every key within the window, a thumb's size, and off the console.
      const bad = await page.evaluate(() => {
        const c = window.gamebox.terminal.element.querySelector('.xterm-screen').getBoundingClientRect();
        const out = [];
        for (const b of document.querySelectorAll('#keys button')) {
          if (b.hidden) continue;
          const r = b.getBoundingClientRect();
          const name = JSON.stringify(b.dataset.key);
          if (r.width < 40 || r.height < 40) out.push(`${name} is ${r.width} x ${r.height}`);
          if (r.left < 0 || r.top < 0 || r.right > innerWidth || r.bottom > innerHeight) out.push(`${name} is out of the window`);
          if (r.left < c.right && c.left < r.right && r.top < c.bottom && c.top < r.bottom) out.push(`${name} covers the console`);
        }
        return out;
      });
      check(bad.length === 0, bad.join('; '));
      return;
    }
    case 'save': {
      const [download] = await Promise.all([page.waitForEvent('download'), page.click('#save')]);
      ctx.saved[a[0]] = join(ctx.tmp, a[0]);
      await download.saveAs(ctx.saved[a[0]]);
      return;
    }
    case 'replayScreen': {
      // The native replay of a recording (saved from the page, or one of the repository's)
      // ends on the screen the page shows.
      const file = ctx.saved[a[0]] || join(repo, a[0]);
      const run = spawnSync(join(dirname(native), 'replay_screen'), [file]);
      check(run.status === 0, `replay_screen ${file}: exit code ${run.status}: ${run.stderr}`);
      const want = run.stdout.toString().split('\n').slice(0, -1);
      const got = printed(await screen(page));
      const diff = want.map((l, y) => (l === got[y] ? null : `row ${y}: native "${l}", page "${got[y]}"`)).filter((d) => d);
      check(want.length === got.length && diff.length === 0, `${want.length} rows native, ${got.length} in the page; ${diff.join('; ')}`);
      console.log(`  ${a[0]}: ${want.length} rows as natively${run.stderr.length ? ` (${run.stderr.toString().trim()})` : ''}`);
      return;
    }
    case 'drop': {
      // A file dropped on the page: its text (from the repository with {file}), `times` over.
      const [name, content, times = 1] = a;
      const text = typeof content === 'string' ? content : readFileSync(join(repo, content.file), 'latin1');
      ctx.dropped[name] = text.repeat(times);
      await page.evaluate(([name, text, times]) => {
        const data = new DataTransfer();
        data.items.add(new File([text.repeat(times)], name));
        document.body.dispatchEvent(new DragEvent('drop', { dataTransfer: data, bubbles: true, cancelable: true }));
      }, [name, text, times]);
      return;
    }
    case 'refusedAsNatively': {
      // The line under the console is what gamebox --replay says of the same file.
      const dir = mkdtempSync(join(tmpdir(), 'gamebox-drop-'));
      ctx.cleanup.push(() => rmSync(dir, { recursive: true, force: true }));
      writeFileSync(join(dir, a[0]), ctx.dropped[a[0]], 'latin1');
      const run = spawnSync(resolve(native), ['--replay', a[0]], { cwd: dir, stdio: ['ignore', 'ignore', 'pipe'] });
      const want = run.stderr.toString().trim().replace(/^gamebox: /, '');
      check(run.status === 2 && want !== '', `the native program did not refuse ${a[0]}: ${run.status}`);
      await step(ctx, ['status', new RegExp(`^${want.replace(/[.*+?^${}()|[\]\\]/g, '\\$&')}$`)]);
      console.log(`  refused as natively: ${want}`);
      return;
    }
    case 'frozen': {
      const first = allText(await screen(page));
      const end = Date.now() + a[0];
      while (Date.now() < end) {
        await page.waitForTimeout(50);
        check(allText(await screen(page)) === first, 'the screen changed');
      }
      return;
    }
    case 'changes': {
      const first = allText(await screen(page));
      await waitFor(page, 'a change of the screen', a[0], (s) => allText(s) !== first);
      return;
    }
    case 'sleep':
      return page.waitForTimeout(a[0]);
    case 'waitText':
      return waitFor(page, `"${a[0]}" on the screen`, a[1] || 8000, (s) => allText(s).includes(a[0]));
    case 'cells': {
      const [x, y, want] = a;
      const n = [...want].reduce((w, ch) => w + (ch.codePointAt(0) < 0x80 ? 1 : 2), 0);
      const s = await screen(page);
      check(text(s, x, y, n) === want, `(${x}, ${y}): "${text(s, x, y, n)}", not "${want}"`);
      return;
    }
    case 'row': {
      const [y, x0, x1, ch] = a;
      const s = await screen(page);
      check(s[y].slice(x0, x1 + 1).every((c) => c === ch), `row ${y} ${x0}..${x1} is not all "${ch}": "${rowText(s, y)}"`);
      return;
    }
    case 'column': {
      const [x, y0, y1, ch] = a;
      const s = await screen(page);
      const got = s.slice(y0, y1 + 1).map((r) => r[x]).join('');
      check(got === ch.repeat(y1 - y0 + 1), `column ${x} rows ${y0}..${y1}: "${got}"`);
      return;
    }
    case 'cursor': {
      const at = await page.evaluate(() => {
        const b = window.gamebox.terminal.buffer.active;
        return [b.cursorX, b.cursorY];
      });
      check(at[0] === a[0] && at[1] === a[1], `the cursor is at (${at}), not (${a})`);
      return;
    }
    case 'attr': {
      const got = await attr(page, a[0], a[1]);
      check(got === a[2], `(${a[0]}, ${a[1]}) has attribute 0x${got.toString(16)}, not 0x${a[2].toString(16)}`);
      return;
    }
    case 'shade': {
      // One pixel at the cell's middle, from a screenshot: the colour the page really paints.
      const at = await page.evaluate(([x, y]) => {
        const t = window.gamebox.terminal;
        const r = t.element.querySelector('.xterm-screen').getBoundingClientRect();
        return { x: Math.floor(r.left + (x + 0.5) * r.width / t.cols), y: Math.floor(r.top + (y + 0.5) * r.height / t.rows) };
      }, a);
      const got = pixel(await page.screenshot({ clip: { ...at, width: 1, height: 1 } }));
      check(got === a[2], `(${a[0]}, ${a[1]}) is painted ${got}, not ${a[2]}`);
      return;
    }
    case 'wide': {
      const cells = await page.evaluate((g) => {
        const t = window.gamebox.terminal;
        const out = [];
        for (let y = 0; y < t.rows; ++y)
          for (let x = 0; x < t.cols; ++x) {
            const c = t.buffer.active.getLine(y).getCell(x);
            if (c.getChars() === g) out.push([x, y, c.getWidth(), t.buffer.active.getLine(y).getCell(x + 1)?.getWidth()]);
          }
        return out;
      }, a[0]);
      check(cells.length > 0, `no ${a[0]} on the screen`);
      for (const [x, y, w, next] of cells)
        check(w === 2 && next === 0, `${a[0]} at (${x}, ${y}) takes ${w} column(s)`);
      return;
    }
    case 'size': {
      const got = await page.evaluate(() => [window.gamebox.terminal.cols, window.gamebox.terminal.rows]);
      check(got[0] === a[0] && got[1] === a[1], `the terminal is ${got[0]} x ${got[1]}, not ${a[0]} x ${a[1]}`);
      return;
    }
    case 'viewport':
      await page.setViewportSize({ width: a[0], height: a[1] });
      return page.waitForTimeout(300);  // the page refits at the next frame
    case 'fits': {
      const f = await page.evaluate(() => {
        const t = window.gamebox.terminal;
        const r = t.element.querySelector('.xterm-screen').getBoundingClientRect();
        const rows = t.element.querySelectorAll('.xterm-rows > div');
        const last = rows[rows.length - 1].getBoundingClientRect();
        const d = document.documentElement;
        return { r: [r.left, r.top, r.right, r.bottom], last: last.bottom, w: innerWidth, h: innerHeight,
                 scroll: d.scrollWidth > d.clientWidth || d.scrollHeight > d.clientHeight,
                 n: rows.length, font: t.options.fontSize };
      });
      check(f.r[0] >= 0 && f.r[1] >= 0 && f.r[2] <= f.w && f.r[3] <= f.h && f.last <= f.h,
            `the console (${f.r.map(Math.round)}, last row to ${Math.round(f.last)}) is not within ${f.w} x ${f.h}`);
      check(!f.scroll, 'the page scrolls');
      check(f.font >= (a[0] ?? 8), `the font shrank to ${f.font} px`);
      return;
    }
    case 'focused':
      check(await page.evaluate(() => document.activeElement === window.gamebox.terminal.textarea),
            'the terminal does not have the keyboard focus');
      return;
    case 'globals': {
      const extra = await page.evaluate(async () => {
        const frame = document.createElement('iframe');
        document.body.append(frame);
        const blank = new Set(Object.getOwnPropertyNames(frame.contentWindow));
        frame.remove();
        return Object.getOwnPropertyNames(window).filter((k) => !blank.has(k));
      });
      check(extra.length === 1 && extra[0] === 'gamebox', `globals beyond a blank page's: ${extra}`);
      return;
    }
    case 'plainServer': {
      const h = ctx.headers;
      check(!h['cross-origin-opener-policy'] && !h['cross-origin-embedder-policy'],
            `the server sent isolation headers: ${JSON.stringify(h)}`);
      check(!(await page.evaluate(() => window.crossOriginIsolated)), 'the page is cross-origin isolated');
      return;
    }
    case 'prevented': {
      // A listener before the page's: it reads the flag once the event has been handled.
      const seen = page.evaluate(() => new Promise((resolve) => {
        window.addEventListener('keydown', (e) => setTimeout(() => resolve(e.defaultPrevented)),
                                { capture: true, once: true });
      }));
      await page.waitForTimeout(20);
      await page.keyboard.press(a[0]);
      check(await seen, `${a[0]} was left to the browser`);
      return;
    }
    case 'standing':
      await waitFor(page, 'the player standing on the upper level', 6000, (s) => head(s)?.y === 17);
      return page.waitForTimeout(300);
    case 'track':
      tracks[a[0]] = await track(page, a[1]);
      return;
    case 'rises': {
      const top = (n) => Math.min(...tracks[n].map((h) => h.y));
      console.log(`  highest head row ${top(a[1])} (${a[1]}), ${top(a[0])} (${a[0]})`);
      check(top(a[0]) <= top(a[1]) - a[2], `${a[0]} did not rise ${a[2]} rows above ${a[1]}: rows ${top(a[0])} and ${top(a[1])}`);
      return;
    }
    case 'rightOf': {
      const xs = tracks[a[0]].map((h) => h.x);
      console.log(`  head columns (${a[0]}): ${Math.min(...xs)}..${Math.max(...xs)}, ${xs.length} looks`);
      check(Math.min(...xs) > a[1], `the head came back to column ${Math.min(...xs)} (${a[0]}): ${xs}`);
      return;
    }
    case 'endsLeftOf': {
      const last = tracks[a[0]].at(-1);
      check(last.x <= a[1], `the head stayed at column ${last.x} (${a[0]})`);
      return;
    }
    case 'moves': {
      const [glyph, ms, way = 'right'] = a;
      const where = (s) => {
        for (let y = 0; y < s.length; ++y) {
          const x = s[y].indexOf(glyph);
          if (x >= 0) return way === 'right' ? x : y;
        }
        return -1;
      };
      const x0 = where(await screen(page));
      await page.waitForTimeout(ms);
      const x1 = where(await screen(page));
      check(x0 >= 0 && x1 > x0, `${glyph} did not move ${way}: ${x0} then ${x1}`);
      return;
    }
    case 'still': {
      const end = Date.now() + a[0];
      while (Date.now() < end) {
        const t = allText(await screen(page));
        check(t.includes(a[1]) && !t.includes(a[2]), `the screen did not stay: ${t}`);
        await page.waitForTimeout(50);
      }
      return;
    }
    case 'blur':
      return page.evaluate(() => window.dispatchEvent(new Event('blur')));
    case 'hide':
      return page.evaluate(() => {
        Object.defineProperty(document, 'hidden', { value: true, configurable: true });
        document.dispatchEvent(new Event('visibilitychange'));
      });
    case 'status': {
      const t0 = Date.now();
      let got;
      while (!a[0].test(got = await page.locator('#status').textContent()) && Date.now() < t0 + (a[1] || 8000))
        await page.waitForTimeout(50);
      check(a[0].test(got), `the line under the console says "${got}" after ${Date.now() - t0} ms`);
      if (a[1]) console.log(`  "${got.slice(0, 40)}..." after ${Date.now() - t0} ms`);
      return;
    }
    case 'blank': {
      const t = allText(await screen(page));
      check(t.trim() === '', `something was drawn: ${t}`);
      return;
    }
    case 'native': {
      const [args, input, pattern] = a;
      const run = spawnSync(native, args, { input, env: { ...process.env, GAMEBOX_CLOCK: 'virtual' } });
      const lines = run.stdout.toString().split('\n').filter((l) => pattern.test(l)).map((l) => l.trim());
      check(lines.length > 0, `the native program printed no line like ${pattern}`);
      const s = await screen(page);
      const rows = s.map((r) => r.join('').trim());
      for (const l of lines) check(rows.includes(l), `"${l}" (native) is not on the page:\n${allText(s)}`);
      console.log(`  as natively: ${lines.join(' / ')}`);
      return;
    }
    default:
      throw new Error(`no step '${kind}'`);
  }
}

async function main() {
  const [siteDir, native, only] = process.argv.slice(2);
  // The site, with the repository's recordings beside it in data/.
  const tmp = mkdtempSync(join(tmpdir(), 'gamebox-web-'));
  const root = join(tmp, 'root');
  mkdirSync(root);
  for (const f of readdirSync(siteDir)) symlinkSync(resolve(siteDir, f), join(root, f));
  symlinkSync(join(repo, 'tests/console/record/data'), join(root, 'data'));
  const site = { ...(await serve(root)), dir: resolve(siteDir) };
  const browsers = {};  // one for the desktop, one for the phone, each started when first wanted
  let passed = 0, failed = 0;
  try {
    for (const c of cases) {
      if (only && !c.name.includes(only)) continue;
      const device = c.device || 'desktop';
      browsers[device] ??= await browse([], device === 'phone' ? PHONE : {});
      const page = await browsers[device].context.newPage();
      const errors = [];
      page.on('pageerror', (e) => errors.push(e.message));
      const requests = [];
      page.on('request', (r) => requests.push(r.url()));
      const ctx = { page, site, tracks: {}, native, requests, touches: new Map(), touchIds: 0, saved: {}, dropped: {}, tmp, cleanup: [] };
      const t0 = Date.now();
      try {
        for (const s of c.steps) {
          try {
            await step(ctx, s);
          } catch (e) {
            e.message = `step ${JSON.stringify(s, (k, v) => (v instanceof RegExp ? String(v) : v))}: ${e.message}`;
            if (errors.length) e.message += ` (errors in the page: ${errors.join('; ')})`;
            throw e;
          }
        }
        check(errors.length === 0, `errors in the page: ${errors.join('; ')}`);
        ++passed;
        console.log(`PASS ${c.name} (${((Date.now() - t0) / 1000).toFixed(1)} s)`);
      } catch (e) {
        ++failed;
        console.log(`FAIL ${c.name}\n  ${e.message}`);
      }
      await page.close();
      for (const f of ctx.cleanup) f();
    }
  } finally {
    for (const b of Object.values(browsers)) await b.close();
    site.close();
    rmSync(tmp, { recursive: true, force: true });
  }
  console.log(`${passed} passed, ${failed} failed`);
  process.exit(failed ? 1 : 0);
}

if (import.meta.url === `file://${process.argv[1]}`) await main();
