// The Cloudflare API as the double answers it: accounts, the Workers subdomain, asset upload sessions and
// bucket uploads, Worker script uploads, the workers.dev switch, custom domains, and the listings.
// Everything is kept in memory, apart from the asset contents and deployed sites, which live in the
// state folder.
import { createHash, randomBytes, randomUUID } from 'node:crypto';
import { copyFile, link, mkdir, rm, writeFile } from 'node:fs/promises';
import path from 'node:path';

import { findAccount, subdomainOf, zonesOf } from './config.mjs';
import { MultipartError, parseMultipart } from './multipart.mjs';
import { clampCompatibilityDate, newestCompatibilityDate, startWorker } from './sites.mjs';

export const MAX_ASSET_SIZE = 25 * 1024 * 1024;
export const MAX_ASSET_COUNT = 20000;

export class ApiError extends Error {
  constructor(status, code, message) {
    super(message);
    this.status = status;
    this.code = code;
  }
}

export function envelope(result, extra = {}) {
  return { success: true, errors: [], messages: [], result, ...extra };
}

export function errorEnvelope(errors) {
  return { success: false, errors, messages: [], result: null };
}

// Cloudflare writes times with six fractional digits (2025-03-01T10:20:30.123456Z).
export function cloudflareTime(date = new Date()) {
  return date.toISOString().replace(/\.(\d{3})Z$/, '.$1000Z');
}

const authenticationError = () => new ApiError(401, 10000, 'Authentication error');

function randomHex(bytes) {
  return randomBytes(bytes).toString('hex');
}

function base64url(value) {
  return Buffer.from(value).toString('base64url');
}

// Tokens that look like the JWTs Cloudflare hands out; the double only compares them.
function makeJwt(kind, claims) {
  const header = base64url(JSON.stringify({ alg: 'HS256', typ: 'JWT' }));
  const payload = base64url(JSON.stringify({ kind, ...claims, jti: randomUUID(), exp: Math.floor(Date.now() / 1000) + 3600 }));
  return `${header}.${payload}.${randomBytes(32).toString('base64url')}`;
}

export function assetHashOf(base64Text, extension) {
  return createHash('sha256').update(base64Text + extension, 'utf8').digest('hex').slice(0, 32);
}

// The extension as the program hashes it: the part of the last path component after its last dot,
// as written; nothing when the name has no dot.
function extensionOf(assetPath) {
  const name = assetPath.slice(assetPath.lastIndexOf('/') + 1);
  const dot = name.lastIndexOf('.');
  return dot < 0 ? '' : name.slice(dot + 1);
}

// The on-disk place of a manifest path inside a site folder, or null when the path could leave it.
function safeRelativePath(assetPath) {
  if (typeof assetPath !== 'string' || !assetPath.startsWith('/') || assetPath.includes('\0') || assetPath.includes('\\')) return null;
  const segments = assetPath.slice(1).split('/');
  if (segments.some((segment) => segment === '' || segment === '.' || segment === '..')) return null;
  return segments.join(path.sep);
}

const SCRIPT_NAME = /^[a-z0-9]([a-z0-9_-]{0,61}[a-z0-9])?$/;
const HTML_HANDLING = ['auto-trailing-slash', 'force-trailing-slash', 'drop-trailing-slash', 'none'];
const NOT_FOUND_HANDLING = ['single-page-application', '404-page', 'none'];

// A Workers Rate Limiting binding as Cloudflare takes it: {"type": "ratelimit", "name",
// "namespace_id": a positive integer (written as a string of digits, as Cloudflare's tools send
// it, or as a number), "simple": {"limit": a positive integer, "period": 10 or 60}}. Returns the
// binding's configuration for Miniflare, which enforces it.
function readRatelimitBinding(binding) {
  const id = binding.namespace_id;
  const idIsPositiveInteger = (typeof id === 'string' && /^[1-9][0-9]{0,18}$/.test(id))
    || (Number.isSafeInteger(id) && id > 0);
  if (!idIsPositiveInteger) {
    throw new ApiError(400, 10021, `The ratelimit binding "${binding.name}" needs a "namespace_id" that is a positive integer.`);
  }
  const simple = binding.simple;
  if (!simple || typeof simple !== 'object' || !Number.isSafeInteger(simple.limit) || simple.limit < 1) {
    throw new ApiError(400, 10021, `The ratelimit binding "${binding.name}" needs "simple" with a positive integer "limit".`);
  }
  if (simple.period !== 10 && simple.period !== 60) {
    throw new ApiError(400, 10021, `The ratelimit binding "${binding.name}" has the period ${JSON.stringify(simple.period)}; it must be 10 or 60.`);
  }
  return { simple: { limit: simple.limit, period: simple.period } };
}

