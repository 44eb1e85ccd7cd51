// A password-protected gallery published with `lanternfold publish --cloudflare` to the local
// Cloudflare double, where its Worker (resources/worker.js) really runs in workerd, then visited in
// headless Chromium: the login page in the gallery's look and language, a wrong and a right
// password, the session across pages and browser contexts, the open files, forged and tampered
// cookies, return addresses that point to other sites, and password guessing held back by the
// login limits. Every login of this file comes from one address (127.0.0.1), which may try ten
// passwords a minute: the tests before the last one stay below that, and the last one runs into it.
//
// Environment: LF_BINARY (the lanternfold program), LF_SOURCE_DIR (the source tree: the double and
// scripts/with-test-keyring.sh), LF_BROWSER_OUT (a folder for the pictures, the site and a
// screenshot), LF_CHROMIUM.
import { test, before, after } from 'node:test';
import assert from 'node:assert/strict';
import { execFileSync, spawn } from 'node:child_process';
import { createHmac } from 'node:crypto';
import fs from 'node:fs';
import path from 'node:path';
import readline from 'node:readline';
import { chromium } from 'playwright-core';

const program = process.env.LF_BINARY;
const sourceDir = process.env.LF_SOURCE_DIR;
const outRoot = path.resolve(process.env.LF_BROWSER_OUT || 'locked-site-out');
const chromiumPath = process.env.LF_CHROMIUM || '/usr/bin/chromium';

const SITE = 'rome-privee';
const ORIGIN = `https://${SITE}.lf-test.workers.dev`;
const PASSWORD = 'Crème brûlée 42';
const COOKIE = '__Host-lanternfold-session';
// The French texts of the login page.
const PROMPT = 'Cette galerie est privée. Saisissez le mot de passe pour la voir.';
const WRONG = 'Ce mot de passe ne fonctionne pas. Réessayez.';
const BUTTON = 'Voir la galerie';
const THROTTLED = 'Trop de tentatives. Patientez une minute, puis réessayez.';

let twin;
let ready;
let browser;
let gallery;

// Starts the Cloudflare double and reads its ready line. It ends when its standard input closes.
async function startTwin() {
  const child = spawn(process.execPath, [path.join(sourceDir, 'tests/twins/cloudflare/twin.mjs')], {
    stdio: ['pipe', 'pipe', 'inherit'],
  });
  const lines = readline.createInterface({ input: child.stdout });
  const [line] = await Promise.race([
    new Promise((resolve) => lines.once('line', (first) => resolve([first]))),
    new Promise((_, reject) => child.once('exit', (code) => reject(new Error(`the double ended (${code})`)))),
  ]);
  return { child, info: JSON.parse(line) };
}

before(async () => {
  assert.ok(program && sourceDir, 'LF_BINARY and LF_SOURCE_DIR must be set');
  ({ child: twin, info: ready } = await startTwin());

  // A folder of three pictures, each of its own brightness, set to the dark look in French.
  fs.rmSync(outRoot, { recursive: true, force: true });
  const pictures = path.join(outRoot, 'Rome');
  fs.mkdirSync(pictures, { recursive: true });
  for (const [index, name] of ['forum', 'pantheon', 'tibre'].entries()) {
    execFileSync('vips', ['gaussnoise', path.join(pictures, `${name}.jpg`), '160', '120', '--mean', String(60 + 50 * index), '--sigma', '20']);
  }
  fs.writeFileSync(path.join(pictures, 'lanternfold.json'), JSON.stringify({
    app: 'Lanternfold', version: '1.0',
    settings: { title: 'Été à Rome', template: 'dark', language: 'fr', cf_site_name: SITE, locked: true },
  }, null, 2));

  // Published through the command line with a keyring of its own, so that the stored token and
  // site key never meet the keyring other tests use. The secrets reach it through its environment.
  const output = execFileSync('dbus-run-session', ['--', path.join(sourceDir, 'scripts/with-test-keyring.sh'),
    program, 'publish', pictures, '--cloudflare'], {
    encoding: 'utf8',
    stdio: ['ignore', 'pipe', 'pipe'],
    env: {
      ...process.env,
      LANTERNFOLD_HTTP_CONNECT_TO: `::127.0.0.1:${ready.httpsPort}`,
      LANTERNFOLD_HTTP_CA_FILE: ready.caFile,
      LANTERNFOLD_CF_TOKEN: 'test-token',
      LANTERNFOLD_GALLERY_PASSWORD: PASSWORD,
    },
  });
  assert.match(output, new RegExp(`^Published at ${ORIGIN}/ \\(\\d+ of \\d+ files sent\\)\\. A new site can take a minute to appear\\.\\n$`));
  gallery = path.join(outRoot, 'Rome gallery');

  // Every host name leads to the double, which tells the sites apart by name; Chromium trusts
  // exactly the key of the double's certificates.
  browser = await chromium.launch({
    executablePath: chromiumPath,
    args: ['--no-sandbox', '--disable-gpu', '--disable-background-networking', '--disable-component-update',
      '--disable-sync', '--no-first-run', `--host-resolver-rules=MAP * 127.0.0.1:${ready.httpsPort}`,
      `--ignore-certificate-errors-spki-list=${ready.spkiHash}`],
  });
});

