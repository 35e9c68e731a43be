// Replays the games of a PGN written by tests/match/match.js with Stockfish at
// a fixed depth and lists, for one player's moves, those where Stockfish's
// score of the move played falls most below its score of its own best move
// (the decisive mistakes), with the player's own score, depth and time.
//
// node bench/analyse.js --pgn FILE [--player Tessel] [--depth 18] [--top 20]
//                       [--perGame 3] [--cap 1000] [--threads 1] [--stockfish /usr/games/stockfish]
//                       [--chessjs DIR]
//
// Scores are clamped to +-cap centipawns before the loss is taken, so a move
// that keeps a won (or lost) game won (or lost) does not count as a mistake.
// (bench/versus.sh installs stockfish and chess.js.)
'use strict';

const fs = require('fs');
const path = require('path');
const { Engine, playUci } = require('../tests/match/uci_engine');

const opts = { pgn: null, player: 'Tessel', depth: 18, top: 20, perGame: 3, cap: 1000, threads: 1, stockfish: '/usr/games/stockfish',
               chessjs: null };
for (let i = 2; i < process.argv.length; i++) {
  const key = process.argv[i].replace(/^--/, '');
  if (!(key in opts)) throw new Error('unknown option --' + key);
  const v = process.argv[++i];
  opts[key] = typeof opts[key] === 'number' ? Number(v) : v;
}
if (!opts.pgn) throw new Error('--pgn is required');
const { Chess } = require(opts.chessjs ? path.join(opts.chessjs, 'node_modules', 'chess.js') : 'chess.js');

const MATE = 100000;

// Games of the PGN: tags and the moves with their comments.
function readGames(text) {
  const games = [];
  for (const chunk of text.split(/\n(?=\[Event )/)) {
    if (!chunk.trim()) continue;
    const tags = {};
    for (const m of chunk.matchAll(/^\[(\w+) "([^"]*)"\]$/gm)) tags[m[1]] = m[2];
    const body = chunk.replace(/^\[.*\]$/gm, '');
    const moves = [];
    for (const m of body.matchAll(/\{([^}]*)\}|([^\s{}]+)/g)) {
      if (m[1] !== undefined) {
        if (moves.length) moves[moves.length - 1].comment = m[1];
      } else if (!/^\d+\.+$/.test(m[2]) && !/^(1-0|0-1|1\/2-1\/2|\*)$/.test(m[2])) {
        moves.push({ san: m[2], comment: '' });
      }
    }
    games.push({ tags, moves });
  }
  return games;
}

// Stockfish's score (side to move, centipawns; mates as +-MATE minus the
// distance) and best move at the fixed depth, optionally for one move only.
async function evaluate(sf, fen, only) {
  sf.takeInfo();
  sf.send('position fen ' + fen);
  sf.send('go depth ' + opts.depth + (only ? ' searchmoves ' + only : ''));
  const line = await sf.waitFor((l) => l.startsWith('bestmove'), 600000, 'bestmove');
  let score = null;
  for (const info of sf.takeInfo()) {
    const cp = /\bscore cp (-?\d+)/.exec(info);
    const mate = /\bscore mate (-?\d+)/.exec(info);
    if (cp) score = Number(cp[1]);
    else if (mate) score = Number(mate[1]) > 0 ? MATE - Number(mate[1]) : -MATE - Number(mate[1]);
  }
  return { score, best: line.split(/\s+/)[1] };
}

const clamp = (s) => Math.max(-opts.cap, Math.min(opts.cap, s));
const show = (s) => (Math.abs(s) > MATE / 2 ? (s > 0 ? '+M' : '-M') + (MATE - Math.abs(s)) : (s / 100).toFixed(2));

async function main() {
  const games = readGames(fs.readFileSync(opts.pgn, 'utf8'));
  const sf = new Engine(opts.stockfish, 'stockfish');
  sf.send('uci');
  await sf.waitFor((l) => l === 'uciok', 10000, 'uciok');
  sf.send('setoption name Threads value ' + opts.threads);
  sf.send('setoption name Hash value 64');
  sf.send('isready');
  await sf.waitFor((l) => l === 'readyok', 10000, 'readyok');
  const all = [];
  for (const [gi, g] of games.entries()) {
    const colour = (g.tags.White || '').includes(opts.player) ? 'w' : (g.tags.Black || '').includes(opts.player) ? 'b' : null;
    if (!colour) continue;
    const game = g.tags.FEN ? new Chess(g.tags.FEN) : new Chess();
    const found = [];
    for (const mv of g.moves) {
      const fen = game.fen();
      const turn = game.turn();
      let played;
      try {
        played = game.move(mv.san);
      } catch (e) {
        console.log('game ' + (gi + 1) + ': cannot play ' + mv.san + ' in ' + fen);
        break;
      }
      if (turn !== colour) continue;
      const uci = played.from + played.to + (played.promotion || '');
      const best = await evaluate(sf, fen, null);
      const mine = best.best === uci ? best : await evaluate(sf, fen, uci);
      if (best.score === null || mine.score === null) continue;
      const bestSan = (() => {
        const c = new Chess(fen);
        return playUci(c, best.best) ? c.history().slice(-1)[0] : best.best;
      })();
      found.push({ game: gi + 1, round: g.tags.Round, result: g.tags.Result, move: fen.split(' ')[5] + (turn === 'w' ? '.' : '...'),
                   san: mv.san, best: bestSan, bestScore: best.score, playedScore: mine.score,
                   drop: Math.max(0, clamp(best.score) - clamp(mine.score)), own: mv.comment, fen });
    }
    found.sort((a, b) => b.drop - a.drop);
    console.log('game ' + (gi + 1) + ' (' + g.tags.White + ' - ' + g.tags.Black + ', ' + g.tags.Result + '): ' +
                found.length + ' moves of ' + opts.player + ' scored');
    for (const f of found.slice(0, opts.perGame))
      console.log('  ' + f.move + ' ' + f.san + ' {' + f.own + '}  stockfish: ' + show(f.playedScore) + ', best ' + f.best +
                  ' ' + show(f.bestScore) + ', loss ' + (f.drop / 100).toFixed(2));
    all.push(...found);
  }
  all.sort((a, b) => b.drop - a.drop);
  console.log('\ndecisive mistakes (depth ' + opts.depth + ', largest loss first):');
  console.log('game | move | played {own score/depth time} | stockfish played | best | stockfish best | loss | fen');
  for (const f of all.slice(0, opts.top))
    console.log([f.game, f.move, f.san + ' {' + f.own + '}', show(f.playedScore), f.best, show(f.bestScore),
                 (f.drop / 100).toFixed(2), f.fen].join(' | '));
  await sf.quit(5000);
}

main().catch((err) => {
  console.log('error: ' + (err.stack || err));
  process.exit(1);
});
