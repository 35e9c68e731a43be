// Finds the decisive mistakes of one player (Tessel) in the games it lost or
// drew from a better position, and probes Tessel at each of them: what it
// thought during the game, what it chooses and how it scores the move played
// and the better move when it searches deeper, and a suggested cause.
// Also sums up how both engines used their clocks in all the games.
//
// node bench/mistakes.js --pgn A.pgn[,B.pgn...] [--engine build/tessel_uci] [--player Tessel]
//     [--depth 16] [--threads 1] [--stockfish /usr/games/stockfish] [--chessjs DIR]
//     [--probeDepth 0] [--probeExtra 4] [--probeMs 30000]
//     [--better 150] [--loss 100] [--perGame 2] [--holding -100] [--losing -200] [--cap 1000]
//     [--margin 30] [--hurryShare 0.01] [--lowClock 2000]
//     [--md mistakes.md] [--json mistakes.json] [--cache cache.json]
//
// A game qualifies when the player did not win it although Stockfish (at
// --depth) scored some position where it was to move at least --better cp for
// it (--better -100000 takes every game it did not win). A mistake is a move
// whose Stockfish score falls at least --loss cp below Stockfish's best (both
// clamped to +-cap); per game the --perGame largest are kept, plus every one
// that turned a score >= --holding into <= --losing. Tessel then searches the
// position afresh (ucinewgame, Hash 64, OwnBook false, Threads 1, and the
// game's moves up to the position, so that the fifty-move count and the
// repetitions are the game's) to --probeDepth (0: the depth it reached in the
// game plus --probeExtra), with a stop after --probeMs, and scores the move
// played and Stockfish's best by searching the position after each to one ply
// less. Suggested class: "evaluation" when Tessel still scores its move
// --margin cp or more above the better one and does not choose the better
// one; "time" when the move took under --hurryShare of the clock or the clock
// was under --lowClock ms; "depth" when the deeper search chooses the better
// move, scores it --margin above the move played, or scores the move played
// --loss below what Tessel thought in the game; otherwise "unclear".
// --cache keeps the searches done in a JSON file (saved as it goes), so a rerun
// after more games have finished, or after an interruption, only searches the
// new positions. Uses two processes at a time (Stockfish and Tessel).
'use strict';

const fs = require('fs');
const path = require('path');
const { openEngine, playUci, searchPosition, MATE } = require('../tests/match/uci_engine');
const { readGames, colourOf, pointsOf, clocks } = require('./pgn_games');
const { showScore, sanOf, makeEvaluator, reviewGame } = require('./move_review');
const { readOptions, loadChess } = require('./cli_options');

const opts = readOptions({ pgn: null, engine: path.join(__dirname, '..', 'build', 'tessel_uci'), player: 'Tessel', depth: 16, threads: 1,
               stockfish: '/usr/games/stockfish', chessjs: null, probeDepth: 0, probeExtra: 4, probeMs: 30000,
               better: 150, loss: 100, perGame: 2, holding: -100, losing: -200, cap: 1000, margin: 30, hurryShare: 0.01,
               lowClock: 2000, md: null, json: null, cache: null }, ['pgn']);
const Chess = loadChess(opts.chessjs);

const PHASES = [[1, 20], [21, 40], [41, Infinity]];
const clamp = (s) => Math.max(-opts.cap, Math.min(opts.cap, s));

// The games of all the PGN files, each with a label "file#n".
function loadGames() {
  const out = [];
  for (const file of opts.pgn.split(',')) {
    const games = readGames(fs.readFileSync(file, 'utf8'));
    games.forEach((g, i) => out.push({ ...g, label: path.basename(file, '.pgn') + '#' + (i + 1) }));
  }
  return out.filter((g) => g.tags.Result && g.tags.Result !== '*');
}

