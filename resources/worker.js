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
// Paths beginning with "/." can never be gallery files (Lanternfold never uploads hidden files),
// so the login address cannot hide a file of the gallery.
//
// Only standard Worker APIs are used (fetch handler, env.ASSETS.fetch, crypto.subtle, Request,
// Response, URL), and PBKDF2 never runs with more than 100000 iterations, the most Cloudflare allows.

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

const encoder = new TextEncoder();

export default {
  async fetch(request, env) {
    const url = new URL(request.url);

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
        return login(request, url, secret);
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
  },
};

function isOpenPath(pathname) {
  return Array.isArray(LOCK.open) && LOCK.open.includes(pathname);
}

// --- Logging in -------------------------------------------------------------------------------

async function login(request, url, secret) {
  const form = await readForm(request);
  if (form === null) {
    return new Response("The login form was too large.\n", {
      status: 413,
      headers: { "Content-Type": "text/plain; charset=utf-8", "Cache-Control": "no-store" },
    });
  }
  const next = safeReturnPath(form.get("next"), url);
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

function loginPage(request, next, wrong) {
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
    `<input type="hidden" name="next" value="${escapeHtml(next)}">\n` +
    `<label for="password">${escapeHtml(text("password"))}</label>\n` +
    '<input type="password" id="password" name="password" autocomplete="current-password" required autofocus' +
    (wrong ? ' aria-invalid="true" aria-describedby="wrong"' : "") +
    ">\n" +
    `<button type="submit">${escapeHtml(text("button"))}</button>\n` +
    "</form>\n" +
    "</main>\n" +
    "</body>\n" +
    "</html>\n";
  return new Response(request.method === "HEAD" ? null : html, {
    status: 401,
    headers: {
      "Content-Type": "text/html; charset=utf-8",
      "Cache-Control": "no-store",
      "Content-Security-Policy":
        "default-src 'none'; style-src 'unsafe-inline'; form-action 'self'; base-uri 'none'; frame-ancestors 'none'",
      "Referrer-Policy": "same-origin",
      "X-Content-Type-Options": "nosniff",
      "X-Robots-Tag": "noindex",
    },
  });
}