function parseJsonBody(request) {
  if (request.body.length === 0) throw new ApiError(400, 10026, 'Request body is missing.');
  try {
    return JSON.parse(request.body.toString('utf8'));
  } catch {
    throw new ApiError(400, 10026, 'Could not parse the request body as JSON.');
  }
}

function parseForm(request) {
  try {
    return parseMultipart(request.body, request.headers['content-type']);
  } catch (error) {
    if (error instanceof MultipartError) throw new ApiError(400, 10026, `Malformed multipart body: ${error.message}.`);
    throw error;
  }
}

export class CloudflareDouble {
  constructor({ stateDir, config, log, onRuntimeStarted }) {
    this.stateDir = stateDir;
    this.onRuntimeStarted = onRuntimeStarted || (() => {});
    this.config = config;
    this.log = log || (() => {});
    this.assetDir = path.join(stateDir, 'assets');
    this.siteRoot = path.join(stateDir, 'sites');
    this.deployCounter = 0;
    this.clearState();
  }

  clearState() {
    this.scripts = new Map(); // `${account}/${name}` → script record
    this.domains = new Map(); // hostname → domain record
    this.assets = new Map(); // hash → {size, file}
    this.sessions = new Map(); // upload token → session
    this.completions = new Map(); // completion token → session
    this.deployQueues = new Map(); // script key → promise of the running deployment
  }

  async init() {
    await mkdir(this.assetDir, { recursive: true });
    await mkdir(this.siteRoot, { recursive: true });
  }

  async reset() {
    await Promise.allSettled([...this.deployQueues.values()]);
    const scripts = [...this.scripts.values()];
    this.clearState();
    await Promise.allSettled(scripts.map((script) => script.mf && script.mf.dispose()));
    await rm(this.assetDir, { recursive: true, force: true });
    await rm(this.siteRoot, { recursive: true, force: true });
    await this.init();
  }

  async dispose() {
    await Promise.allSettled([...this.deployQueues.values()]);
    await Promise.allSettled([...this.scripts.values()].map((script) => script.mf && script.mf.dispose()));
    this.scripts.clear();
  }

  // ---- routing -------------------------------------------------------------------------------------

  // request: {method, path (below /client/v4), query (URLSearchParams), headers, body: Buffer}
  // Returns {status, body (an envelope), kind}.
  async handle(request) {
    const route = this.route(request.method, request.path);
    if (route.kind === 'upload') {
      return { status: 0, ...(await this.uploadBucket(request, route.params)) };
    }
    const match = /^Bearer\s+(\S+)\s*$/.exec(request.headers.authorization || '');
    if (!match) {
      const error = new ApiError(400, 6003, 'Invalid request headers');
      error.chain = [{ code: 6111, message: 'Invalid format for Authorization header' }];
      throw error;
    }
    if (!this.config.tokens.includes(match[1])) throw authenticationError();
    if (route.params.account !== undefined) {
      const account = findAccount(this.config, route.params.account);
      if (!account) throw new ApiError(403, 10000, 'Authentication error');
      route.params.accountRecord = account;
    }
    return { status: 200, ...(await route.handler.call(this, request, route.params)) };
  }