// The mistakes of a reviewed game that deserve a probe.
function pickMistakes(found) {
  const big = found.filter((f) => f.drop >= opts.loss).sort((a, b) => b.drop - a.drop);
  const turning = (f) => clamp(f.bestScore) >= opts.holding && clamp(f.playedScore) <= opts.losing;
  return big.filter((f, i) => i < opts.perGame || turning(f)).map((f) => ({ ...f, turning: turning(f) })).sort((a, b) => a.ply - b.ply);
}

// The position command text of a mistake's position in its game, with more
// moves appended: Tessel gets the game's moves, so its fifty-move count and
// repetition record are those it had in the game.
function positionOf(m, more) {
  const moves = m.history.concat(more);
  return (m.opening ? 'fen ' + m.opening : 'startpos') + (moves.length ? ' moves ' + moves.join(' ') : '');
}

// Tessel's score (for the side to move at the mistake) of playing uci there,
// from a search of the position after it to the depth, or the game's end.
async function scoreAfter(tessel, m, uci, depth) {
  const board = new Chess(m.fen);
  if (!playUci(board, uci)) return { score: null, depth: null, ms: 0 };
  if (board.isCheckmate()) return { score: MATE, depth: 0, ms: 0 };
  if (board.isDraw() || board.isStalemate()) return { score: 0, depth: 0, ms: 0 };
  const r = await fresh(tessel, positionOf(m, [uci]), depth);
  return { score: r.score === null ? null : -r.score, depth: r.depth, ms: r.ms };
}

// A search from a new game (cleared hash) of the position to the depth.
async function fresh(tessel, position, depth) {
  tessel.send('ucinewgame');
  tessel.send('isready');
  await tessel.waitFor((l) => l === 'readyok', 30000, 'readyok');
  return searchPosition(tessel, position, 'depth ' + depth, opts.probeMs);
}

// The suggested cause of a mistake from the probe results.
function classify(m) {
  const { deeper, tPlayed, tBest } = m.tessel;
  const hurried = m.clockMs !== null && (m.clockMs < opts.lowClock ||
                  (m.ownParsed.ms !== null && m.ownParsed.ms < opts.hurryShare * m.clockMs));
  const known = tPlayed.score !== null && tBest.score !== null;
  const choosesBest = deeper.best === m.bestUci;
  if (known && !choosesBest && tPlayed.score - tBest.score >= opts.margin) return 'evaluation';
  if (hurried) return 'time';
  if (choosesBest || (known && tBest.score - tPlayed.score >= opts.margin) ||
      (tPlayed.score !== null && m.ownParsed.score !== null && clamp(m.ownParsed.score) - clamp(tPlayed.score) >= opts.loss))
    return 'depth';
  return 'unclear';
}

// Probes Tessel at a mistake, remembering the result in the cache.
async function probe(tessel, m, cache) {
  const depth = opts.probeDepth || (m.ownParsed.depth || 10) + opts.probeExtra;
  const key = 'probe|' + depth + '|' + opts.probeMs + '|' + positionOf(m, []) + '|' + m.uci + '|' + m.bestUci;
  if (!cache[key]) {
    const root = await fresh(tessel, positionOf(m, []), depth);
    cache[key] = { depth, deeper: { best: root.best, san: sanOf(Chess, m.fen, root.best), score: root.score, depth: root.depth, ms: root.ms },
                   tPlayed: await scoreAfter(tessel, m, m.uci, depth - 1),
                   tBest: await scoreAfter(tessel, m, m.bestUci, depth - 1) };
  }
  m.tessel = cache[key];
  m.class = classify(m);
}

const median = (xs) => {
  if (!xs.length) return null;
  const s = [...xs].sort((a, b) => a - b);
  return s.length % 2 ? s[(s.length - 1) / 2] : (s[s.length / 2 - 1] + s[s.length / 2]) / 2;
};
const mean = (xs) => (xs.length ? xs.reduce((a, b) => a + b, 0) / xs.length : null);
const pct = (x) => (x === null ? '-' : (100 * x).toFixed(1) + '%');
const secs = (ms) => (ms === null ? '-' : (ms / 1000).toFixed(1) + ' s');

