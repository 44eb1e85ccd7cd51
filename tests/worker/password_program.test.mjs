// The password program (resources/worker.js) running in workerd through Miniflare, as Cloudflare
// runs it: the main module beside lock-config.js, the site key as LF_SECRET and the gallery's
// files as the ASSETS binding with the Worker invoked before any static file.
//
// The lock configurations are the ones site_lock_test.cpp proves Lanternfold writes byte for byte
// (tests/publish/cloudflare/lock), so the program is tested against what the application uploads.
import { after, before, describe, test } from "node:test";
import assert from "node:assert/strict";
import { createHmac } from "node:crypto";
import { mkdirSync, mkdtempSync, readFileSync, rmSync, writeFileSync } from "node:fs";
import { tmpdir } from "node:os";
import { dirname, join } from "node:path";
import { fileURLToPath } from "node:url";
import { Miniflare } from "miniflare";

const here = dirname(fileURLToPath(import.meta.url));
const root = join(here, "..", "..");
const workerJs = readFileSync(join(root, "resources", "worker.js"), "utf8");
const lockFolder = join(root, "tests", "publish", "cloudflare", "lock");
const frenchDark = readFileSync(join(lockFolder, "fr-dark.lock-config.js"), "utf8");
const fallback = readFileSync(join(lockFolder, "fallback.lock-config.js"), "utf8");

// Inputs of the two lock configurations (see make-golden.mjs).
const FRENCH_PASSWORD = "Cr\u00e8me br\u00fbl\u00e9e/42";
const FRENCH_KEY = "q0rV3s8Yb0m6o1Jx3v2b8WwU0m7Zt5qkH9b1n4c2d6E=";
const FALLBACK_PASSWORD = "open sesame";

const ORIGIN = "https://summer.example.workers.dev";
const COOKIE = "__Host-lanternfold-session";

// The newest date the bundled workerd knows; Lanternfold deploys with a later one on Cloudflare.
const COMPATIBILITY_DATE = "2025-07-18";

const site = mkdtempSync(join(tmpdir(), "lf-worker-site-"));
const files = {
  "index.html": "<!doctype html><title>Gallery</title><h1>The gallery itself</h1>\n",
  "items/one.html": "<!doctype html><title>One</title><p>item one</p>\n",
  "pictures/one.jpg": Buffer.from([0xff, 0xd8, 0xff, 0xe0, 1, 2, 3, 4, 0xff, 0xd9]),
  "cover.jpg": Buffer.from([0xff, 0xd8, 0xff, 0xe0, 9, 9, 9, 0xff, 0xd9]),
  "lanternfold-gallery.json": '{"title":"Summer","count":3}\n',
};
for (const [name, content] of Object.entries(files)) {
  mkdirSync(dirname(join(site, name)), { recursive: true });
  writeFileSync(join(site, name), content);
}

const running = [];

// The login limits Lanternfold deploys with a locked site (login_limits.hpp; the C++ tests check
// the upload metadata that carries them): 10 password checks a minute per visitor, 60 per site.
const LOGIN_LIMITS = {
  LF_VISITOR_LIMIT: { simple: { limit: 10, period: 60 } },
  LF_SITE_LIMIT: { simple: { limit: 60, period: 60 } },
};

// Put in front of the password program when a test counts PBKDF2 runs: it counts every PBKDF2
// derivation and tells the count at /.test/pbkdf2-runs (a path the program never serves).
const COUNTING_ENTRY = `
import program from "./lanternfold.js";
let runs = 0;
const subtle = Object.getPrototypeOf(crypto.subtle);
const deriveBits = subtle.deriveBits;
Object.defineProperty(subtle, "deriveBits", {
  configurable: true, writable: true,
  value: function (algorithm, ...rest) {
    if (String(algorithm && algorithm.name).toUpperCase() === "PBKDF2") runs++;
    return deriveBits.call(this, algorithm, ...rest);
  },
});
export default {
  fetch(request, env, context) {
    if (new URL(request.url).pathname === "/.test/pbkdf2-runs") return new Response(String(runs));
    return program.fetch(request, env, context);
  },
};
`;