  route(method, apiPath) {
    const routes = [
      ['GET', /^\/user\/tokens\/verify$/, [], this.verifyToken],
      ['GET', /^\/accounts\/([^/]+)\/tokens\/verify$/, ['account'], this.verifyToken],
      ['GET', /^\/accounts$/, [], this.listAccounts],
      ['GET', /^\/accounts\/([^/]+)$/, ['account'], this.getAccount],
      ['GET', /^\/accounts\/([^/]+)\/workers\/subdomain$/, ['account'], this.getSubdomain],
      ['POST', /^\/accounts\/([^/]+)\/workers\/scripts\/([^/]+)\/assets-upload-session$/, ['account', 'script'], this.openUploadSession],
      ['POST', /^\/accounts\/([^/]+)\/workers\/assets\/upload$/, ['account'], null, 'upload'],
      ['GET', /^\/accounts\/([^/]+)\/workers\/scripts$/, ['account'], this.listScripts],
      ['PUT', /^\/accounts\/([^/]+)\/workers\/scripts\/([^/]+)$/, ['account', 'script'], this.uploadScript],
      ['DELETE', /^\/accounts\/([^/]+)\/workers\/scripts\/([^/]+)$/, ['account', 'script'], this.deleteScript],
      ['POST', /^\/accounts\/([^/]+)\/workers\/scripts\/([^/]+)\/subdomain$/, ['account', 'script'], this.setScriptSubdomain],
      ['GET', /^\/accounts\/([^/]+)\/workers\/scripts\/([^/]+)\/subdomain$/, ['account', 'script'], this.getScriptSubdomain],
      ['PUT', /^\/accounts\/([^/]+)\/workers\/domains$/, ['account'], this.attachDomain],
      ['GET', /^\/accounts\/([^/]+)\/workers\/domains$/, ['account'], this.listDomains],
      ['DELETE', /^\/accounts\/([^/]+)\/workers\/domains\/([^/]+)$/, ['account', 'domain'], this.detachDomain],
    ];
    let pathKnown = false;
    for (const [routeMethod, pattern, names, handler, kind] of routes) {
      const m = pattern.exec(apiPath);
      if (!m) continue;
      pathKnown = true;
      if (routeMethod !== method) continue;
      const params = {};
      names.forEach((name, i) => { params[name] = decodeURIComponent(m[i + 1]); });
      return { handler, params, kind: kind || 'api' };
    }
    if (pathKnown) throw new ApiError(405, 10405, 'Method not allowed');
    throw new ApiError(404, 7003, `Could not route to /client/v4${apiPath}, perhaps your object identifier is invalid?`);
  }

  // ---- tokens and accounts -------------------------------------------------------------------------

  async verifyToken() {
    return { body: envelope({ id: randomHex(16), status: 'active' }) };
  }

  accountObject(account) {
    return { id: account.id, name: account.name, type: 'standard', settings: {}, created_on: '2024-01-02T03:04:05.678901Z' };
  }

  async listAccounts(request) {
    const perPage = Math.min(Math.max(parseInt(request.query.get('per_page') || '20', 10) || 20, 5), 50);
    const page = Math.max(parseInt(request.query.get('page') || '1', 10) || 1, 1);
    // Accounts are given as configured, including odd ones (an id that is not a string), so that the
    // program's handling of them can be tested.
    const all = this.config.accounts.map((account) => ({ ...this.accountObject(account), ...account }));
    for (const account of all) delete account.subdomain;
    const slice = all.slice((page - 1) * perPage, page * perPage);
    return {
      body: envelope(slice, {
        result_info: { page, per_page: perPage, count: slice.length, total_count: all.length, total_pages: Math.ceil(all.length / perPage) },
      }),
    };
  }

  async getAccount(request, params) {
    return { body: envelope(this.accountObject(params.accountRecord)) };
  }

  async getSubdomain(request, params) {
    const subdomain = subdomainOf(this.config, params.accountRecord);
    if (!subdomain) throw new ApiError(404, 10007, 'This account doesn\'t have a workers.dev subdomain.');
    return { body: envelope({ subdomain }) };
  }

  // ---- asset upload ------------------------------------------------------------------------------

