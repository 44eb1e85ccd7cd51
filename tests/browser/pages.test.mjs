// The gallery pages in headless Chromium: keyboard and swipe navigation of lanternfold.js on a real
// demo site served over loopback, and screenshots of an index page and an item page in each look.
//
// Environment: LF_DEMO_SITE (the lf_demo_site program), LF_BROWSER_OUT (a folder for the sites and
// screenshots), LF_CHROMIUM (defaults to /usr/bin/chromium).
import { test, before, after } from 'node:test';
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import fs from 'node:fs';
import http from 'node:http';
import path from 'node:path';
import { chromium } from 'playwright-core';

const demoWriter = process.env.LF_DEMO_SITE;
const outRoot = path.resolve(process.env.LF_BROWSER_OUT || 'browser-out');
const chromiumPath = process.env.LF_CHROMIUM || '/usr/bin/chromium';
const looks = [
  { template: 'classic', language: 'en', background: 'rgb(243, 239, 230)' },
  { template: 'dark', language: 'fr', background: 'rgb(18, 18, 18)' },
  { template: 'minimal', language: 'de', background: 'rgb(255, 255, 255)' },
];
// The demo site's items in order, four to an index page.
const order = ['lighthouse', 'harbour', 'boats', 'dunes', 'gulls', 'tide-pools', 'pier', 'sunset', 'cliffs', 'beach-huts'];

const types = {
  '.html': 'text/html; charset=utf-8', '.css': 'text/css; charset=utf-8', '.js': 'text/javascript; charset=utf-8',
  '.jpg': 'image/jpeg', '.mp4': 'video/mp4', '.m4a': 'audio/mp4', '.json': 'application/json',
};

// A static file server over the sites folder, with byte ranges so that the movie can be played.
function serve(root) {
  const server = http.createServer((request, response) => {
    const relative = decodeURIComponent(new URL(request.url, 'http://localhost').pathname);
    const file = path.join(root, path.normalize(relative));
    if (!file.startsWith(root + path.sep) || !fs.existsSync(file) || !fs.statSync(file).isFile()) {
      response.writeHead(404).end();
      return;
    }
    const size = fs.statSync(file).size;
    const headers = { 'Content-Type': types[path.extname(file)] || 'application/octet-stream', 'Accept-Ranges': 'bytes' };
    const range = /^bytes=(\d*)-(\d*)$/.exec(request.headers.range || '');
    if (range) {
      const start = range[1] === '' ? size - Number(range[2]) : Number(range[1]);
      const end = range[1] !== '' && range[2] !== '' ? Math.min(Number(range[2]), size - 1) : size - 1;
      response.writeHead(206, { ...headers, 'Content-Range': `bytes ${start}-${end}/${size}`, 'Content-Length': end - start + 1 });
      fs.createReadStream(file, { start, end }).pipe(response);
      return;
    }
    response.writeHead(200, { ...headers, 'Content-Length': size });
    fs.createReadStream(file).pipe(response);
  });
  return new Promise((resolve) => server.listen(0, '127.0.0.1', () => resolve(server)));
}

let server;
let browser;
let base;

before(async () => {
  assert.ok(demoWriter, 'LF_DEMO_SITE must name the lf_demo_site program');
  fs.rmSync(outRoot, { recursive: true, force: true });
  for (const look of looks) {
    execFileSync(demoWriter, [path.join(outRoot, 'sites', look.template), '--template', look.template,
      '--language', look.language, '--home', 'http://127.0.0.1:9/'], { stdio: ['ignore', 'ignore', 'inherit'] });
  }
  fs.mkdirSync(path.join(outRoot, 'screenshots'), { recursive: true });
  server = await serve(path.join(outRoot, 'sites'));
  base = `http://127.0.0.1:${server.address().port}/`;
  browser = await chromium.launch({
    executablePath: chromiumPath,
    args: ['--no-sandbox', '--disable-gpu', '--disable-background-networking', '--disable-component-update',
      '--disable-sync', '--no-first-run'],
  });
});

after(async () => {
  await browser?.close();
  await new Promise((resolve) => (server ? server.close(resolve) : resolve()));
});

// A fresh page that records, in the page itself, every navigation it starts. The navigate event of
// the Navigation API fires synchronously when a script sets location.href, and a key press or touch
// sent through the DevTools protocol returns only after the page has handled it, so an empty record
// right after a key press proves that the key started no navigation.
async function openPage(relative, options = {}) {
  const context = await browser.newContext({ viewport: { width: 1100, height: 800 }, ...options });
  await context.addInitScript(() => {
    window.lfNavigations = [];
    window.navigation?.addEventListener('navigate', (event) => window.lfNavigations.push(event.destination.url));
  });
  const page = await context.newPage();
  await page.goto(base + relative);
  return page;
}

function siteURL(template, relative) {
  return `${base}${template}/${relative}`;
}

async function expectNoNavigation(page, action, what) {
  const before = page.url();
  await action();
  assert.deepEqual(await page.evaluate(() => window.lfNavigations), [], `${what} started a navigation`);
  assert.equal(page.url(), before, what);
}

async function expectNavigation(page, action, relative) {
  await Promise.all([page.waitForURL(siteURL('classic', relative)), action()]);
}

