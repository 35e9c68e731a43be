// Self-play match of tessel_uci against itself with pondering, refereed by
// chess.js: every bestmove, ponder move and principal-variation move must be
// legal, no engine may hang, lose on time or crash.
//
// node match.js --engine PATH [--games N] [--base MS] [--inc MS] [--maxplies N]
//               [--threads N] [--chessjs DIR] [--fens FILE] [--tablebases DIR]
//
// --fens: games start from these positions (one FEN a line, in turn) instead
// of the start position; --tablebases: the engines' NalimovPath, and some
// tablebase hit must be reported.
'use strict';

const path = require('path');

function parseArgs(argv) {
  const opts = { games: 4, base: 8000, inc: 100, maxplies: 300, threads: 2, engine: null, chessjs: null, fens: null,
                 tablebases: null };
  const textOptions = ['engine', 'chessjs', 'fens', 'tablebases'];
  for (let i = 2; i < argv.length; i++) {
    const key = argv[i].replace(/^--/, '');
    const value = argv[++i];
    if (!(key in opts)) throw new Error('unknown option --' + key);
    opts[key] = textOptions.includes(key) ? value : Number(value);
  }
  if (!opts.engine) throw new Error('--engine is required');
  return opts;
}

const opts = parseArgs(process.argv);
const { Chess } = require(opts.chessjs ? path.join(opts.chessjs, 'node_modules', 'chess.js') : 'chess.js');
const { Engine, playUci, parseBest } = require('./uci_engine');
const startFens = opts.fens ? require('fs').readFileSync(opts.fens, 'utf8').split('\n').map((l) => l.trim()).filter((l) => l) : null;
let tablebaseHits = 0;

const failures = { illegal: 0, hangs: 0, timeLosses: 0, crashes: 0, results: 0 };
const notes = [];
function fail(kind, text) {
  failures[kind]++;
  notes.push(kind + ': ' + text);
  console.log('FAIL ' + kind + ': ' + text);
}

function checkPvLines(lines, rootFen, who) {
  for (const line of lines) {
    const hits = /tbhits (\d+)/.exec(line);
    if (hits) tablebaseHits = Math.max(tablebaseHits, Number(hits[1]));
    const pv = line.slice(line.indexOf(' pv ') + 4).trim().split(/\s+/).filter((t) => t);
    const game = new Chess(rootFen);
    for (const text of pv) {
      if (!playUci(game, text)) {
        fail('illegal', who + ' pv move ' + text + ' in "' + line + '" from ' + rootFen);
        break;
      }
    }
  }
}

async function startEngine(name) {
  const e = new Engine(opts.engine, name);
  e.send('uci');
  await e.waitFor((l) => l === 'uciok', 10000, 'uciok');
  e.send('setoption name Threads value ' + opts.threads);
  e.send('setoption name Ponder value true');
  if (opts.tablebases) e.send('setoption name NalimovPath value ' + opts.tablebases);
  e.send('isready');
  await e.waitFor((l) => l === 'readyok', 30000, 'readyok');
  return e;
}

