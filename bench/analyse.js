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
const { openEngine } = require('../tests/match/uci_engine');
const { readGames, colourOf } = require('./pgn_games');
const { showScore: show, makeEvaluator, reviewGame } = require('./move_review');
const { readOptions, loadChess } = require('./cli_options');

const opts = readOptions({ pgn: null, player: 'Tessel', depth: 18, top: 20, perGame: 3, cap: 1000, threads: 1, stockfish: '/usr/games/stockfish',
               chessjs: null }, ['pgn']);
const Chess = loadChess(opts.chessjs);

async function main() {
  const games = readGames(fs.readFileSync(opts.pgn, 'utf8'));
  const sf = await openEngine(opts.stockfish, 'stockfish', [['Threads', opts.threads], ['Hash', 64]]);
  const evaluate = makeEvaluator(sf, opts.depth, null);
  const all = [];
  for (const [gi, g] of games.entries()) {
    const colour = colourOf(g.tags, opts.player);
    if (!colour) continue;
    const found = (await reviewGame(Chess, evaluate, g, colour, opts.cap))
      .map((f) => ({ ...f, game: gi + 1, round: g.tags.Round, result: g.tags.Result }));
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