  async openUploadSession(request, params) {
    if (!SCRIPT_NAME.test(params.script)) throw new ApiError(400, 10016, 'Invalid Worker name.');
    const body = parseJsonBody(request);
    const manifest = body && typeof body === 'object' ? body.manifest : undefined;
    if (!manifest || typeof manifest !== 'object' || Array.isArray(manifest)) {
      throw new ApiError(400, 10000, 'The request needs a "manifest" object.');
    }
    const entries = Object.entries(manifest);
    if (entries.length > MAX_ASSET_COUNT) {
      throw new ApiError(400, 10000, `Maximum number of assets exceeded: ${entries.length} files, at most ${MAX_ASSET_COUNT}.`);
    }
    const hashes = new Map(); // hash → {size, extensions: Set}
    for (const [assetPath, entry] of entries) {
      if (!safeRelativePath(assetPath)) throw new ApiError(400, 10000, `Invalid asset path "${assetPath}".`);
      if (!entry || typeof entry !== 'object' || typeof entry.hash !== 'string' || !/^[0-9a-f]{32}$/.test(entry.hash)) {
        throw new ApiError(400, 10000, `The manifest entry for "${assetPath}" needs a "hash" of 32 lower-case hex digits.`);
      }
      if (!Number.isInteger(entry.size) || entry.size < 0) {
        throw new ApiError(400, 10000, `The manifest entry for "${assetPath}" needs a whole "size".`);
      }
      if (entry.size > MAX_ASSET_SIZE) {
        throw new ApiError(400, 10000, `Asset too large: "${assetPath}" has ${entry.size} bytes, at most ${MAX_ASSET_SIZE}.`);
      }
      const known = hashes.get(entry.hash);
      if (known && known.size !== entry.size) {
        throw new ApiError(400, 10000, `The manifest gives the hash ${entry.hash} two different sizes.`);
      }
      const info = known || { size: entry.size, extensions: new Set() };
      info.extensions.add(extensionOf(assetPath));
      hashes.set(entry.hash, info);
    }
    const missing = [...hashes.keys()].filter((hash) => !this.assets.has(hash));
    // Buckets are bounded in files and in bytes, like Cloudflare's, so that one upload request stays a
    // reasonable size; a file bigger than the byte bound gets a bucket of its own.
    const buckets = [];
    let bucket = [];
    let bucketBytes = 0;
    for (const hash of missing) {
      const size = hashes.get(hash).size;
      if (bucket.length > 0 && (bucket.length >= this.config.maxBucketFiles || bucketBytes + size > this.config.maxBucketBytes)) {
        buckets.push(bucket);
        bucket = [];
        bucketBytes = 0;
      }
      bucket.push(hash);
      bucketBytes += size;
    }
    if (bucket.length > 0) buckets.push(bucket);
    const jwt = makeJwt('upload', { account: params.account, script: params.script });
    const session = {
      account: params.account,
      script: params.script,
      manifest: Object.fromEntries(entries.map(([p, e]) => [p, { hash: e.hash, size: e.size }])),
      hashes,
      uploadToken: jwt,
      completionToken: null,
    };
    this.sessions.set(jwt, session);
    if (missing.length === 0) {
      // Cloudflare already holds everything: the upload token itself is the completion token.
      session.completionToken = jwt;
      this.completions.set(jwt, session);
    }
    return { body: envelope({ jwt, buckets }) };
  }

  sessionComplete(session) {
    for (const hash of session.hashes.keys()) {
      if (!this.assets.has(hash)) return false;
    }
    return true;
  }

  async uploadBucket(request, params) {
    const match = /^Bearer\s+(\S+)\s*$/.exec(request.headers.authorization || '');
    const session = match ? this.sessions.get(match[1]) : undefined;
    if (!session || session.account !== params.account) throw authenticationError();
    if (request.query.get('base64') !== 'true') {
      throw new ApiError(400, 10000, 'Asset uploads must be base64-encoded, with base64=true in the query.');
    }
    const parts = parseForm(request);
    if (parts.length === 0) throw new ApiError(400, 10000, 'The upload holds no files.');
    // Every part is checked before anything is stored, so that a refused request changes nothing.
    const accepted = [];
    for (const part of parts) {
      const info = session.hashes.get(part.name);
      if (!info) throw new ApiError(400, 10000, `"${part.name}" is not the hash of a file of this upload session.`);
      const text = part.data.toString('latin1');
      const bytes = Buffer.from(text, 'base64');
      if (bytes.toString('base64') !== text) {
        throw new ApiError(400, 10000, `The content of ${part.name} is not canonical Base64 text (standard alphabet, padded, no line breaks).`);
      }
      if (bytes.length !== info.size) {
        throw new ApiError(400, 10000, `The content of ${part.name} has ${bytes.length} bytes, but the manifest says ${info.size}.`);
      }
      const matches = [...info.extensions].some((extension) => assetHashOf(text, extension) === part.name);
      if (!matches) {
        throw new ApiError(400, 10000, `The content of ${part.name} does not match its hash.`);
      }
      accepted.push({ hash: part.name, bytes, contentType: part.contentType });
    }
    for (const { hash, bytes, contentType } of accepted) {
      if (this.assets.has(hash)) continue;
      const file = path.join(this.assetDir, hash);
      await writeFile(file, bytes);
      this.assets.set(hash, { size: bytes.length, file, contentType });
    }
    if (this.sessionComplete(session)) {
      if (!session.completionToken) {
        session.completionToken = makeJwt('completion', { account: session.account, script: session.script });
        this.completions.set(session.completionToken, session);
      }
      return { status: 201, body: envelope({ jwt: session.completionToken }) };
    }
    return { status: 200, body: envelope({}) };
  }

  // ---- scripts -----------------------------------------------------------------------------------