async function playGame(index, white, black) {
  const startFen = startFens ? startFens[(index - 1) % startFens.length] : null;
  const game = startFen ? new Chess(startFen) : new Chess();
  const uciMoves = [];
  const engines = { w: white, b: black };
  const clock = { w: opts.base, b: opts.base };
  const ponder = { w: null, b: null };  // { move, fen } of a running ponder search
  for (const e of [white, black]) {
    e.send('ucinewgame');
    e.send('isready');
    await e.waitFor((l) => l === 'readyok', 10000, 'readyok');
  }
  const goLine = (extra) =>
    'go ' + extra + 'wtime ' + Math.max(clock.w, 1) + ' btime ' + Math.max(clock.b, 1) +
    ' winc ' + opts.inc + ' binc ' + opts.inc;
  const positionLine = (moves) =>
    (startFen ? 'position fen ' + startFen : 'position startpos') + (moves.length ? ' moves ' + moves.join(' ') : '');

  while (!game.isGameOver() && uciMoves.length < opts.maxplies) {
    const side = game.turn();
    const e = engines[side];
    const fen = game.fen();
    const last = uciMoves[uciMoves.length - 1];
    let started;
    if (ponder[side] && ponder[side].move === last) {
      e.send('ponderhit');
      started = Date.now();
    } else {
      if (ponder[side]) {
        // The opponent played another move: end the ponder search first.
        e.send('stop');
        const line = await e.waitFor((l) => l.startsWith('bestmove'), 5000, 'bestmove after stop');
        const p = parseBest(line);
        const g = new Chess(ponder[side].fen);
        if (!playUci(g, p.best)) fail('illegal', e.name + ' bestmove ' + p.best + ' after stop in ' + ponder[side].fen);
        checkPvLines(e.takeInfo(), ponder[side].fen, e.name);
      }
      e.takeInfo();
      e.send(positionLine(uciMoves));
      e.send(goLine(''));
      started = Date.now();
    }
    ponder[side] = null;
    const line = await e.waitFor((l) => l.startsWith('bestmove'), clock[side] + 3000, 'bestmove');
    const elapsed = Date.now() - started;
    clock[side] -= elapsed;
    if (clock[side] < 0) fail('timeLosses', e.name + ' over its time by ' + -clock[side] + ' ms in game ' + index);
    clock[side] += opts.inc;
    checkPvLines(e.takeInfo(), fen, e.name);

    const { best, ponder: ponderMove } = parseBest(line);
    if (!playUci(game, best)) {
      fail('illegal', e.name + ' bestmove "' + best + '" in ' + fen);
      return 'illegal';
    }
    uciMoves.push(best);
    if (ponderMove) {
      const g = new Chess(game.fen());
      if (!playUci(g, ponderMove)) {
        fail('illegal', e.name + ' ponder move ' + ponderMove + ' after ' + best + ' in ' + fen);
      } else if (!game.isGameOver()) {
        ponder[side] = { move: ponderMove, fen: g.fen() };
        e.send(positionLine(uciMoves.concat([ponderMove])));
        e.send(goLine('ponder '));
      }
    }
  }

  // End any ponder search still running.
  for (const side of ['w', 'b']) {
    if (!ponder[side]) continue;
    const e = engines[side];
    e.send('stop');
    await e.waitFor((l) => l.startsWith('bestmove'), 5000, 'bestmove after stop');
    checkPvLines(e.takeInfo(), ponder[side].fen, e.name);
    ponder[side] = null;
  }

  let result = '*';
  if (game.isCheckmate()) result = game.turn() === 'w' ? '0-1 checkmate' : '1-0 checkmate';
  else if (game.isStalemate()) result = '1/2-1/2 stalemate';
  else if (game.isGameOver()) result = '1/2-1/2 draw';
  else result = '* ply limit';

  // The engines name mate and stalemate themselves after the final position.
  if (game.isCheckmate() || game.isStalemate()) {
    for (const e of [white, black]) {
      e.send(positionLine(uciMoves));
      const r = await e.waitFor((l) => l.startsWith('info string result'), 5000, 'result line');
      if (r !== 'info string result ' + result) fail('results', e.name + ' said "' + r + '", referee: ' + result);
    }
  }
  console.log('game ' + index + ': ' + uciMoves.length + ' plies, ' + result +
              ', clocks ' + clock.w + '/' + clock.b + ' ms');
  return result;
}

async function main() {
  const a = await startEngine('engine A');
  const b = await startEngine('engine B');
  let played = 0;
  try {
    for (let i = 0; i < opts.games; i++) {
      const [white, black] = i % 2 === 0 ? [a, b] : [b, a];
      await playGame(i + 1, white, black);
      played++;
    }
  } catch (err) {
    const text = String(err.message || err);
    if (text.startsWith('hang')) fail('hangs', text);
    else fail('crashes', text);
  }
  for (const e of [a, b]) {
    const code = await e.quit(5000);
    if (code !== 1) fail('crashes', e.name + ' ended with ' + code + ' after quit');
  }
  if (opts.tablebases) {
    console.log('largest tbhits reported: ' + tablebaseHits);
    if (tablebaseHits === 0) fail('results', 'no tablebase hit reported with tables present');
  }
  const bad = failures.illegal + failures.hangs + failures.timeLosses + failures.crashes + failures.results;
  console.log('games played ' + played + '/' + opts.games + ': illegal moves ' + failures.illegal + ', hangs ' +
              failures.hangs + ', time losses ' + failures.timeLosses + ', crashes ' + failures.crashes +
              ', wrong result lines ' + failures.results);
  const passed = bad === 0 && played === opts.games ? 1 : 0;
  console.log('match: ' + passed + ' passed, ' + (1 - passed) + ' failed');
  process.exit(passed ? 0 : 1);
}

main().catch((err) => {
  console.log('harness error: ' + (err.stack || err));
  process.exit(1);
});
