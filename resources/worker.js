// Lanternfold's password program for a locked gallery.
//
// Lanternfold uploads this file unchanged as the main module ("lanternfold.js") of a locked
// gallery's Worker, beside "lock-config.js", which it writes for each publish. The Worker is
// deployed with "run_worker_first", so every request passes through here before any static file
// is served. What this program relies on:
//   LOCK (from lock-config.js): salt and hash (Base64), iterations, open (paths served without a
//     password), title, lang, theme (CSS custom-property declarations) and text (prompt, wrong,
//     button, password).
//   env.LF_SECRET: the site key, the only secret the Worker has; it signs the session cookie.
//   env.ASSETS: the gallery's static files.
//   env.LF_VISITOR_LIMIT and env.LF_SITE_LIMIT (optional): Workers Rate Limiting bindings that
//     throttle password guessing.
//
// How a visit goes:
//   - A path listed in LOCK.open (the gallery manifest and the cover picture, which the home page
//     reads) is served to anyone.
//   - Anything else needs a valid session cookie; without one the visitor gets the login page
//     (status 401) at the address they asked for.
//   - The login form posts "password" and "next" (the address to return to) to /.lanternfold/login.
//     A right password sets the session cookie and redirects (303) to "next", which must be a path
//     of this site; anything else returns to "/". A wrong one shows the login page again with the
//     wrong-password text. GET /.lanternfold/login?next=… shows the form directly.
//   - The cookie lasts until the browser is closed (no Expires or Max-Age), is HttpOnly, Secure and
//     SameSite=Lax, and carries the time of the login signed with HMAC-SHA-256 under the site key.
//     The signature also covers the password's salt and hash, so changing the password or the site
//     key signs everybody out. A signature is accepted for at most 30 days, so that a copied cookie
//     does not open the gallery for ever in a browser that restores its sessions.
//   - Password guessing is throttled: before each password check the Worker asks two Workers Rate
//     Limiting bindings, LF_VISITOR_LIMIT (keyed by this site and the visitor's address) and then
//     LF_SITE_LIMIT (keyed by this site alone). When either says no, the login page answers 429
//     with a short "too many attempts" line in the page's language, and PBKDF2 does not run. A
//     Worker deployed without these bindings (by an older Lanternfold) checks every password.
//   - Only HTTPS: a request over plain http: is sent to the same address over https: (308) before
//     anything else, so no login form, password or cookie ever travels in clear text, and every
//     answer over https: carries Strict-Transport-Security, so the browser keeps to https: on later
//     visits even on a custom domain that the browsers' preload list does not cover.
// Paths beginning with "/." can never be gallery files (Lanternfold never uploads hidden files),
// so the login address cannot hide a file of the gallery.
//
// Only standard Worker APIs are used (fetch handler, env.ASSETS.fetch, the Rate Limiting
// bindings' limit(), crypto.subtle, Request, Response, URL), and PBKDF2 never runs with more than
// 100000 iterations, the most Cloudflare allows.

import { LOCK } from "./lock-config.js";

const LOGIN_PATH = "/.lanternfold/login";
// The __Host- prefix makes browsers refuse the cookie unless it is Secure, has Path=/ and no
// Domain, so no other host can plant or widen it.
const COOKIE_NAME = "__Host-lanternfold-session";
const MAX_ITERATIONS = 100000;
const SESSION_LIFETIME_SECONDS = 30 * 24 * 60 * 60;
const CLOCK_SKEW_SECONDS = 5 * 60;
// The login form is tiny; a larger body is refused before it is read whole.
const MAX_FORM_BYTES = 16 * 1024;
const MAX_RETURN_LENGTH = 2048;
// A year, the usual lasting choice. No includeSubDomains: other hosts under a custom domain's
// parent are not the gallery's to decide for.
const STRICT_TRANSPORT = "max-age=31536000";
// How long a throttled visitor is asked to wait: the window of the limits Lanternfold deploys.
const THROTTLE_WAIT_SECONDS = 60;