  scriptKey(account, name) {
    return `${account}/${name}`;
  }

  scriptObject(script) {
    return {
      id: script.name,
      tag: script.tag,
      etag: script.etag,
      handlers: script.mainModule ? ['fetch'] : [],
      named_handlers: [],
      created_on: script.createdOn,
      modified_on: script.modifiedOn,
      compatibility_date: script.compatibilityDate,
      compatibility_flags: script.compatibilityFlags,
      has_assets: script.hasAssets,
      has_modules: script.modules.length > 0,
      usage_model: 'standard',
      logpush: false,
      tail_consumers: null,
    };
  }

  // Reads and checks the metadata and modules of a script upload; throws ApiError on any refusal.
  readScriptUpload(request, params) {
    if (!SCRIPT_NAME.test(params.script)) throw new ApiError(400, 10016, 'Invalid Worker name.');
    const parts = parseForm(request);
    const names = new Set();
    for (const part of parts) {
      if (names.has(part.name)) throw new ApiError(400, 10021, `The upload has two parts named "${part.name}".`);
      names.add(part.name);
    }
    const metadataPart = parts.find((part) => part.name === 'metadata');
    if (!metadataPart) throw new ApiError(400, 10021, 'The upload has no "metadata" part.');
    let metadata;
    try {
      metadata = JSON.parse(metadataPart.data.toString('utf8'));
    } catch {
      throw new ApiError(400, 10021, 'The "metadata" part is not valid JSON.');
    }
    if (!metadata || typeof metadata !== 'object' || Array.isArray(metadata)) {
      throw new ApiError(400, 10021, 'The "metadata" part must be a JSON object.');
    }
    if ('body_part' in metadata) {
      throw new ApiError(400, 10021, 'Service-worker scripts (body_part) are not supported by the double; upload ES modules.');
    }
    const modules = [];
    for (const part of parts) {
      if (part.name === 'metadata') continue;
      const type = (part.contentType || '').split(';')[0].trim().toLowerCase();
      if (type === 'application/javascript+module') {
        modules.push({ name: part.name, type: 'ESModule', contents: part.data.toString('utf8') });
      } else if (type === 'text/plain') {
        modules.push({ name: part.name, type: 'Text', contents: part.data.toString('utf8') });
      } else {
        throw new ApiError(400, 10021, `The part "${part.name}" has the content type "${part.contentType}", which the double does not run (use application/javascript+module).`);
      }
      if (!safeRelativePath('/' + part.name)) throw new ApiError(400, 10021, `Invalid module name "${part.name}".`);
    }
    let mainModule = null;
    if ('main_module' in metadata) {
      if (typeof metadata.main_module !== 'string') throw new ApiError(400, 10021, '"main_module" must be a string.');
      mainModule = metadata.main_module;
      if (!modules.some((module) => module.name === mainModule)) {
        throw new ApiError(400, 10021, `No such module "${mainModule}": the main module must be one of the uploaded parts.`);
      }
      if (modules.find((module) => module.name === mainModule).type !== 'ESModule') {
        throw new ApiError(400, 10021, 'The main module must be an ES module.');
      }
    } else if (modules.length > 0) {
      throw new ApiError(400, 10021, 'The metadata has no "main_module".');
    }
    const compatibilityDate = metadata.compatibility_date;
    if (compatibilityDate !== undefined && (typeof compatibilityDate !== 'string' || !/^\d{4}-\d{2}-\d{2}$/.test(compatibilityDate))) {
      throw new ApiError(400, 10021, '"compatibility_date" must be a date like 2025-09-01.');
    }
    const compatibilityFlags = metadata.compatibility_flags === undefined ? [] : metadata.compatibility_flags;
    if (!Array.isArray(compatibilityFlags) || !compatibilityFlags.every((flag) => typeof flag === 'string')) {
      throw new ApiError(400, 10021, '"compatibility_flags" must be an array of strings.');
    }
    const bindings = metadata.bindings === undefined ? [] : metadata.bindings;
    if (!Array.isArray(bindings)) throw new ApiError(400, 10021, '"bindings" must be an array.');
    const textBindings = {};
    const ratelimits = {};
    let assetsBinding = null;
    const bindingNames = new Set();
    for (const binding of bindings) {
      if (!binding || typeof binding !== 'object' || typeof binding.name !== 'string' || binding.name === '') {
        throw new ApiError(400, 10021, 'Every binding needs a "type" and a "name".');
      }
      if (bindingNames.has(binding.name)) throw new ApiError(400, 10021, `Two bindings are named "${binding.name}".`);
      bindingNames.add(binding.name);
      if (binding.type === 'assets') {
        if (assetsBinding) throw new ApiError(400, 10021, 'Only one assets binding is allowed.');
        assetsBinding = binding.name;
      } else if (binding.type === 'secret_text' || binding.type === 'plain_text') {
        if (typeof binding.text !== 'string') throw new ApiError(400, 10021, `The binding "${binding.name}" needs a "text" string.`);
        textBindings[binding.name] = binding.text;
      } else if (binding.type === 'ratelimit') {
        ratelimits[binding.name] = readRatelimitBinding(binding);
      } else {
        throw new ApiError(400, 10021, `The binding type "${binding.type}" is not supported by the double.`);
      }
    }
    let session = null;
    let assetsConfig = null;
    if (metadata.assets !== undefined) {
      const assets = metadata.assets;
      if (!assets || typeof assets !== 'object' || typeof assets.jwt !== 'string') {
        throw new ApiError(400, 10021, '"assets" must be an object with a "jwt".');
      }
      session = this.completions.get(assets.jwt);
      if (!session) {
        const pending = this.sessions.get(assets.jwt);
        if (pending) {
          throw new ApiError(400, 10000, 'The assets "jwt" is an upload token whose session still misses files; upload every bucket and use the completion token.');
        }
        throw new ApiError(400, 10000, 'The assets "jwt" is not a completion token of this account.');
      }
      if (session.account !== params.account || session.script !== params.script) {
        throw new ApiError(400, 10000, `The assets "jwt" belongs to an upload session of another Worker (${session.script}).`);
      }
      if (!this.sessionComplete(session)) {
        throw new ApiError(400, 10000, 'Some assets of this upload session are no longer stored; open a new session.');
      }
      const config = assets.config === undefined ? {} : assets.config;
      if (!config || typeof config !== 'object' || Array.isArray(config)) throw new ApiError(400, 10021, '"assets.config" must be an object.');
      if (config.html_handling !== undefined && !HTML_HANDLING.includes(config.html_handling)) {
        throw new ApiError(400, 10021, `Unknown html_handling "${config.html_handling}".`);
      }
      if (config.not_found_handling !== undefined && !NOT_FOUND_HANDLING.includes(config.not_found_handling)) {
        throw new ApiError(400, 10021, `Unknown not_found_handling "${config.not_found_handling}".`);
      }
      if (config.run_worker_first !== undefined && typeof config.run_worker_first !== 'boolean') {
        throw new ApiError(400, 10021, 'The double takes "run_worker_first" only as true or false.');
      }
      assetsConfig = {
        html_handling: config.html_handling || 'auto-trailing-slash',
        not_found_handling: config.not_found_handling || 'none',
        run_worker_first: config.run_worker_first === true,
      };
    } else if (!mainModule) {
      throw new ApiError(400, 10021, 'The upload has neither a main module nor assets.');
    }
    if (assetsBinding && !session) {
      throw new ApiError(400, 10021, `The assets binding "${assetsBinding}" needs "assets" in the metadata.`);
    }
    return {
      metadata, modules, mainModule, compatibilityDate: compatibilityDate || newestCompatibilityDate,
      compatibilityFlags, bindings, textBindings, ratelimits, assetsBinding, session, assetsConfig,
    };
  }

