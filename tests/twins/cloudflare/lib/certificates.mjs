// A small certificate authority for the double: one CA made at start, and one leaf certificate per host
// name, issued the first time a TLS client asks for that name (SNI). Everything is made with the
// openssl command-line program, since Node can parse certificates but not sign them.
import { execFile } from 'node:child_process';
import { createHash, createPublicKey, randomBytes } from 'node:crypto';
import { mkdir, readFile, writeFile } from 'node:fs/promises';
import { isIP } from 'node:net';
import path from 'node:path';
import tls from 'node:tls';

function openssl(args, cwd) {
  return new Promise((resolve, reject) => {
    execFile('openssl', args, { cwd, maxBuffer: 1 << 20 }, (error, stdout, stderr) => {
      if (error) {
        reject(new Error(`openssl ${args[0]} failed: ${stderr || error.message}`));
      } else {
        resolve(stdout);
      }
    });
  });
}

// A minimal configuration, so that the system's openssl.cnf cannot add CA extensions to leaf
// certificates (its v3_ca section would otherwise apply to "req -x509").
const MINIMAL_CONFIG = `[req]
distinguished_name = dn
prompt = no
[dn]
`;

// Host names that may become a certificate subject: DNS labels or an IP address. Anything else gets
// the default certificate, so that a strange SNI value can never reach the openssl command line.
function isCertifiableName(name) {
  if (isIP(name)) return true;
  return name.length <= 253 && /^[a-z0-9*]([a-z0-9-]{0,61}[a-z0-9])?(\.[a-z0-9]([a-z0-9-]{0,61}[a-z0-9])?)*$/.test(name);
}

export class CertificateAuthority {
  constructor(folder) {
    this.folder = folder;
    this.caFile = path.join(folder, 'ca.pem');
    this.contexts = new Map();
  }

  async create() {
    await mkdir(this.folder, { recursive: true });
    await writeFile(path.join(this.folder, 'openssl.cnf'), MINIMAL_CONFIG);
    const config = ['-config', 'openssl.cnf'];
    await openssl(['req', ...config, '-x509', '-newkey', 'ec', '-pkeyopt', 'ec_paramgen_curve:P-256', '-nodes',
      '-keyout', 'ca-key.pem', '-out', 'ca.pem', '-days', '3650', '-subj', '/CN=Lanternfold Cloudflare Double CA',
      '-addext', 'basicConstraints=critical,CA:TRUE',
      '-addext', 'keyUsage=critical,keyCertSign,cRLSign',
      '-addext', 'subjectKeyIdentifier=hash'], this.folder);
    // One key for every leaf certificate keeps issuing a certificate down to a single signature.
    await openssl(['genpkey', '-algorithm', 'EC', '-pkeyopt', 'ec_paramgen_curve:P-256', '-out', 'leaf-key.pem'], this.folder);
    this.leafKey = await readFile(path.join(this.folder, 'leaf-key.pem'));
    this.caPem = await readFile(this.caFile);
    // Chromium can trust exactly this key (--ignore-certificate-errors-spki-list) instead of a CA file.
    const spki = createPublicKey(this.leafKey).export({ type: 'spki', format: 'der' });
    this.spkiHash = createHash('sha256').update(spki).digest('base64');
    // Clients that send no SNI (a bare IP address) get the certificate of "localhost".
    this.defaultCertificate = { key: this.leafKey, cert: Buffer.concat([Buffer.from(await this.issue('localhost')), this.caPem]) };
    this.defaultContext = tls.createSecureContext(this.defaultCertificate);
  }

  async issue(name) {
    const subjectAltName = isIP(name) ? `IP:${name}` : `DNS:${name}`;
    const serial = '0x' + randomBytes(12).toString('hex');
    const pem = await openssl(['req', '-config', 'openssl.cnf', '-x509', '-new', '-key', 'leaf-key.pem',
      '-CA', 'ca.pem', '-CAkey', 'ca-key.pem', '-set_serial', serial, '-days', '825',
      '-subj', `/CN=${name}`,
      '-addext', `subjectAltName=${subjectAltName}`,
      '-addext', 'basicConstraints=critical,CA:FALSE',
      '-addext', 'keyUsage=critical,digitalSignature',
      '-addext', 'extendedKeyUsage=serverAuth',
      '-addext', 'subjectKeyIdentifier=hash',
      '-addext', 'authorityKeyIdentifier=keyid'], this.folder);
    return pem;
  }

  // The TLS context for a host name; certificates are made once per name and kept.
  contextFor(servername) {
    const name = String(servername || '').toLowerCase().replace(/\.$/, '');
    if (!isCertifiableName(name)) return Promise.resolve(this.defaultContext);
    let context = this.contexts.get(name);
    if (!context) {
      context = this.issue(name).then((cert) => tls.createSecureContext({
        key: this.leafKey,
        cert: Buffer.concat([Buffer.from(cert), this.caPem]),
      }));
      // A failed issue is not cached, so that a later handshake can try again.
      context.catch(() => this.contexts.delete(name));
      this.contexts.set(name, context);
    }
    return context;
  }

  sniCallback() {
    return (servername, callback) => {
      this.contextFor(servername).then((context) => callback(null, context), (error) => callback(error));
    };
  }
}