// The line shown instead of the login prompt's error when the limits say no. The texts of
// lock-config.js come from the application; this one is the Worker's own, chosen by LOCK.lang
// exactly as the application chooses the other texts (an unknown code gives English).
const THROTTLE_TEXTS = {
  en: "Too many attempts. Wait a minute and try again.",
  fr: "Trop de tentatives. Patientez une minute, puis réessayez.",
  de: "Zu viele Versuche. Warten Sie eine Minute und versuchen Sie es dann erneut.",
  it: "Troppi tentativi. Attendi un minuto e riprova.",
  nl: "Te veel pogingen. Wacht een minuut en probeer het opnieuw.",
};

const encoder = new TextEncoder();

export default {
  async fetch(request, env) {
    const url = new URL(request.url);
    if (url.protocol !== "https:") {
      return toHttps(url);
    }
    return strictTransport(await answer(request, env, url));
  },
};

// The answer to a request over https:, before the Strict-Transport-Security header is added.
async function answer(request, env, url) {
  if (isOpenPath(url.pathname)) {
    return env.ASSETS.fetch(request);
  }

  const secret = typeof env.LF_SECRET === "string" ? env.LF_SECRET : "";
  if (secret === "") {
    // Without the site key no session can be checked; stay closed rather than open.
    return new Response("This gallery is not available right now.\n", {
      status: 503,
      headers: { "Content-Type": "text/plain; charset=utf-8", "Cache-Control": "no-store" },
    });
  }

  const signedIn = await hasValidSession(request, secret);

  if (url.pathname === LOGIN_PATH) {
    if (request.method === "POST") {
      return login(request, url, secret, env);
    }
    if (request.method === "GET" || request.method === "HEAD") {
      const next = safeReturnPath(url.searchParams.get("next"), url);
      if (signedIn) {
        return redirect(url, next, null);
      }
      return loginPage(request, next, false);
    }
    return new Response(null, { status: 405, headers: { Allow: "GET, HEAD, POST" } });
  }

  if (signedIn) {
    return privately(await env.ASSETS.fetch(request));
  }
  return loginPage(request, url.pathname + url.search, false);
}

function isOpenPath(pathname) {
  return Array.isArray(LOCK.open) && LOCK.open.includes(pathname);
}

// --- Logging in -------------------------------------------------------------------------------

async function login(request, url, secret, env) {
  const form = await readForm(request);
  if (form === null) {
    return new Response("The login form was too large.\n", {
      status: 413,
      headers: { "Content-Type": "text/plain; charset=utf-8", "Cache-Control": "no-store" },
    });
  }
  const next = safeReturnPath(form.get("next"), url);
  if (!(await withinLoginLimits(request, env))) {
    return loginPage(request, next, false, true);
  }
  const password = form.get("password") ?? "";
  if (!(await passwordMatches(password))) {
    return loginPage(request, next, true);
  }
  const token = await signSession(secret, Math.floor(Date.now() / 1000));
  // No Expires and no Max-Age: the browser forgets the cookie when it closes.
  const cookie = `${COOKIE_NAME}=${token}; Path=/; Secure; HttpOnly; SameSite=Lax`;
  return redirect(url, next, cookie);
}

// Reads an application/x-www-form-urlencoded body of at most MAX_FORM_BYTES; null when larger.
// Any other kind of body gives an empty form, which no password matches.
async function readForm(request) {
  const type = (request.headers.get("Content-Type") || "").split(";")[0].trim().toLowerCase();
  if (type !== "application/x-www-form-urlencoded" || request.body === null) {
    return new URLSearchParams();
  }
  const reader = request.body.getReader();
  const chunks = [];
  let size = 0;
  for (;;) {
    const { done, value } = await reader.read();
    if (done) {
      break;
    }
    size += value.byteLength;
    if (size > MAX_FORM_BYTES) {
      await reader.cancel();
      return null;
    }
    chunks.push(value);
  }
  const bytes = new Uint8Array(size);
  let offset = 0;
  for (const chunk of chunks) {
    bytes.set(chunk, offset);
    offset += chunk.byteLength;
  }
  return new URLSearchParams(new TextDecoder().decode(bytes));
}