// A one-finger swipe through the DevTools protocol, as a touch screen sends it.
async function swipe(page, from, dx, dy) {
  const cdp = await page.context().newCDPSession(page);
  await cdp.send('Input.dispatchTouchEvent', { type: 'touchStart', touchPoints: [{ x: from.x, y: from.y }] });
  await cdp.send('Input.dispatchTouchEvent', { type: 'touchMove', touchPoints: [{ x: from.x + dx / 2, y: from.y + dy / 2 }] });
  await cdp.send('Input.dispatchTouchEvent', { type: 'touchMove', touchPoints: [{ x: from.x + dx, y: from.y + dy }] });
  await cdp.send('Input.dispatchTouchEvent', { type: 'touchEnd', touchPoints: [] });
}

// The empty middle of the top bar: no link under the finger, so a touch can never become a click.
const barMiddle = { x: 550, y: 24 };

test('ArrowRight, ArrowLeft and Escape go to the next, previous and index page', async () => {
  const page = await openPage('classic/p/gulls.html');
  await expectNavigation(page, () => page.keyboard.press('ArrowRight'), 'p/tide-pools.html');
  await expectNavigation(page, () => page.keyboard.press('ArrowLeft'), 'p/gulls.html');
  // Gulls is the fifth item, so its index page is the second.
  await expectNavigation(page, () => page.keyboard.press('Escape'), 'index-2.html');
  await page.context().close();
});

test('the first page ignores ArrowLeft and the last ignores ArrowRight and a left swipe', async () => {
  const first = await openPage(`classic/p/${order[0]}.html`);
  await expectNoNavigation(first, () => first.keyboard.press('ArrowLeft'), 'ArrowLeft on the first page');
  await expectNavigation(first, () => first.keyboard.press('ArrowRight'), `p/${order[1]}.html`);
  await first.context().close();

  const last = await openPage(`classic/p/${order.at(-1)}.html`, { hasTouch: true });
  await expectNoNavigation(last, () => last.keyboard.press('ArrowRight'), 'ArrowRight on the last page');
  await expectNoNavigation(last, () => swipe(last, barMiddle, -120, 5), 'a left swipe on the last page');
  await expectNavigation(last, () => last.keyboard.press('ArrowLeft'), `p/${order.at(-2)}.html`);
  await last.context().close();
});

test('keys with Alt, Control or Meta, or in a text field, do not navigate', async () => {
  const page = await openPage('classic/p/harbour.html');
  for (const key of ['Control+ArrowRight', 'Control+ArrowLeft', 'Meta+ArrowRight', 'Meta+Escape', 'Alt+Escape']) {
    await expectNoNavigation(page, () => page.keyboard.press(key), key);
  }
  for (const tag of ['input', 'textarea']) {
    await page.evaluate((name) => document.body.appendChild(document.createElement(name)), tag);
    await page.focus(tag);
    for (const key of ['ArrowRight', 'ArrowLeft', 'Escape']) {
      await expectNoNavigation(page, () => page.keyboard.press(key), `${key} in ${tag}`);
    }
  }
  await page.context().close();
});

test('keys inside a playing movie or a focused sound player do not navigate', async () => {
  const movie = await openPage('classic/p/boats.html');
  await movie.evaluate(() => {
    const video = document.querySelector('video');
    video.muted = true;
    return video.play();
  });
  await movie.waitForFunction(() => {
    const video = document.querySelector('video');
    return !video.paused && video.currentTime > 0;
  });
  await movie.focus('video');
  assert.equal(await movie.evaluate(() => document.activeElement.tagName), 'VIDEO');
  for (const key of ['ArrowRight', 'ArrowLeft', 'Escape']) {
    await expectNoNavigation(movie, () => movie.keyboard.press(key), `${key} in the playing movie`);
  }
  // The same keys navigate once the movie no longer has the focus.
  await movie.evaluate(() => document.activeElement.blur());
  await expectNavigation(movie, () => movie.keyboard.press('ArrowRight'), 'p/dunes.html');
  await movie.context().close();

  const sound = await openPage('classic/p/gulls.html');
  await sound.focus('audio');
  for (const key of ['ArrowRight', 'ArrowLeft', 'Escape']) {
    await expectNoNavigation(sound, () => sound.keyboard.press(key), `${key} in the sound player`);
  }
  await sound.context().close();
});

test('a sideways swipe of more than 60 pixels navigates, a mostly vertical one does not', async () => {
  const page = await openPage('classic/p/harbour.html', { hasTouch: true });
  await expectNoNavigation(page, () => swipe(page, barMiddle, 80, 70), 'a swipe of dx 80, dy 70');
  await expectNoNavigation(page, () => swipe(page, barMiddle, -60, 0), 'a swipe of 60 pixels');
  await expectNavigation(page, () => swipe(page, barMiddle, -61, 10), 'p/boats.html');
  await expectNavigation(page, () => swipe(page, barMiddle, 61, -10), 'p/harbour.html');
  await page.context().close();
});

test('each look renders its index and item pages completely', async () => {
  for (const look of looks) {
    for (const [name, relative] of [['index', 'index.html'], ['item', 'p/sunset.html']]) {
      const page = await openPage(`${look.template}/${relative}`);
      await page.waitForFunction(() => [...document.images].every((image) => image.complete && image.naturalWidth > 0));
      assert.equal(await page.evaluate(() => getComputedStyle(document.body).backgroundColor), look.background,
        `${look.template} ${name} page background`);
      assert.equal(await page.evaluate(() => document.documentElement.lang), look.language);
      const file = path.join(outRoot, 'screenshots', `${look.template}-${name}.png`);
      await page.screenshot({ path: file });
      assert.ok(fs.statSync(file).size > 10000, `${file} looks empty`);
      await page.context().close();
    }
  }
});