after(async () => {
  await browser?.close();
  twin?.stdin.end();
});

// A page in a fresh browser context: no cookies, as after closing the browser.
async function freshPage() {
  const context = await browser.newContext({ viewport: { width: 1000, height: 760 } });
  return context.newPage();
}

async function logIn(page, password) {
  await page.fill('#password', password);
  await Promise.all([page.waitForNavigation(), page.click('button[type=submit]')]);
}

async function isLoginPage(page) {
  return (await page.locator('form[action="/.lanternfold/login"] #password').count()) === 1;
}

// Waits until every picture on the page has arrived and decoded; returns how many there are.
async function picturesLoaded(page) {
  return page.evaluate(async () => {
    const images = [...document.images];
    for (const image of images) image.loading = 'eager';
    await Promise.all(images.map((image) => image.decode()));
    return images.filter((image) => image.naturalWidth > 0).length;
  });
}

async function lookOf(page) {
  return page.evaluate(() => {
    const body = getComputedStyle(document.body);
    return { background: body.backgroundColor, color: body.color };
  });
}

async function sessionCookie(page) {
  return (await page.context().cookies(ORIGIN)).find((cookie) => cookie.name === COOKIE);
}

test('the login page shows in the gallery’s look and language, and a wrong password is refused', async () => {
  const page = await freshPage();
  const response = await page.goto(`${ORIGIN}/`);
  assert.equal(response.status(), 401);
  assert.ok(await isLoginPage(page));
  assert.equal(await page.getAttribute('html', 'lang'), 'fr');
  assert.equal(await page.textContent('h1'), 'Été à Rome');
  assert.equal(await page.textContent('.prompt'), PROMPT);
  assert.equal((await page.textContent('button[type=submit]')).trim(), BUTTON);
  assert.equal(await page.locator('#wrong').count(), 0);
  const loginLook = await lookOf(page);
  fs.mkdirSync(path.join(outRoot, 'screenshots'), { recursive: true });
  await page.screenshot({ path: path.join(outRoot, 'screenshots', 'login.png') });

  await logIn(page, 'crème brûlée 42');
  assert.ok(await isLoginPage(page));
  assert.equal((await page.textContent('#wrong')).trim(), WRONG);
  assert.equal(await sessionCookie(page), undefined);

  // The gallery itself, once open, has the same colours as its login page.
  await logIn(page, PASSWORD);
  assert.equal(new URL(page.url()).origin, ORIGIN);
  assert.equal(await isLoginPage(page), false);
  assert.deepEqual(await lookOf(page), loginLook);
  await page.context().close();
});

test('the right password opens the gallery, its pictures load and the session lasts until a new context', async () => {
  const page = await freshPage();
  await page.goto(`${ORIGIN}/`);
  await logIn(page, PASSWORD);
  assert.equal(page.url(), `${ORIGIN}/`);
  assert.equal(await page.title(), fs.readFileSync(path.join(gallery, 'index.html'), 'utf8').match(/<title>([^<]*)<\/title>/)[1]);
  assert.equal(await picturesLoaded(page), 3, 'the three thumbnails arrive');
  await page.screenshot({ path: path.join(outRoot, 'screenshots', 'gallery.png') });

  const cookie = await sessionCookie(page);
  assert.ok(cookie, 'a session cookie is set');
  assert.equal(cookie.httpOnly, true);
  assert.equal(cookie.secure, true);
  assert.equal(cookie.sameSite, 'Lax');
  assert.equal(cookie.expires, -1, 'the cookie ends with the browser session');

  // Following a thumbnail to its item page keeps the session: the picture shows, not the login.
  await Promise.all([page.waitForNavigation(), page.click('a[href$="pantheon.html"]')]);
  assert.equal(await isLoginPage(page), false);
  assert.equal(new URL(page.url()).origin, ORIGIN);
  assert.ok((await picturesLoaded(page)) >= 1, 'the item page shows its picture');
  const picture = await page.goto(`${ORIGIN}/images/pantheon.jpg`);
  assert.equal(picture.status(), 200);
  assert.deepEqual(await picture.body(), fs.readFileSync(path.join(gallery, 'images', 'pantheon.jpg')));
  await page.context().close();

  // A new context is a browser that was closed and opened again.
  const later = await freshPage();
  const again = await later.goto(`${ORIGIN}/p/pantheon`);
  assert.equal(again.status(), 401);
  assert.ok(await isLoginPage(later));
  await later.context().close();
});

