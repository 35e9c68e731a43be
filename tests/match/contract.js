// The UCI contract under every kind of search: "isready" is answered, "stop"
// brings exactly one legal bestmove, and "quit" ends the process, each at
// once, whenever they come. Refereed by chess.js.
//
// node contract.js --engine PATH [--chessjs DIR] [--threads N]
'use strict';

const path = require('path');

function parseArgs(argv) {
  const opts = { engine: null, chessjs: null, threads: 4 };
  for (let i = 2; i < argv.length; i++) {
    const key = argv[i].replace(/^--/, '');
    const value = argv[++i];
    if (!(key in opts)) throw new Error('unknown option --' + key);
    opts[key] = key === 'threads' ? Number(value) : value;
  }
  if (!opts.engine) throw new Error('--engine is required');
  return opts;
}

const opts = parseArgs(process.argv);
const { Chess } = require(opts.chessjs ? path.join(opts.chessjs, 'node_modules', 'chess.js') : 'chess.js');
const { Engine, playUci, parseBest } = require('./uci_engine');

const READY_MS = 1000;  // "isready" answered within
const STOP_MS = 1000;   // "stop" answered with its bestmove within
const QUIT_MS = 2000;   // "quit" ends the process within
const QUIET_MS = 300;   // after the answer, how long no second bestmove may come

const POSITIONS = [
  { name: 'start', moves: [] },
  { name: 'open game', moves: ['e2e4', 'e7e5', 'g1f3', 'b8c6', 'f1b5'] },
  { name: 'middlegame', fen: 'r1bq1rk1/pp2bppp/2n1pn2/3p4/2PP4/2N1PN2/PP3PPP/R2QKB1R w KQ - 0 9' },
  { name: 'pawn ending', fen: '8/5k2/8/3p4/3P4/4K3/8/8 w - - 0 1' },
  { name: 'two legal moves', fen: 'k7/8/8/8/8/8/8/K6r w - - 0 1' },
  { name: 'checkmated', moves: ['f2f3', 'e7e5', 'g2g4', 'd8h4'] },
];
const SEARCHES = [
  'go depth 30',
  'go depth 99999999999',
  'go infinite',
  'go movetime 60000',
  'go wtime 300000 btime 300000 winc 2000 binc 2000',
  'go ponder wtime 300000 btime 300000',
];
const DELAYS = [1, 10, 500];

const failures = [];
function fail(text) {
  failures.push(text);
  console.log('FAIL ' + text);
}

const sleep = (ms) => new Promise((r) => setTimeout(r, ms));

function positionCommand(p) {
  const head = p.fen ? 'position fen ' + p.fen : 'position startpos';
  return p.moves && p.moves.length ? head + ' moves ' + p.moves.join(' ') : head;
}

function refereeGame(p) {
  const game = p.fen ? new Chess(p.fen) : new Chess();
  for (const m of p.moves || []) if (!playUci(game, m)) throw new Error('bad test move ' + m);
  return game;
}

async function startEngine(what) {
  const e = new Engine(opts.engine, what);
  e.send('uci');
  await e.waitFor((l) => l === 'uciok', 10000, 'uciok');
  e.send('setoption name OwnBook value false');
  e.send('setoption name Threads value ' + opts.threads);
  e.send('isready');
  await e.waitFor((l) => l === 'readyok', 10000, 'readyok');
  return e;
}

// Sends "isready" and checks that "readyok" comes within READY_MS.
async function timedReady(e, what) {
  const sent = Date.now();
  e.send('isready');
  await e.waitFor((l) => l === 'readyok', READY_MS, 'readyok ' + what);
  return Date.now() - sent;
}

async function quitWithin(e, what) {
  const sent = Date.now();
  const code = await e.quit(QUIT_MS);
  if (code === 'killed') fail(what + ': quit did not end the process within ' + QUIT_MS + ' ms');
  else if (code !== 1) fail(what + ': exit code ' + code + ' after quit');
  return Date.now() - sent;
}

function bestmovesSince(e, from) {
  return e.log.slice(from).filter((x) => x.line.startsWith('bestmove')).map((x) => x.line);
}

function checkBestmove(line, p, what) {
  const game = refereeGame(p);
  const { best, ponder } = parseBest(line);
  if (best === '0000') {
    if (game.moves().length !== 0) fail(what + ': bestmove 0000 with legal moves');
    return;
  }
  if (!playUci(game, best)) return fail(what + ': illegal bestmove ' + best);
  if (ponder && !playUci(game, ponder)) fail(what + ': illegal ponder move ' + ponder);
}

// One search stopped after `delay` ms: isready during it, stop, isready, quit.
async function stopRound(p, search, delay) {
  const what = p.name + ' / ' + search + ' / stop after ' + delay + ' ms';
  const e = await startEngine(what);
  const worst = { ready: 0, stop: 0, quit: 0 };
  try {
    e.send(positionCommand(p));
    const from = e.log.length;
    e.send(search);
    await sleep(delay);
    worst.ready = await timedReady(e, 'during the search');
    // A search that ended by itself (a short one, or no legal move) has
    // answered already; the stop then brings no second bestmove.
    // (Lines are read between awaits only, so nothing slips past the test.)
    const sent = Date.now();
    let line = bestmovesSince(e, from)[0];
    const waiting = line ? null : e.waitFor((l) => l.startsWith('bestmove'), STOP_MS, 'bestmove after stop');
    e.send('stop');
    if (waiting) {
      line = await waiting;
      worst.stop = Date.now() - sent;
    }
    worst.ready = Math.max(worst.ready, await timedReady(e, 'after stop'));
    await sleep(QUIET_MS);
    const lines = bestmovesSince(e, from);
    if (lines.length !== 1) fail(what + ': ' + lines.length + ' bestmove lines (' + lines.join(' | ') + ')');
    checkBestmove(line, p, what);
  } catch (err) {
    fail(what + ': ' + err.message);
  }
  worst.quit = await quitWithin(e, what);
  return worst;
}