// PBKDF2-HMAC-SHA-256 of the password's UTF-8 bytes as typed (no normalisation), compared with
// LOCK.hash in constant time.
async function passwordMatches(password) {
  const iterations = LOCK.iterations;
  if (!Number.isInteger(iterations) || iterations < 1 || iterations > MAX_ITERATIONS) {
    return false;
  }
  const salt = base64Bytes(LOCK.salt);
  const expected = base64Bytes(LOCK.hash);
  if (salt === null || expected === null || expected.length !== 32 || password === "") {
    return false;
  }
  const key = await crypto.subtle.importKey("raw", encoder.encode(password), "PBKDF2", false, [
    "deriveBits",
  ]);
  const derived = new Uint8Array(
    await crypto.subtle.deriveBits({ name: "PBKDF2", hash: "SHA-256", salt, iterations }, key, 256),
  );
  return constantTimeEqual(derived, expected);
}

function constantTimeEqual(a, b) {
  if (a.length !== b.length) {
    return false;
  }
  let difference = 0;
  for (let i = 0; i < a.length; i++) {
    difference |= a[i] ^ b[i];
  }
  return difference === 0;
}

// The path to return to after a login: a path of this site, or "/". Refused: anything that is
// not a plain absolute path ("//host" and "/\host", which browsers read as another host, absolute
// addresses, control characters and white space that address parsers drop, backslashes), and
// anything that would leave this origin once resolved.
function safeReturnPath(candidate, here) {
  if (typeof candidate !== "string" || candidate.length === 0 || candidate.length > MAX_RETURN_LENGTH) {
    return "/";
  }
  if (candidate[0] !== "/" || candidate[1] === "/") {
    return "/";
  }
  if (/[\u0000-\u0020\u007f\\]/.test(candidate)) {
    return "/";
  }
  let target;
  try {
    target = new URL(candidate, here.origin);
  } catch {
    return "/";
  }
  if (target.origin !== here.origin || target.pathname.startsWith("//") || target.pathname === LOGIN_PATH) {
    return "/";
  }
  return target.pathname + target.search;
}

// A 303 to a checked path of this site, written as an absolute address on this origin so that no
// reading of the Location header can lead elsewhere.
function redirect(here, path, cookie) {
  const headers = new Headers({
    Location: here.origin + path,
    "Cache-Control": "no-store",
  });
  if (cookie !== null) {
    headers.append("Set-Cookie", cookie);
  }
  return new Response(null, { status: 303, headers });
}

// Files of a locked gallery must never be kept by shared caches; the visitor's own browser may keep
// them but asks again each time, so that a later visit still passes through the password check.
function privately(response) {
  const copy = new Response(response.body, response);
  copy.headers.set("Cache-Control", "private, no-cache");
  return copy;
}

// --- Only HTTPS -------------------------------------------------------------------------------

// The same address over https:, for a request that came over plain http: (possible on a custom
// domain whose zone does not force HTTPS). 308 keeps the method, so a form posted over http: is
// posted again over https:; nothing of the request is read or answered here, and no HSTS header
// is sent, as browsers ignore it over http:. The port is dropped: Cloudflare serves HTTPS on 443,
// while the plain-HTTP ports it also listens on carry no HTTPS.
function toHttps(url) {
  const target = new URL(url.href);
  target.protocol = "https:";
  target.port = "";
  return new Response(null, { status: 308, headers: { Location: target.href } });
}