// One Worker deployed like a locked gallery; secret null leaves LF_SECRET out. limits gives the
// Rate Limiting bindings (none, as an older Lanternfold deployed it, when absent); counting puts
// COUNTING_ENTRY in front of the program.
function deploy(lockConfig, secret, { limits = null, counting = false } = {}) {
  const bindings = secret === null ? {} : { LF_SECRET: secret };
  const modules = [
    { type: "ESModule", path: join(here, "lanternfold.js"), contents: workerJs },
    { type: "ESModule", path: join(here, "lock-config.js"), contents: lockConfig },
  ];
  if (counting) modules.unshift({ type: "ESModule", path: join(here, "counting-entry.js"), contents: COUNTING_ENTRY });
  const mf = new Miniflare({
    // The modules are given as text; their paths only name them, relative to modulesRoot. The
    // first one is the Worker's main module.
    modulesRoot: here,
    modules,
    compatibilityDate: COMPATIBILITY_DATE,
    bindings,
    ...(limits === null ? {} : { ratelimits: limits }),
    assets: {
      directory: site,
      binding: "ASSETS",
      routerConfig: { has_user_worker: true, invoke_user_worker_ahead_of_assets: true },
      assetConfig: { html_handling: "auto-trailing-slash", not_found_handling: "none" },
    },
  });
  running.push(mf);
  const fetchUrl = (url, init = {}) => mf.dispatchFetch(url, { redirect: "manual", ...init });
  const fetch = (path, init = {}) => fetchUrl(ORIGIN + path, init);
  return { mf, fetch, fetchUrl };
}

function loginBody(password, next) {
  const form = new URLSearchParams();
  if (password !== undefined) form.set("password", password);
  if (next !== undefined) form.set("next", next);
  return form.toString();
}

// A login posted from the given visitor address, as Cloudflare reports it in CF-Connecting-IP.
function postLoginFrom(worker, address, password, next = "/") {
  return postLogin(worker, password, next, { "CF-Connecting-IP": address });
}

async function pbkdf2Runs(worker) {
  return Number(await (await worker.fetch("/.test/pbkdf2-runs")).text());
}

// The limits count in fixed windows of their period. A test that must stay inside one window
// starts at the beginning of the next one when less than `needed` milliseconds of this one remain.
async function startOfWindow(periodSeconds, needed) {
  const period = periodSeconds * 1000;
  const left = period - (Date.now() % period);
  if (left < needed) await nextWindow(periodSeconds);
}

// Waits until the clock has entered the next window of the given period.
async function nextWindow(periodSeconds) {
  const period = periodSeconds * 1000;
  const window = Math.floor(Date.now() / period);
  while (Math.floor(Date.now() / period) === window) {
    await new Promise((resolve) => setTimeout(resolve, period - (Date.now() % period) + 5));
  }
}

function postLogin(worker, password, next, headers = {}) {
  return worker.fetch("/.lanternfold/login", {
    method: "POST",
    headers: { "Content-Type": "application/x-www-form-urlencoded", ...headers },
    body: loginBody(password, next),
  });
}

// The session cookie's name=value from a login answer, after checking how it is set.
function sessionCookie(response) {
  const header = response.headers.get("Set-Cookie");
  assert.ok(header, "no cookie was set");
  const [pair, ...attributes] = header.split(";").map((part) => part.trim());
  assert.ok(pair.startsWith(`${COOKIE}=`), header);
  const names = attributes.map((attribute) => attribute.split("=")[0].toLowerCase());
  for (const wanted of ["httponly", "secure", "path"]) assert.ok(names.includes(wanted), header);
  assert.ok(attributes.includes("SameSite=Lax"), header);
  assert.ok(attributes.includes("Path=/"), header);
  // Lasting until the browser closes: no expiry of any kind, and no Domain to widen it.
  for (const unwanted of ["expires", "max-age", "domain"]) assert.ok(!names.includes(unwanted), header);
  return pair;
}

