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

// Starts an engine, sets the options ([name, value] pairs) and waits until it is ready.
async function openEngine(exe, name, options) {
  const e = new Engine(exe, name);
  e.send('uci');
  await e.waitFor((l) => l === 'uciok', 10000, 'uciok');
  for (const [n, v] of options) e.send('setoption name ' + n + ' value ' + v);
  e.send('isready');
  await e.waitFor((l) => l === 'readyok', 30000, 'readyok');
  return e;
}

// Score of a mate in n moves (n < 0: mated), on the centipawn scale.
const MATE = 100000;

// The score (side to move: centipawns, mates as +-MATE minus the distance),
// depth and principal-variation line of the last pv report among the lines.
function lastScore(lines) {
  const out = { score: null, depth: null, pv: null };
  for (const line of lines) {
    const d = /\bdepth (\d+)/.exec(line);
    const cp = /\bscore cp (-?\d+)/.exec(line);
    const mate = /\bscore mate (-?\d+)/.exec(line);
    const pv = /\bpv (.*)$/.exec(line);
    if (cp) out.score = Number(cp[1]);
    else if (mate) out.score = Number(mate[1]) > 0 ? MATE - Number(mate[1]) : -MATE - Number(mate[1]);
    else continue;
    out.depth = d ? Number(d[1]) : null;
    out.pv = pv ? pv[1].trim() : null;
  }
  return out;
}

// Searches a position (the text of a position command after the word, e.g.
// 'fen ... moves e2e4') to the goal of the go command (e.g. 'depth 16'); when
// stopMs is given a stop is sent after that many ms. Resolves with the best
// move, the last reported score and depth, and the time taken.
async function searchPosition(engine, position, goArgs, stopMs) {
  engine.takeInfo();
  engine.send('position ' + position);
  const started = Date.now();
  engine.send('go ' + goArgs);
  const timer = stopMs ? setTimeout(() => engine.send('stop'), stopMs) : null;
  try {
    const line = await engine.waitFor((l) => l.startsWith('bestmove'), (stopMs || 600000) + 30000, 'bestmove');
    return { ...lastScore(engine.takeInfo()), best: parseBest(line).best, ms: Date.now() - started };
  } finally {
    if (timer) clearTimeout(timer);
  }
}

function parseBest(line) {
  const t = line.trim().split(/\s+/);
  return { best: t[1], ponder: t[2] === 'ponder' ? t[3] : null };
}

module.exports = { Engine, playUci, parseBest, openEngine, MATE, lastScore, searchPosition };
