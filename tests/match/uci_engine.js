// A UCI engine on a child process, read line by line, and the move helpers
// shared by the match and contract checks.
'use strict';

const { spawn } = require('child_process');

class Engine {
  constructor(exe, name) {
    this.name = name;
    this.proc = spawn(exe, [], { stdio: ['pipe', 'pipe', 'inherit'] });
    this.buffer = '';
    this.waiter = null;
    this.exitCode = undefined;
    this.infoLines = [];
    this.log = [];  // every line read, with the time it came
    this.proc.stdout.on('data', (chunk) => {
      this.buffer += chunk.toString();
      let nl;
      while ((nl = this.buffer.indexOf('\n')) >= 0) {
        const line = this.buffer.slice(0, nl).replace(/\r$/, '');
        this.buffer = this.buffer.slice(nl + 1);
        this.onLine(line);
      }
    });
    this.proc.on('exit', (code, signal) => {
      this.exitCode = code === null ? 'signal ' + signal : code;
      if (this.waiter) {
        const w = this.waiter;
        this.waiter = null;
        clearTimeout(w.timer);
        w.reject(new Error(this.name + ' exited (' + this.exitCode + ')'));
      }
    });
    this.proc.stdin.on('error', () => {});
  }

  onLine(line) {
    this.log.push({ at: Date.now(), line });
    if (line.startsWith('info') && line.includes(' pv ')) this.infoLines.push(line);
    if (this.waiter && this.waiter.test(line)) {
      const w = this.waiter;
      this.waiter = null;
      clearTimeout(w.timer);
      w.resolve(line);
    }
  }

  send(line) {
    if (this.exitCode === undefined) this.proc.stdin.write(line + '\n');
  }

  // Resolves with the first line that passes the test; rejects on timeout or exit.
  waitFor(test, timeoutMs, what) {
    return new Promise((resolve, reject) => {
      if (this.exitCode !== undefined) {
        reject(new Error(this.name + ' exited (' + this.exitCode + ')'));
        return;
      }
      const timer = setTimeout(() => {
        this.waiter = null;
        reject(new Error('hang: ' + this.name + ' gave no ' + what + ' within ' + timeoutMs + ' ms'));
      }, timeoutMs);
      this.waiter = { test, resolve, reject, timer };
    });
  }

  takeInfo() {
    const lines = this.infoLines;
    this.infoLines = [];
    return lines;
  }

  quit(timeoutMs) {
    return new Promise((resolve) => {
      if (this.exitCode !== undefined) {
        resolve(this.exitCode);
        return;
      }
      const timer = setTimeout(() => {
        this.proc.kill('SIGKILL');
        resolve('killed');
      }, timeoutMs);
      this.proc.on('exit', (code) => {
        clearTimeout(timer);
        resolve(code);
      });
      this.send('quit');
    });
  }
}

// Plays a UCI move text on a chess.js game; false when it is not legal there.
function playUci(game, text) {
  const m = /^([a-h][1-8])([a-h][1-8])([qrbn]?)$/.exec(text);
  if (!m) return false;
  try {
    game.move({ from: m[1], to: m[2], promotion: m[3] || undefined });
  } catch (e) {
    return false;
  }
  const last = game.history({ verbose: true }).slice(-1)[0];
  // A promotion must name its piece, and only a promotion may carry a letter.
  if (!!last.promotion !== !!m[3]) return false;
  return true;
}

function parseBest(line) {
  const t = line.trim().split(/\s+/);
  return { best: t[1], ponder: t[2] === 'ponder' ? t[3] : null };
}

module.exports = { Engine, playUci, parseBest };
