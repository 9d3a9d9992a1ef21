// The README's pictures, taken from the page in headless Chromium: seeded runs, played by this
// script with the keys a player would press, each caught at a telling moment and saved as a
// PNG of the console alone.
//
//   launcher.png  the launcher menu
//   snake.png     a snake game after a few foods (steered towards the food, screen by screen)
//   parkour.png   the first wave's monsters and a power the player ran into (no key pressed:
//                 the first of SEEDS with which a power ball comes the player's way)
//   boss.png      the final stage's three bosses (the benchmark's page, which moves the game on
//                 to that stage)
//   killer.png    the killer game's first night, the player the killer
//
// Usage: node tools/screenshots.mjs [BUILD_WEB_DIR [OUT_DIR]]   (make screenshots)
// BUILD_WEB_DIR (build-web) holds the site and the benchmark's page (make web, and its target
// bench_pages); OUT_DIR is docs/screenshots. Look at each picture before committing it.
import { mkdirSync, statSync } from 'node:fs';
import { join } from 'node:path';

import { browse, screen, serve } from '../tests/web/browser.mjs';

const [buildWeb = 'build-web', out = 'docs/screenshots'] = process.argv.slice(2);
const SEEDS = [19, 14, 27, 55];  // a power ball the player's way early, no death before it

const text = (s) => s.map((r) => r.join('')).join('\n');
function find(s, glyph) {
  for (let y = 0; y < s.length; ++y) {
    const x = s[y].indexOf(glyph);
    if (x >= 0) return { x, y };
  }
  return null;
}

async function until(page, what, ms, test) {
  const end = Date.now() + ms;
  for (;;) {
    const s = await screen(page);
    if (test(s)) return s;
    if (Date.now() > end) throw new Error(`no ${what} within ${ms} ms; the screen:\n${text(s)}`);
    await page.waitForTimeout(20);
  }
}

async function shot(page, name) {
  await page.evaluate(() => new Promise((r) => requestAnimationFrame(() => requestAnimationFrame(r))));
  const path = join(out, `${name}.png`);
  await page.locator('.xterm-screen').screenshot({ path });
  console.log(`${path}: ${(statSync(path).size / 1024).toFixed(1)} KB`);
}

async function open(page, url) {
  await page.goto(url);
  await until(page, 'launcher', 8000, (s) => text(s).includes('1.贪吃蛇'));
}

async function choose(page, keys) {
  await page.keyboard.type(keys, { delay: 30 });
  await page.keyboard.press('Enter');
}

async function launcher(page, site) {
  await open(page, `${site}?seed=1`);
  await shot(page, 'launcher');
}

// Turns towards the food when the head is level with it, or away from it; one key a step.
async function snake(page, site) {
  await open(page, `${site}?seed=7`);
  await choose(page, '1');
  await until(page, 'snake cover', 8000, (s) => text(s).includes('长虫竞逐'));
  await choose(page, '1');
  let heading = { dx: 1, dy: 0 };  // it sets off to the right
  let head = null, food = null;
  let eaten = 0;
  const end = Date.now() + 90000;
  while (eaten < 5) {
    if (Date.now() > end) throw new Error('the snake found too little food');
    const s = await until(page, 'snake', 8000, (s) => find(s, '头') && find(s, '食'));
    const h = find(s, '头');
    const f = find(s, '食');
    if (head && (h.x !== head.x || h.y !== head.y)) {
      heading = { dx: Math.sign(h.x - head.x), dy: Math.sign(h.y - head.y) };
      if (food.x === h.x && food.y === h.y) ++eaten;
    }
    head = h;
    food = f;
    const dx = Math.sign(f.x - h.x), dy = Math.sign(f.y - h.y);
    let turn = null;
    if (heading.dx !== 0 && (dx === 0 || dx !== heading.dx)) turn = dy > 0 || (dy === 0 && h.y < 14) ? 'ArrowDown' : 'ArrowUp';
    if (heading.dy !== 0 && (dy === 0 || dy !== heading.dy)) turn = dx > 0 || (dx === 0 && h.x < 40) ? 'ArrowRight' : 'ArrowLeft';
    if (turn) {
      await page.keyboard.press(turn);
      // One turn a step: the next look is after the head has moved.
      await until(page, 'a step', 3000, (s) => { const n = find(s, '头'); return !n || n.x !== h.x || n.y !== h.y; });
    }
    await page.waitForTimeout(20);
  }
  // Eaten food shows on the next step's screen: the score has caught up.
  await page.waitForTimeout(300);
  await shot(page, 'snake');
}

// A power ball (火 水 风 雷 磁) that vanishes by the player, not at the left edge, was taken.
async function parkour(page, site) {
  for (const seed of SEEDS) {
    await open(page, `${site}?seed=${seed}`);
    await choose(page, '2');
    await until(page, 'parkour field', 8000, (s) => text(s).includes('='.repeat(60)));
    let ball = null;
    const end = Date.now() + 30000;
    while (Date.now() < end) {
      const s = await screen(page);
      const now = [...'火水风雷磁'].map((g) => find(s, g)).find((p) => p);
      if (!now && ball && ball.x >= 6 && ball.x <= 20) {
        await page.waitForTimeout(700);  // the power at work, the next monsters coming
        await shot(page, 'parkour');
        console.log(`  seed ${seed}`);
        return;
      }
      ball = now;
      await page.waitForTimeout(15);
    }
    console.log(`seed ${seed}: no power ball taken within 30 s`);
  }
  throw new Error(`no power with any of the seeds ${SEEDS}`);
}

async function boss(page, bench) {
  await open(page, `${bench}?seed=2`);
  await choose(page, '2');
  await until(page, 'final stage', 15000, (s) => text(s).includes('时间:'));
  await page.waitForTimeout(3000);
  await shot(page, 'boss');
}

// Seed 2 makes the player the killer: at night it chooses whom to kill.
async function killer(page, site) {
  await open(page, `${site}?seed=2`);
  await choose(page, '3');
  await until(page, 'killer menu', 8000, (s) => text(s).includes('2.查看游戏规则'));
  await page.keyboard.type('1', { delay: 30 });
  await until(page, 'table menu', 8000, (s) => text(s).includes('15人场'));
  await page.keyboard.type('1', { delay: 30 });
  await until(page, "the killer's choice", 15000, (s) => text(s).includes('你选择杀掉'));
  await choose(page, '5');
  await until(page, 'the kill', 8000, (s) => text(s).includes('杀手杀了5号'));
  await shot(page, 'killer');
}

mkdirSync(out, { recursive: true });
const site = await serve(join(buildWeb, 'site'));
const bench = await serve(join(buildWeb, 'bench'));
const browser = await browse([], { viewport: { width: 960, height: 800 } });
try {
  const page = await browser.context.newPage();
  for (const take of [launcher, snake, parkour, killer]) await take(page, site.url);
  await boss(page, bench.url);
} finally {
  await browser.close();
  site.close();
  bench.close();
}
process.exit(0);
