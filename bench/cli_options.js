// Command-line options of the bench scripts ("--name value" pairs over a table
// of defaults; numbers stay numbers) and the chess.js they load.
'use strict';

const path = require('path');

// Reads --name value pairs into a copy of the defaults; unknown names and a
// missing required option are errors.
function readOptions(defaults, required) {
  const opts = { ...defaults };
  for (let i = 2; i < process.argv.length; i++) {
    const key = process.argv[i].replace(/^--/, '');
    if (!(key in opts)) throw new Error('unknown option --' + key);
    const v = process.argv[++i];
    opts[key] = typeof opts[key] === 'number' ? Number(v) : v;
  }
  for (const key of required) if (!opts[key]) throw new Error('--' + key + ' is required');
  return opts;
}

// chess.js from the given install folder (bench/versus.sh makes one), else from the search path.
function loadChess(dir) {
  return require(dir ? path.join(dir, 'node_modules', 'chess.js') : 'chess.js').Chess;
}

module.exports = { readOptions, loadChess };
