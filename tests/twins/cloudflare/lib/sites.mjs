// Running deployed Workers: one Miniflare instance (one workerd process) per deployed script, with its
// own folder of static assets. Several scripts in one instance would share the assets machinery and mix
// up their files, so each script is kept apart.
import { Miniflare } from 'miniflare';
import { compatibilityDate as newestCompatibilityDate } from 'workerd';

export { newestCompatibilityDate };

// Cloudflare refuses PBKDF2 above 100000 iterations in production Workers, while workerd run locally
// accepts any count. This module is evaluated before the deployed main module and puts the production
// limit in place, so that a password program that works here also works on Cloudflare.
const LIMITS_MODULE = `
const MAX_PBKDF2_ITERATIONS = 100000;
function checkAlgorithm(algorithm) {
  if (algorithm && typeof algorithm === 'object' && String(algorithm.name).toUpperCase() === 'PBKDF2'
      && Number(algorithm.iterations) > MAX_PBKDF2_ITERATIONS) {
    throw new DOMException('Pbkdf2 failed: iteration counts above ' + MAX_PBKDF2_ITERATIONS
      + ' are not supported (requested ' + algorithm.iterations + ').', 'NotSupportedError');
  }
}
const prototype = Object.getPrototypeOf(crypto.subtle);
const deriveBits = prototype.deriveBits;
const deriveKey = prototype.deriveKey;
Object.defineProperty(prototype, 'deriveBits', {
  configurable: true, writable: true,
  value: async function (algorithm, ...rest) { checkAlgorithm(algorithm); return deriveBits.call(this, algorithm, ...rest); },
});
Object.defineProperty(prototype, 'deriveKey', {
  configurable: true, writable: true,
  value: async function (algorithm, ...rest) { checkAlgorithm(algorithm); return deriveKey.call(this, algorithm, ...rest); },
});
`;

const ROOT = '/lanternfold-twin';
const ENTRY = '__twin_entry.mjs';
const LIMITS = '__twin_limits.mjs';

// A module specifier that reaches a module name from the root, whatever characters it holds.
function specifierFor(name) {
  return JSON.stringify('./' + name);
}

function entryModule(mainModule) {
  if (!mainModule) {
    // An assets-only deployment still needs a Worker in Miniflare; it is never invoked, since the
    // router is told there is no user Worker.
    return `import ${specifierFor(LIMITS)};\nexport default { fetch() { return new Response(null, { status: 404 }); } };\n`;
  }
  return `import ${specifierFor(LIMITS)};\nimport * as main from ${specifierFor(mainModule)};\n`
    + `export * from ${specifierFor(mainModule)};\nexport default main.default;\n`;
}

export function clampCompatibilityDate(date) {
  if (typeof date !== 'string' || !/^\d{4}-\d{2}-\d{2}$/.test(date)) return newestCompatibilityDate;
  return date > newestCompatibilityDate ? newestCompatibilityDate : date;
}

/**
 * Starts a Worker and waits until workerd serves it. Fails with the runtime's own message (for example
 * an uncaught SyntaxError of a module) when it does not start; nothing is left running then.
 *
 * deployment: {name, mainModule (null for assets only), modules: [{name, type: 'ESModule'|'Text',
 * contents}], compatibilityDate, compatibilityFlags, textBindings: {NAME: text}, ratelimits: {NAME:
 * {simple: {limit, period}}}, assetsBinding, assetsDirectory (null for none), assetsConfig:
 * {html_handling, not_found_handling, run_worker_first}}
 */
export async function startWorker(deployment) {
  let runtimeOutput = '';
  const keepOutput = (stream) => {
    stream.on('data', (chunk) => {
      const text = chunk.toString();
      // Workers' console output and workerd's messages go to the double's standard error; standard
      // output carries only the ready line.
      process.stderr.write(`[workerd ${deployment.name}] ${text}`);
      if (runtimeOutput.length < 65536) runtimeOutput += text;
    });
  };
  const modules = [
    { type: 'ESModule', path: `${ROOT}/${ENTRY}`, contents: entryModule(deployment.mainModule) },
    { type: 'ESModule', path: `${ROOT}/${LIMITS}`, contents: LIMITS_MODULE },
    ...deployment.modules.map((module) => ({ type: module.type, path: `${ROOT}/${module.name}`, contents: module.contents })),
  ];
  const options = {
    name: deployment.name,
    modulesRoot: ROOT,
    modules,
    compatibilityDate: clampCompatibilityDate(deployment.compatibilityDate),
    compatibilityFlags: deployment.compatibilityFlags || [],
    bindings: deployment.textBindings || {},
    handleRuntimeStdio: (stdout, stderr) => { keepOutput(stdout); keepOutput(stderr); },
  };
  // Rate Limiting bindings are counted by Miniflare inside this instance, in fixed windows of their
  // period, as Cloudflare counts them within one location.
  if (deployment.ratelimits && Object.keys(deployment.ratelimits).length > 0) options.ratelimits = deployment.ratelimits;
  if (deployment.assetsDirectory) {
    const config = deployment.assetsConfig || {};
    options.assets = {
      directory: deployment.assetsDirectory,
      routerConfig: {
        has_user_worker: Boolean(deployment.mainModule),
        invoke_user_worker_ahead_of_assets: Boolean(config.run_worker_first) && Boolean(deployment.mainModule),
      },
      assetConfig: {
        html_handling: config.html_handling || 'auto-trailing-slash',
        not_found_handling: config.not_found_handling || 'none',
      },
    };
    if (deployment.assetsBinding) options.assets.binding = deployment.assetsBinding;
  }
  let mf;
  try {
    mf = new Miniflare(options);
    await mf.ready;
  } catch (error) {
    if (mf) await mf.dispose().catch(() => {});
    // workerd names the service ("service core:user:NAME: "); Cloudflare's messages do not.
    const detail = runtimeOutput.split('\n').map((line) => line.trim().replace(/^service [^ ]+: /, ''))
      .filter((line) => line !== '').slice(0, 4).join(' ');
    throw new Error(detail || error.message);
  }
  return mf;
}
