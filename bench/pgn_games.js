// Reads the games of a PGN written by tests/match/match.js: tags, moves and
// the per-move comments "score/depth seconds" with the clocks they imply.
'use strict';

const { MATE } = require('../tests/match/uci_engine');

// Games of the PGN text: tags and the moves with their comments.
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

// A move comment "+0.13/12 1.581s" (or "+M3/20 0.1s", "?/? 0.2s") as the
// score in centipawns (mates as +-MATE minus the distance), depth and ms.
function parseComment(comment) {
  const m = /^(\S+)\/(\S+) (\d+(?:\.\d+)?)s$/.exec((comment || '').trim());
  if (!m) return { score: null, depth: null, ms: null };
  const mate = /^([+-])M(\d+)$/.exec(m[1]);
  const score = mate ? (mate[1] === '+' ? MATE - Number(mate[2]) : -MATE + Number(mate[2]))
    : Number.isFinite(Number(m[1])) ? Math.round(Number(m[1]) * 100) : null;
  return { score, depth: Number.isFinite(Number(m[2])) ? Number(m[2]) : null, ms: Math.round(Number(m[3]) * 1000) };
}

// Base time and increment in ms from a TimeControl tag "40+0.4".
function timeControl(tags) {
  const m = /^(\d+(?:\.\d+)?)\+(\d+(?:\.\d+)?)$/.exec(tags.TimeControl || '');
  if (!m) return null;
  return { base: Math.round(Number(m[1]) * 1000), inc: Math.round(Number(m[2]) * 1000) };
}

// The colour ('w' or 'b') the named player had in the game, or null.
function colourOf(tags, player) {
  if ((tags.White || '').includes(player)) return 'w';
  if ((tags.Black || '').includes(player)) return 'b';
  return null;
}

// Points of the colour in the game: 1, 0.5, 0, or null when unfinished.
function pointsOf(tags, colour) {
  const r = { '1-0': 1, '0-1': 0, '1/2-1/2': 0.5 }[tags.Result];
  if (r === undefined) return null;
  return colour === 'w' ? r : 1 - r;
}

// The clocks (ms) as the match ran them: base, minus each move's time, plus
// the increment after each move. before[i] is the mover's clock before ply i,
// end the two clocks after the last move. Null without a time control.
function clocks(game) {
  const tc = timeControl(game.tags);
  if (!tc) return null;
  const first = game.tags.FEN ? game.tags.FEN.split(' ')[1] : 'w';
  const clock = { w: tc.base, b: tc.base };
  const before = game.moves.map((mv, i) => {
    const side = (i % 2 === 0) === (first === 'w') ? 'w' : 'b';
    const at = clock[side];
    const ms = parseComment(mv.comment).ms;
    clock[side] += tc.inc - (ms === null ? 0 : ms);
    return at;
  });
  return { before, end: clock };
}

module.exports = { readGames, parseComment, timeControl, colourOf, pointsOf, clocks };