// Clock use of every engine over all the games: share of the remaining clock
// per move by phase, clocks at the end, and moves made on a nearly empty clock.
function timeUse(games) {
  const by = {};
  const of = (name) => (by[name] = by[name] || { phases: PHASES.map(() => ({ share: [], ms: [] })), end: [], under1: 0, under2: 0, moves: 0 });
  for (const g of games) {
    const c = clocks(g);
    if (!c) continue;
    const board = g.tags.FEN ? new Chess(g.tags.FEN) : new Chess();
    const startMove = Number(board.fen().split(' ')[5]);
    const firstWhite = board.turn() === 'w';
    g.moves.forEach((mv, i) => {
      const side = (i % 2 === 0) === firstWhite ? 'w' : 'b';
      const e = of(side === 'w' ? g.tags.White : g.tags.Black);
      const moveNo = startMove + Math.floor((i + (firstWhite ? 0 : 1)) / 2);
      const ms = /(\d+(?:\.\d+)?)s\s*$/.exec(mv.comment || '');
      if (!ms) return;
      const p = e.phases[PHASES.findIndex(([a, b]) => moveNo >= a && moveNo <= b)];
      p.share.push(Number(ms[1]) * 1000 / Math.max(c.before[i], 1));
      p.ms.push(Number(ms[1]) * 1000);
      e.moves++;
      if (c.before[i] < 1000) e.under1++;
      if (c.before[i] < 2000) e.under2++;
    });
    of(g.tags.White).end.push(c.end.w);
    of(g.tags.Black).end.push(c.end.b);
  }
  const lines = ['## Clock use (' + games.length + ' games)', '',
                 '| engine | moves | ' + PHASES.map(([a, b]) => 'moves ' + a + (b === Infinity ? '+' : '-' + b) + ': share median / mean (time median)').join(' | ') +
                 ' | clock at end: median / mean / min | moves with clock < 1000 ms | < 2000 ms |',
                 '|' + ' --- |'.repeat(5 + PHASES.length)];
  for (const [name, e] of Object.entries(by))
    lines.push('| ' + [name, e.moves, ...e.phases.map((p) => pct(median(p.share)) + ' / ' + pct(mean(p.share)) + ' (' + secs(median(p.ms)) + ', n=' + p.share.length + ')'),
                       secs(median(e.end)) + ' / ' + secs(mean(e.end)) + ' / ' + secs(Math.min(...e.end)), e.under1, e.under2].join(' | ') + ' |');
  return { lines, by };
}

function report(games, qualifying, mistakes) {
  const counts = {};
  const turned = {};
  for (const m of mistakes) {
    counts[m.class] = (counts[m.class] || 0) + 1;
    if (m.turning) turned[m.class] = (turned[m.class] || 0) + 1;
  }
  const cell = (s) => String(s).replace(/\|/g, '\\|');
  const lines = ['# Decisive mistakes of ' + opts.player, '',
                 'Stockfish depth ' + opts.depth + '; games not won by ' + opts.player + ' after a Stockfish score >= ' + (opts.better >= 0 ? '+' : '') + opts.better +
                 ' cp for it: ' + qualifying.length + ' of ' + games.length + ' finished games (' + qualifying.map((q) => q.label + ' ' + q.tags.Result).join(', ') + ').',
                 'Mistakes (loss >= ' + opts.loss + ' cp, scores clamped at +-' + opts.cap + '): ' + mistakes.length + '; by suggested class: ' +
                 Object.entries(counts).map(([k, v]) => k + ' ' + v).join(', ') + '; of the ' + mistakes.filter((m) => m.turning).length +
                 ' that turned the game: ' + Object.entries(turned).map(([k, v]) => k + ' ' + v).join(', ') + '.', '',
                 'Scores in pawns for the mover. "at move": Tessel in the game (score/depth, time, clock before the move). ' +
                 '"deeper": Tessel afresh to the depth shown (choice, score, depth reached). "played / best": Tessel\'s scores of the two moves ' +
                 '(search after each move to one ply less, negated). A * marks a move that turned a score >= ' + opts.holding +
                 ' cp into one <= ' + opts.losing + ' cp.', '',
                 '| game | colour | opening | move | FEN | played | SF best | SF played / best | loss | at move | deeper | Tessel played / best | class |',
                 '|' + ' --- |'.repeat(13)];
  for (const m of mistakes) {
    const t = m.tessel;
    lines.push('| ' + [m.label + ' ' + m.result, m.colour, m.opening ? '`' + m.opening + '`' : 'start', m.move, '`' + m.fen + '`', m.san, m.best,
                       showScore(m.playedScore) + ' / ' + showScore(m.bestScore), (m.drop / 100).toFixed(2) + (m.turning ? ' *' : ''),
                       showScore(m.ownParsed.score) + '/' + m.ownParsed.depth + ', ' + secs(m.ownParsed.ms) + ' of ' + secs(m.clockMs),
                       t.deeper.san + ' ' + showScore(t.deeper.score) + '/' + t.deeper.depth + ' (' + secs(t.deeper.ms) + ', d' + t.depth + ')' +
                         (t.deeper.best === m.bestUci ? ' = SF' : ''),
                       showScore(t.tPlayed.score) + ' / ' + showScore(t.tBest.score), m.class].map(cell).join(' | ') + ' |');
  }
  return { lines, counts };
}