function hiddenNext(html) {
  const match = /<input type="hidden" name="next" value="([^"]*)">/.exec(html);
  assert.ok(match, "the login page has no return address");
  return match[1].replace(/&amp;/g, "&");
}

async function bytes(response) {
  return Buffer.from(await response.arrayBuffer());
}

after(async () => {
  await Promise.all(running.map((mf) => mf.dispose()));
  rmSync(site, { recursive: true, force: true });
});

describe("a locked French gallery in the dark look", () => {
  let worker;
  let cookie;
  before(async () => {
    worker = deploy(frenchDark, FRENCH_KEY);
    await worker.mf.ready;
  });

  test("a visitor without a session gets the login page in the gallery's language and colours", async () => {
    for (const path of ["/", "/items/one.html", "/pictures/one.jpg", "/cover.jpeg", "/missing/"]) {
      const response = await worker.fetch(path);
      assert.equal(response.status, 401, path);
      assert.match(response.headers.get("Content-Type"), /^text\/html; charset=utf-8/);
      assert.equal(response.headers.get("Cache-Control"), "no-store");
      const html = await response.text();
      assert.ok(!html.includes("The gallery itself"));
      assert.match(html, /^<!doctype html>\n<html lang="fr">/);
      assert.ok(html.includes(":root{--bg:#121212;--fg:#e6e2da;--muted:#8d877c;--accent:#e2b65a;"), "theme");
      assert.ok(html.includes("--head:'Helvetica Neue',Helvetica,Arial,sans-serif;}"), "theme font");
      assert.ok(html.includes("font-family:var(--head)"));
      assert.ok(
        html.includes("<h1>\u00c9t\u00e9 \u00e0 Paris / 2024 \u201cbest\u201d &quot;\\&quot;</h1>"),
        "escaped title",
      );
      assert.ok(html.includes("Cette galerie est priv\u00e9e. Saisissez le mot de passe pour la voir."));
      assert.ok(html.includes('<label for="password">Mot de passe</label>'));
      assert.ok(html.includes('<input type="password" id="password" name="password"'));
      assert.ok(html.includes('<button type="submit">Voir la galerie</button>'));
      assert.ok(html.includes('<form method="post" action="/.lanternfold/login"'));
      assert.ok(!html.includes("Ce mot de passe ne fonctionne pas"), "wrong-password text before any try");
      assert.equal(hiddenNext(html), path);
    }
    const head = await worker.fetch("/", { method: "HEAD" });
    assert.equal(head.status, 401);
    assert.equal((await bytes(head)).length, 0);
  });

  test("the gallery manifest and the cover are served without a password", async () => {
    const manifest = await worker.fetch("/lanternfold-gallery.json");
    assert.equal(manifest.status, 200);
    assert.equal(await manifest.text(), files["lanternfold-gallery.json"]);
    const cover = await worker.fetch("/cover.jpg");
    assert.equal(cover.status, 200);
    assert.deepEqual(await bytes(cover), files["cover.jpg"]);
  });

  test("a wrong password shows the wrong-password text and sets no cookie", async () => {
    // Wrong: another password, the same one in decomposed form, with a trailing space, empty, none.
    for (const password of ["cr\u00e8me br\u00fbl\u00e9e/42", "Cre\u0300me bru\u0302le\u0301e/42", `${FRENCH_PASSWORD} `, "", undefined]) {
      const response = await postLogin(worker, password, "/items/one.html");
      assert.equal(response.status, 401, String(password));
      assert.equal(response.headers.get("Set-Cookie"), null);
      const html = await response.text();
      assert.ok(html.includes('role="alert">Ce mot de passe ne fonctionne pas. R\u00e9essayez.</p>'));
      assert.equal(hiddenNext(html), "/items/one.html");
    }
  });

  test("the right password signs the visitor in and returns them to the page they asked for", async () => {
    const response = await postLogin(worker, FRENCH_PASSWORD, "/items/one.html?from=home");
    assert.equal(response.status, 303);
    assert.equal(response.headers.get("Location"), `${ORIGIN}/items/one.html?from=home`);
    cookie = sessionCookie(response);

    // Assets answer with html_handling "auto-trailing-slash", so the page is served at /items/one.
    const page = await worker.fetch("/items/one", { headers: { Cookie: cookie } });
    assert.equal(page.status, 200);
    assert.equal(await page.text(), files["items/one.html"]);
    assert.match(page.headers.get("Cache-Control"), /private/);

    const picture = await worker.fetch("/pictures/one.jpg", { headers: { Cookie: `theme=x; ${cookie}; other=1` } });
    assert.equal(picture.status, 200);
    assert.deepEqual(await bytes(picture), files["pictures/one.jpg"]);

    const index = await worker.fetch("/", { headers: { Cookie: cookie } });
    assert.equal(index.status, 200);
    assert.equal(await index.text(), files["index.html"]);

    // Signed in, the login address sends the visitor on instead of asking again.
    const again = await worker.fetch("/.lanternfold/login?next=/items/one.html", { headers: { Cookie: cookie } });
    assert.equal(again.status, 303);
    assert.equal(again.headers.get("Location"), `${ORIGIN}/items/one.html`);
  });

  test("forged and tampered cookies are refused", async () => {
    assert.ok(cookie, "needs the login of the previous test");
    const value = cookie.slice(COOKIE.length + 1);
    const [issued, signature] = value.split(".");
    const flipped = (signature[0] === "A" ? "B" : "A") + signature.slice(1);
    const sign = (key, time) =>
      createHmac("sha256", key)
        .update(`lanternfold-session\n${lockOf(frenchDark).salt}\n${lockOf(frenchDark).hash}\n${time}`)
        .digest("base64url");
    const now = Math.floor(Date.now() / 1000);
    const forged = [
      "",
      "yes",
      "1",
      `${issued}.`,
      `${issued}.${flipped}`,
      `${Number(issued) + 1}.${signature}`,
      `${issued}.${signature}x`,
      `${issued}.${signature.slice(0, -1)}`,
      // Signed with another key, as another site's session would be.
      `${now}.${sign("another site's key", now)}`,
      // Signed with the right key, but older than a session may be, or from the future.
      `${now - 31 * 24 * 3600}.${sign(FRENCH_KEY, now - 31 * 24 * 3600)}`,
      `${now + 3600}.${sign(FRENCH_KEY, now + 3600)}`,
    ];
    for (const token of forged) {
      const response = await worker.fetch("/pictures/one.jpg", { headers: { Cookie: `${COOKIE}=${token}` } });
      assert.equal(response.status, 401, token);
    }
    // A cookie under another name does not count either.
    const renamed = await worker.fetch("/", { headers: { Cookie: `lanternfold-session=${value}` } });
    assert.equal(renamed.status, 401);
    // A session signed a day ago with the site key is still good: the token format above is the
    // program's own, so the refusals are for the reasons given.
    const yesterday = now - 24 * 3600;
    const fresh = await worker.fetch("/", { headers: { Cookie: `${COOKIE}=${yesterday}.${sign(FRENCH_KEY, yesterday)}` } });
    assert.equal(fresh.status, 200);
  });

  test("a login never leads to another site", async () => {
    const offsite = [
      "//evil.example/",
      "//evil.example",
      "/\\evil.example",
      "\\\\evil.example",
      "/\\/evil.example",
      "https://evil.example/",
      "http:evil.example",
      "evil.example",
      "javascript:alert(1)",
      "/\t/evil.example",
      "/\n/evil.example",
      " //evil.example",
      "/a/..//evil.example",
      "/%2e%2e//evil.example",
      "/.lanternfold/login",
      "",
      "x".repeat(3000),
    ];
    for (const next of offsite) {
      const response = await postLogin(worker, FRENCH_PASSWORD, next);
      assert.equal(response.status, 303, JSON.stringify(next));
      const location = response.headers.get("Location");
      assert.equal(location, `${ORIGIN}/`, JSON.stringify(next));
      assert.equal(new URL(location).origin, ORIGIN);
    }
    // Paths of this site are kept, encoded as the browser sent them.
    for (const [next, expected] of [
      ["/items/one.html", "/items/one.html"],
      ["/items/?page=2&sort=date", "/items/?page=2&sort=date"],
      ["/%2F%2Fevil.example", "/%2F%2Fevil.example"],
    ]) {
      const response = await postLogin(worker, FRENCH_PASSWORD, next);
      assert.equal(response.headers.get("Location"), ORIGIN + expected, next);
    }
    // The same rules hold for the address the login page carries along.
    const page = await worker.fetch("/.lanternfold/login?next=" + encodeURIComponent("//evil.example/x"));
    assert.equal(page.status, 401);
    assert.equal(hiddenNext(await page.text()), "/");
    const own = await worker.fetch("/.lanternfold/login?next=" + encodeURIComponent("/items/one.html"));
    assert.equal(hiddenNext(await own.text()), "/items/one.html");
  });

  test("an oversized login form is refused before the password is checked", async () => {
    const response = await postLogin(worker, FRENCH_PASSWORD + "x".repeat(20000), "/");
    assert.equal(response.status, 413);
    assert.equal(response.headers.get("Set-Cookie"), null);
  });
});