function strictTransport(response) {
  const copy = new Response(response.body, response);
  copy.headers.set("Strict-Transport-Security", STRICT_TRANSPORT);
  return copy;
}

// --- Login throttling -------------------------------------------------------------------------

// Asks the per-visitor limit, then the per-site one, each once per password check; false when
// either says no. The per-site limit is only asked for visitors within their own, so one visitor
// guessing alone cannot use up the site's allowance for everybody else. The keys carry the site's
// salt, so they stay apart from any other site or Worker that shares a limiter namespace. A
// missing binding (an older deployment) counts as a yes, and so does a limiter that fails: the
// throttle is an extra guard, and a fault of Cloudflare's must not shut the owner's family out.
async function withinLoginLimits(request, env) {
  const site = typeof LOCK.salt === "string" ? LOCK.salt : "";
  const checks = [
    [env.LF_VISITOR_LIMIT, `lanternfold-login:${site}:${visitorAddress(request)}`],
    [env.LF_SITE_LIMIT, `lanternfold-login:${site}`],
  ];
  for (const [limiter, key] of checks) {
    if (!limiter || typeof limiter.limit !== "function") {
      continue;
    }
    let outcome;
    try {
      outcome = await limiter.limit({ key });
    } catch {
      continue;
    }
    if (outcome && outcome.success === false) {
      return false;
    }
  }
  return true;
}

// The visitor as Cloudflare reports them (CF-Connecting-IP, which Cloudflare sets itself and a
// visitor cannot forge). An IPv6 address counts by its /64 network: one household or server
// usually holds a whole /64 and could otherwise give every guess an address of its own.
function visitorAddress(request) {
  const address = (request.headers.get("CF-Connecting-IP") || "").trim().toLowerCase();
  if (!address.includes(":")) {
    return address;
  }
  return ipv6Network(address) ?? address;
}

// "2001:db8:1:2:3:4:5:6" and "2001:db8:1:2::7" both give "2001:db8:1:2::/64"; null for text that
// is not a plain IPv6 address (addresses with an embedded IPv4 part are then taken whole).
function ipv6Network(address) {
  const halves = address.split("::");
  if (halves.length > 2) {
    return null;
  }
  const head = halves[0] === "" ? [] : halves[0].split(":");
  const tail = halves.length === 2 && halves[1] !== "" ? halves[1].split(":") : [];
  let groups = head;
  if (halves.length === 2) {
    const missing = 8 - head.length - tail.length;
    if (missing < 1) {
      return null;
    }
    groups = [...head, ...Array(missing).fill("0"), ...tail];
  }
  if (groups.length !== 8 || !groups.every((group) => /^[0-9a-f]{1,4}$/.test(group))) {
    return null;
  }
  return groups.slice(0, 4).map((group) => group.replace(/^0+(?=.)/, "")).join(":") + "::/64";
}

function throttleText() {
  const lang = typeof LOCK.lang === "string" ? LOCK.lang : "";
  return Object.hasOwn(THROTTLE_TEXTS, lang) ? THROTTLE_TEXTS[lang] : THROTTLE_TEXTS.en;
}

// --- Sessions ---------------------------------------------------------------------------------

function sessionData(issued) {
  return encoder.encode(`lanternfold-session\n${LOCK.salt}\n${LOCK.hash}\n${issued}`);
}

function hmacKey(secret, usage) {
  return crypto.subtle.importKey("raw", encoder.encode(secret), { name: "HMAC", hash: "SHA-256" }, false, [usage]);
}

async function signSession(secret, issued) {
  const key = await hmacKey(secret, "sign");
  const signature = new Uint8Array(await crypto.subtle.sign("HMAC", key, sessionData(issued)));
  return `${issued}.${base64Url(signature)}`;
}