  // Lays out a session's files under their paths, as hard links into the content store.
  async materializeAssets(session, folder) {
    await mkdir(folder, { recursive: true });
    for (const [assetPath, entry] of Object.entries(session.manifest)) {
      const target = path.join(folder, safeRelativePath(assetPath));
      await mkdir(path.dirname(target), { recursive: true });
      const source = this.assets.get(entry.hash).file;
      try {
        await link(source, target);
      } catch {
        await copyFile(source, target);
      }
    }
  }

  async uploadScript(request, params) {
    const upload = this.readScriptUpload(request, params);
    const key = this.scriptKey(params.account, params.script);
    // Uploads of one script are applied one after another, so that a slow start of workerd cannot let
    // an older upload replace a newer one.
    const previous = this.deployQueues.get(key) || Promise.resolve();
    const deployment = previous.catch(() => {}).then(() => this.deploy(params, upload));
    this.deployQueues.set(key, deployment);
    try {
      return await deployment;
    } finally {
      if (this.deployQueues.get(key) === deployment) this.deployQueues.delete(key);
    }
  }

  async deploy(params, upload) {
    const key = this.scriptKey(params.account, params.script);
    const number = ++this.deployCounter;
    let siteDir = null;
    if (upload.session) {
      siteDir = path.join(this.siteRoot, params.account, params.script, String(number));
      await this.materializeAssets(upload.session, siteDir);
    }
    let mf;
    try {
      mf = await startWorker({
        name: `${params.script}-${number}`,
        mainModule: upload.mainModule,
        modules: upload.modules,
        compatibilityDate: upload.compatibilityDate,
        compatibilityFlags: upload.compatibilityFlags,
        textBindings: upload.textBindings,
        ratelimits: upload.ratelimits,
        assetsBinding: upload.assetsBinding,
        assetsDirectory: siteDir,
        assetsConfig: upload.assetsConfig,
      });
    } catch (error) {
      if (siteDir) await rm(siteDir, { recursive: true, force: true });
      throw new ApiError(400, 10021, error.message);
    }
    this.onRuntimeStarted();
    const old = this.scripts.get(key);
    const now = cloudflareTime();
    const script = {
      account: params.account,
      name: params.script,
      tag: old ? old.tag : randomHex(16),
      etag: randomHex(32),
      createdOn: old ? old.createdOn : now,
      modifiedOn: now,
      workersDevEnabled: old ? old.workersDevEnabled : false,
      mainModule: upload.mainModule,
      modules: upload.modules.map((module) => module.name),
      moduleContents: Object.fromEntries(upload.modules.map((module) => [module.name, module.contents])),
      compatibilityDate: upload.compatibilityDate,
      compatibilityFlags: upload.compatibilityFlags,
      bindings: upload.bindings,
      hasAssets: Boolean(upload.session),
      assetsConfig: upload.assetsConfig,
      assetManifest: upload.session ? upload.session.manifest : {},
      siteDir,
      mf,
    };
    this.scripts.set(key, script);
    if (old) {
      // The old instance may still be answering a request that arrived before the switch.
      setTimeout(() => {
        old.mf.dispose().catch(() => {});
        if (old.siteDir) rm(old.siteDir, { recursive: true, force: true }).catch(() => {});
      }, 1000).unref();
    }
    this.log(`deployed ${key} (${script.modules.length} modules, ${Object.keys(script.assetManifest).length} assets)`);
    return { body: envelope(this.scriptObject(script)) };
  }