async function main() {
  const cache = opts.cache && fs.existsSync(opts.cache) ? JSON.parse(fs.readFileSync(opts.cache, 'utf8')) : {};
  const save = () => opts.cache && fs.writeFileSync(opts.cache, JSON.stringify(cache));
  const games = loadGames();
  const sf = await openEngine(opts.stockfish, 'stockfish', [['Threads', opts.threads], ['Hash', 64]]);
  const tessel = await openEngine(opts.engine, 'tessel', [['Hash', 64], ['OwnBook', 'false'], ['Threads', 1], ['Ponder', 'false']]);
  const reference = makeEvaluator(sf, opts.depth, cache);
  let searches = 0;
  const evaluate = async (fen, only) => {
    const r = await reference(fen, only);
    if (++searches % 20 === 0) save();
    return r;
  };
  const qualifying = [];
  const mistakes = [];
  // Stockfish reviews the next game while Tessel probes the mistakes found so far.
  let probing = Promise.resolve();
  for (const g of games) {
    const colour = colourOf(g.tags, opts.player);
    if (!colour || pointsOf(g.tags, colour) === 1) continue;
    const found = await reviewGame(Chess, evaluate, g, colour, opts.cap);
    save();
    if (!found.some((f) => f.bestScore >= opts.better)) continue;
    qualifying.push(g);
    const before = clocks(g);
    const picked = pickMistakes(found).map((f) => ({ ...f, label: g.label, result: g.tags.Result, colour: colour === 'w' ? 'white' : 'black',
                                                     opening: g.tags.FEN || null, clockMs: before ? before.before[f.ply] : null }));
    console.log(g.label + ' ' + g.tags.Result + ': ' + picked.length + ' mistakes');
    mistakes.push(...picked);
    probing = probing.then(async () => {
      for (const m of picked) {
        await probe(tessel, m, cache);
        save();
        console.log('  ' + m.label + ' ' + m.move + ' ' + m.san + ' (best ' + m.best + ', loss ' + m.drop + '): ' + m.class);
      }
    });
  }
  await probing;
  const table = report(games, qualifying, mistakes);
  const time = timeUse(games);
  const text = table.lines.concat([''], time.lines).join('\n') + '\n';
  if (opts.md) fs.writeFileSync(opts.md, text);
  else console.log(text);
  if (opts.json)
    fs.writeFileSync(opts.json, JSON.stringify({ options: opts, games: games.length, qualifying: qualifying.map((q) => q.label),
                                                 counts: table.counts, mistakes, timeUse: time.by }, null, 1));
  await sf.quit(5000);
  await tessel.quit(5000);
}

main().catch((err) => {
  console.log('error: ' + (err.stack || err));
  process.exit(1);
});