describe("another lock on the same site key", () => {
  test("a new password ends the sessions of the old one", async () => {
    const before = deploy(frenchDark, FRENCH_KEY);
    const login = await postLogin(before, FRENCH_PASSWORD, "/");
    const cookie = sessionCookie(login);
    const changed = deploy(fallback, FRENCH_KEY);
    const refused = await changed.fetch("/", { headers: { Cookie: cookie } });
    assert.equal(refused.status, 401);
  });

  test("an unknown language and template give the English texts in the classic look", async () => {
    const worker = deploy(fallback, "AAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA=");
    const html = await (await worker.fetch("/")).text();
    assert.match(html, /<html lang="xx">/);
    assert.ok(html.includes(":root{--bg:#f3efe6;--fg:#2a2622;"));
    assert.ok(html.includes("--head:Georgia,'Times New Roman',serif;}"));
    assert.ok(html.includes("This gallery is private. Enter the password to view it."));
    assert.ok(html.includes('<button type="submit">View Gallery</button>'));
    const wrong = await (await postLogin(worker, "open sesame!", "/")).text();
    assert.ok(wrong.includes("That password didn\u2019t work. Try again."));
    const right = await postLogin(worker, FALLBACK_PASSWORD, "/");
    assert.equal(right.status, 303);
  });
});