  async listScripts(request, params) {
    const result = [...this.scripts.values()]
      .filter((script) => script.account === params.account)
      .map((script) => this.scriptObject(script));
    return { body: envelope(result) };
  }

  async deleteScript(request, params) {
    const key = this.scriptKey(params.account, params.script);
    const script = this.scripts.get(key);
    if (!script) throw new ApiError(404, 10007, 'workers.api.error.script_not_found');
    this.scripts.delete(key);
    for (const [hostname, domain] of this.domains) {
      if (domain.account === params.account && domain.service === params.script) this.domains.delete(hostname);
    }
    await script.mf.dispose().catch(() => {});
    if (script.siteDir) await rm(script.siteDir, { recursive: true, force: true });
    return { body: envelope(null) };
  }

  requireScript(params) {
    const script = this.scripts.get(this.scriptKey(params.account, params.script));
    if (!script) throw new ApiError(404, 10007, 'workers.api.error.script_not_found');
    return script;
  }

  async setScriptSubdomain(request, params) {
    const script = this.requireScript(params);
    const body = parseJsonBody(request);
    if (!body || typeof body.enabled !== 'boolean') throw new ApiError(400, 10000, 'The body needs "enabled": true or false.');
    script.workersDevEnabled = body.enabled;
    return { body: envelope({ enabled: script.workersDevEnabled, previews_enabled: script.workersDevEnabled }) };
  }

  async getScriptSubdomain(request, params) {
    const script = this.requireScript(params);
    return { body: envelope({ enabled: script.workersDevEnabled, previews_enabled: script.workersDevEnabled }) };
  }

  // ---- custom domains ----------------------------------------------------------------------------

  domainObject(domain) {
    return {
      id: domain.id,
      zone_id: domain.zoneId,
      zone_name: domain.zoneName,
      hostname: domain.hostname,
      service: domain.service,
      environment: domain.environment,
      cert_id: domain.certId,
    };
  }