async function verifySession(token, secret) {
  const match = /^([0-9]{1,12})\.([A-Za-z0-9_-]{43})$/.exec(token);
  if (match === null) {
    return false;
  }
  const issued = Number(match[1]);
  const now = Math.floor(Date.now() / 1000);
  if (issued > now + CLOCK_SKEW_SECONDS || now - issued > SESSION_LIFETIME_SECONDS) {
    return false;
  }
  const signature = base64Bytes(match[2].replace(/-/g, "+").replace(/_/g, "/") + "=");
  if (signature === null || signature.length !== 32) {
    return false;
  }
  // crypto.subtle.verify compares the signatures in constant time.
  const key = await hmacKey(secret, "verify");
  return crypto.subtle.verify("HMAC", key, signature, sessionData(match[1]));
}

async function hasValidSession(request, secret) {
  // A browser may send the cookie more than once (for instance one left from an older login);
  // a few are checked, and any valid one will do.
  const tokens = cookieValues(request.headers.get("Cookie"), COOKIE_NAME).slice(0, 4);
  for (const token of tokens) {
    if (await verifySession(token, secret)) {
      return true;
    }
  }
  return false;
}

function cookieValues(header, name) {
  if (!header) {
    return [];
  }
  const values = [];
  for (const part of header.split(";")) {
    const equals = part.indexOf("=");
    if (equals > 0 && part.slice(0, equals).trim() === name) {
      values.push(part.slice(equals + 1).trim());
    }
  }
  return values;
}

function base64Bytes(text) {
  if (typeof text !== "string") {
    return null;
  }
  try {
    const binary = atob(text);
    const bytes = new Uint8Array(binary.length);
    for (let i = 0; i < binary.length; i++) {
      bytes[i] = binary.charCodeAt(i);
    }
    return bytes;
  } catch {
    return null;
  }
}