describe("a Worker set up wrongly stays closed", () => {
  test("without the site key nothing but the open paths is served", async () => {
    const worker = deploy(frenchDark, null);
    assert.equal((await worker.fetch("/")).status, 503);
    assert.equal((await postLogin(worker, FRENCH_PASSWORD, "/")).status, 503);
    assert.equal((await worker.fetch("/cover.jpg")).status, 200);
  });

  test("more PBKDF2 rounds than Cloudflare allows are never run", async () => {
    const heavy = frenchDark.replace('"iterations":100000', '"iterations":100001');
    assert.notEqual(heavy, frenchDark);
    const worker = deploy(heavy, FRENCH_KEY);
    const response = await postLogin(worker, FRENCH_PASSWORD, "/");
    assert.equal(response.status, 401);
    assert.ok((await response.text()).includes("Ce mot de passe ne fonctionne pas."));
  });
});

describe("password guessing is throttled", () => {
  const THROTTLED = "Trop de tentatives. Patientez une minute, puis r\u00e9essayez.";
  const WRONG = "Ce mot de passe ne fonctionne pas. R\u00e9essayez.";

  test("the 11th password within a minute from one address gets 429 without a PBKDF2 run, others still log in", async () => {
    const worker = deploy(frenchDark, FRENCH_KEY, { limits: LOGIN_LIMITS, counting: true });
    await worker.mf.ready;
    await startOfWindow(60, 15000);
    const guesser = "203.0.113.7";
    for (let attempt = 1; attempt <= 10; attempt++) {
      const response = await postLoginFrom(worker, guesser, `guess ${attempt}`, "/items/one.html");
      assert.equal(response.status, 401, `attempt ${attempt}`);
      assert.ok((await response.text()).includes(WRONG));
    }
    assert.equal(await pbkdf2Runs(worker), 10);

    const throttled = await postLoginFrom(worker, guesser, "guess 11", "/items/one.html");
    assert.equal(throttled.status, 429);
    assert.equal(throttled.headers.get("Retry-After"), "60");
    assert.equal(throttled.headers.get("Set-Cookie"), null);
    assert.equal(throttled.headers.get("Cache-Control"), "no-store");
    const html = await throttled.text();
    // The login page in the gallery's language and look, with the throttle line instead of the
    // wrong-password text, and the address to return to kept for the next try.
    assert.match(html, /^<!doctype html>\n<html lang="fr">/);
    assert.ok(html.includes(":root{--bg:#121212;--fg:#e6e2da;"), "theme");
    assert.ok(html.includes(`<p class="wrong" id="throttled" role="alert">${THROTTLED}</p>`));
    assert.ok(html.includes('<button type="submit">Voir la galerie</button>'));
    assert.ok(!html.includes(WRONG));
    assert.equal(hiddenNext(html), "/items/one.html");

    // Even the right password is not checked now.
    const right = await postLoginFrom(worker, guesser, FRENCH_PASSWORD, "/");
    assert.equal(right.status, 429);
    assert.equal(right.headers.get("Set-Cookie"), null);
    assert.equal(await pbkdf2Runs(worker), 10, "no PBKDF2 run for a throttled check");

    // Reading pages is not throttled: the guesser still gets the plain login page.
    const page = await worker.fetch("/", { headers: { "CF-Connecting-IP": guesser } });
    assert.equal(page.status, 401);
    assert.ok(!(await page.text()).includes(THROTTLED));

    // Another visitor is not held back by the guesser.
    const other = "198.51.100.4";
    const wrong = await postLoginFrom(worker, other, "guess", "/");
    assert.equal(wrong.status, 401);
    assert.ok((await wrong.text()).includes(WRONG));
    const login = await postLoginFrom(worker, other, FRENCH_PASSWORD, "/items/one.html");
    assert.equal(login.status, 303);
    const cookie = sessionCookie(login);
    assert.equal(await pbkdf2Runs(worker), 12);

    // A session made before counts as before: the limits only hold back password checks.
    const opened = await worker.fetch("/items/one", { headers: { Cookie: cookie, "CF-Connecting-IP": guesser } });
    assert.equal(opened.status, 200);
  });

  test("an IPv6 visitor is counted by the /64 network, however the address is written", async () => {
    const worker = deploy(frenchDark, FRENCH_KEY, { limits: LOGIN_LIMITS });
    await worker.mf.ready;
    await startOfWindow(60, 10000);
    // Ten addresses of one /64, written in the many ways IPv6 allows.
    const sameNetwork = [
      "2001:db8:a:b::1", "2001:db8:a:b::2", "2001:0db8:000a:000b:0:0:0:3", "2001:DB8:A:B:1:2:3:4",
      "2001:db8:a:b:ffff::", "2001:db8:a:b::ffff:0", "2001:db8:a:b:1::1", "2001:db8:a:b:2::2",
      "2001:db8:a:b:3:3:3:3", "2001:db8:a:b::9",
    ];
    for (const address of sameNetwork) {
      assert.equal((await postLoginFrom(worker, address, "")).status, 401, address);
    }
    assert.equal((await postLoginFrom(worker, "2001:db8:a:b::abcd", "")).status, 429);
    // The next /64 is another visitor.
    assert.equal((await postLoginFrom(worker, "2001:db8:a:c::1", "")).status, 401);
  });

  test("the per-site limit holds back every address, but a throttled visitor does not use it up", async () => {
    const worker = deploy(frenchDark, FRENCH_KEY, { limits: LOGIN_LIMITS });
    await worker.mf.ready;
    await startOfWindow(60, 20000);
    // Empty passwords are checks too; they keep this test quick, as none of them runs PBKDF2.
    const statuses = [];
    for (let attempt = 0; attempt < 15; attempt++) statuses.push((await postLoginFrom(worker, "192.0.2.1", "")).status);
    assert.deepEqual(statuses, [...Array(10).fill(401), ...Array(5).fill(429)]);
    // 50 more addresses, one check each, bring the site to its 60 checks of the minute.
    for (let visitor = 0; visitor < 50; visitor++) {
      assert.equal((await postLoginFrom(worker, `10.0.${visitor}.1`, "")).status, 401, `visitor ${visitor}`);
    }
    const fresh = await postLoginFrom(worker, "10.1.0.1", FRENCH_PASSWORD);
    assert.equal(fresh.status, 429);
    assert.ok((await fresh.text()).includes(THROTTLED));
    assert.equal(fresh.headers.get("Set-Cookie"), null);
  });

  test("the right password works again once the window has passed", async () => {
    // The same limit per visitor over the shorter period Cloudflare offers, so that the window
    // passes within the test.
    const worker = deploy(frenchDark, FRENCH_KEY, {
      limits: { ...LOGIN_LIMITS, LF_VISITOR_LIMIT: { simple: { limit: 10, period: 10 } } },
    });
    await worker.mf.ready;
    await startOfWindow(10, 6000);
    const guesser = "203.0.113.9";
    for (let attempt = 0; attempt < 10; attempt++) await postLoginFrom(worker, guesser, "");
    assert.equal((await postLoginFrom(worker, guesser, FRENCH_PASSWORD)).status, 429);
    await nextWindow(10);
    const login = await postLoginFrom(worker, guesser, FRENCH_PASSWORD, "/items/one.html");
    assert.equal(login.status, 303);
    sessionCookie(login);
  });

  test("a Worker deployed without the limits checks every password, as before", async () => {
    const worker = deploy(fallback, "AAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA=", { counting: true });
    for (let attempt = 1; attempt <= 15; attempt++) {
      const response = await postLoginFrom(worker, "203.0.113.7", `guess ${attempt}`);
      assert.equal(response.status, 401, `attempt ${attempt}`);
    }
    assert.equal((await postLoginFrom(worker, "203.0.113.7", FALLBACK_PASSWORD)).status, 303);
    assert.equal(await pbkdf2Runs(worker), 16);
  });

  test("the throttle line follows the page language, English for any other", async () => {
    // French is checked above.
    const expected = {
      en: "Too many attempts. Wait a minute and try again.",
      de: "Zu viele Versuche. Warten Sie eine Minute und versuchen Sie es dann erneut.",
      it: "Troppi tentativi. Attendi un minuto e riprova.",
      nl: "Te veel pogingen. Wacht een minuut en probeer het opnieuw.",
      xx: "Too many attempts. Wait a minute and try again.",
    };
    const { lang: _, ...rest } = lockOf(fallback);
    await Promise.all(Object.entries(expected).map(async ([lang, line]) => {
      const config = `export const LOCK = ${JSON.stringify({ ...rest, lang })};\n`;
      const worker = deploy(config, "AAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA=", {
        limits: { LF_VISITOR_LIMIT: { simple: { limit: 1, period: 60 } } },
      });
      await worker.mf.ready;
      await startOfWindow(60, 5000);
      await postLoginFrom(worker, "192.0.2.5", "");
      const throttled = await postLoginFrom(worker, "192.0.2.5", "");
      assert.equal(throttled.status, 429, lang);
      const html = await throttled.text();
      assert.ok(html.includes(`<html lang="${lang}">`), lang);
      assert.ok(html.includes(`role="alert">${line}</p>`), lang);
    }));
  });
});