test('the gallery manifest and the cover load without a password', async () => {
  const page = await freshPage();
  const manifest = await page.goto(`${ORIGIN}/lanternfold-gallery.json`);
  assert.equal(manifest.status(), 200);
  const description = JSON.parse(await manifest.text());
  assert.equal(description.title, 'Été à Rome');
  assert.equal(description.locked, true);
  const cover = await page.goto(`${ORIGIN}/cover.jpg`);
  assert.equal(cover.status(), 200);
  assert.deepEqual(await cover.body(), fs.readFileSync(path.join(gallery, 'cover.jpg')));
  // Nothing else is open.
  assert.equal((await page.goto(`${ORIGIN}/thumbs/forum.jpg`)).status(), 401);
  await page.context().close();
});

test('a forged or tampered session cookie is refused', async () => {
  const page = await freshPage();
  await page.goto(`${ORIGIN}/`);
  await logIn(page, PASSWORD);
  const real = (await sessionCookie(page)).value;
  await page.context().close();

  const [issued, signature] = real.split('.');
  const flipped = signature.slice(0, -2) + (signature.at(-2) === 'A' ? 'B' : 'A') + signature.at(-1);
  // Signed like the real one, but with a key other than the site's.
  const forgedSignature = createHmac('sha256', 'not the site key').update(`lanternfold-session\nx\ny\n${issued}`).digest('base64url');
  const candidates = {
    'signature changed': `${issued}.${flipped}`,
    'time changed': `${Number(issued) - 60}.${signature}`,
    'signed with another key': `${issued}.${forgedSignature}`,
    'no signature': issued,
  };
  for (const [what, value] of Object.entries(candidates)) {
    const context = await browser.newContext();
    await context.addCookies([{ name: COOKIE, value, url: `${ORIGIN}/`, secure: true, httpOnly: true, sameSite: 'Lax' }]);
    const visitor = await context.newPage();
    const response = await visitor.goto(`${ORIGIN}/`);
    assert.equal(response.status(), 401, what);
    assert.ok(await isLoginPage(visitor), what);
    await context.close();
  }

  // The real cookie, carried over to another context, still opens the gallery: the refusals above
  // come from the changes alone.
  const context = await browser.newContext();
  await context.addCookies([{ name: COOKIE, value: real, url: `${ORIGIN}/`, secure: true, httpOnly: true, sameSite: 'Lax' }]);
  const visitor = await context.newPage();
  assert.equal((await visitor.goto(`${ORIGIN}/`)).status(), 200);
  await context.close();
});

test('a login whose return address points to another site stays on this one', async () => {
  for (const next of ['https://evil.example/', '//evil.example/steal', '/\\evil.example/', 'javascript:alert(1)']) {
    const page = await freshPage();
    await page.goto(`${ORIGIN}/`);
    await page.evaluate((value) => { document.querySelector('input[name=next]').value = value; }, next);
    await logIn(page, PASSWORD);
    const landed = new URL(page.url());
    assert.equal(landed.origin, ORIGIN, next);
    assert.equal(await isLoginPage(page), false, next);
    await page.context().close();
  }

  // A return path of this site is kept: asking for an item page first returns there after the login.
  const page = await freshPage();
  await page.goto(`${ORIGIN}/p/tibre`);
  await logIn(page, PASSWORD);
  assert.equal(new URL(page.url()).pathname, '/p/tibre');
  assert.equal(await isLoginPage(page), false);
  await page.context().close();
});

test('too many passwords within a minute are refused in the gallery’s language and look, the right one too', async () => {
  // The limit counts in fixed minutes. Starting early in one keeps the wrong passwords below and
  // the right one after them in the same minute.
  const left = 60000 - (Date.now() % 60000);
  if (left < 15000) await new Promise((resolve) => setTimeout(resolve, left + 10));
  const page = await freshPage();
  const first = await page.goto(`${ORIGIN}/`);
  assert.equal(first.headers()['strict-transport-security'], 'max-age=31536000');
  const loginLook = await lookOf(page);

  // The earlier tests used some of this minute's ten checks; eleven wrong ones surely reach the limit.
  let status;
  for (let attempt = 1; attempt <= 11 && status !== 429; attempt++) {
    await page.fill('#password', `devinette ${attempt}`);
    const [response] = await Promise.all([page.waitForNavigation(), page.click('button[type=submit]')]);
    status = response.status();
    assert.ok(status === 401 || status === 429, `attempt ${attempt}: ${status}`);
  }
  assert.equal(status, 429);
  assert.ok(await isLoginPage(page));
  assert.equal(await page.getAttribute('html', 'lang'), 'fr');
  assert.equal((await page.textContent('#throttled')).trim(), THROTTLED);
  assert.equal(await page.locator('#wrong').count(), 0);
  assert.deepEqual(await lookOf(page), loginLook);
  await page.screenshot({ path: path.join(outRoot, 'screenshots', 'throttled.png') });

  await logIn(page, PASSWORD);
  assert.ok(await isLoginPage(page), 'the right password is not checked while the limit holds');
  assert.equal((await page.textContent('#throttled')).trim(), THROTTLED);
  assert.equal(await sessionCookie(page), undefined);
  await page.context().close();
});
