// Match of two UCI engines (by default tessel_uci against itself), refereed
// by chess.js: every bestmove, ponder move and principal-variation move must
// be legal, no engine may hang, lose on time or crash.
//
// node match.js --engine PATH [--engine2 PATH] [--options "A=1,B=x"] [--options2 ...]
//               [--games N] [--base MS] [--inc MS] [--maxplies N] [--threads N]
//               [--ponder 0|1] [--chessjs DIR] [--fens FILE] [--tablebases DIR]
//               [--pgn FILE] [--strict 0|1]
//
// --engine2: the second engine (default: --engine again); --options and
// --options2: UCI options of each engine ("Name=Value" pairs, comma-separated);
// --threads: the Threads option of both engines when --engine2 is not given;
// --fens: games start from these positions (one FEN a line, "#" lines are
// comments; each played twice with colours exchanged when two engines differ,
// else in turn); --tablebases:
// the NalimovPath of tessel engines, and some tablebase hit must be reported;
// --pgn: every game with each engine's score, depth and time per move as
// comments; --strict 0: referee faults end the game but not the exit status
// (for matches that measure strength). Clocks are in milliseconds; a side
// whose clock runs out loses the game.
'use strict';

const path = require('path');
const fs = require('fs');

function parseArgs(argv) {
  const opts = { games: 4, base: 8000, inc: 100, maxplies: 300, threads: 2, engine: null, engine2: null,
                 options: '', options2: '', ponder: 1, chessjs: null, fens: null, tablebases: null, pgn: null,
                 strict: 1 };
  const textOptions = ['engine', 'engine2', 'options', 'options2', 'chessjs', 'fens', 'tablebases', 'pgn'];
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
const startFens = opts.fens
  ? fs.readFileSync(opts.fens, 'utf8').split('\n').map((l) => l.trim()).filter((l) => l && !l.startsWith('#')) : null;
const twoEngines = opts.engine2 !== null && opts.engine2 !== opts.engine;
let tablebaseHits = 0;

// "Name=Value,Name=Value" -> [[Name, Value], ...]
function parseOptions(text) {
  return text.split(',').map((p) => p.trim()).filter((p) => p).map((p) => {
    const eq = p.indexOf('=');
    if (eq < 0) throw new Error('option "' + p + '" is not Name=Value');
    return [p.slice(0, eq).trim(), p.slice(eq + 1).trim()];
  });
}
const isTessel = (exe) => path.basename(exe).startsWith('tessel');

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

// The engine's own report of a search: score, depth and node count of its
// last principal-variation line.
function lastReport(lines) {
  const out = { score: null, depth: null };
  for (const line of lines) {
    const d = /\bdepth (\d+)/.exec(line);
    const cp = /\bscore cp (-?\d+)/.exec(line);
    const mate = /\bscore mate (-?\d+)/.exec(line);
    if (d) out.depth = Number(d[1]);
    if (cp) out.score = (Number(cp[1]) / 100).toFixed(2).replace(/^(\d)/, '+$1');
    else if (mate) out.score = (Number(mate[1]) > 0 ? '+M' : '-M') + Math.abs(Number(mate[1]));
  }
  return out;
}

async function startEngine(exe, name, optionText) {
  const e = new Engine(exe, name);
  e.exe = exe;
  e.tessel = isTessel(exe);
  e.send('uci');
  await e.waitFor((l) => l === 'uciok', 10000, 'uciok');
  const idLine = e.log.find((x) => x.line.startsWith('id name '));
  e.id = idLine ? idLine.line.slice(8).trim() : path.basename(exe);
  const list = parseOptions(optionText);
  if (!twoEngines && !list.some(([n]) => n === 'Threads')) list.unshift(['Threads', String(opts.threads)]);
  list.push(['Ponder', opts.ponder ? 'true' : 'false']);
  if (opts.tablebases && e.tessel) list.push(['NalimovPath', opts.tablebases]);
  for (const [n, v] of list) e.send('setoption name ' + n + ' value ' + v);
  e.send('isready');
  await e.waitFor((l) => l === 'readyok', 30000, 'readyok');
  // per-engine tallies for the summary
  e.stats = { points: 0, wins: 0, draws: 0, losses: 0, depthSum: 0, depthMoves: 0, shareSum: 0, shareMoves: 0,
              endShareSum: 0, games: 0, timeLosses: 0 };
  return e;
}

async function playGame(index, white, black) {
  const startFen = startFens
    ? startFens[(twoEngines ? Math.floor((index - 1) / 2) : index - 1) % startFens.length] : null;
  const game = startFen ? new Chess(startFen) : new Chess();
  const uciMoves = [];
  const record = [];  // { san, comment } per ply
  const engines = { w: white, b: black };
  const clock = { w: opts.base, b: opts.base };
  const allowed = { w: opts.base, b: opts.base };  // base plus the increments received
  const ponder = { w: null, b: null };  // { move, fen } of a running ponder search
  let timeLoser = null;
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
    let ponderInfo = [];
    if (ponder[side] && ponder[side].move === last) {
      e.send('ponderhit');
      started = Date.now();
      ponderInfo = e.takeInfo();
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
    const clockBefore = clock[side];
    const line = await e.waitFor((l) => l.startsWith('bestmove'), clock[side] + 3000, 'bestmove');
    const elapsed = Date.now() - started;
    clock[side] -= elapsed;
    const info = ponderInfo.concat(e.takeInfo());
    checkPvLines(info, fen, e.name);
    const report = lastReport(info);
    if (report.depth !== null) {
      e.stats.depthSum += report.depth;
      e.stats.depthMoves++;
    }
    e.stats.shareSum += Math.min(elapsed / Math.max(clockBefore, 1), 1);
    e.stats.shareMoves++;
    if (clock[side] < 0) {
      fail('timeLosses', e.name + ' over its time by ' + -clock[side] + ' ms in game ' + index);
      e.stats.timeLosses++;
      timeLoser = side;
      break;
    }
    clock[side] += opts.inc;
    allowed[side] += opts.inc;

    const { best, ponder: ponderMove } = parseBest(line);
    if (!playUci(game, best)) {
      fail('illegal', e.name + ' bestmove "' + best + '" in ' + fen);
      timeLoser = side;  // an illegal move loses like a flag fall
      break;
    }
    uciMoves.push(best);
    record.push({ san: game.history().slice(-1)[0],
                  comment: (report.score === null ? '?' : report.score) + '/' + (report.depth === null ? '?' : report.depth) +
                           ' ' + (elapsed / 1000).toFixed(3) + 's' });
    if (ponderMove && opts.ponder) {
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
  let reason = 'ply limit';
  if (timeLoser) {
    result = timeLoser === 'w' ? '0-1' : '1-0';
    reason = 'forfeit';
  } else if (game.isCheckmate()) {
    result = game.turn() === 'w' ? '0-1' : '1-0';
    reason = 'checkmate';
  } else if (game.isStalemate()) {
    result = '1/2-1/2';
    reason = 'stalemate';
  } else if (game.isGameOver()) {
    result = '1/2-1/2';
    reason = 'draw';
  }
  const resultText = result + ' ' + reason;

  // Tessel names mate and stalemate itself after the final position.
  if (!timeLoser && (game.isCheckmate() || game.isStalemate())) {
    for (const e of [white, black]) {
      if (!e.tessel) continue;
      e.send(positionLine(uciMoves));
      const r = await e.waitFor((l) => l.startsWith('info string result'), 5000, 'result line');
      if (r !== 'info string result ' + resultText) fail('results', e.name + ' said "' + r + '", referee: ' + resultText);
    }
  }
  const points = result === '1-0' ? [1, 0] : result === '0-1' ? [0, 1] : result === '1/2-1/2' ? [0.5, 0.5] : null;
  [white, black].forEach((e, i) => {
    const side = i === 0 ? 'w' : 'b';
    e.stats.games++;
    e.stats.endShareSum += Math.max(0, Math.min(1, 1 - clock[side] / allowed[side]));
    if (!points) return;
    e.stats.points += points[i];
    if (points[i] === 1) e.stats.wins++;
    else if (points[i] === 0) e.stats.losses++;
    else e.stats.draws++;
  });
  if (opts.pgn) appendPgn(index, white, black, startFen, record, result, reason);
  console.log('game ' + index + ': ' + white.id + ' - ' + black.id + ', ' + uciMoves.length + ' plies, ' + resultText +
              ', clocks ' + clock.w + '/' + clock.b + ' ms');
  return result;
}

function appendPgn(index, white, black, startFen, record, result, reason) {
  const date = new Date().toISOString().slice(0, 10).replace(/-/g, '.');
  const tags = [['Event', 'match ' + opts.base + '+' + opts.inc + ' ms'], ['Site', '?'], ['Date', date],
                ['Round', String(index)], ['White', white.id], ['Black', black.id], ['Result', result],
                ['TimeControl', opts.base / 1000 + '+' + opts.inc / 1000], ['Termination', reason]];
  if (startFen) tags.push(['SetUp', '1'], ['FEN', startFen]);
  let text = tags.map(([k, v]) => '[' + k + ' "' + v + '"]').join('\n') + '\n\n';
  const first = new Chess(startFen || undefined);
  let moveNo = Number(first.fen().split(' ')[5]);
  let blackFirst = first.turn() === 'b';
  const words = [];
  record.forEach((r, i) => {
    if (i === 0 && blackFirst) words.push(moveNo + '...');
    else if ((i + (blackFirst ? 1 : 0)) % 2 === 0) words.push(moveNo + '.');
    words.push(r.san, '{' + r.comment + '}');
    if ((i + (blackFirst ? 1 : 0)) % 2 === 1) moveNo++;
  });
  words.push(result);
  let lineText = '';
  for (const w of words) {
    if (lineText.length + w.length + 1 > 79) {
      text += lineText.trimEnd() + '\n';
      lineText = '';
    }
    lineText += w + ' ';
  }
  text += lineText.trimEnd() + '\n\n';
  fs.appendFileSync(opts.pgn, text);
}

function summary(e) {
  const s = e.stats;
  const pct = (x) => (100 * x).toFixed(1) + ' %';
  return e.id + ': ' + s.points + '/' + s.games + ' (' + pct(s.games ? s.points / s.games : 0) + '), +' + s.wins + ' =' +
         s.draws + ' -' + s.losses + ', average depth ' + (s.depthMoves ? (s.depthSum / s.depthMoves).toFixed(1) : '?') +
         ', clock used per move ' + pct(s.shareMoves ? s.shareSum / s.shareMoves : 0) +
         ', at game end ' + pct(s.games ? s.endShareSum / s.games : 0) + ', time losses ' + s.timeLosses;
}

async function main() {
  if (opts.pgn) fs.writeFileSync(opts.pgn, '');
  const a = await startEngine(opts.engine, 'engine A', opts.options);
  const b = await startEngine(twoEngines ? opts.engine2 : opts.engine, 'engine B', twoEngines ? opts.options2 : opts.options);
  if (a.id === b.id) {
    a.id += ' (A)';
    b.id += ' (B)';
  }
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
    // tessel_uci ends with 1 after quit; other engines with 0
    if (code !== (e.tessel ? 1 : 0)) fail('crashes', e.name + ' ended with ' + code + ' after quit');
  }
  if (opts.tablebases) {
    console.log('largest tbhits reported: ' + tablebaseHits);
    if (tablebaseHits === 0) fail('results', 'no tablebase hit reported with tables present');
  }
  console.log(summary(a));
  console.log(summary(b));
  const bad = failures.illegal + failures.hangs + failures.timeLosses + failures.crashes + failures.results;
  console.log('games played ' + played + '/' + opts.games + ': illegal moves ' + failures.illegal + ', hangs ' +
              failures.hangs + ', time losses ' + failures.timeLosses + ', crashes ' + failures.crashes +
              ', wrong result lines ' + failures.results);
  const passed = (bad === 0 || !opts.strict) && played === opts.games ? 1 : 0;
  console.log('match: ' + passed + ' passed, ' + (1 - passed) + ' failed');
  process.exit(passed ? 0 : 1);
}

main().catch((err) => {
  console.log('harness error: ' + (err.stack || err));
  process.exit(1);
});
