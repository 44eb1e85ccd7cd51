// The double's configuration: which tokens it accepts, which accounts those tokens see, the Workers
// subdomain, the zones that custom domains may use, and how it forms upload buckets.

export const DEFAULT_ACCOUNT_ID = '0123456789abcdef0123456789abcdef';

export function defaultConfig() {
  return {
    tokens: ['test-token'],
    accounts: [{ id: DEFAULT_ACCOUNT_ID, name: 'Test Account' }],
    subdomain: 'lf-test',
    zones: [{ id: '023e105f4ecef8ad9ca31a8372d0c353', name: 'example.com' }],
    workersDomain: 'workers.dev',
    apiHost: 'api.cloudflare.com',
    maxBucketFiles: 10,
    maxBucketBytes: 40 * 1024 * 1024,
  };
}

export class ConfigError extends Error {}

function check(condition, message) {
  if (!condition) throw new ConfigError(message);
}

// Validates a configuration sent to POST /config; missing keys take their defaults.
export function makeConfig(input) {
  check(input && typeof input === 'object' && !Array.isArray(input), 'the configuration must be a JSON object');
  const config = defaultConfig();
  if ('tokens' in input) {
    check(Array.isArray(input.tokens) && input.tokens.every((t) => typeof t === 'string' && t !== ''),
      '"tokens" must be an array of non-empty strings');
    config.tokens = [...input.tokens];
  }
  if ('accounts' in input) {
    check(Array.isArray(input.accounts), '"accounts" must be an array');
    config.accounts = input.accounts.map((account) => {
      check(account && typeof account === 'object', 'each account must be an object');
      // Accounts with an id that is not a string are allowed on purpose: the program must skip them.
      const copy = { ...account };
      if ('subdomain' in copy) {
        check(copy.subdomain === null || typeof copy.subdomain === 'string', 'an account\'s "subdomain" must be a string or null');
      }
      return copy;
    });
  }
  if ('subdomain' in input) {
    check(input.subdomain === null || (typeof input.subdomain === 'string' && input.subdomain !== ''),
      '"subdomain" must be a non-empty string or null');
    config.subdomain = input.subdomain;
  }
  if ('zones' in input) {
    check(Array.isArray(input.zones), '"zones" must be an array');
    config.zones = input.zones.map((zone, index) => {
      const z = typeof zone === 'string' ? { name: zone } : zone;
      check(z && typeof z.name === 'string' && z.name !== '', 'each zone needs a "name"');
      return {
        id: typeof z.id === 'string' ? z.id : (index + 1).toString(16).padStart(32, '0'),
        name: z.name.toLowerCase(),
        ...(typeof z.account === 'string' ? { account: z.account } : {}),
      };
    });
  }
  for (const key of ['workersDomain', 'apiHost']) {
    if (key in input) {
      check(typeof input[key] === 'string' && input[key] !== '', `"${key}" must be a non-empty string`);
      config[key] = input[key].toLowerCase();
    }
  }
  if ('maxBucketFiles' in input) {
    check(Number.isInteger(input.maxBucketFiles) && input.maxBucketFiles >= 1, '"maxBucketFiles" must be a positive integer');
    config.maxBucketFiles = input.maxBucketFiles;
  }
  if ('maxBucketBytes' in input) {
    check(Number.isInteger(input.maxBucketBytes) && input.maxBucketBytes >= 1, '"maxBucketBytes" must be a positive integer');
    config.maxBucketBytes = input.maxBucketBytes;
  }
  return config;
}

// The accounts that can be addressed by ID (those with a string id).
export function findAccount(config, id) {
  return config.accounts.find((account) => typeof account.id === 'string' && account.id === id) || null;
}

export function subdomainOf(config, account) {
  if (account && 'subdomain' in account) return account.subdomain;
  return config.subdomain;
}

export function zonesOf(config, accountId) {
  return config.zones.filter((zone) => !zone.account || zone.account === accountId);
}
