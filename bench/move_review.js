// Scores one player's moves of a game with a reference engine (Stockfish) at
// a fixed depth: its score of its best move and of the move played, from the
// mover's side, and the loss between them with both clamped to +-cap.
'use strict';

const { playUci, searchPosition, MATE } = require('../tests/match/uci_engine');
const { parseComment } = require('./pgn_games');

// A score as text: pawns with two decimals, or +M/-M and the mate distance.
const showScore = (s) =>
  (s === null || s === undefined ? '?' : Math.abs(s) > MATE / 2 ? (s > 0 ? '+M' : '-M') + (MATE - Math.abs(s)) : (s / 100).toFixed(2));

// The SAN of a UCI move in the position, or the UCI text when it is not legal.
function sanOf(Chess, fen, uci) {
  const c = new Chess(fen);
  return playUci(c, uci) ? c.history().slice(-1)[0] : uci;
}

// Reference searches, remembered by position and move in an optional cache
// object (kept by the caller, e.g. in a JSON file) so reruns skip them.
function makeEvaluator(engine, depth, cache) {
  return async (fen, only) => {
    const key = depth + '|' + fen + '|' + (only || '');
    if (cache && cache[key]) return cache[key];
    const r = await searchPosition(engine, 'fen ' + fen, 'depth ' + depth + (only ? ' searchmoves ' + only : ''));
    const out = { score: r.score, best: r.best };
    if (cache) cache[key] = out;
    return out;
  };
}

// Every move of the colour in the game, scored: fen before the move, the UCI
// texts of the game's moves before it, SAN and UCI text of the move played, the best move, both scores, the clamped loss,
// the ply index and the mover's own comment. Stops at a move it cannot play.
async function reviewGame(Chess, evaluate, game, colour, cap) {
  const clamp = (s) => Math.max(-cap, Math.min(cap, s));
  const board = game.tags.FEN ? new Chess(game.tags.FEN) : new Chess();
  const found = [];
  const before = [];  // UCI texts of the moves played so far
  for (const [ply, mv] of game.moves.entries()) {
    const fen = board.fen();
    const turn = board.turn();
    let played;
    try {
      played = board.move(mv.san);
    } catch (e) {
      console.log('cannot play ' + mv.san + ' in ' + fen);
      break;
    }
    const uci = played.from + played.to + (played.promotion || '');
    before.push(uci);
    if (turn !== colour) continue;
    const best = await evaluate(fen, null);
    const mine = best.best === uci ? best : await evaluate(fen, uci);
    if (best.score === null || mine.score === null) continue;
    found.push({ ply, move: fen.split(' ')[5] + (turn === 'w' ? '.' : '...'), fen, san: mv.san, uci,
                 best: sanOf(Chess, fen, best.best), bestUci: best.best, bestScore: best.score, playedScore: mine.score,
                 drop: Math.max(0, clamp(best.score) - clamp(mine.score)), history: before.slice(0, -1), own: mv.comment, ownParsed: parseComment(mv.comment) });
  }
  return found;
}

module.exports = { showScore, sanOf, makeEvaluator, reviewGame };