  async attachDomain(request, params) {
    const body = parseJsonBody(request);
    if (!body || typeof body !== 'object') throw new ApiError(400, 10000, 'The body must be a JSON object.');
    const { hostname, service } = body;
    if (typeof hostname !== 'string' || !/^(?=.{1,253}$)([a-z0-9]([a-z0-9-]{0,61}[a-z0-9])?\.)+[a-z0-9-]{2,63}$/.test(hostname)) {
      throw new ApiError(400, 100119, `Invalid hostname "${hostname}".`);
    }
    if (typeof service !== 'string') throw new ApiError(400, 10000, 'The body needs a "service".');
    const script = this.scripts.get(this.scriptKey(params.account, service));
    if (!script) throw new ApiError(400, 10007, `workers.api.error.script_not_found: there is no Worker named "${service}".`);
    const zones = zonesOf(this.config, params.account);
    let zone;
    if (body.zone_id !== undefined || body.zone_name !== undefined) {
      zone = zones.find((z) => (body.zone_id !== undefined ? z.id === body.zone_id : z.name === body.zone_name));
      if (!zone) throw new ApiError(400, 100117, 'Zone not found or not accessible.');
      if (hostname !== zone.name && !hostname.endsWith('.' + zone.name)) {
        throw new ApiError(400, 100118, `Hostname ${hostname} is not within zone ${zone.name}.`);
      }
    } else {
      zone = zones.filter((z) => hostname === z.name || hostname.endsWith('.' + z.name))
        .sort((a, b) => b.name.length - a.name.length)[0];
      if (!zone) throw new ApiError(400, 100117, 'Zone not found or not accessible.');
    }
    const existing = this.domains.get(hostname);
    const domain = {
      id: existing ? existing.id : randomHex(16),
      account: params.account,
      hostname,
      service,
      environment: typeof body.environment === 'string' ? body.environment : 'production',
      zoneId: zone.id,
      zoneName: zone.name,
      certId: existing ? existing.certId : randomUUID(),
    };
    this.domains.set(hostname, domain);
    return { body: envelope(this.domainObject(domain)) };
  }

  async listDomains(request, params) {
    const filters = ['service', 'hostname', 'zone_name', 'zone_id', 'environment'];
    const result = [...this.domains.values()]
      .filter((domain) => domain.account === params.account)
      .map((domain) => this.domainObject(domain))
      .filter((domain) => filters.every((key) => !request.query.has(key) || domain[key] === request.query.get(key)));
    return { body: envelope(result) };
  }

  async detachDomain(request, params) {
    for (const [hostname, domain] of this.domains) {
      if (domain.account === params.account && domain.id === params.domain) {
        this.domains.delete(hostname);
        return { body: envelope(null) };
      }
    }
    throw new ApiError(404, 100114, 'Domain not found.');
  }

  // ---- sites -------------------------------------------------------------------------------------

  // The deployed script that answers a host name, or null.
  scriptForHost(host) {
    const suffix = '.' + this.config.workersDomain;
    if (host.endsWith(suffix)) {
      const labels = host.slice(0, -suffix.length).split('.');
      if (labels.length !== 2) return null;
      const [name, subdomain] = labels;
      for (const script of this.scripts.values()) {
        if (script.name !== name || !script.workersDevEnabled) continue;
        const account = findAccount(this.config, script.account);
        if (account && subdomainOf(this.config, account) === subdomain) return script;
      }
      return null;
    }
    const domain = this.domains.get(host);
    if (!domain) return null;
    return this.scripts.get(this.scriptKey(domain.account, domain.service)) || null;
  }

  state() {
    return {
      scripts: [...this.scripts.values()].map((script) => ({
        account: script.account,
        name: script.name,
        hasAssets: script.hasAssets,
        modifiedOn: script.modifiedOn,
        createdOn: script.createdOn,
        workersDevEnabled: script.workersDevEnabled,
        mainModule: script.mainModule,
        modules: script.modules,
        moduleContents: script.moduleContents,
        compatibilityDate: script.compatibilityDate,
        effectiveCompatibilityDate: clampCompatibilityDate(script.compatibilityDate),
        bindings: script.bindings,
        assetsConfig: script.assetsConfig,
        assetPaths: Object.keys(script.assetManifest).sort(),
        assetManifest: script.assetManifest,
      })),
      domains: [...this.domains.values()].map((domain) => ({
        id: domain.id,
        account: domain.account,
        hostname: domain.hostname,
        service: domain.service,
        zoneName: domain.zoneName,
        zoneId: domain.zoneId,
      })),
      assetHashes: [...this.assets.keys()].sort(),
    };
  }
}