describe("only HTTPS", () => {
  const HTTP_ORIGIN = "http://summer.example.workers.dev";
  const HSTS = "max-age=31536000";

  test("a request over plain HTTP is sent to the same address over HTTPS before anything else", async () => {
    const worker = deploy(frenchDark, FRENCH_KEY, { limits: LOGIN_LIMITS, counting: true });
    const cases = [
      ["GET", "/", `${ORIGIN}/`],
      ["GET", "/items/one.html?page=2&x=%2F", `${ORIGIN}/items/one.html?page=2&x=%2F`],
      ["GET", "/cover.jpg", `${ORIGIN}/cover.jpg`],
      ["HEAD", "/lanternfold-gallery.json", `${ORIGIN}/lanternfold-gallery.json`],
      ["GET", "/.lanternfold/login?next=%2Fitems%2F", `${ORIGIN}/.lanternfold/login?next=%2Fitems%2F`],
      ["DELETE", "/pictures/one.jpg", `${ORIGIN}/pictures/one.jpg`],
    ];
    for (const [method, path, location] of cases) {
      const response = await worker.fetchUrl(HTTP_ORIGIN + path, { method });
      assert.equal(response.status, 308, `${method} ${path}`);
      assert.equal(response.headers.get("Location"), location, path);
      assert.equal(response.headers.get("Set-Cookie"), null, path);
      assert.equal(response.headers.get("Strict-Transport-Security"), null, "HSTS means nothing over HTTP");
      assert.equal((await bytes(response)).length, 0, path);
    }
    // The right password posted over HTTP is neither checked nor answered with a cookie.
    const login = await worker.fetchUrl(`${HTTP_ORIGIN}/.lanternfold/login`, {
      method: "POST",
      headers: { "Content-Type": "application/x-www-form-urlencoded" },
      body: loginBody(FRENCH_PASSWORD, "/"),
    });
    assert.equal(login.status, 308);
    assert.equal(login.headers.get("Location"), `${ORIGIN}/.lanternfold/login`);
    assert.equal(login.headers.get("Set-Cookie"), null);
    assert.equal(await pbkdf2Runs(worker), 0);
    // A plain-HTTP port is not an HTTPS one: the address goes to the standard port.
    const port = await worker.fetchUrl("http://summer.example.workers.dev:8080/items/one.html");
    assert.equal(port.headers.get("Location"), `${ORIGIN}/items/one.html`);
  });

  test("every answer over HTTPS carries Strict-Transport-Security", async () => {
    const worker = deploy(frenchDark, FRENCH_KEY, { limits: { LF_VISITOR_LIMIT: { simple: { limit: 1, period: 60 } } } });
    await worker.mf.ready;
    await startOfWindow(60, 5000);
    const login = await postLogin(worker, FRENCH_PASSWORD, "/items/one.html");
    const cookie = sessionCookie(login);
    const answers = {
      "login page": await worker.fetch("/"),
      "login page, HEAD": await worker.fetch("/", { method: "HEAD" }),
      "open path": await worker.fetch("/cover.jpg"),
      "login": login,
      "too many attempts": await postLogin(worker, "guess", "/"),
      "signed-in page": await worker.fetch("/items/one", { headers: { Cookie: cookie } }),
      "signed-in missing file": await worker.fetch("/missing.jpg", { headers: { Cookie: cookie } }),
      "other method": await worker.fetch("/.lanternfold/login", { method: "PUT" }),
      "no site key": await deploy(frenchDark, null).fetch("/"),
      // Last: the refused body is left unread, which spoils the connection for a next request.
      "oversized form": await postLogin(worker, "x".repeat(20000), "/"),
    };
    const statuses = {};
    for (const [what, response] of Object.entries(answers)) {
      statuses[what] = response.status;
      assert.equal(response.headers.get("Strict-Transport-Security"), HSTS, what);
      await response.arrayBuffer();
    }
    assert.deepEqual(statuses, {
      "login page": 401, "login page, HEAD": 401, "open path": 200, login: 303, "too many attempts": 429,
      "signed-in page": 200, "signed-in missing file": 404, "other method": 405, "no site key": 503,
      "oversized form": 413,
    });
  });
});

function lockOf(script) {
  return JSON.parse(script.slice("export const LOCK = ".length, -";\n".length));
}
