// Makes sure no workerd outlives the double. A normal exit stops every Miniflare instance itself; this
// covers the double being killed outright (SIGKILL), when no code of its own runs any more. A small shell
// process holds a pipe from the double and is told the workerd processes as they start; when the pipe
// closes without the double having said goodbye, it kills those that are still the same processes
// (same process ID and start time, so that a reused ID is never hit).
import { spawn } from 'node:child_process';
import { readdirSync, readFileSync } from 'node:fs';

const WATCHER = `
list=""
while read -r line; do
  [ "$line" = "bye" ] && exit 0
  list="$list
$line"
done
echo "$list" | while read -r pid start; do
  [ -n "$pid" ] || continue
  stat=$(cat /proc/$pid/stat 2>/dev/null) || continue
  set -- \${stat#*) }
  # After "pid (comm) " the start time is the 20th field.
  shift 19
  [ "$1" = "$start" ] && kill -KILL "$pid" 2>/dev/null
done
exit 0
`;

// The start time (field 22 of /proc/PID/stat) and parent of a process, or null.
function processInfo(pid) {
  try {
    const stat = readFileSync(`/proc/${pid}/stat`, 'utf8');
    const comm = stat.slice(stat.indexOf('(') + 1, stat.lastIndexOf(')'));
    const fields = stat.slice(stat.lastIndexOf(')') + 2).split(' ');
    return { comm, ppid: Number(fields[1]), start: fields[19] };
  } catch {
    return null;
  }
}

export class Watchdog {
  constructor() {
    this.reported = new Set();
    if (process.platform !== 'linux') return;
    this.child = spawn('sh', ['-c', WATCHER], { stdio: ['pipe', 'ignore', 'ignore'] });
    this.child.on('error', () => { this.child = null; });
    this.child.stdin.on('error', () => {});
    // The watcher must not keep the double's event loop alive.
    this.child.unref();
    this.child.stdin.unref?.();
  }

  // Reports the workerd children of this process that were not reported yet.
  noteRuntimes() {
    if (!this.child) return;
    let entries;
    try {
      entries = readdirSync('/proc').filter((name) => /^\d+$/.test(name));
    } catch {
      return;
    }
    for (const name of entries) {
      if (this.reported.has(name)) continue;
      const info = processInfo(name);
      if (!info || info.ppid !== process.pid || info.comm !== 'workerd') continue;
      this.reported.add(name);
      this.child.stdin.write(`${name} ${info.start}\n`);
    }
  }

  // A normal exit: the runtimes were stopped by the double itself.
  release() {
    if (!this.child) return;
    this.child.stdin.end('bye\n');
    this.child = null;
  }
}