// One search abandoned by "quit" while it runs.
async function quitRound(p, search) {
  const what = p.name + ' / ' + search + ' / quit while searching';
  const e = await startEngine(what);
  e.send(positionCommand(p));
  e.send(search);
  await sleep(50);
  return quitWithin(e, what);
}

function firstPvMove(line) {
  return line.slice(line.indexOf(' pv ') + 4).trim().split(/\s+/)[0];
}

// Multi-PV as a GUI sees it: lines beyond the legal moves are not waited for,
// and the bestmove is the first line's move.
async function multiPvRound(p, lines, waitLine, stopAfterMs, what) {
  const e = await startEngine(what);
  try {
    e.send('setoption name MultiPV value ' + lines);
    e.send(positionCommand(p));
    const from = e.log.length;
    e.send('go infinite');
    if (waitLine) await e.waitFor((l) => l.includes(' multipv ' + waitLine + ' pv '), 20000, 'multipv ' + waitLine);
    await sleep(stopAfterMs);
    e.send('stop');
    const best = parseBest(await e.waitFor((l) => l.startsWith('bestmove'), STOP_MS, 'bestmove after stop')).best;
    const log = e.log.slice(from).map((x) => x.line);
    const legal = refereeGame(p).moves().length;
    const beyond = log.filter((l) => Number((/ multipv (\d+) /.exec(l) || [0, 0])[1]) > Math.min(lines, legal));
    if (beyond.length) fail(what + ': a line beyond the legal moves: ' + beyond[0]);
    const firsts = log.filter((l) => l.includes(' multipv 1 pv '));
    if (!firsts.length) fail(what + ': no multipv 1 line before the bestmove');
    else if (firstPvMove(firsts[firsts.length - 1]) !== best)
      fail(what + ': bestmove ' + best + ' is not the last multipv 1 move (' + firsts[firsts.length - 1] + ')');
    checkBestmove('bestmove ' + best, p, what);
  } catch (err) {
    fail(what + ': ' + err.message);
  }
  await quitWithin(e, what);
}

// A fixed-depth search stopped before its first report still ends at once,
// with an info line for the move it plays.
async function earlyStopRound() {
  const what = 'go depth 60 stopped before any report';
  const e = await startEngine(what);
  try {
    e.send('position startpos');
    const from = e.log.length;
    e.send('go depth 60');
    e.send('stop');
    const best = parseBest(await e.waitFor((l) => l.startsWith('bestmove'), STOP_MS, 'bestmove after stop')).best;
    const pvs = e.log.slice(from).map((x) => x.line).filter((l) => l.startsWith('info') && l.includes(' pv '));
    if (!pvs.length || firstPvMove(pvs[pvs.length - 1]) !== best)
      fail(what + ': bestmove ' + best + ' has no info line of its own');
    checkBestmove('bestmove ' + best, { name: 'start', moves: [] }, what);
  } catch (err) {
    fail(what + ': ' + err.message);
  }
  await quitWithin(e, what);
}

// Checkmate on the 100th half-move without capture or pawn move: mate wins.
async function mateOnHundredthRound() {
  const what = 'mate on the 100th quiet half-move';
  const e = await startEngine(what);
  try {
    const from = e.log.length;
    e.send('position fen 7k/8/6K1/8/8/8/8/R7 w - - 99 80 moves a1a8');
    await timedReady(e, 'after the position');
    const results = e.log.slice(from).map((x) => x.line).filter((l) => l.startsWith('info string result'));
    if (results.length !== 1 || results[0] !== 'info string result 1-0 checkmate')
      fail(what + ': result lines ' + JSON.stringify(results));
  } catch (err) {
    fail(what + ': ' + err.message);
  }
  await quitWithin(e, what);
}

async function main() {
  let rounds = 0;
  let failedRounds = 0;
  const tally = (before) => {
    rounds++;
    if (failures.length > before) failedRounds++;
  };
  const worst = { ready: 0, stop: 0, quit: 0 };
  for (const p of POSITIONS) {
    for (const search of SEARCHES) {
      for (const delay of DELAYS) {
        const before = failures.length;
        const w = await stopRound(p, search, delay);
        for (const k of Object.keys(worst)) worst[k] = Math.max(worst[k], w[k]);
        tally(before);
      }
      const before = failures.length;
      worst.quit = Math.max(worst.quit, await quitRound(p, search));
      tally(before);
    }
  }
  const twoMoves = POSITIONS.find((p) => p.name === 'two legal moves');
  const scenarios = [
    () => multiPvRound(POSITIONS[0], 25, 20, 200, 'MultiPV 25 from the start position'),
    () => multiPvRound(twoMoves, 3, 2, 200, 'MultiPV 3 with two legal moves'),
    () => multiPvRound(twoMoves, 2, 0, 1000, 'MultiPV 2, stopped after 1 s'),
    () => multiPvRound(POSITIONS[2], 3, 0, 1, 'MultiPV 3, stopped at once'),
    earlyStopRound,
    mateOnHundredthRound,
  ];
  for (const run of scenarios) {
    const before = failures.length;
    await run();
    tally(before);
  }
  console.log(
    'contract: ' + rounds + ' rounds; slowest readyok ' + worst.ready + ' ms, bestmove after stop ' + worst.stop +
      ' ms, exit after quit ' + worst.quit + ' ms');
  console.log(rounds - failedRounds + ' passed, ' + failedRounds + ' failed');
  process.exit(failedRounds ? 1 : 0);
}

main().catch((err) => {
  console.log('FAIL ' + err.stack);
  process.exit(1);
});