function base64Url(bytes) {
  let binary = "";
  for (const byte of bytes) {
    binary += String.fromCharCode(byte);
  }
  return btoa(binary).replace(/\+/g, "-").replace(/\//g, "_").replace(/=+$/, "");
}

// --- The login page ---------------------------------------------------------------------------

function escapeHtml(value) {
  return String(value ?? "")
    .replace(/&/g, "&amp;")
    .replace(/</g, "&lt;")
    .replace(/>/g, "&gt;")
    .replace(/"/g, "&quot;")
    .replace(/'/g, "&#39;");
}

function text(name) {
  return LOCK.text && typeof LOCK.text[name] === "string" ? LOCK.text[name] : "";
}

// The theme's declarations go inside a rule of their own; characters that could end the rule or
// the style element are dropped.
function themeDeclarations() {
  return String(LOCK.theme ?? "").replace(/[<>{}]/g, "");
}

const BASE_STYLE = [
  "*{box-sizing:border-box}",
  "html,body{margin:0}",
  'body{background:var(--bg);color:var(--fg);font:16px/1.5 -apple-system,BlinkMacSystemFont,"Segoe UI",Roboto,Helvetica,Arial,sans-serif;min-height:100vh;display:flex;align-items:center;justify-content:center;padding:32px 16px}',
  "main{width:100%;max-width:520px;text-align:center}",
  ".mark{display:block;width:36px;height:36px;margin:0 auto 18px;color:var(--muted)}",
  "h1{font-family:var(--head);font-weight:normal;font-size:clamp(26px,5vw,38px);line-height:1.15;margin:0 0 12px;overflow-wrap:anywhere}",
  ".prompt{color:var(--muted);max-width:400px;margin:0 auto 26px}",
  "form{max-width:400px;margin:0 auto;background:var(--card);padding:calc(var(--frame) + 18px);border:1px solid var(--line);border-radius:var(--radius);box-shadow:var(--shadow);text-align:left}",
  ".wrong{margin:0 0 16px;padding:8px 12px;border-left:3px solid var(--accent);color:var(--fg);font-size:15px}",
  "label{display:block;font-size:14px;color:var(--muted);margin:0 0 6px}",
  "input{display:block;width:100%;font:inherit;padding:10px 12px;color:var(--fg);background:var(--bg);border:1px solid var(--line);border-radius:var(--radius)}",
  "input:focus{outline:2px solid var(--accent);outline-offset:1px}",
  "button{display:block;width:100%;margin:16px 0 0;font:inherit;font-weight:600;padding:10px 12px;color:var(--bg);background:var(--accent);border:1px solid var(--accent);border-radius:var(--radius);cursor:pointer}",
  "button:hover{opacity:.9}",
  "button:focus-visible{outline:2px solid var(--accent);outline-offset:2px}",
].join("\n");

const LOCK_MARK =
  '<svg class="mark" viewBox="0 0 24 24" aria-hidden="true" fill="none" stroke="currentColor" stroke-width="1.6" stroke-linecap="round" stroke-linejoin="round">' +
  '<rect x="4.5" y="10.5" width="15" height="10" rx="1.5"/><path d="M8 10.5V7.5a4 4 0 0 1 8 0v3"/><path d="M12 14.5v2.5"/></svg>';

// The login page: after a wrong password with the wrong-password text (401), when the login
// limits said no with the throttle text and status 429.
function loginPage(request, next, wrong, throttled = false) {
  const title = typeof LOCK.title === "string" ? LOCK.title : "";
  const lang = typeof LOCK.lang === "string" && LOCK.lang !== "" ? LOCK.lang : "en";
  const html =
    "<!doctype html>\n" +
    `<html lang="${escapeHtml(lang)}">\n` +
    "<head>\n" +
    '<meta charset="utf-8">\n' +
    '<meta name="viewport" content="width=device-width, initial-scale=1">\n' +
    '<meta name="robots" content="noindex">\n' +
    '<meta name="generator" content="Lanternfold">\n' +
    `<title>${escapeHtml(title !== "" ? title : text("password"))}</title>\n` +
    `<style>\n:root{${themeDeclarations()}}\n${BASE_STYLE}\n</style>\n` +
    "</head>\n" +
    "<body>\n" +
    "<main>\n" +
    LOCK_MARK +
    "\n" +
    (title !== "" ? `<h1>${escapeHtml(title)}</h1>\n` : "") +
    `<p class="prompt">${escapeHtml(text("prompt"))}</p>\n` +
    `<form method="post" action="${LOGIN_PATH}" accept-charset="utf-8">\n` +
    (wrong ? `<p class="wrong" id="wrong" role="alert">${escapeHtml(text("wrong"))}</p>\n` : "") +
    (throttled ? `<p class="wrong" id="throttled" role="alert">${escapeHtml(throttleText())}</p>\n` : "") +
    `<input type="hidden" name="next" value="${escapeHtml(next)}">\n` +
    `<label for="password">${escapeHtml(text("password"))}</label>\n` +
    '<input type="password" id="password" name="password" autocomplete="current-password" required autofocus' +
    (wrong ? ' aria-invalid="true" aria-describedby="wrong"' : "") +
    (throttled ? ' aria-describedby="throttled"' : "") +
    ">\n" +
    `<button type="submit">${escapeHtml(text("button"))}</button>\n` +
    "</form>\n" +
    "</main>\n" +
    "</body>\n" +
    "</html>\n";
  const headers = {
    "Content-Type": "text/html; charset=utf-8",
    "Cache-Control": "no-store",
    "Content-Security-Policy":
      "default-src 'none'; style-src 'unsafe-inline'; form-action 'self'; base-uri 'none'; frame-ancestors 'none'",
    "Referrer-Policy": "same-origin",
    "X-Content-Type-Options": "nosniff",
    "X-Robots-Tag": "noindex",
  };
  if (throttled) {
    headers["Retry-After"] = String(THROTTLE_WAIT_SECONDS);
  }
  return new Response(request.method === "HEAD" ? null : html, { status: throttled ? 429 : 401, headers });
}
