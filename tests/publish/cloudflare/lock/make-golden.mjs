// Writes the expected lock-config.js texts that site_lock_test.cpp compares against, computed here
// with Node's own crypto and JSON rather than with Lanternfold's code:
//   node tests/publish/cloudflare/lock/make-golden.mjs
// The same files are the lock configurations the Worker tests in tests/worker run against, with
// the passwords listed below.
import { createHash, pbkdf2Sync } from "node:crypto";
import { writeFileSync } from "node:fs";
import { dirname, join } from "node:path";
import { fileURLToPath } from "node:url";

const here = dirname(fileURLToPath(import.meta.url));

const themes = {
  classic:
    "--bg:#f3efe6;--fg:#2a2622;--muted:#7a7166;--accent:#8a4b1f;--card:#ffffff;--line:#ddd5c7;--frame:7px;" +
    "--shadow:0 1px 3px rgba(0,0,0,.2);--gap:22px;--radius:1px;--head:Georgia,'Times New Roman',serif;",
  dark:
    "--bg:#121212;--fg:#e6e2da;--muted:#8d877c;--accent:#e2b65a;--card:#1d1d1d;--line:#2c2c2c;--frame:0px;" +
    "--shadow:none;--gap:12px;--radius:4px;--head:'Helvetica Neue',Helvetica,Arial,sans-serif;",
};

const texts = {
  en: {
    button: "View Gallery",
    password: "Password",
    prompt: "This gallery is private. Enter the password to view it.",
    wrong: "That password didn\u2019t work. Try again.",
  },
  fr: {
    button: "Voir la galerie",
    password: "Mot de passe",
    prompt: "Cette galerie est priv\u00e9e. Saisissez le mot de passe pour la voir.",
    wrong: "Ce mot de passe ne fonctionne pas. R\u00e9essayez.",
  },
};

function lockConfig({ password, secret, title, theme, lang, textsOf }) {
  const salt = createHash("sha256").update(`lanternfold-salt:${secret}`, "utf8").digest().subarray(0, 16);
  const hash = pbkdf2Sync(Buffer.from(password, "utf8"), salt, 100000, 32, "sha256");
  // Keys written in sorted order at every level; JSON.stringify keeps insertion order.
  const lock = {
    hash: hash.toString("base64"),
    iterations: 100000,
    lang,
    open: ["/lanternfold-gallery.json", "/cover.jpg"],
    salt: salt.toString("base64"),
    text: textsOf,
    theme,
    title,
  };
  return `export const LOCK = ${JSON.stringify(lock).replaceAll("/", "\\/")};\n`;
}

// French, dark look; the title has a slash, quotes, a backslash and accents.
writeFileSync(
  join(here, "fr-dark.lock-config.js"),
  lockConfig({
    password: "Cr\u00e8me br\u00fbl\u00e9e/42",
    secret: "q0rV3s8Yb0m6o1Jx3v2b8WwU0m7Zt5qkH9b1n4c2d6E=",
    title: "\u00c9t\u00e9 \u00e0 Paris / 2024 \u201cbest\u201d \"\\\"",
    theme: themes.dark,
    lang: "fr",
    textsOf: texts.fr,
  }),
);

// A template and a language Lanternfold does not know: the classic look and English texts, while
// "lang" keeps the code as given.
writeFileSync(
  join(here, "fallback.lock-config.js"),
  lockConfig({
    password: "open sesame",
    secret: "AAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA=",
    title: "Family",
    theme: themes.classic,
    lang: "xx",
    textsOf: texts.en,
  }),
);
